// The simulated family cameras are built from the same facts as the drivers and the engine that
// drive them: each product's sensor answers on the wire form, bus address, colour and readout
// order of its driver, and its FPGA frames the picture the way the engine reads it.
#include "sim/SimFamilyProducts.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "engine/ProductTraits.h"
#include "engine/SensorFactory.h"
#include "protocol/SensorRegisterLayout.h"
#include "sensors/SensorCatalog.h"

namespace velcor {
namespace {

using sensor_bus::Wire;

Wire WireOf(RegisterForm form) {
    switch (form) {
        case RegisterForm::None:
            return Wire::None;
        case RegisterForm::I2c16x16:
            return Wire::I2c16x16;
        case RegisterForm::I2c8x16:
            return Wire::I2c8x16;
        case RegisterForm::Word32:
        case RegisterForm::Word32Copied:
            return Wire::Word32;
        case RegisterForm::Fpga:
            return Wire::Fpga;
        case RegisterForm::FpgaMailbox:
            return Wire::FpgaMailbox;
        default:
            return Wire::I2c16x8;
    }
}

TEST(SimFamilyProducts, EveryProductTheEngineKnowsHasASimulatedCamera) {
    for (const ProductTraits& traits : AllProductTraits()) {
        if (traits.productId == 0x32C0) continue;  // the ROZE9701 chip model
        EXPECT_NE(sim::FindSimFamilyProduct(static_cast<uint16_t>(traits.productId)), nullptr)
            << std::hex << traits.productId;
    }
    EXPECT_EQ(sim::FindSimFamilyProduct(0x32C0), nullptr);
}

// A frame's readout draws each row of one period once and copies it for the rows after.
TEST(SimFamilyProducts, ThePictureRepeatsWithItsRowPeriod) {
    for (bool colour : {false, true}) {
        for (bool sixteen : {false, true}) {
            for (uint32_t y = 0; y < 4; ++y) {
                for (uint32_t x = 0; x < 600; x += 7) {
                    const uint16_t sample = sim::FamilyPictureSample(colour, x, y, 5, sixteen);
                    for (uint32_t period = 1; period <= 3; ++period) {
                        ASSERT_EQ(
                            sim::FamilyPictureSample(
                                colour, x, y + period * sim::kFamilyPictureRowPeriod, 5, sixteen),
                            sample)
                            << colour << sixteen << " (" << x << ", " << y << ")";
                    }
                }
            }
        }
    }
}

class SimFamilyProductRow : public ::testing::TestWithParam<sim::SimFamilyProduct> {};

TEST_P(SimFamilyProductRow, AgreesWithItsDriverAndTheEngine) {
    const sim::SimFamilyProduct& product = GetParam();
    const SensorFactoryRow& row = FindSensorFactoryRow(product.productId);
    ASSERT_EQ(row.productId, product.productId);
    const SensorModel* model = FindSensorModel(row.className);
    ASSERT_NE(model, nullptr) << row.className;
    EXPECT_EQ(product.wire, WireOf(model->form));
    EXPECT_EQ(product.colour, model->colour);
    if (product.wire == Wire::I2c16x8) {
        EXPECT_EQ(row.busAddress, sensor_bus::kAddressSony);
    }
    if (product.wire == Wire::I2c8x16) {
        EXPECT_EQ(row.busAddress, sensor_bus::kAddressMt9p);
    }
    if (product.wire == Wire::I2c16x16) {
        EXPECT_TRUE(row.busAddress == sensor_bus::kAddressMt9 ||
                    row.busAddress == sensor_bus::kAddressHead);
    }

    // The readout order is the one the engine's frame copy undoes for the driver's orientation
    // (the model code of the product applied).
    std::unique_ptr<CSensorBase> driver = MakeSensorDriver(product.productId, nullptr);
    if (driver != nullptr) {
        const int orientation = driver->Info().orientation;
        const ProductTraits& traits = FindProductTraits(product.productId);
        if (traits.frameCopy == FrameCopy::kByOrientation) {
            EXPECT_EQ(product.bottomRowFirst, orientation == 3 || orientation == 4);
        }
        EXPECT_EQ(product.mirroredRows, orientation == 2 || orientation == 4);
    }

    const ProductTraits& traits = FindProductTraits(product.productId);
    EXPECT_EQ(product.frameMemory, traits.transferPath == TransferPath::kFrameMemory);
    EXPECT_EQ(product.serialHead, traits.frameCopy == FrameCopy::kSerialHead);
    EXPECT_EQ(product.console, traits.hasTextConsole);
    EXPECT_EQ(product.planes, traits.bufferMultiple);
    // The FPGA goes into trigger mode on what the engine's trigger rule writes.
    switch (traits.trigger) {
        case TriggerRule::kSensor:
        case TriggerRule::kByFpgaVersion:
            EXPECT_EQ(product.trigger, sim::TriggerInput::Sensor);
            break;
        case TriggerRule::kLatchThenTrigger:
            EXPECT_EQ(product.trigger, sim::TriggerInput::SensorAndFpga24);
            break;
        case TriggerRule::kFpgaEnable30:
            EXPECT_EQ(product.trigger, sim::TriggerInput::SensorAndFpga30);
            break;
        case TriggerRule::kFpgaEnable24:
            EXPECT_EQ(product.trigger, sim::TriggerInput::Fpga24);
            break;
    }
    switch (traits.windowRegisters) {
        case WindowRegisters::kStandard:
            EXPECT_TRUE(product.size == sim::FrameSizeSource::Fpga ||
                        product.size == sim::FrameSizeSource::FpgaLatched);
            break;
        case WindowRegisters::kAlternate:
            EXPECT_EQ(product.size, sim::FrameSizeSource::FpgaAlt);
            break;
        case WindowRegisters::kNone:
            EXPECT_EQ(product.size, product.frameMemory ? sim::FrameSizeSource::Mailbox
                                                        : sim::FrameSizeSource::SensorRelay);
            break;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryProduct, SimFamilyProductRow,
                         ::testing::ValuesIn(sim::SimFamilyProductsBegin(),
                                             sim::SimFamilyProductsEnd()),
                         [](const ::testing::TestParamInfo<sim::SimFamilyProduct>& info) {
                             char name[16];
                             std::snprintf(name, sizeof name, "Pid%04X", info.param.productId);
                             return std::string(name);
                         });

}  // namespace
}  // namespace velcor
