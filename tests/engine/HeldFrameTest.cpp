// A frame lent to its reader where it lies in the ring stays as the camera sent it while the
// acquisition thread laps the ring many times over, and lending keeps the ring's counts.
// The simulated ROZE9701 camera delivers its rows bottom-up, and with its fast picture the
// natural scene moves one row per frame, so every frame differs from the one before.
#include <gtest/gtest.h>

#include <velcor/VelcorSim.h>

#include <cstdint>
#include <memory>

#include "engine/VelcorR3U2Base.h"
#include "platform/Clock.h"
#include "sim/SimTestSupport.h"
#include "support/EngineFrameWait.h"

namespace velcor {
namespace {

constexpr uint32_t kWaitMs = 5000;

// FNV-1a over the picture's rows, top row first.
uint64_t Checksum(const HeldFrame& frame) {
    uint64_t hash = 1469598103934665603ull;
    const size_t rowBytes = static_cast<size_t>(frame.width) * frame.bytesPerPixel;
    for (int y = 0; y < frame.height; ++y) {
        const uint8_t* row = frame.topRow + frame.rowStep * y;
        for (size_t i = 0; i < rowBytes; ++i)
            hash = (hash ^ row[i]) * 1099511628211ull;
    }
    return hash;
}

class HeldFrames : public testing::SimTest {
  protected:
    void SetUp() override {
        SimTest::SetUp();
        camera_ = VelcorSim_AttachCamera(0x32C0, "HOLD0001");
        ASSERT_GT(camera_, 0);
        ASSERT_TRUE(VelcorSim_SetFastRender(camera_, TRUE));
        ASSERT_TRUE(VelcorSim_SetFastFrames(camera_, TRUE));
        engine_ = std::make_unique<CVelcorUSB3T2SimpleSdk>();
        engine_->SetProductId(0x32C0);
        engine_->InitializeController(nullptr, nullptr);
        {
            platform::VirtualTimeScope virtualTime;
            ASSERT_EQ(engine_->OpenDevice(0), 1);
        }
        ASSERT_EQ(engine_->SetBitDepthMode(0), 1);
        ASSERT_TRUE(engine_->CanHoldFrames());
    }
    void TearDown() override {
        if (engine_) engine_->StopTransfer();
        engine_.reset();
        SimTest::TearDown();
    }
    // Waits until the camera has finished `count` more frames.
    bool FramesFinished(uint64_t count) {
        const uint64_t target = engine_->GetFrameCounters().finished + count;
        const uint32_t start = platform::TimeGetTime();
        while (engine_->GetFrameCounters().finished < target) {
            if (platform::TimeGetTime() - start > 20 * kWaitMs) return false;
            platform::Sleep(2);
        }
        return true;
    }

    int camera_ = 0;
    std::unique_ptr<CVelcorUSB3T2SimpleSdk> engine_;
};

TEST_F(HeldFrames, AHeldFrameIsNeverOverwrittenWhileTheCameraLapsTheRing) {
    ASSERT_EQ(engine_->StartTransfer(0), 1);
    ASSERT_EQ(test::WaitForNewFrame(*engine_, kWaitMs), kWaitFrameNew);
    HeldFrame first;
    ASSERT_EQ(engine_->HoldNextFrame(first), 0);
    EXPECT_EQ(first.width, 1280);
    EXPECT_EQ(first.height, 1024);
    EXPECT_EQ(first.bytesPerPixel, 1);
    EXPECT_LT(first.rowStep, 0) << "the camera sends its bottom row first";
    const uint64_t held = Checksum(first);

    // Three times round the ring while the reader keeps the frame.
    ASSERT_TRUE(FramesFinished(3 * static_cast<uint64_t>(engine_->RingDepth())));
    EXPECT_EQ(Checksum(first), held) << "the acquisition thread wrote into the held frame";

    // The next frame held is a newer one, and taking it lets the first go back to the ring.
    HeldFrame second;
    ASSERT_EQ(engine_->HoldNextFrame(second), 0);
    EXPECT_NE(second.topRow, first.topRow);
    const uint64_t secondHeld = Checksum(second);
    EXPECT_NE(secondHeld, held) << "the scene moves one row per frame";
    ASSERT_TRUE(FramesFinished(2 * static_cast<uint64_t>(engine_->RingDepth())));
    EXPECT_EQ(Checksum(second), secondHeld);
    ASSERT_EQ(engine_->StopTransfer(), 1);

    // Every frame finished is read, dropped or still waiting in the ring; the two held count
    // as read.
    const FrameCounters counters = engine_->GetFrameCounters();
    EXPECT_EQ(counters.read, 2u);
    EXPECT_LE(counters.read + counters.dropped, counters.finished);
    EXPECT_LE(counters.finished - counters.read - counters.dropped,
              static_cast<uint64_t>(engine_->RingDepth()));
}

TEST_F(HeldFrames, HoldingWithNothingNewTakesNothing) {
    HeldFrame frame;
    EXPECT_EQ(engine_->HoldNextFrame(frame), -1);
    EXPECT_EQ(frame.topRow, nullptr);
    const FrameCounters counters = engine_->GetFrameCounters();
    EXPECT_EQ(counters.read, 0u);
    EXPECT_EQ(counters.dropped, 0u);
}

}  // namespace
}  // namespace velcor
