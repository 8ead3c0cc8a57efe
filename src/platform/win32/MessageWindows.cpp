// Message windows on Windows: message-only windows of user32, posted to with PostMessageA and
// read from the queue of the thread that created them (a window's messages reach that thread
// alone, as everywhere on Windows). Device-change notices are sent, never posted (user32 refuses
// to post WM_DEVICECHANGE with a DBT_ code): the windows' procedure keeps them, and reading a
// window's messages takes the kept ones first, as if they had been queued.
#include "platform/MessageWindows.h"

#include <windows.h>

#include <deque>
#include <mutex>

#include "platform/DeviceNotifications.h"
#include "platform/NoDestructor.h"

namespace velcor::platform {
namespace {

constexpr char kClassName[] = "VelcorMessageWindow";

// The notices the message windows' procedure received and nobody read yet. A window's procedure
// runs on the window's own thread, which is also the only one that reads its messages; the list
// is one for the process (no thread-local storage with a destructor: MinGW's runs it after the
// thread's storage is gone).
struct KeptNotices {
    std::mutex mutex;
    std::deque<::MSG> notices;
};

KeptNotices& Kept() {
    static NoDestructor<KeptNotices> kept;
    return kept.get();
}

LRESULT CALLBACK MessageWindowProc(::HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kWmDeviceChange &&
        (wParam == kDbtDeviceArrival || wParam == kDbtDeviceRemoveComplete)) {
        ::MSG kept{};
        kept.hwnd = window;
        kept.message = message;
        kept.wParam = wParam;
        kept.lParam = 0;  // the broadcast record lives only for the send
        kept.time = ::GetTickCount();
        KeptNotices& k = Kept();
        std::lock_guard lock(k.mutex);
        k.notices.push_back(kept);
        return TRUE;
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}

// Takes (or, without remove, looks at) the oldest kept notice that matches the filter.
bool TakeKeptNotice(::MSG* out, ::HWND window, UINT first, UINT last, bool remove) {
    const DWORD thread = ::GetCurrentThreadId();
    KeptNotices& k = Kept();
    std::lock_guard lock(k.mutex);
    for (auto it = k.notices.begin(); it != k.notices.end(); ++it) {
        if (window != nullptr ? it->hwnd != window
                              : ::GetWindowThreadProcessId(it->hwnd, nullptr) != thread) {
            continue;
        }
        if ((first != 0 || last != 0) && (it->message < first || it->message > last)) continue;
        *out = *it;
        if (remove) k.notices.erase(it);
        return true;
    }
    return false;
}

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
        windowClass.lpfnWndProc = MessageWindowProc;
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
    if (window == nullptr || ::DestroyWindow(window) == 0) return false;
    // Notices nobody read go with their window.
    KeptNotices& k = Kept();
    std::lock_guard lock(k.mutex);
    std::erase_if(k.notices, [window](const ::MSG& m) { return m.hwnd == window; });
    return true;
}

bool IsWindow(HWND window) {
    return window != nullptr && ::IsWindow(window) != 0;
}

bool PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return window != nullptr && ::PostMessageA(window, message, wParam, lParam) != 0;
}

bool PeekMessage(MSG* message, HWND window, UINT first, UINT last, bool remove) {
    ::MSG taken{};
    // Peeking also runs the procedure for messages sent to this thread's windows.
    const bool queued = ::PeekMessageA(&taken, window, first, last, PM_NOREMOVE) != 0;
    if (TakeKeptNotice(&taken, window, first, last, remove)) {
        FromWin32(taken, message);
        return true;
    }
    if (!queued || !::PeekMessageA(&taken, window, first, last, remove ? PM_REMOVE : PM_NOREMOVE)) {
        return false;
    }
    FromWin32(taken, message);
    return true;
}

bool GetMessage(MSG* message, HWND window, UINT first, UINT last, int timeoutMs) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        ::MSG taken{};
        const bool queued = ::PeekMessageA(&taken, window, first, last, PM_NOREMOVE) != 0;
        if (TakeKeptNotice(&taken, window, first, last, true) ||
            (queued && ::PeekMessageA(&taken, window, first, last, PM_REMOVE))) {
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
