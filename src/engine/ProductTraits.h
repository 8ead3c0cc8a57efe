// What the engine does differently per camera product, one row per USB product id. The engine
// reads its product's row instead of testing product ids itself, so adding or changing a
// product is a change of this table (and of the sensor factory for its driver class).
//
// The rows hold decisions, not register values: where a product writes a register of its own
// or computes a value from the window, the row names the rule and the engine (or
// FindFrameOffsets below) carries it out.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace velcor {

// How frames leave the camera.
enum class TransferPath : uint8_t {
    kHeader,       // a 64-byte header, then the frame, both from endpoint 0x81
    kEndpoint83,   // the frame alone from endpoint 0x83; errors are cleared by a port reset
    kFrameMemory,  // read out of the camera's frame memory, the newest slot from 0x72/0x73
};

// What the camera needs at start-up before the sensor's own WaitReady and Initialize.
enum class StartupStep : uint8_t {
    kNone,
    kStartupRegisters,   // FPGA 0x38 = 0, 0x3E = 3, 0x38 = 1
    kRecoverIfNotReady,  // the serial console: sensor Recover when its WaitReady fails
    // A sensor head behind a serial link (firmware 0x1101 on, or 0x13 non-zero, or FPGA version
    // above 25): up to 400 ready polls, the link nudged every 25 s; the start fails without it.
    kAwaitHeadLink,
    // Firmware 0x1101 on, or 0x13 at 9 or more: up to 40 ready polls; then the sensor is woken
    // (register 0 = 4), or reset when it never became ready.
    kAwaitSensorReady,
};

enum class ShutdownStep : uint8_t {
    kNone,
    // CCD cameras: sensor registers 0 and 0x8000 = 3, then the FPGA's configuration registers
    // 0x25, 0x24, 0x1F, 0x23, 0x22, 0x20, 0x21 and 0xE0 cleared, 1 ms apart.
    kPowerDownCcd,
};

// Where the frame size goes (16-bit values, low byte first).
enum class WindowRegisters : uint8_t {
    kStandard,   // width 0x44/0x45, height 0x40/0x41
    kAlternate,  // width 0x9C/0x9D, height 0x9A/0x9B
    kNone,       // the size is not written: frame-memory cameras, and the endpoint-0x83 camera
};

// Where the picture starts inside the FPGA's frame: vertical offset 0x48/0x49, horizontal
// 0x4C/0x4D. FindFrameOffsets gives the values.
enum class OffsetRule : uint8_t {
    kNone,           // the offsets are not written
    kFixed,          // the row's vertical and horizontal offsets
    kByFpgaVersion,  // FPGA register 0x11 at 19 or above: 31, 12; below: 0, 0
    kImx252,         // window mode 1: 11, 0; others: 12, full width - x - width
    kImx265,         // window mode 1: 11, 0; others: 12, 0
    kByWindowMode,   // window mode 0: 68, else 36; the row's horizontal offset
    kByMirrorH,      // the row's vertical offset; horizontal 16 when mirrored, else 112
    kWindowOrigin,   // the window's origin plus the sensor's margins (IMX226)
    kImx990,         // by window mode, full height, mirror and 16-bit output (IMX990/991)
    kImx273,         // by window mode, full sensor and vertical mirror (IMX273)
};

// Which camera register takes the pixel depth, and its encoding.
enum class DepthRegister : uint8_t {
    kPixelDepth,    // FPGA 0x3C: 2 for 16 bits (mode 1), else 1
    kFirmwareByte,  // the bridge's firmware byte: 1 for 16 bits (mode 1), else 0
    kDepthMode3D,   // FPGA 0x3D = the mode itself, 0 to 2; other modes are refused
    kPixelDepthA3,  // FPGA 0xA3: 2 for 16 bits (mode 1), else 1
    kPixelDepth6E,  // FPGA 0x6E: 2 for any mode but 0, else 0
    kEightBit38,    // FPGA 0x38: 1 for 8 bits (mode 0), else 0
    kNone,          // the sensor alone sets the depth
};

// How SetBitDepthMode goes about it.
enum class DepthRule : uint8_t {
    kGeneral,            // tell the camera; rebuild the buffers only when the depth changed
    kSensorThenGeneral,  // the sensor's SetBitDepth first, then as kGeneral
    kSixteenOnly,        // as kGeneral, always with 16 bits whatever the mode
    kDirect,             // tell the camera, store the depth, rebuild the buffers
    kDirectWithSensor,   // tell the camera, store the depth, sensor SetBitDepth, rebuild
};

// How SetTriggerMode reaches the camera.
enum class TriggerRule : uint8_t {
    kSensor,  // sensor SetTriggerMode; the frame counter latched for mode 1
    // FPGA 0x24 = on/off and the sensor's trigger mode; for trigger mode a latch transfer
    // records the frame slot, then the trigger transfer starts.
    kLatchThenTrigger,
    // The sensor in trigger mode while FPGA 0x30 is cleared; 0x30 = 1 for trigger mode, else
    // the sensor back to free running.
    kFpgaEnable30,
    kFpgaEnable24,  // FPGA 0x24 = mode & 0x83, and the mode kept masked; the sensor untouched
    // FPGA version 0x110 or older: as kSensor. Newer: trigger mode starts a trigger transfer and
    // latches the frame counter after the first frame (up to 60 s).
    kByFpgaVersion,
};

// How a finished frame is copied out of the ring.
enum class FrameCopy : uint8_t {
    kByOrientation,  // by the sensor's orientation code
    // The serial sensor head: rows reversed when sensor VariantInfoA answers non-zero; else the
    // last delivered row (not picture) is dropped and the row before it is given twice.
    kSerialHead,
};

// The switch behind IsFpgaSwitchSupported, GetFpgaSwitch and SetFpgaSwitch.
enum class FpgaSwitch : uint8_t {
    kNone,
    kRegister90,   // FPGA 0x90: 15 on, 8 off
    kHeadVariant,  // the sensor's variant byte, restored from ROM byte 0x1080
    kRegisterD1,   // bit 0 of FPGA 0xD1, on FPGAs with bit 15 of their version set
};

struct ProductTraits {
    int productId = -1;  // -1: the row of every product id without a row of its own

    // Registers, start-up and shutdown.
    bool hasFpgaRegisters = true;  // false: FPGA access is refused
    uint32_t sensorModeWord = 0;   // passed to sensor SetModeWord at start-up when non-zero
    StartupStep startup = StartupStep::kNone;
    ShutdownStep shutdown = ShutdownStep::kNone;

    // Transfer.
    TransferPath transferPath = TransferPath::kHeader;
    bool pulsesOnReset = true;  // ResetTransfer pulses the frame release
    int resetSettleMs = 0;      // pause after the transfer reset register
    // Recovery after a lost header or frame: reset the stream pipe before reopening.
    bool resetsPipeOnRecovery = false;
    bool givesUpOnTriggerLoss = false;  // a lost frame in trigger mode gives the camera up
    bool givesUpOnLostHeader = false;   // a lost header gives the camera up

    // Frame buffers and geometry.
    int bufferMultiple = 1;  // the frame buffers and frames hold this many window-sized planes
    WindowRegisters windowRegisters = WindowRegisters::kStandard;
    OffsetRule offsets = OffsetRule::kNone;
    int offsetVertical = 0;            // kFixed, kByMirrorH
    int offsetHorizontal = 0;          // kFixed, kByWindowMode
    int heightLowOverride = -1;        // written to 0x40 after the geometry (then 1 ms) when >= 0
    bool clearsTransferReset = false;  // 0x68 = 0 after the offsets
    bool pulsesAfterGeometry = false;  // the frame release pulsed after the geometry
    int settleAfterGeometryMs = 0;
    bool alwaysAppliesWindow = false;  // ApplyWindow does not skip the window in force

    // Pixel depth, trigger, copy.
    DepthRegister depthRegister = DepthRegister::kPixelDepth;
    DepthRule depthRule = DepthRule::kGeneral;
    TriggerRule trigger = TriggerRule::kSensor;
    FrameCopy frameCopy = FrameCopy::kByOrientation;

    // Other operations.
    bool clockNeedsSuperSpeed = true;    // the fast clock (mode 2) only on a SuperSpeed link
    bool exposureThroughThread = false;  // SetExposure hands the value to the acquisition thread
    FpgaSwitch fpgaSwitch = FpgaSwitch::kNone;
    bool hasFpgaValue = false;    // the 16-bit value in 0xD0/0xD2 (with the 0xD1 switch)
    bool hasTextConsole = false;  // ReceiveText and SendText reach a serial console
    bool lineScan = false;  // up to 32768 lines, square default window, both directions narrowed
};

// The row of a product id; the catch-all row for ids without one.
const ProductTraits& FindProductTraits(int productId);

// The rows of the product ids the library knows, in product-id order (without the catch-all).
std::span<const ProductTraits> AllProductTraits();

// What the frame offsets may depend on: the window in force and the sensor.
struct FrameGeometry {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    int windowMode = 0;
    int fullWidth = 0;
    int fullHeight = 0;
    int mirrorH = 0;
    int mirrorV = 0;
    bool allows16BitOutput = false;  // read for kImx990 only
    int fpgaVersionHigh = 0;         // FPGA register 0x11, read for kByFpgaVersion only
};

struct FrameOffsets {
    int vertical = 0;
    int horizontal = 0;
    bool operator==(const FrameOffsets&) const = default;
};

// The offsets the product writes for this geometry; none when its rule writes none.
std::optional<FrameOffsets> FindFrameOffsets(const ProductTraits& traits,
                                             const FrameGeometry& geometry);

}  // namespace velcor
