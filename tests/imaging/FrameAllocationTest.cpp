// The frame conversion allocates nothing per frame.
#include <gtest/gtest.h>

#include <memory>

#include "imaging/FrameConverter.h"
#include "imaging/ImagingTestSupport.h"
#include "support/AllocationCounter.h"

namespace velcor {
namespace {

TEST(FrameAllocation, CounterSeesAllocations) {
    const auto before = test::AllocationsOnThisThread();
    auto p = std::make_unique<int>(1);
    EXPECT_GT(test::AllocationsOnThisThread(), before);
}

TEST(FrameAllocation, ConversionOfModesEightAndTwentyFourAllocatesNothing) {
    DibImage raw8, image24;
    ASSERT_TRUE(raw8.Create(1280, 1024, 8));
    ASSERT_TRUE(image24.Create(1280, 1024, 24));
    test::FillRandom(raw8, 7);
    FrameImages frame;
    frame.raw8 = &raw8;
    frame.image24 = &image24;
    ConversionParams params;
    params.mirrorH = params.mirrorV = true;  // software mirror on the way
    for (const int mode : {8, 24}) {
        params.colourMode = mode;
        for (const int grayMode : {0, 2}) {
            params.filters.grayMode = grayMode;
            const auto before = test::AllocationsOnThisThread();
            for (int i = 0; i < 3; ++i)
                ASSERT_EQ(FrameConverter::Convert(frame, params), 1);
            EXPECT_EQ(test::AllocationsOnThisThread() - before, 0u)
                << "mode " << mode << " gray " << grayMode;
        }
    }
}

// Every adjustment on, in every colour mode. The first frame may build the shared 16-bit
// tables of the values in use; frames after it allocate nothing.
TEST(FrameAllocation, AdjustedFramesAllocateNothingOnceTheTablesExist) {
    constexpr int kW = 320, kH = 256;
    DibImage raw8, raw16, image24, image32, image48, image64;
    ASSERT_TRUE(raw8.Create(kW, kH, 8));
    ASSERT_TRUE(raw16.Create(kW, kH, 16));
    ASSERT_TRUE(image24.Create(kW, kH, 24));
    ASSERT_TRUE(image32.Create(kW, kH, 32));
    ASSERT_TRUE(image48.Create(kW, kH, 48));
    ASSERT_TRUE(image64.Create(kW, kH, 64));
    for (const int mode : {8, 16, 24, 32, 48, 64}) {
        DibImage work;
        ASSERT_TRUE(work.Create(kW, kH, mode));
        FrameImages frame{&raw8, &raw16, &image24, &image32, &image48, &image64, &work};
        ConversionParams params;
        params.colourMode = mode;
        params.mirrorH = true;
        FilterValues& f = params.filters;
        f.hue = 30;
        f.saturation = -20;
        f.gamma = 80;
        f.contrast = 15;
        f.sharpness = 7;
        f.brightness = -12;
        f.bayerGainAuto = 1;
        f.grayMode = 1;
        f.grayGainR = 140;
        f.autoGrayBalance = 1000;
        test::FillRandom(raw8, 8);
        test::FillRandom(raw16, 9);
        ASSERT_EQ(FrameConverter::Convert(frame, params), 1);
        const auto before = test::AllocationsOnThisThread();
        for (int i = 0; i < 3; ++i)
            ASSERT_EQ(FrameConverter::Convert(frame, params), 1);
        EXPECT_EQ(test::AllocationsOnThisThread() - before, 0u) << "mode " << mode;
    }
}

}  // namespace
}  // namespace velcor
