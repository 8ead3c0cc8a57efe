// The public headers compile as C++ beside the X11 headers in either order; the C translation
// units of the same check are a program of their own (velcor_x11_headers_c).
// GoogleTest first: Xlib's macros (None, Bool) are names inside it.
#include <gtest/gtest.h>

#include <type_traits>

// clang-format off
#include <X11/Xlib.h>
#include <X11/Xmd.h>
#include <X11/Xutil.h>

#include <velcor/VelcorSdk.h>
#include <velcor/VelcorSim.h>
#include <velcor/VelcorWin.h>
// clang-format on

#include "api/X11HeadersAfter.h"

namespace {

TEST(X11Headers, ResultsAreIntAndWindowsNamesAreXmds) {
    static_assert(std::is_same_v<VELCOR_BOOL, int>);
    static_assert(std::is_same_v<decltype(Velcor_Preview(0)), VELCOR_BOOL>);
    static_assert(std::is_same_v<BOOL, unsigned char>);
    static_assert(std::is_same_v<BYTE, unsigned char>);
    static_assert(std::is_same_v<decltype(VelcorWin_CreateMessageWindow()), HWND>);
    EXPECT_EQ(velcor::test::X11HeadersAfterRelease(), 0);
}

}  // namespace
