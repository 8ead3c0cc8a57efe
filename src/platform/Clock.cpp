#include "platform/Clock.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace velcor::platform {
namespace {

// The tick reads 10 s before the 32-bit wrap when the process starts.
constexpr uint32_t kTickAtStart = 0xFFFFFFFFu - 10000u;

std::atomic<int> virtualScopes{0};
std::atomic<uint64_t> virtualOffsetMs{0};

uint64_t RealMillisecondsSinceStart() {
    static const auto start = std::chrono::steady_clock::now();
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now() - start)
                                     .count());
}

}  // namespace

uint32_t TimeGetTime() {
    return static_cast<uint32_t>(kTickAtStart + RealMillisecondsSinceStart() +
                                 virtualOffsetMs.load());
}

uint32_t GetTickCount() {
    return TimeGetTime();
}

void Sleep(uint32_t milliseconds) {
    if (virtualScopes.load() > 0) {
        virtualOffsetMs.fetch_add(milliseconds);
        std::this_thread::yield();
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

uint64_t VirtualMillisecondsSlept() {
    return virtualOffsetMs.load();
}

VirtualTimeScope::VirtualTimeScope() {
    (void)RealMillisecondsSinceStart();
    virtualScopes.fetch_add(1);
}

VirtualTimeScope::~VirtualTimeScope() {
    virtualScopes.fetch_sub(1);
}

}  // namespace velcor::platform
