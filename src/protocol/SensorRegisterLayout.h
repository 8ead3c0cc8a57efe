// Where the sensors of the driver family keep their settings, by the way their registers are
// reached. The drivers program these registers and the simulated cameras read them back, so
// both take the numbers from here.
#pragma once

#include <cstdint>

namespace velcor::sensor_bus {

// The wire form of a sensor's registers.
enum class Wire : uint8_t {
    None,         // no sensor registers (video converter)
    I2c16x8,      // 16-bit register numbers, byte values
    I2c16x16,     // 16-bit register numbers, 16-bit values (sent high byte first)
    I2c8x16,      // 8-bit register numbers, 16-bit values
    Word32,       // the bridge's register words
    Fpga,         // the camera's FPGA is the sensor interface
    FpgaMailbox,  // FPGA registers 32..39 carry a device number and an address-value word
};

// Multi-byte values take consecutive byte registers, least significant byte first, where a
// register holds a byte; one register otherwise.
struct RegisterLayout {
    uint32_t run = 0;  // readout control: 1 runs, 0 stops
    uint32_t mirror = 0;
    uint32_t mirrorVBit = 0;
    uint32_t mirrorHBit = 0;
    uint32_t windowX = 0, windowY = 0, windowWidth = 0, windowHeight = 0;  // two bytes each
    uint32_t exposure = 0;
    int exposureBytes = 0;
    uint32_t gain = 0;
    int gainBytes = 0;
    uint32_t trigger = 0;  // 1 triggered readout, 0 free-running
    uint32_t blackLevel = 0;
    uint32_t channelGain = 0;    // four channels from here
    uint32_t channelOffset = 0;  // four channels from here
    // Output bits per pixel (8 or 16), where the sensor itself sets the width of its samples.
    uint32_t pixelDepth = 0;
};

// Columns: run, mirror, vertical and horizontal mirror bits, window x, y, width, height,
// exposure and its bytes, gain and its bytes, trigger, black level, channel gains, offsets,
// pixel depth.
// Sony-style sensors on 16-bit register numbers.
inline constexpr RegisterLayout kSonyLayout = {0x3000, 0x3007, 0x01,   0x02,   0x3040,
                                               0x3044, 0x3042, 0x3046, 0x3020, 3,
                                               0x3014, 2,      0x300B, 0x3030};
// Aptina sensors with 16-bit registers; the gains are programmed by the MT9 drivers.
inline constexpr RegisterLayout kMt9Layout = {
    0x0100, 0x3040, 0x8000, 0x4000, 0x3004, 0x3002, 0x034C, 0x034E, 0x3012, 2, 0x305E, 2, 0x30CE};
// The MT9P001 with 8-bit register numbers.
inline constexpr RegisterLayout kMt9pLayout = {0x0B, 0x20, 0x8000, 0x4000, 0x02, 0x01, 0x04,
                                               0x03, 0x09, 2,      0x35,   2,    0x1E};
// The CCD timing generator and front end behind the bridge's register words.
inline constexpr RegisterLayout kCcdLayout = {0x0001, 0x0020, 0x01,   0x02,  0x0010, 0x0011,
                                              0x0012, 0x0013, 0x0014, 4,     0x0015, 4,
                                              0x0016, 0x0017, 0x0100, 0x0110};
// Cameras whose FPGA is the sensor interface.
inline constexpr RegisterLayout kFpgaLayout = {0x60, 0x61, 0x01, 0x02, 0x62, 0x64, 0x66,
                                               0x68, 0x6A, 3,    0x6D, 1,    0x6E, 0x70};

// The FPGA mailbox: the device number goes to register 32, then the address (bits 0..23 of
// the register number, high byte first) and the 32-bit value (high byte first).
inline constexpr uint8_t kMailboxFirst = 32;
inline constexpr int kMailboxLength = 8;
inline constexpr uint8_t kMailboxDeviceA = 11;  // the sensor's own registers
inline constexpr uint8_t kMailboxDeviceB = 13;
// Sensors behind the FPGA mailbox: device 11 carries the sensor's own registers.
inline constexpr uint32_t kMailboxSensor = uint32_t{kMailboxDeviceA} << 24;
// clang-format off
inline constexpr RegisterLayout kMailboxLayout = {
    kMailboxSensor, 0, 0, 0,
    kMailboxSensor | 0x0100, kMailboxSensor | 0x0101, kMailboxSensor | 0x0102, kMailboxSensor | 0x0103,
    kMailboxSensor | 0x0200, 4, kMailboxSensor | 0x0201, 4, kMailboxSensor | 0x0202,
    0, 0, 0, kMailboxSensor | 0x0203};
// clang-format on

constexpr const RegisterLayout& LayoutOf(Wire wire) {
    switch (wire) {
        case Wire::I2c16x16:
            return kMt9Layout;
        case Wire::I2c8x16:
            return kMt9pLayout;
        case Wire::Word32:
            return kCcdLayout;
        case Wire::Fpga:
        case Wire::None:
            return kFpgaLayout;
        case Wire::FpgaMailbox:
            return kMailboxLayout;
        case Wire::I2c16x8:
            break;
    }
    return kSonyLayout;
}

// Bus addresses (write addresses) of the sensors reached over I2C, by their wire form.
inline constexpr uint8_t kAddressSony = 0x48;  // 16-bit numbers, byte values
inline constexpr uint8_t kAddressMt9 = 0x20;   // 16-bit numbers and values
inline constexpr uint8_t kAddressHead = 0x6C;  // 16-bit numbers and values
inline constexpr uint8_t kAddressMt9p = 0x90;  // 8-bit numbers, 16-bit values

}  // namespace velcor::sensor_bus
