#include "imaging/HueSaturation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "imaging/ImagingTestSupport.h"

namespace velcor {
namespace {

using test::Channel;
using test::CopyImage;
using test::FillRandomBytes;
using test::SetChannel;

struct Rgb {
    int r, g, b;
};

// Reference of one pixel, written out the long way: the position on the 1530-unit circle is
// found by sextant, turned, and the colour is rebuilt channel by channel.
Rgb ReferenceTurn(Rgb in, int hue, int saturation) {
    const int a = HueCircleUnits(hue);
    int sextant, max, l;
    int min = std::min({in.r, in.g, in.b});
    if (in.b > std::max(in.r, in.g)) {
        sextant = 5;
        max = in.b;
        l = in.r - in.g;
    } else if (in.r >= in.g) {
        sextant = 1;
        max = in.r;
        l = in.g - in.b;
    } else {
        sextant = 3;
        max = in.g;
        l = in.b - in.r;
    }
    const int c = max - min;
    const int lightness = max + min;
    if (l < 0) {
        sextant -= 1;
        l += c;
    }
    const int limit = lightness < 256 ? lightness : 511 - lightness;
    const int scaled = (c * ((saturation + 256) * 256) + 0x8000) >> 16;
    const int n = std::min(limit, scaled);
    const int lo = (lightness - n) >> 1;
    if (c == 0) return {lo, lo, lo};
    int w = ((l * (0xFF0000 / c) + 0x8000) >> 16) + a % 255;
    int k = sextant + a / 255;
    if (w >= 255) {
        w -= 255;
        k += 1;
    }
    const int span = ((lightness + n) >> 1) - lo;
    const int hi = lo + span;
    const int ramp = (w * span + 128) >> 8;
    switch (k % 6) {
        case 0:  // magenta to red: blue falls
            return {hi, lo, hi - ramp};
        case 1:  // red to yellow: green rises
            return {hi, lo + ramp, lo};
        case 2:  // yellow to green: red falls
            return {hi - ramp, hi, lo};
        case 3:  // green to cyan: blue rises
            return {lo, hi, lo + ramp};
        case 4:  // cyan to blue: green falls
            return {lo, hi - ramp, hi};
        default:  // blue to magenta: red rises
            return {lo + ramp, lo, hi};
    }
}

Rgb PixelOf(const DibImage& image, int x, int y, int shift) {
    return {static_cast<int>(Channel(image, x, y, 2) >> shift),
            static_cast<int>(Channel(image, x, y, 1) >> shift),
            static_cast<int>(Channel(image, x, y, 0) >> shift)};
}

DibImage& OnePixel(DibImage& image, int bits, Rgb colour) {
    image.Create(4, 1, bits);
    const int shift = bits >= 48 ? 8 : 0;
    SetChannel(image, 0, 0, 0, static_cast<uint32_t>(colour.b) << shift);
    SetChannel(image, 0, 0, 1, static_cast<uint32_t>(colour.g) << shift);
    SetChannel(image, 0, 0, 2, static_cast<uint32_t>(colour.r) << shift);
    return image;
}

void ExpectColour(const DibImage& image, Rgb want, int tolerance = 0) {
    const Rgb got = PixelOf(image, 0, 0, image.Bits() >= 48 ? 8 : 0);
    EXPECT_NEAR(got.r, want.r, tolerance);
    EXPECT_NEAR(got.g, want.g, tolerance);
    EXPECT_NEAR(got.b, want.b, tolerance);
}

// Every pixel against the reference; the fourth channel of 32 bits kept, of 64 bits cleared.
void ExpectMatchesReference(const DibImage& before, const DibImage& after, int hue, int sat) {
    const int shift = before.Bits() >= 48 ? 8 : 0;
    for (int y = 0; y < before.Height(); ++y) {
        for (int x = 0; x < before.Width(); ++x) {
            const Rgb want = ReferenceTurn(PixelOf(before, x, y, shift), hue, sat);
            const uint32_t b = Channel(after, x, y, 0), g = Channel(after, x, y, 1),
                           r = Channel(after, x, y, 2);
            ASSERT_TRUE(r == static_cast<uint32_t>(want.r) << shift &&
                        g == static_cast<uint32_t>(want.g) << shift &&
                        b == static_cast<uint32_t>(want.b) << shift)
                << before.Bits() << " bits, hue " << hue << " sat " << sat << " at " << x << ","
                << y << ": " << r << " " << g << " " << b;
            if (before.Bits() == 32) {
                ASSERT_EQ(Channel(after, x, y, 3), Channel(before, x, y, 3));
            } else if (before.Bits() == 64) {
                ASSERT_EQ(Channel(after, x, y, 3), 0u);
            }
        }
    }
}

TEST(HueSaturation, CircleUnitsOfTheHue) {
    EXPECT_EQ(HueCircleUnits(0), 0);
    EXPECT_EQ(HueCircleUnits(60), 255);  // one sextant
    EXPECT_EQ(HueCircleUnits(360), 0);   // a full turn
    EXPECT_EQ(HueCircleUnits(-360), 0);
    EXPECT_EQ(HueCircleUnits(-60), 1274);  // wraps, within a unit of 1275
    for (int hue = -360; hue <= 360; ++hue) {
        const int a = HueCircleUnits(hue);
        ASSERT_GE(a, 0);
        ASSERT_LT(a, 1530);
        const double exact = std::fmod(hue * 1530.0 / 360.0 + 1530.0, 1530.0);
        const double off = std::abs(a - exact);
        ASSERT_LE(std::min(off, 1530.0 - off), 2.0) << hue;
    }
}

TEST(HueSaturation, SixtyDegreesTurnRedIntoYellow) {
    for (const int bits : {24, 32, 48, 64}) {
        DibImage image;
        ASSERT_TRUE(ApplyHueSaturation(OnePixel(image, bits, {200, 0, 0}), 60, 0));
        ExpectColour(image, {200, 200, 0});
        ASSERT_TRUE(ApplyHueSaturation(OnePixel(image, bits, {200, 0, 0}), -60, 0));
        // -60 degrees falls one unit of the circle short of magenta.
        ExpectColour(image, {200, 0, 200}, 2);
        ASSERT_TRUE(ApplyHueSaturation(OnePixel(image, bits, {0, 0, 200}), 120, 0));
        ExpectColour(image, {200, 0, 0}, 2);  // blue into red, also a unit short
    }
}

TEST(HueSaturation, FullTurnsLeaveColoursWithinRounding) {
    DibImage image, before;
    ASSERT_TRUE(image.Create(61, 17, 24));
    FillRandomBytes(image, 3);
    ASSERT_TRUE(CopyImage(image, before));
    for (const int hue : {360, -360}) {
        DibImage turned;
        ASSERT_TRUE(CopyImage(before, turned));
        ASSERT_TRUE(ApplyHueSaturation(turned, hue, 0));
        for (int y = 0; y < image.Height(); ++y) {
            for (int x = 0; x < image.Width(); ++x) {
                for (int c = 0; c < 3; ++c) {
                    ASSERT_NEAR(static_cast<int>(Channel(turned, x, y, c)),
                                static_cast<int>(Channel(before, x, y, c)), 1)
                        << hue << " at " << x << "," << y;
                }
            }
        }
    }
}

TEST(HueSaturation, NoSaturationLeavesTheGrayOfEachColour) {
    DibImage image, before;
    ASSERT_TRUE(image.Create(64, 16, 24));
    FillRandomBytes(image, 4);
    ASSERT_TRUE(CopyImage(image, before));
    ASSERT_TRUE(ApplyHueSaturation(image, 0, -255));
    for (int y = 0; y < image.Height(); ++y) {
        for (int x = 0; x < image.Width(); ++x) {
            const Rgb in = PixelOf(before, x, y, 0);
            const int max = std::max({in.r, in.g, in.b}), min = std::min({in.r, in.g, in.b});
            const int gray = (max + min) / 2;
            // The saturation scale (256 - 255) / 256 still rounds a chroma of 128 or more to
            // 1, which splits the gray by one level.
            const int tolerance = max - min < 128 ? 0 : 1;
            for (int c = 0; c < 3; ++c)
                ASSERT_NEAR(static_cast<int>(Channel(image, x, y, c)), gray, tolerance);
        }
    }
}

TEST(HueSaturation, MatchesTheReferenceInEveryLayout) {
    for (const int bits : {24, 32, 48, 64}) {
        DibImage image, before;
        // An odd width leaves row padding in the 24 and 48-bit layouts.
        ASSERT_TRUE(image.Create(37, 23, bits));
        FillRandomBytes(image, static_cast<unsigned>(bits));
        ASSERT_TRUE(CopyImage(image, before));
        for (const auto& [hue, sat] :
             {std::pair{0, 100}, {45, 0}, {-200, -80}, {300, 255}, {1, -255}, {-1, 30}, {180, 0}}) {
            ASSERT_TRUE(CopyImage(before, image));
            ASSERT_TRUE(ApplyHueSaturation(image, hue, sat));
            ExpectMatchesReference(before, image, hue, sat);
            // Row padding is not pixel data and stays.
            const int rowBytes = image.Width() * image.BytesPerPixel();
            for (int y = 0; y < image.Height(); ++y) {
                const size_t at = static_cast<size_t>(y) * image.Stride();
                ASSERT_TRUE(std::equal(image.Pixels() + at + rowBytes,
                                       image.Pixels() + at + image.Stride(),
                                       before.Pixels() + at + rowBytes));
            }
        }
    }
}

// Hue rotation of HSL in floating point: the integer circle agrees within a few levels.
TEST(HueSaturation, TurnsTheHueAsHslDoes) {
    std::mt19937 gen(9);
    std::uniform_int_distribution<int> dist(0, 255);
    for (const int hue : {30, 60, 100, -150, 270}) {
        for (int i = 0; i < 500; ++i) {
            const Rgb in{dist(gen), dist(gen), dist(gen)};
            const double max = std::max({in.r, in.g, in.b}), min = std::min({in.r, in.g, in.b});
            const double c = max - min;
            if (c == 0) continue;
            double h;
            if (max == in.r) {
                h = std::fmod((in.g - in.b) / c + 6.0, 6.0);
            } else if (max == in.g) {
                h = (in.b - in.r) / c + 2.0;
            } else {
                h = (in.r - in.g) / c + 4.0;
            }
            h = std::fmod(h + hue / 60.0 + 12.0, 6.0);
            const double x = c * (1.0 - std::abs(std::fmod(h, 2.0) - 1.0));
            const double rgb[6][3] = {{c, x, 0}, {x, c, 0}, {0, c, x},
                                      {0, x, c}, {x, 0, c}, {c, 0, x}};
            const double* o = rgb[static_cast<int>(h)];
            DibImage image;
            ASSERT_TRUE(ApplyHueSaturation(OnePixel(image, 24, in), hue, 0));
            const Rgb got = PixelOf(image, 0, 0, 0);
            ASSERT_NEAR(got.r, o[0] + min, 3) << hue << ": " << in.r << " " << in.g << " " << in.b;
            ASSERT_NEAR(got.g, o[1] + min, 3) << hue << ": " << in.r << " " << in.g << " " << in.b;
            ASSERT_NEAR(got.b, o[2] + min, 3) << hue << ": " << in.r << " " << in.g << " " << in.b;
        }
    }
}

TEST(HueSaturation, SixteenBitLayoutsWorkOnTheHighByte) {
    DibImage image;
    OnePixel(image, 64, {0, 0, 0});
    SetChannel(image, 0, 0, 2, 0xC8FF);  // red 200 with a low byte
    SetChannel(image, 0, 0, 3, 0x1234);  // fourth word
    ASSERT_TRUE(ApplyHueSaturation(image, 60, 0));
    EXPECT_EQ(Channel(image, 0, 0, 2), 0xC800u);
    EXPECT_EQ(Channel(image, 0, 0, 1), 0xC800u);
    EXPECT_EQ(Channel(image, 0, 0, 0), 0u);
    EXPECT_EQ(Channel(image, 0, 0, 3), 0u);
}

TEST(HueSaturation, OnlyColourLayouts) {
    for (const int bits : {8, 16}) {
        DibImage image;
        ASSERT_TRUE(image.Create(8, 2, bits));
        image.FillBytes(99);
        EXPECT_FALSE(ApplyHueSaturation(image, 60, 10));
        EXPECT_EQ(image.Pixels()[0], 99);
    }
    DibImage empty;
    EXPECT_FALSE(ApplyHueSaturation(empty, 60, 10));
}

// Two cameras converting at once with different saturations each get their own result.
TEST(HueSaturation, ConcurrentConversionsUseTheirOwnSaturation) {
    DibImage original;
    ASSERT_TRUE(original.Create(64, 48, 24));
    FillRandomBytes(original, 11);
    struct Camera {
        int saturation;
        DibImage expected;
        std::atomic<int> mismatches{0};
    } cameras[2];
    cameras[0].saturation = 150;
    cameras[1].saturation = -150;
    for (Camera& cam : cameras) {
        ASSERT_TRUE(CopyImage(original, cam.expected));
        ASSERT_TRUE(ApplyHueSaturation(cam.expected, 40, cam.saturation));
    }
    ASSERT_FALSE(test::SameBytes(cameras[0].expected, cameras[1].expected));
    std::atomic<bool> go{false};
    auto run = [&](Camera& cam) {
        DibImage image;
        if (!image.Clone(&original)) {
            cam.mismatches = -1;
            return;
        }
        while (!go.load())
            std::this_thread::yield();
        for (int i = 0; i < 200; ++i) {
            std::copy_n(original.Pixels(), original.ByteSize(), image.Pixels());
            ApplyHueSaturation(image, 40, cam.saturation);
            if (!test::SameBytes(image, cam.expected)) ++cam.mismatches;
        }
    };
    std::thread a(run, std::ref(cameras[0]));
    std::thread b(run, std::ref(cameras[1]));
    go = true;
    a.join();
    b.join();
    EXPECT_EQ(cameras[0].mismatches.load(), 0);
    EXPECT_EQ(cameras[1].mismatches.load(), 0);
}

}  // namespace
}  // namespace velcor

namespace velcor {
namespace {

// The vector paths against the plain one, which the reference tests above hold: the same bytes
// in every layout, at widths around the eight-pixel vectors, and in the row padding.
TEST(HueSaturationPaths, EveryLevelGivesThePortableBytes) {
    const std::vector<SimdLevel> levels = test::LevelsOfThisMachine();
    for (const int bits : {24, 32, 48, 64}) {
        for (const int width : {1, 7, 8, 9, 15, 16, 17, 23, 24, 25, 45}) {
            DibImage source, expected, actual;
            ASSERT_TRUE(source.Create(width, 5, bits));
            FillRandomBytes(source, static_cast<unsigned>(bits * 100 + width));
            for (const auto& [hue, sat] : {std::pair{75, 40},
                                           {-200, -255},
                                           {360, 255},
                                           {1, -1},
                                           {-360, 0},
                                           {0, 200},
                                           {181, -90}}) {
                ASSERT_TRUE(CopyImage(source, expected));
                {
                    test::PortableKernels plain;
                    ASSERT_TRUE(ApplyHueSaturation(expected, hue, sat));
                }
                for (const SimdLevel level : levels) {
                    ScopedSimdLevelForTesting forced(level);
                    ASSERT_TRUE(CopyImage(source, actual));
                    ASSERT_TRUE(ApplyHueSaturation(actual, hue, sat));
                    ASSERT_TRUE(test::SameBytes(expected, actual))
                        << SimdLevelName(level) << " " << bits << " bits, width " << width
                        << ", hue " << hue << " sat " << sat;
                }
            }
        }
    }
}

// Every 8-bit colour for one turn and saturation, and every hue and saturation value for
// random colours: the vector arithmetic agrees with the plain one over the whole input space
// that the tables and the reciprocal meet.
TEST(HueSaturationPaths, EveryColourAndEverySettingAgree) {
    const std::vector<SimdLevel> levels = test::LevelsOfThisMachine();
    if (levels.size() < 2) GTEST_SKIP() << "no vector path on this processor";
    // 2^24 colours as 64 images of 4096 x 64 pixels of 32 bits (0x00RRGGBB, fourth byte set).
    DibImage colours, expected, actual;
    ASSERT_TRUE(colours.Create(4096, 64, 32));
    auto* packed = reinterpret_cast<uint32_t*>(colours.Pixels());
    for (uint32_t part = 0; part < 64; ++part) {
        for (uint32_t i = 0; i < 4096u * 64u; ++i)
            packed[i] = (part << 18 | i) | 0xA5000000u;
        // The colour alone decides the sextant, chroma and lightness arithmetic; the settings
        // only add constants, swept below.
        for (const auto& [hue, sat] : {std::pair{75, 40}}) {
            ASSERT_TRUE(CopyImage(colours, expected));
            {
                test::PortableKernels plain;
                ASSERT_TRUE(ApplyHueSaturation(expected, hue, sat));
            }
            for (size_t v = 1; v < levels.size(); ++v) {
                ScopedSimdLevelForTesting forced(levels[v]);
                ASSERT_TRUE(CopyImage(colours, actual));
                ASSERT_TRUE(ApplyHueSaturation(actual, hue, sat));
                ASSERT_TRUE(test::SameBytes(expected, actual))
                    << SimdLevelName(levels[v]) << " hue " << hue << " sat " << sat;
            }
        }
    }
    // Every hue and every saturation, each with its own random colours.
    DibImage source, plain, vector;
    ASSERT_TRUE(source.Create(64, 4, 24));
    for (int setting = -360; setting <= 360; ++setting) {
        FillRandomBytes(source, static_cast<unsigned>(setting + 1000));
        const int sat = (setting * 255) / 360;
        for (const auto& [hue, s] : {std::pair{setting, 37}, {113, sat}}) {
            ASSERT_TRUE(CopyImage(source, plain));
            {
                test::PortableKernels forced;
                ASSERT_TRUE(ApplyHueSaturation(plain, hue, s));
            }
            for (size_t v = 1; v < levels.size(); ++v) {
                ScopedSimdLevelForTesting forced(levels[v]);
                ASSERT_TRUE(CopyImage(source, vector));
                ASSERT_TRUE(ApplyHueSaturation(vector, hue, s));
                ASSERT_TRUE(test::SameBytes(plain, vector))
                    << SimdLevelName(levels[v]) << " hue " << hue << " sat " << s;
            }
        }
    }
}

}  // namespace
}  // namespace velcor
