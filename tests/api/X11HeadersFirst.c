/* An X11 application's translation unit: the X11 headers come before the library's, which
   must neither clash with them (BOOL, BYTE and the macros None, Status, Bool, True, False) nor
   change what they declare. The results are kept in VELCOR_BOOL. */
#include <X11/Xlib.h>
#include <X11/Xmd.h>
#include <X11/Xutil.h>

#include <velcor/VelcorErrors.h>
#include <velcor/VelcorSdk.h>
#include <velcor/VelcorSim.h>
#include <velcor/VelcorTypes.h>
#include <velcor/VelcorWin.h>

int X11HeadersFirst(void);

int X11HeadersFirst(void) {
    BOOL xmdBool = 1;
    BYTE xmdByte = 2;
    Bool xlibBool = True;
    Status status = 0;
    Window window = None;
    VELCOR_BOOL (*release)(int) = Velcor_Release;
    HWND (*create)(void) = VelcorWin_CreateMessageWindow;
    return (int)sizeof xmdBool + (int)sizeof xmdByte + xlibBool + status + (int)window +
           (release != NULL) + (create != NULL);
}
