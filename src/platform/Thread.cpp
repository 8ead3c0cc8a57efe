#include "platform/Thread.h"

#include <atomic>
#include <string>
#include <system_error>

#include "platform/ThreadSetup.h"

namespace velcor::platform {
namespace {

std::atomic<uint32_t> nextThreadId{1};

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
        // The thread names itself and takes its scheduling before its body runs, so whatever
        // the body does already happens under its name and priority.
        thread_ = std::thread(
            [body = std::move(body), priority, threadName = std::string(name ? name : "")] {
                SetUpThisThread(threadName, priority);
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
