#include <gtest/gtest.h>

#include <velcor/VelcorSdk.h>
#include <velcor/VelcorWin.h>

#include <sys/stat.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "api/SdkChain.h"
#include "camera/ConfigFile.h"
#include "camera/EngineFactory.h"
#include "camera/ErrorHistory.h"
#include "camera/Velcor.h"
#include "sim/SimTestSupport.h"

namespace velcor {
namespace {

// Collects the error codes posted to a message window.
std::vector<int> DrainErrors(HWND window) {
    std::vector<int> codes;
    VELCORMSG m{};
    while (VelcorWin_PeekMessage(&m, window, VELCOR_WM_ERROR, VELCOR_WM_ERROR, VELCOR_PM_REMOVE)) {
        EXPECT_EQ(m.wParam, 0u);
        codes.push_back(static_cast<int>(m.lParam));
    }
    return codes;
}

TEST(ErrorHistory, KeepsTheNewestTwentyAndPopsNewestFirst) {
    ErrorHistory history;
    EXPECT_EQ(history.Pop(), 0);
    for (int code = 1; code <= 25; ++code)
        history.Push(code);
    for (int expected = 25; expected > 5; --expected)
        EXPECT_EQ(history.Pop(), expected);
    EXPECT_EQ(history.Pop(), 0);
    history.Push(3);
    EXPECT_EQ(history.Pop(), 3) << "emptied history records again";
    EXPECT_EQ(history.Pop(), 0);
}

// A camera object whose engine could not be made: the handle lives, and every call that
// needs a camera answers error 1.
class CameraWithoutEngine : public ::testing::Test {
  protected:
    void SetUp() override {
        SetCameraEngineFactoryForTesting([] { return nullptr; });
        window_ = VelcorWin_CreateMessageWindow();
        handle_ = Velcor_Initialize(window_);
        ASSERT_NE(handle_, 0);
        ASSERT_EQ(Velcor_GetLastError(handle_), 5) << "the missing engine is reported";
        ASSERT_EQ(DrainErrors(window_), std::vector<int>{5});
    }
    void TearDown() override {
        Velcor_Release(handle_);
        VelcorWin_DestroyWindow(window_);
        SetCameraEngineFactoryForTesting(nullptr);
    }
    HWND window_ = nullptr;
    int handle_ = 0;
};

TEST_F(CameraWithoutEngine, StartsWithDefaults) {
    EXPECT_EQ(Velcor_Width(handle_), 1280);
    EXPECT_EQ(Velcor_Height(handle_), 1024);
    EXPECT_EQ(Velcor_GetColorMode(handle_), 8);
    EXPECT_EQ(Velcor_GetWaitTime(handle_), 10);
    int v[6] = {};
    EXPECT_EQ(Velcor_GetCaptureWindowEx(handle_, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]), 1);
    EXPECT_EQ(std::vector<int>(v, v + 6), (std::vector<int>{1280, 0, 1280, 1024, 0, 1024}));
}

TEST_F(CameraWithoutEngine, CallsThatNeedACameraRecordAndPostErrorOne) {
    int ok = 1;
    for (int i = 0; i < 25; ++i)
        EXPECT_EQ(Velcor_GetFilterValue(handle_, 1, &ok), 0);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(DrainErrors(window_), std::vector<int>(25, 1));
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(Velcor_GetLastError(handle_), 1);
    EXPECT_EQ(Velcor_GetLastError(handle_), 0);

    EXPECT_EQ(Velcor_SetFilterValue(handle_, 1, 0), FALSE);
    EXPECT_EQ(Velcor_StartPreview(handle_), FALSE);
    EXPECT_EQ(Velcor_SetDeviceNumber(handle_, 0), FALSE);
    char names[10 * 256];
    EXPECT_EQ(Velcor_EnumDevice(handle_, names), 0);
    EXPECT_EQ(Velcor_GetExposureTimeEx(handle_, &ok), -1.0);
    EXPECT_EQ(DrainErrors(window_), std::vector<int>(5, 1));
}

TEST_F(CameraWithoutEngine, PostOnlyFailuresLeaveTheHistoryAlone) {
    EXPECT_EQ(Velcor_Fps(handle_), 0);
    EXPECT_EQ(Velcor_SetCrossbar(handle_, 1, 2), 0);
    EXPECT_EQ(Velcor_SetMirrorV(handle_, 1), 0);
    EXPECT_EQ(Velcor_GetMirrorV(handle_), 0);
    EXPECT_EQ(Velcor_SetAutoIris(handle_, 3), 0);
    EXPECT_EQ(DrainErrors(window_), (std::vector<int>{11, 11, 1, 1, 9}));
    EXPECT_EQ(Velcor_GetLastError(handle_), 0);

    // Text channel and configuration filter record theirs.
    EXPECT_EQ(Velcor_SendText(handle_, "x", 1), 0);
    EXPECT_EQ(Velcor_GetConfigFilter(handle_), -1);
    EXPECT_EQ(Velcor_GetLastError(handle_), 11);
    EXPECT_EQ(Velcor_GetLastError(handle_), 11);
}

TEST_F(CameraWithoutEngine, SettingsHeldByTheObjectNeedNoEngine) {
    EXPECT_EQ(Velcor_SetSubSample(handle_, 1), FALSE);
    EXPECT_EQ(Velcor_SetSubSample(handle_, 0), TRUE);
    EXPECT_EQ(Velcor_SetWaitTime(handle_, -1), FALSE);
    EXPECT_EQ(Velcor_SetWaitTime(handle_, 0), TRUE);
    EXPECT_EQ(Velcor_GetWaitTime(handle_), 0);
    EXPECT_EQ(Velcor_SetAutoIris(handle_, 2), TRUE);
    EXPECT_EQ(Velcor_SetAutoIris(handle_, -1), FALSE) << "negative modes are not modes";
    int ok = 0;
    EXPECT_EQ(Velcor_GetAutoIris(handle_, &ok), 2);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(Velcor_SetColorMode(handle_, 64), TRUE) << "no engine, no capability test";
    EXPECT_EQ(Velcor_GetColorMode(handle_), 64);
    EXPECT_EQ(Velcor_SetColorMode(handle_, 12), FALSE);
    int rate = 5;
    EXPECT_EQ(Velcor_GetSamplingRate(handle_, &rate), 0);
    EXPECT_EQ(rate, 0);
    EXPECT_EQ(Velcor_SetSamplingRate(handle_, 3), 0);
    EXPECT_EQ(DrainErrors(window_), (std::vector<int>{9, 9}));  // auto iris -1, colour mode 12
    EXPECT_EQ(Velcor_GetLastError(handle_), 9);
    EXPECT_EQ(Velcor_GetLastError(handle_), 0);
}

class ConfigFile : public CameraWithoutEngine {
  protected:
    std::filesystem::path Write(const std::string& name, const std::vector<uint8_t>& bytes) {
        auto path = std::filesystem::temp_directory_path() / name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        files_.push_back(path);
        return path;
    }
    void TearDown() override {
        for (auto& f : files_)
            std::filesystem::remove(f);
        CameraWithoutEngine::TearDown();
    }
    std::vector<std::filesystem::path> files_;
};

TEST_F(ConfigFile, ReadsWholeLittleEndianPairsAndIgnoresTheTail) {
    std::vector<uint8_t> bytes = {1,    0,    0,    0,    0xFF, 0xFF, 0xFF, 0xFF,  // 1, -1
                                  0x78, 0x56, 0x34, 0x12, 2,    0,    0,    0,     // 0x12345678, 2
                                  9,    9,    9,    9};                            // trailing bytes
    const auto path = Write("velcor-config-" + std::to_string(::getpid()) + ".bin", bytes);
    ASSERT_EQ(Velcor_LoadConfigFileA(handle_, path.c_str()), TRUE);
    auto camera = SdkChain().Lookup(handle_);
    using Pairs = std::vector<std::pair<int32_t, int32_t>>;
    EXPECT_EQ(camera->ConfigurationList(), (Pairs{{1, -1}, {0x12345678, 2}}));

    EXPECT_EQ(Velcor_LoadConfigFileA(handle_, "/nonexistent/velcor.cfg"), FALSE);
    EXPECT_EQ(Velcor_GetLastError(handle_), 0) << "a missing file records nothing";
    EXPECT_EQ(camera->ConfigurationList().size(), 2u) << "a missing file keeps the list";
}

TEST(ConfigurationPairs, OnePairPerWholeEightByteGroup) {
    const uint8_t bytes[20] = {1, 0,    0,    0,    0xFE, 0xFF, 0xFF, 0xFF, 0, 0,
                               0, 0x80, 0xFF, 0xFF, 0xFF, 0x7F, 1,    2,    3, 4};
    EXPECT_EQ(ParseConfigurationPairs(bytes, 20),
              (ConfigurationPairs{{1, -2}, {INT32_MIN, INT32_MAX}}));
    EXPECT_TRUE(ParseConfigurationPairs(bytes, 7).empty());
    EXPECT_TRUE(ParseConfigurationPairs(nullptr, 0).empty());
}

TEST_F(ConfigFile, RefusedFilesAnswerZeroRecordNothingAndKeepTheList) {
    const std::string tag = std::to_string(::getpid());
    const auto twenty = Write("velcor-config-twenty-" + tag + ".bin", std::vector<uint8_t>(20, 1));
    ASSERT_EQ(Velcor_LoadConfigFileA(handle_, twenty.c_str()), TRUE);
    auto camera = SdkChain().Lookup(handle_);
    const ConfigurationPairs loaded(2, {0x01010101, 0x01010101});
    ASSERT_EQ(camera->ConfigurationList(), loaded);

    const auto fifo = std::filesystem::temp_directory_path() / ("velcor-config-fifo-" + tag);
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    files_.push_back(fifo);
    const auto oversized = Write("velcor-config-over-" + tag + ".bin", {});
    std::filesystem::resize_file(oversized, kMaxConfigFileBytes + 1);  // a hole, no disk used

    const auto start = std::chrono::steady_clock::now();
    for (const std::string& path : {std::filesystem::temp_directory_path().string(), fifo.string(),
                                    std::string("/dev/zero"), oversized.string()}) {
        EXPECT_EQ(Velcor_LoadConfigFileA(handle_, path.c_str()), FALSE) << path;
        EXPECT_EQ(Velcor_GetLastError(handle_), 0) << path << ": nothing recorded";
        EXPECT_EQ(camera->ConfigurationList(), loaded) << path << ": the list is kept";
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2))
        << "no refused file is waited for or read";
    EXPECT_TRUE(DrainErrors(window_).empty());
}

TEST_F(ConfigFile, AFileOfTheLimitGivesAllItsPairs) {
    const auto path =
        Write("velcor-config-limit-" + std::to_string(::getpid()) + ".bin", {1, 0, 0, 0, 2});
    std::filesystem::resize_file(path, kMaxConfigFileBytes);
    ASSERT_EQ(Velcor_LoadConfigFileA(handle_, path.c_str()), TRUE);
    const ConfigurationPairs pairs = SdkChain().Lookup(handle_)->ConfigurationList();
    ASSERT_EQ(pairs.size(), 131072u);
    EXPECT_EQ(pairs.front(), std::make_pair(1, 2));
    EXPECT_EQ(pairs.back(), std::make_pair(0, 0));
}

TEST_F(ConfigFile, WidePathsConvertNonAsciiNamesAndRefuseBadOnes) {
    const std::string name =
        "velcor-\xE3\x82\xAB\xE3\x83\xA1\xE3\x83\xA9-" + std::to_string(::getpid()) + ".cfg";
    Write(name, std::vector<uint8_t>(8, 0));
    const std::wstring wide = std::filesystem::temp_directory_path().wstring() + L"/velcor-" +
                              L"\u30AB\u30E1\u30E9-" + std::to_wstring(::getpid()) + L".cfg";
    EXPECT_EQ(Velcor_LoadConfigFileW(handle_, wide.c_str()), TRUE);
    EXPECT_EQ(Velcor_LoadConfigFileW(handle_, L"bad\xD800"), FALSE);
    EXPECT_EQ(Velcor_GetLastError(handle_), 12);
    EXPECT_EQ(Velcor_LoadConfigFileW(handle_, std::wstring(1100, L'a').c_str()), FALSE)
        << "paths beyond 1023 bytes do not fit";
    EXPECT_EQ(Velcor_GetLastError(handle_), 12);
}

class CameraWithoutDevice : public testing::SimTest {};

TEST_F(CameraWithoutDevice, NewCameraObjectHasAnEmptyHistory) {
    HWND window = VelcorWin_CreateMessageWindow();
    const int handle = Velcor_Initialize(window);
    ASSERT_NE(handle, 0);
    EXPECT_EQ(Velcor_GetLastError(handle), 0);
    EXPECT_TRUE(DrainErrors(window).empty());
    char names[10][256];
    EXPECT_EQ(Velcor_EnumDevice(handle, &names[0][0]), 0) << "no camera attached";
    for (auto& name : names)
        EXPECT_STREQ(name, "");
    EXPECT_EQ(Velcor_GetLastError(handle), 0);
    EXPECT_EQ(Velcor_Release(handle), TRUE);
    VelcorWin_DestroyWindow(window);
}

TEST_F(CameraWithoutDevice, AStaleNotificationWindowStopsInitialisation) {
    HWND window = VelcorWin_CreateMessageWindow();
    VelcorWin_DestroyWindow(window);
    const int handle = Velcor_Initialize(window);
    ASSERT_NE(handle, 0) << "the handle lives on";
    char names[10][256];
    EXPECT_EQ(Velcor_EnumDevice(handle, &names[0][0]), 0);
    EXPECT_EQ(Velcor_Release(handle), TRUE);
}

TEST_F(CameraWithoutDevice, NotificationWindowHearsCamerasArriveAndLeave) {
    HWND window = VelcorWin_CreateMessageWindow();
    const int handle = Velcor_Initialize(window);
    const int camera = Attach(0x32C0, "NOTIFY01");
    ASSERT_GT(camera, 0);
    ASSERT_TRUE(Detach(camera));
    VELCORMSG m{};
    ASSERT_TRUE(
        VelcorWin_GetMessage(&m, window, VELCOR_WM_DEVICECHANGE, VELCOR_WM_DEVICECHANGE, 1000));
    EXPECT_EQ(m.wParam, static_cast<WPARAM>(VELCOR_DBT_DEVICEARRIVAL));
    ASSERT_TRUE(
        VelcorWin_GetMessage(&m, window, VELCOR_WM_DEVICECHANGE, VELCOR_WM_DEVICECHANGE, 1000));
    EXPECT_EQ(m.wParam, static_cast<WPARAM>(VELCOR_DBT_DEVICEREMOVECOMPLETE));
    Velcor_Release(handle);
    EXPECT_EQ(Attach(0x32C0, "NOTIFY02") > 0, true);
    EXPECT_FALSE(VelcorWin_PeekMessage(&m, window, 0, 0, VELCOR_PM_REMOVE))
        << "a released camera object no longer listens";
    VelcorWin_DestroyWindow(window);
}

}  // namespace
}  // namespace velcor
