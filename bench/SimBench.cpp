// The simulated camera at the speed the end-to-end figures need.
//
// Render: a full 1280 x 1024 ROZE9701 frame rendered by the scene, fast and exact, at 8 and 16
// bits, as ratios to a memcpy of the same bytes. Each round runs every case once in turn and
// measures the thread's CPU time; the ratios are medians over the rounds.
//
// Stream: callback preview through the C API at 8 bits on a camera with fast frames (wait time
// 0, no preview window), in rounds that alternate the exact and the fast scene on the same
// running preview. Per round: frames per second (wall time: it is a rate), and the CPU time per
// frame of the process and of the library's threads by name: the simulator ("velcor-sim"), the
// acquisition ("velcor-acquire") and the worker ("velcor-worker"). Medians over the rounds.
//
//   velcor_sim_bench [rounds [frames]]    (default 15 render rounds, 5 stream rounds of 300)
#include <velcor/VelcorSdk.h>
#include <velcor/VelcorSim.h>
#include <velcor/VelcorWin.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "ThreadCpu.h"
#include "sim/SimScene.h"

namespace {

using velcor::bench::Median;
using velcor::bench::NamedThreadsCpuMs;
using velcor::bench::ProcessCpuMs;
using velcor::bench::RoundsArgument;
using velcor::bench::ThreadCpuMs;
using velcor::sim::FrameLayout;
using velcor::sim::SceneKind;
using velcor::sim::SensorFrameState;
using velcor::sim::SimScene;

constexpr int kWidth = 1280;
constexpr int kHeight = 1024;
constexpr int kRepeats = 8;  // frames per case and round

// The camera's default readout: bottom row first, 10 ms exposure, the FPGA's offsets.
SensorFrameState Sensor() {
    SensorFrameState state;
    state.picture = true;
    state.fullWidth = kWidth;
    state.fullHeight = kHeight;
    state.windowHeight = kHeight;
    state.exposureSeconds = 0.01;
    state.gain = 1.0;
    state.blackLevel = 140.0;
    state.leadingLines = 10;
    state.leadingColumns = 32;
    return state;
}

FrameLayout Layout(uint32_t bytes, uint32_t frame) {
    FrameLayout layout;
    layout.width = kWidth;
    layout.height = kHeight;
    layout.bytesPerPixel = bytes;
    layout.verticalOffset = 10;
    layout.horizontalOffset = 32;
    layout.frameNumber = frame;
    layout.exposureSeconds = 0.01;
    return layout;
}

void RenderRatios(int rounds) {
    const SensorFrameState sensor = Sensor();
    SimScene exact(kWidth, kHeight, 1);
    // A fast scene per depth: one picture is kept, of the depth last rendered.
    SimScene fast(kWidth, kHeight, 1);
    SimScene fast16(kWidth, kHeight, 1);
    exact.SetDefects(12, 6, 99);
    fast.SetDefects(12, 6, 99);
    fast16.SetDefects(12, 6, 99);
    fast.SetFastRender(true);
    fast16.SetFastRender(true);
    std::vector<uint8_t> source(size_t{kWidth} * kHeight * 2, 1);
    std::vector<uint8_t> target(source.size());
    uint32_t frame = 0;

    struct Case {
        const char* name;
        size_t bytes;  // the memcpy it is measured against
        std::function<void()> run;
        std::vector<double> ratios;
    };
    const size_t bytes8 = size_t{kWidth} * kHeight;
    std::vector<Case> cases;
    cases.push_back({"fast 8-bit",
                     bytes8,
                     [&] { fast.Render(sensor, Layout(1, ++frame), target.data()); },
                     {}});
    cases.push_back({"fast 16-bit",
                     2 * bytes8,
                     [&] { fast16.Render(sensor, Layout(2, ++frame), target.data()); },
                     {}});
    cases.push_back({"exact 8-bit",
                     bytes8,
                     [&] { exact.Render(sensor, Layout(1, ++frame), target.data()); },
                     {}});
    cases.push_back({"exact 16-bit",
                     2 * bytes8,
                     [&] { exact.Render(sensor, Layout(2, ++frame), target.data()); },
                     {}});
    std::vector<double> copyMs8;
    for (Case& c : cases)
        c.run();  // fast: the pictures of both depths are made before the rounds
    for (int round = 0; round < rounds; ++round) {
        for (Case& c : cases) {
            double t0 = ThreadCpuMs();
            for (int i = 0; i < kRepeats; ++i) {
                std::memcpy(target.data(), source.data(), c.bytes);
                source[static_cast<size_t>(i)] = target[static_cast<size_t>(i) + 1];
            }
            const double copy = ThreadCpuMs() - t0;
            t0 = ThreadCpuMs();
            for (int i = 0; i < kRepeats; ++i)
                c.run();
            const double render = ThreadCpuMs() - t0;
            if (copy > 0) c.ratios.push_back(render / copy);
            if (c.bytes == bytes8) copyMs8.push_back(copy / kRepeats);
        }
    }
    std::printf(
        "render: full frame, ratio to a memcpy of its bytes (median of %d rounds; "
        "memcpy of 8-bit frame %.3f ms)\n",
        rounds, Median(copyMs8));
    for (const Case& c : cases)
        std::printf("  %-13s %6.2f x memcpy\n", c.name, Median(c.ratios));
}

struct StreamFigures {
    std::vector<double> fps, processMs, simMs, acquireMs, workerMs;
};

bool StreamRounds(int rounds, int frames) {
    const int camera = VelcorSim_AttachCamera(0x32C0, "SIMBENCH");
    HWND window = VelcorWin_CreateMessageWindow();
    const int handle = Velcor_Initialize(window);
    if (camera == 0 || handle == 0 || !Velcor_SetColorMode(handle, 8)) {
        std::fprintf(stderr, "no simulated camera\n");
        return false;
    }
    Velcor_SetWaitTime(handle, 0);
    Velcor_SetPreviewWindow(handle, nullptr, 0, 0, 0, 0);
    std::vector<BYTE> buffer(size_t{kWidth} * kHeight);
    if (!Velcor_CallBackPreview(handle, window, buffer.data(), static_cast<int>(buffer.size()),
                                1)) {
        std::fprintf(stderr, "callback preview did not start\n");
        return false;
    }
    VELCORMSG m{};
    auto receive = [&](int count) {
        int got = 0;
        while (got < count &&
               VelcorWin_GetMessage(&m, window, VELCOR_WM_FRAME, VELCOR_WM_FRAME, 3000)) {
            got += m.wParam != 0;
        }
        return got == count;
    };
    StreamFigures figures[2];  // exact scene, fast scene
    bool ok = true;
    for (int round = 0; round < rounds && ok; ++round) {
        for (int fast = 0; fast < 2 && ok; ++fast) {
            VelcorSim_SetFastRender(camera, fast != 0 ? TRUE : FALSE);
            ok = receive(10);  // frames of the other mode still in the ring
            const double process0 = ProcessCpuMs();
            const double sim0 = NamedThreadsCpuMs("velcor-sim");
            const double acquire0 = NamedThreadsCpuMs("velcor-acquire");
            const double worker0 = NamedThreadsCpuMs("velcor-worker");
            const auto start = std::chrono::steady_clock::now();
            ok = ok && receive(frames);
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            StreamFigures& f = figures[fast];
            f.fps.push_back(frames / seconds);
            f.processMs.push_back((ProcessCpuMs() - process0) / frames);
            f.simMs.push_back((NamedThreadsCpuMs("velcor-sim") - sim0) / frames);
            f.acquireMs.push_back((NamedThreadsCpuMs("velcor-acquire") - acquire0) / frames);
            f.workerMs.push_back((NamedThreadsCpuMs("velcor-worker") - worker0) / frames);
        }
    }
    Velcor_StopPreview(handle);
    Velcor_Release(handle);
    VelcorWin_DestroyWindow(window);
    VelcorSim_DetachCamera(camera);
    if (!ok) {
        std::fprintf(stderr, "the stream stopped\n");
        return false;
    }
    std::printf(
        "stream: callback preview, 8 bits, fast frames, %d rounds of %d frames "
        "(medians; CPU ms per frame)\n",
        rounds, frames);
    std::printf("  %-12s %8s %9s %9s %9s %9s\n", "scene", "frames/s", "process", "sim", "acquire",
                "worker");
    const char* names[2] = {"exact", "fast"};
    for (int i = 0; i < 2; ++i) {
        const StreamFigures& f = figures[i];
        std::printf("  %-12s %8.1f %9.3f %9.3f %9.3f %9.3f\n", names[i], Median(f.fps),
                    Median(f.processMs), Median(f.simMs), Median(f.acquireMs), Median(f.workerMs));
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = RoundsArgument(argc, argv, 15);
    const int frames = argc > 2 ? std::max(10, std::atoi(argv[2])) : 300;
    RenderRatios(rounds);
    return StreamRounds(std::max(1, rounds / 3), frames) ? 0 : 1;
}
