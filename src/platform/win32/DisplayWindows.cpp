// The preview windows on Windows: user32 windows of a class registered for the host executable's
// instance, drawn through gdi32. The device-independent bitmaps are handed to StretchDIBits
// 1:1 with a header that says which way their rows run: top-down for the turned-over blit,
// bottom-up for the plain one. Device contexts are the windows' own (GetDC), wrapped so that a
// stale or foreign handle is only unknown and each keeps the bitmap header and colour table its
// blits fill in place.
#include "platform/DisplayWindows.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "platform/NoDestructor.h"

namespace velcor::platform {

struct DeviceContext {
    ::HWND window = nullptr;
    ::HDC dc = nullptr;
    // Taken by each blit: the header below is rewritten per blit.
    std::mutex mutex;
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD colours[256];
    } info{};

    ~DeviceContext() {
        if (dc != nullptr) ::ReleaseDC(window, dc);
    }
};

namespace {

struct ContextRegistry {
    std::mutex mutex;
    std::map<HDC, std::shared_ptr<DeviceContext>> contexts;
};

ContextRegistry& Contexts() {
    static NoDestructor<ContextRegistry> registry;
    return registry.get();
}

std::shared_ptr<DeviceContext> FindContext(HDC handle) {
    ContextRegistry& r = Contexts();
    std::lock_guard lock(r.mutex);
    auto found = r.contexts.find(handle);
    return found != r.contexts.end() ? found->second : nullptr;
}

// The classes and windows belong to the executable, as the application's own windows do.
HINSTANCE HostInstance() {
    return ::GetModuleHandleA(nullptr);
}

// Classes that could not go when they were unregistered because a window of theirs was still
// open: another thread's window, asked to close, which ends when that thread reads its
// messages. Every later registration or unregistration tries them again.
struct LeftOverClasses {
    std::mutex mutex;
    std::set<std::string> names;
};

LeftOverClasses& LeftOver() {
    static NoDestructor<LeftOverClasses> classes;
    return classes.get();
}

void UnregisterLeftOverClasses() {
    LeftOverClasses& left = LeftOver();
    std::lock_guard lock(left.mutex);
    for (auto it = left.names.begin(); it != left.names.end();) {
        const bool gone = ::UnregisterClassA(it->c_str(), HostInstance()) != 0 ||
                          ::GetLastError() == ERROR_CLASS_DOES_NOT_EXIST;
        it = gone ? left.names.erase(it) : std::next(it);
    }
}

// The row length a DIB of this width and depth has: whole 32-bit words.
int DibStride(int width, int bits) {
    return ((width * bits + 31) / 32) * 4;
}

// width x height of the image to (x, y) of the window, 1:1. Top-down: memory row j at window
// row y + j; bottom-up: memory row image.height - 1 - j there.
bool Blit(HDC handle, int x, int y, int width, int height, const DibPixels& image, bool topDown) {
    if (image.pixels == nullptr || image.width <= 0 || image.height <= 0) return false;
    if (image.bits != 8 && image.bits != 24 && image.bits != 32) return false;
    if (image.bits == 8 && image.colours == nullptr) return false;
    // GDI reads rows at the stride the header implies; any other layout would be shown skewed.
    if (image.stride != DibStride(image.width, image.bits)) return false;
    std::shared_ptr<DeviceContext> dc = FindContext(handle);
    if (!dc) return false;
    width = std::min(width, image.width);
    height = std::min(height, image.height);
    if (width <= 0 || height <= 0) return true;

    // The rows shown: the whole image when turned over, else the top `height` rows of the
    // bottom-up picture, which are the last `height` rows of memory.
    const uint8_t* rows = image.pixels;
    int rowsShown = image.height;
    if (!topDown) {
        rows += static_cast<size_t>(image.height - height) * image.stride;
        rowsShown = height;
    }
    std::lock_guard lock(dc->mutex);
    BITMAPINFOHEADER& header = dc->info.header;
    header = BITMAPINFOHEADER{};
    header.biSize = sizeof header;
    header.biWidth = image.width;
    header.biHeight = topDown ? -rowsShown : rowsShown;
    header.biPlanes = 1;
    header.biBitCount = static_cast<WORD>(image.bits);
    header.biCompression = BI_RGB;
    if (image.bits == 8) {
        // The table's entries are blue, green, red, reserved: an RGBQUAD each.
        std::memcpy(dc->info.colours, image.colours, sizeof dc->info.colours);
        header.biClrUsed = 256;
    }
    const int lines = ::StretchDIBits(
        dc->dc, topDown ? 0 : x, topDown ? 0 : y, width, height, 0, 0, width, height, rows,
        reinterpret_cast<const BITMAPINFO*>(&dc->info), DIB_RGB_COLORS, SRCCOPY);
    return lines != 0 && lines != static_cast<int>(GDI_ERROR);
}

}  // namespace

bool RegisterWindowClass(const char* name) {
    if (name == nullptr || name[0] == '\0') return false;
    UnregisterLeftOverClasses();
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = 0;
    // No painting of its own: the next frame repaints it, the background is black until then.
    windowClass.lpfnWndProc = ::DefWindowProcA;
    windowClass.hInstance = HostInstance();
    windowClass.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = name;
    return ::RegisterClassExA(&windowClass) != 0;
}

bool UnregisterWindowClass(const char* name) {
    if (name == nullptr) return false;
    const bool unregistered = ::UnregisterClassA(name, HostInstance()) != 0;
    const bool leftOver = !unregistered && ::GetLastError() != ERROR_CLASS_DOES_NOT_EXIST;
    {
        LeftOverClasses& left = LeftOver();
        std::lock_guard lock(left.mutex);
        if (leftOver) {
            left.names.insert(name);
        } else {
            left.names.erase(name);
        }
    }
    UnregisterLeftOverClasses();
    return unregistered;
}

HWND CreateDisplayWindow(const char* className, const char* title, uint32_t style, int x, int y,
                         int width, int height, HWND parent, int controlId) {
    if (className == nullptr) return nullptr;
    // A child window's menu argument is its control id.
    const HMENU menu = (style & WS_CHILD) != 0
                           ? reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId))
                           : nullptr;
    return ::CreateWindowExA(0, className, title != nullptr ? title : "", style, x, y, width,
                             height, parent, menu, HostInstance(), nullptr);
}

bool DestroyDisplayWindow(HWND window) {
    if (window == nullptr || !::IsWindow(window)) return false;
    if (::DestroyWindow(window)) return true;
    // Only the thread that made a window may destroy it. From any other thread the window is
    // asked to close, which its thread carries out the next time it reads its messages.
    DWORD process = 0;
    const DWORD owner = ::GetWindowThreadProcessId(window, &process);
    return owner != ::GetCurrentThreadId() && process == ::GetCurrentProcessId() &&
           ::PostMessageA(window, WM_CLOSE, 0, 0) != 0;
}

bool AdjustWindowRectEx(WindowRect* rect, uint32_t style, bool menu, uint32_t exStyle) {
    if (rect == nullptr) return false;
    RECT r{rect->left, rect->top, rect->right, rect->bottom};
    if (!::AdjustWindowRectEx(&r, style, menu ? TRUE : FALSE, exStyle)) return false;
    *rect = WindowRect{r.left, r.top, r.right, r.bottom};
    return true;
}

bool PrimaryScreenSize(int* width, int* height) {
    const int w = ::GetSystemMetrics(SM_CXSCREEN);
    const int h = ::GetSystemMetrics(SM_CYSCREEN);
    if (w <= 0 || h <= 0) return false;
    *width = w;
    *height = h;
    return true;
}

bool SetFocus(HWND window) {
    ::SetFocus(window);
    return ::GetFocus() == window;
}

bool ShowWindow(HWND window) {
    ::ShowWindow(window, SW_SHOW);
    return ::IsWindow(window) != 0;
}

bool UpdateWindow(HWND window) {
    return ::UpdateWindow(window) != 0;
}

bool GetClientRect(HWND window, WindowRect* rect) {
    RECT r{};
    if (rect == nullptr || !::GetClientRect(window, &r)) return false;
    *rect = WindowRect{r.left, r.top, r.right, r.bottom};
    return true;
}

bool IsWindowVisible(HWND window) {
    return ::IsWindowVisible(window) != 0;
}

HDC GetDC(HWND window) {
    if (window == nullptr || !::IsWindow(window)) return nullptr;
    auto dc = std::make_shared<DeviceContext>();
    dc->window = window;
    dc->dc = ::GetDC(window);
    if (dc->dc == nullptr) return nullptr;
    ContextRegistry& r = Contexts();
    std::lock_guard lock(r.mutex);
    HDC handle = dc.get();
    r.contexts.emplace(handle, std::move(dc));
    return handle;
}

bool ReleaseDC(HWND, HDC dc) {
    std::shared_ptr<DeviceContext> released;
    {
        ContextRegistry& r = Contexts();
        std::lock_guard lock(r.mutex);
        auto found = r.contexts.find(dc);
        if (found == r.contexts.end()) return false;
        released = std::move(found->second);
        r.contexts.erase(found);
    }
    // The window's context goes back to the system with the last reference: a blit still
    // drawing keeps it until it is done.
    return true;
}

bool StretchBltFlipped(HDC dc, const DibPixels& image) {
    return Blit(dc, 0, 0, image.width, image.height, image, true);
}

bool BitBlt(HDC dc, int x, int y, int width, int height, const DibPixels& image) {
    return Blit(dc, x, y, width, height, image, false);
}

}  // namespace velcor::platform
