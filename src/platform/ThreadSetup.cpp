#include "platform/ThreadSetup.h"

#include <pthread.h>
#include <sched.h>

namespace velcor::platform {
namespace {

// Real-time scheduling needs privileges that a normal process lacks; then the request is refused
// and the thread keeps running at normal priority, as Windows would clamp a request it cannot
// grant. A normal thread made by a real-time thread is a normal thread.
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

}  // namespace

void SetUpThisThread(const std::string& name, ThreadPriority priority) {
    if (!name.empty()) (void)pthread_setname_np(pthread_self(), name.c_str());
    ApplyPriority(priority);
}

}  // namespace velcor::platform
