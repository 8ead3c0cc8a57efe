#include "transport/win32/SystemDriverBackend.h"

#include <algorithm>
#include <cctype>

#include "transport/win32/DeviceInterfaces.h"

namespace velcor::transport {
namespace {

std::string LowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

}  // namespace

std::shared_ptr<SystemDriverDevice> SystemDriverBackend::DeviceFor(const std::string& path) {
    std::lock_guard lock(mutex_);
    if (carrier_ == nullptr) carrier_ = std::make_unique<IoCarrier>();
    if (!carrier_->Started()) return nullptr;
    std::shared_ptr<SystemDriverDevice>& device = devices_[LowerCase(path)];
    if (device == nullptr || !device->IsPresent()) {
        device = std::make_shared<SystemDriverDevice>(path, *carrier_);
    }
    return device;
}

std::vector<std::shared_ptr<platform::DriverDevice>> SystemDriverBackend::PresentDevices(
    const platform::GUID& interfaceClass) {
    std::vector<std::shared_ptr<platform::DriverDevice>> devices;
    for (const std::string& path : PresentDeviceInterfaces(interfaceClass)) {
        if (auto device = DeviceFor(path)) devices.push_back(std::move(device));
    }
    return devices;
}

std::shared_ptr<platform::DriverDevice> SystemDriverBackend::FindPresentDevice(
    std::string_view path) {
    const std::string wanted(path);
    {
        std::lock_guard lock(mutex_);
        auto known = devices_.find(LowerCase(wanted));
        if (known != devices_.end() && known->second->IsPresent()) return known->second;
    }
    if (!DeviceInterfaceActive(wanted)) return nullptr;
    return DeviceFor(wanted);
}

}  // namespace velcor::transport
