// The image adjustments on a 1280 x 1024 frame at 8 and 16 bits, each beside yardsticks over
// the same bytes: a memcpy and, for the table adjustments (which do what a lookup table does),
// OpenCV's cv::LUT on one thread when OpenCV is there (8-bit samples) or a plain loop through a
// table of 65536 words (16-bit samples).
//
// Rounds interleave every case and its yardsticks, each timed in this thread's CPU time (user
// and system), so a busy machine slows both sides of a ratio alike; a figure is the median of
// the per-round ratios. Targets: the table adjustments at most 1.0 x their table yardstick, the
// other steps at most 2 x memcpy.
//
//   velcor_adjust_bench [rounds]     (default 7)
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "ThreadCpu.h"
#include "imaging/DibImage.h"
#include "imaging/FilterValues.h"
#include "imaging/GrayAdjustments.h"
#include "imaging/HueSaturation.h"
#include "imaging/ToneAdjustments.h"

#if defined(VELCOR_BENCH_OPENCV)
#include <opencv2/core.hpp>
#endif

namespace {

using velcor::bench::Median;
using velcor::bench::RoundsArgument;
using velcor::bench::ThreadCpuMs;

using velcor::DibImage;

constexpr int kWidth = 1280;
constexpr int kHeight = 1024;
// Each timing repeats its step until it has taken about this long, so the clock's resolution
// does not enter the ratio.
constexpr double kSliceMs = 20.0;

// Textured samples over the whole range, so no table entry or branch is favoured.
std::unique_ptr<DibImage> TexturedFrame(int bits) {
    auto image = std::make_unique<DibImage>();
    if (!image->Create(kWidth, kHeight, bits)) return nullptr;
    std::mt19937 gen(17);
    std::uniform_int_distribution<int> noise(0, 255);
    for (size_t i = 0; i < image->ByteSize(); ++i)
        image->Pixels()[i] = static_cast<uint8_t>(((i * 7) >> 3) + noise(gen));
    return image;
}

// A step timed as a whole number of repetitions, in milliseconds per repetition.
struct Timed {
    std::function<void()> step;
    int repetitions = 1;

    void Calibrate() {
        step();  // warm: tables built, pages touched
        const double start = ThreadCpuMs();
        step();
        const double ms = std::max(ThreadCpuMs() - start, 0.01);
        repetitions = std::clamp(static_cast<int>(kSliceMs / ms), 1, 10000);
    }
    double Run() const {
        const double start = ThreadCpuMs();
        for (int i = 0; i < repetitions; ++i)
            step();
        return (ThreadCpuMs() - start) / repetitions;
    }
};

struct Case {
    std::string name;
    Timed ours;
    size_t bytes = 0;
    bool lutYardstick = false;   // an 8-bit table adjustment: compared with cv::LUT as well
    bool wordYardstick = false;  // a 16-bit one: compared with a lookup of 65536 words
    std::vector<double> ms, toMemcpy, toLut;
};

}  // namespace

int main(int argc, char** argv) {
    const int rounds = RoundsArgument(argc, argv, 7);

    std::vector<std::unique_ptr<DibImage>> frames;
    auto frame = [&frames](int bits) {
        frames.push_back(TexturedFrame(bits));
        return frames.back().get();
    };
    std::vector<Case> cases;
    auto add = [&cases](std::string name, DibImage* image, std::function<void(DibImage&)> adjust,
                        bool lut = false, bool words = false) {
        Case c;
        c.name = std::move(name);
        c.ours.step = [image, adjust] { adjust(*image); };
        c.bytes = image->ByteSize();
        c.lutYardstick = lut;
        c.wordYardstick = words;
        cases.push_back(std::move(c));
    };

    for (const int bits : {8, 24, 32, 16, 48, 64}) {
        DibImage* image = frame(bits);
        if (image == nullptr) return 1;
        const std::string suffix = "/" + std::to_string(bits);
        const bool byteTables = bits == 8 || bits == 24 || bits == 32;
        add(
            "gamma" + suffix, image, [](DibImage& im) { velcor::ApplyGamma(im, 140); }, byteTables,
            !byteTables);
        add(
            "contrast" + suffix, image, [](DibImage& im) { velcor::ApplyContrast(im, 20); },
            byteTables, !byteTables);
        add(
            "brightness" + suffix, image, [](DibImage& im) { velcor::ApplyBrightness(im, -30); },
            byteTables, !byteTables);
        auto work = std::make_unique<DibImage>();
        if (!work->Create(kWidth, kHeight, bits)) return 1;
        DibImage* workImage = work.get();
        frames.push_back(std::move(work));
        add("sharpness" + suffix, image,
            [workImage](DibImage& im) { velcor::ApplySharpness(im, workImage, 12); });
        if (bits > 16) {
            add("hue" + suffix, image,
                [](DibImage& im) { velcor::ApplyHueSaturation(im, 75, 40); });
        } else {
            velcor::FilterValues f = velcor::FilterValues::Neutral();
            f.grayGainR = 140;
            f.grayGainB = 120;
            f.grayOffsetG2 = -3;
            add("graygains" + suffix, image, [f](DibImage& im) { velcor::ApplyGrayGains(im, f); });
            add("graybalance" + suffix, image, [](DibImage& im) {
                velcor::FilterValues g = velcor::FilterValues::Neutral();
                velcor::AutoGrayBalance(im, g);
            });
            add("bayergain" + suffix, image, [](DibImage& im) {
                velcor::FilterValues g = velcor::FilterValues::Neutral();
                velcor::AutoBayerGain(im, 1, g);
            });
        }
    }

    // Yardsticks by byte count: a memcpy of the frame's bytes, cv::LUT in place on them.
    std::vector<std::vector<uint8_t>> buffers;
    std::vector<size_t> sizes;
    for (const Case& c : cases) {
        if (std::find(sizes.begin(), sizes.end(), c.bytes) == sizes.end()) sizes.push_back(c.bytes);
    }
    std::vector<Timed> memcpyBy(sizes.size());
    for (size_t i = 0; i < sizes.size(); ++i) {
        buffers.emplace_back(sizes[i], 1);
        buffers.emplace_back(sizes[i], 2);
        uint8_t* src = buffers[buffers.size() - 2].data();
        uint8_t* dst = buffers.back().data();
        const size_t n = sizes[i];
        memcpyBy[i].step = [src, dst, n] {
            std::memcpy(dst, src, n);
            asm volatile("" : : "r"(dst) : "memory");
        };
        memcpyBy[i].Calibrate();
    }
    // A 16-bit table lookup in place over the same bytes, as plain as it gets.
    std::vector<uint16_t> wordTable(65536);
    for (size_t i = 0; i < wordTable.size(); ++i)
        wordTable[i] = static_cast<uint16_t>(65535 - i);
    std::vector<Timed> wordsBy(sizes.size());
    for (size_t i = 0; i < sizes.size(); ++i) {
        buffers.emplace_back(sizes[i], 3);
        uint8_t* p = buffers.back().data();
        const size_t n = sizes[i] / 2;
        const uint16_t* table = wordTable.data();
        wordsBy[i].step = [p, n, table] {
            uint16_t* __restrict words = reinterpret_cast<uint16_t*>(p);
            for (size_t k = 0; k < n; ++k)
                words[k] = table[words[k]];
            asm volatile("" : : "r"(p) : "memory");
        };
        wordsBy[i].Calibrate();
    }
    auto sizeIndex = [&sizes](size_t bytes) {
        return static_cast<size_t>(std::find(sizes.begin(), sizes.end(), bytes) - sizes.begin());
    };
#if defined(VELCOR_BENCH_OPENCV)
    cv::setNumThreads(1);
    cv::Mat lut(1, 256, CV_8U);
    for (int i = 0; i < 256; ++i)
        lut.at<uint8_t>(i) = static_cast<uint8_t>(255 - i);
    std::vector<Timed> lutBy(sizes.size());
    std::vector<cv::Mat> lutFrames;
    lutFrames.reserve(sizes.size());  // the steps keep pointers to the matrices
    for (size_t i = 0; i < sizes.size(); ++i) {
        // The same bytes as one gray plane, one row per frame row of the 8-bit layouts.
        auto plain = std::make_unique<DibImage>();
        const int width = static_cast<int>(sizes[i] / kHeight);
        if (!plain->Create(width, kHeight, 8)) return 1;
        lutFrames.emplace_back(kHeight, width, CV_8UC1, plain->Pixels(),
                               static_cast<size_t>(plain->Stride()));
        cv::Mat* m = &lutFrames.back();
        frames.push_back(std::move(plain));
        lutBy[i].step = [m, &lut] { cv::LUT(*m, lut, *m); };
    }
    for (Timed& t : lutBy)
        t.Calibrate();
#endif
    for (Case& c : cases)
        c.ours.Calibrate();

    for (int round = 0; round < rounds; ++round) {
        for (Case& c : cases) {
            const size_t s = sizeIndex(c.bytes);
            // Alternate which side goes first, so neither always meets a warm cache.
            double ours = 0, copy = 0;
            if (round % 2 == 0) {
                ours = c.ours.Run();
                copy = memcpyBy[s].Run();
            } else {
                copy = memcpyBy[s].Run();
                ours = c.ours.Run();
            }
            c.ms.push_back(ours);
            c.toMemcpy.push_back(copy > 0 ? ours / copy : 0);
            if (c.wordYardstick) {
                const double table = wordsBy[s].Run();
                c.toLut.push_back(table > 0 ? ours / table : 0);
            }
#if defined(VELCOR_BENCH_OPENCV)
            if (c.lutYardstick) {
                const double table = lutBy[s].Run();
                c.toLut.push_back(table > 0 ? ours / table : 0);
            }
#endif
        }
    }

    std::printf("%d x %d, %d interleaved rounds, thread CPU time, medians\n", kWidth, kHeight,
                rounds);
    std::printf("  %-16s %9s %10s %10s\n", "step/bits", "ms", "/ memcpy", "/ table");
    for (const Case& c : cases) {
        std::printf("  %-16s %9.3f %10.2f", c.name.c_str(), Median(c.ms), Median(c.toMemcpy));
        if (!c.toLut.empty()) {
            const double r = Median(c.toLut);
            std::printf(" %10.2f%s", r, r <= 1.0 ? "" : "  over the 1.0 target");
        }
        std::printf("\n");
    }
#if !defined(VELCOR_BENCH_OPENCV)
    std::printf("(built without OpenCV: no cv::LUT yardstick)\n");
#endif
    return 0;
}
