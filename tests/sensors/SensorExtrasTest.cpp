// The model extras of the sensor family (thermometers, gain mode, switches, head and readout
// variants) through the engine, against simulated cameras: which product offers which
// operation, and what each reads and writes in the camera.
#include <gtest/gtest.h>
#include <velcor/VelcorSim.h>

#include <cstdio>
#include <memory>
#include <string>

#include "engine/VelcorR3U2Base.h"
#include "platform/Clock.h"
#include "protocol/SensorRegisterLayout.h"
#include "sensors/SensorBase.h"
#include "sim/SimFamilySensor.h"
#include "sim/SimTestSupport.h"

namespace velcor {
namespace {

namespace head = sensor_bus::head;
using sim::SimFamilySensor;

class ExtrasCamera : public testing::SimTest {
  protected:
    void TearDown() override {
        engine_.reset();
        SimTest::TearDown();
    }
    // Opens the product's simulated camera through the engine; 1 on success.
    int Open(uint16_t productId, sim::SimCameraConfig config = {}) {
        id_ = Attach(productId, "EXTRAS01", config);
        if (id_ <= 0) return -1;
        engine_ = std::make_unique<CVelcorUSB3T2SimpleSdk>();
        engine_->SetProductId(productId);
        engine_->InitializeController(nullptr, nullptr);
        return engine_->OpenDevice(0);
    }
    CSensorBase& Driver() const { return *engine_->Sensor(); }
    int Fpga(int reg) const { return VelcorSim_GetRegister(id_, VELCORSIM_SPACE_FPGA, reg); }
    int Sensor(int reg) const { return VelcorSim_GetRegister(id_, VELCORSIM_SPACE_SENSOR, reg); }
    void SetFpga(int reg, int value) const {
        ASSERT_TRUE(VelcorSim_SetRegister(id_, VELCORSIM_SPACE_FPGA, reg, value));
    }
    void SetSensor(int reg, int value) const {
        ASSERT_TRUE(VelcorSim_SetRegister(id_, VELCORSIM_SPACE_SENSOR, reg, value));
    }

    // Retried reads wait out a busy or silent bus in virtual time.
    platform::VirtualTimeScope virtualTime_;
    std::unique_ptr<CVelcorUSB3T2SimpleSdk> engine_;
    int id_ = 0;
};

// --- Which product offers what ------------------------------------------------------------------

enum class Thermo { kNone, kSony, kHead };

struct ExtrasRow {
    uint16_t productId;
    Thermo thermometer;
    bool gainMode;
    bool auxSwitch;
    bool switchA;
    bool switchB;
    bool readoutVariant;  // VariantOpA/B/C
    bool headVariant;     // VariantOpD/E
    bool headInfo;        // VariantInfoA/B
};

void PrintTo(const ExtrasRow& row, std::ostream* out) {
    char name[16];
    std::snprintf(name, sizeof name, "Pid%04X", row.productId);
    *out << name;
}

// clang-format off
const ExtrasRow kExtras[] = {
    // product, thermometer, gain mode, aux, A, B, readout variant, head variant, head info
    {0x31E0, Thermo::kHead, true,  true,  false, false, false, true,  true},
    {0x32D0, Thermo::kHead, true,  true,  false, true,  false, false, true},
    {0x3200, Thermo::kSony, false, false, true,  false, false, false, false},
    {0x3260, Thermo::kSony, false, false, false, false, true,  false, false},
    {0x3270, Thermo::kSony, false, false, false, false, true,  false, false},
    {0x3280, Thermo::kSony, false, false, false, false, true,  false, false},
    {0x3290, Thermo::kSony, false, false, false, false, true,  false, false},
    {0x3370, Thermo::kSony, false, false, false, false, false, false, false},
    {0x3380, Thermo::kSony, false, false, false, false, false, false, false},
    // Models without any of them: a Sony-bus camera, an FPGA-bus camera, the console camera.
    {0x3100, Thermo::kNone, false, false, false, false, false, false, false},
    {0x3150, Thermo::kNone, false, false, false, false, false, false, false},
    {0x3180, Thermo::kNone, false, false, false, false, false, false, false},
};
// clang-format on

class Extras : public ExtrasCamera, public ::testing::WithParamInterface<ExtrasRow> {};

TEST_P(Extras, EachProductOffersItsOwnOperations) {
    const ExtrasRow& row = GetParam();
    ASSERT_EQ(Open(row.productId), 1);
    CSensorBase& driver = Driver();
    EXPECT_EQ(engine_->IsTemperatureSupported(), row.thermometer != Thermo::kNone ? 1 : 0);
    EXPECT_EQ(engine_->IsGainModeSupported(), row.gainMode ? 1 : 0);
    EXPECT_EQ(engine_->IsAuxSwitchSupported(), row.auxSwitch ? 1 : 0);
    EXPECT_EQ(engine_->IsSwitchASupported(), row.switchA ? 1 : 0);
    EXPECT_EQ(engine_->IsSwitchBSupported(), row.switchB ? 1 : 0);

    int32_t value = 0;
    int32_t other = 0;
    EXPECT_EQ(driver.VariantOpB(&value), row.readoutVariant ? 1 : 0);
    EXPECT_EQ(driver.VariantOpC(), row.readoutVariant ? 1 : 0);
    EXPECT_EQ(driver.VariantOpE(&value), row.headVariant ? 1 : 0);
    EXPECT_EQ(driver.VariantInfoB(&value, &other), row.headInfo ? 1 : 0);
    if (!row.gainMode) {
        EXPECT_EQ(engine_->GetGainMode(), -1);
        EXPECT_EQ(engine_->SetGainMode(1), 0);
    }
    if (!row.switchB) {
        EXPECT_EQ(engine_->GetSwitchB(), -1);
        EXPECT_EQ(engine_->SetSwitchB(1), 0);
    }
    if (!row.auxSwitch) {
        EXPECT_EQ(engine_->SetAuxSwitch(&value), 0);
    }
    if (!row.switchA) {
        EXPECT_EQ(engine_->SetSwitchA(1), 0);
    }
    if (!row.readoutVariant) {
        EXPECT_EQ(driver.VariantOpA(1), 0);
    }
    if (!row.headVariant) {
        EXPECT_EQ(driver.VariantOpD(1), 0);
    }
}

TEST_P(Extras, TemperatureIsTheThermometersCodeAndAFailedReadFails) {
    const ExtrasRow& row = GetParam();
    ASSERT_EQ(Open(row.productId), 1);
    double celsius = 99.0;
    if (row.thermometer == Thermo::kNone) {
        EXPECT_EQ(engine_->GetTemperature(&celsius), 0);
        return;
    }
    const bool sony = row.thermometer == Thermo::kSony;
    ASSERT_EQ(engine_->GetTemperature(&celsius), 1);
    EXPECT_DOUBLE_EQ(celsius, sony ? SimFamilySensor::kSonyCelsius : SimFamilySensor::kHeadCelsius);

    // Another reading: code 0x0123 in the two byte registers.
    const sensor_bus::Thermometer& thermometer =
        sony ? sensor_bus::kSonyThermometer : sensor_bus::kHeadThermometer;
    if (sony) {
        SetSensor(static_cast<int>(thermometer.low), 0x23);
        SetSensor(static_cast<int>(thermometer.high), 0x01);
    } else {
        SetFpga(static_cast<int>(thermometer.low), 0x23);
        SetFpga(static_cast<int>(thermometer.high), 0x01);
    }
    ASSERT_EQ(engine_->GetTemperature(&celsius), 1);
    EXPECT_DOUBLE_EQ(celsius, sony ? 0x123 / 16.0 - 64.0 : 0x123 / 10.0 - 100.0);

    // A bus that does not answer gives no temperature.
    ASSERT_TRUE(VelcorSim_InjectFault(id_, VELCORSIM_FAULT_I2C_NACK, 100000));
    celsius = 99.0;
    EXPECT_EQ(engine_->GetTemperature(&celsius), 0);
    EXPECT_EQ(celsius, 99.0);
    ASSERT_TRUE(VelcorSim_InjectFault(id_, VELCORSIM_FAULT_I2C_NACK, 0));
}

TEST_P(Extras, GainModeIsTheHeadsSwitchPair) {
    const ExtrasRow& row = GetParam();
    if (!row.gainMode) return;
    ASSERT_EQ(Open(row.productId), 1);
    EXPECT_EQ(engine_->GetGainMode(), 0) << "the head comes up in high gain";
    ASSERT_EQ(engine_->SetGainMode(1), 1);
    EXPECT_EQ(Fpga(head::kGainModeFirst), head::kSwitchOpen);
    EXPECT_EQ(Fpga(head::kGainModeSecond), head::kSwitchClosed);
    EXPECT_EQ(engine_->GetGainMode(), 1);
    ASSERT_EQ(engine_->SetGainMode(0), 1);
    EXPECT_EQ(engine_->GetGainMode(), 0);
    // A pair in neither state, and a pair that cannot be read, are unknown.
    SetFpga(head::kGainModeSecond, head::kSwitchClosed);
    EXPECT_EQ(engine_->GetGainMode(), -1);
    ASSERT_TRUE(VelcorSim_InjectFault(id_, VELCORSIM_FAULT_I2C_NACK, 100000));
    EXPECT_EQ(engine_->GetGainMode(), -1);
    EXPECT_EQ(engine_->SetGainMode(1), 0);
    ASSERT_TRUE(VelcorSim_InjectFault(id_, VELCORSIM_FAULT_I2C_NACK, 0));
}

TEST_P(Extras, AuxiliarySwitchHoldsZeroOrOne) {
    const ExtrasRow& row = GetParam();
    if (!row.auxSwitch) return;
    ASSERT_EQ(Open(row.productId), 1);
    int32_t on = 7;
    ASSERT_EQ(Driver().GetAuxSwitch(&on), 1);
    EXPECT_EQ(on, 0);
    int argument = 0;
    ASSERT_EQ(engine_->SetAuxSwitch(&argument), 1) << "a non-null argument switches on";
    EXPECT_EQ(Fpga(head::kAuxSwitch), 1);
    EXPECT_EQ(engine_->GetAuxSwitch(), 1);
    ASSERT_EQ(engine_->SetAuxSwitch(nullptr), 1);
    EXPECT_EQ(Fpga(head::kAuxSwitch), 0);
    EXPECT_EQ(Driver().SetAuxSwitch(2), 0);
    SetFpga(head::kAuxSwitch, 5);
    EXPECT_EQ(Driver().GetAuxSwitch(&on), 0) << "a value the switch cannot hold";
}

INSTANTIATE_TEST_SUITE_P(FamilyProducts, Extras, ::testing::ValuesIn(kExtras),
                         [](const ::testing::TestParamInfo<ExtrasRow>& info) {
                             char name[16];
                             std::snprintf(name, sizeof name, "Pid%04X", info.param.productId);
                             return std::string(name);
                         });

// --- FPGA generations ----------------------------------------------------------------------------

TEST_F(ExtrasCamera, AuxiliarySwitchCameWithFpgaVersion23) {
    sim::SimCameraConfig config;
    config.fpgaVersion = 22;
    ASSERT_EQ(Open(0x31E0, config), 1);
    EXPECT_EQ(engine_->IsAuxSwitchSupported(), 0);
    int32_t on = 0;
    EXPECT_EQ(Driver().GetAuxSwitch(&on), 0);
    EXPECT_EQ(Driver().SetAuxSwitch(1), 0);
    EXPECT_EQ(Fpga(head::kAuxSwitch), 0);
}

TEST_F(ExtrasCamera, ApplyingAReadoutVariantNeedsFpgaVersion5) {
    sim::SimCameraConfig config;
    config.fpgaVersion = 4;
    ASSERT_EQ(Open(0x3260, config), 1);
    EXPECT_EQ(Driver().VariantOpA(3), 1) << "selecting needs no newer FPGA";
    EXPECT_EQ(Driver().VariantOpC(), 0);
    EXPECT_EQ(Sensor(static_cast<int>(sensor_bus::kSonyReadoutApply)), 0);
}

// --- What the operations do ----------------------------------------------------------------------

TEST_F(ExtrasCamera, ReadoutVariantIsSelectedReadBackAndApplied) {
    ASSERT_EQ(Open(0x3280), 1);
    ASSERT_EQ(Driver().VariantOpA(5), 1);
    EXPECT_EQ(Sensor(static_cast<int>(sensor_bus::kSonyReadoutVariant)), 5);
    int32_t variant = 0;
    ASSERT_EQ(Driver().VariantOpB(&variant), 1);
    EXPECT_EQ(variant, 5);
    EXPECT_EQ(Driver().VariantOpA(256), 0) << "the variant is a byte";
    EXPECT_EQ(Driver().VariantOpA(-1), 0);
    ASSERT_EQ(engine_->VariantOpC(), 1);
    EXPECT_EQ(Sensor(static_cast<int>(sensor_bus::kSonyReadoutApply)), 1);
    // The engine's forwarding selects variant 0.
    ASSERT_EQ(engine_->VariantOpA(), 1);
    EXPECT_EQ(Sensor(static_cast<int>(sensor_bus::kSonyReadoutVariant)), 0);
}

TEST_F(ExtrasCamera, SerialHeadVariantIsTheEnginesFpgaSwitch) {
    ASSERT_EQ(Open(0x31E0), 1);
    int32_t variant = 0;
    ASSERT_EQ(Driver().VariantOpE(&variant), 1);
    EXPECT_EQ(variant, SimFamilySensor::kHeadVariant);
    ASSERT_EQ(engine_->IsFpgaSwitchSupported(), 1);
    // Reading the switch while the head runs keeps its variant in the ROM (blank there).
    EXPECT_EQ(engine_->GetFpgaSwitch(), 1);
    uint8_t stored = 0;
    ASSERT_EQ(engine_->ReadEepromByte1080(&stored), 1);
    EXPECT_EQ(stored, SimFamilySensor::kHeadVariant);

    SetFpga(head::kVariant, 6);
    ASSERT_EQ(engine_->WriteEepromByte1080(6), 1);
    ASSERT_EQ(engine_->SetFpgaSwitch(0), 1);
    EXPECT_EQ(Fpga(head::kVariant), 0) << "standby";
    EXPECT_EQ(engine_->GetFpgaSwitch(), 0);
    ASSERT_EQ(engine_->SetFpgaSwitch(1), 1);
    EXPECT_EQ(Fpga(head::kVariant), 6) << "the variant the ROM keeps";

    EXPECT_EQ(Driver().VariantOpD(9), 0) << "eight variants";
    EXPECT_EQ(Driver().VariantOpD(-1), 0);
    EXPECT_EQ(Fpga(head::kVariant), 6);
}

TEST_F(ExtrasCamera, SerialHeadInformation) {
    ASSERT_EQ(Open(0x31E0), 1);
    int32_t format = -1;
    int32_t firmware = -1;
    // The simulated head is of the older kind: a blank last row, so the engine's copy drops it.
    EXPECT_EQ(Driver().VariantInfoA(&format, &firmware), 0);
    EXPECT_EQ(format, 0);
    EXPECT_EQ(firmware, SimFamilySensor::kHeadFirmware);
    int32_t model = 0;
    int32_t revision = 0;
    ASSERT_EQ(Driver().VariantInfoB(&model, &revision), 1);
    EXPECT_EQ(model, 0xE0);
    EXPECT_EQ(revision, SimFamilySensor::kHeadRevision);
    EXPECT_EQ(Driver().VariantInfoB(nullptr, &revision), 0);
}

TEST_F(ExtrasCamera, NewerHeadsReadOutWholeFramesAndTheFormatIsReadOnce) {
    ASSERT_EQ(Open(0x32D0), 1);
    SetFpga(head::kReadoutFormat, head::kFormatWholeFrames);
    EXPECT_EQ(Driver().VariantInfoA(nullptr, nullptr), 1);
    SetFpga(head::kReadoutFormat, 0);
    EXPECT_EQ(Driver().VariantInfoA(nullptr, nullptr), 1) << "a property of the head";
}

TEST_F(ExtrasCamera, SwitchBOfProduct32D0) {
    ASSERT_EQ(Open(0x32D0), 1);
    EXPECT_EQ(engine_->GetSwitchB(), 0);
    ASSERT_EQ(engine_->SetSwitchB(1), 1);
    EXPECT_EQ(Fpga(head::kSwitchB), 1);
    EXPECT_EQ(engine_->GetSwitchB(), 1);
    EXPECT_EQ(engine_->SetSwitchB(2), 0);
    EXPECT_EQ(Fpga(head::kSwitchB), 1);
    SetFpga(head::kSwitchB, 3);
    EXPECT_EQ(engine_->GetSwitchB(), -1);
}

TEST_F(ExtrasCamera, SwitchAOfProduct3200IsFpgaRegister130) {
    ASSERT_EQ(Open(0x3200), 1);
    EXPECT_EQ(engine_->GetSwitchA(), 0);
    ASSERT_EQ(engine_->SetSwitchA(1), 1);
    EXPECT_EQ(Fpga(130), 1);
    EXPECT_EQ(engine_->GetSwitchA(), 1);
    EXPECT_EQ(engine_->SetSwitchA(2), 0);
    SetFpga(130, 2);
    int32_t on = 5;
    EXPECT_EQ(Driver().GetSwitchA(&on), 0) << "anything but 0 or 1 fails";
    EXPECT_EQ(on, 5);
}

}  // namespace
}  // namespace velcor
