#include "transport/win32/SystemDriverDevice.h"

#include <utility>

#include "transport/win32/DeviceInterfaces.h"

namespace velcor::transport {

SystemDriverDevice::SystemDriverDevice(std::string path, IoCarrier& carrier)
    : path_(std::move(path)), carrier_(carrier) {}

SystemDriverDevice::~SystemDriverDevice() {
    for (auto& [owner, handle] : handles_) {
        carrier_.Release(handle);
        ::CloseHandle(handle);
    }
}

bool SystemDriverDevice::IsUnplugError(uint32_t error) {
    return error == ERROR_DEVICE_NOT_CONNECTED || error == ERROR_GEN_FAILURE ||
           error == ERROR_FILE_NOT_FOUND;
}

uint32_t SystemDriverDevice::Open(uint64_t owner) {
    ::HANDLE handle = ::CreateFileA(path_.c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const uint32_t error = ::GetLastError();
        if (IsUnplugError(error)) Finished(error);
        return error;
    }
    if (const uint32_t error = carrier_.Attach(handle); error != ERROR_SUCCESS) {
        ::CloseHandle(handle);
        return error;
    }
    std::lock_guard lock(mutex_);
    handles_.emplace(owner, handle);
    return ERROR_SUCCESS;
}

void SystemDriverDevice::StartIo(const std::shared_ptr<platform::IoRequest>& request) {
    std::lock_guard lock(mutex_);
    auto found = handles_.find(request->Owner());
    if (found == handles_.end()) {
        request->Complete(ERROR_INVALID_HANDLE, 0);
        return;
    }
    carrier_.Submit(found->second, IoCarrier::Operation::Control, request, this);
}

void SystemDriverDevice::CancelIo(uint64_t owner) {
    ::HANDLE handle = nullptr;
    {
        std::lock_guard lock(mutex_);
        auto found = handles_.find(owner);
        if (found == handles_.end()) return;
        handle = found->second;
        handles_.erase(found);
    }
    carrier_.Release(handle);
    ::CloseHandle(handle);
}

void SystemDriverDevice::Finished(uint32_t error) {
    if (!IsUnplugError(error)) return;
    // The driver also fails a single transfer (a stalled pipe, a transaction error) with a
    // general failure; only a device whose interface is gone counts as unplugged then.
    if (error == ERROR_GEN_FAILURE && DeviceInterfaceActive(path_)) return;
    present_.store(false, std::memory_order_release);
}

}  // namespace velcor::transport
