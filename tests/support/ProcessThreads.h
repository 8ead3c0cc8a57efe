// The threads and open descriptors of this process, read from /proc, for tests that prove
// nothing is left running or open behind them.
#pragma once

#include <dirent.h>
#include <sys/types.h>

#include <fstream>
#include <string>
#include <vector>

namespace velcor::test {

struct ThreadOfProcess {
    pid_t tid;
    std::string name;
};

inline std::vector<ThreadOfProcess> ThreadsOfThisProcess() {
    std::vector<ThreadOfProcess> threads;
    DIR* dir = opendir("/proc/self/task");
    if (dir == nullptr) return threads;
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.') continue;
        std::ifstream comm(std::string("/proc/self/task/") + entry->d_name + "/comm");
        std::string name;
        std::getline(comm, name);
        threads.push_back({static_cast<pid_t>(std::stol(entry->d_name)), name});
    }
    closedir(dir);
    return threads;
}

inline int OpenDescriptorsOfThisProcess() {
    int count = 0;
    DIR* dir = opendir("/proc/self/fd");
    if (dir == nullptr) return count;
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] != '.') ++count;
    }
    closedir(dir);
    return count - 1;  // the descriptor of this very listing
}

}  // namespace velcor::test
