#include <gtest/gtest.h>

#include <cstring>

#include "platform/Clock.h"
#include "sensors/SensorBase.h"
#include "sensors/StandInSensorBus.h"

namespace velcor {
namespace {

TEST(SensorBase, UnsupportedOperationsAnswerZeroAndTheOutputChecksAnswerOne) {
    test::StandInSensorBus bus;
    CSensorBase sensor(&bus, 0x48);
    int32_t value = 77;
    double seconds = 0;
    EXPECT_EQ(sensor.WaitReady(), 0);
    EXPECT_EQ(sensor.Initialize(), 0);
    EXPECT_EQ(sensor.SetWindow(0, 1280, 0, 1024, 0), 0);
    EXPECT_EQ(sensor.SetExposure(100), 0);
    EXPECT_EQ(sensor.GetExposure(&value), 0);
    EXPECT_EQ(sensor.SetGlobalGain(4), 0);
    EXPECT_EQ(sensor.WriteRegister(1, 2), 0);
    EXPECT_EQ(sensor.ReadRegisterRetried(1, nullptr), 0);
    EXPECT_EQ(sensor.GetTemperature(&seconds), 0);
    EXPECT_EQ(sensor.SetExposureSeconds(0.1), 0);
    EXPECT_EQ(sensor.IsColourSensor(), 1);
    EXPECT_EQ(sensor.Allows8BitOutput(), 1);
    EXPECT_EQ(sensor.Allows16BitOutput(), 1);
    EXPECT_EQ(sensor.GetGainMode(), -1);
    EXPECT_EQ(sensor.GetSwitchB(), -1);
    EXPECT_TRUE(bus.sensorWrites.empty());
}

TEST(SensorBase, RecordQueriesWriteTheFieldButAnswerTheSupportedFlag) {
    CSensorBase sensor(nullptr, 0x48);
    sensor.Info().blackLevelMin = 5;
    sensor.Info().gainStep = 3;
    sensor.Info().exposureSecondsMax = 1.5;
    int32_t value = 0;
    double seconds = 0;
    EXPECT_EQ(sensor.GetBlackLevelMin(&value), 0);
    EXPECT_EQ(value, 5) << "the value is written even when the feature is missing";
    EXPECT_EQ(sensor.GetGainStepCurrent(&value), 0);
    EXPECT_EQ(value, 3);
    EXPECT_EQ(sensor.GetExposureSecondsMax(&seconds), 0);
    EXPECT_EQ(seconds, 1.5);

    sensor.Info().blackLevelSupported = 1;
    EXPECT_EQ(sensor.GetBlackLevelMin(&value), 1);
    EXPECT_EQ(sensor.IsBlackLevelSupported(), 1);
    EXPECT_EQ(sensor.GetBlackLevelMin(nullptr), 0);
}

TEST(SensorBase, SensorInfoIsCopiedWholeAndANullBufferIsRefused) {
    CSensorBase sensor(nullptr, 0x48);
    sensor.Info().fullWidth = 640;
    sensor.Info().orientation = 4;
    sensor.Info().reserved[3] = 0xBEEF;
    SensorInfo copy;
    std::memset(&copy, 0xCC, sizeof copy);
    ASSERT_EQ(sensor.GetSensorInfo(&copy), 1);
    EXPECT_EQ(std::memcmp(&copy, &sensor.Info(), sizeof copy), 0);
    EXPECT_EQ(sensor.GetSensorInfo(nullptr), 0);
}

TEST(SensorBase, ModelCodeAndModeWordAreStored) {
    CSensorBase sensor(nullptr, 0x20);
    sensor.SetModelCode(42);
    sensor.SetModeWord(0x10000);
    EXPECT_EQ(sensor.ModelCode(), 42);
    EXPECT_EQ(sensor.GetModeWord(), 0x10000);
    EXPECT_EQ(sensor.BusAddress(), 0x20);
}

TEST(SensorBase, FpgaVersionIsReadOnceAndKept) {
    test::StandInSensorBus bus;
    bus.fpga[0x10] = 0x34;
    bus.fpga[0x11] = 0x12;
    CSensorBase sensor(&bus, 0x48);
    EXPECT_EQ(sensor.FpgaVersion(), 0x1234);
    bus.fpga[0x11] = 0x99;
    EXPECT_EQ(sensor.FpgaVersion(), 0x1234);
    EXPECT_EQ(bus.fpgaVersionReads, 1);
    EXPECT_EQ(CSensorBase(nullptr, 0x48).FpgaVersion(), 0);
}

TEST(SensorBase, FpgaReadBackWriteGivesUpAfterTenAttempts) {
    platform::VirtualTimeScope virtualTime;
    test::StandInSensorBus bus;
    CSensorBase sensor(&bus, 0x48);
    EXPECT_EQ(sensor.WriteFpgaReadBack(88, 1), 1);
    EXPECT_EQ(bus.fpga[88], 1);

    bus.failFpgaWrites.insert(88);
    const uint32_t start = platform::TimeGetTime();
    EXPECT_EQ(sensor.WriteFpgaReadBack(88, 0), 0);
    EXPECT_GE(platform::TimeGetTime() - start, 100u) << "ten attempts, 5 + 5 ms each";
    EXPECT_EQ(CSensorBase(nullptr, 0x48).WriteFpgaReadBack(88, 0), 0);
}

}  // namespace
}  // namespace velcor
