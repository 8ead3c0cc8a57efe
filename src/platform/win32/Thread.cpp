#include "platform/Thread.h"

#include <windows.h>

#include <atomic>
#include <string>
#include <system_error>

namespace velcor::platform {
namespace {

std::atomic<uint32_t> nextThreadId{1};

// Every thread sets its own priority before its body runs, so it never runs with what it
// inherited from the thread that created it.
void ApplyPriority(ThreadPriority priority) {
    int level = THREAD_PRIORITY_NORMAL;
    if (priority == ThreadPriority::Highest) level = THREAD_PRIORITY_HIGHEST;
    if (priority == ThreadPriority::TimeCritical) level = THREAD_PRIORITY_TIME_CRITICAL;
    (void)::SetThreadPriority(::GetCurrentThread(), level);
}

// Names the thread for debuggers where the system offers it (Windows 10 1607 on).
void NameThread(const std::string& name) {
    using SetDescription = HRESULT(WINAPI*)(HANDLE, PCWSTR);
    static const auto setDescription = reinterpret_cast<SetDescription>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "SetThreadDescription")));
    if (setDescription == nullptr || name.empty()) return;
    const std::wstring wide(name.begin(), name.end());
    (void)setDescription(::GetCurrentThread(), wide.c_str());
}

std::atomic<bool> processEnding{false};

}  // namespace

void MarkProcessEnding() {
    processEnding.store(true);
}

bool ProcessEnding() {
    return processEnding.load();
}

Thread::~Thread() {
    Join();
}

bool Thread::Start(std::function<void()> body, ThreadPriority priority, const char* name) {
    if (thread_.joinable() || !body) return false;
    try {
        thread_ = std::thread(
            [body = std::move(body), priority, threadName = std::string(name ? name : "")] {
                NameThread(threadName);
                ApplyPriority(priority);
                body();
            });
    } catch (const std::system_error&) {
        return false;
    }
    id_ = nextThreadId.fetch_add(1);
    if (id_ == 0) id_ = nextThreadId.fetch_add(1);
    return true;
}

void Thread::Join() {
    if (!thread_.joinable()) return;
    if (IsCurrent() || ProcessEnding()) {
        // A thread cannot wait for itself; its owner is going away on it, so let it finish.
        // Once the process is ending the thread is gone already and is never waited for.
        thread_.detach();
    } else {
        thread_.join();
    }
    id_ = 0;
}

}  // namespace velcor::platform
