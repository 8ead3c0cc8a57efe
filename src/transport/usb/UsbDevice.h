// One camera on the USB bus as the bridge's driver would present it: the seven driver
// requests carried out in user space over libusb. Control requests become control transfers
// built from the 38-byte record, bulk requests asynchronous bulk transfers on the record's
// endpoint straight into the caller's buffer (direct) or the record's data area (buffered).
// Transfers complete their requests from the backend's event thread.
//
// The device is opened and its interface 0 claimed at the first open through the port, and
// kept so while it is plugged in. Once it is gone (a transfer or submission reports no
// device, or the hot-plug monitor saw it leave) every pending request fails with
// kErrorDeviceNotConnected and so does every later one.
#pragma once

#include <libusb.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/DriverPort.h"

namespace velcor::transport {

class UsbDevice : public platform::DriverDevice, public std::enable_shared_from_this<UsbDevice> {
  public:
    // `device` is referenced for the object's life. `lost` is called once, with no lock
    // held, when the device is found gone by its own transfers.
    UsbDevice(libusb_device* device, std::string path, std::function<void()> lost);
    ~UsbDevice() override;
    UsbDevice(const UsbDevice&) = delete;
    UsbDevice& operator=(const UsbDevice&) = delete;

    libusb_device* Device() const { return device_; }
    // The calling thread runs libusb's events (the backend's event thread says so once).
    static void MarkEventThread();
    // Closes the handles of devices that went on the event thread.
    static void CloseDeferredHandles();
    // The device left the bus: pending requests fail, later ones too.
    void MarkLost();

    // DriverDevice
    const std::string& Path() const override { return path_; }
    bool IsPresent() const override;
    bool AcceptsOpen() const override;
    void StartIo(const std::shared_ptr<platform::IoRequest>& request) override;
    void CancelIo(uint64_t owner) override;

  private:
    struct Transfer;
    static void LIBUSB_CALL OnTransferDone(libusb_transfer* transfer);

    // Opens and claims the device if it is not; the libusb error of the attempt.
    int EnsureOpen() const;
    void Submit(const std::shared_ptr<platform::IoRequest>& request, bool control, bool buffered);
    void Finish(Transfer* transfer);
    void CancelWhere(bool all, uint64_t owner, int endpoint);
    void Fail(const std::shared_ptr<platform::IoRequest>& request, int libusbError);

    libusb_device* const device_;
    const std::string path_;
    const std::function<void()> lost_;

    mutable std::mutex mutex_;
    mutable libusb_device_handle* handle_ = nullptr;
    bool present_ = true;
    bool lostReported_ = false;
    std::vector<std::unique_ptr<Transfer>> inFlight_;
};

}  // namespace velcor::transport
