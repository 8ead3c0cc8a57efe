/* The library's headers before the X11 headers, which then declare BOOL and BYTE again
   exactly as the library did. */
#include <velcor/VelcorErrors.h>
#include <velcor/VelcorSdk.h>
#include <velcor/VelcorSim.h>
#include <velcor/VelcorTypes.h>
#include <velcor/VelcorWin.h>

#include <X11/Xlib.h>
#include <X11/Xmd.h>
#include <X11/Xutil.h>

#include <stdio.h>

int X11HeadersFirst(void);

int main(void) {
    VELCOR_BOOL result = Velcor_Release(0);
    Bool xlibBool = False;
    BOOL xmdBool = 0;
    if (sizeof(BOOL) != 1 || sizeof(BYTE) != 1 || sizeof(VELCOR_BOOL) != sizeof(int)) {
        printf("BOOL, BYTE or VELCOR_BOOL has the wrong size\n");
        return 1;
    }
    /* An unknown handle: 0, with the X11 types beside it. */
    return (result != 0) + xlibBool + xmdBool + (X11HeadersFirst() == 0);
}
