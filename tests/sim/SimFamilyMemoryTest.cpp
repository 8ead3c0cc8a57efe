// The frame memory of the largest family camera (0x3310, 19568 x 12588): its slots hold whole
// 16-bit frames, and a frame is drawn only where the host reads it, so a piece of a frame costs
// what the piece holds and no frame-sized buffer exists.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <vector>

#include "protocol/FpgaRegisterMap.h"
#include "protocol/SensorRegisterLayout.h"
#include "protocol/UsbProtocol.h"
#include "sim/SimBufferPool.h"
#include "sim/SimCameraModel.h"
#include "sim/SimFamilyProducts.h"
#include "support/AllocationCounter.h"

namespace velcor {
namespace {

constexpr uint32_t kWidth = 19568;
constexpr uint32_t kHeight = 12588;

class SimFamilyMemory : public ::testing::Test {
  protected:
    static sim::SimCameraConfig Camera3310() {
        sim::SimCameraConfig config;
        config.productId = 0x3310;
        return config;
    }

    void Fpga(uint8_t reg, uint8_t value) {
        const uint8_t bytes[3] = {reg, 0, value};
        ASSERT_TRUE(model_.BusWrite(usb::kBusFpga, bytes, 3, nullptr));
    }
    // One register of the sensor behind the mailbox, as the driver writes it.
    void Mailbox(uint32_t reg, uint32_t value) {
        const uint8_t word[8] = {
            static_cast<uint8_t>(reg >> 24),   static_cast<uint8_t>(reg >> 16),
            static_cast<uint8_t>(reg >> 8),    static_cast<uint8_t>(reg),
            static_cast<uint8_t>(value >> 24), static_cast<uint8_t>(value >> 16),
            static_cast<uint8_t>(value >> 8),  static_cast<uint8_t>(value)};
        for (int i = 0; i < 8; ++i)
            Fpga(static_cast<uint8_t>(sensor_bus::kMailboxFirst + i), word[i]);
    }
    uint32_t NewestSlot() {
        const uint8_t pointer[1] = {fpga::kNewestSlotLow};
        model_.BusWrite(usb::kBusFpga, pointer, 1, nullptr);
        uint8_t data[4] = {};
        model_.BusRead(usb::kBusFpga | 1, data, 4);
        return data[1] | data[3] << 8;
    }
    uint64_t SlotBytes() {
        uint64_t units = 0;
        for (int i = 0; i < 4; ++i)
            units |= uint64_t{model_.FpgaRegister(static_cast<uint8_t>(fpga::kSlotSize0 + i))}
                     << (8 * i);
        return units * 256;
    }

    sim::SimCameraConfig config_ = Camera3310();
    sim::SimBufferPool buffers_;
    sim::SimCameraModel model_{config_, buffers_, {}};
};

TEST_F(SimFamilyMemory, DrawsOnlyThePieceOfAFullFrameThatIsRead) {
    const sensor_bus::RegisterLayout& layout = sensor_bus::kMailboxLayout;
    Mailbox(layout.windowWidth, kWidth);
    Mailbox(layout.windowHeight, kHeight);
    Fpga(fpga::kPixelDepth6E, 2);  // 16 bits
    ASSERT_GE(SlotBytes(), uint64_t{kWidth} * kHeight * 2);

    // Looking for the newest frame finishes one into the next slot; each look, another.
    const uint32_t slot = NewestSlot();
    EXPECT_NE(NewestSlot(), slot);
    const uint32_t newest = (slot + 1) % config_.slotCount;

    // The last row of the newest frame.
    const uint64_t rowBytes = uint64_t{kWidth} * 2;
    std::vector<uint8_t> row(rowBytes);
    const uint64_t before = test::AllocationsOnThisThread();
    const auto start = std::chrono::steady_clock::now();
    model_.ReadFrameMemory(newest * SlotBytes() + rowBytes * (kHeight - 1), row.data(), rowBytes);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(test::AllocationsOnThisThread(), before);
    // A whole frame would take seconds to draw; a row takes well under one.
    EXPECT_LT(elapsed, std::chrono::milliseconds(200));

    // The frame's number is where the picture stands; the first sample gives it.
    const sim::SimFamilyProduct& product = *sim::FindSimFamilyProduct(0x3310);
    uint32_t step = 0;
    while (step < 256 && (sim::FamilyPictureSample(product.colour, 0, kHeight - 1, step, true) &
                          0xFF) != row[0]) {
        ++step;
    }
    for (uint32_t x = 0; x < kWidth; ++x) {
        const uint16_t expected =
            sim::FamilyPictureSample(product.colour, x, kHeight - 1, step, true);
        ASSERT_EQ(row[2 * x] | row[2 * x + 1] << 8, expected) << "column " << x;
    }
}

}  // namespace
}  // namespace velcor
