// A device of the bridge's kernel-mode driver, reached through the system: every handle the
// driver port opens to it is a system handle of its own (overlapped, shared for reading and
// writing), and every request goes to DeviceIoControl through the backend's carrier.
//
// The driver reports a device that has gone (unplugged, or dropped off the bus) with
// ERROR_DEVICE_NOT_CONNECTED, ERROR_FILE_NOT_FOUND or ERROR_GEN_FAILURE (the last also for a
// single failed transfer, so there the device's interface is looked up as well); from the first
// such answer on the device counts as absent, so new requests fail at once and the next
// enumeration makes a fresh device should it come back.
#pragma once

#include <windows.h>

#include <atomic>
#include <map>
#include <mutex>
#include <string>

#include "platform/DriverPort.h"
#include "transport/win32/IoCarrier.h"

namespace velcor::transport {

class SystemDriverDevice final : public platform::DriverDevice, private IoCarrier::Observer {
  public:
    SystemDriverDevice(std::string path, IoCarrier& carrier);
    // Closes the handles the port left open, after their requests have completed.
    ~SystemDriverDevice() override;

    const std::string& Path() const override { return path_; }
    bool IsPresent() const override { return present_.load(std::memory_order_acquire); }
    uint32_t Open(uint64_t owner) override;
    void StartIo(const std::shared_ptr<platform::IoRequest>& request) override;
    void CancelIo(uint64_t owner) override;

    // True for the errors with which the driver reports a device that is gone.
    static bool IsUnplugError(uint32_t error);

  private:
    void Finished(uint32_t error) override;

    const std::string path_;
    IoCarrier& carrier_;
    std::atomic<bool> present_{true};
    // The system handle behind each port handle. Held while a request is issued, so a handle
    // is never released while a request on it is being handed to the system.
    std::mutex mutex_;
    std::map<uint64_t, ::HANDLE> handles_;
};

}  // namespace velcor::transport
