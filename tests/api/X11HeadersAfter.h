// The library's headers first, then the X11 headers, in a C++ translation unit of its own.
#pragma once

namespace velcor::test {
// Velcor_Release on an unknown handle, called from that translation unit.
int X11HeadersAfterRelease();
}  // namespace velcor::test
