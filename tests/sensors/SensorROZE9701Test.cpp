#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/Clock.h"
#include "platform/Thread.h"
#include "sensors/SensorROZE9701.h"
#include "sensors/StandInSensorBus.h"

namespace velcor {
namespace {

using Readout = sim::SimRoze9701Sensor::Readout;

class Roze9701 : public ::testing::Test {
  protected:
    // Register loops sleep between attempts; virtual time lets them run at once.
    platform::VirtualTimeScope virtualTime;
    test::StandInSensorBus bus;
    CSensorROZE9701 driver{&bus, CSensorROZE9701::kBusAddress};

    void Initialize() {
        ASSERT_EQ(driver.Initialize(), 1);
        bus.sensorWrites.clear();
        bus.fpgaWrites.clear();
    }
    int32_t Lines() {
        int32_t lines = -1;
        driver.GetExposureLines(&lines);
        return lines;
    }
    uint8_t SensorReg(uint16_t reg) { return bus.sensor.Read(reg).value_or(0xEE); }
};

// --- Record and start-up -------------------------------------------------------------------

TEST_F(Roze9701, DescribesAMonochromeSensorReadOutByRows) {
    const SensorInfo& info = driver.Info();
    EXPECT_EQ(info.fullWidth, 1280);
    EXPECT_EQ(info.fullHeight, 1024);
    EXPECT_EQ(info.hWindowSupported, 0);
    EXPECT_EQ(info.vWindowSupported, 1);
    EXPECT_EQ(info.clockKHz, 37037);
    EXPECT_EQ(info.orientation, 3);
    EXPECT_EQ(driver.ModelCode(), 114);
    EXPECT_EQ(driver.IsColourSensor(), 0);
    EXPECT_EQ(driver.HasMirrorVHardware(), 1);
    EXPECT_EQ(driver.IsBlackLevelSupported(), 1);
    EXPECT_EQ(driver.IsGainStepSupported(), 0);
    EXPECT_EQ(driver.FrameLength(), 1054);
    EXPECT_EQ(driver.WindowFrameLines(), 1082);
    int32_t value = -1;
    EXPECT_EQ(driver.GetColourGainMax(&value), 1);
    EXPECT_EQ(value, 0);
}

TEST_F(Roze9701, InitializeProgramsTheFreshSensorAndTheFpgaCopies) {
    bus.sensor.Write(2, 0x01);  // a mirror left over from an earlier session
    ASSERT_EQ(driver.Initialize(), 1);
    EXPECT_EQ(bus.sensor.WindowHeight(), 1024);
    EXPECT_EQ(bus.sensor.WindowTopRow(), 0);
    EXPECT_EQ(bus.sensor.FrameLength(), 1082u);
    EXPECT_EQ(bus.sensor.ExposureLines(), 1080u);
    EXPECT_EQ(bus.sensor.Gain(), 2);
    EXPECT_EQ(bus.sensor.BlackLevel(), 8983);
    EXPECT_FALSE(bus.sensor.MirrorH());
    EXPECT_FALSE(bus.sensor.MirrorV());
    EXPECT_EQ(bus.fpga[90], 1) << "horizontal mirror off";
    EXPECT_EQ(bus.FpgaFrameLength(), 1082u);
    EXPECT_EQ(bus.FpgaLineLength(), 1344u);
    EXPECT_EQ(Lines(), 1080);
    EXPECT_EQ(driver.Info().fixedExposureMode, 0);
    EXPECT_NEAR(driver.Info().fixedExposureSeconds, 3.24e-6, 0.01e-6);
}

TEST_F(Roze9701, InitializeReportsASensorThatDoesNotAnswer) {
    bus.sensorDead = true;
    EXPECT_EQ(driver.Initialize(), 0);
}

TEST_F(Roze9701, WaitReadyAnswersAtOnceWhenTheFpgaIsUp) {
    bus.fpga[19] = 9;
    uint32_t start = platform::TimeGetTime();
    EXPECT_EQ(driver.WaitReady(), 1);
    EXPECT_LT(platform::TimeGetTime() - start, 1000u);

    bus.fpga[19] = 8;
    bus.fpga[33] = 3;
    start = platform::TimeGetTime();
    EXPECT_EQ(driver.WaitReady(), 1);
    EXPECT_LT(platform::TimeGetTime() - start, 1000u);
}

TEST_F(Roze9701, WaitReadyGivesUpAfterFiveResetsAndAboutThirtyTwoSeconds) {
    int resets = 0;
    bus.onFpgaWrite = [&](uint8_t reg, uint8_t value) {
        if (reg == 164 && (value & 2) != 0) {
            ++resets;
        }
    };
    const uint32_t start = platform::TimeGetTime();
    EXPECT_EQ(driver.WaitReady(), 0);
    const uint32_t elapsed = platform::TimeGetTime() - start;
    EXPECT_GE(elapsed, 32000u);
    EXPECT_LT(elapsed, 33000u);
    EXPECT_EQ(resets, 5);
}

TEST_F(Roze9701, WaitReadySucceedsWhenAResetBringsTheCameraUp) {
    int resets = 0;
    bus.onFpgaWrite = [&](uint8_t reg, uint8_t) {
        if (reg == 164 && ++resets == 2) {
            bus.fpga[33] = 3;
        }
    };
    const uint32_t start = platform::TimeGetTime();
    EXPECT_EQ(driver.WaitReady(), 1);
    const uint32_t elapsed = platform::TimeGetTime() - start;
    EXPECT_GE(elapsed, 17000u);
    EXPECT_LT(elapsed, 18000u);
}

TEST_F(Roze9701, ResetSetsTheRequestBitAndKeepsTheOthers) {
    bus.fpga[164] = 0x81;
    EXPECT_EQ(driver.Reset(), 1);
    EXPECT_EQ(bus.fpga[164], 0x83);

    bus.failFpgaReads.insert(164);
    bus.fpgaWrites.clear();
    EXPECT_EQ(driver.Reset(), 0);
    EXPECT_TRUE(bus.fpgaWrites.empty()) << "no write of a value that was never read";
}

// --- Register forms --------------------------------------------------------------------------

TEST_F(Roze9701, PlainRegisterAccessUsesSixteenBitNumbers) {
    EXPECT_EQ(driver.WriteRegister(287, 40), 1);
    EXPECT_EQ(bus.sensor.Gain(), 40);
    uint32_t value = 0;
    EXPECT_EQ(driver.ReadRegister(10, &value), 1);
    EXPECT_EQ(value, 0x05u) << "high byte of the 1344-clock line";
    EXPECT_EQ(driver.WriteRegister(287, 0x100), 0) << "registers hold one byte";
    EXPECT_EQ(driver.WriteRegister(0x10000, 1), 0);
    EXPECT_EQ(driver.ReadRegister(1, nullptr), 0);
}

TEST_F(Roze9701, ReadBackWriteNeverTouchesTheSensorWhileItsBusIsBusy) {
    bus.fpga[2] = 1;
    const uint32_t start = platform::TimeGetTime();
    EXPECT_EQ(driver.WriteRegisterReadBack(287, 9), 0);
    EXPECT_GE(platform::TimeGetTime() - start, 300u) << "100 attempts, 3 ms apart";
    EXPECT_TRUE(bus.sensorWrites.empty());
    uint32_t value = 0;
    EXPECT_EQ(driver.ReadRegisterRetried(287, &value), 0);

    bus.fpga[2] = 0;
    EXPECT_EQ(driver.WriteRegisterReadBack(287, 9), 1);
    EXPECT_EQ(driver.ReadRegisterRetried(287, &value), 1);
    EXPECT_EQ(value, 9u);
}

TEST_F(Roze9701, ReadBackWriteFailsWhenTheByteNeverSticks) {
    bus.lostWrites.insert(287);
    EXPECT_EQ(driver.WriteRegisterReadBack(287, 9), 0);
    bus.lostWrites.clear();
    bus.failFpgaReads.insert(2);
    EXPECT_EQ(driver.WriteRegisterReadBack(287, 9), 0);
    EXPECT_EQ(bus.sensor.Gain(), 2);
}

// --- Window ----------------------------------------------------------------------------------

TEST_F(Roze9701, WindowRowsAreCountedFromTheBottom) {
    Initialize();
    ASSERT_EQ(driver.SetWindow(0, 1280, 0, 512, 0), 1);
    EXPECT_EQ(bus.WritesTo(22), std::vector<uint8_t>{0});
    EXPECT_EQ(bus.WritesTo(23), std::vector<uint8_t>{18});
    EXPECT_EQ(bus.WritesTo(24), std::vector<uint8_t>{16});
    EXPECT_EQ(bus.sensor.WindowStartFromBottom(), 512);
    EXPECT_EQ(bus.sensor.WindowTopRow(), 0);
    EXPECT_EQ(driver.Info().frameLines, 512);
    EXPECT_EQ(driver.WindowFrameLines(), 540);

    ASSERT_EQ(driver.SetWindow(0, 1280, 100, 200, 0), 1);
    EXPECT_EQ(SensorReg(22), 0xD4);  // start row 724 = 0x2D4
    EXPECT_EQ(SensorReg(23), (202 & 31) << 3 | 2);
    EXPECT_EQ(SensorReg(24), 202 >> 5);
    EXPECT_EQ(bus.sensor.WindowTopRow(), 100);
    EXPECT_EQ(bus.sensor.WindowHeight(), 200);
}

TEST_F(Roze9701, FullHeightWindowCarriesTheLongerBlanking) {
    Initialize();
    ASSERT_EQ(driver.SetWindow(0, 1280, 0, 512, 0), 1);
    ASSERT_EQ(driver.SetWindow(0, 640, 0, 1024, 2), 1);
    EXPECT_EQ(driver.Info().frameLines, 1054);
    EXPECT_EQ(driver.WindowFrameLines(), 1082);
    int32_t x = -1, width = -1, y = -1, height = -1, mode = -1;
    ASSERT_EQ(driver.GetWindow(&x, &width, &y, &height, &mode), 1);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(width, 1280) << "the width is always the full width";
    EXPECT_EQ(height, 1024);
    EXPECT_EQ(mode, 2);
}

TEST_F(Roze9701, ShrinkingMovesTheShutterFirstAndRestartsReadout) {
    Initialize();
    ASSERT_EQ(driver.SetExposureLines(300), 1);
    bus.sensorWrites.clear();
    ASSERT_EQ(driver.SetWindow(0, 1280, 0, 256, 0), 1);
    EXPECT_LT(bus.FirstWriteIndex(11), bus.FirstWriteIndex(22));
    EXPECT_EQ(bus.WritesTo(0), (std::vector<uint8_t>{0, 4}));
    EXPECT_EQ(bus.sensor.ReadoutRestarts(), 1u);
    EXPECT_EQ(driver.WindowFrameLines(), 284);
    EXPECT_EQ(bus.sensor.ExposureLines(), 300u);
    EXPECT_EQ(bus.sensor.FrameLength(), 301u) << "300 lines no longer fit the 284-line frame";

    // Growing writes the rows first and needs no restart.
    bus.sensorWrites.clear();
    ASSERT_EQ(driver.SetWindow(0, 1280, 0, 768, 0), 1);
    EXPECT_LT(bus.FirstWriteIndex(22), bus.FirstWriteIndex(11));
    EXPECT_TRUE(bus.WritesTo(0).empty());
    EXPECT_EQ(bus.sensor.FrameLength(), 796u);
    EXPECT_EQ(bus.sensor.ExposureLines(), 300u);
}

TEST_F(Roze9701, WindowsOutsideTheSensorAreRefusedUntouched) {
    Initialize();
    EXPECT_EQ(driver.SetWindow(0, 1280, 0, 7, 0), 0);
    EXPECT_EQ(driver.SetWindow(0, 1280, 600, 512, 0), 0);
    EXPECT_EQ(driver.SetWindow(0, 1280, -1, 512, 0), 0);
    EXPECT_EQ(driver.SetWindow(0, 1280, 0, 1025, 0), 0);
    EXPECT_TRUE(bus.sensorWrites.empty());
    EXPECT_EQ(driver.WindowFrameLines(), 1082);
    EXPECT_EQ(driver.Info().windowHeight, 1024);
}

TEST_F(Roze9701, AWindowTheSensorDidNotTakeIsReportedAndNotRecorded) {
    Initialize();
    bus.nakWrites.insert(23);
    EXPECT_EQ(driver.SetWindow(0, 1280, 0, 512, 0), 0);
    EXPECT_EQ(driver.Info().windowHeight, 1024);
}

TEST_F(Roze9701, BitDepthReappliesTheWindowInForce) {
    Initialize();
    ASSERT_EQ(driver.SetWindow(0, 1280, 10, 300, 0), 1);
    bus.sensorWrites.clear();
    EXPECT_EQ(driver.SetBitDepth(1), 1);
    EXPECT_EQ(driver.Info().bitDepth, 16);
    EXPECT_EQ(bus.WritesTo(22).size(), 1u);
    EXPECT_EQ(bus.sensor.WindowTopRow(), 10);
    EXPECT_EQ(driver.SetBitDepth(0), 1);
    EXPECT_EQ(driver.Info().bitDepth, 8);
}

// --- Exposure --------------------------------------------------------------------------------

TEST_F(Roze9701, ExposureWithinTheFrameMovesOnlyTheShutter) {
    Initialize();
    ASSERT_EQ(driver.SetExposureLines(500), 1);
    EXPECT_EQ(bus.sensor.ShutterStart(), 1082u - 500 - 1);
    EXPECT_EQ(bus.sensor.FrameLength(), 1082u);
    EXPECT_EQ(bus.sensor.ExposureLines(), 500u);

    ASSERT_EQ(driver.SetExposureLines(1081), 1);
    EXPECT_EQ(bus.sensor.ShutterStart(), 0u);
    EXPECT_EQ(bus.sensor.FrameLength(), 1082u);
}

TEST_F(Roze9701, LongExposureStretchesTheFrameWithTheShutterAtZero) {
    Initialize();
    ASSERT_EQ(driver.SetExposureLines(1082), 1);
    EXPECT_EQ(bus.sensor.ShutterStart(), 0u);
    EXPECT_EQ(bus.sensor.FrameLength(), 1083u);
    EXPECT_EQ(bus.FpgaFrameLength(), 1083u);
    EXPECT_EQ(driver.FrameLength(), 1083);

    ASSERT_EQ(driver.SetExposureLines(0), 1);
    EXPECT_EQ(bus.sensor.ShutterStart(), 0u);
    EXPECT_EQ(bus.sensor.FrameLength(), 2u) << "1 line, raised to the shortest frame";
    EXPECT_EQ(Lines(), 0);
}

TEST_F(Roze9701, FrameGrowsBeforeTheShutterMovesAndShrinksAfter) {
    Initialize();
    ASSERT_EQ(driver.SetExposureLines(0), 1);  // frame of 2 lines
    bus.sensorWrites.clear();
    ASSERT_EQ(driver.SetExposureLines(500), 1);
    EXPECT_LT(bus.FirstWriteIndex(5), bus.FirstWriteIndex(11));

    ASSERT_EQ(driver.SetExposureLines(5000), 1);
    bus.sensorWrites.clear();
    ASSERT_EQ(driver.SetExposureLines(500), 1);
    EXPECT_LT(bus.FirstWriteIndex(11), bus.FirstWriteIndex(5));
    EXPECT_EQ(bus.sensor.FrameLength(), 1082u);
    EXPECT_EQ(bus.sensor.ExposureLines(), 500u);
}

TEST_F(Roze9701, NegativeOrOversizedLineCountsAreRefused) {
    Initialize();
    EXPECT_EQ(driver.SetExposureLines(-1), 0);
    EXPECT_EQ(driver.SetExposureLines(std::numeric_limits<int32_t>::max()), 0);
    EXPECT_TRUE(bus.sensorWrites.empty());
    EXPECT_EQ(Lines(), 1080);
}

TEST_F(Roze9701, ALostFrameLengthByteFailsTheExposure) {
    Initialize();
    bus.lostWrites.insert(6);
    EXPECT_EQ(driver.SetExposureLines(5000), 0);
    EXPECT_EQ(Lines(), 1080);
}

TEST_F(Roze9701, TenthsOfMillisecondsAreClampedAndConvertedWithTheLineTime) {
    Initialize();
    int32_t value = 0;
    double seconds = 0;
    ASSERT_EQ(driver.SetExposure(0), 1);
    driver.GetExposure(&value);
    EXPECT_EQ(value, 1);
    EXPECT_EQ(Lines(), 2) << "100 us over a 36288 ns line";
    driver.GetExposureSeconds(&seconds);
    EXPECT_DOUBLE_EQ(seconds, 0.0001);

    ASSERT_EQ(driver.SetExposure(30000), 1);
    driver.GetExposure(&value);
    EXPECT_EQ(value, 20000);
    EXPECT_EQ(Lines(), 55114);
    EXPECT_EQ(bus.sensor.FrameLength(), 55115u);
    driver.GetExposureSeconds(&seconds);
    EXPECT_DOUBLE_EQ(seconds, 2.0);
    EXPECT_NEAR(bus.sensor.ExposureSeconds(), 2.0, 0.0001);
}

TEST_F(Roze9701, SecondsAreClampedAndKeepTheTenthsInStep) {
    Initialize();
    int32_t value = -1;
    double seconds = 0;
    ASSERT_EQ(driver.SetExposureSeconds(1e-6), 1);
    EXPECT_EQ(Lines(), 1);
    driver.GetExposureSeconds(&seconds);
    EXPECT_DOUBLE_EQ(seconds, 0.000037125);
    driver.GetExposure(&value);
    EXPECT_EQ(value, 0);

    ASSERT_EQ(driver.SetExposureSeconds(0.25), 1);
    EXPECT_EQ(Lines(), 6889);
    driver.GetExposure(&value);
    EXPECT_EQ(value, 2500);

    ASSERT_EQ(driver.SetExposureSeconds(10.0), 1);
    driver.GetExposureSeconds(&seconds);
    EXPECT_DOUBLE_EQ(seconds, 2.0);
    EXPECT_EQ(driver.SetExposureSeconds(std::nan("")), 0);
    driver.GetExposureSeconds(&seconds);
    EXPECT_DOUBLE_EQ(seconds, 2.0);
}

TEST_F(Roze9701, AHugeLineLengthDoesNotBreakTheConversion) {
    Initialize();
    driver.Info().lineLength = 40000;  // 40000 clocks x 10^6 does not fit 32 bits
    ASSERT_EQ(driver.SetExposure(20000), 1);
    EXPECT_EQ(Lines(), 1851) << "2 s over a 1 080 001 ns line";
}

TEST_F(Roze9701, ShortExposureModeBlocksExposureChangesUntilSwitchedOff) {
    Initialize();
    ASSERT_EQ(driver.SetExposureLines(700), 1);
    ASSERT_EQ(driver.SetFixedExposure(1), 1);
    EXPECT_EQ(SensorReg(90), 100);
    EXPECT_EQ(SensorReg(91), 32);
    EXPECT_EQ(SensorReg(92), 31);
    EXPECT_TRUE(bus.sensor.ShortExposure());
    double seconds = 0;
    ASSERT_EQ(driver.GetExposureSeconds(&seconds), 1);
    EXPECT_NEAR(seconds, 3.24e-6, 0.01e-6);
    EXPECT_EQ(driver.SetExposure(100), 0);
    EXPECT_EQ(driver.SetExposureSeconds(0.01), 0);
    EXPECT_EQ(driver.SetExposureLines(10), 0);
    int32_t on = -1;
    ASSERT_EQ(driver.GetFixedExposure(&on), 1);
    EXPECT_EQ(on, 1);

    ASSERT_EQ(driver.SetFixedExposure(0), 1);
    EXPECT_EQ(SensorReg(90), 255);
    EXPECT_FALSE(bus.sensor.ShortExposure());
    EXPECT_EQ(bus.sensor.ExposureLines(), 700u);
    ASSERT_EQ(driver.GetFixedExposure(&on), 1);
    EXPECT_EQ(on, 0);
}

TEST_F(Roze9701, AnUnknownShortExposureStateIsNotGuessed) {
    Initialize();
    bus.sensor.Write(91, 7);
    int32_t on = 1;  // whatever the caller had there must not become the mode
    EXPECT_EQ(driver.GetFixedExposure(&on), 0);
    EXPECT_EQ(on, 1);
    EXPECT_EQ(driver.Info().fixedExposureMode, 0);
    EXPECT_EQ(driver.SetExposureLines(10), 1);
}

// --- Trigger ---------------------------------------------------------------------------------

TEST_F(Roze9701, TriggerModeHandsTheExposureToTheFpga) {
    Initialize();
    ASSERT_EQ(driver.SetTriggerMode(1), 1);
    EXPECT_TRUE(bus.sensor.TriggeredReadout());
    EXPECT_EQ(bus.fpga[88], 1);
    EXPECT_EQ(bus.fpga[133], 1080 & 0xFF);
    EXPECT_EQ(bus.fpga[134], 1080 >> 8);
    EXPECT_EQ(bus.FpgaLineLength(), 1375u);
    EXPECT_EQ(bus.FpgaFrameLength(), 1082u);
    int32_t mode = -1;
    ASSERT_EQ(driver.GetTriggerMode(&mode), 1);
    EXPECT_EQ(mode, 1);

    bus.fpgaWrites.clear();
    ASSERT_EQ(driver.SetExposureLines(70000), 1);
    ASSERT_FALSE(bus.fpgaWrites.empty());
    EXPECT_EQ(bus.fpgaWrites.front(), (std::pair<uint8_t, uint8_t>{88, 0}))
        << "triggers are held off while the exposure changes";
    EXPECT_EQ(bus.fpgaWrites.back(), (std::pair<uint8_t, uint8_t>{88, 1}));
    EXPECT_EQ(bus.fpga[133], 0x70);
    EXPECT_EQ(bus.fpga[134], 0x11);
    EXPECT_EQ(bus.fpga[155], 0x01);
    EXPECT_EQ(bus.fpga[156], 0x00);
    EXPECT_EQ(bus.FpgaFrameLength(), 70001u);
}

TEST_F(Roze9701, LeavingTriggerModeRestoresTheSensorsTiming) {
    Initialize();
    ASSERT_EQ(driver.SetTriggerMode(1), 1);
    ASSERT_EQ(driver.SetTriggerMode(0), 1);
    EXPECT_EQ(bus.sensor.ReadoutState(), Readout::FreeRunning);
    EXPECT_EQ(bus.fpga[88], 0);
    EXPECT_EQ(driver.Info().lineLength, 1344) << "the sensor's line, not the FPGA's 1375";
    EXPECT_EQ(driver.FrameLength(), 1082);
}

TEST_F(Roze9701, ShrinkingTheWindowKeepsTriggeredReadout) {
    Initialize();
    ASSERT_EQ(driver.SetTriggerMode(1), 1);
    ASSERT_EQ(driver.SetWindow(0, 1280, 0, 512, 0), 1);
    EXPECT_EQ(bus.sensor.ReadoutRestarts(), 1u);
    EXPECT_TRUE(bus.sensor.TriggeredReadout());
}

TEST_F(Roze9701, AFailedFpgaReadDoesNotZeroTheFrameTiming) {
    Initialize();
    bus.failFpgaReads.insert(81);
    EXPECT_EQ(driver.SetTriggerMode(1), 0);
    EXPECT_EQ(driver.FrameLength(), 1082);
    EXPECT_EQ(driver.SetExposure(100), 1) << "the line time is still known";
}

// --- Gain, black level, mirrors, temperature -------------------------------------------------

TEST_F(Roze9701, GlobalGainOutsideTheRangeIsRefused) {
    Initialize();
    EXPECT_EQ(driver.SetGlobalGain(1), 0);
    EXPECT_EQ(driver.SetGlobalGain(63), 0);
    EXPECT_EQ(bus.sensor.Gain(), 2);
    ASSERT_EQ(driver.SetGlobalGain(62), 1);
    EXPECT_EQ(bus.sensor.Gain(), 62);
    int32_t gain = 0;
    driver.GetGlobalGain(&gain);
    EXPECT_EQ(gain, 62);
}

TEST_F(Roze9701, GainModeIsARegisterPair) {
    EXPECT_EQ(driver.IsGainModeSupported(), 1);
    EXPECT_EQ(driver.GetGainMode(), 0);
    ASSERT_EQ(driver.SetGainMode(1), 1);
    EXPECT_EQ(SensorReg(78), 6);
    EXPECT_EQ(SensorReg(82), 255);
    EXPECT_EQ(driver.GetGainMode(), 1);
    EXPECT_EQ(bus.sensor.GainMode(), 1);
    bus.sensor.Write(82, 6);  // (6, 6) is neither mode
    EXPECT_EQ(driver.GetGainMode(), -1);
    bus.sensorDead = true;
    EXPECT_EQ(driver.GetGainMode(), -1);
}

TEST_F(Roze9701, BlackLevelIsWrittenInsideTheAccessBracket) {
    Initialize();
    // Neighbouring bits of 367 and 369, and the horizontal mirror in register 2, must survive.
    bus.sensor.Write(2, 0x41);
    bus.sensor.Write(367, 0x15);
    bus.sensor.Write(369, 0xA8);
    bus.sensor.Write(2, 0x01);
    bus.sensorWrites.clear();

    ASSERT_EQ(driver.SetBlackLevel(12345), 1);
    EXPECT_EQ(bus.sensor.BlackLevel(), 12345);
    EXPECT_EQ(bus.WritesTo(2), (std::vector<uint8_t>{0x41, 0x01}));
    EXPECT_LT(bus.FirstWriteIndex(2), bus.FirstWriteIndex(367));
    EXPECT_EQ(SensorReg(2), 0x01) << "access closed again, mirror kept";
    bus.sensor.Write(2, 0x40);
    EXPECT_EQ(SensorReg(367) & 0x1F, 0x15);
    EXPECT_EQ(SensorReg(369) & 0xF8, 0xA8);
    bus.sensor.Write(2, 0x01);

    int32_t level = 0;
    ASSERT_EQ(driver.GetBlackLevel(&level), 1);
    EXPECT_EQ(level, 12345);
    EXPECT_EQ(SensorReg(2), 0x01);
}

TEST_F(Roze9701, BlackLevelRangeAndFailures) {
    Initialize();
    EXPECT_EQ(driver.SetBlackLevel(16384), 0);
    EXPECT_EQ(driver.SetBlackLevel(-1), 0);
    ASSERT_EQ(driver.SetBlackLevel(16383), 1);
    EXPECT_EQ(bus.sensor.BlackLevel(), 16383);

    bus.nakWrites.insert(368);
    EXPECT_EQ(driver.SetBlackLevel(100), 0);
    int32_t level = 0;
    EXPECT_EQ(driver.CSensorBase::GetBlackLevel(&level), 1);
    EXPECT_EQ(level, 16383) << "the stored level stays when the write failed";
    EXPECT_EQ(SensorReg(2) & 0x40, 0) << "the access bit is closed on the failure path too";
}

TEST_F(Roze9701, MirrorsSetTheirBitsAndTheFpgaFlag) {
    Initialize();
    ASSERT_EQ(driver.SetMirrorV(1), 1);
    ASSERT_EQ(driver.SetMirrorH(1), 1);
    EXPECT_TRUE(bus.sensor.MirrorV());
    EXPECT_TRUE(bus.sensor.MirrorH());
    EXPECT_EQ(bus.fpga[90], 0);
    EXPECT_EQ(bus.WritesTo(1).back(), 0x40) << "the vertical bit is rewritten after H";
    ASSERT_EQ(driver.SetMirrorH(0), 1);
    EXPECT_EQ(bus.fpga[90], 1);
    EXPECT_TRUE(bus.sensor.MirrorV());
}

TEST_F(Roze9701, AMirrorTheSensorDidNotTakeIsReported) {
    Initialize();
    bus.lostWrites.insert(1);
    EXPECT_EQ(driver.SetMirrorV(1), 0);
    int32_t on = -1;
    driver.GetMirrorV(&on);
    EXPECT_EQ(on, 0);
    bus.lostWrites = {2};
    EXPECT_EQ(driver.SetMirrorH(1), 0);
    driver.GetMirrorH(&on);
    EXPECT_EQ(on, 0);
}

TEST_F(Roze9701, TemperatureFromTheRawReading) {
    EXPECT_EQ(driver.IsTemperatureSupported(), 1);
    bus.sensor.SetTemperatureRaw(1000);
    double celsius = 0;
    ASSERT_EQ(driver.GetTemperature(&celsius), 1);
    EXPECT_NEAR(celsius, 34.21, 1e-9);
    EXPECT_EQ(driver.GetTemperature(nullptr), 0);
    bus.failFpgaReads.insert(2);
    EXPECT_EQ(driver.GetTemperature(&celsius), 0);
}

TEST_F(Roze9701, ConcurrentBlackLevelChangesNeverInterleave) {
    Initialize();
    auto setMany = [this](int32_t value) {
        for (int i = 0; i < 20; ++i) {
            EXPECT_EQ(driver.SetBlackLevel(value), 1);
        }
    };
    platform::Thread a, b;
    ASSERT_TRUE(a.Start([&] { setMany(1000); }));
    ASSERT_TRUE(b.Start([&] { setMany(15000); }));
    a.Join();
    b.Join();
    EXPECT_EQ(bus.sensor.BlackLevel(), driver.Info().blackLevel);
    EXPECT_EQ(SensorReg(2) & 0x40, 0);
}

// --- Without a camera ------------------------------------------------------------------------

TEST(Roze9701WithoutController, EveryDeviceOperationFails) {
    platform::VirtualTimeScope virtualTime;
    CSensorROZE9701 driver(nullptr, CSensorROZE9701::kBusAddress);
    double celsius = 0;
    EXPECT_EQ(driver.WaitReady(), 0);
    EXPECT_EQ(driver.Reset(), 0);
    EXPECT_EQ(driver.Initialize(), 0);
    EXPECT_EQ(driver.SetTriggerMode(1), 0);
    EXPECT_EQ(driver.ArmTrigger(), 0);
    EXPECT_EQ(driver.WriteRegister(0, 4), 0);
    EXPECT_EQ(driver.SetExposure(100), 0);
    EXPECT_EQ(driver.SetWindow(0, 1280, 0, 512, 0), 0);
    EXPECT_EQ(driver.SetMirrorH(1), 0);
    EXPECT_EQ(driver.GetTemperature(&celsius), 0);
    EXPECT_EQ(driver.GetGainMode(), -1);
    int32_t x, w, y, h, m;
    ASSERT_EQ(driver.GetWindow(&x, &w, &y, &h, &m), 1);
    EXPECT_EQ(h, 1024);
}

}  // namespace
}  // namespace velcor
