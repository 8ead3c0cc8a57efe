// Win32-style event: manual reset (stays signalled until Reset) or auto reset (one waiter
// consumes the signal).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace velcor::platform {

inline constexpr uint32_t kInfinite = 0xFFFFFFFFu;

class Event {
  public:
    enum class Reset { Manual, Auto };

    explicit Event(Reset reset, bool initiallySignalled = false);
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void Set();
    void ResetSignal();
    bool IsSignalled() const;
    // True when signalled within timeoutMs (kInfinite: no limit). An auto-reset event is
    // consumed by the waiter that sees it.
    bool Wait(uint32_t timeoutMs = kInfinite);

  private:
    const bool manual_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool signalled_;
};

}  // namespace velcor::platform
