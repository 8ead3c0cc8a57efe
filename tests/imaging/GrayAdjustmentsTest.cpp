#include "imaging/GrayAdjustments.h"

#include <gtest/gtest.h>

#include <array>

#include "imaging/ImagingTestSupport.h"

namespace velcor {
namespace {

using test::Channel;
using test::FillFlat;
using test::SetSample;

// Phase of raw pixel (x, y) for a Bayer mode, as index row phase x 2 + column phase:
// 0 = (0, 0), 1 = (0, 1), 2 = (1, 0), 3 = (1, 1).
int PhaseOf(int mode, int x, int y) {
    return ((y + (mode & 1)) & 1) * 2 + ((x + ((mode >> 1) & 1)) & 1);
}

// A raw frame whose samples take one value per phase.
void FillPhases(DibImage& raw, int mode, const std::array<uint32_t, 4>& values) {
    for (int y = 0; y < raw.Height(); ++y) {
        for (int x = 0; x < raw.Width(); ++x)
            SetSample(raw, x, y, values[PhaseOf(mode, x, y)]);
    }
}

TEST(GrayGains, EachPhaseTakesItsOwnGainAndOffset) {
    FilterValues f = FilterValues::Neutral();
    // Gray mode 1 calls (0, 0) G1, (0, 1) R, (1, 0) B, (1, 1) G2.
    f.grayGainG1 = 128;  // unity
    f.grayGainR = 64;    // half
    f.grayGainB = 255;
    f.grayGainG2 = 32;
    f.grayOffsetG2 = 5;
    f.grayOffsetR = -20;
    for (const int bits : {8, 16}) {
        for (int mode = 0; mode < 4; ++mode) {
            f.bayerMode = mode;
            DibImage raw;
            ASSERT_TRUE(raw.Create(8, 6, bits));
            FillFlat(raw, 100);
            ASSERT_TRUE(ApplyGrayGains(raw, f));
            // G1 100; R 100 x 64 / 128 - 20 = 30; B 100 x 255 / 128 = 199;
            // G2 100 x 32 / 128 + 5 = 30.
            const std::array<uint32_t, 4> want = {100, 30, 199, 30};
            for (int y = 0; y < raw.Height(); ++y) {
                for (int x = 0; x < raw.Width(); ++x) {
                    ASSERT_EQ(Channel(raw, x, y, 0), want[PhaseOf(mode, x, y)])
                        << bits << " bits, mode " << mode << " at " << x << "," << y;
                }
            }
        }
    }
}

TEST(GrayGains, LimitsAtZeroAndAtTheTopOfTheSamples) {
    FilterValues f = FilterValues::Neutral();
    f.grayGainG1 = f.grayGainR = f.grayGainB = f.grayGainG2 = 0;
    f.grayOffsetG1 = f.grayOffsetR = f.grayOffsetB = f.grayOffsetG2 = -10;
    for (const int bits : {8, 16}) {
        DibImage raw;
        ASSERT_TRUE(raw.Create(4, 2, bits));
        FillFlat(raw, 200);
        ASSERT_TRUE(ApplyGrayGains(raw, f));
        EXPECT_EQ(Channel(raw, 0, 0, 0), 0u) << "gain 0, offset -10: 0, not a wrapped value";
        EXPECT_EQ(Channel(raw, 3, 1, 0), 0u);
    }
    f = FilterValues::Neutral();
    f.grayGainG1 = f.grayGainR = f.grayGainB = f.grayGainG2 = 255;
    DibImage raw8, raw16;
    ASSERT_TRUE(raw8.Create(4, 2, 8));
    ASSERT_TRUE(raw16.Create(4, 2, 16));
    FillFlat(raw8, 200);
    FillFlat(raw16, 4000);
    ASSERT_TRUE(ApplyGrayGains(raw8, f));
    ASSERT_TRUE(ApplyGrayGains(raw16, f));
    EXPECT_EQ(Channel(raw8, 1, 1, 0), 255u);
    EXPECT_EQ(Channel(raw16, 1, 1, 0), 4095u) << "12 significant bits";
}

TEST(GrayBalance, GainsBringEveryPhaseToTheFirstGreen) {
    for (int mode = 0; mode < 4; ++mode) {
        DibImage raw;
        ASSERT_TRUE(raw.Create(16, 8, 8));
        // G1 100, R 50, B 80, G2 200.
        FillPhases(raw, mode, {100, 50, 80, 200});
        // Saturated and black samples do not count.
        SetSample(raw, 0, 0, 255);
        SetSample(raw, 1, 0, 0);
        SetSample(raw, 0, 1, 255);
        SetSample(raw, 1, 1, 0);
        FilterValues f = FilterValues::Neutral();
        f.bayerMode = mode;
        f.grayGainG1 = 7;
        f.grayOffsetR = 12;
        ASSERT_TRUE(AutoGrayBalance(raw, f));
        EXPECT_EQ(f.grayGainG1, 128) << mode;
        EXPECT_EQ(f.grayGainR, 256) << mode;
        EXPECT_EQ(f.grayGainB, 160) << mode;
        EXPECT_EQ(f.grayGainG2, 64) << mode;
        EXPECT_EQ(f.grayOffsetR, 12) << "offsets stay";
        // The balanced gains level the phases.
        f.grayOffsetR = 0;
        ASSERT_TRUE(ApplyGrayGains(raw, f));
        for (const auto& [x, y] : {std::pair{2, 2}, {3, 2}, {2, 3}, {3, 3}})
            EXPECT_EQ(Channel(raw, x, y, 0), 100u) << mode << " at " << x << "," << y;
    }
}

TEST(GrayBalance, PhaseWithoutCountedSamplesLeavesTheGains) {
    DibImage raw;
    ASSERT_TRUE(raw.Create(8, 4, 8));
    FillPhases(raw, 0, {255, 50, 80, 200});  // every first green saturated
    FilterValues f = FilterValues::Neutral();
    f.grayGainR = 77;
    EXPECT_FALSE(AutoGrayBalance(raw, f));
    EXPECT_EQ(f.grayGainR, 77);
    EXPECT_EQ(f.grayGainG1, 128);
    DibImage oneRow;  // no (1, x) phases at all
    ASSERT_TRUE(oneRow.Create(8, 1, 8));
    FillFlat(oneRow, 90);
    EXPECT_FALSE(AutoGrayBalance(oneRow, f));
    EXPECT_EQ(f.grayGainR, 77);
}

TEST(AutoBayerGain, GrayFrameGivesUnityGains) {
    for (const int bits : {8, 16}) {
        DibImage raw;
        ASSERT_TRUE(raw.Create(16, 8, bits));
        FillFlat(raw, bits == 8 ? 120 : 3000);
        FilterValues f = FilterValues::Neutral();
        f.bayerGainRed = 250;
        f.bayerGainGreen = 90;
        f.bayerGainBlue = 10;
        ASSERT_TRUE(AutoBayerGain(raw, 0, f));
        EXPECT_EQ(f.bayerGainRed, 100);
        EXPECT_EQ(f.bayerGainGreen, 100);
        EXPECT_EQ(f.bayerGainBlue, 100);
    }
}

TEST(AutoBayerGain, TintedFrameGetsTheGreenOverColourRatios) {
    for (int mode = 0; mode < 4; ++mode) {
        DibImage raw;
        ASSERT_TRUE(raw.Create(16, 8, 16));
        // The demosaic's phases: green (0, 0) and (1, 1), blue (0, 1), red (1, 0).
        FillPhases(raw, mode, {1000, 2000, 500, 1000});
        FilterValues f = FilterValues::Neutral();
        ASSERT_TRUE(AutoBayerGain(raw, mode, f));
        EXPECT_NEAR(f.bayerGainRed, 200, 1) << mode;
        EXPECT_NEAR(f.bayerGainBlue, 50, 1) << mode;
        EXPECT_EQ(f.bayerGainGreen, 100);
    }
}

TEST(AutoBayerGain, GainsStopAtFourHundred) {
    DibImage raw;
    ASSERT_TRUE(raw.Create(8, 4, 8));
    FillPhases(raw, 0, {200, 100, 10, 200});
    FilterValues f = FilterValues::Neutral();
    ASSERT_TRUE(AutoBayerGain(raw, 0, f));
    EXPECT_EQ(f.bayerGainRed, 400);
    EXPECT_NEAR(f.bayerGainBlue, 200, 1);
    // No red light at all: an unbounded gain, limited.
    FillPhases(raw, 0, {200, 100, 0, 200});
    ASSERT_TRUE(AutoBayerGain(raw, 0, f));
    EXPECT_EQ(f.bayerGainRed, 400);
}

TEST(AutoBayerGain, PhaseWithoutSamplesOrGreenLeavesTheGains) {
    FilterValues f = FilterValues::Neutral();
    f.bayerGainRed = 140;
    f.bayerGainBlue = 60;
    DibImage oneRow;  // no red phase
    ASSERT_TRUE(oneRow.Create(8, 1, 8));
    FillFlat(oneRow, 90);
    EXPECT_FALSE(AutoBayerGain(oneRow, 0, f));
    DibImage black;  // no green light to compare with
    ASSERT_TRUE(black.Create(8, 4, 8));
    EXPECT_FALSE(AutoBayerGain(black, 0, f));
    EXPECT_EQ(f.bayerGainRed, 140);
    EXPECT_EQ(f.bayerGainBlue, 60);
    EXPECT_EQ(f.bayerGainGreen, 100);
}

}  // namespace
}  // namespace velcor
