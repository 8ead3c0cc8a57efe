// The image adjustments on a 1280 x 1024 frame at 8 and 16 bits, against yardsticks of the same
// bytes in the same run: a memcpy and, when OpenCV is there, cv::LUT on one thread (for the
// 8-bit table adjustments, which do what a LUT does). The ratios use the thread CPU time of the
// benchmark thread; with --benchmark_repetitions and --benchmark_enable_random_interleaving
// the rounds of all benchmarks interleave and the ratio takes each one's median, so a neighbour
// on the machine weighs on both sides of a ratio alike.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "BenchRatios.h"
#include "imaging/DibImage.h"
#include "imaging/FilterValues.h"
#include "imaging/GrayAdjustments.h"
#include "imaging/HueSaturation.h"
#include "imaging/ToneAdjustments.h"

#if defined(VELCOR_BENCH_OPENCV)
#include <opencv2/core.hpp>
#endif

namespace {

using velcor::DibImage;

constexpr int kWidth = 1280;
constexpr int kHeight = 1024;

// Textured samples over the whole range, so no table entry or branch is favoured.
void FillTexture(DibImage& image) {
    std::mt19937 gen(17);
    std::uniform_int_distribution<int> noise(0, 255);
    for (size_t i = 0; i < image.ByteSize(); ++i)
        image.Pixels()[i] = static_cast<uint8_t>(((i * 7) >> 3) + noise(gen));
}

bool MakeFrame(benchmark::State& state, DibImage& image, int bits) {
    if (!image.Create(kWidth, kHeight, bits)) {
        state.SkipWithError("no memory");
        return false;
    }
    FillTexture(image);
    return true;
}

// Each round adjusts the same frame again: the values drift, the work per sample does not.
template <typename Adjust>
void RunAdjustment(benchmark::State& state, int bits, Adjust adjust) {
    DibImage image;
    if (!MakeFrame(state, image, bits)) return;
    for (auto _ : state) {
        adjust(image);
        benchmark::DoNotOptimize(image.Pixels());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * image.ByteSize()));
}

void BM_Gamma(benchmark::State& state) {
    RunAdjustment(state, static_cast<int>(state.range(0)),
                  [](DibImage& im) { velcor::ApplyGamma(im, 140); });
}
void BM_Contrast(benchmark::State& state) {
    RunAdjustment(state, static_cast<int>(state.range(0)),
                  [](DibImage& im) { velcor::ApplyContrast(im, 20); });
}
void BM_Brightness(benchmark::State& state) {
    RunAdjustment(state, static_cast<int>(state.range(0)),
                  [](DibImage& im) { velcor::ApplyBrightness(im, -30); });
}
void BM_HueSaturation(benchmark::State& state) {
    RunAdjustment(state, static_cast<int>(state.range(0)),
                  [](DibImage& im) { velcor::ApplyHueSaturation(im, 75, 40); });
}
void BM_Sharpness(benchmark::State& state) {
    const int bits = static_cast<int>(state.range(0));
    DibImage work;
    if (!work.Create(kWidth, kHeight, bits)) return state.SkipWithError("no memory");
    RunAdjustment(state, bits, [&work](DibImage& im) { velcor::ApplySharpness(im, &work, 12); });
}

// The raw-frame steps: gray gains, and the statistics of the two automatic balances.
void BM_GrayGains(benchmark::State& state) {
    velcor::FilterValues f = velcor::FilterValues::Neutral();
    f.grayGainR = 140;
    f.grayGainB = 120;
    f.grayOffsetG2 = -3;
    RunAdjustment(state, static_cast<int>(state.range(0)),
                  [&f](DibImage& im) { velcor::ApplyGrayGains(im, f); });
}
void BM_GrayBalance(benchmark::State& state) {
    velcor::FilterValues f = velcor::FilterValues::Neutral();
    RunAdjustment(state, static_cast<int>(state.range(0)),
                  [&f](DibImage& im) { velcor::AutoGrayBalance(im, f); });
}
void BM_BayerGain(benchmark::State& state) {
    velcor::FilterValues f = velcor::FilterValues::Neutral();
    RunAdjustment(state, static_cast<int>(state.range(0)),
                  [&f](DibImage& im) { velcor::AutoBayerGain(im, 1, f); });
}

BENCHMARK(BM_Gamma)->Name("adjust/gamma8")->Arg(8);
BENCHMARK(BM_Gamma)->Name("adjust/gamma24")->Arg(24);
BENCHMARK(BM_Gamma)->Name("adjust/gamma32")->Arg(32);
BENCHMARK(BM_Gamma)->Name("adjust/gamma16")->Arg(16);
BENCHMARK(BM_Gamma)->Name("adjust/gamma48")->Arg(48);
BENCHMARK(BM_Contrast)->Name("adjust/contrast24")->Arg(24);
BENCHMARK(BM_Contrast)->Name("adjust/contrast48")->Arg(48);
BENCHMARK(BM_Brightness)->Name("adjust/brightness24")->Arg(24);
BENCHMARK(BM_Brightness)->Name("adjust/brightness48")->Arg(48);
BENCHMARK(BM_HueSaturation)->Name("adjust/hue24")->Arg(24);
BENCHMARK(BM_HueSaturation)->Name("adjust/hue48")->Arg(48);
BENCHMARK(BM_Sharpness)->Name("adjust/sharpness24")->Arg(24);
BENCHMARK(BM_Sharpness)->Name("adjust/sharpness48")->Arg(48);
BENCHMARK(BM_GrayGains)->Name("adjust/graygains8")->Arg(8);
BENCHMARK(BM_GrayGains)->Name("adjust/graygains16")->Arg(16);
BENCHMARK(BM_GrayBalance)->Name("adjust/graybalance8")->Arg(8);
BENCHMARK(BM_GrayBalance)->Name("adjust/graybalance16")->Arg(16);
BENCHMARK(BM_BayerGain)->Name("adjust/bayergain8")->Arg(8);
BENCHMARK(BM_BayerGain)->Name("adjust/bayergain16")->Arg(16);

// The frame sizes the demosaic benchmarks do not copy already: 16-bit gray and 32 bits.
void BM_MemcpyBytes(benchmark::State& state) {
    const auto bytes = static_cast<size_t>(state.range(0));
    std::vector<uint8_t> src(bytes, 1), dst(bytes);
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), bytes);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}
BENCHMARK(BM_MemcpyBytes)->Name("memcpy/frame16")->Arg(kWidth* kHeight * 2);
BENCHMARK(BM_MemcpyBytes)->Name("memcpy/frame32")->Arg(kWidth* kHeight * 4);

#if defined(VELCOR_BENCH_OPENCV)
// cv::LUT in place over the same bytes: a 1280 x 1024 gray or three-channel frame.
void BM_OpenCvLut(benchmark::State& state) {
    cv::setNumThreads(1);
    const int channels = static_cast<int>(state.range(0));
    DibImage image;
    if (!MakeFrame(state, image, channels * 8)) return;
    cv::Mat frame(kHeight, kWidth, CV_8UC(channels), image.Pixels(),
                  static_cast<size_t>(image.Stride()));
    cv::Mat lut(1, 256, CV_8U);
    for (int i = 0; i < 256; ++i)
        lut.at<uint8_t>(i) = static_cast<uint8_t>(255 - i);
    for (auto _ : state) {
        cv::LUT(frame, lut, frame);
        benchmark::DoNotOptimize(frame.data);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * image.ByteSize()));
}
BENCHMARK(BM_OpenCvLut)->Name("opencv/lut8")->Arg(1);
BENCHMARK(BM_OpenCvLut)->Name("opencv/lut24")->Arg(3);
#endif

}  // namespace

namespace velcor::bench {

std::vector<RatioLine> AdjustmentRatios() {
    constexpr const char* kTarget = "target <= 1.5";
    return {
        {"adjust/gamma8", "opencv/lut8", kTarget, true},
        {"adjust/gamma24", "opencv/lut24", kTarget, true},
        {"adjust/contrast24", "opencv/lut24", kTarget, true},
        {"adjust/brightness24", "opencv/lut24", kTarget, true},
        {"adjust/gamma8", "memcpy/frame8", "", true},
        {"adjust/gamma24", "memcpy/frame24", "", true},
        {"adjust/gamma32", "memcpy/frame32", "three of four bytes", true},
        {"adjust/gamma16", "memcpy/frame16", "", true},
        {"adjust/gamma48", "memcpy/frame48", "", true},
        {"adjust/contrast48", "memcpy/frame48", "", true},
        {"adjust/brightness48", "memcpy/frame48", "", true},
        {"adjust/hue24", "memcpy/frame24", "", true},
        {"adjust/hue48", "memcpy/frame48", "", true},
        {"adjust/sharpness24", "memcpy/frame24", "", true},
        {"adjust/sharpness48", "memcpy/frame48", "", true},
        {"adjust/graygains8", "memcpy/frame8", "", true},
        {"adjust/graygains16", "memcpy/frame16", "", true},
        {"adjust/graybalance8", "memcpy/frame8", "", true},
        {"adjust/graybalance16", "memcpy/frame16", "", true},
        {"adjust/bayergain8", "memcpy/frame8", "", true},
        {"adjust/bayergain16", "memcpy/frame16", "", true},
    };
}

}  // namespace velcor::bench
