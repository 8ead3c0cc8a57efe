// velcor_soak: runs callback preview on a simulated ROZE9701 camera for a long time, the way an
// application would, and checks that the process does not keep growing.
//
//   velcor_soak [--frames N] [--out DIR] [--sample-seconds S]
//
// The program attaches a simulated camera (serial SOAK0001, fast frames), opens it, previews
// at 1280 x 1024 with a frame window and an application buffer, copies every delivered frame
// out of that buffer and changes a setting every second (exposure, gain, black level, gain
// mode, mirrors, brightness, contrast, gamma, and every tenth second the colour mode, which
// applies when the preview restarts). Every S seconds (default 10) it samples the frames
// delivered and dropped, the resident size, the threads and the open descriptors. At the end it
// writes DIR/soak.csv and DIR/soak.png (through gnuplot) and judges the samples:
//
//   warm-up      the first 20 % of the samples (at least one) are not judged;
//   resident     growth = largest RSS of the last third of the samples minus largest RSS of the
//                middle third; slope = least-squares slope of RSS over frames after warm-up, in
//                kB per 10^4 frames. The resident size keeps growing when growth > 256 kB and
//                slope > 10 kB per 10^4 frames;
//   threads,     grow when the largest count of the last third exceeds the count at the end of
//   descriptors  warm-up.
//
// Fewer than 6 samples are too few to judge; the run then passes with a note.
// N defaults to 100000 or VELCOR_SOAK_FRAMES; DIR to build/soak.
//
// Exit status: 0 no growth; 1 growth, or the soak could not run to its end (camera not opened,
// frames stopped, outputs not written); 2 wrong command line.
#include <velcor/VelcorErrors.h>
#include <velcor/VelcorSdk.h>
#include <velcor/VelcorSim.h>
#include <velcor/VelcorWin.h>

#include <dirent.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

constexpr unsigned short kProductRoze9701 = 0x32C0;
constexpr int kWidth = 1280;
constexpr int kHeight = 1024;
// Room for a full frame at 16 bits per pixel, the deepest mode of this camera.
constexpr int kBufferBytes = kWidth * kHeight * 2;
constexpr int kHistoryDepth = 20;
// A preview that delivers nothing for this long has stopped.
constexpr int kFrameSilenceMs = 5000;

// Judging the samples.
constexpr double kWarmUpShare = 0.2;
constexpr long kRssSlackKb = 256;
constexpr double kRssSlopeLimitKbPer10k = 10.0;
constexpr size_t kMinSamplesToJudge = 6;

using Clock = std::chrono::steady_clock;

struct Options {
    long long frames = 100000;
    std::string outDir = "build/soak";
    int sampleSeconds = 10;
};

struct Sample {
    double elapsedS = 0;
    unsigned long long frames = 0;
    unsigned long long dropped = 0;
    long rssKb = 0;
    int threads = 0;
    int descriptors = 0;
};

int Usage() {
    std::fprintf(stderr,
                 "usage: velcor_soak [--frames N] [--out DIR] [--sample-seconds S]\n"
                 "  --frames N          frames to deliver (default 100000, or VELCOR_SOAK_FRAMES)\n"
                 "  --out DIR           where soak.csv and soak.png go (default build/soak)\n"
                 "  --sample-seconds S  seconds between samples (default 10)\n");
    return kExitUsage;
}

bool ParseCount(const char* text, long long minimum, long long* out) {
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text, &end, 10);
    if (end == text || *end != '\0' || errno != 0 || value < minimum) return false;
    *out = value;
    return true;
}

// ---- What the process holds --------------------------------------------------------------

long ResidentKb() {
    std::unique_ptr<FILE, int (*)(FILE*)> status(std::fopen("/proc/self/status", "r"), std::fclose);
    if (!status) return -1;
    char line[256];
    while (std::fgets(line, sizeof line, status.get()) != nullptr) {
        long kb = 0;
        if (std::sscanf(line, "VmRSS: %ld kB", &kb) == 1) return kb;
    }
    return -1;
}

// Entries of a /proc directory, without "." and ".." and without the descriptor the listing
// itself holds open.
int CountEntries(const char* path) {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(path), closedir);
    if (!dir) return -1;
    const std::string own = std::to_string(dirfd(dir.get()));
    const bool listingFds = std::strcmp(path, "/proc/self/fd") == 0;
    int count = 0;
    while (const dirent* entry = readdir(dir.get())) {
        if (entry->d_name[0] == '.') continue;
        if (listingFds && own == entry->d_name) continue;
        ++count;
    }
    return count;
}

// ---- The camera, as an application drives it ----------------------------------------------

class SoakCamera {
  public:
    SoakCamera() = default;
    ~SoakCamera() {
        if (handle_ != 0) {
            Velcor_StopPreview(handle_);
            Velcor_Release(handle_);
        }
        if (window_ != nullptr) VelcorWin_DestroyWindow(window_);
        if (simId_ != 0) VelcorSim_DetachCamera(simId_);
    }
    SoakCamera(const SoakCamera&) = delete;
    SoakCamera& operator=(const SoakCamera&) = delete;

    bool Open() {
        simId_ = VelcorSim_AttachCamera(kProductRoze9701, "SOAK0001");
        if (simId_ <= 0) return Fail("cannot attach the simulated camera SOAK0001");
        if (!VelcorSim_SetFastFrames(simId_, TRUE)) return Fail("cannot set fast frames");
        window_ = VelcorWin_CreateMessageWindow();
        if (window_ == nullptr) return Fail("cannot create a message window");
        handle_ = Velcor_Initialize(window_);
        if (handle_ == 0) return Fail("Velcor_Initialize made no camera object");
        if (!TakeErrors("opening the camera")) return false;
        info_.size = sizeof info_;
        if (!Velcor_GetCameraInfo(handle_, &info_)) return Fail("Velcor_GetCameraInfo failed");
        if (info_.maxWidth != kWidth || info_.maxHeight != kHeight) {
            return Fail("the camera is not 1280 x 1024");
        }
        if (!Velcor_SetCaptureWindowEx(handle_, kWidth, 0, kWidth, kHeight, 0, kHeight) ||
            !Velcor_SetColorMode(handle_, 8) || !Velcor_SetWaitTime(handle_, 0)) {
            TakeErrors("setting up the capture");
            return Fail("cannot set full frame, 8 bits and no pause");
        }
        // No preview window: frames reach the application as messages only.
        Velcor_SetPreviewWindow(handle_, nullptr, 0, 0, 0, 0);
        return true;
    }

    bool StartPreview() {
        if (!Velcor_CallBackPreview(handle_, window_, buffer_.data(), kBufferBytes, 1)) {
            TakeErrors("starting callback preview");
            return Fail("callback preview did not start");
        }
        return true;
    }

    // Waits for the next message and consumes it. False when frames stopped or failed.
    bool Pump(int timeoutMs) {
        VELCORMSG m{};
        if (!VelcorWin_GetMessage(&m, window_, 0, 0, timeoutMs)) return true;
        lastMessage_ = Clock::now();
        if (m.message == VELCOR_WM_ERROR) {
            // Code 0 is a success notice, not an error.
            if (m.lParam == VELCOR_ERR_NONE) return true;
            ++errorMessages_;
            ReportError("error message", static_cast<int>(m.lParam));
            return true;
        }
        if (m.message != VELCOR_WM_FRAME) return true;
        if (m.wParam == 0) {
            ++failedFrames_;
            const int code = static_cast<int>(m.lParam);
            ReportError("frame failed", code);
            if (code == VELCOR_ERR_STOPPED) return Fail("the camera stopped delivering frames");
            return true;
        }
        CopyFrame(*reinterpret_cast<const VELCORFRAMEINFO*>(m.wParam));
        return true;
    }

    bool Silent() const {
        return Clock::now() - lastMessage_ > std::chrono::milliseconds(kFrameSilenceMs);
    }

    // The change of the given second, cycling through what an application adjusts while it
    // previews. Values stay inside the camera's ranges.
    bool Change(long long step) {
        const int k = static_cast<int>(step / 10);
        bool ok = true;
        switch (step % 10) {
            case 0: {
                static constexpr double kExposures[] = {0.001, 0.005, 0.020, 0.0005, 0.010};
                const double s = std::clamp(kExposures[k % 5], info_.exposureMinSeconds,
                                            info_.exposureMaxSeconds);
                ok = Velcor_SetExposureTimeEx(handle_, s) != FALSE;
                break;
            }
            case 1: {
                const int span = info_.globalGainMax - info_.globalGainMin;
                const int gain = info_.globalGainMin + span * (k % 5) / 4;
                ok = Velcor_SetGlobalGain(handle_, gain) != FALSE;
                break;
            }
            case 2: {
                static constexpr int kLevels[] = {0, 64, 200, 32, 128};
                ok = Velcor_SetFilterValue(handle_, VELCOR_FILTER_BLACK_LEVEL, kLevels[k % 5]);
                break;
            }
            case 3:
                ok = Velcor_SetMirrorH(handle_, k % 2) != FALSE;
                break;
            case 4:
                ok = Velcor_SetMirrorV(handle_, (k / 2) % 2) != FALSE;
                break;
            case 5:
                ok = Velcor_SetFilterValue(handle_, VELCOR_FILTER_GAIN_MODE, k % 2) != FALSE;
                break;
            case 6: {
                static constexpr int kBrightness[] = {0, 40, -40, 100, -10};
                ok = Velcor_SetBrightness(handle_, kBrightness[k % 5]) != FALSE;
                break;
            }
            case 7: {
                static constexpr int kContrast[] = {0, 30, -30, 60, 10};
                ok = Velcor_SetContrast(handle_, kContrast[k % 5]) != FALSE;
                break;
            }
            case 8: {
                static constexpr int kGamma[] = {100, 80, 120, 150, 100};
                ok = Velcor_SetGamma(handle_, kGamma[k % 5]) != FALSE;
                break;
            }
            case 9: {
                // The colour mode applies at the next start: the application restarts.
                ok = Velcor_SetColorMode(handle_, k % 2 == 0 ? 16 : 8) != FALSE;
                ok = ok && Velcor_StopPreview(handle_) != FALSE;
                ++restarts_;
                ok = ok && StartPreview();
                break;
            }
        }
        // A reader of status, as a status bar would show.
        int readOk = 0;
        Velcor_GetExposureTimeEx(handle_, &readOk);
        const bool history = TakeErrors("changing settings");
        if (!ok) return Fail("a settings change was refused");
        return history;
    }

    bool Counters(VELCORSIM_FRAMECOUNTERS* counters) const {
        return VelcorSim_GetFrameCounters(handle_, counters) != FALSE;
    }

    unsigned long long Delivered() const { return delivered_; }
    unsigned long long FailedFrames() const { return failedFrames_; }
    unsigned long long ErrorMessages() const { return errorMessages_; }
    long long Restarts() const { return restarts_; }
    uint64_t Checksum() const { return checksum_; }

  private:
    // Copies the delivered image out of the preview buffer, as an application keeps a frame.
    void CopyFrame(const VELCORFRAMEINFO& info) {
        ++delivered_;
        if (info.image == nullptr || info.width <= 0 || info.height <= 0) return;
        const size_t rowBytes = (static_cast<size_t>(info.width) * info.bitsPerPixel / 8 + 3) & ~3u;
        const size_t bytes = std::min(rowBytes * static_cast<size_t>(info.height), frame_.size());
        std::memcpy(frame_.data(), info.image, bytes);
        // Looks at the copy, so it is not optimised away.
        checksum_ += frame_[bytes / 2] + frame_[bytes - 1];
    }

    void ReportError(const char* what, int code) {
        if (reported_ < 10) {
            std::fprintf(stderr, "velcor_soak: %s: error %d: %s\n", what, code,
                         VelcorErrorText(code));
        }
        ++reported_;
    }

    // Empties the error history; false (and the codes printed) when it held errors.
    bool TakeErrors(const char* what) {
        bool clean = true;
        for (int i = 0; i < kHistoryDepth; ++i) {
            const int code = Velcor_GetLastError(handle_);
            if (code == VELCOR_ERR_NONE) continue;
            clean = false;
            std::fprintf(stderr, "velcor_soak: %s: error %d: %s\n", what, code,
                         VelcorErrorText(code));
        }
        return clean;
    }

    static bool Fail(const char* why) {
        std::fprintf(stderr, "velcor_soak: %s\n", why);
        return false;
    }

    int simId_ = 0;
    HWND window_ = nullptr;
    int handle_ = 0;
    VELCORCAMERAINFO info_{};
    std::vector<BYTE> buffer_ = std::vector<BYTE>(kBufferBytes);
    std::vector<BYTE> frame_ = std::vector<BYTE>(kBufferBytes);
    Clock::time_point lastMessage_ = Clock::now();
    unsigned long long delivered_ = 0;
    unsigned long long failedFrames_ = 0;
    unsigned long long errorMessages_ = 0;
    unsigned long long reported_ = 0;
    long long restarts_ = 0;
    uint64_t checksum_ = 0;
};

// ---- Judging ------------------------------------------------------------------------------

struct Verdict {
    bool judged = false;
    size_t warmUpEnd = 0;  // index of the last warm-up sample
    long rssGrowthKb = 0;
    double rssSlopeKbPer10k = 0;
    bool rssGrows = false;
    int threadGrowth = 0;
    int descriptorGrowth = 0;
};

template <typename Value>
Value MaxOver(const std::vector<Sample>& s, size_t from, size_t to, Value Sample::*field) {
    Value best = s[from].*field;
    for (size_t i = from; i < to; ++i)
        best = std::max(best, s[i].*field);
    return best;
}

Verdict Judge(const std::vector<Sample>& s) {
    Verdict v;
    const size_t n = s.size();
    if (n < kMinSamplesToJudge) return v;
    v.judged = true;
    const size_t warm = std::max<size_t>(1, static_cast<size_t>(kWarmUpShare * n + 0.999));
    v.warmUpEnd = warm - 1;
    const size_t middle = n / 3;
    const size_t last = 2 * n / 3;

    v.rssGrowthKb = MaxOver(s, last, n, &Sample::rssKb) - MaxOver(s, middle, last, &Sample::rssKb);
    double meanX = 0, meanY = 0;
    for (size_t i = warm; i < n; ++i) {
        meanX += static_cast<double>(s[i].frames);
        meanY += static_cast<double>(s[i].rssKb);
    }
    meanX /= static_cast<double>(n - warm);
    meanY /= static_cast<double>(n - warm);
    double sxy = 0, sxx = 0;
    for (size_t i = warm; i < n; ++i) {
        const double dx = static_cast<double>(s[i].frames) - meanX;
        sxy += dx * (static_cast<double>(s[i].rssKb) - meanY);
        sxx += dx * dx;
    }
    v.rssSlopeKbPer10k = sxx > 0 ? sxy / sxx * 1e4 : 0;
    v.rssGrows = v.rssGrowthKb > kRssSlackKb && v.rssSlopeKbPer10k > kRssSlopeLimitKbPer10k;

    v.threadGrowth = MaxOver(s, last, n, &Sample::threads) - s[v.warmUpEnd].threads;
    v.descriptorGrowth = MaxOver(s, last, n, &Sample::descriptors) - s[v.warmUpEnd].descriptors;
    return v;
}

// ---- Outputs ------------------------------------------------------------------------------

bool WriteCsv(const std::string& path, const std::vector<Sample>& samples) {
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "w"), std::fclose);
    if (!f) return false;
    std::fprintf(f.get(), "elapsed_s,frames,dropped,rss_kb,threads,descriptors\n");
    for (const Sample& s : samples) {
        std::fprintf(f.get(), "%.1f,%llu,%llu,%ld,%d,%d\n", s.elapsedS, s.frames, s.dropped,
                     s.rssKb, s.threads, s.descriptors);
    }
    return std::fflush(f.get()) == 0 && !std::ferror(f.get());
}

// Resident size on the left axis, threads and descriptors on the right, over frames; the end of
// warm-up as a dashed line.
bool WritePlot(const std::string& csv, const std::string& png, const std::vector<Sample>& samples,
               const Verdict& v, const char* verdictText) {
    const std::string script = png + ".gp";
    // Threads and descriptors in the lower part of the plot, below the resident size.
    int counts = 1;
    for (const Sample& s : samples)
        counts = std::max({counts, s.threads, s.descriptors});
    const int y2Top = counts * 5 / 2 + 1;
    {
        std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(script.c_str(), "w"), std::fclose);
        if (!f) return false;
        std::fprintf(f.get(),
                     "set terminal png size 1200,700 font ',11'\n"
                     "set output '%s'\n"
                     "set datafile separator ','\n"
                     "set key outside top center horizontal\n"
                     "set title 'velcor soak: callback preview 1280 x 1024, simulated camera "
                     "SOAK0001 - %s'\n"
                     "set xlabel 'frames delivered'\n"
                     "set ylabel 'resident size (MB)'\n"
                     "set y2label 'threads, open descriptors'\n"
                     "set ytics nomirror\n"
                     "set y2tics\n"
                     "set grid\n"
                     "set format x '%%.0f'\n"
                     "set format y '%%.1f'\n"
                     "set y2range [0:%d]\n",
                     png.c_str(), verdictText, y2Top);
        if (v.judged) {
            std::fprintf(f.get(),
                         "set arrow from %llu, graph 0 to %llu, graph 1 nohead lc 'gray40'\n"
                         "set label 'end of warm-up' at %llu, graph 0.5 left offset 0.5,0\n",
                         samples[v.warmUpEnd].frames, samples[v.warmUpEnd].frames,
                         samples[v.warmUpEnd].frames);
        }
        std::fprintf(f.get(),
                     "plot '%s' using 2:($4/1024) title 'resident size (MB)' axes x1y1 with "
                     "linespoints lw 2 pt 7 ps 0.6 lc 'red', \\\n"
                     "     '' using 2:5 title 'threads' axes x1y2 with steps lw 2 lc 'blue', \\\n"
                     "     '' using 2:6 title 'open descriptors' axes x1y2 with steps lw 2 "
                     "lc 'dark-green'\n",
                     csv.c_str());
        if (std::fflush(f.get()) != 0) return false;
    }
    const std::string command = "gnuplot '" + script + "'";
    return std::system(command.c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (const char* env = std::getenv("VELCOR_SOAK_FRAMES"); env != nullptr && *env != '\0') {
        if (!ParseCount(env, 1, &options.frames)) return Usage();
    }
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        long long value = 0;
        if (arg == "--frames" && i + 1 < argc && ParseCount(argv[i + 1], 1, &value)) {
            options.frames = value;
            ++i;
        } else if (arg == "--sample-seconds" && i + 1 < argc &&
                   ParseCount(argv[i + 1], 1, &value) && value <= 3600) {
            options.sampleSeconds = static_cast<int>(value);
            ++i;
        } else if (arg == "--out" && i + 1 < argc) {
            options.outDir = argv[++i];
        } else {
            return Usage();
        }
    }
    std::error_code ec;
    std::filesystem::create_directories(options.outDir, ec);
    if (ec) {
        std::fprintf(stderr, "velcor_soak: cannot create %s: %s\n", options.outDir.c_str(),
                     ec.message().c_str());
        return kExitFailure;
    }

    std::vector<Sample> samples;
    samples.reserve(4096);
    bool ran = false;
    double seconds = 0;
    long long restarts = 0;
    unsigned long long failedFrames = 0, errorMessages = 0;
    {
        SoakCamera camera;
        if (!camera.Open() || !camera.StartPreview()) return kExitFailure;
        const auto start = Clock::now();
        auto nextSample = start;
        auto nextChange = start + std::chrono::seconds(1);
        long long step = 0;
        ran = true;
        std::printf("velcor_soak: %lld frames, a sample every %d s, output in %s\n", options.frames,
                    options.sampleSeconds, options.outDir.c_str());
        std::fflush(stdout);
        for (;;) {
            const bool done = camera.Delivered() >= static_cast<unsigned long long>(options.frames);
            const auto now = Clock::now();
            if (now >= nextSample || done) {
                Sample s;
                s.elapsedS = std::chrono::duration<double>(now - start).count();
                s.frames = camera.Delivered();
                VELCORSIM_FRAMECOUNTERS c{};
                if (camera.Counters(&c)) s.dropped = c.dropped;
                s.rssKb = ResidentKb();
                s.threads = CountEntries("/proc/self/task");
                s.descriptors = CountEntries("/proc/self/fd");
                samples.push_back(s);
                std::printf("%8.1f s %9llu frames %7llu dropped %8ld kB %3d threads %3d fds\n",
                            s.elapsedS, s.frames, s.dropped, s.rssKb, s.threads, s.descriptors);
                std::fflush(stdout);
                nextSample += std::chrono::seconds(options.sampleSeconds);
            }
            if (done) break;
            if (now >= nextChange) {
                if (!camera.Change(step++)) {
                    ran = false;
                    break;
                }
                nextChange += std::chrono::seconds(1);
            }
            if (!camera.Pump(100)) {
                ran = false;
                break;
            }
            if (camera.Silent()) {
                std::fprintf(stderr, "velcor_soak: no frame for %d ms\n", kFrameSilenceMs);
                ran = false;
                break;
            }
        }
        seconds = std::chrono::duration<double>(Clock::now() - start).count();
        restarts = camera.Restarts();
        failedFrames = camera.FailedFrames();
        errorMessages = camera.ErrorMessages();
        std::printf("velcor_soak: image checksum %llu\n",
                    static_cast<unsigned long long>(camera.Checksum()));
    }

    const Verdict v = Judge(samples);
    const bool grows = v.rssGrows || v.threadGrowth > 0 || v.descriptorGrowth > 0;
    const char* verdictText = !ran        ? "did not finish"
                              : !v.judged ? "too few samples to judge"
                              : grows     ? "GROWS"
                                          : "no growth";
    const std::string csv = options.outDir + "/soak.csv";
    const std::string png = options.outDir + "/soak.png";
    bool written = WriteCsv(csv, samples);
    if (!written) std::fprintf(stderr, "velcor_soak: cannot write %s\n", csv.c_str());
    if (written && !WritePlot(csv, png, samples, v, verdictText)) {
        std::fprintf(stderr, "velcor_soak: cannot plot %s (is gnuplot installed?)\n", png.c_str());
        written = false;
    }

    const Sample& first = samples.front();
    const Sample& end = samples.back();
    std::printf("\nsoak summary\n");
    std::printf(
        "  frames        %llu in %.1f s (%.1f frames/s), %llu dropped, %llu failed, "
        "%llu error messages, %lld preview restarts\n",
        end.frames, seconds, seconds > 0 ? end.frames / seconds : 0.0, end.dropped, failedFrames,
        errorMessages, restarts);
    if (v.judged) {
        const Sample& warm = samples[v.warmUpEnd];
        std::printf(
            "  resident      %ld kB at start, %ld kB at warm-up end (%llu frames), "
            "%ld kB at the end\n",
            first.rssKb, warm.rssKb, warm.frames, end.rssKb);
        std::printf(
            "  growth        %+ld kB (last third's max - middle third's max, slack %ld kB), "
            "slope %+.1f kB per 10^4 frames (limit %.1f)\n",
            v.rssGrowthKb, kRssSlackKb, v.rssSlopeKbPer10k, kRssSlopeLimitKbPer10k);
        std::printf("  threads       %d at warm-up end, %d at the end (growth %+d)\n", warm.threads,
                    end.threads, v.threadGrowth);
        std::printf("  descriptors   %d at warm-up end, %d at the end (growth %+d)\n",
                    warm.descriptors, end.descriptors, v.descriptorGrowth);
    } else {
        std::printf("  resident      %ld kB at start, %ld kB at the end\n", first.rssKb, end.rssKb);
        std::printf("  threads       %d, descriptors %d at the end\n", end.threads,
                    end.descriptors);
    }
    std::printf("  output        %s, %s\n", csv.c_str(), png.c_str());
    std::printf("  verdict       %s\n", verdictText);

    if (!ran) {
        std::fprintf(stderr, "velcor_soak: FAILED: the soak did not run to its end\n");
        return kExitFailure;
    }
    if (!written) return kExitFailure;
    if (grows) {
        if (v.rssGrows) {
            std::fprintf(stderr,
                         "velcor_soak: FAILED: resident size keeps growing after warm-up: "
                         "%+ld kB, %+.1f kB per 10^4 frames\n",
                         v.rssGrowthKb, v.rssSlopeKbPer10k);
        }
        if (v.threadGrowth > 0) {
            std::fprintf(stderr, "velcor_soak: FAILED: threads grow after warm-up (%+d)\n",
                         v.threadGrowth);
        }
        if (v.descriptorGrowth > 0) {
            std::fprintf(stderr, "velcor_soak: FAILED: open descriptors grow after warm-up (%+d)\n",
                         v.descriptorGrowth);
        }
        return kExitFailure;
    }
    if (!v.judged) {
        std::printf("velcor_soak: %zu samples are too few to judge growth (at least %zu)\n",
                    samples.size(), kMinSamplesToJudge);
    }
    return kExitOk;
}
