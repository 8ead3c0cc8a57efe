// Recursive lock with the semantics of a Win32 critical section: the owning thread may enter
// again, and must leave as often as it entered.
#pragma once

#include <mutex>

#include "platform/ThreadAnnotations.h"

namespace velcor::platform {

class VELCOR_CAPABILITY("critical section") CriticalSection {
  public:
    CriticalSection() = default;
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    void Enter() VELCOR_ACQUIRE() { mutex_.lock(); }
    void Leave() VELCOR_RELEASE() { mutex_.unlock(); }
    bool TryEnter() VELCOR_TRY_ACQUIRE(true) { return mutex_.try_lock(); }

    // Lockable, so std::unique_lock works with it.
    void lock() VELCOR_ACQUIRE() { Enter(); }
    void unlock() VELCOR_RELEASE() { Leave(); }
    bool try_lock() VELCOR_TRY_ACQUIRE(true) { return TryEnter(); }

  private:
    std::recursive_mutex mutex_;
};

// Holds a critical section for the life of the scope.
class VELCOR_SCOPED_CAPABILITY CriticalSectionLock {
  public:
    explicit CriticalSectionLock(CriticalSection& section) VELCOR_ACQUIRE(section)
        : section_(section) {
        section_.Enter();
    }
    ~CriticalSectionLock() VELCOR_RELEASE() { section_.Leave(); }
    CriticalSectionLock(const CriticalSectionLock&) = delete;
    CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;

  private:
    CriticalSection& section_;
};

}  // namespace velcor::platform
