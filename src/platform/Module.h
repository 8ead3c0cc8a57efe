// Modules loaded at run time: a shared object on Linux, a DLL on Windows.
#pragma once

#include <string>

namespace velcor::platform {

// Loads the module at `path` and returns the address of its function `entry`; the module stays
// loaded when the function is found and is unloaded again otherwise. Null when either fails.
void* LoadModuleEntry(const std::string& path, const char* entry);

// The file of the module that holds `address` (the library itself, given one of its functions);
// empty when the system does not say.
std::string ModuleFileOf(const void* address);

}  // namespace velcor::platform
