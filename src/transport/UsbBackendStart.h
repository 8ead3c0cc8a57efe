// Real cameras on Linux: the USB backend of the driver port (transport/usb/) is started by the
// engine before it first looks for cameras. It serves the bridge's vendor id and the product ids
// the engine knows; VELCOR_USB=0 keeps it off, and so does a system without /dev/bus/usb. In a
// build without libusb it does nothing.
#pragma once

#include <cstdint>
#include <span>

namespace velcor::transport {

// Starts the backend once per process (later calls add product ids); false when it is off,
// not built in, there is no usbfs, or libusb cannot be set up.
bool StartUsbBackend(std::span<const uint16_t> productIds);

}  // namespace velcor::transport
