// The exported C API. Each function finds the camera object of its handle and forwards to it
// under the object's call lock, so calls on one handle from several threads take turns; an
// unknown or released handle gives the function's empty result and touches nothing. Nothing
// thrown inside the library crosses this boundary: an exception becomes error 5 and the empty
// result.
#include <velcor/VelcorSdk.h>

#include <memory>
#include <new>

#include "api/SdkChain.h"
#include "camera/Velcor.h"

namespace {

using velcor::CVelcor;

// How a call meets a wait in progress on the same handle.
enum class Entry {
    kQueue,      // waits for the call before it
    kInterrupt,  // ends a snapshot's frame wait first (stop and close)
    kUnlocked,   // needs no turn: touches only what has its own lock
};

template <Entry entry = Entry::kQueue, typename Result, typename Body>
Result WithCamera(int handle, Result empty, Body&& body) {
    std::shared_ptr<CVelcor> camera = velcor::SdkChain().Lookup(handle);
    if (!camera) return empty;
    try {
        if (entry == Entry::kUnlocked) return static_cast<Result>(body(*camera));
        if (entry == Entry::kInterrupt) camera->InterruptWaits();
        velcor::CallTurn turn(*camera);
        // Released while this call waited for its turn: the handle is gone.
        if (camera->Released()) return empty;
        return static_cast<Result>(body(*camera));
    } catch (...) {
        camera->RecordError(velcor::kErrMemory);
        return empty;
    }
}

// Named filter wrappers call the filter-value functions with a fixed identifier.
int GetFilter(int handle, int id, int* ok) {
    return WithCamera(handle, 0, [&](CVelcor& c) { return c.GetFilterValue(id, ok); });
}
VELCOR_BOOL SetFilter(int handle, int id, int value) {
    return WithCamera(handle, 0, [&](CVelcor& c) { return c.SetFilterValue(id, value); });
}

}  // namespace

extern "C" {

// ---- Lifecycle -----------------------------------------------------------------------------

VELCOR_API int VELCOR_CALL Velcor_Initialize(HWND notifyWindow) {
    std::shared_ptr<CVelcor> camera;
    int handle = 0;
    try {
        camera = std::make_shared<CVelcor>();
        handle = velcor::SdkChain().Register(camera);
    } catch (...) {
        return 0;
    }
    try {
        // The handle is in the registry already: other calls on it wait for the start-up.
        velcor::CallTurn turn(*camera);
        camera->Initialize(notifyWindow);
    } catch (...) {
        camera->RecordError(velcor::kErrMemory);
    }
    return handle;
}

VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_Release(int handle) {
    // The record goes now; the camera object goes when the last caller inside it leaves.
    std::shared_ptr<CVelcor> camera = velcor::SdkChain().Unregister(handle);
    if (!camera) return FALSE;
    // Calls still queued on the handle return their empty result; a snapshot waiting for its
    // frame ends now instead of after its time-out.
    camera->MarkReleased();
    camera->InterruptWaits();
    // A call inside the handle on another thread ends first; then the camera closes here, so
    // no frame reaches the application after this returns. On the thread of a call that is
    // still inside (a dialog's handler releasing), the camera closes as that call returns.
    if (!camera->InCallOnThisThread()) {
        try {
            velcor::CallTurn turn(*camera);
            camera->CloseCamera();
        } catch (...) {
            // The session and the engine still stop and close as the object goes.
        }
    }
    return TRUE;
}

VELCOR_API int VELCOR_CALL Velcor_GetDllVersion(void) {
    return VELCOR_DLL_VERSION;
}

VELCOR_API int VELCOR_CALL Velcor_GetLastError(int handle) {
    return WithCamera<Entry::kUnlocked>(handle, 0, [](CVelcor& c) { return c.GetLastError(); });
}

VELCOR_API int VELCOR_CALL Velcor_GetStatus(int handle, int) {
    return WithCamera(handle, 0, [](CVelcor&) { return 0; });
}

// ---- Device selection and identity -----------------------------------------------------------

VELCOR_API int VELCOR_CALL Velcor_EnumDevice(int handle, char* names) {
    return WithCamera(handle, 0, [&](CVelcor& c) { return c.EnumDevice(names); });
}
VELCOR_API int VELCOR_CALL Velcor_EnumDeviceW(int handle, WCHAR* names) {
    return WithCamera(handle, 0, [&](CVelcor& c) { return c.EnumDeviceW(names); });
}
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_GetDeviceName(int handle, int index, char* buffer,
                                                        int size) {
    return WithCamera(handle, 0, [&](CVelcor& c) { return c.GetDeviceName(index, buffer, size); });
}
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_GetDeviceNameW(int handle, int index, WCHAR* buffer,
                                                         int size) {
    return WithCamera(handle, 0, [&](CVelcor& c) { return c.GetDeviceNameW(index, buffer, size); });
}
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetDeviceNumber(int handle, int index) {
    return WithCamera(handle, 0, [&](CVelcor& c) { return c.SetDeviceNumber(index); });
}
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_GetCameraInfo(int handle, VELCORCAMERAINFO* info) {
    return WithCamera(handle, 0, [&](CVelcor& c) { return c.GetCameraInfo(info); });
}
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_ReadSerialNumberA(int handle, char* buffer, int size) {
    return WithCamera(handle, 0, [&](CVelcor& c) { return c.ReadSerialNumberA(buffer, size); });
}
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_ReadSerialNumberW(int handle, WCHAR* buffer, int size) {
    return WithCamera(handle, 0, [&](CVelcor& c) { return c.ReadSerialNumberW(buffer, size); });
}

// ---- Capture, preview, callback, recording and images ----------------------------------------

VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_Preview(int handle) {
    return WithCamera(handle, 0, [](CVelcor& c) { return c.Preview(); });
}
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_StartPreview(int handle) {
    return WithCamera(handle, 0, [](CVelcor& c) { return c.StartPreview(); });
}
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_StopPreview(int handle) {
    return WithCamera<Entry::kInterrupt>(handle, 0, [](CVelcor& c) { return c.StopPreview(); });
}
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_Close(int handle) {
    return WithCamera<Entry::kInterrupt>(handle, 0, [](CVelcor& c) { return c.Close(); });
}
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_Capture(int handle) {
    return WithCamera(handle, 0, [](CVelcor& c) { return c.Capture(); });
}
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SnapShot(int handle, BYTE* buffer, int size,
                                                   int topRowFirst) {
    return WithCamera(handle, 0, [&](CVelcor& c) { return c.SnapShot(buffer, size, topRowFirst); });
}
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_GetImage(int handle, BYTE* buffer, int size,
                                                   int topRowFirst) {
    return WithCamera(handle, 0, [&](CVelcor& c) { return c.GetImage(buffer, size, topRowFirst); });
}
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_CallBackPreview(int handle, HWND frameWindow,
                                                          BYTE* buffer, int size, int topRowFirst) {
    return WithCamera(handle, 0, [&](CVelcor& c) {
        return c.CallBackPreview(frameWindow, buffer, size, topRowFirst);
    });
}
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_Trigger(int handle, HWND frameWindow, BYTE* buffer,
                                                  int size, int topRowFirst) {
    return WithCamera(
        handle, 0, [&](CVelcor& c) { return c.Trigger(frameWindow, buffer, size, topRowFirst); });
}
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetPreviewWindow(int handle, HWND parent, int x, int y,
                                                           int width, int height) {
    return WithCamera(handle, 0,
                      [&](CVelcor& c) { return c.SetPreviewWindow(parent, x, y, width, height); });
}
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_Record(int handle, const char* path, int durationMs,
                                                 int showWindow) {
    return WithCamera(handle, 0,
                      [&](CVelcor& c) { return c.Record(path, durationMs, showWindow); });
}
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_RecordW(int handle, const WCHAR* path, int durationMs,
                                                  int showWindow) {
    return WithCamera(handle, 0,
                      [&](CVelcor& c) { return c.RecordW(path, durationMs, showWindow); });
}
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SaveImage(int handle, const char* path, int format) {
    return WithCamera(handle, 0, [&](CVelcor& c) { return c.SaveImage(path, format); });
}
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SaveImageW(int handle, const WCHAR* path, int format) {
    return WithCamera(handle, 0, [&](CVelcor& c) { return c.SaveImageW(path, format); });
}

// ---- Image geometry and format ---------------------------------------------------------------

VELCOR_API int VELCOR_CALL Velcor_Width(int handle) {
    return WithCamera(handle, 0, [](CVelcor& c) { return c.Width(); });
}
VELCOR_API int VELCOR_CALL Velcor_Height(int handle) {
    return WithCamera(handle, 0, [](CVelcor& c) { return c.Height(); });
}
VELCOR_API int VELCOR_CALL Velcor_GetColorMode(int handle) {
    return WithCamera(handle, -1, [](CVelcor& c) { return c.GetColorMode(); });
}
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetColorMode(int handle, int bits) {
    return WithCamera(handle, 0, [&](CVelcor& c) { return c.SetColorMode(bits); });
}
VELCOR_API int VELCOR_CALL Velcor_GetSubSample(int handle) {
    return WithCamera(handle, -1, [](CVelcor& c) { return c.GetSubSample(); });
}
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetSubSample(int handle, int mode) {
    return WithCamera(handle, 0, [&](CVelcor& c) { return c.SetSubSample(mode); });
}
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetCaptureWindow(int handle, int width, int height) {
    return WithCamera(handle, 0, [&](CVelcor& c) { return c.SetCaptureWindow(width, height); });
}
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetCaptureWindowEx(int handle, int totalWidth, int xStart,
                                                             int width, int totalHeight, int yStart,
                                                             int height) {
    return WithCamera(handle, 0, [&](CVelcor& c) {
        return c.SetCaptureWindowEx(totalWidth, xStart, width, totalHeight, yStart, height);
    });
}
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_GetCaptureWindowEx(int handle, int* totalWidth,
                                                             int* xStart, int* width,
                                                             int* totalHeight, int* yStart,
                                                             int* height) {
    return WithCamera(handle, 0, [&](CVelcor& c) {
        return c.GetCaptureWindowEx(totalWidth, xStart, width, totalHeight, yStart, height);
    });
}
VELCOR_API int VELCOR_CALL Velcor_GetWaitTime(int handle) {
    return WithCamera(handle, -1, [](CVelcor& c) { return c.GetWaitTime(); });
}
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetWaitTime(int handle, int milliseconds) {
    return WithCamera(handle, 0, [&](CVelcor& c) { return c.SetWaitTime(milliseconds); });
}
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetMirrorH(int handle, int on) {
    return WithCamera(handle, 0, [&](CVelcor& c) { return c.SetMirrorH(on); });
}
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetMirrorV(int handle, int on) {
    return WithCamera(handle, 0, [&](CVelcor& c) { return c.SetMirrorV(on); });
}
VELCOR_API int VELCOR_CALL Velcor_GetMirrorH(int handle) {
    return WithCamera(handle, 0, [](CVelcor& c) { return c.GetMirrorH(); });
}
VELCOR_API int VELCOR_CALL Velcor_GetMirrorV(int handle) {
    return WithCamera(handle, 0, [](CVelcor& c) { return c.GetMirrorV(); });
}

// ---- Exposure, temperature and sensor extras -------------------------------------------------

VELCOR_API double VELCOR_CALL Velcor_GetExposureTimeEx(int handle, int* ok) {
    return WithCamera(handle, 0.0, [&](CVelcor& c) { return c.GetExposureTimeEx(ok); });
}
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetExposureTimeEx(int handle, double seconds) {
    return WithCamera(handle, 0, [&](CVelcor& c) { return c.SetExposureTimeEx(seconds); });
}
VELCOR_API int VELCOR_CALL Velcor_GetRealExposureTime(int handle, int* ok) {
    return WithCamera(handle, 0, [&](CVelcor& c) { return c.GetRealExposureTime(ok); });
}
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetRealExposureTime(int handle, int microseconds) {
    return WithCamera(handle, 0, [&](CVelcor& c) { return c.SetRealExposureTime(microseconds); });
}
VELCOR_API double VELCOR_CALL Velcor_GetTemperatureEx(int handle, int* ok) {
    return WithCamera(handle, 0.0, [&](CVelcor& c) { return c.GetTemperatureEx(ok); });
}
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetSamplingRate(int handle, int rate) {
    return WithCamera(handle, 0, [&](CVelcor& c) { return c.SetSamplingRate(rate); });
}
VELCOR_API int VELCOR_CALL Velcor_GetAutoIris(int handle, int* ok) {
    return WithCamera(handle, 0, [&](CVelcor& c) { return c.GetAutoIris(ok); });
}
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetAutoIris(int handle, int mode) {
    return WithCamera(handle, 0, [&](CVelcor& c) { return c.SetAutoIris(mode); });
}

// ---- Registers, ROM, IO port and configuration -----------------------------------------------

VELCOR_API int VELCOR_CALL Velcor_Fpga_ReadRegister(int handle, int address, int* ok) {
    return WithCamera(handle, 0, [&](CVelcor& c) { return c.FpgaReadRegister(address, ok); });
}
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_Fpga_WriteRegister(int handle, int address, int value) {
    return WithCamera(handle, 0, [&](CVelcor& c) { return c.FpgaWriteRegister(address, value); });
}
VELCOR_API int VELCOR_CALL Velcor_ReadRegister(int handle, int address, int* ok) {
    return WithCamera(handle, 0, [&](CVelcor& c) { return c.ReadRegister(address & 0xFF, ok); });
}
VELCOR_API int VELCOR_CALL Velcor_ReadRegisterEx(int handle, int address, int* ok) {
    return WithCamera(handle, 0, [&](CVelcor& c) { return c.ReadRegister(address, ok); });
}
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_WriteRegister(int handle, int address, int value) {
    return WithCamera(handle, 0,
                      [&](CVelcor& c) { return c.WriteRegister(address & 0xFF, value & 0xFFFF); });
}
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_WriteRegisterEx(int handle, int address, int value) {
    return WithCamera(handle, 0, [&](CVelcor& c) { return c.WriteRegister(address, value); });
}
VELCOR_API int VELCOR_CALL Velcor_ReadSromID(int handle, int address, int* ok) {
    return WithCamera(handle, 0, [&](CVelcor& c) { return c.ReadSromID(address, ok); });
}
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_WriteSromID(int handle, int address, int value) {
    return WithCamera(handle, 0, [&](CVelcor& c) { return c.WriteSromID(address, value); });
}
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_GetIOPort(int handle, BYTE* value) {
    return WithCamera(handle, 0, [&](CVelcor& c) { return c.GetIOPort(value); });
}
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetIOPort(int handle, BYTE value) {
    return WithCamera(handle, 0, [&](CVelcor& c) { return c.SetIOPort(value); });
}
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_LoadConfigFileA(int handle, const char* path) {
    return WithCamera(handle, 0, [&](CVelcor& c) { return c.LoadConfigFileA(path); });
}
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_LoadConfigFileW(int handle, const WCHAR* path) {
    return WithCamera(handle, 0, [&](CVelcor& c) { return c.LoadConfigFileW(path); });
}

// ---- Settings dialogs ------------------------------------------------------------------------

VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetCameraDlg(int handle, HWND parent) {
    return WithCamera(handle, 0, [&](CVelcor& c) { return c.ShowCameraDialog(parent); });
}
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetAnalogDlg(int handle, HWND parent) {
    return WithCamera(handle, 0, [&](CVelcor& c) { return c.ShowAnalogDialog(parent); });
}
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetImageDlg(int handle, HWND parent) {
    return WithCamera(handle, 0, [&](CVelcor& c) { return c.ShowImageDialog(parent); });
}

// ---- Pixel mask ------------------------------------------------------------------------------

VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_LoadMaskFile(int handle, const char* path) {
    return WithCamera(handle, 0, [&](CVelcor& c) { return c.LoadMaskFile(path); });
}
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_LoadMaskFileW(int handle, const WCHAR* path) {
    return WithCamera(handle, 0, [&](CVelcor& c) { return c.LoadMaskFileW(path); });
}
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SaveMaskFile(int handle, const char* path) {
    return WithCamera(handle, 0, [&](CVelcor& c) { return c.SaveMaskFile(path); });
}
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SaveMaskFileW(int handle, const WCHAR* path) {
    return WithCamera(handle, 0, [&](CVelcor& c) { return c.SaveMaskFileW(path); });
}
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_UpdateMaskData(int handle, int kind) {
    return WithCamera(handle, 0, [&](CVelcor& c) { return c.UpdateMaskData(kind); });
}

// ---- Filter values ---------------------------------------------------------------------------

VELCOR_API int VELCOR_CALL Velcor_GetFilterValue(int handle, int id, int* ok) {
    return GetFilter(handle, id, ok);
}
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetFilterValue(int handle, int id, int value) {
    return SetFilter(handle, id, value);
}

#define VELCOR_FILTER_WRAPPERS(Name, id)                                         \
    VELCOR_API int VELCOR_CALL Velcor_Get##Name(int handle, int* ok) {           \
        return GetFilter(handle, id, ok);                                        \
    }                                                                            \
    VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_Set##Name(int handle, int value) { \
        return SetFilter(handle, id, value);                                     \
    }

VELCOR_FILTER_WRAPPERS(Brightness, VELCOR_FILTER_BRIGHTNESS)
VELCOR_FILTER_WRAPPERS(Contrast, VELCOR_FILTER_CONTRAST)
VELCOR_FILTER_WRAPPERS(Hue, VELCOR_FILTER_HUE)
VELCOR_FILTER_WRAPPERS(Saturation, VELCOR_FILTER_SATURATION)
VELCOR_FILTER_WRAPPERS(Sharpness, VELCOR_FILTER_SHARPNESS)
VELCOR_FILTER_WRAPPERS(BayerGainRGB, VELCOR_FILTER_BAYER_GAIN_RGB)
VELCOR_FILTER_WRAPPERS(BayerGainRed, VELCOR_FILTER_BAYER_GAIN_RED)
VELCOR_FILTER_WRAPPERS(BayerGainGreen, VELCOR_FILTER_BAYER_GAIN_GREEN)
VELCOR_FILTER_WRAPPERS(BayerGainBlue, VELCOR_FILTER_BAYER_GAIN_BLUE)
VELCOR_FILTER_WRAPPERS(BayerGainAuto, VELCOR_FILTER_BAYER_GAIN_AUTO)
VELCOR_FILTER_WRAPPERS(Gamma, VELCOR_FILTER_GAMMA)
VELCOR_FILTER_WRAPPERS(BayerMode, VELCOR_FILTER_BAYER_MODE)
VELCOR_FILTER_WRAPPERS(GlobalGain, VELCOR_FILTER_GLOBAL_GAIN)
VELCOR_FILTER_WRAPPERS(ColorGainRed, VELCOR_FILTER_COLOR_GAIN_RED)
VELCOR_FILTER_WRAPPERS(ColorGainGreen1, VELCOR_FILTER_COLOR_GAIN_GREEN1)
VELCOR_FILTER_WRAPPERS(ColorGainGreen2, VELCOR_FILTER_COLOR_GAIN_GREEN2)
VELCOR_FILTER_WRAPPERS(ColorGainBlue, VELCOR_FILTER_COLOR_GAIN_BLUE)
VELCOR_FILTER_WRAPPERS(ExposureTime, VELCOR_FILTER_EXPOSURE)
VELCOR_FILTER_WRAPPERS(GrayMode, VELCOR_FILTER_GRAY_MODE)
VELCOR_FILTER_WRAPPERS(GrayGainR, VELCOR_FILTER_GRAY_GAIN_R)
VELCOR_FILTER_WRAPPERS(GrayGainG1, VELCOR_FILTER_GRAY_GAIN_G1)
VELCOR_FILTER_WRAPPERS(GrayGainG2, VELCOR_FILTER_GRAY_GAIN_G2)
VELCOR_FILTER_WRAPPERS(GrayGainB, VELCOR_FILTER_GRAY_GAIN_B)
VELCOR_FILTER_WRAPPERS(GrayOffsetR, VELCOR_FILTER_GRAY_OFFSET_R)
VELCOR_FILTER_WRAPPERS(GrayOffsetG1, VELCOR_FILTER_GRAY_OFFSET_G1)
VELCOR_FILTER_WRAPPERS(GrayOffsetG2, VELCOR_FILTER_GRAY_OFFSET_G2)
VELCOR_FILTER_WRAPPERS(GrayOffsetB, VELCOR_FILTER_GRAY_OFFSET_B)
VELCOR_FILTER_WRAPPERS(Peltier, VELCOR_FILTER_PELTIER)
VELCOR_FILTER_WRAPPERS(DotFilter, VELCOR_FILTER_DOT)
VELCOR_FILTER_WRAPPERS(MaskFilter, VELCOR_FILTER_MASK)
#undef VELCOR_FILTER_WRAPPERS

VELCOR_API int VELCOR_CALL Velcor_GetTemperature(int handle, int* ok) {
    return GetFilter(handle, VELCOR_FILTER_TEMPERATURE, ok);
}

VELCOR_API int VELCOR_CALL Velcor_GetChannelGain(int handle, int type, int* ok) {
    return WithCamera(handle, 0, [&](CVelcor& c) { return c.GetChannelValue(0, type, ok); });
}
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetChannelGain(int handle, int type, int value) {
    return WithCamera(handle, 0, [&](CVelcor& c) { return c.SetChannelValue(0, type, value); });
}
VELCOR_API int VELCOR_CALL Velcor_GetChannelOffset(int handle, int type, int* ok) {
    return WithCamera(handle, 0, [&](CVelcor& c) { return c.GetChannelValue(1, type, ok); });
}
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetChannelOffset(int handle, int type, int value) {
    return WithCamera(handle, 0, [&](CVelcor& c) { return c.SetChannelValue(1, type, value); });
}

// ---- Functions this camera does not offer ----------------------------------------------------

VELCOR_API int VELCOR_CALL Velcor_Fps(int handle) {
    return WithCamera(handle, 0, [](CVelcor& c) { return c.UnsupportedFeature(); });
}
VELCOR_API int VELCOR_CALL Velcor_GetHalfClock(int handle, int*) {
    return WithCamera(handle, 0, [](CVelcor& c) { return c.UnsupportedFeature(); });
}
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetHalfClock(int handle, int) {
    return WithCamera(handle, 0, [](CVelcor& c) { return c.UnsupportedFeature(); });
}
VELCOR_API int VELCOR_CALL Velcor_GetInternalCorrection(int handle, int*) {
    return WithCamera(handle, 0, [](CVelcor& c) { return c.UnsupportedFeature(); });
}
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetInternalCorrection(int handle, int) {
    return WithCamera(handle, 0, [](CVelcor& c) { return c.UnsupportedFeature(); });
}
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetCrossbar(int handle, int, int) {
    return WithCamera(handle, 0, [](CVelcor& c) { return c.UnsupportedFeature(); });
}
VELCOR_API int VELCOR_CALL Velcor_GetSamplingRate(int handle, int* rate) {
    return WithCamera(handle, 0, [&](CVelcor& c) { return c.ZeroResultQuery(rate); });
}
VELCOR_API int VELCOR_CALL Velcor_GetVideoFormat(int handle, int* format) {
    return WithCamera(handle, 0, [&](CVelcor& c) { return c.ZeroResultQuery(format); });
}
VELCOR_API int VELCOR_CALL Velcor_SendText(int handle, const char*, int) {
    return WithCamera(handle, 0, [](CVelcor& c) { return c.TextChannelStub(); });
}
VELCOR_API int VELCOR_CALL Velcor_ReceiveText(int handle, char*, int) {
    return WithCamera(handle, 0, [](CVelcor& c) { return c.TextChannelStub(); });
}
VELCOR_API int VELCOR_CALL Velcor_GetConfigFilter(int handle) {
    return WithCamera(handle, 0, [](CVelcor& c) { return c.ConfigFilterStub(); });
}
VELCOR_API int VELCOR_CALL Velcor_SetConfigFilter(int handle, int) {
    return WithCamera(handle, 0, [](CVelcor& c) { return c.ConfigFilterStub(); });
}

}  // extern "C"
