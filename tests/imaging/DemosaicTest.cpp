#include "imaging/Demosaic.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "imaging/ImagingTestSupport.h"

namespace velcor {
namespace {

using test::Channel;
using test::FillFlat;
using test::FillRandom;
using test::FillRandomBytes;
using test::SameBytes;

enum class Colour { Red, Green, Blue };

// Colour of the raw sample at (col, row) for a Bayer mode: even rows of mode 0 run green,
// blue; odd rows red, green.
Colour SampleColour(int mode, int col, int row) {
    const int rp = (row + (mode & 1)) & 1;
    const int cp = (col + ((mode >> 1) & 1)) & 1;
    if (rp == cp) return Colour::Green;
    return rp == 0 ? Colour::Blue : Colour::Red;
}

// Reference: output (x, y) is the centre of the block of columns x-1, x and rows y-1, y.
// Green averages the block's two greens; red and blue weigh every sample of their colour in
// the 4 x 4 neighbourhood by closeness to the centre (3 inside the block, 1 outside, per
// axis). Outside taps move four rows or columns inwards.
struct Reference {
    const DibImage& raw;
    int mode;
    int gainRed;
    int gainBlue;

    uint32_t Sample(int col, int row) const {
        if (col < 0) col += 4;
        if (col >= raw.Width()) col -= 4;
        if (row < 0) row += 4;
        if (row >= raw.Height()) row -= 4;
        return Channel(raw, col, row, 0);
    }

    uint32_t Weighted(Colour colour, int x, int y) const {
        uint32_t sum = 0;
        for (int row = y - 2; row <= y + 1; ++row) {
            for (int col = x - 2; col <= x + 1; ++col) {
                if (SampleColour(mode, col, row) != colour) continue;
                const uint32_t wr = (row == y - 1 || row == y) ? 3 : 1;
                const uint32_t wc = (col == x - 1 || col == x) ? 3 : 1;
                sum += wr * wc * Sample(col, row);
            }
        }
        return sum;
    }

    uint32_t Pixel(int x, int y, int channel) const {
        const uint32_t max = raw.Bits() == 8 ? 255 : 65535;
        if (channel == 1) {
            uint32_t g = 0;
            for (int row = y - 1; row <= y; ++row) {
                for (int col = x - 1; col <= x; ++col) {
                    if (SampleColour(mode, col, row) == Colour::Green) g += Sample(col, row);
                }
            }
            return g >> 1;
        }
        const bool red = channel == 2;
        const auto k = static_cast<uint64_t>(std::trunc((red ? gainRed : gainBlue) * 1.28));
        const uint64_t v = (Weighted(red ? Colour::Red : Colour::Blue, x, y) * k) >> 11;
        return static_cast<uint32_t>(std::min<uint64_t>(v, max));
    }
};

// Compares every pixel of the output with the reference; reports the first mismatch.
void ExpectMatchesReference(const DibImage& raw, const DibImage& out, int mode, int red, int blue) {
    const Reference ref{raw, mode, red, blue};
    for (int y = 0; y < raw.Height(); ++y) {
        for (int x = 0; x < raw.Width(); ++x) {
            for (int c = 0; c < 3; ++c) {
                if (Channel(out, x, y, c) != ref.Pixel(x, y, c)) {
                    ADD_FAILURE() << raw.Width() << "x" << raw.Height() << " mode " << mode
                                  << " gains " << red << "/" << blue << ": pixel (" << x << "," << y
                                  << ") channel " << c << " is " << Channel(out, x, y, c)
                                  << ", expected " << ref.Pixel(x, y, c);
                    return;
                }
            }
        }
    }
}

struct Size {
    int w, h;
};

// Small frames reach every border band; the wider ones also run the vector interior (runs of
// 16 pixels at 8 bits, 8 at 16 bits) with scalar tails of every length.
const Size kSizes[] = {{4, 4},  {5, 7},  {6, 6},  {9, 5},  {12, 8}, {20, 6},
                       {21, 7}, {27, 6}, {36, 5}, {37, 9}, {64, 6}};

class DemosaicDepths : public ::testing::TestWithParam<std::pair<int, int>> {};

TEST_P(DemosaicDepths, MatchesReferenceInEveryPhaseAndBand) {
    const auto [rawBits, outBits] = GetParam();
    unsigned seed = 1;
    for (const Size s : kSizes) {
        DibImage raw, out;
        ASSERT_TRUE(raw.Create(s.w, s.h, rawBits));
        ASSERT_TRUE(out.Create(s.w, s.h, outBits));
        FillRandom(raw, seed++, /*wide=*/true);
        for (int mode = 0; mode < 4; ++mode) {
            for (const auto& [red, blue] : {std::pair{100, 100}, {173, 61}, {400, 0}}) {
                ASSERT_TRUE(Demosaic(raw, out, BayerGains{mode, red, 100, blue}));
                ExpectMatchesReference(raw, out, mode, red, blue);
                ASSERT_TRUE(DemosaicReference(raw, out, BayerGains{mode, red, 100, blue}));
                ExpectMatchesReference(raw, out, mode, red, blue);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, DemosaicDepths,
                         ::testing::Values(std::pair{8, 24}, std::pair{8, 32}, std::pair{16, 48},
                                           std::pair{16, 64}),
                         [](const auto& info) {
                             return std::to_string(info.param.first) + "to" +
                                    std::to_string(info.param.second);
                         });

std::vector<SimdLevel> PathsOfThisMachine() {
    std::vector<SimdLevel> paths;
    for (const SimdLevel path : {SimdLevel::kPortable, SimdLevel::kAvx2, SimdLevel::kAvx512}) {
        if (SimdLevelAvailable(path)) paths.push_back(path);
    }
    return paths;
}

// Each vector path gives the reference's bytes, row padding and fourth channels included, for
// widths around every run length (16, 32 and 64 pixels at 8 bits, half that at 16) with and
// without a tail, odd sizes, every phase, and gains that reach both limits.
class DemosaicPaths : public ::testing::TestWithParam<SimdLevel> {};

TEST_P(DemosaicPaths, GiveTheReferenceBytes) {
    const SimdLevel path = GetParam();
    const Size sizes[] = {{5, 5},   {12, 3},  {19, 6},  {20, 5},  {21, 4},  {35, 7},
                          {36, 6},  {37, 5},  {50, 9},  {67, 4},  {68, 6},  {69, 5},
                          {100, 7}, {132, 6}, {133, 5}, {198, 4}, {256, 6}, {301, 3}};
    const std::pair<int, int> gains[] = {{100, 100}, {173, 61}, {400, 0}, {5000, 3150}};
    unsigned seed = 40;
    for (const auto& [rawBits, outBits] :
         {std::pair{8, 24}, std::pair{8, 32}, std::pair{16, 48}, std::pair{16, 64}}) {
        for (const Size s : sizes) {
            DibImage raw, expected, actual;
            ASSERT_TRUE(raw.Create(s.w, s.h, rawBits));
            ASSERT_TRUE(expected.Create(s.w, s.h, outBits));
            ASSERT_TRUE(actual.Create(s.w, s.h, outBits));
            FillRandom(raw, seed++, /*wide=*/true);
            for (int mode = 0; mode < 4; ++mode) {
                for (const auto& [red, blue] : gains) {
                    const BayerGains g{mode, red, 100, blue};
                    FillRandomBytes(expected, seed);
                    FillRandomBytes(actual, seed);
                    ASSERT_TRUE(DemosaicReference(raw, expected, g));
                    ASSERT_TRUE(Demosaic(raw, actual, g, path));
                    ASSERT_TRUE(SameBytes(expected, actual))
                        << SimdLevelName(path) << " " << rawBits << "->" << outBits << " " << s.w
                        << "x" << s.h << " mode " << mode << " gains " << red << "/" << blue;
                }
            }
        }
    }
}

TEST_P(DemosaicPaths, RectangleAtAnOddOffsetGivesTheReferenceBytes) {
    // A rectangle starts on the other phase and sits inside a wider image: the kernel must
    // neither read nor write outside it.
    const SimdLevel path = GetParam();
    for (const auto& [rawBits, outBits] : {std::pair{8, 24}, std::pair{16, 64}}) {
        DibImage raw, cropped, expected, actual;
        ASSERT_TRUE(raw.Create(160, 12, rawBits));
        FillRandom(raw, 77, /*wide=*/true);
        ASSERT_TRUE(cropped.Create(141, 9, rawBits));
        for (int y = 0; y < 9; ++y) {
            for (int x = 0; x < 141; ++x)
                test::SetSample(cropped, x, y, Channel(raw, x + 5, y + 1, 0));
        }
        ASSERT_TRUE(expected.Create(141, 9, outBits));
        ASSERT_TRUE(actual.Create(141, 9, outBits));
        // (5, 1) in mode 2 has the phase of mode 1 at the origin.
        ASSERT_TRUE(DemosaicReference(cropped, expected, BayerGains{1, 150, 100, 80}));
        ASSERT_TRUE(Demosaic(cropped, actual, BayerGains{1, 150, 100, 80}, path));
        EXPECT_TRUE(SameBytes(expected, actual)) << SimdLevelName(path);
    }
}

INSTANTIATE_TEST_SUITE_P(ThisMachine, DemosaicPaths, ::testing::ValuesIn(PathsOfThisMachine()),
                         [](const auto& info) { return std::string(SimdLevelName(info.param)); });

TEST(DemosaicSimd, SettingHoldsThePathToTheNamedOne) {
    EXPECT_EQ(SimdLevelFromSetting("portable"), SimdLevel::kPortable);
    const SimdLevel avx2 = SimdLevelFromSetting("avx2");
    EXPECT_EQ(avx2, SimdLevelAvailable(SimdLevel::kAvx2) ? SimdLevel::kAvx2 : SimdLevel::kPortable);
    // No setting, or one not understood, takes the widest path the processor has.
    const std::vector<SimdLevel> paths = PathsOfThisMachine();
    EXPECT_EQ(SimdLevelFromSetting(nullptr), paths.back());
    EXPECT_EQ(SimdLevelFromSetting("fastest"), paths.back());
    // A path the processor lacks is refused, not run.
    DibImage raw, out;
    ASSERT_TRUE(raw.Create(40, 6, 8));
    ASSERT_TRUE(out.Create(40, 6, 24));
    for (const SimdLevel path : {SimdLevel::kPortable, SimdLevel::kAvx2, SimdLevel::kAvx512})
        EXPECT_EQ(Demosaic(raw, out, BayerGains{}, path), SimdLevelAvailable(path));
}

TEST(DemosaicSimd, ProcessFollowsTheEnvironment) {
    // The suite runs once as it is and once with VELCOR_SIMD=portable.
    const char* setting = std::getenv("VELCOR_SIMD");
    EXPECT_EQ(ActiveSimdLevel(), SimdLevelFromSetting(setting));
    if (setting != nullptr && std::string(setting) == "portable") {
        EXPECT_EQ(ActiveSimdLevel(), SimdLevel::kPortable);
    }
}

TEST(Demosaic, FlatFrameGivesItsValueEverywhereInEveryMode) {
    for (const auto& [rawBits, outBits, v] :
         {std::tuple{8, 24, 77u}, {8, 32, 255u}, {16, 48, 3000u}, {16, 64, 65535u}}) {
        DibImage raw, out;
        ASSERT_TRUE(raw.Create(40, 10, rawBits));
        ASSERT_TRUE(out.Create(40, 10, outBits));
        FillFlat(raw, v);
        for (int mode = 0; mode < 4; ++mode) {
            ASSERT_TRUE(Demosaic(raw, out, BayerGains{mode, 100, 100, 100}));
            for (int y = 0; y < 10; ++y) {
                for (int x = 0; x < 40; ++x) {
                    for (int c = 0; c < 3; ++c)
                        ASSERT_EQ(Channel(out, x, y, c), v) << x << "," << y << " mode " << mode;
                }
            }
        }
    }
}

TEST(Demosaic, RedGainSaturatesAndScales) {
    DibImage raw, out;
    ASSERT_TRUE(raw.Create(24, 8, 8));
    ASSERT_TRUE(out.Create(24, 8, 24));
    FillFlat(raw, 100);
    ASSERT_TRUE(Demosaic(raw, out, BayerGains{0, 400, 100, 100}));
    EXPECT_EQ(Channel(out, 5, 5, 2), 255u);  // 1600 x 512 passes the 8-bit limit
    EXPECT_EQ(Channel(out, 0, 0, 2), 255u);
    ASSERT_TRUE(Demosaic(raw, out, BayerGains{0, 200, 100, 0}));
    EXPECT_EQ(Channel(out, 5, 5, 2), 200u);
    EXPECT_EQ(Channel(out, 23, 7, 2), 200u);
    EXPECT_EQ(Channel(out, 5, 5, 0), 0u);  // blue gain 0
    EXPECT_EQ(Channel(out, 5, 5, 1), 100u);
}

TEST(Demosaic, SixteenBitGainSaturatesAtTheWordLimit) {
    DibImage raw, out;
    ASSERT_TRUE(raw.Create(24, 8, 16));
    ASSERT_TRUE(out.Create(24, 8, 48));
    FillFlat(raw, 40000);
    ASSERT_TRUE(Demosaic(raw, out, BayerGains{2, 400, 100, 150}));
    EXPECT_EQ(Channel(out, 10, 4, 2), 65535u);
    EXPECT_EQ(Channel(out, 10, 4, 0), 60000u);
    EXPECT_EQ(Channel(out, 1, 1, 0), 60000u);
}

TEST(Demosaic, FourthChannelIsNotWritten) {
    for (const auto& [rawBits, outBits] : {std::pair{8, 32}, {16, 64}}) {
        DibImage raw, out;
        ASSERT_TRUE(raw.Create(40, 6, rawBits));
        ASSERT_TRUE(out.Create(40, 6, outBits));
        FillRandom(raw, 9);
        ASSERT_TRUE(Demosaic(raw, out, BayerGains{1, 100, 100, 100}));
        for (int y = 0; y < 6; ++y) {
            for (int x = 0; x < 40; ++x)
                ASSERT_EQ(Channel(out, x, y, 3), 0u) << x << "," << y;
        }
        // A value already in the fourth channel stays as it is.
        out.FillBytes(0x5A);
        ASSERT_TRUE(Demosaic(raw, out, BayerGains{1, 100, 100, 100}));
        const uint32_t kept = outBits == 32 ? 0x5Au : 0x5A5Au;
        EXPECT_EQ(Channel(out, 0, 0, 3), kept);
        EXPECT_EQ(Channel(out, 20, 3, 3), kept);
    }
}

TEST(Demosaic, MirrorFlagsExchangePhases) {
    EXPECT_EQ(MirroredBayerMode(0, true, false), 1);
    EXPECT_EQ(MirroredBayerMode(0, true, true), 3);
    EXPECT_EQ(MirroredBayerMode(2, true, false), 3);
    EXPECT_EQ(MirroredBayerMode(1, false, true), 3);
    EXPECT_EQ(MirroredBayerMode(3, false, false), 3);
}

TEST(Demosaic, FramesNarrowerThanTheBorderStayInside) {
    // Four rows or columns further in does not exist here; the taps stay on their phase
    // inside the frame, so a flat frame still gives its value.
    for (const Size s : {Size{1, 1}, Size{2, 2}, Size{3, 2}, Size{2, 5}, Size{3, 3}}) {
        DibImage raw, out;
        ASSERT_TRUE(raw.Create(s.w, s.h, 8));
        ASSERT_TRUE(out.Create(s.w, s.h, 24));
        FillFlat(raw, 90);
        for (int mode = 0; mode < 4; ++mode) {
            ASSERT_TRUE(Demosaic(raw, out, BayerGains{mode, 100, 100, 100}));
            for (int y = 0; y < s.h; ++y) {
                for (int x = 0; x < s.w; ++x)
                    EXPECT_EQ(Channel(out, x, y, 1), 90u) << s.w << "x" << s.h;
            }
        }
    }
}

TEST(Demosaic, RectangleIsAFrameWithItsAbsolutePhase) {
    DibImage raw, whole, part;
    ASSERT_TRUE(raw.Create(30, 12, 8));
    ASSERT_TRUE(part.Create(30, 12, 24));
    FillRandom(raw, 21);
    // The rectangle from (3, 1) as a frame of its own: its first pixel has the phase of
    // (3, 1) in mode 0, which is mode 3.
    DibImage cropped;
    ASSERT_TRUE(cropped.Create(24, 9, 8));
    for (int y = 0; y < 9; ++y) {
        for (int x = 0; x < 24; ++x)
            test::SetSample(cropped, x, y, Channel(raw, x + 3, y + 1, 0));
    }
    ASSERT_TRUE(whole.Create(24, 9, 24));
    BayerGains gains{0, 130, 100, 90};
    const PixelRect rect{3, 1, 27, 10};
    ASSERT_EQ(RectangleOperation(&part, DemosaicRoutine, &raw, &rect, 0, 0, &gains), 1);
    ASSERT_TRUE(Demosaic(cropped, whole, BayerGains{3, 130, 100, 90}));
    for (int y = 0; y < 9; ++y) {
        for (int x = 0; x < 24; ++x) {
            for (int c = 0; c < 3; ++c)
                ASSERT_EQ(Channel(part, x, y, c), Channel(whole, x, y, c)) << x << "," << y;
        }
    }
}

TEST(Demosaic, RefusesMismatchedImages) {
    DibImage raw8, raw16, out24, small24, out48;
    ASSERT_TRUE(raw8.Create(8, 8, 8));
    ASSERT_TRUE(raw16.Create(8, 8, 16));
    ASSERT_TRUE(out24.Create(8, 8, 24));
    ASSERT_TRUE(small24.Create(8, 6, 24));
    ASSERT_TRUE(out48.Create(8, 8, 48));
    const BayerGains g{};
    EXPECT_FALSE(Demosaic(raw8, small24, g));
    EXPECT_FALSE(Demosaic(raw8, out48, g));
    EXPECT_FALSE(Demosaic(raw16, out24, g));
    EXPECT_TRUE(Demosaic(raw16, out48, g));
    EXPECT_EQ(RectangleOperation(&out24, DemosaicRoutine, &raw8, nullptr, 0, 0, nullptr), 0);
}

}  // namespace
}  // namespace velcor
