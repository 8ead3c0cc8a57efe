#include "platform/Module.h"

#include <windows.h>

namespace velcor::platform {

void* LoadModuleEntry(const std::string& path, const char* entry) {
    HMODULE module = ::LoadLibraryA(path.c_str());
    if (module == nullptr) return nullptr;
    void* function = reinterpret_cast<void*>(::GetProcAddress(module, entry));
    if (function == nullptr) ::FreeLibrary(module);
    return function;
}

std::string ModuleFileOf(const void* address) {
    HMODULE module = nullptr;
    if (!::GetModuleHandleExA(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            static_cast<LPCSTR>(address), &module)) {
        return {};
    }
    char path[MAX_PATH + 1];
    const DWORD length = ::GetModuleFileNameA(module, path, sizeof path);
    if (length == 0 || length >= sizeof path) return {};
    return std::string(path, length);
}

}  // namespace velcor::platform
