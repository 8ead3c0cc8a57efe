// What every benchmark program here measures with: the calling thread's CPU time (other
// programs on a shared machine do not enter it), medians of per-round figures, and the rounds
// argument.
#pragma once

#include <time.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace velcor::bench {

inline double ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

inline double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// The program's first argument, the number of interleaved rounds; `fallback` without one.
inline int RoundsArgument(int argc, char** argv, int fallback) {
    return argc > 1 ? std::max(1, std::atoi(argv[1])) : fallback;
}

}  // namespace velcor::bench
