#include "platform/Thread.h"

#include <pthread.h>
#include <sched.h>

#include <atomic>
#include <system_error>

namespace velcor::platform {
namespace {

std::atomic<uint32_t> nextThreadId{1};

// Real-time scheduling needs privileges that a normal process lacks; then the thread keeps
// its normal priority, as Windows would clamp a request it cannot grant.
void ApplyPriority(std::thread& thread, ThreadPriority priority) {
    if (priority == ThreadPriority::Normal) return;
    sched_param param{};
    const int policy = SCHED_RR;
    const int top = sched_get_priority_max(policy);
    param.sched_priority = priority == ThreadPriority::TimeCritical ? top : top / 2;
    (void)pthread_setschedparam(thread.native_handle(), policy, &param);
}

}  // namespace

Thread::~Thread() {
    Join();
}

bool Thread::Start(std::function<void()> body, ThreadPriority priority, const char* name) {
    if (thread_.joinable() || !body) return false;
    try {
        thread_ = std::thread(std::move(body));
    } catch (const std::system_error&) {
        return false;
    }
    if (name != nullptr) (void)pthread_setname_np(thread_.native_handle(), name);
    id_ = nextThreadId.fetch_add(1);
    if (id_ == 0) id_ = nextThreadId.fetch_add(1);
    ApplyPriority(thread_, priority);
    return true;
}

void Thread::Join() {
    if (!thread_.joinable()) return;
    if (IsCurrent()) {
        // A thread cannot wait for itself; its owner is going away on it, so let it finish.
        thread_.detach();
    } else {
        thread_.join();
    }
    id_ = 0;
}

}  // namespace velcor::platform
