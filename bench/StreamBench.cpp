// Callback preview end to end at the sensor's timing: frames lost between camera and
// application, CPU time of the SDK's own threads per frame, and their heap allocations per
// frame.
//
// Each run streams full frames (1280 x 1024, exposure 0.02 s, the camera at its own rate) from a
// simulated camera through the C API for `seconds`, while a child process keeps one core busy.
// The simulator makes its frames on a thread of its own, but it answers a bulk read on the
// thread that issues it and copies the frame's bytes into the ring there (what the bridge's DMA
// does without the processor on a real camera).
// So the acquisition thread's figures ("velcor-acquire", column of_it_acq) hold that simulator
// work; the worker's ("velcor-worker") are the SDK's alone. CPU time is the scheduler's
// per-thread run time, given per frame and as a ratio to a memcpy of one frame on this thread,
// measured in interleaved one-second rounds (medians). "lost" counts the frames the camera
// finished that never reached the application, the few still in the ring at the stop included.
//
// Usage: velcor_stream_bench [seconds per run, default 60] [colour modes, default 8 16]
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <velcor/VelcorSdk.h>
#include <velcor/VelcorSim.h>
#include <velcor/VelcorWin.h>

#include <dirent.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ThreadCpu.h"
#include "support/AllocationCounter.h"

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 1024;

// Wall-clock milliseconds: the runs last so long at the camera's own rate.
uint32_t NowMs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<uint32_t>(t.tv_sec * 1000 + t.tv_nsec / 1000000);
}

// Run time in nanoseconds of this process's threads with the given name (scheduler figures).
double ThreadRunNs(const char* name) {
    double total = 0;
    DIR* tasks = opendir("/proc/self/task");
    if (tasks == nullptr) return 0;
    while (dirent* entry = readdir(tasks)) {
        if (entry->d_name[0] == '.') continue;
        const std::string base = std::string("/proc/self/task/") + entry->d_name;
        char comm[32] = {};
        if (FILE* f = std::fopen((base + "/comm").c_str(), "r")) {
            if (std::fgets(comm, sizeof comm, f) == nullptr) comm[0] = 0;
            std::fclose(f);
        }
        comm[std::strcspn(comm, "\n")] = 0;
        if (std::strcmp(comm, name) != 0) continue;
        if (FILE* f = std::fopen((base + "/schedstat").c_str(), "r")) {
            unsigned long long ns = 0;
            if (std::fscanf(f, "%llu", &ns) == 1) total += static_cast<double>(ns);
            std::fclose(f);
        }
    }
    closedir(tasks);
    return total;
}

double SdkThreadsMs() {
    return (ThreadRunNs("velcor-acquire") + ThreadRunNs("velcor-worker")) / 1e6;
}
double AcquireMs() {
    return ThreadRunNs("velcor-acquire") / 1e6;
}

uint64_t SdkAllocations() {
    return velcor::test::AllocationsOnThreadsNamed("velcor-acquire") +
           velcor::test::AllocationsOnThreadsNamed("velcor-worker");
}

// A child process that spins until it is killed: one core taken from us.
pid_t StartBusyProcess() {
    const pid_t pid = fork();
    if (pid == 0) {
        volatile uint64_t n = 0;
        for (;;)
            n = n + 1;
    }
    return pid;
}

void StopBusyProcess(pid_t pid) {
    if (pid <= 0) return;
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

// Thread CPU time of one frame-sized memcpy, the yardstick of the ratios.
double MemcpyFrameMs(std::vector<uint8_t>& from, std::vector<uint8_t>& to) {
    constexpr int kCopies = 20;
    const double start = velcor::bench::ThreadCpuMs();
    for (int i = 0; i < kCopies; ++i) {
        std::memcpy(to.data(), from.data(), from.size());
        from[static_cast<size_t>(i)] ^= to[static_cast<size_t>(i) + 1];
    }
    return (velcor::bench::ThreadCpuMs() - start) / kCopies;
}

struct RunResult {
    VELCORSIM_FRAMECOUNTERS counters{};
    uint64_t delivered = 0;
    uint64_t failures = 0;
    double sdkMsPerFrame = 0;
    double acquireMsPerFrame = 0;
    double ratioToMemcpy = 0;
    double allocationsPerFrame = 0;
    double simAllocationsPerFrame = 0;
};

RunResult Run(int bits, int autoExposure, int seconds) {
    RunResult result;
    const int camera = VelcorSim_AttachCamera(0x32C0, "STREAM01");
    VelcorSim_SetFastFrames(camera, FALSE);
    HWND window = VelcorWin_CreateMessageWindow();
    const int handle = Velcor_Initialize(window);
    Velcor_SetColorMode(handle, bits);
    Velcor_SetExposureTimeEx(handle, 0.02);
    Velcor_SetAutoIris(handle, autoExposure);
    Velcor_SetPreviewWindow(handle, nullptr, 0, 0, 0, 0);
    const size_t size = static_cast<size_t>(kWidth) * kHeight * static_cast<size_t>(bits) / 8;
    std::vector<BYTE> buffer(size);
    std::vector<uint8_t> from(size, 1), to(size, 0);
    if (!Velcor_CallBackPreview(handle, window, buffer.data(), static_cast<int>(size), 1)) {
        std::fprintf(stderr, "callback preview did not start (error %d)\n",
                     Velcor_GetLastError(handle));
        return result;
    }
    VELCORMSG m{};
    auto take = [&](uint32_t untilMs) {
        uint64_t frames = 0;
        for (;;) {
            const uint32_t now = NowMs();
            if (static_cast<int32_t>(untilMs - now) <= 0) break;
            if (!VelcorWin_GetMessage(&m, window, VELCOR_WM_FRAME, VELCOR_WM_FRAME,
                                      static_cast<int>(untilMs - now))) {
                continue;
            }
            if (m.wParam != 0) {
                ++frames;
            } else {
                ++result.failures;
            }
        }
        return frames;
    };
    // Settle: the first frames grow queues and pools.
    result.delivered += take(NowMs() + 1000);
    const uint64_t allocationsBefore = SdkAllocations();
    const uint64_t simAllocationsBefore = velcor::test::AllocationsOnThreadsNamed("velcor-sim");
    uint64_t measuredFrames = 0;
    std::vector<double> ratios, perFrame, acquirePerFrame;
    for (int round = 0; round < seconds; ++round) {
        const double cpuBefore = SdkThreadsMs();
        const double acquireBefore = AcquireMs();
        const uint64_t frames = take(NowMs() + 1000);
        const double cpu = SdkThreadsMs() - cpuBefore;
        const double acquire = AcquireMs() - acquireBefore;
        const double memcpyMs = MemcpyFrameMs(from, to);
        result.delivered += frames;
        measuredFrames += frames;
        if (frames > 0) {
            perFrame.push_back(cpu / static_cast<double>(frames));
            acquirePerFrame.push_back(acquire / static_cast<double>(frames));
            ratios.push_back(perFrame.back() / memcpyMs);
        }
    }
    const uint64_t allocations = SdkAllocations() - allocationsBefore;
    const uint64_t simAllocations =
        velcor::test::AllocationsOnThreadsNamed("velcor-sim") - simAllocationsBefore;
    Velcor_StopPreview(handle);
    while (VelcorWin_GetMessage(&m, window, VELCOR_WM_FRAME, VELCOR_WM_FRAME, 0)) {
        if (m.wParam != 0) ++result.delivered;
    }
    VelcorSim_GetFrameCounters(handle, &result.counters);
    result.sdkMsPerFrame = velcor::bench::Median(perFrame);
    result.ratioToMemcpy = velcor::bench::Median(ratios);
    result.acquireMsPerFrame = velcor::bench::Median(acquirePerFrame);
    result.allocationsPerFrame =
        measuredFrames > 0 ? static_cast<double>(allocations) / static_cast<double>(measuredFrames)
                           : 0;
    result.simAllocationsPerFrame = measuredFrames > 0 ? static_cast<double>(simAllocations) /
                                                             static_cast<double>(measuredFrames)
                                                       : 0;
    Velcor_Release(handle);
    VelcorWin_DestroyWindow(window);
    VelcorSim_DetachCamera(camera);
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
    // Colour modes to run, 8 and 16 unless given.
    std::vector<int> modes;
    for (int i = 2; i < argc; ++i)
        modes.push_back(std::atoi(argv[i]));
    if (modes.empty()) modes = {8, 16};
    std::printf(
        "callback preview, 1280 x 1024 at the sensor's rate, exposure 0.02 s, %d s per run, "
        "one core kept busy by another process\n",
        seconds);
    std::printf("%-5s %-4s %9s %9s %8s %10s %9s %6s %11s %11s %12s %12s %12s\n", "bits", "ae",
                "finished", "read", "dropped", "delivered", "failures", "lost", "sdk_ms/frm",
                "of_it_acq", "x_memcpy_frm", "allocs/frm", "sim_allocs");
    for (const int bits : modes) {
        for (const int ae : {0, 1}) {
            const pid_t busy = StartBusyProcess();
            const RunResult r = Run(bits, ae, seconds);
            StopBusyProcess(busy);
            const long long lost =
                static_cast<long long>(r.counters.finished) - static_cast<long long>(r.delivered);
            std::printf(
                "%-5d %-4d %9llu %9llu %8llu %10llu %9llu %6lld %11.3f %11.3f %12.3f %12.2f "
                "%12.2f\n",
                bits, ae, r.counters.finished, r.counters.read, r.counters.dropped,
                static_cast<unsigned long long>(r.delivered),
                static_cast<unsigned long long>(r.failures), lost, r.sdkMsPerFrame,
                r.acquireMsPerFrame, r.ratioToMemcpy, r.allocationsPerFrame,
                r.simAllocationsPerFrame);
            std::fflush(stdout);
        }
    }
    return 0;
}
