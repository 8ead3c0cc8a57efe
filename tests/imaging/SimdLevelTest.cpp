#include "imaging/SimdLevel.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace velcor {
namespace {

SimdLevel Widest() {
    if (SimdLevelAvailable(SimdLevel::kAvx512)) return SimdLevel::kAvx512;
    if (SimdLevelAvailable(SimdLevel::kAvx2)) return SimdLevel::kAvx2;
    return SimdLevel::kPortable;
}

TEST(SimdLevel, SettingHoldsTheLevelDownToWhatTheProcessorHas) {
    EXPECT_TRUE(SimdLevelAvailable(SimdLevel::kPortable));
    EXPECT_EQ(SimdLevelFromSetting("portable"), SimdLevel::kPortable);
    EXPECT_EQ(SimdLevelFromSetting("avx2"),
              SimdLevelAvailable(SimdLevel::kAvx2) ? SimdLevel::kAvx2 : SimdLevel::kPortable);
    EXPECT_EQ(SimdLevelFromSetting("avx512"), Widest());
    // None, empty, or a value not understood: the best available.
    EXPECT_EQ(SimdLevelFromSetting(nullptr), Widest());
    EXPECT_EQ(SimdLevelFromSetting(""), Widest());
    EXPECT_EQ(SimdLevelFromSetting("fastest"), Widest());
    EXPECT_EQ(SimdLevelFromSetting("PORTABLE"), Widest());
}

TEST(SimdLevel, ProcessLevelFollowsTheEnvironmentAndTheTestSeam) {
    // The suite runs once as it is and once with VELCOR_SIMD=portable.
    const SimdLevel process = SimdLevelFromSetting(std::getenv("VELCOR_SIMD"));
    EXPECT_EQ(ActiveSimdLevel(), process);
    {
        ScopedSimdLevelForTesting plain(SimdLevel::kPortable);
        EXPECT_EQ(ActiveSimdLevel(), SimdLevel::kPortable);
        {
            // A level the processor lacks is never forced: the widest one below it is taken.
            ScopedSimdLevelForTesting best(SimdLevel::kAvx512);
            EXPECT_EQ(ActiveSimdLevel(), Widest());
        }
        EXPECT_EQ(ActiveSimdLevel(), SimdLevel::kPortable);
    }
    EXPECT_EQ(ActiveSimdLevel(), process);
    EXPECT_STREQ(SimdLevelName(ActiveSimdLevel()), std::string(SimdLevelName(process)).c_str());
}

}  // namespace
}  // namespace velcor
