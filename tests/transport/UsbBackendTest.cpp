// The libusb backend against a simulated camera on an emulated USB bus: the library finds the
// camera through libusb, opens it and streams from it with nothing of the simulator's hub in
// between. The tests skip without the umockdev preload (run them under umockdev-wrapper).
#include <gtest/gtest.h>

#include <velcor/VelcorSdk.h>
#include <velcor/VelcorWin.h>

#include <vector>

#include "sim/SimTestSupport.h"
#include "support/UsbTestbed.h"

namespace velcor::testing {
namespace {

class CameraOverUsb : public SimTest {
  protected:
    // One bus for the whole process. libusb takes its device list when it starts and the
    // testbed's later plugs do not reach it: CTest runs each test in a process of its own.
    static UsbTestbed& Bus() {
        static UsbTestbed bus;
        return bus;
    }
    void SetUp() override {
        if (!UsbTestbed::Available()) GTEST_SKIP() << "needs the umockdev preload";
        SimTest::SetUp();
    }
    void TearDown() override {
        if (handle_ != 0) Velcor_Release(handle_);
        if (window_ != nullptr) VelcorWin_DestroyWindow(window_);
        if (port_ != 0) Bus().Unplug(port_);
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
            port_ = port;
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
    int port_ = 0;
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
    port_ = 0;
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

}  // namespace
}  // namespace velcor::testing
