#include "transport/win32/DeviceInterfaces.h"

#include <windows.h>
// <windows.h> first: SetupAPI's header builds on its types.
#include <setupapi.h>

#include <cstring>

namespace velcor::transport {
namespace {

::GUID SystemGuid(const platform::GUID& guid) {
    ::GUID system;
    system.Data1 = guid.Data1;
    system.Data2 = guid.Data2;
    system.Data3 = guid.Data3;
    std::memcpy(system.Data4, guid.Data4, sizeof system.Data4);
    return system;
}

// A device information set, destroyed with its owner.
class DeviceInfoSet {
  public:
    explicit DeviceInfoSet(HDEVINFO set) : set_(set) {}
    ~DeviceInfoSet() {
        if (Valid()) ::SetupDiDestroyDeviceInfoList(set_);
    }
    DeviceInfoSet(const DeviceInfoSet&) = delete;
    DeviceInfoSet& operator=(const DeviceInfoSet&) = delete;

    bool Valid() const { return set_ != INVALID_HANDLE_VALUE && set_ != nullptr; }
    HDEVINFO get() const { return set_; }

  private:
    HDEVINFO set_;
};

}  // namespace

std::vector<std::string> PresentDeviceInterfaces(const platform::GUID& interfaceClass) {
    std::vector<std::string> paths;
    const ::GUID guid = SystemGuid(interfaceClass);
    const DeviceInfoSet set(
        ::SetupDiGetClassDevsA(&guid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));
    if (!set.Valid()) return paths;

    // The detail record: its fixed part (cbSize must be the structure's own size, which differs
    // between 32- and 64-bit builds) followed by the path. DWORD elements keep it aligned.
    std::vector<DWORD> detail;
    for (DWORD index = 0;; ++index) {
        SP_DEVICE_INTERFACE_DATA data{};
        data.cbSize = sizeof data;
        if (!::SetupDiEnumDeviceInterfaces(set.get(), nullptr, &guid, index, &data)) {
            if (::GetLastError() == ERROR_NO_MORE_ITEMS) break;
            continue;  // a member that cannot be read is passed over
        }
        DWORD required = 0;
        ::SetupDiGetDeviceInterfaceDetailA(set.get(), &data, nullptr, 0, &required, nullptr);
        if (required < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) continue;
        detail.assign((required + sizeof(DWORD) - 1) / sizeof(DWORD), 0);
        auto* record = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(detail.data());
        record->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
        if (!::SetupDiGetDeviceInterfaceDetailA(set.get(), &data, record,
                                                static_cast<DWORD>(detail.size() * sizeof(DWORD)),
                                                nullptr, nullptr)) {
            continue;
        }
        paths.emplace_back(record->DevicePath);
    }
    return paths;
}

bool DeviceInterfaceActive(const std::string& path) {
    const DeviceInfoSet set(::SetupDiCreateDeviceInfoList(nullptr, nullptr));
    if (!set.Valid()) return false;
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    if (!::SetupDiOpenDeviceInterfaceA(set.get(), path.c_str(), 0, &data)) return false;
    return (data.Flags & SPINT_ACTIVE) != 0;
}

}  // namespace velcor::transport
