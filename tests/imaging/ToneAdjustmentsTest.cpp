#include "imaging/ToneAdjustments.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "imaging/ImagingTestSupport.h"

namespace velcor {
namespace {

using test::Channel;
using test::CopyImage;
using test::FillRandomBytes;
using test::SetChannel;

int ChannelsOf(int bits) {
    return bits == 8 || bits == 16 ? 1 : 3;
}
uint32_t MaxOf(int bits) {
    return bits == 8 || bits == 24 || bits == 32 ? 255u : 65535u;
}

// A one-row gray image holding the given samples.
DibImage& Row(DibImage& image, int bits, std::initializer_list<uint32_t> values) {
    image.Create(static_cast<int>(values.size()), 1, bits);
    int x = 0;
    for (const uint32_t v : values)
        SetChannel(image, x++, 0, 0, v);
    return image;
}

// Applies the adjustment to every layout; sample i (of every colour channel) must map to
// expect(i, max), the fourth byte or word and the row padding must stay as they were.
template <typename Adjust, typename Expect>
void ExpectMapsEverySample(Adjust adjust, Expect expect) {
    for (const int bits : {8, 16, 24, 32, 48, 64}) {
        DibImage image, before;
        ASSERT_TRUE(image.Create(37, 9, bits));
        FillRandomBytes(image, static_cast<unsigned>(bits) + 1);
        ASSERT_TRUE(CopyImage(image, before));
        ASSERT_TRUE(adjust(image));
        for (int y = 0; y < image.Height(); ++y) {
            for (int x = 0; x < image.Width(); ++x) {
                for (int c = 0; c < ChannelsOf(bits); ++c) {
                    const uint32_t v = Channel(before, x, y, c);
                    ASSERT_EQ(Channel(image, x, y, c), expect(v, MaxOf(bits)))
                        << bits << " bits, sample " << v;
                }
                if (bits == 32 || bits == 64) {
                    ASSERT_EQ(Channel(image, x, y, 3), Channel(before, x, y, 3)) << bits;
                }
            }
            const int rowBytes = image.Width() * image.BytesPerPixel();
            const size_t at = static_cast<size_t>(y) * image.Stride();
            ASSERT_TRUE(std::equal(image.Pixels() + at + rowBytes,
                                   image.Pixels() + at + image.Stride(),
                                   before.Pixels() + at + rowBytes))
                << bits << " bits: row padding";
        }
    }
}

TEST(Gamma, ZeroKeepsOnlyTheMaximum) {
    ExpectMapsEverySample([](DibImage& im) { return ApplyGamma(im, 0); },
                          [](uint32_t v, uint32_t max) { return v == max ? max : 0u; });
}

TEST(Gamma, CurvesBothWays) {
    DibImage image;
    // Gamma 50 squares the normalised sample, gamma 200 takes its square root.
    ASSERT_TRUE(ApplyGamma(Row(image, 8, {0, 1, 128, 255}), 50));
    EXPECT_EQ(Channel(image, 0, 0, 0), 0u);
    EXPECT_EQ(Channel(image, 1, 0, 0), 0u);
    EXPECT_EQ(Channel(image, 2, 0, 0), 64u);  // 255 x (128 / 255)^2 = 64.25
    EXPECT_EQ(Channel(image, 3, 0, 0), 255u);
    ASSERT_TRUE(ApplyGamma(Row(image, 8, {0, 64, 255}), 200));
    EXPECT_EQ(Channel(image, 1, 0, 0), 127u);  // 255 x sqrt(64 / 255) = 127.7
    EXPECT_EQ(Channel(image, 2, 0, 0), 255u);
    ASSERT_TRUE(ApplyGamma(Row(image, 16, {0, 32768, 65535}), 50));
    EXPECT_EQ(Channel(image, 1, 0, 0), 16384u);  // 32768^2 / 65535 = 16384.25
    EXPECT_EQ(Channel(image, 2, 0, 0), 65535u);
    // A value used before by another image comes from the shared table all the same.
    ASSERT_TRUE(ApplyGamma(Row(image, 16, {32768}), 50));
    EXPECT_EQ(Channel(image, 0, 0, 0), 16384u);
}

TEST(Contrast, FullContrastSplitsAtTheMiddle) {
    ExpectMapsEverySample([](DibImage& im) { return ApplyContrast(im, 127); },
                          [](uint32_t v, uint32_t max) -> uint32_t {
                              if (max == 255) return v < 128 ? 0 : v == 128 ? 128 : 255;
                              // 16 bits: cut at 127 x 256 from each end, x128 between.
                              if (v < 32512) return 0;
                              if (v > 33023) return 65535;
                              return (v - 32512) * 128;
                          });
}

TEST(Contrast, NegativeContrastCompressesTowardTheMiddle) {
    DibImage image;
    ASSERT_TRUE(ApplyContrast(Row(image, 8, {0, 128, 255}), -50));
    EXPECT_EQ(Channel(image, 0, 0, 0), 35u);   // 256 / 356 x 50
    EXPECT_EQ(Channel(image, 1, 0, 0), 128u);  // 256 / 356 x 178
    EXPECT_EQ(Channel(image, 2, 0, 0), 219u);  // 256 / 356 x 305
    ASSERT_TRUE(ApplyContrast(Row(image, 16, {0, 65535}), -50));
    EXPECT_EQ(Channel(image, 0, 0, 0), 9204u);   // 65536 / 91136 x 12800
    EXPECT_EQ(Channel(image, 1, 0, 0), 56330u);  // 65536 / 91136 x 78335
}

TEST(Brightness, DarkensToBlackAndBrightensWithClamping) {
    ExpectMapsEverySample([](DibImage& im) { return ApplyBrightness(im, -255); },
                          [](uint32_t, uint32_t) { return 0u; });
    ExpectMapsEverySample([](DibImage& im) { return ApplyBrightness(im, 255); },
                          [](uint32_t v, uint32_t max) { return std::min(v * 11, max); });
    DibImage image;
    // 1 - 51 / 255 is 0.79999995 in single precision, and the product is truncated.
    ASSERT_TRUE(ApplyBrightness(Row(image, 8, {100, 200}), -51));
    EXPECT_EQ(Channel(image, 0, 0, 0), 79u);
    EXPECT_EQ(Channel(image, 1, 0, 0), 159u);
}

// Sharpness reference: each interior sample against the plain sum of its 4 x 4 block.
void ExpectSharpened(const DibImage& before, const DibImage& after, int s) {
    const int w = before.Width(), h = before.Height();
    const int max = static_cast<int>(MaxOf(before.Bits()));
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            for (int c = 0; c < ChannelsOf(before.Bits()); ++c) {
                const int src = static_cast<int>(Channel(before, x, y, c));
                int want = src;
                if (x >= 2 && x <= w - 3 && y >= 2 && y <= h - 3) {
                    int sum = 0;
                    for (int yy = y - 2; yy <= y + 1; ++yy) {
                        for (int xx = x - 2; xx <= x + 1; ++xx)
                            sum += static_cast<int>(Channel(before, xx, yy, c));
                    }
                    want = std::clamp(src + s * (src - (sum >> 4)) / 10, 0, max);
                }
                ASSERT_EQ(static_cast<int>(Channel(after, x, y, c)), want)
                    << before.Bits() << " bits at " << x << "," << y << " channel " << c;
            }
            if (before.Bits() == 32 || before.Bits() == 64) {
                ASSERT_EQ(Channel(after, x, y, 3), Channel(before, x, y, 3));
            }
        }
    }
}

TEST(Sharpness, MatchesTheBlockMeanReferenceAndKeepsTheBorder) {
    for (const int bits : {8, 16, 24, 32, 48, 64}) {
        for (const int s : {1, 13, 30}) {
            DibImage image, before, work;
            ASSERT_TRUE(image.Create(29, 11, bits));
            ASSERT_TRUE(work.Create(29, 11, bits));
            FillRandomBytes(image, static_cast<unsigned>(bits * 31 + s));
            ASSERT_TRUE(CopyImage(image, before));
            ASSERT_TRUE(ApplySharpness(image, &work, s));
            ExpectSharpened(before, image, s);
        }
    }
}

TEST(Sharpness, SteepensAnEdge) {
    DibImage image, work;
    ASSERT_TRUE(image.Create(16, 8, 8));
    ASSERT_TRUE(work.Create(16, 8, 8));
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 16; ++x)
            SetChannel(image, x, y, 0, x < 8 ? 60 : 180);
    }
    ASSERT_TRUE(ApplySharpness(image, &work, 10));
    const int y = 4;
    EXPECT_EQ(Channel(image, 4, y, 0), 60u) << "flat areas stay";
    EXPECT_EQ(Channel(image, 12, y, 0), 180u);
    EXPECT_LT(Channel(image, 7, y, 0), 60u) << "the dark side of the edge darkens";
    EXPECT_GT(Channel(image, 8, y, 0), 180u) << "the bright side brightens";
    EXPECT_EQ(Channel(image, 7, 0, 0), 60u) << "border rows keep their values";
}

TEST(Sharpness, SkippedWithoutAMatchingWorkImage) {
    DibImage image, before, small, otherDepth;
    ASSERT_TRUE(image.Create(16, 8, 24));
    FillRandomBytes(image, 5);
    ASSERT_TRUE(CopyImage(image, before));
    ASSERT_TRUE(small.Create(8, 8, 24));
    ASSERT_TRUE(otherDepth.Create(16, 8, 32));
    EXPECT_FALSE(ApplySharpness(image, nullptr, 10));
    EXPECT_FALSE(ApplySharpness(image, &small, 10));
    EXPECT_FALSE(ApplySharpness(image, &otherDepth, 10));
    EXPECT_TRUE(test::SameBytes(image, before));
    // Frames too small for an interior are left alone.
    DibImage tiny, tinyWork;
    ASSERT_TRUE(tiny.Create(4, 4, 8));
    ASSERT_TRUE(tinyWork.Create(4, 4, 8));
    tiny.FillBytes(7);
    EXPECT_TRUE(ApplySharpness(tiny, &tinyWork, 30));
    EXPECT_EQ(tiny.Pixels()[5], 7);
}

TEST(ToneAdjustments, RefuseEmptyImages) {
    DibImage empty, work;
    EXPECT_FALSE(ApplyGamma(empty, 50));
    EXPECT_FALSE(ApplyContrast(empty, 50));
    EXPECT_FALSE(ApplyBrightness(empty, 50));
    EXPECT_FALSE(ApplySharpness(empty, &work, 5));
}

// Cameras converting at once with 16-bit values of their own share the table cache; more
// values than it keeps force replacements while the other camera uses its tables.
TEST(ToneAdjustments, SixteenBitTablesServeConcurrentCamerasWithTheirOwnValues) {
    DibImage original;
    ASSERT_TRUE(original.Create(64, 8, 48));
    FillRandomBytes(original, 12);
    struct Camera {
        std::vector<int> values;
        std::vector<std::unique_ptr<DibImage>> expected;
        std::atomic<int> mismatches{0};
    } cameras[2];
    for (int v = 0; v < 8; ++v) {
        cameras[0].values.push_back(10 + 20 * v);  // gamma 10..150
        cameras[1].values.push_back(20 + 20 * v);  // gamma 20..160
    }
    for (Camera& cam : cameras) {
        for (const int value : cam.values) {
            auto image = std::make_unique<DibImage>();
            ASSERT_TRUE(CopyImage(original, *image));
            ASSERT_TRUE(ApplyGamma(*image, value));
            ASSERT_TRUE(ApplyContrast(*image, value / 4 - 20));
            cam.expected.push_back(std::move(image));
        }
    }
    auto run = [&](Camera& cam) {
        DibImage image;
        if (!image.Clone(&original)) {
            cam.mismatches = -1;
            return;
        }
        for (int round = 0; round < 3; ++round) {
            for (size_t i = 0; i < cam.values.size(); ++i) {
                std::memcpy(image.Pixels(), original.Pixels(), original.ByteSize());
                ApplyGamma(image, cam.values[i]);
                ApplyContrast(image, cam.values[i] / 4 - 20);
                if (!test::SameBytes(image, *cam.expected[i])) ++cam.mismatches;
            }
        }
    };
    std::thread a(run, std::ref(cameras[0]));
    std::thread b(run, std::ref(cameras[1]));
    a.join();
    b.join();
    EXPECT_EQ(cameras[0].mismatches.load(), 0);
    EXPECT_EQ(cameras[1].mismatches.load(), 0);
}

// The vector kernels against the plain path: every byte of the image, padding and fourth
// samples included, for packed images and rows with padding, widths that leave a tail after
// the last whole vector, and the highest sample value (the last table entry) present.
TEST(ToneTables, VectorAndPortablePathsAgreeOnEveryLayout) {
    struct Step {
        const char* name;
        bool (*apply)(DibImage&, int);
        int value;
    };
    const Step steps[] = {{"gamma", ApplyGamma, 0},           {"gamma", ApplyGamma, 37},
                          {"gamma", ApplyGamma, 185},         {"contrast", ApplyContrast, -90},
                          {"contrast", ApplyContrast, 101},   {"brightness", ApplyBrightness, -255},
                          {"brightness", ApplyBrightness, 17}};
    for (const int bits : {8, 24, 32, 16, 48, 64}) {
        for (const int width : {1, 37, 64, 333}) {
            DibImage original;
            ASSERT_TRUE(original.Create(width, 7, bits));
            FillRandomBytes(original, static_cast<unsigned>(bits * 1000 + width));
            original.Pixels()[0] = 0xFF;
            original.Pixels()[1] = 0xFF;
            for (const Step& step : steps) {
                DibImage vector, portable;
                ASSERT_TRUE(CopyImage(original, vector));
                ASSERT_TRUE(CopyImage(original, portable));
                ASSERT_TRUE(step.apply(vector, step.value));
                {
                    test::PortableKernels plain;
                    ASSERT_TRUE(step.apply(portable, step.value));
                }
                EXPECT_TRUE(test::SameBytes(vector, portable))
                    << step.name << " " << step.value << ", " << bits << " bits, width " << width;
            }
        }
    }
}

// The vector rows of the unsharp mask against the plain ring of column sums, every layout,
// widths that leave tails, and the strongest sharpness on noise that drives samples past both
// ends of the range.
TEST(Sharpness, VectorAndPortablePathsAgreeOnEveryLayout) {
    for (const int bits : {8, 16, 24, 32, 48, 64}) {
        for (const int width : {5, 29, 70, 333}) {
            DibImage original;
            ASSERT_TRUE(original.Create(width, 9, bits));
            FillRandomBytes(original, static_cast<unsigned>(bits * 100 + width));
            for (const int sharpness : {1, 7, 30}) {
                DibImage vector, portable, work;
                ASSERT_TRUE(CopyImage(original, vector));
                ASSERT_TRUE(CopyImage(original, portable));
                ASSERT_TRUE(work.Clone(&original));
                ASSERT_TRUE(ApplySharpness(vector, &work, sharpness));
                {
                    test::PortableKernels plain;
                    ASSERT_TRUE(ApplySharpness(portable, &work, sharpness));
                }
                EXPECT_TRUE(test::SameBytes(vector, portable))
                    << "sharpness " << sharpness << ", " << bits << " bits, width " << width;
            }
        }
    }
}

}  // namespace
}  // namespace velcor
