// Pixel-mask corrections of a whole 1280 x 1024 frame, 8 and 16 bits, as ratios to a memcpy of
// the same bytes. Each round runs every case once in turn (so a busy neighbour on the machine
// slows all of them alike) and measures the thread's CPU time; the ratios are medians over the
// rounds of time / the memcpy time of the same round.
//
//   velcor_mask_bench [rounds]    (default 15)
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "ThreadCpu.h"
#include "imaging/DibImage.h"
#include "imaging/PixelMask.h"

namespace {

using velcor::bench::Median;
using velcor::bench::RoundsArgument;
using velcor::bench::ThreadCpuMs;

using velcor::DibImage;
using velcor::PixelMask;

constexpr int kWidth = PixelMask::kWidth;
constexpr int kHeight = PixelMask::kHeight;

void SetSample(DibImage& image, int x, int y, int v) {
    uint8_t* p = image.Pixels() + static_cast<size_t>(y) * image.Stride() +
                 static_cast<size_t>(x) * image.BytesPerPixel();
    if (image.Bits() == 8) {
        *p = static_cast<uint8_t>(v);
    } else {
        const auto w = static_cast<uint16_t>(v);
        std::memcpy(p, &w, 2);
    }
}

// A textured frame around `level` with noise, and a few hundred defects: what the corrections
// meet on a real sensor.
void FillFrame(DibImage& image, int level, int noise, unsigned seed) {
    std::mt19937 gen(seed);
    std::uniform_int_distribution<int> jitter(-noise, noise);
    const int max = image.Bits() == 8 ? 255 : 4095;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x)
            SetSample(image, x, y, std::clamp(level + (x + y) % 16 + jitter(gen), 0, max));
    }
    std::uniform_int_distribution<int> col(0, kWidth - 1), row(0, kHeight - 1);
    for (int i = 0; i < 400; ++i)
        SetSample(image, col(gen), row(gen), i % 2 == 0 ? max : 0);
}

struct Case {
    std::string name;
    std::string baseline;  // the memcpy case of the same bytes
    std::function<void()> run;
};

}  // namespace

int main(int argc, char** argv) {
    const int rounds = RoundsArgument(argc, argv, 15);
    constexpr int kIterations = 10;  // per case and round

    PixelMask mask;
    if (!mask.Create()) return 1;
    DibImage frames[2], references[2][2];
    const int depths[2] = {8, 16};
    for (int d = 0; d < 2; ++d) {
        const int bits = depths[d];
        const int scale = bits == 8 ? 1 : 16;
        frames[d].Create(kWidth, kHeight, bits);
        for (int kind = 0; kind < 2; ++kind) {
            references[d][kind].Create(kWidth, kHeight, bits);
            FillFrame(references[d][kind], (kind == 0 ? 8 : 200) * scale, 3 * scale, 10 + kind);
            mask.UpdateReference(references[d][kind], kind);
        }
    }
    // The dot correction's frame is refilled from these before each run (a memcpy, timed
    // along: its ratio includes 1 for it), since a corrected frame has no dots left. The flat
    // field costs the same whatever the samples, so it works on its own output.
    DibImage sources[2];
    for (int d = 0; d < 2; ++d) {
        sources[d].Create(kWidth, kHeight, depths[d]);
        FillFrame(sources[d], (depths[d] == 8 ? 100 : 1600), depths[d] == 8 ? 4 : 64, 3);
    }
    std::vector<uint8_t> copy8(sources[0].ByteSize()), copy16(sources[1].ByteSize());

    auto refill = [&](int d) {
        std::memcpy(frames[d].Pixels(), sources[d].Pixels(), sources[d].ByteSize());
    };
    const std::vector<Case> cases = {
        {"memcpy/frame8", "",
         [&] { std::memcpy(copy8.data(), sources[0].Pixels(), copy8.size()); }},
        {"memcpy/frame16", "",
         [&] { std::memcpy(copy16.data(), sources[1].Pixels(), copy16.size()); }},
        {"flatfield/8", "memcpy/frame8", [&] { mask.CorrectFlatField(frames[0], 0, 0); }},
        {"flatfield/16", "memcpy/frame16", [&] { mask.CorrectFlatField(frames[1], 0, 0); }},
        {"dots/8", "memcpy/frame8",
         [&] {
             refill(0);
             mask.CorrectDots(frames[0], 0, 0);
         }},
        {"dots/16", "memcpy/frame16",
         [&] {
             refill(1);
             mask.CorrectDots(frames[1], 0, 0);
         }},
    };

    refill(0);
    refill(1);
    // Warm-up, then interleaved rounds.
    for (const Case& c : cases)
        c.run();
    std::vector<std::vector<double>> seconds(cases.size());
    for (int r = 0; r < rounds; ++r) {
        for (size_t i = 0; i < cases.size(); ++i) {
            const double start = ThreadCpuMs();
            for (int k = 0; k < kIterations; ++k)
                cases[i].run();
            seconds[i].push_back((ThreadCpuMs() - start) / 1e3 / kIterations);
        }
    }

    auto indexOf = [&](const std::string& name) {
        for (size_t i = 0; i < cases.size(); ++i) {
            if (cases[i].name == name) return i;
        }
        return cases.size();
    };
    std::printf("%d rounds of %d iterations, thread CPU time per frame (median):\n", rounds,
                kIterations);
    for (size_t i = 0; i < cases.size(); ++i)
        std::printf("  %-16s %8.3f ms\n", cases[i].name.c_str(), Median(seconds[i]) * 1e3);
    std::printf("Ratios (time / memcpy of the same bytes, same round; median over rounds):\n");
    for (size_t i = 0; i < cases.size(); ++i) {
        if (cases[i].baseline.empty()) continue;
        const size_t b = indexOf(cases[i].baseline);
        std::vector<double> ratios;
        for (int r = 0; r < rounds; ++r)
            ratios.push_back(seconds[i][r] / seconds[b][r]);
        std::printf("  %-16s / %-16s %7.2f\n", cases[i].name.c_str(), cases[i].baseline.c_str(),
                    Median(ratios));
    }
    return 0;
}
