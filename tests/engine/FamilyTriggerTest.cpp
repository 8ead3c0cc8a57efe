// External trigger on family cameras, one product per way the engine switches trigger mode:
// the camera's FPGA then delivers a frame for each pulse on its trigger input and none
// without, and runs free again once the mode is switched off.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/ProductTraits.h"
#include "engine/VelcorR3U2Base.h"
#include "platform/Clock.h"
#include "sim/SimFamilyProducts.h"
#include "sim/SimTestSupport.h"
#include "support/EngineFrameWait.h"

namespace velcor {
namespace {

constexpr int kWidth = 64;
constexpr int kHeight = 40;
constexpr uint32_t kWaitMs = 5000;
// Long enough for a frame the camera would send unasked to arrive.
constexpr uint32_t kQuietMs = 300;
constexpr int kTransferTrigger = 2;

struct TriggerCase {
    uint16_t productId;
    TriggerRule rule;
    uint16_t fpgaVersion;
    const char* name;
};

const TriggerCase kCases[] = {
    {0x31B0, TriggerRule::kSensor, 0x0125, "SensorRegisterImx250"},
    {0x3090, TriggerRule::kSensor, 0x0125, "SensorRegisterCcdWords"},
    {0x3030, TriggerRule::kLatchThenTrigger, 0x0125, "LatchThenTriggerMt9p001"},
    {0x30F0, TriggerRule::kFpgaEnable30, 0x0125, "FpgaEnable30Imx178"},
    {0x3150, TriggerRule::kFpgaEnable24, 0x0125, "FpgaEnable24"},
    {0x3260, TriggerRule::kByFpgaVersion, 0x0110, "ByFpgaVersionOlderImx990"},
    {0x3280, TriggerRule::kByFpgaVersion, 0x0125, "ByFpgaVersionNewerImx991"},
};

class FamilyTrigger : public testing::SimTest, public ::testing::WithParamInterface<TriggerCase> {
  protected:
    void TearDown() override {
        if (engine_) engine_->StopTransfer();
        engine_.reset();
        SimTest::TearDown();
    }

    void Open() {
        const TriggerCase& c = GetParam();
        ASSERT_EQ(FindProductTraits(c.productId).trigger, c.rule);
        sim::SimCameraConfig config;
        config.fpgaVersion = c.fpgaVersion;
        id_ = Attach(c.productId, "TRIGGER1", config);
        ASSERT_GT(id_, 0);
        engine_ = std::make_unique<CVelcorUSB3T2SimpleSdk>();
        engine_->SetProductId(c.productId);
        engine_->InitializeController(nullptr, nullptr);
        {
            platform::VirtualTimeScope virtualTime;
            ASSERT_EQ(engine_->OpenDevice(0), 1);
        }
        const int x = (engine_->GetFullWidth() - kWidth) / 2 & ~3;
        ASSERT_EQ(engine_->ApplyWindow(x, 64, kWidth, kHeight, 0), 1);
        if (engine_->Allows8BitOutput()) {
            ASSERT_EQ(engine_->SetBitDepthMode(0), 1);
        }
        bytesPerPixel_ = engine_->Allows8BitOutput() ? 1 : 2;
        frame_.assign(static_cast<size_t>(kWidth) * kHeight * bytesPerPixel_, 0);
    }

    // The result of a wait for a frame newer than the last one read, waiting again while the
    // frame event still stood for a frame already read.
    int WaitForNewFrame(uint32_t milliseconds) {
        return test::WaitForNewFrame(*engine_, milliseconds);
    }

    // The frame read from the ring is the known picture; returns its step.
    uint32_t ReadPicture() {
        EXPECT_EQ(engine_->ReadFrame(frame_.data(), static_cast<int>(frame_.size()), 1), 0);
        const bool colour = sim::FindSimFamilyProduct(GetParam().productId)->colour;
        const size_t rowBytes = static_cast<size_t>(kWidth) * bytesPerPixel_;
        const uint32_t step =
            (frame_[rowBytes] - sim::FamilyPictureSample(colour, 0, 1, 0, false)) & 0xFF;
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                const uint16_t v = sim::FamilyPictureSample(colour, x, y, step, false);
                const size_t at = y * rowBytes + static_cast<size_t>(x) * bytesPerPixel_;
                if (frame_[at] != v) {
                    ADD_FAILURE() << "(" << x << ", " << y << ") is not the known picture";
                    return step;
                }
            }
        }
        return step;
    }

    // Trigger mode on, as the camera object asks for it. Some rules start a transfer and wait
    // for a first triggered frame before they return: pulses keep coming meanwhile, as from a
    // camera wired to a free-running trigger source.
    void SwitchTriggerOn() {
        const TriggerRule rule = GetParam().rule;
        const bool waitsForPulse =
            rule == TriggerRule::kLatchThenTrigger ||
            (rule == TriggerRule::kByFpgaVersion && GetParam().fpgaVersion > 0x110);
        std::atomic<bool> done{false};
        std::thread pulses;
        if (waitsForPulse) {
            pulses = std::thread([&] {
                while (!done) {
                    Camera(id_)->FireTrigger();
                    std::this_thread::sleep_for(std::chrono::milliseconds(20));
                }
            });
        }
        const int result = engine_->SetTriggerMode(1, 0);
        done = true;
        if (pulses.joinable()) pulses.join();
        ASSERT_EQ(result, 1);
    }

    int id_ = 0;
    int bytesPerPixel_ = 1;
    std::vector<uint8_t> frame_;
    std::unique_ptr<CVelcorUSB3T2SimpleSdk> engine_;
};

TEST_P(FamilyTrigger, DeliversAFramePerPulseAndNoneWithout) {
    Open();
    if (HasFatalFailure()) return;
    // Free-running first: frames come unasked.
    ASSERT_EQ(engine_->StartTransfer(0), 1);
    ASSERT_EQ(WaitForNewFrame(kWaitMs), kWaitFrameNew);
    ReadPicture();
    ASSERT_EQ(engine_->StopTransfer(), 1);

    SwitchTriggerOn();
    if (HasFatalFailure()) return;
    uint32_t lastStep = 0;
    bool first = true;
    for (int pulse = 0; pulse < 3; ++pulse) {
        SCOPED_TRACE("pulse " + std::to_string(pulse));
        ASSERT_EQ(engine_->StartTransfer(kTransferTrigger), 1);
        // Drain what the pulses during the switch left in the camera's frame memory.
        while (WaitForNewFrame(kQuietMs) == kWaitFrameNew) {
            ReadPicture();
            ASSERT_EQ(engine_->StartTransfer(kTransferTrigger), 1);
        }
        ASSERT_TRUE(Camera(id_)->FireTrigger());
        ASSERT_EQ(WaitForNewFrame(kWaitMs), kWaitFrameNew);
        const uint32_t step = ReadPicture();
        if (!first) {
            EXPECT_NE(step, lastStep) << "each pulse makes a new frame";
        }
        first = false;
        lastStep = step;
        // The trigger transfer ends with its frame; no pulse, no frame.
        ASSERT_EQ(engine_->StartTransfer(kTransferTrigger), 1);
        EXPECT_EQ(WaitForNewFrame(kQuietMs), kWaitFrameNothingNew);
    }

    ASSERT_EQ(engine_->SetTriggerMode(0, 0), 1);
    ASSERT_EQ(engine_->StartTransfer(0), 1);
    ASSERT_EQ(WaitForNewFrame(kWaitMs), kWaitFrameNew) << "free-running again";
    ReadPicture();
}

INSTANTIATE_TEST_SUITE_P(EveryTriggerRule, FamilyTrigger, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<TriggerCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
}  // namespace velcor
