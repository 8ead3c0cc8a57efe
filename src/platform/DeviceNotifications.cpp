#include "platform/DeviceNotifications.h"

#include <map>
#include <mutex>
#include <vector>

#include "platform/MessageWindows.h"

namespace velcor::platform {
namespace {

struct Registration {
    HWND window;
    GUID interfaceClass;
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

}  // namespace

HDEVNOTIFY RegisterDeviceNotification(HWND window, const GUID& interfaceClass) {
    if (!platform::IsWindow(window)) return nullptr;  // as the window system refuses a stale handle
    NotificationState& s = State();
    std::lock_guard lock(s.mutex);
    const uintptr_t token = s.next;
    s.next += 4;
    s.registrations.emplace(token, Registration{window, interfaceClass});
    return reinterpret_cast<HDEVNOTIFY>(token);  // NOLINT(performance-no-int-to-ptr): a token
}

bool UnregisterDeviceNotification(HDEVNOTIFY registration) {
    NotificationState& s = State();
    std::lock_guard lock(s.mutex);
    return s.registrations.erase(reinterpret_cast<uintptr_t>(registration)) != 0;
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
    for (HWND window : windows) {
        platform::PostMessage(window, kWmDeviceChange,
                              arrived ? kDbtDeviceArrival : kDbtDeviceRemoveComplete, 0);
    }
}

}  // namespace velcor::platform
