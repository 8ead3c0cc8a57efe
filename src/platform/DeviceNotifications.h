// Device-interface notifications: a window registered for an interface class receives
// WM_DEVICECHANGE (0x0219) with wParam DBT_DEVICEARRIVAL (0x8000) when a device interface of
// that class arrives and DBT_DEVICEREMOVECOMPLETE (0x8004) when one leaves; lParam is 0.
// The messages are posted, so the window's owner handles them on its own thread.
#pragma once

#include <velcor/VelcorTypes.h>

#include "platform/DriverPort.h"

namespace velcor::platform {

inline constexpr UINT kWmDeviceChange = 0x0219;
inline constexpr WPARAM kDbtDeviceArrival = 0x8000;
inline constexpr WPARAM kDbtDeviceRemoveComplete = 0x8004;

struct DeviceNotifyTag;
using HDEVNOTIFY = DeviceNotifyTag*;

// Registers the window for the interface class; null for a null or unknown window. A window may be
// registered several times; each registration posts its own message.
HDEVNOTIFY RegisterDeviceNotification(HWND window, const GUID& interfaceClass);
// False for an unknown or already unregistered registration.
bool UnregisterDeviceNotification(HDEVNOTIFY registration);

// Called by driver backends when a device interface of the class arrives or leaves.
void BroadcastDeviceInterfaceChange(const GUID& interfaceClass, bool arrived);

}  // namespace velcor::platform
