// What a new thread does to itself before its body runs, the one part of a thread that differs
// between systems: it takes its name (for debuggers and the system's thread lists) and its
// scheduling, so that it never runs with what it inherited from the thread that created it.
#pragma once

#include <string>

#include "platform/Thread.h"

namespace velcor::platform {

void SetUpThisThread(const std::string& name, ThreadPriority priority);

}  // namespace velcor::platform
