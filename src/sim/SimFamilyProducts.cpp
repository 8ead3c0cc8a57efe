#include "sim/SimFamilyProducts.h"

#include <iterator>

namespace velcor::sim {
namespace {

using sensor_bus::Wire;
constexpr auto kRelay = FrameSizeSource::SensorRelay;
constexpr auto kAlt = FrameSizeSource::FpgaAlt;
constexpr auto kMailbox = FrameSizeSource::Mailbox;
constexpr auto kFpga = FrameSizeSource::Fpga;
using D = PixelDepthSource;

// Sony sensors mounted upside down: bottom row first, rows right to left.
constexpr SimFamilyProduct Sony(uint16_t id, bool colour) {
    return {id, Wire::I2c16x8, colour, true, true};
}
constexpr SimFamilyProduct LineScan(uint16_t id, bool colour) {
    return {id, Wire::Fpga, colour, false, false};
}
constexpr SimFamilyProduct Memory(uint16_t id, PixelDepthSource depth) {
    return {id, Wire::FpgaMailbox, true, false, false, kMailbox, depth, 1, true};
}

constexpr SimFamilyProduct Triggered(SimFamilyProduct product, TriggerInput trigger) {
    product.trigger = trigger;
    return product;
}

// clang-format off
constexpr SimFamilyProduct kProducts[] = {
    {0x3020, Wire::I2c16x16, true, false, false},
    Triggered({0x3030, Wire::I2c8x16, true, false, false}, TriggerInput::SensorAndFpga24),
    {0x3040, Wire::I2c16x16, true, false, false},
    {0x3042, Wire::I2c16x16, true, false, false, kRelay, D::FirmwareByte},
    Triggered({0x3050, Wire::Word32, true, false, false}, TriggerInput::SensorAndFpga24),
    {0x3090, Wire::Word32, true, true, true},
    {0x30B0, Wire::Word32, true, false, false},
    {0x30C0, Wire::Word32, true, false, false, FrameSizeSource::FpgaLatched},
    Triggered({0x30F0, Wire::I2c16x8, true, false, false}, TriggerInput::SensorAndFpga30),
    Triggered({0x3100, Wire::I2c16x8, true, false, false}, TriggerInput::SensorAndFpga30),
    {0x3110, Wire::I2c16x8, true, false, false},
    {0x3120, Wire::I2c16x8, true, false, false},
    {0x3130, Wire::None, true, false, false, kFpga, D::Reg3D, 3},
    {0x3140, Wire::I2c16x16, true, false, false},
    Triggered({0x3150, Wire::Fpga, false, false, false}, TriggerInput::Fpga24),
    Triggered({0x3170, Wire::Fpga, false, false, false}, TriggerInput::Fpga24),
    // Rows right to left, top row first.
    {0x3180, Wire::I2c16x8, false, false, true, kFpga, D::Reg3C, 1, false, false, true},
    LineScan(0x3190, false),
    LineScan(0x31A0, false),
    Sony(0x31B0, true),
    Sony(0x31B4, true),
    Sony(0x31C0, true),
    Sony(0x31C4, true),
    LineScan(0x31D0, true),
    {0x31E0, Wire::Fpga, false, true, false, kAlt, D::RegA3, 1, false, true},
    Sony(0x31F0, true),
    Sony(0x3200, true),
    LineScan(0x3210, true),
    {0x3220, Wire::Fpga, true, false, true},
    Sony(0x3260, false),
    {0x3270, Wire::I2c16x8, false, false, false},  // the second model of the IMX990: upright
    Sony(0x3280, false),
    {0x3290, Wire::I2c16x8, false, false, false},  // the second model of the IMX991: upright
    Sony(0x32A0, true),
    Sony(0x32B0, true),
    {0x32D0, Wire::Fpga, true, false, false, kAlt, D::RegA3},
    Sony(0x32E0, true),
    Sony(0x32F0, false),
    Sony(0x3300, true),
    Memory(0x3310, D::Reg6E),
    Memory(0x3320, D::Reg38),
    Memory(0x3340, D::SensorMailbox),
    Sony(0x3360, true),
    Sony(0x3370, false),
    {0x3380, Wire::I2c16x8, false, false, false},  // the second model of the IMX992: upright
};
// clang-format on

}  // namespace

const SimFamilyProduct* FindSimFamilyProduct(uint16_t productId) {
    for (const SimFamilyProduct& product : kProducts) {
        if (product.productId == productId) return &product;
    }
    return nullptr;
}

const SimFamilyProduct* SimFamilyProductsBegin() {
    return std::begin(kProducts);
}
const SimFamilyProduct* SimFamilyProductsEnd() {
    return std::end(kProducts);
}

uint16_t FamilyPictureSample(bool colour, uint32_t x, uint32_t y, uint32_t frameNumber,
                             bool sixteenBits) {
    uint32_t value = 0;
    if (!colour) {
        value = x + 2 * y + frameNumber;
    } else if ((y & 1) == (x & 1)) {
        value = 2 * x + y + 40 + frameNumber;  // green
    } else if ((y & 1) == 0) {
        value = x + 3 * y + 90 + frameNumber;  // blue
    } else {
        value = 3 * x + y + frameNumber;  // red
    }
    const auto byte = static_cast<uint16_t>(value & 0xFF);
    return sixteenBits ? static_cast<uint16_t>(byte << 8 | byte) : byte;
}

}  // namespace velcor::sim
