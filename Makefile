# The two entry points: `make run` and `make test`. Both install what is missing first.
PRESET ?= default
BUILD_DIR := build/$(PRESET)

BENCH_DIR := build/bench
SOAK_DIR := build/soak
# Frames the soak delivers; `make soak FRAMES=5000` for a short check.
FRAMES ?= 100000

.PHONY: all deps configure build run test test-asan test-tsan test-windows package bench fuzz soak docs clean format tidy

all: build

deps:
	@scripts/install-deps.sh

configure: deps
	cmake --preset $(PRESET)

build: configure
	cmake --build --preset $(PRESET)

run: build
	$(BUILD_DIR)/tools/velcor/velcor --simulate 1

# doxygen (small next to the compilers) lets the suite check that every public declaration is
# documented; without it that test is skipped.
test: build
	@scripts/install-deps.sh --docs
	ctest --preset $(PRESET)

# The whole suite under AddressSanitizer + UndefinedBehaviorSanitizer, and under ThreadSanitizer
# (which leaves out the single-threaded pixel, file and table suites and the tool's runs: they
# run in the default and ASan suites).
test-asan test-tsan: test-%: deps
	cmake --preset $*
	cmake --build --preset $*
	ctest --preset $*

# The Windows DLL for x64 and for 32-bit x86, cross-built with MinGW-w64 in build/windows-x64
# and build/windows-x86, and their tests: the export tables read with objdump, the imports of
# two examples built against each DLL, and under Wine (a prefix of each build tree's own) the
# examples and the API and camera tests on simulated cameras. The x86 programs run only with
# 32-bit Wine: `make test-windows WINE32=1` installs it (adds Debian's i386 architecture).
WINE32 ?=
WINE32_TESTS := $(if $(WINE32),ON,OFF)
test-windows:
	@scripts/install-deps.sh --windows $(if $(WINE32),--wine32)
	cmake --preset windows-x64 -DVELCOR_WINDOWS_TESTS=ON
	cmake --build --preset windows-x64
	windows/run-tests.sh
	cmake --preset windows-x86 -DVELCOR_WINDOWS_TESTS=$(WINE32_TESTS)
	cmake --build --preset windows-x86
	windows/run-tests.sh windows-x86

# A Debian package of the library, its headers, the velcor tool, velcor.pc and the CMake
# package, installed under /usr: $(BUILD_DIR)/velcor-sdk_<version>_<arch>.deb. Its dependencies
# come from dpkg-shlibdeps (dpkg-dev). `dpkg -c` lists it, `apt install ./FILE.deb` installs it.
package: build
	cmake --build --preset $(PRESET) --target package

# Benchmarks in a build tree of their own, so the test build stays without them.
bench:
	@scripts/install-deps.sh --bench
	cmake --preset default -B $(BENCH_DIR) -DVELCOR_BUILD_BENCH=ON
	cmake --build $(BENCH_DIR) --target velcor_bench velcor_file_bench velcor_mask_bench velcor_adjust_bench \
	  velcor_stream_bench velcor_sim_bench
	$(BENCH_DIR)/bench/velcor_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
	$(BENCH_DIR)/bench/velcor_file_bench
	$(BENCH_DIR)/bench/velcor_mask_bench
	$(BENCH_DIR)/bench/velcor_adjust_bench
	$(BENCH_DIR)/bench/velcor_sim_bench
	$(BENCH_DIR)/bench/velcor_stream_bench 60

# The libFuzzer targets in a build tree of their own (preset fuzz, clang), FUZZ_SECONDS each.
FUZZ_SECONDS ?= 30
fuzz:
	@scripts/install-deps.sh --fuzz
	FUZZ_SECONDS=$(FUZZ_SECONDS) scripts/run-fuzzers.sh

# Callback preview on a simulated camera until FRAMES frames, settings changing every second;
# fails when resident size, threads or descriptors keep growing. Writes soak.csv and soak.png.
soak:
	@scripts/install-deps.sh --soak
	cmake --preset default
	cmake --build --preset default --target velcor_soak
	build/default/tools/soak/velcor_soak --frames $(FRAMES) --out $(SOAK_DIR)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

tidy: configure
	git ls-files 'src/*.cpp' 'tools/*.cpp' | xargs clang-tidy -p $(BUILD_DIR) --quiet

# Reference documentation of the public headers: HTML in build/docs/html. Any doxygen warning
# (a public function, type or constant without its comment) fails it.
docs:
	@scripts/install-deps.sh --docs
	doxygen docs/Doxyfile
	@echo "documentation: build/docs/html/index.html"

clean:
	rm -rf build
