#include "dialogs/ExposureText.h"

#include <gtest/gtest.h>

#include "dialogs/DialogTexts.h"

namespace velcor::dialogs {
namespace {

TEST(ExposureText, UnitFollowsTheSize) {
    EXPECT_EQ(UnitFor(1.5), kSeconds);
    // Exactly one second still reads in ms: only times above it read in seconds.
    EXPECT_EQ(UnitFor(1.0), kMilliseconds);
    EXPECT_EQ(UnitFor(0.001), kMilliseconds);
    EXPECT_EQ(UnitFor(0.00004), kMicroseconds);
    EXPECT_EQ(UnitFor(0.000001), kMicroseconds);
    EXPECT_EQ(UnitFor(0.0000005), kNanoseconds);
}

TEST(ExposureText, NumberPrintedByItsFraction) {
    // 0.00004 s is not exact in binary; it must still read as a whole 40 μs.
    EXPECT_EQ(FormatExposure(0.00004, kMicroseconds), "40");
    EXPECT_EQ(FormatExposure(1.5, kSeconds), "1.500");
    EXPECT_EQ(FormatExposure(0.0125, kMilliseconds), "12.500");
    // A fraction below 0.001 but not below 0.000001 gets six places.
    EXPECT_EQ(FormatExposure(2.000002, kSeconds), "2.000002");
    EXPECT_EQ(FormatExposure(2.0000005, kSeconds), "2");
    EXPECT_EQ(FormatExposure(0.25, kNanoseconds), "250000000");
}

TEST(ExposureText, TypedNumberInItsUnit) {
    EXPECT_DOUBLE_EQ(*ParseExposure("40", kMicroseconds), 0.00004);
    EXPECT_DOUBLE_EQ(*ParseExposure("1.5", kSeconds), 1.5);
    EXPECT_DOUBLE_EQ(*ParseExposure(" 250 ", kMilliseconds), 0.25);
    EXPECT_DOUBLE_EQ(*ParseExposure("100", kNanoseconds), 1e-7);
    EXPECT_FALSE(ParseExposure("", kSeconds));
    EXPECT_FALSE(ParseExposure("12ms", kSeconds));
    EXPECT_FALSE(ParseExposure("nan", kSeconds));
    EXPECT_FALSE(ParseExposure("inf", kSeconds));
}

TEST(ExposureText, RangeEachEndInItsOwnUnit) {
    EXPECT_EQ(FormatExposureRange(0.00001, 2.0), "range: 10\xCE\xBCs - 2sec");
    EXPECT_EQ(FormatExposureRange(0.0001, 0.5), "range: 100\xCE\xBCs - 500ms");
    EXPECT_STREQ(kExposureUnits[kMicroseconds], "μs");
}

}  // namespace
}  // namespace velcor::dialogs
