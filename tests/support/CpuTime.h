// CPU time for the tests that bound a cost as a ratio to a copy measured in the same run: the
// machines are shared, so wall time would measure the neighbours.
#pragma once

#include <sys/resource.h>
#include <time.h>

namespace velcor::test {

// Milliseconds of CPU the calling thread has used.
inline double ThreadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// Milliseconds of CPU, user and system, that every thread of the process has used.
inline double ProcessCpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

}  // namespace velcor::test
