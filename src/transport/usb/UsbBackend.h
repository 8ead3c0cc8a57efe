// The driver port's source of real cameras: the USB devices of the bridge's vendor id and the
// known product ids, reached through libusb. Each present camera appears under a device path of
// the bridge driver's form,
//   \\?\usb#vid_04b4&pid_32c0#b001_p2.1#{interface class}
// whose instance part is made of the bus number and the chain of port numbers, so a camera
// keeps its path (and with it its entry in the shared device table and its device number) when
// it is plugged in again at the same port.
//
// One event thread per backend runs libusb's events: transfer completions and, where libusb
// supports it, hot-plug events, which become the device-interface notifications of the
// bridge's interface class. The thread is joined when the backend goes at the end of the
// process.
#pragma once

#include <libusb.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/DriverPort.h"
#include "platform/Thread.h"
#include "transport/usb/UsbDevice.h"

namespace velcor::transport {

class UsbBackend : public platform::DriverBackend {
  public:
    static constexpr uint16_t kVendorId = 0x04B4;

    // The process's backend, registered with the port at its first use; null when libusb
    // cannot be set up.
    static UsbBackend* Instance();
    ~UsbBackend() override;

    // Devices of these product ids are cameras.
    void AddProducts(std::span<const uint16_t> productIds);
    // The device path of a device, or empty for one that is no camera of a known product.
    std::string PathOf(libusb_device* device) const;

    // DriverBackend
    std::vector<std::shared_ptr<platform::DriverDevice>> PresentDevices(
        const platform::GUID& interfaceClass) override;
    std::shared_ptr<platform::DriverDevice> FindPresentDevice(std::string_view path) override;

  private:
    explicit UsbBackend(libusb_context* context);
    // Brings the device list up to the bus: new cameras get a device, devices no longer on
    // the bus are marked lost. Returns the present cameras in bus order.
    std::vector<std::shared_ptr<UsbDevice>> Rescan();
    void EventLoop();
    static int LIBUSB_CALL OnHotplug(libusb_context* context, libusb_device* device,
                                     libusb_hotplug_event event, void* self);
    // Marks the device of a camera that left lost (it reports the loss once); false when the
    // library had made no device for it.
    bool DeviceLeft(libusb_device* device);

    libusb_context* const context_;
    mutable std::mutex mutex_;
    std::set<uint16_t> products_;
    std::map<std::string, std::shared_ptr<UsbDevice>> devices_;  // by path
    bool hotplug_ = false;
    libusb_hotplug_callback_handle hotplugHandle_ = 0;
    std::atomic<int> stop_{0};
    platform::Thread events_;  // "velcor-usb"
};

}  // namespace velcor::transport
