// Device-interface notifications on Windows: user32's RegisterDeviceNotificationA for the
// cameras behind the vendor driver, and the library's own broadcast for the simulated cameras,
// which the system knows nothing of. Both reach the window as WM_DEVICECHANGE.
#include "platform/DeviceNotifications.h"

#include <dbt.h>
#include <windows.h>

#include <cstring>
#include <map>
#include <mutex>
#include <vector>

#include "platform/MessageWindows.h"

namespace velcor::platform {
namespace {

struct Registration {
    HWND window;
    GUID interfaceClass;
    ::HDEVNOTIFY system;  // user32's registration; null where the system refused one
};

struct NotificationState {
    std::mutex mutex;
    std::map<uintptr_t, Registration> registrations;
    uintptr_t next = 0x100;  // never reused
};

NotificationState& State() {
    static NotificationState state;
    return state;
}

::HDEVNOTIFY RegisterWithSystem(HWND window, const GUID& interfaceClass) {
    DEV_BROADCAST_DEVICEINTERFACE_A filter{};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    static_assert(sizeof(filter.dbcc_classguid) == sizeof(interfaceClass));
    std::memcpy(&filter.dbcc_classguid, &interfaceClass, sizeof interfaceClass);
    return ::RegisterDeviceNotificationA(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
}

}  // namespace

HDEVNOTIFY RegisterDeviceNotification(HWND window, const GUID& interfaceClass) {
    if (!platform::IsWindow(window)) return nullptr;
    // The simulated cameras' notifications come from the library whether or not the system
    // takes the registration (it refuses windows of other processes, for one).
    ::HDEVNOTIFY system = RegisterWithSystem(window, interfaceClass);
    NotificationState& s = State();
    std::lock_guard lock(s.mutex);
    const uintptr_t token = s.next;
    s.next += 4;
    s.registrations.emplace(token, Registration{window, interfaceClass, system});
    return reinterpret_cast<HDEVNOTIFY>(token);  // NOLINT(performance-no-int-to-ptr): a token
}

bool UnregisterDeviceNotification(HDEVNOTIFY registration) {
    ::HDEVNOTIFY system = nullptr;
    {
        NotificationState& s = State();
        std::lock_guard lock(s.mutex);
        auto found = s.registrations.find(reinterpret_cast<uintptr_t>(registration));
        if (found == s.registrations.end()) return false;
        system = found->second.system;
        s.registrations.erase(found);
    }
    if (system != nullptr) ::UnregisterDeviceNotification(system);
    return true;
}

void BroadcastDeviceInterfaceChange(const GUID& interfaceClass, bool arrived) {
    std::vector<HWND> windows;
    {
        NotificationState& s = State();
        std::lock_guard lock(s.mutex);
        for (const auto& [token, registration] : s.registrations) {
            if (registration.interfaceClass == interfaceClass) {
                windows.push_back(registration.window);
            }
        }
    }
    // Sent with a broadcast record, as the system sends its own notices: user32 refuses to post
    // WM_DEVICECHANGE with a DBT_ code. A window of another thread gets a second to take it; a
    // hung one is passed over.
    DEV_BROADCAST_DEVICEINTERFACE_A record{};
    record.dbcc_size = sizeof record;
    record.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    std::memcpy(&record.dbcc_classguid, &interfaceClass, sizeof interfaceClass);
    const WPARAM event = arrived ? kDbtDeviceArrival : kDbtDeviceRemoveComplete;
    for (HWND window : windows) {
        DWORD_PTR result = 0;
        ::SendMessageTimeoutA(window, kWmDeviceChange, event, reinterpret_cast<LPARAM>(&record),
                              SMTO_ABORTIFHUNG | SMTO_NORMAL, 1000, &result);
    }
}

}  // namespace velcor::platform
