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

}  // namespace
}  // namespace velcor
