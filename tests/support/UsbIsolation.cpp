// Test programs leave real cameras alone unless a run asks for them. With the USB side on, a
// camera plugged into the developer's machine would join the simulated ones in every test that
// counts or numbers cameras, and every process would start libusb's event thread and udev
// monitor (a few tens of milliseconds per process, threads and sockets the sanitizers then
// watch) for nothing. The runs that test the USB backend set VELCOR_USB=1 themselves; an
// explicit setting always wins.
#include <cstdlib>

namespace {

const bool usbOffByDefault = ::setenv("VELCOR_USB", "0", 0) == 0;

}  // namespace
