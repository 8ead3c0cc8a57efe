// The camera object's analog settings against a simulated ROZE9701 camera, checked in the
// simulated chips' registers.
#include <gtest/gtest.h>

#include <velcor/VelcorSdk.h>
#include <velcor/VelcorSim.h>
#include <velcor/VelcorWin.h>

#include "platform/Clock.h"
#include "sim/SimTestSupport.h"

namespace velcor {
namespace {

constexpr int kSensorGain = 287;
constexpr int kSensorTemperature = 392;

class CameraSettings : public testing::SimTest {
  protected:
    void Open() {
        camera_ = VelcorSim_AttachCamera(0x32C0, "SET00001");
        ASSERT_GT(camera_, 0);
        handle_ = Velcor_Initialize(nullptr);
        ASSERT_NE(handle_, 0);
        ASSERT_EQ(Velcor_GetLastError(handle_), 0);
    }
    void TearDown() override {
        if (handle_ != 0) Velcor_Release(handle_);
        testing::SimTest::TearDown();
    }
    int Sensor(int reg) { return VelcorSim_GetRegister(camera_, VELCORSIM_SPACE_SENSOR, reg); }
    int LastError() { return Velcor_GetLastError(handle_); }

    int camera_ = 0;
    int handle_ = 0;
};

TEST_F(CameraSettings, OpeningTheCameraAppliesTheSensorDefaults) {
    Open();
    int ok = 0;
    EXPECT_EQ(Velcor_GetGlobalGain(handle_, &ok), 2);
    EXPECT_EQ(Sensor(kSensorGain), 2);
    // The first initialisation stores 16 bits for this monochrome camera, and loads it.
    EXPECT_EQ(Velcor_GetColorMode(handle_), 16);
    VELCORCAMERAINFO info{};
    info.size = sizeof info;
    ASSERT_EQ(Velcor_GetCameraInfo(handle_, &info), TRUE);
    EXPECT_EQ(info.exposureMin, 1);
    EXPECT_EQ(info.exposureMax, 20000);
    EXPECT_GT(info.exposureMaxSeconds, info.exposureMinSeconds);
}

TEST_F(CameraSettings, GainReachesTheSensorWithinItsRange) {
    Open();
    VELCORCAMERAINFO info{};
    info.size = sizeof info;
    Velcor_GetCameraInfo(handle_, &info);
    ASSERT_EQ(Velcor_SetGlobalGain(handle_, info.globalGainMax), TRUE);
    EXPECT_EQ(Sensor(kSensorGain), info.globalGainMax);
    EXPECT_EQ(Velcor_SetGlobalGain(handle_, info.globalGainMax + 1), FALSE);
    EXPECT_EQ(LastError(), 9);
    EXPECT_EQ(Sensor(kSensorGain), info.globalGainMax) << "a refused gain leaves the sensor";
}

TEST_F(CameraSettings, ExposureInSecondsAndMicroseconds) {
    Open();
    ASSERT_EQ(Velcor_SetExposureTimeEx(handle_, 0.25), TRUE);
    int ok = 0;
    EXPECT_EQ(Velcor_GetRealExposureTime(handle_, &ok), 250000);
    EXPECT_NEAR(Velcor_GetExposureTimeEx(handle_, &ok), 0.25, 0.0001);
    ASSERT_EQ(Velcor_SetExposureTime(handle_, 100), TRUE);
    EXPECT_NEAR(Velcor_GetExposureTimeEx(handle_, &ok), 0.010, 0.0001) << "seconds follow";
    EXPECT_EQ(Velcor_SetExposureTime(handle_, 20001), FALSE);
    EXPECT_EQ(LastError(), 9);
}

TEST_F(CameraSettings, TemperatureReadsTheSensorAndReportsSuccess) {
    Open();
    // Raw 1000: 1000 x 0.3213 - 287.09 degrees.
    ASSERT_TRUE(
        VelcorSim_SetRegister(camera_, VELCORSIM_SPACE_SENSOR, kSensorTemperature, 1000 & 0xFF));
    ASSERT_TRUE(
        VelcorSim_SetRegister(camera_, VELCORSIM_SPACE_SENSOR, kSensorTemperature + 1, 1000 >> 8));
    int ok = 0;
    EXPECT_NEAR(Velcor_GetTemperatureEx(handle_, &ok), 34.21, 0.001);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(LastError(), 0) << "the success notice is code 0";
}

TEST_F(CameraSettings, ShortExposureModeAndBlackLevelAnswerWithSuccessNotices) {
    HWND window = VelcorWin_CreateMessageWindow();
    camera_ = VelcorSim_AttachCamera(0x32C0, "SET00002");
    handle_ = Velcor_Initialize(window);
    int ok = 0;
    EXPECT_EQ(Velcor_SetFilterValue(handle_, VELCOR_FILTER_SHORT_EXPOSURE, 1), TRUE);
    EXPECT_EQ(Velcor_GetFilterValue(handle_, VELCOR_FILTER_SHORT_EXPOSURE, &ok), 1);
    EXPECT_EQ(Velcor_SetExposureTime(handle_, 500), FALSE)
        << "the short exposure mode holds the exposure";
    EXPECT_EQ(Velcor_SetFilterValue(handle_, VELCOR_FILTER_SHORT_EXPOSURE, 0), TRUE);
    EXPECT_EQ(Velcor_SetExposureTime(handle_, 500), TRUE);
    EXPECT_EQ(Velcor_SetFilterValue(handle_, VELCOR_FILTER_BLACK_LEVEL, 200), TRUE);
    EXPECT_EQ(Velcor_GetFilterValue(handle_, VELCOR_FILTER_BLACK_LEVEL, &ok), 200);
    VELCORMSG m{};
    int notices = 0;
    while (VelcorWin_PeekMessage(&m, window, VELCOR_WM_ERROR, VELCOR_WM_ERROR, VELCOR_PM_REMOVE)) {
        notices += m.lParam == 0 ? 1 : 0;
    }
    EXPECT_EQ(notices, 3) << "short exposure read, black level set and read";
    Velcor_Release(handle_);
    handle_ = 0;
    VelcorWin_DestroyWindow(window);
}

TEST_F(CameraSettings, ACameraThatNeverBecomesReadyIsNotOpened) {
    platform::VirtualTimeScope virtualTime;  // 40 ready polls 500 ms apart, then the sensor's
    camera_ = VelcorSim_AttachCamera(0x32C0, "SET00003");
    ASSERT_GT(camera_, 0);
    ASSERT_TRUE(VelcorSim_SetRegister(camera_, VELCORSIM_SPACE_FPGA, 0x13, 0));
    ASSERT_TRUE(VelcorSim_SetRegister(camera_, VELCORSIM_SPACE_FPGA, 0x21, 0));
    handle_ = Velcor_Initialize(nullptr);
    ASSERT_NE(handle_, 0);
    EXPECT_EQ(LastError(), 2) << "the start-up failed: the camera cannot be opened";
    EXPECT_GE(platform::VirtualMillisecondsSlept(), 40u * 500u) << "it was given its 40 polls";
}

}  // namespace
}  // namespace velcor
