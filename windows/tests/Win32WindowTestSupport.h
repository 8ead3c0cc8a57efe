// Windows and what they show, read back through gdi32, for the tests of the preview window.
// Under Wine the windows need an X display (windows/run-tests.sh starts one for them): without
// DISPLAY no window can be made, and the tests say so and are skipped; with one, a window that
// cannot be made is a failure.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace velcor::test {

// True when the system can make windows here: a window of a system class is made and dropped.
inline bool WindowsAvailable() {
    HWND probe = ::CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                   ::GetModuleHandleA(nullptr), nullptr);
    if (probe == nullptr) return false;
    ::DestroyWindow(probe);
    return true;
}

inline bool DisplayNamed() {
    char display[256] = {};
    return ::GetEnvironmentVariableA("DISPLAY", display, sizeof display) > 0;
}

#define VELCOR_REQUIRE_WINDOWS()                                              \
    do {                                                                      \
        if (::velcor::test::WindowsAvailable()) break;                        \
        if (::velcor::test::DisplayNamed()) FAIL() << "no window on DISPLAY"; \
        GTEST_SKIP() << "no windows without a display";                       \
    } while (0)

// 0xRRGGBB of a gray level.
inline uint32_t Gray(uint8_t level) {
    return (uint32_t{level} << 16) | (uint32_t{level} << 8) | level;
}

inline uint32_t Rgb(int r, int g, int b) {
    return (static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(g) << 8) |
           static_cast<uint32_t>(b);
}

// What width x height of the window's client area shows, top row first, as 0xRRGGBB: one blit
// of the window's context into a 32-bit top-down bitmap.
inline std::vector<uint32_t> Screenshot(HWND window, int width, int height) {
    std::vector<uint32_t> shot;
    HDC screen = ::GetDC(window);
    if (screen == nullptr) return shot;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC memory = ::CreateCompatibleDC(screen);
    if (bitmap != nullptr && memory != nullptr) {
        HGDIOBJ old = ::SelectObject(memory, bitmap);
        if (::BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY)) {
            ::GdiFlush();
            shot.resize(static_cast<size_t>(width) * height);
            std::memcpy(shot.data(), bits, shot.size() * sizeof(uint32_t));
            for (uint32_t& pixel : shot)
                pixel &= 0xFFFFFF;
        }
        ::SelectObject(memory, old);
    }
    if (memory != nullptr) ::DeleteDC(memory);
    if (bitmap != nullptr) ::DeleteObject(bitmap);
    ::ReleaseDC(window, screen);
    return shot;
}

inline std::string ClassNameOf(HWND window) {
    char name[256] = {};
    return ::GetClassNameA(window, name, sizeof name) > 0 ? name : "";
}

inline std::string TitleOf(HWND window) {
    char title[256] = {};
    ::GetWindowTextA(window, title, sizeof title);
    return title;
}

// The window's place in its parent's client area (on the screen for a top-level window).
inline POINT PlaceOf(HWND window) {
    RECT r{};
    ::GetWindowRect(window, &r);
    POINT p{r.left, r.top};
    if (HWND parent = ::GetParent(window);
        parent != nullptr && (::GetWindowLongA(window, GWL_STYLE) & WS_CHILD))
        ::ScreenToClient(parent, &p);
    return p;
}

inline SIZE ClientSizeOf(HWND window) {
    RECT r{};
    ::GetClientRect(window, &r);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

// An application's window: a visible top-level window of a class of the test's own, whose
// client area has the size asked for.
class AppWindow {
  public:
    AppWindow(int clientWidth, int clientHeight) {
        static const ATOM atom = [] {
            WNDCLASSEXA c{};
            c.cbSize = sizeof c;
            c.lpfnWndProc = ::DefWindowProcA;
            c.hInstance = ::GetModuleHandleA(nullptr);
            c.hbrBackground = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
            c.lpszClassName = "VelcorTestApplication";
            return ::RegisterClassExA(&c);
        }();
        if (atom == 0) return;
        RECT r{0, 0, clientWidth, clientHeight};
        ::AdjustWindowRectEx(&r, WS_OVERLAPPEDWINDOW, FALSE, 0);
        window_ = ::CreateWindowExA(0, "VelcorTestApplication", "application",
                                    WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, r.right - r.left,
                                    r.bottom - r.top, nullptr, nullptr, ::GetModuleHandleA(nullptr),
                                    nullptr);
    }
    ~AppWindow() {
        if (window_ != nullptr) ::DestroyWindow(window_);
    }
    AppWindow(const AppWindow&) = delete;
    AppWindow& operator=(const AppWindow&) = delete;

    HWND Get() const { return window_; }

  private:
    HWND window_ = nullptr;
};

// The preview windows (class "VideoRenderer_...") among the children of parent, or among the
// top-level windows of this thread when parent is null.
inline std::vector<HWND> PreviewWindows(HWND parent) {
    std::vector<HWND> found;
    auto collect = [](HWND window, LPARAM list) -> BOOL {
        if (ClassNameOf(window).rfind("VideoRenderer_", 0) == 0)
            reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
        return TRUE;
    };
    if (parent != nullptr) {
        ::EnumChildWindows(parent, collect, reinterpret_cast<LPARAM>(&found));
    } else {
        ::EnumThreadWindows(::GetCurrentThreadId(), collect, reinterpret_cast<LPARAM>(&found));
    }
    return found;
}

}  // namespace velcor::test
