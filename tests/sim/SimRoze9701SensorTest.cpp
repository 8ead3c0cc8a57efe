#include <gtest/gtest.h>

#include "sim/SimRoze9701Sensor.h"

namespace velcor::sim {
namespace {

using Readout = SimRoze9701Sensor::Readout;

TEST(SimRoze9701Sensor, PowersUpFreeRunningWithTheFullWindow) {
    SimRoze9701Sensor sensor;
    EXPECT_EQ(sensor.ReadoutState(), Readout::FreeRunning);
    EXPECT_EQ(sensor.WindowHeight(), 1024);
    EXPECT_EQ(sensor.WindowStartFromBottom(), 0);
    EXPECT_EQ(sensor.WindowTopRow(), 0);
    EXPECT_EQ(sensor.FrameLength(), 1054u);
    EXPECT_EQ(sensor.LineLength(), 1344u);
    EXPECT_EQ(sensor.ExposureLines(), 1053u);
    EXPECT_EQ(sensor.Gain(), 2);
    EXPECT_EQ(sensor.GainMode(), 0);
    EXPECT_FALSE(sensor.ShortExposure());
    EXPECT_EQ(sensor.BlackLevel(), 8983);
    EXPECT_FALSE(sensor.MirrorV());
    EXPECT_FALSE(sensor.MirrorH());
    EXPECT_NEAR(sensor.TemperatureCelsius(), 30.0, 0.5);
}

TEST(SimRoze9701Sensor, I2cTransactionsUseAnAutoIncrementingPointer) {
    SimRoze9701Sensor sensor;
    const uint8_t write[] = {0x00, 0x05, 0x10, 0x27, 0x00, 0x00};  // frame length 10000
    ASSERT_TRUE(sensor.I2cWrite(write, sizeof write));
    EXPECT_EQ(sensor.FrameLength(), 10000u);

    const uint8_t pointer[] = {0x00, 0x09};
    ASSERT_TRUE(sensor.I2cWrite(pointer, sizeof pointer));
    uint8_t line[2] = {};
    ASSERT_TRUE(sensor.I2cRead(line, 2));
    EXPECT_EQ(line[0], 0x40);
    EXPECT_EQ(line[1], 0x05);

    const uint8_t tooShort[] = {0x01};
    EXPECT_FALSE(sensor.I2cWrite(tooShort, 1));
    const uint8_t missing[] = {0x7F, 0xFF, 1};
    EXPECT_FALSE(sensor.I2cWrite(missing, 3)) << "no such register: not acknowledged";
}

TEST(SimRoze9701Sensor, BlackLevelRegistersAnswerOnlyWithTheAccessBitSet) {
    SimRoze9701Sensor sensor;
    EXPECT_FALSE(sensor.Read(368).has_value());
    EXPECT_FALSE(sensor.Write(368, 0));
    ASSERT_TRUE(sensor.Write(2, 0x40));
    EXPECT_EQ(sensor.Read(368), 8983 >> 3 & 0xFF);
    ASSERT_TRUE(sensor.Write(368, 0));
    EXPECT_EQ(sensor.BlackLevel(), 8983 - ((8983 >> 3 & 0xFF) << 3));
    // An I2C burst stops at the first register that does not answer.
    ASSERT_TRUE(sensor.Write(2, 0));
    const uint8_t burst[] = {0x01, 0x6E, 5, 6};  // registers 366, 367
    EXPECT_FALSE(sensor.I2cWrite(burst, sizeof burst));
    EXPECT_EQ(sensor.Read(366), 5);
}

TEST(SimRoze9701Sensor, TheTemperatureIsReadOnlyFromTheBus) {
    SimRoze9701Sensor sensor;
    sensor.SetTemperatureRaw(1000);
    EXPECT_TRUE(sensor.Write(392, 0));
    EXPECT_EQ(sensor.Read(392), 1000 & 0xFF);
    EXPECT_NEAR(sensor.TemperatureCelsius(), 34.21, 1e-9);
    sensor.SetTemperatureCelsius(45.0);
    EXPECT_NEAR(sensor.TemperatureCelsius(), 45.0, 0.17);
}

TEST(SimRoze9701Sensor, InterpretsWindowExposureAndModes) {
    SimRoze9701Sensor sensor;
    // 200 rows starting 724 rows above the bottom: rows 100..299 from the top.
    sensor.Write(22, 0xD4);
    sensor.Write(23, (202 & 31) << 3 | 2);
    sensor.Write(24, 202 >> 5);
    EXPECT_EQ(sensor.WindowHeight(), 200);
    EXPECT_EQ(sensor.WindowStartFromBottom(), 724);
    EXPECT_EQ(sensor.WindowTopRow(), 100);

    sensor.Write(11, 0x10);  // shutter at line 16 of 1054
    EXPECT_EQ(sensor.ExposureLines(), 1054u - 16 - 1);
    EXPECT_NEAR(sensor.ExposureSeconds(), 1037 * 1344 / 37037000.0, 1e-12);
    sensor.Write(11, 0xFF);
    sensor.Write(12, 0xFF);  // past the end of the frame
    EXPECT_EQ(sensor.ExposureLines(), 1u);

    sensor.Write(90, 100);
    sensor.Write(91, 32);
    sensor.Write(92, 31);
    EXPECT_TRUE(sensor.ShortExposure());
    EXPECT_NEAR(sensor.ExposureSeconds(), 3.24e-6, 0.01e-6);

    sensor.Write(78, 6);
    sensor.Write(82, 255);
    EXPECT_EQ(sensor.GainMode(), 1);
    sensor.Write(82, 0);
    EXPECT_EQ(sensor.GainMode(), -1);

    sensor.Write(1, 0x40);
    sensor.Write(2, 0x01);
    EXPECT_TRUE(sensor.MirrorV());
    EXPECT_TRUE(sensor.MirrorH());
}

TEST(SimRoze9701Sensor, CountsReadoutRestartsAndKnowsTriggeredReadout) {
    SimRoze9701Sensor sensor;
    sensor.Write(0, 0);
    EXPECT_EQ(sensor.ReadoutState(), Readout::Stopped);
    sensor.Write(0, 16);
    EXPECT_TRUE(sensor.TriggeredReadout());
    sensor.Write(0, 4);
    EXPECT_EQ(sensor.ReadoutRestarts(), 1u) << "only a start after a stop counts";
    sensor.PowerOn();
    EXPECT_EQ(sensor.ReadoutRestarts(), 0u);
    EXPECT_EQ(sensor.ReadoutState(), Readout::FreeRunning);
}

}  // namespace
}  // namespace velcor::sim
