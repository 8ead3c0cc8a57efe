// The table of per-product decisions held to the camera family's description: the expectations
// below are written as the family's lists of products per behaviour (which products reset the
// pipe, which take their depth where, ...), not as rows, so a row that drifts from its
// products' behaviour shows as the field and the product that differ. Where a simulated camera
// can answer (the ROZE9701), the engine's register traffic is checked as well.
#include "engine/ProductTraits.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "engine/ProductIds.h"
#include "engine/VelcorR3U2Base.h"
#include "platform/Clock.h"
#include "protocol/FpgaRegisterMap.h"
#include "sim/SimTestSupport.h"

namespace velcor {
namespace {

// Every product id of the family, the ROZE9701 among them.
constexpr int kFamily[] = {
    0x3020, 0x3030, 0x3040, 0x3042, 0x3050, 0x3090, 0x30B0, 0x30C0, 0x30F0, 0x3100, 0x3110, 0x3120,
    0x3130, 0x3140, 0x3150, 0x3170, 0x3180, 0x3190, 0x31A0, 0x31B0, 0x31B4, 0x31C0, 0x31C4, 0x31D0,
    0x31E0, 0x31F0, 0x3200, 0x3210, 0x3220, 0x3260, 0x3270, 0x3280, 0x3290, 0x32A0, 0x32B0, 0x32C0,
    0x32D0, 0x32E0, 0x32F0, 0x3300, 0x3310, 0x3320, 0x3340, 0x3360, 0x3370, 0x3380,
};

bool In(int id, std::initializer_list<int> ids) {
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

// The row each product should have, built up behaviour by behaviour from the family's lists.
ProductTraits Expected(int id) {
    ProductTraits t;
    t.productId = id;

    // The MT9J001 camera on endpoint 0x83: no FPGA register path, its own mode word, the
    // firmware byte for the depth, any clock on any link.
    if (id == 0x3042) {
        t.hasFpgaRegisters = false;
        t.sensorModeWord = 0x10000;
        t.transferPath = TransferPath::kEndpoint83;
        t.windowRegisters = WindowRegisters::kNone;
        t.depthRegister = DepthRegister::kFirmwareByte;
        t.clockNeedsSuperSpeed = false;
    }

    // Start-up and shutdown.
    if (id == 0x3140) t.startup = StartupStep::kStartupRegisters;
    if (id == 0x3180) t.startup = StartupStep::kRecoverIfNotReady;
    if (id == 0x31E0) t.startup = StartupStep::kAwaitHeadLink;
    if (id == 0x32C0) t.startup = StartupStep::kAwaitSensorReady;
    if (In(id, {0x3090, 0x30B0, 0x30C0})) t.shutdown = ShutdownStep::kPowerDownCcd;

    // Transfer and its recovery.
    if (In(id, {0x3310, 0x3320, 0x3340})) {
        t.transferPath = TransferPath::kFrameMemory;
        t.windowRegisters = WindowRegisters::kNone;
        t.alwaysAppliesWindow = true;
    }
    if (id == 0x30C0) t.pulsesOnReset = false;
    if (id == 0x3150) t.resetSettleMs = 100;
    // The header path's list; the frame-memory path resets for the same and for 0x3340.
    t.resetsPipeOnRecovery = In(id, {0x3100, 0x3130, 0x3150, 0x3170, 0x31B0, 0x31B4, 0x31C0, 0x31C4,
                                     0x31E0, 0x32A0, 0x32D0, 0x3340});
    t.givesUpOnTriggerLoss = id == 0x3190;
    t.givesUpOnLostHeader = id == 0x3380;

    // Frame buffers and the geometry written to the FPGA.
    if (id == 0x3130) t.bufferMultiple = 3;
    if (In(id, {0x31E0, 0x32D0})) t.windowRegisters = WindowRegisters::kAlternate;
    auto fixed = [&t](int vertical, int horizontal) {
        t.offsets = OffsetRule::kFixed;
        t.offsetVertical = vertical;
        t.offsetHorizontal = horizontal;
    };
    if (id == 0x3020) t.settleAfterGeometryMs = 200;
    if (id == 0x30B0) t.heightLowOverride = 0xC0;
    if (id == 0x30C0) {
        t.heightLowOverride = 0x22;
        t.pulsesAfterGeometry = true;
    }
    if (id == 0x30F0) t.offsets = OffsetRule::kByFpgaVersion;
    if (id == 0x3100) {
        fixed(11, 0);
        t.clearsTransferReset = true;
    }
    if (In(id, {0x3130, 0x31E0, 0x32D0})) fixed(20, 136);
    if (In(id, {0x31B0, 0x31B4, 0x32A0})) fixed(11, 0);
    if (id == 0x31C0) t.offsets = OffsetRule::kImx252;
    if (id == 0x31C4) t.offsets = OffsetRule::kImx265;
    if (id == 0x32B0) {
        fixed(39, 79);
        t.pulsesAfterGeometry = true;
    }
    if (id == 0x32C0) fixed(10, 32);
    if (id == 0x32E0) t.offsets = OffsetRule::kByWindowMode;
    if (id == 0x32F0) {
        t.offsets = OffsetRule::kByWindowMode;
        t.offsetHorizontal = 4;
    }
    if (In(id, {0x3370, 0x3380})) {
        t.offsets = OffsetRule::kByMirrorH;
        t.offsetVertical = 29;
    }
    if (id == 0x31F0) t.offsets = OffsetRule::kWindowOrigin;
    if (In(id, {0x3260, 0x3270, 0x3280, 0x3290})) t.offsets = OffsetRule::kImx990;
    if (id == 0x3300) t.offsets = OffsetRule::kImx273;

    // Pixel depth.
    if (id == 0x3130) {
        t.depthRegister = DepthRegister::kDepthMode3D;
        t.depthRule = DepthRule::kDirect;
    }
    if (In(id, {0x31E0, 0x32D0})) {
        t.depthRegister = DepthRegister::kPixelDepthA3;
        t.depthRule = DepthRule::kDirect;
    }
    if (In(id, {0x3310, 0x3320, 0x3340})) t.depthRule = DepthRule::kDirectWithSensor;
    if (id == 0x3310) t.depthRegister = DepthRegister::kPixelDepth6E;
    if (id == 0x3320) t.depthRegister = DepthRegister::kEightBit38;
    if (id == 0x3340) t.depthRegister = DepthRegister::kNone;
    if (In(id, {0x3100, 0x31B0, 0x31B4, 0x31C0, 0x31C4, 0x3260, 0x3270, 0x3280, 0x3290, 0x32A0,
                0x32E0, 0x32F0, 0x3300, 0x3360, 0x3370, 0x3380})) {
        t.depthRule = DepthRule::kSensorThenGeneral;
    }
    if (id == 0x3180) t.depthRule = DepthRule::kSixteenOnly;

    // Trigger.
    if (In(id, {0x3030, 0x3050})) t.trigger = TriggerRule::kLatchThenTrigger;
    if (In(id, {0x30F0, 0x3100})) t.trigger = TriggerRule::kFpgaEnable30;
    if (In(id, {0x3150, 0x3170})) t.trigger = TriggerRule::kFpgaEnable24;
    if (In(id, {0x3260, 0x3270, 0x3280, 0x3290})) t.trigger = TriggerRule::kByFpgaVersion;

    // Everything else.
    if (id == 0x31E0) t.frameCopy = FrameCopy::kSerialHead;
    t.exposureThroughThread = id == 0x3200;
    if (In(id, {0x3150, 0x3170, 0x3220})) t.fpgaSwitch = FpgaSwitch::kRegister90;
    if (id == 0x31E0) t.fpgaSwitch = FpgaSwitch::kHeadVariant;
    if (In(id, {0x3260, 0x3270, 0x3280, 0x3290})) {
        t.fpgaSwitch = FpgaSwitch::kRegisterD1;
        t.hasFpgaValue = true;
    }
    t.hasTextConsole = id == 0x3180;
    t.lineScan = In(id, {0x3190, 0x31A0, 0x31D0, 0x3210});
    return t;
}

void ExpectSameRow(const ProductTraits& want, const ProductTraits& got) {
    SCOPED_TRACE(::testing::Message() << "product 0x" << std::hex << want.productId);
#define VELCOR_EXPECT_FIELD(field) EXPECT_EQ(want.field, got.field) << #field
    VELCOR_EXPECT_FIELD(productId);
    VELCOR_EXPECT_FIELD(hasFpgaRegisters);
    VELCOR_EXPECT_FIELD(sensorModeWord);
    VELCOR_EXPECT_FIELD(startup);
    VELCOR_EXPECT_FIELD(shutdown);
    VELCOR_EXPECT_FIELD(transferPath);
    VELCOR_EXPECT_FIELD(pulsesOnReset);
    VELCOR_EXPECT_FIELD(resetSettleMs);
    VELCOR_EXPECT_FIELD(resetsPipeOnRecovery);
    VELCOR_EXPECT_FIELD(givesUpOnTriggerLoss);
    VELCOR_EXPECT_FIELD(givesUpOnLostHeader);
    VELCOR_EXPECT_FIELD(bufferMultiple);
    VELCOR_EXPECT_FIELD(windowRegisters);
    VELCOR_EXPECT_FIELD(offsets);
    VELCOR_EXPECT_FIELD(offsetVertical);
    VELCOR_EXPECT_FIELD(offsetHorizontal);
    VELCOR_EXPECT_FIELD(heightLowOverride);
    VELCOR_EXPECT_FIELD(clearsTransferReset);
    VELCOR_EXPECT_FIELD(pulsesAfterGeometry);
    VELCOR_EXPECT_FIELD(settleAfterGeometryMs);
    VELCOR_EXPECT_FIELD(alwaysAppliesWindow);
    VELCOR_EXPECT_FIELD(depthRegister);
    VELCOR_EXPECT_FIELD(depthRule);
    VELCOR_EXPECT_FIELD(trigger);
    VELCOR_EXPECT_FIELD(frameCopy);
    VELCOR_EXPECT_FIELD(clockNeedsSuperSpeed);
    VELCOR_EXPECT_FIELD(exposureThroughThread);
    VELCOR_EXPECT_FIELD(fpgaSwitch);
    VELCOR_EXPECT_FIELD(hasFpgaValue);
    VELCOR_EXPECT_FIELD(hasTextConsole);
    VELCOR_EXPECT_FIELD(lineScan);
#undef VELCOR_EXPECT_FIELD
}

// --- The table as data ------------------------------------------------------------------------

TEST(ProductTraitsTable, EveryFamilyProductHasItsRow) {
    for (int id : kFamily)
        ExpectSameRow(Expected(id), FindProductTraits(id));
}

TEST(ProductTraitsTable, HoldsTheFamilyAndNothingElse) {
    std::vector<int> ids;
    for (const ProductTraits& row : AllProductTraits())
        ids.push_back(row.productId);
    EXPECT_EQ(ids, std::vector<int>(std::begin(kFamily), std::end(kFamily)));
}

TEST(ProductTraitsTable, OtherProductsGetThePlainRow) {
    // A product without a row of its own behaves as a plain header-path camera with the
    // standard registers; so does the engine before it was given a product.
    for (int id : {0x3330, 0x3000, 0, -1, 0x10000 + product::kRoze9701}) {
        const ProductTraits& row = FindProductTraits(id);
        EXPECT_EQ(&row, &FindProductTraits(-1)) << std::hex << id;
        ExpectSameRow(Expected(-1), row);
    }
}

// --- Frame offsets ----------------------------------------------------------------------------

struct OffsetCase {
    int product;
    FrameGeometry geometry;
    std::optional<FrameOffsets> want;
};

// A window of w x h at (x, y) in a sensor of fw x fh.
FrameGeometry Window(int x, int y, int w, int h, int mode, int fw, int fh) {
    return {.x = x,
            .y = y,
            .width = w,
            .height = h,
            .windowMode = mode,
            .fullWidth = fw,
            .fullHeight = fh};
}
FrameGeometry Mirrored(FrameGeometry g, int h, int v) {
    g.mirrorH = h;
    g.mirrorV = v;
    return g;
}
FrameGeometry Sixteen(FrameGeometry g) {
    g.allows16BitOutput = true;
    return g;
}
FrameGeometry FpgaVersion(int version) {
    FrameGeometry g;
    g.fpgaVersionHigh = version;
    return g;
}

TEST(ProductTraitsOffsets, FixedOffsetsWhateverTheWindow) {
    const FrameGeometry odd = Mirrored(Window(16, 8, 320, 200, 2, 1280, 1024), 1, 1);
    const OffsetCase cases[] = {
        {0x3100, odd, FrameOffsets{11, 0}},
        {0x3130, odd, FrameOffsets{20, 136}},
        {0x31E0, odd, FrameOffsets{20, 136}},
        {0x32D0, odd, FrameOffsets{20, 136}},
        {0x31B0, odd, FrameOffsets{11, 0}},
        {0x31B4, odd, FrameOffsets{11, 0}},
        {0x32A0, odd, FrameOffsets{11, 0}},
        {0x32B0, odd, FrameOffsets{39, 79}},
        {0x32C0, odd, FrameOffsets{10, 32}},
        // No offsets at all: the CCDs, the MT9 cameras, frame memory, unknown products.
        {0x3020, odd, std::nullopt},
        {0x30B0, odd, std::nullopt},
        {0x30C0, odd, std::nullopt},
        {0x3042, odd, std::nullopt},
        {0x3310, odd, std::nullopt},
        {0x3330, odd, std::nullopt},
    };
    for (const OffsetCase& c : cases) {
        EXPECT_EQ(FindFrameOffsets(FindProductTraits(c.product), c.geometry), c.want)
            << std::hex << c.product;
    }
}

TEST(ProductTraitsOffsets, WindowDependentOffsets) {
    const OffsetCase cases[] = {
        // IMX178: the FPGA design's version decides.
        {0x30F0, FpgaVersion(18), FrameOffsets{0, 0}},
        {0x30F0, FpgaVersion(19), FrameOffsets{31, 12}},
        // IMX252: columns counted from the right outside window mode 1.
        {0x31C0, Window(100, 0, 1000, 500, 0, 2048, 1536), FrameOffsets{12, 948}},
        {0x31C0, Window(100, 0, 1000, 500, 1, 2048, 1536), FrameOffsets{11, 0}},
        {0x31C4, Window(100, 0, 1000, 500, 1, 2048, 1536), FrameOffsets{11, 0}},
        {0x31C4, Window(100, 0, 1000, 500, 2, 2048, 1536), FrameOffsets{12, 0}},
        // IMX536 and IMX487.
        {0x32E0, Window(0, 0, 100, 100, 0, 2848, 2848), FrameOffsets{68, 0}},
        {0x32E0, Window(0, 0, 100, 100, 1, 2848, 2848), FrameOffsets{36, 0}},
        {0x32F0, Window(0, 0, 100, 100, 0, 2848, 2848), FrameOffsets{68, 4}},
        {0x32F0, Window(0, 0, 100, 100, 3, 2848, 2848), FrameOffsets{36, 4}},
        // IMX992.
        {0x3370, Mirrored(Window(0, 0, 64, 64, 0, 2560, 2048), 1, 0), FrameOffsets{29, 16}},
        {0x3380, Mirrored(Window(0, 0, 64, 64, 0, 2560, 2048), 0, 1), FrameOffsets{29, 112}},
        // IMX226: the window's origin plus the margins.
        {0x31F0, Mirrored(Window(20, 10, 64, 64, 0, 4168, 3062), 0, 1), FrameOffsets{51, 84}},
        {0x31F0, Mirrored(Window(20, 10, 64, 64, 0, 4168, 3062), 0, 0), FrameOffsets{50, 84}},
        {0x31F0, Mirrored(Window(20, 10, 64, 64, 1, 4168, 3062), 0, 1), FrameOffsets{24, 52}},
        // IMX990/991, window mode 0: full height or not, 16-bit output or not, mirrored or not.
        {0x3260, Sixteen(Window(0, 0, 1280, 1024, 0, 1280, 1024)), FrameOffsets{25, 8}},
        {0x3270, Sixteen(Mirrored(Window(0, 0, 1280, 512, 0, 1280, 1024), 1, 0)),
         FrameOffsets{21, 104}},
        {0x3280, Window(0, 0, 640, 512, 0, 640, 512), FrameOffsets{25, 4}},
        {0x3290, Mirrored(Window(0, 0, 640, 512, 0, 640, 512), 1, 0), FrameOffsets{25, 100}},
        // ... window mode 1.
        {0x3260, Sixteen(Window(0, 0, 1280, 1024, 1, 1280, 1024)), FrameOffsets{23, 4}},
        {0x3260, Sixteen(Mirrored(Window(0, 0, 1280, 1024, 1, 1280, 1024), 1, 0)),
         FrameOffsets{23, 52}},
        {0x3280, Window(0, 0, 640, 512, 1, 640, 512), FrameOffsets{23, 0}},
        {0x3280, Mirrored(Window(0, 0, 640, 512, 1, 640, 512), 1, 0), FrameOffsets{23, 48}},
        // ... other modes, whatever the output.
        {0x3290, Window(0, 0, 640, 512, 2, 640, 512), FrameOffsets{21, 8}},
        {0x3290, Mirrored(Window(0, 0, 640, 512, 2, 640, 512), 1, 0), FrameOffsets{21, 104}},
        // IMX273, windowed modes.
        {0x3300, Mirrored(Window(0, 0, 720, 540, 1, 1440, 1080), 0, 1), FrameOffsets{11, 4}},
        {0x3300, Window(0, 0, 720, 540, 1, 1440, 1080), FrameOffsets{15, 4}},
        // ... window mode 0: the full sensor, the full width, a window.
        {0x3300, Window(0, 0, 1440, 1080, 0, 1440, 1080), FrameOffsets{19, 8}},
        {0x3300, Mirrored(Window(0, 0, 1440, 1080, 0, 1440, 1080), 0, 1), FrameOffsets{11, 8}},
        {0x3300, Window(0, 0, 1440, 500, 0, 1440, 1080), FrameOffsets{11, 8}},
        {0x3300, Window(0, 0, 720, 1080, 0, 1440, 1080), FrameOffsets{11, 0}},
    };
    for (const OffsetCase& c : cases) {
        EXPECT_EQ(FindFrameOffsets(FindProductTraits(c.product), c.geometry), c.want)
            << std::hex << c.product << std::dec << " window " << c.geometry.x << ","
            << c.geometry.y << " " << c.geometry.width << "x" << c.geometry.height << " mode "
            << c.geometry.windowMode;
    }
}

// --- The engine reading its row, on a simulated ROZE9701 camera --------------------------------

using FpgaWrites = std::vector<std::pair<uint8_t, uint8_t>>;

class ProductTraitsEngine : public testing::SimTest {
  protected:
    void SetUp() override {
        SimTest::SetUp();
        id_ = Attach(product::kRoze9701, "ROZE0001");
        ASSERT_GT(id_, 0);
        engine_ = std::make_unique<CVelcorUSB3T2SimpleSdk>();
        engine_->SetProductId(product::kRoze9701);
        engine_->InitializeController(nullptr, nullptr);
        ASSERT_EQ(engine_->OpenDevice(0), 1);
        Camera(id_)->ClearTrace();
    }
    void TearDown() override {
        engine_.reset();
        SimTest::TearDown();
    }

    FpgaWrites TakeWrites() {
        FpgaWrites writes = Camera(id_)->Trace().fpgaWrites;
        Camera(id_)->ClearTrace();
        return writes;
    }
    static bool Touches(const FpgaWrites& writes, uint8_t reg) {
        return std::any_of(writes.begin(), writes.end(),
                           [reg](const auto& write) { return write.first == reg; });
    }

    platform::VirtualTimeScope virtualTime_;
    int id_ = 0;
    std::unique_ptr<CVelcorUSB3T2SimpleSdk> engine_;
};

TEST_F(ProductTraitsEngine, RozeGeometryGoesToTheStandardRegistersWithItsOffsets) {
    ASSERT_EQ(engine_->ConfigureFrameBuffers(), 1);
    // 1280 x 1024, then the picture 10 lines down and 32 columns in; nothing else.
    const FpgaWrites want = {{0x44, 0x00}, {0x45, 0x05}, {0x40, 0x00}, {0x41, 0x04},
                             {0x48, 10},   {0x49, 0},    {0x4C, 32},   {0x4D, 0}};
    EXPECT_EQ(TakeWrites(), want);
    EXPECT_FALSE(engine_->GeometryChanged());
}

TEST_F(ProductTraitsEngine, RozeTransferResetPulsesTheFrameRelease) {
    ASSERT_EQ(engine_->ResetTransfer(), 1);
    const FpgaWrites want = {{0x6C, 1}, {0x6C, 0}, {0x68, 2}};
    EXPECT_EQ(TakeWrites(), want);
}

TEST_F(ProductTraitsEngine, RozeDepthGoesToThePixelDepthRegister) {
    ASSERT_EQ(engine_->SetBitDepthMode(1), 1);
    EXPECT_EQ(engine_->FrameBytes(), 1280 * 1024 * 2);
    FpgaWrites writes = TakeWrites();
    ASSERT_FALSE(writes.empty());
    EXPECT_EQ(writes.front(), std::make_pair(fpga::kPixelDepth, uint8_t{2}));
    ASSERT_EQ(engine_->SetBitDepthMode(1), 1);
    EXPECT_EQ(TakeWrites(), (FpgaWrites{{fpga::kPixelDepth, 2}})) << "same depth: no rebuild";
    ASSERT_EQ(engine_->SetBitDepthMode(0), 1);
    EXPECT_EQ(TakeWrites().front(), std::make_pair(fpga::kPixelDepth, uint8_t{1}));
    EXPECT_EQ(engine_->FrameBytes(), 1280 * 1024);
}

TEST_F(ProductTraitsEngine, RozeHasNoneOfTheOtherProductsExtras) {
    EXPECT_EQ(engine_->IsEndpoint83Model(), 0);
    EXPECT_EQ(engine_->IsFpgaSwitchSupported(), 0);
    EXPECT_EQ(engine_->IsFpgaValueSupported(), 0);
    EXPECT_EQ(engine_->GetFpgaValueMax(), 0);
    EXPECT_EQ(engine_->SendText("VER", 3), 0);
    char line[16] = {};
    EXPECT_EQ(engine_->ReceiveText(line, sizeof line), 0);

    ASSERT_EQ(engine_->SetTriggerMode(1, 0), 1);
    ASSERT_EQ(engine_->SetTriggerMode(0, 0), 1);
    engine_->Shutdown();
    const FpgaWrites writes = TakeWrites();
    for (uint8_t reg : {fpga::kTriggerEnable24, fpga::kTriggerEnable30, fpga::kConfig25,
                        fpga::kShutdownClearE0}) {
        EXPECT_FALSE(Touches(writes, reg)) << "register 0x" << std::hex << int{reg};
    }
}

// The same camera driven as other products of the family: the engine follows the row of the
// product it was given, whatever the sensor behind it.

TEST_F(ProductTraitsEngine, VideoConverterTakesDepthModesZeroToTwo) {
    engine_->SetProductId(product::k3130);
    ASSERT_EQ(engine_->SetBitDepthMode(2), 1);
    FpgaWrites writes = TakeWrites();
    ASSERT_FALSE(writes.empty());
    EXPECT_EQ(writes.front(), std::make_pair(fpga::kPixelDepthMode, uint8_t{2}));
    EXPECT_EQ(engine_->FrameBytes(), 3 * 1280 * 1024 * 2) << "three planes of 16 bits";
    // The converter's picture sits 20 lines down and 136 columns in.
    EXPECT_TRUE(std::find(writes.begin(), writes.end(),
                          std::make_pair(fpga::kHorizontalOffsetLow, uint8_t{136})) !=
                writes.end());

    // Modes the register does not know are refused before anything is written.
    EXPECT_EQ(engine_->SetBitDepthMode(3), 0);
    EXPECT_EQ(engine_->SetBitDepthMode(-1), 0);
    EXPECT_TRUE(TakeWrites().empty());
    EXPECT_EQ(engine_->FrameBytes(), 3 * 1280 * 1024 * 2);
}

TEST_F(ProductTraitsEngine, SerialHeadUsesTheAlternateGeometryAndDepthRegisters) {
    engine_->SetProductId(product::k31E0);
    ASSERT_EQ(engine_->SetBitDepthMode(1), 1);
    const FpgaWrites writes = TakeWrites();
    const FpgaWrites want = {{0xA3, 2},  {0x9C, 0x00}, {0x9D, 0x05}, {0x9A, 0x00}, {0x9B, 0x04},
                             {0x48, 20}, {0x49, 0},    {0x4C, 136},  {0x4D, 0}};
    EXPECT_EQ(writes, want);
    EXPECT_EQ(engine_->IsFpgaSwitchSupported(), 1);
}

TEST_F(ProductTraitsEngine, Endpoint83CameraHasNoFpgaPath) {
    engine_->SetProductId(product::k3042);
    EXPECT_EQ(engine_->IsEndpoint83Model(), 1);
    int ok = 1;
    EXPECT_EQ(engine_->ReadFpgaRegister(fpga::kVersionLow, &ok), 0);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(engine_->WriteFpgaRegister(fpga::kIoPort, 1), 0);
    // The buffers are built, but with no FPGA to take the geometry it is built again before
    // the next start.
    EXPECT_EQ(engine_->ConfigureFrameBuffers(), 0);
    EXPECT_EQ(engine_->FrameBytes(), 1280 * 1024);
    EXPECT_TRUE(engine_->GeometryChanged());
    EXPECT_TRUE(TakeWrites().empty());
}

}  // namespace
}  // namespace velcor
