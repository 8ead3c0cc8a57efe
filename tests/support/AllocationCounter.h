// Counts heap allocations so that tests can prove a path allocates nothing per frame. The test
// binary replaces the global allocation functions; each allocation bumps a counter of the
// calling thread and, for the library's named threads, a counter of that name.
#pragma once

#include <cstdint>

namespace velcor::test {

// Allocations made so far by the calling thread.
uint64_t AllocationsOnThisThread();
// Allocations made so far by threads that carry this name ("velcor-worker", "velcor-acquire",
// "velcor-recorder", and the simulated cameras' "velcor-sim").
uint64_t AllocationsOnThreadsNamed(const char* name);

}  // namespace velcor::test
