/*
 * Message windows for applications outside Windows.
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

#ifdef __cplusplus
extern "C" {
#endif

#define VELCOR_PM_NOREMOVE 0
#define VELCOR_PM_REMOVE 1
#define VELCOR_WAIT_INFINITE (-1)

/* Device-interface notifications posted to a registered notification window. */
#define VELCOR_WM_DEVICECHANGE 0x0219
#define VELCOR_DBT_DEVICEARRIVAL 0x8000
#define VELCOR_DBT_DEVICEREMOVECOMPLETE 0x8004

typedef struct VELCORMSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    unsigned time; /* millisecond tick of the post */
} VELCORMSG;

/* A new window with an empty message queue; null when none can be made. */
VELCOR_API HWND VELCOR_CALL VelcorWin_CreateMessageWindow(void);
/* Destroys the window and drops its queued messages; a reader blocked in GetMessage on it
   returns 0. FALSE for an unknown window. */
VELCOR_API VELCOR_BOOL VELCOR_CALL VelcorWin_DestroyWindow(HWND window);
/* Takes the oldest message of the window (any window when null) whose number lies in
   first..last (both 0: every message). remove: VELCOR_PM_REMOVE takes it off the queue.
   FALSE when there is none. */
VELCOR_API VELCOR_BOOL VELCOR_CALL VelcorWin_PeekMessage(VELCORMSG* message, HWND window,
                                                         UINT first, UINT last, UINT remove);
/* As PeekMessage with remove, waiting up to timeoutMs (VELCOR_WAIT_INFINITE: no limit) for a
   message. FALSE on time-out or when the window is destroyed meanwhile. */
VELCOR_API VELCOR_BOOL VELCOR_CALL VelcorWin_GetMessage(VELCORMSG* message, HWND window, UINT first,
                                                        UINT last, int timeoutMs);
/* Queues a message for the window. FALSE for a destroyed or unknown window. */
VELCOR_API VELCOR_BOOL VELCOR_CALL VelcorWin_PostMessage(HWND window, UINT message, WPARAM wParam,
                                                         LPARAM lParam);

/* The window handle of an X11 window of the application (its XID, a Window of Xlib), for
   Velcor_SetPreviewWindow: the library's preview window is then made inside it. The same id
   gives the same handle until the handle is destroyed with VelcorWin_DestroyWindow (which
   leaves the X11 window alone). Messages may be posted to the handle and read with
   VelcorWin_PeekMessage and VelcorWin_GetMessage like those of any message window. Null for
   0. */
VELCOR_API HWND VELCOR_CALL VelcorWin_FromX11Window(unsigned long window);

#ifdef __cplusplus
}
#endif

#endif /* VELCOR_WIN_H */
