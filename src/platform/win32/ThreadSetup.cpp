#include "platform/ThreadSetup.h"

#include <windows.h>

namespace velcor::platform {

void SetUpThisThread(const std::string& name, ThreadPriority priority) {
    // Named for debuggers where the system offers it (Windows 10 1607 on).
    using SetDescription = HRESULT(WINAPI*)(HANDLE, PCWSTR);
    static const auto setDescription = reinterpret_cast<SetDescription>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "SetThreadDescription")));
    if (setDescription != nullptr && !name.empty()) {
        const std::wstring wide(name.begin(), name.end());
        (void)setDescription(::GetCurrentThread(), wide.c_str());
    }
    int level = THREAD_PRIORITY_NORMAL;
    if (priority == ThreadPriority::Highest) level = THREAD_PRIORITY_HIGHEST;
    if (priority == ThreadPriority::TimeCritical) level = THREAD_PRIORITY_TIME_CRITICAL;
    (void)::SetThreadPriority(::GetCurrentThread(), level);
}

}  // namespace velcor::platform
