// The preview window is not part of the first Windows DLL: every call fails, so the library
// reports the preview window as unavailable with the error it documents for a window that
// cannot be made.
#include "platform/DisplayWindows.h"

namespace velcor::platform {

bool RegisterWindowClass(const char*) {
    return false;
}

bool UnregisterWindowClass(const char*) {
    return false;
}

HWND CreateDisplayWindow(const char*, const char*, uint32_t, int, int, int, int, HWND, int) {
    return nullptr;
}

bool DestroyDisplayWindow(HWND) {
    return false;
}

bool AdjustWindowRectEx(WindowRect*, uint32_t, bool, uint32_t) {
    return false;
}

bool PrimaryScreenSize(int*, int*) {
    return false;
}

bool SetFocus(HWND) {
    return false;
}

bool ShowWindow(HWND) {
    return false;
}

bool UpdateWindow(HWND) {
    return false;
}

bool GetClientRect(HWND, WindowRect*) {
    return false;
}

bool IsWindowVisible(HWND) {
    return false;
}

HDC GetDC(HWND) {
    return nullptr;
}

bool ReleaseDC(HWND, HDC) {
    return false;
}

bool StretchBltFlipped(HDC, const DibPixels&) {
    return false;
}

bool BitBlt(HDC, int, int, int, int, const DibPixels&) {
    return false;
}

}  // namespace velcor::platform
