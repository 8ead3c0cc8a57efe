#include "platform/Thread.h"

#include <pthread.h>
#include <sched.h>

#include <atomic>
#include <string>
#include <system_error>

namespace velcor::platform {
namespace {

std::atomic<uint32_t> nextThreadId{1};

// Every thread sets its own scheduling before its body runs, so it never runs with what it
// inherited from the thread that created it: a normal thread made by a real-time thread is a
// normal thread. Real-time scheduling needs privileges that a normal process lacks; then the
// request is refused and the thread keeps running at normal priority, as Windows would clamp a
// request it cannot grant.
void ApplyPriority(ThreadPriority priority) {
    sched_param param{};
    if (priority == ThreadPriority::Normal) {
        param.sched_priority = 0;
        (void)pthread_setschedparam(pthread_self(), SCHED_OTHER, &param);
        return;
    }
    const int policy = SCHED_RR;
    const int top = sched_get_priority_max(policy);
    param.sched_priority = priority == ThreadPriority::TimeCritical ? top : top / 2;
    if (pthread_setschedparam(pthread_self(), policy, &param) != 0) {
        // Refused: make sure the thread is not left with a policy inherited from its creator.
        param.sched_priority = 0;
        (void)pthread_setschedparam(pthread_self(), SCHED_OTHER, &param);
    }
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
        // The thread names itself before its body runs, so whatever the body does already
        // happens under its name.
        thread_ = std::thread(
            [body = std::move(body), priority, threadName = std::string(name ? name : "")] {
                if (!threadName.empty())
                    (void)pthread_setname_np(pthread_self(), threadName.c_str());
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
