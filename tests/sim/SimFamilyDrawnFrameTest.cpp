// A family camera's frame on the header path carries no pixels: the camera draws its bytes
// where the host reads them. A line-scan camera's frame of all its 32768 lines at 16 bits
// (128 MiB, more than the largest frame the FPGA would hold in a buffer) is made and read
// piece by piece without a single allocation once the stream runs.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <vector>

#include "protocol/FpgaRegisterMap.h"
#include "protocol/UsbProtocol.h"
#include "sim/SimBufferPool.h"
#include "sim/SimCameraModel.h"
#include "sim/SimFamilyProducts.h"
#include "support/AllocationCounter.h"

namespace velcor {
namespace {

constexpr uint32_t kWidth = 2048;
constexpr uint32_t kLines = 32768;
constexpr size_t kPiece = 0x80000;  // the host reads the header path in 512 KiB pieces

class SimFamilyDrawnFrame : public ::testing::Test {
  protected:
    static sim::SimCameraConfig Camera3210() {
        sim::SimCameraConfig config;
        config.productId = 0x3210;
        return config;
    }
    void Fpga(uint8_t reg, uint8_t value) {
        const uint8_t bytes[3] = {reg, 0, value};
        ASSERT_TRUE(model_.BusWrite(usb::kBusFpga, bytes, 3, nullptr));
    }

    sim::SimCameraConfig config_ = Camera3210();
    sim::SimBufferPool buffers_;
    sim::SimCameraModel model_{config_, buffers_, {}};
};

TEST_F(SimFamilyDrawnFrame, FramesOfAnySizeAreDrawnPieceByPieceWithoutAllocating) {
    Fpga(fpga::kWidthLow, kWidth & 0xFF);
    Fpga(fpga::kWidthHigh, kWidth >> 8);
    Fpga(fpga::kHeightLow, kLines & 0xFF);
    Fpga(fpga::kHeightHigh, kLines >> 8);
    Fpga(fpga::kPixelDepth, 2);
    const uint64_t frameBytes = uint64_t{kWidth} * kLines * 2;
    const bool colour = sim::FindSimFamilyProduct(0x3210)->colour;

    std::vector<sim::SimFrame> out;
    out.reserve(4);
    std::vector<uint8_t> piece(kPiece);
    uint64_t allocations = 0;
    for (int n = 0; n < 2 * static_cast<int>(config_.slotCount); ++n) {
        // Frames of the first round fill the slots; from then on the stream is steady.
        const uint64_t before = test::AllocationsOnThisThread();
        out.clear();
        ASSERT_TRUE(model_.RequestFrame(std::chrono::steady_clock::now(), out));
        model_.FinishFrame(out);
        ASSERT_EQ(out.size(), 1u);
        const sim::SimFrame& frame = out.front();
        ASSERT_TRUE(frame.drawn);
        EXPECT_TRUE(frame.pixels.empty());
        ASSERT_EQ(frame.Bytes(), frameBytes);
        for (uint64_t offset = 0; offset < frameBytes; offset += kPiece) {
            model_.DrawFrame(frame, offset, piece.data(), kPiece);
            // The piece's first row is the picture's.
            const uint32_t row = static_cast<uint32_t>(offset / (kWidth * 2));
            for (uint32_t x = 0; x < kWidth; x += 97) {
                ASSERT_EQ(piece[2 * x],
                          sim::FamilyPictureSample(colour, x, row, frame.number, false))
                    << "frame " << n << ", row " << row << ", column " << x;
            }
        }
        if (n >= static_cast<int>(config_.slotCount)) {
            allocations += test::AllocationsOnThisThread() - before;
        }
    }
    EXPECT_EQ(allocations, 0u);
}

}  // namespace
}  // namespace velcor
