/**
 * @file VelcorWin.h
 * @brief Message windows for applications outside Windows.
 *
 * The library announces frames (VELCOR_WM_FRAME) and errors (VELCOR_WM_ERROR) by posting
 * messages to a window handle. On Linux an application makes such a handle with
 * VelcorWin_CreateMessageWindow and takes the posted messages from its queue with
 * VelcorWin_PeekMessage or VelcorWin_GetMessage. Queues are thread-safe: any thread may post,
 * any thread may read. Posting to a destroyed or unknown window fails and does nothing else.
 */
#ifndef VELCOR_WIN_H
#define VELCOR_WIN_H

#include "VelcorTypes.h"

/**
 * @defgroup winmsg Message windows
 * @brief Window handles that receive the library's messages on Linux, and X11 windows for the
 * preview.
 *
 * A frame loop of a callback preview:
 * @code
 * HWND frames = VelcorWin_CreateMessageWindow();
 * Velcor_CallBackPreview(handle, frames, buffer, size, 1);
 * VELCORMSG msg;
 * while (VelcorWin_GetMessage(&msg, frames, 0, 0, 5000)) {
 *     if (msg.message == VELCOR_WM_FRAME && msg.wParam != 0) {
 *         const VELCORFRAMEINFO* info = (const VELCORFRAMEINFO*)msg.wParam;
 *         ... use info->image, info->width x info->height ...
 *     } else if (msg.message == VELCOR_WM_FRAME) {
 *         ... msg.lParam is error 5, 8 or 13 ...
 *     }
 * }
 * @endcode
 * @{
 */

#ifdef __cplusplus
extern "C" {
#endif

#define VELCOR_PM_NOREMOVE 0      /**< VelcorWin_PeekMessage() leaves the message queued. */
#define VELCOR_PM_REMOVE 1        /**< VelcorWin_PeekMessage() takes the message off the queue. */
#define VELCOR_WAIT_INFINITE (-1) /**< VelcorWin_GetMessage() waits without limit. */

/** @name Device notifications
    Posted to the notification window given to Velcor_Initialize() when a camera of the bridge's
    interface class arrives or leaves: message #VELCOR_WM_DEVICECHANGE with wParam the event.
    @{ */
#define VELCOR_WM_DEVICECHANGE 0x0219          /**< message number of a device notification */
#define VELCOR_DBT_DEVICEARRIVAL 0x8000        /**< wParam: a camera was attached */
#define VELCOR_DBT_DEVICEREMOVECOMPLETE 0x8004 /**< wParam: a camera was removed */
/** @} */

/** A message taken from a window's queue. */
typedef struct VELCORMSG {
    HWND hwnd;     /**< the window it was posted to */
    UINT message;  /**< message number (#VELCOR_WM_FRAME, #VELCOR_WM_ERROR, ...) */
    WPARAM wParam; /**< first parameter */
    LPARAM lParam; /**< second parameter */
    unsigned time; /**< millisecond tick of the post */
} VELCORMSG;

/** A new window with an empty message queue; null when none can be made. */
VELCOR_API HWND VELCOR_CALL VelcorWin_CreateMessageWindow(void);
/** Destroys the window and drops its queued messages; a reader blocked in GetMessage on it
   returns 0. FALSE for an unknown window. */
VELCOR_API VELCOR_BOOL VELCOR_CALL VelcorWin_DestroyWindow(HWND window);
/** Takes the oldest message of the window (any window when null) whose number lies in
   first..last (both 0: every message). remove: VELCOR_PM_REMOVE takes it off the queue.
   FALSE when there is none. */
VELCOR_API VELCOR_BOOL VELCOR_CALL VelcorWin_PeekMessage(VELCORMSG* message, HWND window,
                                                         UINT first, UINT last, UINT remove);
/** As VelcorWin_PeekMessage() with #VELCOR_PM_REMOVE, waiting up to timeoutMs
   (VELCOR_WAIT_INFINITE: no limit) for a message. FALSE on time-out or when the window is destroyed
   meanwhile. */
VELCOR_API VELCOR_BOOL VELCOR_CALL VelcorWin_GetMessage(VELCORMSG* message, HWND window, UINT first,
                                                        UINT last, int timeoutMs);
/** Queues a message for the window. FALSE for a destroyed or unknown window. */
VELCOR_API VELCOR_BOOL VELCOR_CALL VelcorWin_PostMessage(HWND window, UINT message, WPARAM wParam,
                                                         LPARAM lParam);

/** The window handle of an X11 window of the application (its XID, a Window of Xlib), for
   Velcor_SetPreviewWindow: the library's preview window is then made inside it. The same id
   gives the same handle until the handle is destroyed with VelcorWin_DestroyWindow (which
   leaves the X11 window alone). Messages may be posted to the handle and read with
   VelcorWin_PeekMessage and VelcorWin_GetMessage like those of any message window. Null for
   0. */
VELCOR_API HWND VELCOR_CALL VelcorWin_FromX11Window(unsigned long window);

/** @} */

#ifdef __cplusplus
}
#endif

#endif /* VELCOR_WIN_H */
