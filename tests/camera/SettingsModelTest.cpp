// The settings model on its own: what a conversion's automatic balances write back.
#include <gtest/gtest.h>

#include "camera/SettingsModel.h"

namespace velcor {
namespace {

TEST(SettingsModel, KeepsTheBalancedValuesAndAnApplicationsNewerOnes) {
    SettingsModel model;
    {
        platform::CriticalSectionLock lock(model.Lock());
        model.Values().filters.bayerGainRed = 100;
        model.Values().filters.bayerGainBlue = 100;
        model.Values().filters.autoGrayBalance = 2;
    }
    const FilterValues before = model.Copy().filters;
    // While the frame is converted, the application sets a new blue gain...
    {
        platform::CriticalSectionLock lock(model.Lock());
        model.Values().filters.bayerGainBlue = 250;
    }
    // ...and the balances change the red gain and use up one gray-balance request.
    FilterValues after = before;
    after.bayerGainRed = 140;
    after.autoGrayBalance = 1;
    model.KeepBalances(before, after);

    const FilterValues kept = model.Copy().filters;
    EXPECT_EQ(kept.bayerGainRed, 140) << "the balanced value is kept";
    EXPECT_EQ(kept.autoGrayBalance, 1);
    EXPECT_EQ(kept.bayerGainBlue, 250) << "the application's newer value stays";
}

}  // namespace
}  // namespace velcor
