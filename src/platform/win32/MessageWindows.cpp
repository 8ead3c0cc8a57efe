// Message windows on Windows: message-only windows of user32, posted to with PostMessageA and
// read from the queue of the thread that created them (a window's messages reach that thread
// alone, as everywhere on Windows).
#include "platform/MessageWindows.h"

#include <windows.h>

#include <mutex>

namespace velcor::platform {
namespace {

constexpr char kClassName[] = "VelcorMessageWindow";

HINSTANCE ThisModule() {
    HMODULE module = nullptr;
    ::GetModuleHandleExA(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCSTR>(&ThisModule), &module);
    return module;
}

bool RegisterClassOnce() {
    static std::once_flag once;
    static bool registered = false;
    std::call_once(once, [] {
        WNDCLASSEXA windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = ::DefWindowProcA;
        windowClass.hInstance = ThisModule();
        windowClass.lpszClassName = kClassName;
        registered =
            ::RegisterClassExA(&windowClass) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    });
    return registered;
}

void FromWin32(const ::MSG& in, MSG* out) {
    if (out == nullptr) return;
    out->hwnd = in.hwnd;
    out->message = in.message;
    out->wParam = in.wParam;
    out->lParam = in.lParam;
    out->time = static_cast<unsigned>(in.time);
}

}  // namespace

HWND CreateMessageWindow() {
    if (!RegisterClassOnce()) return nullptr;
    return ::CreateWindowExA(0, kClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, ThisModule(),
                             nullptr);
}

// Application windows are Win32 windows already; there are no X11 windows to wrap.
HWND WindowForX11(unsigned long) {
    return nullptr;
}

unsigned long X11WindowOf(HWND) {
    return 0;
}

bool DestroyWindow(HWND window) {
    return window != nullptr && ::DestroyWindow(window) != 0;
}

bool IsWindow(HWND window) {
    return window != nullptr && ::IsWindow(window) != 0;
}

bool PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return window != nullptr && ::PostMessageA(window, message, wParam, lParam) != 0;
}

bool PeekMessage(MSG* message, HWND window, UINT first, UINT last, bool remove) {
    ::MSG taken{};
    if (!::PeekMessageA(&taken, window, first, last, remove ? PM_REMOVE : PM_NOREMOVE)) {
        return false;
    }
    FromWin32(taken, message);
    return true;
}

bool GetMessage(MSG* message, HWND window, UINT first, UINT last, int timeoutMs) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        ::MSG taken{};
        if (::PeekMessageA(&taken, window, first, last, PM_REMOVE)) {
            FromWin32(taken, message);
            return true;
        }
        if (window != nullptr && !::IsWindow(window)) return false;
        DWORD wait = INFINITE;
        if (timeoutMs >= 0) {
            const DWORD elapsed = ::GetTickCount() - start;
            if (elapsed >= static_cast<DWORD>(timeoutMs)) return false;
            wait = static_cast<DWORD>(timeoutMs) - elapsed;
        }
        // Wakes for messages that were already in the queue when the last peek looked, too.
        if (::MsgWaitForMultipleObjectsEx(0, nullptr, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE) ==
            WAIT_FAILED) {
            return false;
        }
    }
}

}  // namespace velcor::platform
