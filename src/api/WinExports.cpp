// Exported message-window helpers for applications outside Windows (VelcorWin.h).
#include <velcor/VelcorWin.h>

#include "platform/MessageWindows.h"

extern "C" {

VELCOR_API HWND VELCOR_CALL VelcorWin_CreateMessageWindow(void) {
    return velcor::platform::CreateMessageWindow();
}

VELCOR_API BOOL VELCOR_CALL VelcorWin_DestroyWindow(HWND window) {
    return velcor::platform::DestroyWindow(window) ? TRUE : FALSE;
}

VELCOR_API BOOL VELCOR_CALL VelcorWin_PeekMessage(VELCORMSG* message, HWND window, UINT first,
                                                  UINT last, UINT remove) {
    return velcor::platform::PeekMessage(message, window, first, last,
                                         (remove & VELCOR_PM_REMOVE) != 0)
               ? TRUE
               : FALSE;
}

VELCOR_API BOOL VELCOR_CALL VelcorWin_GetMessage(VELCORMSG* message, HWND window, UINT first,
                                                 UINT last, int timeoutMs) {
    return velcor::platform::GetMessage(message, window, first, last, timeoutMs) ? TRUE : FALSE;
}

VELCOR_API BOOL VELCOR_CALL VelcorWin_PostMessage(HWND window, UINT message, WPARAM wParam,
                                                  LPARAM lParam) {
    return velcor::platform::PostMessage(window, message, wParam, lParam) ? TRUE : FALSE;
}

}  // extern "C"
