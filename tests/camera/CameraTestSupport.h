// A camera object on simulated ROZE9701 cameras, driven through the C API, with a message
// window that receives its frame and error messages.
//
// With VELCOR_TEST_CAMERAS=usb in the environment the same cameras sit on an emulated USB bus
// instead of the simulator's hub, and the library reaches them through its libusb backend (the
// run needs the umockdev preload and VELCOR_USB=1; without the preload the tests skip). Plugging,
// pulling, faults, trigger pulses and registers go through the fixture's helpers, which work on
// either bus; a test that calls VelcorSim_* on a camera itself runs on the hub only.
#pragma once

#include <gtest/gtest.h>

#include <velcor/VelcorSdk.h>
#include <velcor/VelcorSim.h>
#include <velcor/VelcorWin.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "sim/SimTestSupport.h"
#include "support/Sanitizers.h"
#include "support/UsbTestbed.h"

namespace velcor::testing {

class CameraOnSimulator : public SimTest {
  protected:
    static bool OverUsb() {
        const char* cameras = std::getenv("VELCOR_TEST_CAMERAS");
        return cameras != nullptr && std::strcmp(cameras, "usb") == 0;
    }
    void SetUp() override {
        if (OverUsb()) {
            if (!UsbTestbed::Available()) GTEST_SKIP() << "needs the umockdev preload";
            UsbTestbed::Shared();  // the bus first: libusb's hot-plug monitor listens to it
        }
        SimTest::SetUp();
    }
    void TearDown() override {
        if (handle_ != 0) Velcor_Release(handle_);
        if (window_ != nullptr) VelcorWin_DestroyWindow(window_);
        UnplugCameras();
    }
    // Pulls every camera out, simulated or on the emulated bus.
    void UnplugCameras() {
        if (OverUsb()) UsbTestbed::Shared().UnplugAll();
        SimTest::TearDown();
    }
    // Pulls camera `index` (0: SIM0001) out.
    bool Unplug(size_t index) {
        if (!OverUsb()) return VelcorSim_DetachCamera(cameraIds_.at(index)) == TRUE;
        UsbTestbed::Shared().Unplug(static_cast<int>(index) + 1);
        return true;
    }
    // Makes camera `index` fail the next `count` times as VELCORSIM_FAULT_* `fault` says.
    bool InjectFault(size_t index, int fault, int count) {
        if (!OverUsb()) return VelcorSim_InjectFault(cameraIds_.at(index), fault, count) == TRUE;
        return usbCameras_.at(index)->InjectFault(static_cast<sim::SimFault>(fault), count);
    }
    // A pulse on the trigger input of camera `index`.
    bool FireTrigger(size_t index) {
        if (!OverUsb()) return VelcorSim_FireTrigger(cameraIds_.at(index)) == TRUE;
        return usbCameras_.at(index)->FireTrigger();
    }
    // Plugs ROZE9701 camera `index` (0: the first) in under `serial`: attached to the
    // simulator's hub, or plugged into port index + 1 of the emulated bus. A camera plugged in
    // again takes the place of the one pulled out at its index.
    bool Plug(size_t index, const std::string& serial) {
        if (OverUsb()) {
            sim::SimCameraConfig config;
            config.productId = 0x32C0;
            config.serialNumber = serial;
            auto camera = UsbTestbed::Shared().Plug(config, static_cast<int>(index) + 1);
            if (camera == nullptr) return false;
            if (usbCameras_.size() <= index) usbCameras_.resize(index + 1);
            usbCameras_[index] = std::move(camera);
            return true;
        }
        const int id = VelcorSim_AttachCamera(0x32C0, serial.c_str());
        if (id <= 0) return false;
        if (cameraIds_.size() <= index) cameraIds_.resize(index + 1);
        cameraIds_[index] = id;
        return true;
    }
    // Writes a register of camera `index` (`space` one of VELCORSIM_SPACE_*).
    bool SetRegister(size_t index, int space, int address, int value) {
        if (!OverUsb()) {
            return VelcorSim_SetRegister(cameraIds_.at(index), space, address, value) == TRUE;
        }
        return usbCameras_.at(index)->SetRegister(static_cast<sim::RegisterSpace>(space), address,
                                                  value);
    }
    // Frames of camera `index` at once (the default) or at the sensor's own rate.
    void SetFastFrames(size_t index, bool fast) {
        if (!OverUsb()) {
            VelcorSim_SetFastFrames(cameraIds_.at(index), fast ? TRUE : FALSE);
        } else {
            usbCameras_.at(index)->SetFastFrames(fast);
        }
    }
    // Waits for a device-change notice `event` (VELCOR_DBT_*) on `window`, the notification
    // window of a camera object, skipping other notices. Over USB a camera's arrival or removal
    // reaches the library through libusb's monitor a moment after the bus changed: the notice
    // says the library sees it, as an application learns it.
    static bool Announced(HWND window, WPARAM event) {
        VELCORMSG m{};
        const int timeoutMs = test::kUnderSanitizer ? 15000 : 5000;
        while (VelcorWin_GetMessage(&m, window, VELCOR_WM_DEVICECHANGE, VELCOR_WM_DEVICECHANGE,
                                    timeoutMs)) {
            if (m.wParam == event) return true;
        }
        return false;
    }
    // Attaches `count` ROZE9701 cameras SIM0001... and makes a camera object.
    void Open(int count) {
        for (int i = 1; i <= count; ++i) {
            ASSERT_TRUE(Plug(static_cast<size_t>(i) - 1, "SIM000" + std::to_string(i)));
        }
        window_ = VelcorWin_CreateMessageWindow();
        handle_ = Velcor_Initialize(window_);
        ASSERT_NE(handle_, 0);
        ASSERT_EQ(Velcor_GetLastError(handle_), 0);
        // The tests read 8-bit frames; this camera's stored colour mode is 16 bits from its
        // first initialisation on.
        if (count == 1) {
            ASSERT_EQ(Velcor_SetColorMode(handle_, 8), TRUE);
        }
    }
    std::string Serial() {
        char serial[64] = "";
        return Velcor_ReadSerialNumberA(handle_, serial, sizeof serial) ? serial : "?";
    }
    // Waits for the next frame message; its wParam and lParam.
    // The default wait allows for a sanitizer build on a busy machine, where a full 16-bit
    // frame can take more than a second to draw and deliver.
    bool NextFrame(WPARAM* wParam, LPARAM* lParam,
                   int timeoutMs = test::kUnderSanitizer ? 10000 : 3000) {
        VELCORMSG m{};
        if (!VelcorWin_GetMessage(&m, window_, VELCOR_WM_FRAME, VELCOR_WM_FRAME, timeoutMs)) {
            return false;
        }
        *wParam = m.wParam;
        *lParam = m.lParam;
        return true;
    }
    int LastError() { return Velcor_GetLastError(handle_); }
    // Empties the error history; true when it held `code`.
    bool HistoryHolds(int code) {
        bool found = false;
        for (int e = LastError(); e != 0; e = LastError())
            found |= e == code;
        return found;
    }
    // Waits for a frame message that reports a failure with `code`, skipping frames.
    bool WaitForFrameFailure(int code, int timeoutMs) {
        WPARAM w = 0;
        LPARAM l = 0;
        while (NextFrame(&w, &l, timeoutMs)) {
            if (w == 0 && l == code) return true;
        }
        return false;
    }

    HWND window_ = nullptr;
    int handle_ = 0;
    std::vector<int> cameraIds_;  // simulated camera ids of SIM0001, SIM0002, ...
    std::vector<std::shared_ptr<sim::SimCamera>> usbCameras_;  // the same on the USB bus
};

}  // namespace velcor::testing
