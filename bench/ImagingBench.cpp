// Demosaic and frame conversion timings, each reported as a ratio to yardsticks measured in
// the same run (a memcpy of the same bytes and, when available, OpenCV's bilinear Bayer
// conversion on one thread), because absolute times on a shared machine mean little.
//
// After the benchmarks, every demosaic path this processor has (portable, AVX2, AVX-512) runs
// against cvtColor in interleaved rounds of thread CPU time, at 1280 x 1024 and 2448 x 2048;
// --demosaic_rounds=N sets the rounds (default 15, 0 leaves it out).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "ThreadCpu.h"
#include "imaging/Demosaic.h"
#include "imaging/DibImage.h"
#include "imaging/FrameConverter.h"

#if defined(VELCOR_BENCH_OPENCV)
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

using velcor::DibImage;

constexpr int kWidth = 1280;
constexpr int kHeight = 1024;

// A raw frame with texture, so no branch or cache behaviour is flattered by a constant.
void FillRaw(DibImage& raw) {
    std::mt19937 gen(5);
    const int max = raw.Bits() == 8 ? 255 : 4095;
    std::uniform_int_distribution<int> noise(0, 15);
    for (int y = 0; y < raw.Height(); ++y) {
        uint8_t* row = raw.Pixels() + static_cast<size_t>(y) * raw.Stride();
        for (int x = 0; x < raw.Width(); ++x) {
            const int v = ((x * 3 + y * 5) % (max - 15)) + noise(gen);
            if (raw.Bits() == 8) {
                row[x] = static_cast<uint8_t>(v);
            } else {
                const auto w = static_cast<uint16_t>(v);
                std::memcpy(row + 2 * x, &w, 2);
            }
        }
    }
}

void BM_Memcpy(benchmark::State& state) {
    const auto bytes = static_cast<size_t>(state.range(0));
    std::vector<uint8_t> src(bytes, 1), dst(bytes);
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), bytes);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}
// The bytes a demosaic writes for one frame: 24 and 48 bits per pixel.
BENCHMARK(BM_Memcpy)->Name("memcpy/frame8")->Arg(kWidth* kHeight);
BENCHMARK(BM_Memcpy)->Name("memcpy/frame24")->Arg(kWidth* kHeight * 3);
BENCHMARK(BM_Memcpy)->Name("memcpy/frame48")->Arg(kWidth* kHeight * 6);

void BM_Demosaic(benchmark::State& state) {
    const int rawBits = static_cast<int>(state.range(0));
    const int outBits = static_cast<int>(state.range(1));
    DibImage raw, out;
    if (!raw.Create(kWidth, kHeight, rawBits) || !out.Create(kWidth, kHeight, outBits)) {
        state.SkipWithError("no memory");
        return;
    }
    FillRaw(raw);
    const velcor::BayerGains gains{0, 120, 100, 90};
    for (auto _ : state) {
        velcor::Demosaic(raw, out, gains);
        benchmark::DoNotOptimize(out.Pixels());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_Demosaic)->Name("demosaic/8to24")->Args({8, 24});
BENCHMARK(BM_Demosaic)->Name("demosaic/8to32")->Args({8, 32});
BENCHMARK(BM_Demosaic)->Name("demosaic/16to48")->Args({16, 48});
BENCHMARK(BM_Demosaic)->Name("demosaic/16to64")->Args({16, 64});

void BM_Convert(benchmark::State& state) {
    const int mode = static_cast<int>(state.range(0));
    DibImage raw8, raw16, out;
    velcor::FrameImages images;
    if (mode == 8 || mode == 24 || mode == 32) {
        raw8.Create(kWidth, kHeight, 8);
        FillRaw(raw8);
        images.raw8 = &raw8;
    } else {
        raw16.Create(kWidth, kHeight, 16);
        FillRaw(raw16);
        images.raw16 = &raw16;
    }
    if (mode > 16) out.Create(kWidth, kHeight, mode);
    images.image24 = mode == 24 ? &out : nullptr;
    images.image32 = mode == 32 ? &out : nullptr;
    images.image48 = mode == 48 ? &out : nullptr;
    images.image64 = mode == 64 ? &out : nullptr;
    velcor::ConversionParams params;
    params.colourMode = mode;
    for (auto _ : state) {
        benchmark::DoNotOptimize(velcor::FrameConverter::Convert(images, params));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_Convert)->Name("convert/mode8")->Arg(8);
BENCHMARK(BM_Convert)->Name("convert/mode16")->Arg(16);
BENCHMARK(BM_Convert)->Name("convert/mode24")->Arg(24);
BENCHMARK(BM_Convert)->Name("convert/mode48")->Arg(48);

#if defined(VELCOR_BENCH_OPENCV)
void BM_OpenCv(benchmark::State& state) {
    cv::setNumThreads(1);
    const bool wide = state.range(0) == 16;
    DibImage raw;
    raw.Create(kWidth, kHeight, wide ? 16 : 8);
    FillRaw(raw);
    const cv::Mat in(kHeight, kWidth, wide ? CV_16UC1 : CV_8UC1, raw.Pixels(),
                     static_cast<size_t>(raw.Stride()));
    cv::Mat out(kHeight, kWidth, wide ? CV_16UC3 : CV_8UC3);
    for (auto _ : state) {
        cv::cvtColor(in, out, cv::COLOR_BayerGB2BGR);
        benchmark::DoNotOptimize(out.data);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_OpenCv)->Name("opencv/8to24")->Arg(8);
BENCHMARK(BM_OpenCv)->Name("opencv/16to48")->Arg(16);
#endif

// Keeps the console output and remembers each benchmark's time per iteration.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        // With repetitions the median stands for the benchmark, otherwise the single run.
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            const std::string& name = run.run_name.function_name;
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                times_[name] = run.GetAdjustedRealTime();
                medians_.insert(name);
            } else if (run.run_type == Run::RT_Iteration && medians_.count(name) == 0) {
                times_[name] = run.GetAdjustedRealTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void PrintRatios() const {
        std::printf("\nRatios (time / yardstick time, same run):\n");
        Ratio("demosaic/8to24", "opencv/8to24", "target <= 1");
        Ratio("demosaic/16to48", "opencv/16to48", "target <= 1");
        Ratio("demosaic/8to24", "memcpy/frame24", "");
        Ratio("demosaic/8to32", "memcpy/frame24", "");
        Ratio("demosaic/16to48", "memcpy/frame48", "");
        Ratio("demosaic/16to64", "memcpy/frame48", "");
        Ratio("convert/mode8", "memcpy/frame24", "");
        Ratio("convert/mode16", "memcpy/frame24", "");
        Ratio("convert/mode24", "opencv/8to24", "");
        Ratio("convert/mode24", "memcpy/frame24", "");
        Ratio("convert/mode48", "memcpy/frame48", "");
        Ratio("scale/8half", "memcpy/frame8", "");
        Ratio("scale/24half", "memcpy/frame24", "");
        Ratio("reduce/16to8high", "memcpy/frame8", "");
        Ratio("reduce/16to8bits2to9", "memcpy/frame8", "");
        Ratio("preview/mode8", "memcpy/frame8", "end to end, per frame");
        Ratio("preview/mode16", "memcpy/frame8", "end to end, per frame");
    }

  private:
    void Ratio(const std::string& name, const std::string& base, const char* note) const {
        const auto a = times_.find(name), b = times_.find(base);
        if (a == times_.end() || b == times_.end() || b->second <= 0) return;
        std::printf("  %-16s / %-16s %6.2f  %s\n", name.c_str(), base.c_str(),
                    a->second / b->second, note);
    }

    std::map<std::string, double> times_;
    std::set<std::string> medians_;
};

// Each demosaic path against cvtColor: per round, every case runs a few frames in turn (so a
// busy neighbour slows all of them alike) and its thread CPU time per frame is taken; the
// ratio is the median over rounds of path time / cvtColor time of the same round.
void PathRatios(int rounds) {
    using velcor::SimdLevel;
    using velcor::bench::Median;
    using velcor::bench::ThreadCpuMs;
    constexpr int kIterations = 5;
    std::printf(
        "\nDemosaic paths against cvtColor, %d interleaved rounds of %d frames, thread CPU "
        "time (active path: %s):\n",
        rounds, kIterations, velcor::SimdLevelName(velcor::ActiveSimdLevel()));
    std::vector<SimdLevel> paths;
    for (const SimdLevel path : {SimdLevel::kPortable, SimdLevel::kAvx2, SimdLevel::kAvx512}) {
        if (velcor::SimdLevelAvailable(path)) paths.push_back(path);
    }
    struct Size {
        int w, h;
    };
    for (const Size size : {Size{1280, 1024}, Size{2448, 2048}}) {
        for (const auto& [rawBits, outBits] : {std::pair{8, 24}, std::pair{16, 48}}) {
            DibImage raw, out;
            if (!raw.Create(size.w, size.h, rawBits) || !out.Create(size.w, size.h, outBits))
                return;
            FillRaw(raw);
            const velcor::BayerGains gains{0, 120, 100, 90};
            std::vector<std::function<void()>> cases;
#if defined(VELCOR_BENCH_OPENCV)
            cv::setNumThreads(1);
            const bool wide = rawBits == 16;
            const cv::Mat in(size.h, size.w, wide ? CV_16UC1 : CV_8UC1, raw.Pixels(),
                             static_cast<size_t>(raw.Stride()));
            cv::Mat cvOut(size.h, size.w, wide ? CV_16UC3 : CV_8UC3);
            cases.push_back([&] { cv::cvtColor(in, cvOut, cv::COLOR_BayerGB2BGR); });
#else
            // Without OpenCV the yardstick is a memcpy of the output's bytes.
            std::vector<uint8_t> copy(out.ByteSize());
            cases.push_back([&] { std::memcpy(copy.data(), out.Pixels(), copy.size()); });
#endif
            for (const SimdLevel path : paths)
                cases.push_back([&, path] { velcor::Demosaic(raw, out, gains, path); });
            for (const auto& c : cases)
                c();
            std::vector<std::vector<double>> ms(cases.size());
            for (int r = 0; r < rounds; ++r) {
                for (size_t i = 0; i < cases.size(); ++i) {
                    const double start = ThreadCpuMs();
                    for (int k = 0; k < kIterations; ++k)
                        cases[i]();
                    ms[i].push_back((ThreadCpuMs() - start) / kIterations);
                }
            }
#if defined(VELCOR_BENCH_OPENCV)
            const char* yardstick = "cvtColor";
#else
            const char* yardstick = "memcpy";
#endif
            std::printf("  %dx%d %d->%d: %-8s %7.3f ms\n", size.w, size.h, rawBits, outBits,
                        yardstick, Median(ms[0]));
            for (size_t p = 0; p < paths.size(); ++p) {
                std::vector<double> ratios;
                for (int r = 0; r < rounds; ++r)
                    ratios.push_back(ms[p + 1][r] / ms[0][r]);
                std::printf("    %-8s %7.3f ms  ratio %5.2f\n", velcor::SimdLevelName(paths[p]),
                            Median(ms[p + 1]), Median(ratios));
            }
        }
    }
}

// Takes --demosaic_rounds=N out of the arguments; 15 without it.
int DemosaicRounds(int& argc, char** argv) {
    int rounds = 15;
    const std::string flag = "--demosaic_rounds=";
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind(flag, 0) == 0) {
            rounds = std::max(0, std::atoi(arg.c_str() + flag.size()));
        } else {
            argv[kept++] = argv[i];
        }
    }
    argc = kept;
    return rounds;
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = DemosaicRounds(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios();
    benchmark::Shutdown();
    if (rounds > 0) PathRatios(rounds);
    return 0;
}
