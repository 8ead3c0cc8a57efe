// Millisecond clock and sleep with the semantics of timeGetTime / GetTickCount / Sleep.
//
// The tick is monotonic and 32 bits wide; it starts a few seconds before its wrap point so
// that code which mishandles the wrap fails early instead of after 49 days.
//
// Test mode: while a VirtualTimeScope is alive, Sleep returns at once and advances the clock by
// the time asked, so start-up sequences that poll for half a minute run instantly and still
// see the time they expect pass.
#pragma once

#include <cstdint>

namespace velcor::platform {

uint32_t TimeGetTime();
uint32_t GetTickCount();
void Sleep(uint32_t milliseconds);

// Milliseconds slept through virtually while a VirtualTimeScope was alive, in total.
uint64_t VirtualMillisecondsSlept();

class VirtualTimeScope {
  public:
    VirtualTimeScope();
    ~VirtualTimeScope();
    VirtualTimeScope(const VirtualTimeScope&) = delete;
    VirtualTimeScope& operator=(const VirtualTimeScope&) = delete;
};

}  // namespace velcor::platform
