// Ground of the exported-function fuzzer: the names every public header declares, the seed and
// call budget a run takes from its environment, and a watchdog that turns a call that never
// returns into a failure naming the function and the seed.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace velcor::testing {

// Every function a public header of `directory` declares as VELCOR_API ... VELCOR_CALL Name(.
inline std::set<std::string> DeclaredExports(const std::filesystem::path& directory) {
    std::set<std::string> names;
    const std::regex declaration(
        R"(VELCOR_API\s+[A-Za-z_][A-Za-z0-9_\s\*]*?\bVELCOR_CALL\s+([A-Za-z_][A-Za-z0-9_]*)\s*\()");
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        if (entry.path().extension() != ".h") continue;
        std::ifstream file(entry.path());
        std::stringstream text;
        text << file.rdbuf();
        const std::string source = text.str();
        for (std::sregex_iterator it(source.begin(), source.end(), declaration), end; it != end;
             ++it) {
            names.insert((*it)[1].str());
        }
    }
    return names;
}

// A number from the environment, or `fallback` when the variable is unset or not a number.
inline unsigned long long NumberFromEnvironment(const char* variable, unsigned long long fallback) {
    const char* text = std::getenv(variable);
    if (text == nullptr || *text == '\0') return fallback;
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text, &end, 0);
    return end != nullptr && *end == '\0' ? value : fallback;
}

// Watches the calls of a fixed number of threads. A thread announces each call with Enter and
// Leave; a call that stays inside longer than the limit aborts the process after printing the
// function's name, the thread and the seed, so a hang is a failure that can be replayed.
class CallWatchdog {
  public:
    CallWatchdog(int threads, std::chrono::milliseconds limit, unsigned seed)
        : slots_(static_cast<size_t>(threads)), limit_(limit), seed_(seed) {
        thread_ = std::thread([this] { Watch(); });
    }
    ~CallWatchdog() {
        done_ = true;
        thread_.join();
    }
    CallWatchdog(const CallWatchdog&) = delete;
    CallWatchdog& operator=(const CallWatchdog&) = delete;

    void Enter(int thread, const char* name) {
        Slot& slot = slots_[static_cast<size_t>(thread)];
        slot.name = name;
        slot.since = Now();
    }
    void Leave(int thread) { slots_[static_cast<size_t>(thread)].since = 0; }

  private:
    struct Slot {
        std::atomic<const char*> name{nullptr};
        std::atomic<int64_t> since{0};  // steady-clock milliseconds + 1; 0 while outside
    };
    static int64_t Now() {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
                   .count() +
               1;
    }
    void Watch() {
        while (!done_) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            const int64_t now = Now();
            for (size_t t = 0; t < slots_.size(); ++t) {
                const int64_t since = slots_[t].since;
                if (since != 0 && now - since > limit_.count()) {
                    const char* name = slots_[t].name;
                    std::fprintf(stderr,
                                 "hung: %s on fuzz thread %zu has not returned after %lld ms "
                                 "(VELCOR_API_FUZZ_SEED=%u)\n",
                                 name != nullptr ? name : "?", t,
                                 static_cast<long long>(now - since), seed_);
                    std::fflush(stderr);
                    std::abort();
                }
            }
        }
    }

    std::vector<Slot> slots_;
    std::chrono::milliseconds limit_;
    unsigned seed_;
    std::atomic<bool> done_{false};
    std::thread thread_;
};

}  // namespace velcor::testing
