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

// --- Extras of single models ------------------------------------------------------------------

// An on-chip thermometer: a 16-bit code in two byte registers, low byte first, linear in
// degrees Celsius.
struct Thermometer {
    uint32_t low = 0;
    uint32_t high = 0;
    double celsiusPerStep = 0.0;
    double celsiusAtZero = 0.0;

    constexpr double Celsius(uint32_t code) const { return code * celsiusPerStep + celsiusAtZero; }
    // The code nearest to a temperature; clamped to the 16 bits the registers hold.
    constexpr uint32_t CodeOf(double celsius) const {
        const double steps = (celsius - celsiusAtZero) / celsiusPerStep + 0.5;
        return steps <= 0.0 ? 0u : steps >= 65535.0 ? 65535u : static_cast<uint32_t>(steps);
    }
};
// The cooled cameras on the Sony bus (IMX990, IMX991, IMX992, product 0x3200): 1/16 degree
// steps from -64 degrees.
inline constexpr Thermometer kSonyThermometer = {0x3B00, 0x3B01, 0.0625, -64.0};
// The serial sensor heads (products 0x31E0, 0x32D0) report through the FPGA: tenths of a
// degree from -100 degrees.
inline constexpr Thermometer kHeadThermometer = {0xB0, 0xB1, 0.1, -100.0};

// The serial sensor heads' own settings, mirrored by the FPGA into these registers.
namespace head {
// The gain mode is a pair of switches in the head's amplifier: low gain opens the first and
// closes the second, high gain the other way round; any other pair is a head in between.
inline constexpr uint8_t kGainModeFirst = 0xB2;
inline constexpr uint8_t kGainModeSecond = 0xB3;
inline constexpr uint8_t kSwitchOpen = 6;
inline constexpr uint8_t kSwitchClosed = 255;
inline constexpr uint8_t kAuxSwitch = 0xB4;  // 1 on, 0 off; offered on FPGA versions above 22
inline constexpr uint8_t kSwitchB = 0xB5;    // 1 on, 0 off (product 0x32D0)
// The head's operating variant: 0 while the head stands by, 1..8 the variant it runs.
inline constexpr uint8_t kVariant = 0xB6;
// Bit 0: the head reads out whole frames, bottom row first, with no blank last row.
inline constexpr uint8_t kReadoutFormat = 0xB7;
inline constexpr uint8_t kFormatWholeFrames = 0x01;
inline constexpr uint8_t kFirmware = 0xB8;  // the head's firmware version
inline constexpr uint8_t kModel = 0xB9;     // the head's model and revision bytes
inline constexpr uint8_t kRevision = 0xBA;
}  // namespace head

// The readout variant of the IMX990 and IMX991 cameras: the byte selects it, writing 1 to the
// apply register makes the sensor take it over at the next frame.
inline constexpr uint32_t kSonyReadoutVariant = 0x3B10;
inline constexpr uint32_t kSonyReadoutApply = 0x3B11;

// The console camera (product 0x3180): sensor register 0 carries the console's bytes; the
// status register reads 1 once the camera's processor has the sensor running.
namespace console {
inline constexpr uint32_t kData = 0;
inline constexpr uint32_t kStatus = 0x3B20;
inline constexpr uint8_t kStatusRunning = 1;
// Sent at power-on and after every line the console was told; a reset line restarts the
// camera's processor, which answers with the acceptance, then greets again.
inline constexpr char kGreeting[] = "VELCOR 3180 CONSOLE READY\r\n";
inline constexpr char kResetLine[] = "RESET\r";
inline constexpr char kAccepted[] = "OK\r\n";
inline constexpr char kRefused[] = "NG\r\n";
}  // namespace console

// Bus addresses (write addresses) of the sensors reached over I2C, by their wire form.
inline constexpr uint8_t kAddressSony = 0x48;  // 16-bit numbers, byte values
inline constexpr uint8_t kAddressMt9 = 0x20;   // 16-bit numbers and values
inline constexpr uint8_t kAddressHead = 0x6C;  // 16-bit numbers and values
inline constexpr uint8_t kAddressMt9p = 0x90;  // 8-bit numbers, 16-bit values

}  // namespace velcor::sensor_bus
