// The camera model on its own, without a bridge, driver port or host: it finishes frames on
// request and answers its I2C bus.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <vector>

#include "protocol/FpgaRegisterMap.h"
#include "protocol/UsbProtocol.h"
#include "sim/SimBufferPool.h"
#include "sim/SimCameraModel.h"

namespace velcor {
namespace {

using sim::SimFrame;

class SimCameraModel : public ::testing::Test {
  protected:
    // Writes bytes over the bus as the bridge's I2C master does.
    bool Bus(uint8_t busAddress, std::vector<uint8_t> bytes, bool* framesReleased = nullptr) {
        return model_.BusWrite(busAddress, bytes.data(), static_cast<int>(bytes.size()),
                               framesReleased);
    }

    sim::SimCameraConfig config_;  // the ROZE9701 camera, fast frames
    sim::SimBufferPool buffers_;
    sim::SimCameraModel model_{config_, buffers_, {}};
};

TEST_F(SimCameraModel, RendersTheRampForARowWindow) {
    model_.SetScene(sim::SceneKind::Ramp);
    // Picture rows 100 to 299: the sensor counts its start row from the bottom edge and holds
    // the height plus two rows of margin; the FPGA cuts out 200 lines.
    constexpr int kTop = 100;
    constexpr int kRows = 200;
    constexpr int kStart = 1024 - kTop - kRows;
    constexpr int kHeightCode = kRows + 2;
    ASSERT_TRUE(Bus(usb::kBusSensor,
                    {0x00, 22, kStart & 0xFF, (kStart >> 8 & 0x07) | (kHeightCode & 0x1F) << 3,
                     kHeightCode >> 5 & 0x3F}));
    ASSERT_TRUE(Bus(usb::kBusFpga, {fpga::kHeightLow, 0, kRows, 0, 0}));

    std::vector<SimFrame> frames;
    ASSERT_TRUE(model_.RequestFrame(std::chrono::steady_clock::now(), frames))
        << "fast frames of a free-running sensor are made on demand";
    EXPECT_TRUE(frames.empty());
    model_.FinishFrame(frames);
    ASSERT_EQ(frames.size(), 1u);
    const SimFrame& frame = frames[0];
    EXPECT_EQ(frame.number, config_.frameNumberStart);
    EXPECT_EQ(frame.width, 1280u);
    EXPECT_EQ(frame.height, static_cast<uint32_t>(kRows));
    ASSERT_EQ(frame.pixels.size(), size_t{1280} * kRows);
    int errors = 0;
    for (int r = 0; r < kRows; ++r) {
        const int y = kTop + kRows - 1 - r;  // the bottom row leaves the sensor first
        for (int x = 0; x < 1280; ++x) {
            if (frame.pixels[size_t{static_cast<size_t>(r)} * 1280 + x] != ((x + 2 * y) & 0xFF))
                ++errors;
        }
    }
    EXPECT_EQ(errors, 0);
    EXPECT_EQ(model_.FpgaRegister(fpga::kFrameCounter), config_.frameCounterStart + 1);
}

TEST_F(SimCameraModel, TellsTheBusWriterWhenTheFramesAreReleased) {
    bool released = false;
    ASSERT_TRUE(Bus(usb::kBusFpga, {fpga::kFrameRelease, 0, 1}, &released));
    EXPECT_TRUE(released);
    ASSERT_TRUE(Bus(usb::kBusFpga, {fpga::kFrameRelease, 0, 0}, &released));
    EXPECT_FALSE(released);
    model_.SetBusDevicePresent(usb::kBusFpga, false);
    EXPECT_FALSE(Bus(usb::kBusFpga, {fpga::kFrameRelease, 0, 1}, &released))
        << "no chip acknowledges";
}

}  // namespace
}  // namespace velcor
