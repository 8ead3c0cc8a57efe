#include "Stream.h"

#include <velcor/VelcorErrors.h>
#include <velcor/VelcorSdk.h>
#include <velcor/VelcorSim.h>
#include <velcor/VelcorWin.h>

#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "ErrorTable.h"
#include "Reporting.h"

namespace velcor::tool {
namespace {

// CPU time of the process split by who spent it, in milliseconds: the library's own threads
// (acquisition, worker, recorder and the sensor drivers' workers, all named "velcor-..."), the
// simulated cameras' thread ("velcor-sim") and the whole process. The threads' figures come from
// /proc in clock ticks (10 ms on most systems), so they are meaningful over many frames only.
struct CpuSplit {
    double process = 0;
    double library = 0;
    double simulator = 0;
    bool threadsKnown = false;  // /proc told the threads apart
};

CpuSplit CpuNow() {
    CpuSplit cpu;
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    cpu.process = static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
    std::error_code error;
    std::filesystem::directory_iterator tasks("/proc/self/task", error);
    if (error) return cpu;
    const double msPerTick = 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
    for (const auto& task : tasks) {
        std::ifstream stat(task.path() / "stat");
        std::string line;
        if (!std::getline(stat, line)) continue;
        // pid (name) state ... with utime and stime the 14th and 15th fields.
        const size_t open = line.find('(');
        const size_t close = line.rfind(')');
        if (open == std::string::npos || close == std::string::npos || close < open) continue;
        const std::string name = line.substr(open + 1, close - open - 1);
        char state = 0;
        unsigned long long utime = 0, stime = 0;
        if (std::sscanf(line.c_str() + close + 1,
                        " %c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &state, &utime,
                        &stime) != 3) {
            continue;
        }
        cpu.threadsKnown = true;
        const double ms = static_cast<double>(utime + stime) * msPerTick;
        if (name == "velcor-sim") {
            cpu.simulator += ms;
        } else if (name.rfind("velcor-", 0) == 0) {
            cpu.library += ms;
        }
    }
    return cpu;
}

// Frame counts of a stream: made by the camera into the library's ring, delivered to this
// process, lost (overwritten in the ring before the library took them) and failed (a frame
// message that carried an error).
struct StreamCounts {
    unsigned long long made = 0;
    unsigned long long delivered = 0;
    unsigned long long lost = 0;
    unsigned long long failed = 0;
};

void PrintStats(const char* label, const StreamCounts& counts, bool counted, double seconds,
                const CpuSplit& cpu) {
    char made[24] = "?";
    char lost[24] = "?";
    if (counted) {
        std::snprintf(made, sizeof made, "%llu", counts.made);
        std::snprintf(lost, sizeof lost, "%llu", counts.lost);
    }
    std::printf("%s %7.2f s: made %s, delivered %llu, lost %s, failed %llu", label, seconds, made,
                counts.delivered, lost, counts.failed);
    if (counts.delivered == 0) {
        std::printf("\n");
        return;
    }
    const double frames = static_cast<double>(counts.delivered);
    std::printf("; CPU per frame %.3f ms", cpu.process / frames);
    if (cpu.threadsKnown) {
        std::printf(" (library threads %.3f ms, simulator %.3f ms)", cpu.library / frames,
                    cpu.simulator / frames);
    }
    std::printf("\n");
    std::fflush(stdout);
}

CpuSplit CpuSince(const CpuSplit& then) {
    CpuSplit now = CpuNow();
    now.process -= then.process;
    now.library -= then.library;
    now.simulator -= then.simulator;
    now.threadsKnown = now.threadsKnown && then.threadsKnown;
    return now;
}

volatile std::sig_atomic_t interrupted = 0;

void OnInterrupt(int) {
    interrupted = 1;
}

// Ctrl-C ends the stream, not the process, while it is in scope; the handler before it comes
// back afterwards.
class InterruptCatcher {
  public:
    InterruptCatcher() {
        interrupted = 0;
        struct sigaction action {};
        action.sa_handler = OnInterrupt;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &previous_);
    }
    ~InterruptCatcher() { sigaction(SIGINT, &previous_, nullptr); }
    InterruptCatcher(const InterruptCatcher&) = delete;
    InterruptCatcher& operator=(const InterruptCatcher&) = delete;

  private:
    struct sigaction previous_ {};
};

// The figures of the stretch of the stream that ended `at` seconds into it and lasted `seconds`:
// frames per second, MiB per second, dropped, failed.
void PrintRate(double at, unsigned long long frames, double seconds, double frameBytes,
               bool counted, unsigned long long dropped, unsigned long long failed) {
    const double rate = seconds > 0 ? static_cast<double>(frames) / seconds : 0.0;
    char droppedText[24] = "?";
    if (counted) std::snprintf(droppedText, sizeof droppedText, "%llu", dropped);
    std::printf("%7.2f s: %6.1f frames/s, %7.1f MiB/s, %s dropped, %llu failed\n", at, rate,
                rate * frameBytes / (1024.0 * 1024.0), droppedText, failed);
    std::fflush(stdout);
}

}  // namespace

int Stream(int camera, int simulatedCamera, const StreamOptions& options) {
    TakeErrors(camera);
    if (!Velcor_SetColorMode(camera, options.bits)) return Failed(camera, "stream", "refused");
    if (options.fastScene && simulatedCamera != 0) {
        VelcorSim_SetFastRender(simulatedCamera, TRUE);
    }
    HWND window = VelcorWin_CreateMessageWindow();
    Velcor_SetWaitTime(camera, 0);
    // No preview window: frames reach this process as messages only.
    Velcor_SetPreviewWindow(camera, nullptr, 0, 0, 0, 0);
    VELCORSIM_FRAMECOUNTERS before{};
    bool counted = VelcorSim_GetFrameCounters(camera, &before) != FALSE;
    const InterruptCatcher catcher;
    if (!Velcor_CallBackPreview(camera, window, nullptr, 0, 1)) {
        VelcorWin_DestroyWindow(window);
        return Failed(camera, "stream", "could not start");
    }
    // Every frame of a stream has the capture's size and the colour mode's depth.
    const double frameBytes = static_cast<double>(Velcor_Width(camera)) * Velcor_Height(camera) *
                              Velcor_GetColorMode(camera) / 8.0;
    using Clock = std::chrono::steady_clock;
    constexpr auto kSilence = std::chrono::milliseconds(5000);  // no message: the stream is over
    // Waits are short so that Ctrl-C is seen at once whichever thread the signal reached.
    constexpr auto kPoll = std::chrono::milliseconds(50);
    const CpuSplit cpuStart = CpuNow();
    StreamCounts total;
    StreamCounts tick;  // since the last line
    VELCORSIM_FRAMECOUNTERS tickCounters = before;
    CpuSplit tickCpu = cpuStart;
    const auto start = Clock::now();
    const auto end = options.seconds > 0
                         ? start + std::chrono::duration_cast<Clock::duration>(
                                       std::chrono::duration<double>(options.seconds))
                         : Clock::time_point::max();
    auto lastMessage = start;
    auto lastLine = start;
    auto nextLine = start + std::chrono::seconds(1);
    // Frames the camera made and lost since `from`, as the library's counters tell.
    auto cameraCounts = [&](const VELCORSIM_FRAMECOUNTERS& from, StreamCounts& counts,
                            VELCORSIM_FRAMECOUNTERS* now) {
        VELCORSIM_FRAMECOUNTERS current{};
        if (!counted || VelcorSim_GetFrameCounters(camera, &current) == FALSE) {
            counted = false;
            return;
        }
        counts.made = current.finished - from.finished;
        counts.lost = current.dropped - from.dropped;
        if (now != nullptr) *now = current;
    };
    auto printLine = [&](Clock::time_point now) {
        VELCORSIM_FRAMECOUNTERS current{};
        cameraCounts(tickCounters, tick, &current);
        const double elapsed = std::chrono::duration<double>(now - start).count();
        PrintRate(elapsed, tick.delivered, std::chrono::duration<double>(now - lastLine).count(),
                  frameBytes, counted, tick.lost, tick.failed);
        if (options.stats) PrintStats("stats", tick, counted, elapsed, CpuSince(tickCpu));
        tickCounters = current;
        tickCpu = CpuNow();
        tick = StreamCounts{};
        lastLine = now;
    };
    bool silent = false;
    bool cameraStopped = false;
    bool saveFailed = false;
    VELCORMSG m{};
    while ((options.frames == 0 || static_cast<int>(total.delivered) < options.frames) &&
           !interrupted) {
        auto now = Clock::now();
        if (now >= nextLine) {
            printLine(now);
            while (nextLine <= now)
                nextLine += std::chrono::seconds(1);
        }
        if (now >= end) break;
        if (now - lastMessage >= kSilence) {
            silent = true;
            break;
        }
        auto wait = std::min(
            {lastMessage + kSilence - now, nextLine - now, end - now, Clock::duration(kPoll)});
        wait = std::max(wait, Clock::duration(0));
        const auto waitMs = std::chrono::ceil<std::chrono::milliseconds>(wait).count();
        const bool got = VelcorWin_GetMessage(&m, window, 0, 0, static_cast<UINT>(waitMs)) != FALSE;
        if (!got) continue;
        now = Clock::now();
        lastMessage = now;
        if (m.message != VELCOR_WM_FRAME) continue;
        if (m.wParam != 0) {
            ++total.delivered;
            ++tick.delivered;
            if (!options.saveDir.empty()) {
                char name[32];
                std::snprintf(name, sizeof name, "frame_%06llu%s", total.delivered,
                              options.format->extension);
                if (!SaveFrame(camera, (std::filesystem::path(options.saveDir) / name).string(),
                               *options.format)) {
                    ++total.failed;
                    saveFailed = true;
                    break;
                }
            }
        } else {
            ++total.failed;
            ++tick.failed;
            const int code = static_cast<int>(m.lParam);
            std::fprintf(stderr, "velcor: frame failed: %s\n", DescribeError(code).c_str());
            if (code == VELCOR_ERR_STOPPED) {
                cameraStopped = true;
                break;
            }
        }
    }
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    const CpuSplit cpu = CpuSince(cpuStart);
    Velcor_StopPreview(camera);
    VelcorWin_DestroyWindow(window);
    if (interrupted) std::printf("interrupted\n");
    // Dropped: frames the camera finished into the library's ring that were overwritten
    // before the library handed them out.
    cameraCounts(before, total, nullptr);
    char dropped[32] = "unknown";
    if (counted) std::snprintf(dropped, sizeof dropped, "%llu", total.lost);
    const unsigned long long received = total.delivered;
    if (options.stats) PrintStats("total", total, counted, elapsed, cpu);
    const double rate = elapsed > 0 ? static_cast<double>(received) / elapsed : 0.0;
    std::printf(
        "%llu frames in %.3f s: %.1f frames per second, %llu failed, %s dropped, %.1f MiB/s\n",
        received, elapsed, rate, total.failed, dropped, rate * frameBytes / (1024.0 * 1024.0));
    if (silent) std::fprintf(stderr, "velcor: stream: no frame for 5 s\n");
    return silent || cameraStopped || saveFailed ? kExitFailure : kExitOk;
}

}  // namespace velcor::tool
