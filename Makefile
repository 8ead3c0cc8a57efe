# The two entry points: `make run` and `make test`. Both install what is missing first.
PRESET ?= default
BUILD_DIR := build/$(PRESET)

.PHONY: all deps configure build run test clean format tidy

all: build

deps:
	@scripts/install-deps.sh

configure: deps
	cmake --preset $(PRESET)

build: configure
	cmake --build --preset $(PRESET)

run: build
	$(BUILD_DIR)/tools/velcor/velcor --simulate 1

test: build
	ctest --preset $(PRESET)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

tidy: configure
	git ls-files 'src/*.cpp' 'tools/*.cpp' | xargs clang-tidy -p $(BUILD_DIR) --quiet

clean:
	rm -rf build
