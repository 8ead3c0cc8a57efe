// The cameras behind the bridge's kernel-mode driver, as a backend of the driver port in the
// Windows build: enumeration through SetupAPI, requests through DeviceIoControl on overlapped
// handles, completed from the one completion thread of the backend's carrier. The carrier and
// its thread are made with the first device the system shows, so a machine without such
// devices runs no thread for them.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/DriverPort.h"
#include "transport/win32/IoCarrier.h"
#include "transport/win32/SystemDriverDevice.h"

namespace velcor::transport {

class SystemDriverBackend final : public platform::DriverBackend {
  public:
    SystemDriverBackend() = default;
    SystemDriverBackend(const SystemDriverBackend&) = delete;
    SystemDriverBackend& operator=(const SystemDriverBackend&) = delete;

    std::vector<std::shared_ptr<platform::DriverDevice>> PresentDevices(
        const platform::GUID& interfaceClass) override;
    // Only paths the system knows as active device interfaces are answered, so the paths of
    // other backends' devices pass on to them.
    std::shared_ptr<platform::DriverDevice> FindPresentDevice(std::string_view path) override;

  private:
    // The device of the path, made anew when there is none yet or the old one has gone; null
    // when the carrier cannot run.
    std::shared_ptr<SystemDriverDevice> DeviceFor(const std::string& path);

    std::mutex mutex_;
    std::unique_ptr<IoCarrier> carrier_;
    // By path in lower case: the system compares paths without regard to case.
    std::map<std::string, std::shared_ptr<SystemDriverDevice>> devices_;
};

}  // namespace velcor::transport
