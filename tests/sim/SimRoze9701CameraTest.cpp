// The ROZE9701 camera as the engine and its driver meet it: the sensor model on the camera's
// I2C bus, the FPGA registers the driver uses, the start-up handshake, and the register access
// of the control API.
#include <gtest/gtest.h>
#include <velcor/VelcorSim.h>

#include <algorithm>
#include <memory>

#include "engine/VelcorR3U2Base.h"
#include "platform/Clock.h"
#include "protocol/FpgaRegisterMap.h"
#include "sensors/SensorROZE9701.h"
#include "sim/SimTestSupport.h"

namespace velcor {
namespace {

using testing::SimTest;

constexpr uint16_t kProduct = 0x32C0;

class RozeCamera : public SimTest {
  protected:
    void TearDown() override {
        engine_.reset();
        SimTest::TearDown();
    }

    // Attaches a camera and opens it through the engine; the result of OpenDevice.
    int Open(sim::SimCameraConfig config = {}) {
        id_ = Attach(kProduct, "ROZE0001", config);
        if (id_ <= 0) return -1;
        return OpenAttached();
    }
    int OpenAttached() {
        engine_ = std::make_unique<CVelcorUSB3T2SimpleSdk>();
        engine_->SetProductId(kProduct);
        engine_->InitializeController(nullptr, nullptr);
        return engine_->OpenDevice(0);
    }

    int Sensor(int reg) const { return VelcorSim_GetRegister(id_, VELCORSIM_SPACE_SENSOR, reg); }
    int Fpga(int reg) const { return VelcorSim_GetRegister(id_, VELCORSIM_SPACE_FPGA, reg); }
    int SensorBytes(int first, int count) const {
        int value = 0;
        for (int i = count - 1; i >= 0; --i)
            value = value << 8 | Sensor(first + i);
        return value;
    }
    int FpgaFrameLength() const {
        return Fpga(80) | Fpga(81) << 8 | Fpga(82) << 16 | (Fpga(83) & 0x0F) << 24;
    }
    int BlackLevelRegisters() const {
        return (Sensor(369) & 7) << 11 | Sensor(368) << 3 | (Sensor(367) >> 5 & 7);
    }
    size_t ControlRequests(uint8_t request) const {
        const auto trace = Camera(id_)->Trace();
        return static_cast<size_t>(
            std::count_if(trace.control.begin(), trace.control.end(),
                          [&](const auto& c) { return c.request == request; }));
    }
    CSensorROZE9701& Driver() { return *static_cast<CSensorROZE9701*>(engine_->Sensor()); }

    platform::VirtualTimeScope virtualTime_;
    int id_ = 0;
    std::unique_ptr<CVelcorUSB3T2SimpleSdk> engine_;
};

// --- The sensor on the bus and the driver's initialisation ------------------------------------

TEST_F(RozeCamera, DriverInitializesTheSensorThroughTheController) {
    ASSERT_EQ(Open(), 1);
    EXPECT_EQ(ControlRequests(0xC3), 1u) << "start-up indicator 9: the bridge is asked once";
    EXPECT_EQ(Sensor(0), 4) << "free-running readout";
    EXPECT_EQ(BlackLevelRegisters(), 8983);
    EXPECT_EQ(Sensor(2) & 0x40, 0) << "black-level access closed again";
    EXPECT_EQ(Sensor(287), 2) << "gain";
    EXPECT_EQ(Sensor(1) & 0x40, 0);
    EXPECT_EQ(Sensor(2) & 0x01, 0);
    EXPECT_EQ(Fpga(90), 1) << "horizontal mirror off";
    // Full window: start row 0, height 1024 + 2.
    EXPECT_EQ(Sensor(22), 0);
    EXPECT_EQ(Sensor(23), (1026 & 0x1F) << 3);
    EXPECT_EQ(Sensor(24), (1026 >> 5) & 0x3F);
    // 1080 lines of exposure in the window's frame of 1082 lines.
    EXPECT_EQ(SensorBytes(5, 4), 1082);
    EXPECT_EQ(SensorBytes(11, 4), 1082 - 1080 - 1);
    EXPECT_EQ(FpgaFrameLength(), 1082);
    EXPECT_EQ(Fpga(84) | Fpga(85) << 8, 1344);
    EXPECT_EQ(Driver().FrameLength(), 1082);
    auto sim = Camera(id_);
    EXPECT_EQ(sim->FpgaRegister(fpga::kHorizontalOffsetLow), 32);
    EXPECT_EQ(sim->FpgaRegister(fpga::kVerticalOffsetLow), 10);
}

TEST_F(RozeCamera, DriverOperationsShowInTheSensorRegisters) {
    ASSERT_EQ(Open(), 1);
    EXPECT_EQ(engine_->SetGlobalGain(20), 1);
    EXPECT_EQ(Sensor(287), 20);
    EXPECT_EQ(engine_->SetBlackLevel(4000), 1);
    EXPECT_EQ(BlackLevelRegisters(), 4000);
    EXPECT_EQ(Sensor(2) & 0x40, 0);

    EXPECT_EQ(engine_->SetMirrorH(1), 1);
    EXPECT_EQ(Sensor(2) & 0x01, 1);
    EXPECT_EQ(Fpga(90), 0);
    EXPECT_EQ(engine_->SetMirrorV(1), 1);
    EXPECT_EQ(Sensor(1) & 0x40, 0x40);
    EXPECT_EQ(engine_->SetMirrorH(0), 1);
    EXPECT_EQ(Sensor(1) & 0x40, 0x40) << "the vertical bit survives a horizontal change";
    EXPECT_EQ(Fpga(90), 1);

    // 512 rows at the top: the start row counts from the bottom.
    EXPECT_EQ(engine_->ApplyWindow(0, 0, 1280, 512, 0), 1);
    EXPECT_EQ(Sensor(22), 0);
    EXPECT_EQ(Sensor(23), 18);
    EXPECT_EQ(Sensor(24), 16);
    EXPECT_EQ(Sensor(0), 4) << "readout restarted after the window shrank";

    // 10 ms: 10e6 ns / 36288 ns per line = 275 lines in the window's frame of 540 lines.
    EXPECT_EQ(engine_->SetExposure(100), 1);
    EXPECT_EQ(SensorBytes(11, 4), 540 - 275 - 1);
    EXPECT_EQ(SensorBytes(5, 4), 540);
    EXPECT_EQ(FpgaFrameLength(), 540);

    EXPECT_EQ(Driver().SetGainMode(1), 1);
    EXPECT_EQ(Sensor(78), 6);
    EXPECT_EQ(Sensor(82), 255);
    EXPECT_EQ(Driver().SetFixedExposure(1), 1);
    EXPECT_EQ(SensorBytes(90, 3), 0x1F2064);
}

TEST_F(RozeCamera, TemperatureReadingCanBeForced) {
    ASSERT_EQ(Open(), 1);
    ASSERT_EQ(VelcorSim_SetRegister(id_, VELCORSIM_SPACE_SENSOR, 392, 1000 & 0xFF), TRUE);
    ASSERT_EQ(VelcorSim_SetRegister(id_, VELCORSIM_SPACE_SENSOR, 393, 1000 >> 8), TRUE);
    double celsius = 0;
    ASSERT_EQ(engine_->GetTemperature(&celsius), 1);
    EXPECT_NEAR(celsius, 34.21, 0.005);
}

TEST_F(RozeCamera, ForeignGainModePairReadsAsUnknown) {
    ASSERT_EQ(Open(), 1);
    ASSERT_EQ(VelcorSim_SetRegister(id_, VELCORSIM_SPACE_SENSOR, 78, 6), TRUE);
    ASSERT_EQ(VelcorSim_SetRegister(id_, VELCORSIM_SPACE_SENSOR, 82, 6), TRUE);
    EXPECT_EQ(Driver().GetGainMode(), -1);
}

TEST_F(RozeCamera, ResetRequestBringsTheSensorBackToPowerOn) {
    ASSERT_EQ(Open(), 1);
    ASSERT_EQ(engine_->SetGlobalGain(30), 1);
    ASSERT_EQ(Driver().Reset(), 1);
    EXPECT_EQ(Sensor(287), 2);
    EXPECT_EQ(Fpga(164) & 0x02, 0) << "the request bit clears itself";
    EXPECT_EQ(Camera(id_)->Trace().sensorResets, 1u);
}

// --- Start-up --------------------------------------------------------------------------------

TEST_F(RozeCamera, StartUpPollsTheBridgeUntilItIsReady) {
    sim::SimCameraConfig config;
    config.notReadyPolls = 3;
    const uint64_t slept = platform::VirtualMillisecondsSlept();
    ASSERT_EQ(Open(config), 1);
    EXPECT_EQ(ControlRequests(0xC3), 4u);
    EXPECT_GE(platform::VirtualMillisecondsSlept() - slept, 3u * 500u);
    EXPECT_EQ(Camera(id_)->Trace().sensorResets, 0u);
}

TEST_F(RozeCamera, CameraThatNeverBecomesReadyFailsToOpen) {
    sim::SimCameraConfig config;
    config.readyAfterResets = -1;
    config.firmwareVersion = 0x1101;  // newer firmware: the engine waits for the bridge
    const uint64_t slept = platform::VirtualMillisecondsSlept();
    EXPECT_EQ(Open(config), 0);
    EXPECT_EQ(ControlRequests(0xC3), 40u);
    // One reset after the bridge never answered ready, five more while waiting for the FPGA.
    EXPECT_EQ(Camera(id_)->Trace().sensorResets, 6u);
    EXPECT_GE(platform::VirtualMillisecondsSlept() - slept, 40u * 500u + 7000u + 5u * 5000u);
    EXPECT_LT(Fpga(fpga::kStartupIndicator), 9);
    EXPECT_NE(Fpga(fpga::kReadyState), 3);
}

TEST_F(RozeCamera, ReadinessForcedOffThroughTheRegistersFailsTheStartUp) {
    id_ = Attach(kProduct, "ROZE0001");
    ASSERT_EQ(VelcorSim_SetRegister(id_, VELCORSIM_SPACE_FPGA, fpga::kStartupIndicator, 0), TRUE);
    ASSERT_EQ(VelcorSim_SetRegister(id_, VELCORSIM_SPACE_FPGA, fpga::kReadyState, 0), TRUE);
    EXPECT_EQ(OpenAttached(), 0);
    EXPECT_EQ(ControlRequests(0xC3), 0u) << "old firmware, indicator 0: no bridge polls";
    EXPECT_EQ(Camera(id_)->Trace().sensorResets, 5u);
}

TEST_F(RozeCamera, CameraThatComesUpAfterAResetOpens) {
    sim::SimCameraConfig config;
    config.readyAfterResets = 1;
    config.firmwareVersion = 0x1101;
    EXPECT_EQ(Open(config), 1);
    EXPECT_EQ(ControlRequests(0xC3), 40u);
    EXPECT_EQ(Camera(id_)->Trace().sensorResets, 1u);
    EXPECT_EQ(Fpga(fpga::kStartupIndicator), 9);
    EXPECT_EQ(Fpga(fpga::kReadyState), 3);
}

// --- Register access of the control API ------------------------------------------------------

TEST_F(RozeCamera, RegisterAccessChecksCameraSpaceAddressAndValue) {
    id_ = Attach(kProduct, "ROZE0001");
    EXPECT_EQ(VelcorSim_GetRegister(id_ + 100, VELCORSIM_SPACE_FPGA, 8), -1);
    EXPECT_EQ(VelcorSim_GetRegister(id_, 0, 8), -1);
    EXPECT_EQ(VelcorSim_GetRegister(id_, 4, 8), -1);
    EXPECT_EQ(VelcorSim_GetRegister(id_, VELCORSIM_SPACE_FPGA, 256), -1);
    EXPECT_EQ(VelcorSim_GetRegister(id_, VELCORSIM_SPACE_FPGA, -1), -1);
    EXPECT_EQ(VelcorSim_GetRegister(id_, VELCORSIM_SPACE_SENSOR, 0x200), -1)
        << "the ROZE9701 has no such register";
    EXPECT_EQ(VelcorSim_GetRegister(id_, VELCORSIM_SPACE_EEPROM, 0x10000), -1);
    EXPECT_EQ(VelcorSim_SetRegister(id_ + 100, VELCORSIM_SPACE_FPGA, 7, 1), FALSE);
    EXPECT_EQ(VelcorSim_SetRegister(id_, 9, 7, 1), FALSE);
    EXPECT_EQ(VelcorSim_SetRegister(id_, VELCORSIM_SPACE_FPGA, 7, 256), FALSE);
    EXPECT_EQ(VelcorSim_SetRegister(id_, VELCORSIM_SPACE_FPGA, 7, -1), FALSE);
    EXPECT_EQ(VelcorSim_SetRegister(id_, VELCORSIM_SPACE_SENSOR, 0x200, 1), FALSE);

    EXPECT_EQ(VelcorSim_GetRegister(id_, VELCORSIM_SPACE_FPGA, fpga::kFrameCounter), 0xFC);
    EXPECT_EQ(VelcorSim_SetRegister(id_, VELCORSIM_SPACE_FPGA, fpga::kFrameCounter, 0x10), TRUE)
        << "registers the FPGA owns can be forced";
    EXPECT_EQ(VelcorSim_GetRegister(id_, VELCORSIM_SPACE_FPGA, fpga::kFrameCounter), 0x10);
    EXPECT_EQ(VelcorSim_GetRegister(id_, VELCORSIM_SPACE_EEPROM, 0x1040), 'R');
    EXPECT_EQ(VelcorSim_SetRegister(id_, VELCORSIM_SPACE_EEPROM, 0x1040, 'Q'), TRUE);
    EXPECT_EQ(Camera(id_)->EepromByte(0x1040), 'Q');
    // The black-level registers are locked on the bus but open to the control API.
    EXPECT_EQ(VelcorSim_GetRegister(id_, VELCORSIM_SPACE_SENSOR, 368), (8983 >> 3) & 0xFF);
}

TEST_F(RozeCamera, OtherProductsKeepThePlainSensorRegisterFile) {
    id_ = Attach(0x3100, "PLAIN001");
    EXPECT_EQ(VelcorSim_SetRegister(id_, VELCORSIM_SPACE_SENSOR, 0x3004, 0x9C), TRUE);
    EXPECT_EQ(VelcorSim_GetRegister(id_, VELCORSIM_SPACE_SENSOR, 0x3004), 0x9C);
    EXPECT_EQ(VelcorSim_GetRegister(id_, VELCORSIM_SPACE_SENSOR, 0x10000), -1);
}

}  // namespace
}  // namespace velcor
