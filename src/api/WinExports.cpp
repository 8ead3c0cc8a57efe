// Exported message-window helpers for applications outside Windows (VelcorWin.h).
#include <velcor/VelcorWin.h>

#include <cstddef>

#include "platform/DeviceNotifications.h"
#include "platform/MessageWindows.h"

namespace {

// Named apart from the MSG of <windows.h>, which the public headers bring in on Windows.
using PlatformMsg = velcor::platform::MSG;

// The public message record and device notifications are the window system's own, as the
// platform layer keeps them.
static_assert(sizeof(VELCORMSG) == sizeof(PlatformMsg));
static_assert(offsetof(VELCORMSG, hwnd) == offsetof(PlatformMsg, hwnd));
static_assert(offsetof(VELCORMSG, message) == offsetof(PlatformMsg, message));
static_assert(offsetof(VELCORMSG, wParam) == offsetof(PlatformMsg, wParam));
static_assert(offsetof(VELCORMSG, lParam) == offsetof(PlatformMsg, lParam));
static_assert(offsetof(VELCORMSG, time) == offsetof(PlatformMsg, time));
static_assert(VELCOR_WM_DEVICECHANGE == velcor::platform::kWmDeviceChange);
static_assert(VELCOR_DBT_DEVICEARRIVAL == velcor::platform::kDbtDeviceArrival);
static_assert(VELCOR_DBT_DEVICEREMOVECOMPLETE == velcor::platform::kDbtDeviceRemoveComplete);

void ToPublic(const PlatformMsg& in, VELCORMSG* out) {
    out->hwnd = in.hwnd;
    out->message = in.message;
    out->wParam = in.wParam;
    out->lParam = in.lParam;
    out->time = in.time;
}

}  // namespace

extern "C" {

VELCOR_API HWND VELCOR_CALL VelcorWin_CreateMessageWindow(void) {
    return velcor::platform::CreateMessageWindow();
}

VELCOR_API VELCOR_BOOL VELCOR_CALL VelcorWin_DestroyWindow(HWND window) {
    return velcor::platform::DestroyWindow(window) ? TRUE : FALSE;
}

VELCOR_API VELCOR_BOOL VELCOR_CALL VelcorWin_PeekMessage(VELCORMSG* message, HWND window,
                                                         UINT first, UINT last, UINT remove) {
    PlatformMsg taken{};
    if (!velcor::platform::PeekMessage(message != nullptr ? &taken : nullptr, window, first, last,
                                       (remove & VELCOR_PM_REMOVE) != 0)) {
        return FALSE;
    }
    if (message != nullptr) ToPublic(taken, message);
    return TRUE;
}

VELCOR_API VELCOR_BOOL VELCOR_CALL VelcorWin_GetMessage(VELCORMSG* message, HWND window, UINT first,
                                                        UINT last, int timeoutMs) {
    PlatformMsg taken{};
    if (!velcor::platform::GetMessage(&taken, window, first, last, timeoutMs)) return FALSE;
    if (message != nullptr) ToPublic(taken, message);
    return TRUE;
}

VELCOR_API VELCOR_BOOL VELCOR_CALL VelcorWin_PostMessage(HWND window, UINT message, WPARAM wParam,
                                                         LPARAM lParam) {
    return velcor::platform::PostMessage(window, message, wParam, lParam) ? TRUE : FALSE;
}

VELCOR_API HWND VELCOR_CALL VelcorWin_FromX11Window(unsigned long window) {
    return velcor::platform::WindowForX11(window);
}

}  // extern "C"
