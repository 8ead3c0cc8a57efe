#include "transport/UsbBackendStart.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>

#ifdef VELCOR_WITH_LIBUSB
#include "transport/usb/UsbBackend.h"
#endif

namespace velcor::transport {

bool StartUsbBackend(std::span<const uint16_t> productIds) {
#ifdef VELCOR_WITH_LIBUSB
    const char* setting = std::getenv("VELCOR_USB");
    if (setting != nullptr && std::strcmp(setting, "0") == 0) return false;
    // Without the usbfs device folder no USB device can be opened (a container, a machine
    // without a USB controller): no event thread, no udev monitor.
    if (::access("/dev/bus/usb", F_OK) != 0) return false;
    UsbBackend* backend = UsbBackend::Instance();
    if (backend == nullptr) return false;
    backend->AddProducts(productIds);
    return true;
#else
    (void)productIds;
    return false;
#endif
}

}  // namespace velcor::transport
