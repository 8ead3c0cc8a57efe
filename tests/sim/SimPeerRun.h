// Runs the peer program (tests/peer) beside a test, on the test's own shared device table
// and with the test's environment (so its settings store too), and collects what it printed.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "transport/Fx3Api.h"

extern char** environ;

namespace velcor::testing {

struct PeerRun {
    int status = -1;  // exit status, -1 when it did not exit normally
    std::string output;
};

// Runs the peer program on this test's shared table and waits for it.
inline PeerRun RunPeer(const std::vector<std::string>& arguments) {
    std::vector<std::string> words = {VELCOR_SIM_PEER, "--table", CFx3Api::TableName()};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    PeerRun run;
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (spawned == 0) {
        char buffer[4096];
        for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) != 0;) {
            if (n > 0) run.output.append(buffer, static_cast<size_t>(n));
        }
        int status = 0;
        waitpid(pid, &status, 0);
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    close(out[0]);
    return run;
}

}  // namespace velcor::testing
