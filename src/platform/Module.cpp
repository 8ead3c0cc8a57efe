#include "platform/Module.h"

#include <dlfcn.h>

namespace velcor::platform {

void* LoadModuleEntry(const std::string& path, const char* entry) {
    void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) return nullptr;
    void* function = ::dlsym(module, entry);
    if (function == nullptr) ::dlclose(module);
    return function;
}

std::string ModuleFileOf(const void* address) {
    Dl_info info{};
    if (::dladdr(address, &info) == 0 || info.dli_fname == nullptr) return {};
    return info.dli_fname;
}

}  // namespace velcor::platform
