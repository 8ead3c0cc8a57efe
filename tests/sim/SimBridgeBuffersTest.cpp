// The bridge's buffers of an IN endpoint are bounded in bytes as well as in units: a host that
// asks for the largest memory reads over and over without reading them cannot pile them up.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "protocol/UsbProtocol.h"
#include "sim/SimBridge.h"
#include "sim/SimTestSupport.h"
#include "transport/DevIz3Cam.h"

namespace velcor {
namespace {

class BridgeBuffers : public testing::SimTest {
  protected:
    void SetUp() override {
        SimTest::SetUp();
        id_ = Attach(0x32C0, "B1");
        ASSERT_GT(id_, 0);
        cam_ = std::make_unique<CDevIz3Cam>();
        ASSERT_EQ(cam_->EnumerateDevices(), 1);
        ASSERT_EQ(cam_->SelectDevice(0), 1);
        ASSERT_EQ(cam_->Prepare(), 1);
        ASSERT_EQ(cam_->OpenStream(), 1);
        sim_ = Camera(id_);
    }
    void TearDown() override {
        cam_.reset();
        SimTest::TearDown();
    }
    // An "AU3R" command for `length` bytes from address 0, unanswered by any read.
    void AskForMemory(uint32_t length) {
        uint8_t command[usb::memory::kCommandSize] = {};
        std::memcpy(command, usb::memory::kReadTag, sizeof usb::memory::kReadTag);
        const uint32_t version = usb::memory::kVersionValue;
        std::memcpy(command + usb::memory::kVersion, &version, 4);
        std::memcpy(command + usb::memory::kLength, &length, 4);
        uint32_t count = 0;
        ASSERT_EQ(cam_->WriteTransfer(cam_->StreamHandle(), command, sizeof command,
                                      usb::kEndpointOut, &count),
                  1);
        ASSERT_EQ(count, sizeof command);
    }

    int id_ = 0;
    std::unique_ptr<CDevIz3Cam> cam_;
    std::shared_ptr<sim::SimCamera> sim_;
};

TEST_F(BridgeBuffers, LargestMemoryReadsDropTheOldestBeyondTheByteBound) {
    constexpr uint32_t kLargest = 0x4000000;  // the largest memory read the bridge answers
    static_assert(sim::SimBridge::kMaxQueuedBytes / kLargest == 2);
    for (int i = 0; i < 6; ++i)
        AskForMemory(kLargest);
    EXPECT_EQ(sim_->QueuedUnits(usb::kEndpointFrames), 2u)
        << "six 64 MiB answers, of which the bound holds two";

    // Small answers still fill the buffers by count.
    for (int i = 0; i < 40; ++i)
        AskForMemory(16);
    EXPECT_EQ(sim_->QueuedUnits(usb::kEndpointFrames), 32u);
}

}  // namespace
}  // namespace velcor
