#include "Capture.h"

#include <velcor/VelcorErrors.h>
#include <velcor/VelcorSdk.h>
#include <velcor/VelcorWin.h>

#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <thread>

#include "ErrorTable.h"
#include "Reporting.h"

namespace velcor::tool {
namespace {

// What the film on disk says so far: the library writes the header first, appends the frames
// as they come and fills in the sizes, the frame count and the measured timing last.
struct FilmProgress {
    bool finished = false;
    long long frames = 0;
    uint32_t microsecondsPerFrame = 0;
    int width = 0;
    int height = 0;
};

uint32_t LittleEndian32(const unsigned char* bytes) {
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

FilmProgress ReadFilmProgress(const std::string& path) {
    FilmProgress progress;
    std::ifstream in(path, std::ios::binary);
    unsigned char header[232];
    if (!in.read(reinterpret_cast<char*>(header), sizeof header)) return progress;
    in.seekg(0, std::ios::end);
    const long long size = static_cast<long long>(in.tellg());
    const uint32_t chunk = LittleEndian32(header + 60);  // suggested buffer: a frame chunk
    progress.finished = LittleEndian32(header + 4) != 0;
    progress.microsecondsPerFrame = LittleEndian32(header + 32);
    progress.width = static_cast<int>(LittleEndian32(header + 64));
    progress.height = static_cast<int>(LittleEndian32(header + 68));
    progress.frames = progress.finished ? LittleEndian32(header + 48)
                      : chunk != 0      ? (size - 232) / chunk
                                        : 0;
    return progress;
}

}  // namespace

int Preview(int camera, int seconds, int bits) {
    TakeErrors(camera);
    if (!Velcor_SetColorMode(camera, bits)) return Failed(camera, "preview", "refused");
    HWND window = VelcorWin_CreateMessageWindow();
    // The default placement: a top-level window of the capture's size.
    Velcor_SetPreviewWindow(camera, nullptr, 0, 0, 1280, 1024);
    if (!Velcor_CallBackPreview(camera, window, nullptr, 0, 1)) {
        VelcorWin_DestroyWindow(window);
        return Failed(camera, "preview", "could not open the window (is DISPLAY set?)");
    }
    int shown = 0;
    int failed = 0;
    const auto start = std::chrono::steady_clock::now();
    const auto end = start + std::chrono::seconds(seconds);
    VELCORMSG m{};
    for (auto now = start; now < end; now = std::chrono::steady_clock::now()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - now);
        if (!VelcorWin_GetMessage(&m, window, VELCOR_WM_FRAME, VELCOR_WM_FRAME,
                                  static_cast<int>(left.count()))) {
            continue;
        }
        if (m.wParam != 0) {
            ++shown;
            continue;
        }
        ++failed;
        const int code = static_cast<int>(m.lParam);
        std::fprintf(stderr, "velcor: frame failed: %s\n", DescribeError(code).c_str());
        if (code == VELCOR_ERR_STOPPED) break;
    }
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // Close takes the window down with the preview.
    Velcor_Close(camera);
    VelcorWin_DestroyWindow(window);
    std::printf("%d frames shown in %.1f s: %.1f frames per second, %d failed\n", shown, elapsed,
                elapsed > 0 ? shown / elapsed : 0.0, failed);
    return failed == 0 ? kExitOk : kExitFailure;
}

int Record(int camera, const std::string& path, int seconds, int bits) {
    TakeErrors(camera);
    if (!Velcor_SetColorMode(camera, bits)) return Failed(camera, "record", "refused");
    Velcor_SetWaitTime(camera, 0);
    Velcor_SetPreviewWindow(camera, nullptr, 0, 0, 0, 0);
    if (!Velcor_Record(camera, path.c_str(), seconds * 1000, 0)) {
        return Failed(camera, "record", "could not start");
    }
    // A terminal shows one line that keeps changing; a log gets a line a second.
    const bool terminal = isatty(STDOUT_FILENO) != 0;
    const auto start = std::chrono::steady_clock::now();
    // The library finishes the film by itself; a camera that never delivers is given up
    // well after the film should have ended.
    const auto giveUp = start + std::chrono::seconds(seconds + 10);
    auto nextLine = start;
    FilmProgress progress;
    for (;;) {
        progress = ReadFilmProgress(path);
        const auto now = std::chrono::steady_clock::now();
        if (progress.finished || now >= giveUp) break;
        if (now >= nextLine) {
            const double elapsed = std::chrono::duration<double>(now - start).count();
            std::printf(terminal ? "\r%lld frames, %.1f s, %.1f frames per second   "
                                 : "%lld frames, %.1f s, %.1f frames per second\n",
                        progress.frames, elapsed, elapsed > 0 ? progress.frames / elapsed : 0.0);
            std::fflush(stdout);
            nextLine = now + std::chrono::milliseconds(terminal ? 200 : 1000);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (terminal) std::printf("\n");
    // Stopping finishes a film that is still open.
    Velcor_StopPreview(camera);
    const bool errors = ReportErrors(camera, "record");
    progress = ReadFilmProgress(path);
    if (!progress.finished) {
        std::fprintf(stderr, "velcor: record: %s was not finished\n", path.c_str());
        return kExitFailure;
    }
    const double fps = progress.microsecondsPerFrame != 0 ? 1e6 / progress.microsecondsPerFrame : 0;
    std::printf("%s: %lld frames of %d x %d, %.2f frames per second measured\n", path.c_str(),
                progress.frames, progress.width, progress.height, fps);
    return errors ? kExitFailure : kExitOk;
}

}  // namespace velcor::tool
