// Simulated cameras on an emulated USB bus: a umockdev testbed holds each camera's sysfs
// device (attributes and descriptors) and answers the usbdevfs requests libusb makes on its
// device node from the camera's bridge. The camera is made of the simulator's classes but is
// not on the simulator's hub, so libusb is the only way to it.
//
// The node is a FIFO that the emulation keeps unwritable while no URB is reapable, so libusb's
// event thread sleeps in poll until there is work (usbfs reports a reapable URB as writable).
// Pulling a camera out completes its URBs with -ESHUTDOWN, fails later submissions with
// ENODEV and removes its sysfs device. Each plug and pull sends its uevent once the device is
// complete (descriptors, node and emulation in place), so libusb's hot-plug monitor sees a
// camera plugged in after it started, and a camera plugged in again at the same port.
//
// Needs the umockdev preload library (run under umockdev-wrapper); Available() says whether
// it is there.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "sim/SimCamera.h"

namespace velcor::testing {

class UsbTestbed {
  public:
    static bool Available();
    // The process's one bus: the preload library emulates a single testbed at a time.
    static UsbTestbed& Shared();

    UsbTestbed();
    ~UsbTestbed();
    UsbTestbed(const UsbTestbed&) = delete;
    UsbTestbed& operator=(const UsbTestbed&) = delete;

    // Plugs a camera of `config` into port `port` (1..) of bus 1; null on failure.
    std::shared_ptr<sim::SimCamera> Plug(const sim::SimCameraConfig& config, int port);
    // Pulls the camera at the port out.
    void Unplug(int port);
    // Pulls every plugged camera out.
    void UnplugAll();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace velcor::testing
