// Windows on the screen for the library's own preview, in the shape of the window-system calls
// the camera layer makes: window classes, child and top-level windows, device contexts and the
// two blits of a device-independent bitmap. On Linux the windows are X11 windows on a
// connection of their own (X11Connection); the handles are the message-window tokens of
// MessageWindows, carrying the X11 window id. On Windows they are user32 windows of the host
// executable's instance, drawn through gdi32 (win32/DisplayWindows.cpp).
//
// Window decorations belong to the window manager on X11, so the frame around a top-level
// window's client area counts as zero-sized there: AdjustWindowRectEx leaves the rectangle as
// it is. On Windows it grows by the system's frame.
//
// Threads: a window is created, shown and destroyed on one thread and drawn on another; every
// call serialises on the window's connection.
#pragma once

#include <velcor/VelcorTypes.h>

#include <cstdint>

namespace velcor::platform {

// Right and bottom are exclusive.
struct WindowRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
};

// A bottom-up device-independent bitmap as the blits read it: width x height pixels, rows
// stride bytes apart, 8 bits through the colour table (256 entries of blue, green, red,
// reserved), 24 or 32 bits as blue, green, red (, unused). A plain blit shows memory row
// height - 1 - y at row y of the screen.
struct DibPixels {
    const uint8_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;
    int bits = 0;
    const uint8_t* colours = nullptr;
};

// A drawing context on a window, from GetDC until ReleaseDC.
struct DeviceContext;
using HDC = DeviceContext*;

// Window styles of the preview windows: a visible child that clips its children, and a
// visible overlapped top-level window.
inline constexpr uint32_t kStyleChildWindow = 0x52000000;
inline constexpr uint32_t kStyleOverlappedWindow = 0x16CF0000;

// Window classes: a process-wide set of names. Registering a name twice fails.
bool RegisterWindowClass(const char* name);
bool UnregisterWindowClass(const char* name);

// A window of a registered class (its name becomes the X11 WM_CLASS) with the title, at x, y
// with the size given, inside parent (a handle carrying an X11 window) or top-level when
// parent is null. The control id is kept as a window property of child windows. A window of
// the visible style is mapped at once. Null when there is no display, the class is not
// registered or the server refuses the window (a bad parent id, for one).
HWND CreateDisplayWindow(const char* className, const char* title, uint32_t style, int x, int y,
                         int width, int height, HWND parent, int controlId);
// Destroys a window made by CreateDisplayWindow and forgets its handle.
bool DestroyDisplayWindow(HWND window);
// Grows a client rectangle to the window rectangle; the frame is the window manager's, so the
// rectangle stays.
bool AdjustWindowRectEx(WindowRect* rect, uint32_t style, bool menu, uint32_t exStyle);
// The size of the default screen of DISPLAY; false without a display.
bool PrimaryScreenSize(int* width, int* height);

bool SetFocus(HWND window);
bool ShowWindow(HWND window);
// Waits until the server has handled everything asked of the window; false when any of it
// failed or the server is gone.
bool UpdateWindow(HWND window);
bool GetClientRect(HWND window, WindowRect* rect);
bool IsWindowVisible(HWND window);

HDC GetDC(HWND window);
bool ReleaseDC(HWND window, HDC dc);
// The whole image 1:1 at (0, 0), turned over: memory row y shows at row y of the window.
bool StretchBltFlipped(HDC dc, const DibPixels& image);
// width x height of the image's display at (x, y) of the window, as a bottom-up bitmap shows:
// memory row height - 1 - y at row y.
bool BitBlt(HDC dc, int x, int y, int width, int height, const DibPixels& image);

}  // namespace velcor::platform
