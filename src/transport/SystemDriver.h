// Real cameras behind the bridge's kernel-mode driver. In the Windows build the engine starts
// the driver's backend of the driver port before it first looks for cameras; the environment
// variable VELCOR_DRIVER=0 keeps it off (the process then sees simulated cameras only). Other
// builds have no such driver: starting does nothing there.
#pragma once

namespace velcor::transport {

// Registers the backend once per process; false when it is off or the build has none.
bool StartSystemDriver();

}  // namespace velcor::transport
