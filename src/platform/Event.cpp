#include "platform/Event.h"

#include <chrono>

namespace velcor::platform {

Event::Event(Reset reset, bool initiallySignalled)
    : manual_(reset == Reset::Manual), signalled_(initiallySignalled) {}

void Event::Set() {
    // Notified under the lock: a waiter that returns may destroy the event at once, so the
    // setter must be done with it before the waiter can get the lock back.
    std::lock_guard lock(mutex_);
    signalled_ = true;
    if (manual_) {
        changed_.notify_all();
    } else {
        changed_.notify_one();
    }
}

void Event::ResetSignal() {
    std::lock_guard lock(mutex_);
    signalled_ = false;
}

bool Event::IsSignalled() const {
    std::lock_guard lock(mutex_);
    return signalled_;
}

bool Event::Wait(uint32_t timeoutMs) {
    std::unique_lock lock(mutex_);
    if (timeoutMs == kInfinite) {
        changed_.wait(lock, [this] { return signalled_; });
    } else if (!changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                  [this] { return signalled_; })) {
        return false;
    }
    if (!manual_) signalled_ = false;
    return true;
}

}  // namespace velcor::platform
