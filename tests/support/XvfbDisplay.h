// A private X server for the tests that open windows: Xvfb on a display number it picks
// itself (-displayfd), 24-bit TrueColor, no listening socket but the local one. DISPLAY points
// at it for as long as the object lives and goes back to what it was afterwards. Tests that
// need a display skip when Xvfb is not installed.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>

extern char** environ;

namespace velcor::test {

class XvfbDisplay {
  public:
    // Starts the server and waits up to 10 s for it to accept connections.
    XvfbDisplay() {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) return;
        // The write end must survive exec in the child: a dup without close-on-exec.
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], fds[1] + 100);
        const std::string childFd = std::to_string(fds[1] + 100);
        const char* argv[] = {"Xvfb",       "-displayfd", childFd.c_str(), "-screen", "0",
                              "1920x1200x24", "-nolisten", "tcp",           "-noreset", nullptr};
        const int spawned = posix_spawnp(&pid_, "Xvfb", &actions, nullptr,
                                         const_cast<char* const*>(argv), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        if (spawned != 0) {
            pid_ = -1;
            ::close(fds[0]);
            return;
        }
        std::string number;
        pollfd p{fds[0], POLLIN, 0};
        char c = 0;
        while (::poll(&p, 1, 10000) > 0 && ::read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        ::close(fds[0]);
        if (number.empty()) {
            Stop();
            return;
        }
        const char* old = std::getenv("DISPLAY");
        if (old != nullptr) previous_ = old;
        display_ = ":" + number;
        ::setenv("DISPLAY", display_.c_str(), 1);
    }
    ~XvfbDisplay() {
        if (previous_) {
            ::setenv("DISPLAY", previous_->c_str(), 1);
        } else if (!display_.empty()) {
            ::unsetenv("DISPLAY");
        }
        Stop();
    }
    XvfbDisplay(const XvfbDisplay&) = delete;
    XvfbDisplay& operator=(const XvfbDisplay&) = delete;

    // The server runs and DISPLAY names it.
    bool Running() const { return pid_ > 0 && !display_.empty(); }
    const std::string& Name() const { return display_; }

  private:
    void Stop() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
    }

    pid_t pid_ = -1;
    std::string display_;
    std::optional<std::string> previous_;
};

}  // namespace velcor::test

// Skips the running test when no private X server could be started.
#define VELCOR_REQUIRE_DISPLAY(xvfb)                                                   \
    do {                                                                               \
        if (!(xvfb).Running()) GTEST_SKIP() << "Xvfb is not available: no display"; \
    } while (0)
