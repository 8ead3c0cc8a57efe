#include "api/X11HeadersAfter.h"

#include <velcor/VelcorSdk.h>
#include <velcor/VelcorSim.h>
#include <velcor/VelcorWin.h>

#include <X11/Xlib.h>
#include <X11/Xmd.h>
#include <X11/Xutil.h>

namespace velcor::test {

int X11HeadersAfterRelease() {
    const VELCOR_BOOL released = Velcor_Release(0);
    const Bool xlib = False;
    const BOOL xmd = 0;
    return released + xlib + xmd;
}

}  // namespace velcor::test
