// What every benchmark program here measures with: the calling thread's CPU time (other
// programs on a shared machine do not enter it), medians of per-round figures, and the rounds
// argument.
#pragma once

#include <dirent.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string>
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

inline double ProcessCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// CPU time in milliseconds of this process's threads with the given name ("velcor-worker",
// "velcor-acquire", "velcor-sim"), from /proc in clock ticks; threads that ended are not in it.
inline double NamedThreadsCpuMs(const char* name) {
    double total = 0.0;
    DIR* tasks = opendir("/proc/self/task");
    if (tasks == nullptr) return 0.0;
    const double msPerTick = 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
    while (dirent* entry = readdir(tasks)) {
        if (entry->d_name[0] == '.') continue;
        const std::string base = std::string("/proc/self/task/") + entry->d_name;
        std::ifstream comm(base + "/comm");
        std::string threadName;
        std::getline(comm, threadName);
        if (threadName != name) continue;
        std::ifstream stat(base + "/stat");
        std::string line;
        std::getline(stat, line);
        // After the parenthesised name: state is field 3, utime 14, stime 15.
        const size_t close = line.rfind(')');
        if (close == std::string::npos) continue;
        std::vector<std::string> fields;
        size_t at = close + 2;
        while (at < line.size()) {
            const size_t space = line.find(' ', at);
            fields.push_back(line.substr(at, space - at));
            if (space == std::string::npos) break;
            at = space + 1;
        }
        if (fields.size() > 12) {
            total += (std::atof(fields[11].c_str()) + std::atof(fields[12].c_str())) * msPerTick;
        }
    }
    closedir(tasks);
    return total;
}

// The program's first argument, the number of interleaved rounds; `fallback` without one.
inline int RoundsArgument(int argc, char** argv, int fallback) {
    return argc > 1 ? std::max(1, std::atoi(argv[1])) : fallback;
}

}  // namespace velcor::bench
