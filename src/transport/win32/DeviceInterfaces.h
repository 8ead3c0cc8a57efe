// The system's device-interface enumeration (SetupAPI): which devices of an interface class are
// present, and whether a given interface path belongs to a present device. Paths are kept as
// the system gives them.
#pragma once

#include <string>
#include <vector>

#include "platform/DriverPort.h"

namespace velcor::transport {

// The paths of the present devices that expose the interface class, in the system's order;
// empty when there are none or the class is unknown to the system.
std::vector<std::string> PresentDeviceInterfaces(const platform::GUID& interfaceClass);

// True when the system knows the interface path and the interface is active: its device is
// present and its driver has enabled it.
bool DeviceInterfaceActive(const std::string& path);

}  // namespace velcor::transport
