// The libusb backend against a simulated camera on an emulated USB bus: the library finds the
// camera through libusb, opens it and streams from it with nothing of the simulator's hub in
// between. The tests skip without the umockdev preload (run them under umockdev-wrapper).
#include <gtest/gtest.h>

#include <velcor/VelcorSdk.h>
#include <velcor/VelcorWin.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "sim/SimTestSupport.h"
#include "support/CpuTime.h"
#include "support/Sanitizers.h"
#include "support/UsbTestbed.h"

namespace velcor::testing {
namespace {

class CameraOverUsb : public SimTest {
  protected:
    static UsbTestbed& Bus() { return UsbTestbed::Shared(); }
    void SetUp() override {
        if (!UsbTestbed::Available()) GTEST_SKIP() << "needs the umockdev preload";
        // The bus before the library: libusb's hot-plug monitor listens to the bus that exists
        // when it starts.
        Bus();
        SimTest::SetUp();
    }
    void TearDown() override {
        if (handle_ != 0) Velcor_Release(handle_);
        if (window_ != nullptr) VelcorWin_DestroyWindow(window_);
        if (UsbTestbed::Available()) Bus().UnplugAll();
        SimTest::TearDown();
    }
    std::shared_ptr<sim::SimCamera> PlugRamp(int port) {
        sim::SimCameraConfig config;
        config.serialNumber = "USB000" + std::to_string(port);
        config.hotPixels = 0;
        config.deadPixels = 0;
        auto camera = Bus().Plug(config, port);
        if (camera != nullptr) {
            camera->SetScene(sim::SceneKind::Ramp);
        }
        return camera;
    }
    void Open() {
        window_ = VelcorWin_CreateMessageWindow();
        handle_ = Velcor_Initialize(window_);
        ASSERT_NE(handle_, 0);
        ASSERT_EQ(Velcor_GetLastError(handle_), 0);
        ASSERT_EQ(Velcor_SetColorMode(handle_, 8), TRUE);
        Velcor_SetPreviewWindow(handle_, nullptr, 0, 0, 0, 0);
        Velcor_SetWaitTime(handle_, 0);
    }

    HWND window_ = nullptr;
    int handle_ = 0;
};

TEST_F(CameraOverUsb, OpensThroughLibusbAndSnapsThePicture) {
    auto camera = PlugRamp(1);
    ASSERT_NE(camera, nullptr);
    Open();
    std::vector<BYTE> buffer(1280 * 1024);
    ASSERT_EQ(Velcor_SnapShot(handle_, buffer.data(), static_cast<int>(buffer.size()), 1), TRUE);
    EXPECT_EQ(Velcor_GetLastError(handle_), 0);
    int wrong = 0;
    for (int y = 0; y < 1024 && wrong < 10; ++y) {
        for (int x = 0; x < 1280 && wrong < 10; ++x) {
            if (buffer[static_cast<size_t>(y) * 1280 + x] != ((x + 2 * y) & 0xFF)) {
                ADD_FAILURE() << "row " << y << " column " << x;
                ++wrong;
            }
        }
    }
    // The camera was reached through its bulk endpoint, not through the simulator's hub.
    EXPECT_GT(camera->Trace().bulkBytes[0x81], uint64_t{1280 * 1024});
}

// A camera pulled out while it streams: its pending bulk read comes back without a device and
// the preview ends with the lost-camera error, as it does for the simulator's unplug; the port
// then refuses the camera at once.
TEST_F(CameraOverUsb, PullingTheCableEndsThePreviewWithTheLostCameraError) {
    ASSERT_NE(PlugRamp(2), nullptr);
    Open();
    ASSERT_EQ(Velcor_CallBackPreview(handle_, window_, nullptr, 0, 1), TRUE);
    VELCORMSG m{};
    ASSERT_TRUE(VelcorWin_GetMessage(&m, window_, VELCOR_WM_FRAME, VELCOR_WM_FRAME, 3000));
    Bus().Unplug(2);
    bool stopped = false;
    while (!stopped && VelcorWin_GetMessage(&m, window_, VELCOR_WM_FRAME, VELCOR_WM_FRAME, 10000))
        stopped = m.wParam == 0 && m.lParam == VELCOR_ERR_STOPPED;
    EXPECT_TRUE(stopped);
    EXPECT_EQ(Velcor_StopPreview(handle_), TRUE);
    bool recorded = false;
    for (int code = Velcor_GetLastError(handle_); code != 0; code = Velcor_GetLastError(handle_))
        recorded |= code == 13;
    EXPECT_TRUE(recorded);
    EXPECT_EQ(Velcor_SnapShot(handle_, nullptr, 0, 1), FALSE);
    EXPECT_EQ(Velcor_GetLastError(handle_), 2) << "the camera is gone";
}

// Hot-plug: cameras plugged in while the library runs reach it through libusb's hot-plug
// monitor. Each arrival and removal is announced to the notification window; a camera plugged
// in again at its port comes back under its old device number, beside a camera that stayed.
TEST_F(CameraOverUsb, CamerasPluggedInLaterAreAnnouncedAndComeBackUnderTheirNumbers) {
    window_ = VelcorWin_CreateMessageWindow();
    handle_ = Velcor_Initialize(window_);  // no camera yet: libusb starts on an empty bus
    ASSERT_NE(handle_, 0);
    const auto announced = [this](WPARAM event) {
        VELCORMSG m{};
        while (VelcorWin_GetMessage(&m, window_, VELCOR_WM_DEVICECHANGE, VELCOR_WM_DEVICECHANGE,
                                    5000)) {
            if (m.wParam == event) return true;
        }
        return false;
    };
    // An application answers a notification by listing the cameras again.
    const auto serialOf = [this](int number) -> std::string {
        char names[10][256];
        Velcor_EnumDevice(handle_, &names[0][0]);
        char serial[64] = "";
        if (Velcor_SetDeviceNumber(handle_, number) != TRUE) return "none";
        return Velcor_ReadSerialNumberA(handle_, serial, sizeof serial) ? serial : "?";
    };

    ASSERT_NE(PlugRamp(1), nullptr);
    ASSERT_TRUE(announced(VELCOR_DBT_DEVICEARRIVAL));
    ASSERT_NE(PlugRamp(2), nullptr);
    ASSERT_TRUE(announced(VELCOR_DBT_DEVICEARRIVAL));
    EXPECT_EQ(serialOf(0), "USB0001");
    EXPECT_EQ(serialOf(1), "USB0002");

    Bus().Unplug(1);
    ASSERT_TRUE(announced(VELCOR_DBT_DEVICEREMOVECOMPLETE));
    EXPECT_EQ(serialOf(0), "none") << "the camera is gone";
    EXPECT_EQ(serialOf(1), "USB0002");

    ASSERT_NE(PlugRamp(1), nullptr);
    ASSERT_TRUE(announced(VELCOR_DBT_DEVICEARRIVAL));
    EXPECT_EQ(serialOf(0), "USB0001") << "back under its old number";
    ASSERT_EQ(Velcor_SetColorMode(handle_, 8), TRUE);
    std::vector<BYTE> buffer(1280 * 1024);
    EXPECT_EQ(Velcor_SnapShot(handle_, buffer.data(), static_cast<int>(buffer.size()), 1), TRUE)
        << "error " << Velcor_GetLastError(handle_);
}

// Full 8-bit frames streamed through libusb and the emulated bus, and the same camera on the
// simulator's hub for comparison: frames per second and the process's CPU per frame (library,
// libusb, the emulation and the camera model together), printed and kept as test properties.
// The emulated link must carry a usable preview; the figures are for comparison, not bounds.
class UsbThroughput : public CameraOverUsb {
  protected:
    void Stream(const char* what) {
        Open();
        ASSERT_EQ(Velcor_CallBackPreview(handle_, window_, nullptr, 0, 1), TRUE);
        VELCORMSG m{};
        // The first frames carry the start: the count begins after them.
        for (int i = 0; i < 3; ++i)
            ASSERT_TRUE(VelcorWin_GetMessage(&m, window_, VELCOR_WM_FRAME, VELCOR_WM_FRAME, 3000));
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = test::ProcessCpuMs();
        int frames = 0;
        while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(1500) &&
               VelcorWin_GetMessage(&m, window_, VELCOR_WM_FRAME, VELCOR_WM_FRAME, 3000)) {
            if (m.wParam != 0) ++frames;
        }
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const double cpuMs = test::ProcessCpuMs() - cpuStart;
        EXPECT_EQ(Velcor_StopPreview(handle_), TRUE);
        const double rate = frames / seconds;
        const double cpuPerFrame = frames > 0 ? cpuMs / frames : 0;
        std::printf("%s: %.1f frames/s, %.2f ms CPU per frame (%d frames of 1280x1024)\n", what,
                    rate, cpuPerFrame, frames);
        RecordProperty("frames_per_second", static_cast<int>(rate));
        RecordProperty("cpu_us_per_frame", static_cast<int>(cpuPerFrame * 1000));
        // A sanitizer build measures its own instrumentation: the bound is the optimised build's.
        if (!test::kUnderSanitizer) {
            EXPECT_GT(rate, 5.0);
        }
    }
};

TEST_F(UsbThroughput, FullFramesOverTheEmulatedLink) {
    auto camera = PlugRamp(1);
    ASSERT_NE(camera, nullptr);
    camera->SetFastRender(true);
    Stream("over libusb");
}

TEST_F(UsbThroughput, FullFramesOnTheSimulatorsHub) {
    const int id = Attach(0x32C0, "SIM0001");
    ASSERT_GT(id, 0);
    Camera(id)->SetScene(sim::SceneKind::Ramp);
    Camera(id)->SetFastRender(true);
    Stream("simulator's hub");
}

}  // namespace
}  // namespace velcor::testing
