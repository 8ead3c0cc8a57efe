#include "engine/ProductTraits.h"

#include <algorithm>
#include <iterator>

#include "engine/ProductIds.h"

namespace velcor {
namespace {

using namespace product;

// IMX990 and IMX991 cameras: a switch and a 16-bit value in the FPGA on newer FPGA designs.
constexpr ProductTraits Imx990(int id) {
    return {.productId = id,
            .offsets = OffsetRule::kImx990,
            .depthRule = DepthRule::kSensorThenGeneral,
            .trigger = TriggerRule::kByFpgaVersion,
            .fpgaSwitch = FpgaSwitch::kRegisterD1,
            .hasFpgaValue = true};
}

// IMX250 and IMX264 cameras: the picture starts 11 lines down.
constexpr ProductTraits Imx250(int id) {
    return {.productId = id,
            .resetsPipeOnRecovery = true,
            .offsets = OffsetRule::kFixed,
            .offsetVertical = 11,
            .depthRule = DepthRule::kSensorThenGeneral};
}

// Line-scan cameras: the sensor delivers lines, the frame is as many of them as asked for.
constexpr ProductTraits LineScan(int id) {
    return {.productId = id, .lineScan = true};
}

// Cameras whose frames are read out of their frame memory; their sensor takes the window
// every time, the size is not written to the FPGA.
constexpr ProductTraits FrameMemory(int id, DepthRegister depth) {
    return {.productId = id,
            .transferPath = TransferPath::kFrameMemory,
            .windowRegisters = WindowRegisters::kNone,
            .alwaysAppliesWindow = true,
            .depthRegister = depth,
            .depthRule = DepthRule::kDirectWithSensor};
}

constexpr ProductTraits kRows[] = {
    {.productId = k3020, .settleAfterGeometryMs = 200},
    {.productId = k3030, .trigger = TriggerRule::kLatchThenTrigger},
    {.productId = k3040},
    {.productId = k3042,
     .hasFpgaRegisters = false,
     .sensorModeWord = 0x10000,
     .transferPath = TransferPath::kEndpoint83,
     .windowRegisters = WindowRegisters::kNone,
     .depthRegister = DepthRegister::kFirmwareByte,
     .clockNeedsSuperSpeed = false},
    {.productId = k3050, .trigger = TriggerRule::kLatchThenTrigger},
    {.productId = k3090, .shutdown = ShutdownStep::kPowerDownCcd},
    {.productId = k30B0, .shutdown = ShutdownStep::kPowerDownCcd, .heightLowOverride = 0xC0},
    {.productId = k30C0,
     .shutdown = ShutdownStep::kPowerDownCcd,
     .pulsesOnReset = false,
     .heightLowOverride = 0x22,
     .pulsesAfterGeometry = true},
    {.productId = k30F0,
     .offsets = OffsetRule::kByFpgaVersion,
     .trigger = TriggerRule::kFpgaEnable30},
    {.productId = k3100,
     .resetsPipeOnRecovery = true,
     .offsets = OffsetRule::kFixed,
     .offsetVertical = 11,
     .clearsTransferReset = true,
     .depthRule = DepthRule::kSensorThenGeneral,
     .trigger = TriggerRule::kFpgaEnable30},
    {.productId = k3110},
    {.productId = k3120},
    // A video converter: three planes of the window per frame.
    {.productId = k3130,
     .resetsPipeOnRecovery = true,
     .bufferMultiple = 3,
     .offsets = OffsetRule::kFixed,
     .offsetVertical = 20,
     .offsetHorizontal = 136,
     .depthRegister = DepthRegister::kDepthMode3D,
     .depthRule = DepthRule::kDirect},
    {.productId = k3140, .startup = StartupStep::kStartupRegisters},
    {.productId = k3150,
     .resetSettleMs = 100,
     .resetsPipeOnRecovery = true,
     .trigger = TriggerRule::kFpgaEnable24,
     .fpgaSwitch = FpgaSwitch::kRegister90},
    {.productId = k3170,
     .resetsPipeOnRecovery = true,
     .trigger = TriggerRule::kFpgaEnable24,
     .fpgaSwitch = FpgaSwitch::kRegister90},
    {.productId = k3180,
     .startup = StartupStep::kRecoverIfNotReady,
     .depthRule = DepthRule::kSixteenOnly,
     .hasTextConsole = true},
    {.productId = k3190, .givesUpOnTriggerLoss = true, .lineScan = true},
    LineScan(k31A0),
    Imx250(k31B0),
    Imx250(k31B4),
    {.productId = k31C0,
     .resetsPipeOnRecovery = true,
     .offsets = OffsetRule::kImx252,
     .depthRule = DepthRule::kSensorThenGeneral},
    {.productId = k31C4,
     .resetsPipeOnRecovery = true,
     .offsets = OffsetRule::kImx265,
     .depthRule = DepthRule::kSensorThenGeneral},
    LineScan(k31D0),
    {.productId = k31E0,
     .startup = StartupStep::kAwaitHeadLink,
     .resetsPipeOnRecovery = true,
     .windowRegisters = WindowRegisters::kAlternate,
     .offsets = OffsetRule::kFixed,
     .offsetVertical = 20,
     .offsetHorizontal = 136,
     .depthRegister = DepthRegister::kPixelDepthA3,
     .depthRule = DepthRule::kDirect,
     .frameCopy = FrameCopy::kSerialHead,
     .fpgaSwitch = FpgaSwitch::kHeadVariant},
    {.productId = k31F0, .offsets = OffsetRule::kWindowOrigin},
    {.productId = k3200, .exposureThroughThread = true},
    LineScan(k3210),
    {.productId = k3220, .fpgaSwitch = FpgaSwitch::kRegister90},
    Imx990(k3260),
    Imx990(k3270),
    Imx990(k3280),
    Imx990(k3290),
    Imx250(k32A0),
    {.productId = k32B0,
     .offsets = OffsetRule::kFixed,
     .offsetVertical = 39,
     .offsetHorizontal = 79,
     .pulsesAfterGeometry = true},
    {.productId = kRoze9701,
     .startup = StartupStep::kAwaitSensorReady,
     .offsets = OffsetRule::kFixed,
     .offsetVertical = 10,
     .offsetHorizontal = 32},
    {.productId = k32D0,
     .resetsPipeOnRecovery = true,
     .windowRegisters = WindowRegisters::kAlternate,
     .offsets = OffsetRule::kFixed,
     .offsetVertical = 20,
     .offsetHorizontal = 136,
     .depthRegister = DepthRegister::kPixelDepthA3,
     .depthRule = DepthRule::kDirect},
    {.productId = k32E0,
     .offsets = OffsetRule::kByWindowMode,
     .depthRule = DepthRule::kSensorThenGeneral},
    {.productId = k32F0,
     .offsets = OffsetRule::kByWindowMode,
     .offsetHorizontal = 4,
     .depthRule = DepthRule::kSensorThenGeneral},
    {.productId = k3300,
     .offsets = OffsetRule::kImx273,
     .depthRule = DepthRule::kSensorThenGeneral},
    FrameMemory(k3310, DepthRegister::kPixelDepth6E),
    FrameMemory(k3320, DepthRegister::kEightBit38),
    // The only frame-memory camera whose stream pipe is reset when a read failed.
    {.productId = k3340,
     .transferPath = TransferPath::kFrameMemory,
     .resetsPipeOnRecovery = true,
     .windowRegisters = WindowRegisters::kNone,
     .alwaysAppliesWindow = true,
     .depthRegister = DepthRegister::kNone,
     .depthRule = DepthRule::kDirectWithSensor},
    {.productId = k3360, .depthRule = DepthRule::kSensorThenGeneral},
    {.productId = k3370,
     .offsets = OffsetRule::kByMirrorH,
     .offsetVertical = 29,
     .depthRule = DepthRule::kSensorThenGeneral},
    {.productId = k3380,
     .givesUpOnLostHeader = true,
     .offsets = OffsetRule::kByMirrorH,
     .offsetVertical = 29,
     .depthRule = DepthRule::kSensorThenGeneral},
};

constexpr ProductTraits kOtherProducts{};

constexpr bool RowsAscend() {
    for (size_t i = 1; i < std::size(kRows); ++i) {
        if (kRows[i - 1].productId >= kRows[i].productId) return false;
    }
    return true;
}
static_assert(RowsAscend(), "one row per product id, in product-id order");

}  // namespace

const ProductTraits& FindProductTraits(int productId) {
    const auto* row =
        std::lower_bound(std::begin(kRows), std::end(kRows), productId,
                         [](const ProductTraits& traits, int id) { return traits.productId < id; });
    return row != std::end(kRows) && row->productId == productId ? *row : kOtherProducts;
}

std::span<const ProductTraits> AllProductTraits() {
    return kRows;
}

std::optional<FrameOffsets> FindFrameOffsets(const ProductTraits& traits, const FrameGeometry& g) {
    const bool mirroredH = g.mirrorH != 0;
    switch (traits.offsets) {
        case OffsetRule::kNone:
            return std::nullopt;
        case OffsetRule::kFixed:
            return FrameOffsets{traits.offsetVertical, traits.offsetHorizontal};
        case OffsetRule::kByFpgaVersion:
            // FPGA designs from version 19 on deliver the sensor's margins.
            return g.fpgaVersionHigh >= 19 ? FrameOffsets{31, 12} : FrameOffsets{0, 0};
        case OffsetRule::kImx252:
            // Outside window mode 1 the sensor reads its columns from the right.
            if (g.windowMode == 1) return FrameOffsets{11, 0};
            return FrameOffsets{12, g.fullWidth - g.x - g.width};
        case OffsetRule::kImx265:
            return FrameOffsets{g.windowMode == 1 ? 11 : 12, 0};
        case OffsetRule::kByWindowMode:
            return FrameOffsets{g.windowMode != 0 ? 36 : 68, traits.offsetHorizontal};
        case OffsetRule::kByMirrorH:
            return FrameOffsets{traits.offsetVertical, mirroredH ? 16 : 112};
        case OffsetRule::kWindowOrigin: {
            const int top = g.windowMode != 0 ? 14 : (g.mirrorV == 1 ? 41 : 40);
            const int left = g.windowMode != 0 ? 32 : 64;
            return FrameOffsets{g.y + top, g.x + left};
        }
        case OffsetRule::kImx990: {
            const bool full = g.height == g.fullHeight;
            if (g.windowMode == 0) {
                const int left =
                    g.allows16BitOutput ? (mirroredH ? 104 : 8) : (mirroredH ? 100 : 4);
                return FrameOffsets{full ? 25 : 21, left};
            }
            if (g.windowMode == 1) {
                const int left = g.allows16BitOutput ? (mirroredH ? 52 : 4) : (mirroredH ? 48 : 0);
                return FrameOffsets{23, left};
            }
            return FrameOffsets{21, mirroredH ? 104 : 8};
        }
        case OffsetRule::kImx273: {
            if (g.windowMode != 0) return FrameOffsets{g.mirrorV == 1 ? 11 : 15, 4};
            const bool fullSensor = g.width == g.fullWidth && g.height == g.fullHeight;
            const int top = fullSensor && g.mirrorV != 1 ? 19 : 11;
            return FrameOffsets{top, g.width == g.fullWidth ? 8 : 0};
        }
    }
    return std::nullopt;
}

}  // namespace velcor
