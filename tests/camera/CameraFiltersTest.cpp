#include <gtest/gtest.h>

#include <velcor/VelcorSdk.h>
#include <velcor/VelcorWin.h>

#include <cstring>
#include <vector>

#include <velcor/VelcorSim.h>

#include "sim/SimTestSupport.h"

namespace velcor {
namespace {

// A camera object with a simulated ROZE9701 camera attached and opened.
class CameraWithEngine : public testing::SimTest {
  protected:
    void SetUp() override {
        testing::SimTest::SetUp();
        camera_ = VelcorSim_AttachCamera(0x32C0, "FILTER01");
        ASSERT_GT(camera_, 0);
        window_ = VelcorWin_CreateMessageWindow();
        handle_ = Velcor_Initialize(window_);
        ASSERT_NE(handle_, 0);
        ASSERT_EQ(Velcor_GetLastError(handle_), 0);
        info_.size = sizeof info_;
        ASSERT_EQ(Velcor_GetCameraInfo(handle_, &info_), TRUE);
    }
    void TearDown() override {
        Velcor_Release(handle_);
        VelcorWin_DestroyWindow(window_);
        testing::SimTest::TearDown();
    }
    int LastError() { return Velcor_GetLastError(handle_); }
    void SetRom(int address, int value) {
        ASSERT_TRUE(VelcorSim_SetRegister(camera_, VELCORSIM_SPACE_EEPROM, address, value));
    }

    int camera_ = 0;
    VELCORCAMERAINFO info_{};
    HWND window_ = nullptr;
    int handle_ = 0;
};

struct RangeCase {
    int id;
    int minimum;
    int maximum;
};

TEST_F(CameraWithEngine, CameraHeldFiltersAcceptExactlyTheirRanges) {
    const RangeCase cases[] = {{1, -255, 255},  {2, -127, 127},  {3, -360, 360},  {4, -255, 255},
                               {5, 0, 30},      {7, 0, 400},     {8, 0, 400},     {9, 0, 400},
                               {11, 0, 200},    {12, 0, 3},      {19, 0, 2},      {20, 0, 255},
                               {21, 0, 255},    {22, 0, 255},    {23, 0, 255},    {24, -255, 255},
                               {25, -255, 255}, {26, -255, 255}, {27, -255, 255}, {102, 0, 1},
                               {103, 0, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        int ok = 0;
        EXPECT_EQ(Velcor_SetFilterValue(handle_, c.id, c.minimum), TRUE);
        EXPECT_EQ(Velcor_GetFilterValue(handle_, c.id, &ok), c.minimum);
        EXPECT_EQ(ok, 1);
        EXPECT_EQ(Velcor_SetFilterValue(handle_, c.id, c.maximum), TRUE);
        EXPECT_EQ(Velcor_SetFilterValue(handle_, c.id, c.minimum - 1), FALSE);
        EXPECT_EQ(LastError(), 9);
        EXPECT_EQ(Velcor_SetFilterValue(handle_, c.id, c.maximum + 1), FALSE);
        EXPECT_EQ(LastError(), 9);
        EXPECT_EQ(Velcor_GetFilterValue(handle_, c.id, &ok), c.maximum)
            << "a refused value leaves the stored one";
    }
    // The automatic gray-balance request is set, but not read back.
    EXPECT_EQ(Velcor_SetFilterValue(handle_, 28, 1), TRUE);
    EXPECT_EQ(Velcor_SetFilterValue(handle_, 28, 2), FALSE);
    int ok = 1;
    EXPECT_EQ(Velcor_GetFilterValue(handle_, 28, &ok), 0);
    EXPECT_EQ(ok, 0);
}

TEST_F(CameraWithEngine, BayerGainsPackIntoOneValue) {
    const int packed = 50 + 100 * 256 + 200 * 65536;
    EXPECT_EQ(Velcor_SetBayerGainRGB(handle_, packed), TRUE);
    int ok = 0;
    EXPECT_EQ(Velcor_GetBayerGainRGB(handle_, &ok), packed);
    EXPECT_EQ(Velcor_GetBayerGainGreen(handle_, &ok), 100);
    EXPECT_EQ(Velcor_SetBayerGainRed(handle_, 300), TRUE);
    EXPECT_EQ(Velcor_GetBayerGainRGB(handle_, &ok), (300 & 0xFF) + 100 * 256 + 200 * 65536)
        << "components above 255 are cut to 8 bits in the packed form";
    EXPECT_EQ(Velcor_SetBayerGainAuto(handle_, 5), TRUE);
    EXPECT_EQ(Velcor_GetBayerGainAuto(handle_, &ok), 1);
}

TEST_F(CameraWithEngine, UnknownAndUnsupportedIdentifiers) {
    for (int id : {0, 29, 36, 37, 99, 101, 107, -1}) {
        SCOPED_TRACE(id);
        int ok = 1;
        if (id != 101) {
            EXPECT_EQ(Velcor_GetFilterValue(handle_, id, &ok), 0);
            EXPECT_EQ(ok, 0);
            EXPECT_EQ(LastError(), 9);
        }
        EXPECT_EQ(Velcor_SetFilterValue(handle_, id, 0), FALSE);
        EXPECT_EQ(LastError(), 9);
    }
    int ok = 1;
    EXPECT_EQ(Velcor_GetTemperature(handle_, &ok), -1);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(LastError(), 11);
    EXPECT_EQ(Velcor_GetPeltier(handle_, &ok), -1) << "this camera has no cooler";
    EXPECT_EQ(LastError(), 11);

    ok = 7;
    EXPECT_EQ(Velcor_GetChannelGain(handle_, 5, &ok), 0);
    EXPECT_EQ(ok, 7) << "an unknown channel type touches nothing";
    EXPECT_EQ(LastError(), 0);
    EXPECT_EQ(Velcor_GetChannelGain(handle_, 1, &ok), 0);
    EXPECT_EQ(LastError(), 9);
    EXPECT_EQ(Velcor_SetChannelOffset(handle_, 4, 1), FALSE);
    EXPECT_EQ(LastError(), 9);
}

TEST_F(CameraWithEngine, EngineHeldValuesFollowTheCameraRanges) {
    int ok = 0;
    EXPECT_EQ(Velcor_SetGlobalGain(handle_, info_.globalGainMax), TRUE);
    EXPECT_EQ(Velcor_GetGlobalGain(handle_, &ok), info_.globalGainMax);
    EXPECT_EQ(Velcor_SetGlobalGain(handle_, info_.globalGainMax + 1), FALSE);
    EXPECT_EQ(LastError(), 9);
    EXPECT_EQ(Velcor_SetGlobalGain(handle_, info_.globalGainMin - 1), FALSE);
    EXPECT_EQ(LastError(), 9);
    EXPECT_EQ(Velcor_SetColorGainRed(handle_, info_.colorGainMax + 1), FALSE);
    EXPECT_EQ(LastError(), 9);
    EXPECT_EQ(Velcor_SetExposureTime(handle_, 0), FALSE);
    EXPECT_EQ(LastError(), 9);
    EXPECT_EQ(Velcor_SetExposureTime(handle_, 20000), TRUE);
    EXPECT_EQ(Velcor_GetExposureTime(handle_, &ok), 20000);
    EXPECT_NEAR(Velcor_GetExposureTimeEx(handle_, &ok), 2.0, 0.0001)
        << "seconds follow the exposure";
    EXPECT_EQ(Velcor_GetFilterValue(handle_, VELCOR_FILTER_GAIN_MODE, &ok), 0);
    EXPECT_EQ(Velcor_SetFilterValue(handle_, VELCOR_FILTER_GAIN_MODE, 1), TRUE);
    EXPECT_EQ(Velcor_GetFilterValue(handle_, VELCOR_FILTER_GAIN_MODE, &ok), 1);
    EXPECT_EQ(LastError(), 0) << "the gain mode records nothing";
}

TEST_F(CameraWithEngine, ExposureUnitsAndRealTime) {
    EXPECT_EQ(Velcor_SetExposureTimeEx(handle_, 0.25), TRUE);
    int ok = 0;
    EXPECT_EQ(Velcor_GetRealExposureTime(handle_, &ok), 250000);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(Velcor_SetExposureTimeEx(handle_, -1.0), FALSE);
    EXPECT_EQ(LastError(), 9);
    EXPECT_EQ(Velcor_SetRealExposureTime(handle_, 1000099), TRUE);
    EXPECT_EQ(Velcor_GetExposureTime(handle_, &ok), 10000) << "microseconds / 100, truncated";
    EXPECT_EQ(Velcor_SetRealExposureTime(handle_, 99), FALSE) << "0 units is below the minimum";
    EXPECT_EQ(LastError(), 9);
}

// A time beyond the camera's longest exposure is refused and leaves the exposure as it was; the
// longest itself is taken. Past 2147 s the microseconds of a kept request would overflow.
TEST_F(CameraWithEngine, ExposureSecondsBeyondTheCameraRangeAreRefused) {
    int ok = 0;
    ASSERT_EQ(Velcor_SetExposureTimeEx(handle_, info_.exposureMaxSeconds), TRUE);
    EXPECT_EQ(Velcor_GetRealExposureTime(handle_, &ok), info_.exposureMax * 100);
    for (double seconds :
         {info_.exposureMaxSeconds + 0.0001, 2147.5, 34982.0, 214748.3647, 1e300}) {
        EXPECT_EQ(Velcor_SetExposureTimeEx(handle_, seconds), FALSE) << seconds;
        EXPECT_EQ(LastError(), 9) << seconds;
        EXPECT_EQ(Velcor_GetRealExposureTime(handle_, &ok), info_.exposureMax * 100) << seconds;
        EXPECT_DOUBLE_EQ(Velcor_GetExposureTimeEx(handle_, &ok), info_.exposureMaxSeconds);
    }
}

TEST_F(CameraWithEngine, ColourModesOfAMonochromeCamera) {
    EXPECT_EQ(Velcor_SetColorMode(handle_, 16), TRUE);
    EXPECT_EQ(Velcor_GetColorMode(handle_), 16);
    for (int bits : {24, 32, 48, 64, 12}) {
        EXPECT_EQ(Velcor_SetColorMode(handle_, bits), FALSE) << bits;
        EXPECT_EQ(LastError(), 9);
    }
    EXPECT_EQ(Velcor_GetColorMode(handle_), 16);
}

TEST_F(CameraWithEngine, CaptureWindowIsCheckedAndKeptAsGiven) {
    EXPECT_EQ(Velcor_SetCaptureWindowEx(handle_, 1280, 100, 1280, 1024, 0, 1024), FALSE);
    EXPECT_EQ(LastError(), 7);
    int v[6] = {};
    Velcor_GetCaptureWindowEx(handle_, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]);
    EXPECT_EQ(std::vector<int>(v, v + 6), (std::vector<int>{1280, 100, 1280, 1024, 0, 1024}));
    EXPECT_EQ(Velcor_SetCaptureWindowEx(handle_, 1280, 0, 1280, 1024, 1024, 0), TRUE)
        << "an empty window at the far edge passes the check";
    EXPECT_EQ(Velcor_SetCaptureWindowEx(handle_, 1280, 0, 1280, 1024, -1, 480), FALSE);
    EXPECT_EQ(LastError(), 7);
    EXPECT_EQ(Velcor_SetCaptureWindowEx(handle_, 1280, 0, 1280, 1024, 544, 481), FALSE);
    EXPECT_EQ(LastError(), 7);
    EXPECT_EQ(Velcor_SetCaptureWindowEx(handle_, 1280, 0, 1280, 1024, 544, 480), TRUE);
    EXPECT_EQ(Velcor_Width(handle_), 1280);
    EXPECT_EQ(Velcor_Height(handle_), 480);
    EXPECT_EQ(Velcor_SetCaptureWindowEx(handle_, 1280, 0, 640, 1024, 0, 480), FALSE)
        << "the ROZE9701 windows rows only";
    EXPECT_EQ(LastError(), 9);
}

TEST_F(CameraWithEngine, DeviceNamesAndEnumeration) {
    ASSERT_GT(VelcorSim_AttachCamera(0x32C0, "FILTER02"), 0);
    char names[10][256];
    std::memset(names, 'x', sizeof names);
    EXPECT_EQ(Velcor_EnumDevice(handle_, &names[0][0]), 2);
    EXPECT_STREQ(names[0], "VelcorTX40_01");
    EXPECT_STREQ(names[1], "VelcorTX40_02");
    for (int i = 2; i < 10; ++i)
        EXPECT_STREQ(names[i], "");

    wchar_t wideNames[10][256];
    EXPECT_EQ(Velcor_EnumDeviceW(handle_, &wideNames[0][0]), 2);
    EXPECT_STREQ(wideNames[1], L"VelcorTX40_02");
    EXPECT_STREQ(wideNames[9], L"");

    char name[32];
    EXPECT_EQ(Velcor_GetDeviceName(handle_, 0, name, 12), FALSE);
    EXPECT_EQ(LastError(), 9);
    EXPECT_EQ(Velcor_GetDeviceName(handle_, 32, name, sizeof name), FALSE);
    EXPECT_EQ(LastError(), 2);
    EXPECT_EQ(Velcor_GetDeviceName(handle_, 2, name, sizeof name), FALSE) << "not attached";
    EXPECT_EQ(LastError(), 2);
    EXPECT_EQ(Velcor_GetDeviceName(handle_, 1, name, 13), FALSE) << "no room for the terminator";
    EXPECT_EQ(LastError(), 9);
    EXPECT_EQ(Velcor_GetDeviceName(handle_, 1, name, 14), TRUE);
    EXPECT_STREQ(name, "VelcorTX40_02");
    wchar_t wide[14];
    EXPECT_EQ(Velcor_GetDeviceNameW(handle_, 1, wide, 13), FALSE) << "needs 14 wide characters";
    EXPECT_EQ(LastError(), 12);
    EXPECT_EQ(Velcor_GetDeviceNameW(handle_, 1, wide, 14), TRUE);
    EXPECT_STREQ(wide, L"VelcorTX40_02");
}

TEST_F(CameraWithEngine, SerialNumberFromTheRom) {
    char serial[40] = "unchanged";
    EXPECT_EQ(Velcor_ReadSerialNumberA(handle_, serial, 31), FALSE);
    EXPECT_EQ(LastError(), 9);
    SetRom(0x1040, 0xFF);
    EXPECT_EQ(Velcor_ReadSerialNumberA(handle_, serial, 32), TRUE) << "blank ROM";
    EXPECT_STREQ(serial, "unchanged");
    const char text[] = "TX40-000123";
    for (int i = 0; i < 32; ++i)
        SetRom(0x1040 + i, i < 11 ? text[i] : 0xFF);
    EXPECT_EQ(Velcor_ReadSerialNumberA(handle_, serial, 32), TRUE);
    EXPECT_STREQ(serial, text);
    wchar_t wide[12];
    EXPECT_EQ(Velcor_ReadSerialNumberW(handle_, wide, 11), FALSE);
    EXPECT_EQ(LastError(), 12);
    EXPECT_EQ(Velcor_ReadSerialNumberW(handle_, wide, 12), TRUE);
    EXPECT_STREQ(wide, L"TX40-000123");
}

TEST_F(CameraWithEngine, RomWritesAreVerifiedAndFailuresOnlyPosted) {
    EXPECT_EQ(Velcor_WriteSromID(handle_, 0x0010, 0x5A), TRUE);
    int ok = 0;
    EXPECT_EQ(Velcor_ReadSromID(handle_, 0x1010, &ok), 0x5A) << "the address is cut to 12 bits";
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(VelcorSim_GetRegister(camera_, VELCORSIM_SPACE_EEPROM, 0x0010), 0x5A);
    ASSERT_TRUE(VelcorSim_InjectFault(camera_, VELCORSIM_FAULT_I2C_NACK, 1));
    EXPECT_EQ(Velcor_WriteSromID(handle_, 0x0011, 0x5A), FALSE);
    VELCORMSG m{};
    bool postedNoCamera = false;
    while (VelcorWin_PeekMessage(&m, window_, VELCOR_WM_ERROR, VELCOR_WM_ERROR, 1)) {
        postedNoCamera = postedNoCamera || m.lParam == 1;
    }
    EXPECT_TRUE(postedNoCamera);
    EXPECT_EQ(LastError(), 0) << "ROM failures are posted, not recorded";
}

TEST_F(CameraWithEngine, CameraInformationRecord) {
    VELCORCAMERAINFO info{};
    EXPECT_EQ(Velcor_GetCameraInfo(handle_, nullptr), FALSE);
    EXPECT_EQ(LastError(), 9);
    info.size = 35;
    EXPECT_EQ(Velcor_GetCameraInfo(handle_, &info), FALSE);
    EXPECT_EQ(LastError(), 5);
    info.size = 36;
    EXPECT_EQ(Velcor_GetCameraInfo(handle_, &info), TRUE);
    EXPECT_EQ(info.maxWidth, 1280);
    EXPECT_EQ(info.globalGainMax, info_.globalGainMax);
    EXPECT_EQ(info.exposureMax, 20000);
    EXPECT_EQ(info.exposureMaxSeconds, 0.0) << "a short record gets no seconds";
    info.size = sizeof info;
    EXPECT_EQ(Velcor_GetCameraInfo(handle_, &info), TRUE);
    EXPECT_NEAR(info.exposureMaxSeconds, 2.0, 0.001);
}

}  // namespace
}  // namespace velcor
