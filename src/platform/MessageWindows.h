// Window handles and posted messages: the part of the window system the library needs to
// announce frames and errors. A window handle is an opaque token handed out here; it is never
// dereferenced, so a stale or foreign handle is simply unknown and posting to it fails.
#pragma once

#include <velcor/VelcorTypes.h>

namespace velcor::platform {

// A posted message as a window's queue keeps it; time is the millisecond tick of the post.
struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    unsigned time;
};

HWND CreateMessageWindow();
// The window handle of an X11 window (the application's, or the library's preview window):
// the same handle for the same id for as long as it is not destroyed, with a message queue
// like any other. Null for 0.
HWND WindowForX11(unsigned long x11Window);
// The X11 window a handle stands for; 0 when it has none.
unsigned long X11WindowOf(HWND window);
bool DestroyWindow(HWND window);
bool IsWindow(HWND window);
// Queues a message; false for a destroyed or unknown window, or one with 10000 waiting.
bool PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Oldest message for window (any window when null) numbered first..last (both 0: any).
bool PeekMessage(MSG* message, HWND window, UINT first, UINT last, bool remove);
// As PeekMessage with remove, waiting up to timeoutMs (negative: no limit). False on time-out
// or when the window is destroyed while waiting.
bool GetMessage(MSG* message, HWND window, UINT first, UINT last, int timeoutMs);

}  // namespace velcor::platform
