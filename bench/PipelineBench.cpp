// The capture path end to end and the small pixel routines the display and the writers use.
//
// Callback preview streams full frames from a fast simulated camera through the C API (wait
// time 0). Besides frames per second it reports the CPU time of the camera object's worker per
// frame, which is the library's own work on a preview frame (wait, copy from the ring,
// conversion, copy into the application's buffer, post), and that time's share of the
// 39.3 ms frame period of the camera at its default timing.
#include <benchmark/benchmark.h>

#include <velcor/VelcorSdk.h>
#include <velcor/VelcorSim.h>
#include <velcor/VelcorWin.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "ThreadCpu.h"
#include "imaging/DibImage.h"
#include "imaging/PixelRoutines.h"

namespace {

using velcor::DibImage;
using velcor::PixelRect;

constexpr int kWidth = 1280;
constexpr int kHeight = 1024;
constexpr double kFramePeriodMs = 39.3;

using velcor::bench::NamedThreadsCpuMs;

void BM_CallbackPreview(benchmark::State& state) {
    const int bits = static_cast<int>(state.range(0));
    const int camera = VelcorSim_AttachCamera(0x32C0, "BENCH001");
    HWND window = VelcorWin_CreateMessageWindow();
    const int handle = Velcor_Initialize(window);
    Velcor_SetColorMode(handle, bits);
    Velcor_SetWaitTime(handle, 0);
    Velcor_SetPreviewWindow(handle, nullptr, 0, 0, 0, 0);
    const int size = kWidth * kHeight * bits / 8;
    std::vector<BYTE> buffer(static_cast<size_t>(size));
    if (!Velcor_CallBackPreview(handle, window, buffer.data(), size, 1)) {
        state.SkipWithError("callback preview did not start");
    }
    VELCORMSG m{};
    auto nextFrame = [&] {
        while (VelcorWin_GetMessage(&m, window, VELCOR_WM_FRAME, VELCOR_WM_FRAME, 3000)) {
            if (m.wParam != 0) return true;
        }
        return false;
    };
    for (int i = 0; i < 5; ++i)
        nextFrame();
    const double cpuBefore = NamedThreadsCpuMs("velcor-worker");
    int64_t frames = 0;
    for (auto _ : state) {
        if (!nextFrame()) {
            state.SkipWithError("no frame");
            break;
        }
        ++frames;
    }
    const double cpuMs = NamedThreadsCpuMs("velcor-worker") - cpuBefore;
    Velcor_StopPreview(handle);
    Velcor_Release(handle);
    VelcorWin_DestroyWindow(window);
    VelcorSim_DetachCamera(camera);
    state.SetItemsProcessed(frames);
    state.SetBytesProcessed(frames * size);
    if (frames > 0) {
        const double perFrame = cpuMs / static_cast<double>(frames);
        state.counters["worker_ms_per_frame"] = perFrame;
        state.counters["share_of_39.3ms_%"] = 100.0 * perFrame / kFramePeriodMs;
    }
}
// Real time: the test thread only waits for messages while the library works.
BENCHMARK(BM_CallbackPreview)->Name("preview/mode8")->Arg(8)->Iterations(400)->UseRealTime();
BENCHMARK(BM_CallbackPreview)->Name("preview/mode16")->Arg(16)->Iterations(400)->UseRealTime();

// The display scalers: a full frame shown at half size.
void BM_Scale(benchmark::State& state) {
    const int bits = static_cast<int>(state.range(0));
    DibImage source, target;
    source.Create(kWidth, kHeight, bits);
    source.FillBytes(77);
    target.Create(kWidth / 2, kHeight / 2, bits);
    const auto routine = bits == 8 ? velcor::routines::Scale8 : velcor::routines::Scale24;
    for (auto _ : state) {
        velcor::RectangleOperation(&target, routine, &source, nullptr, nullptr);
        benchmark::DoNotOptimize(target.Pixels());
    }
}
BENCHMARK(BM_Scale)->Name("scale/8half")->Arg(8);
BENCHMARK(BM_Scale)->Name("scale/24half")->Arg(24);

// The 16-to-8-bit reductions of the preview and the video writer.
void BM_Reduce(benchmark::State& state) {
    DibImage source, target;
    source.Create(kWidth, kHeight, 16);
    source.FillWords(0x0ABC);
    target.Create(kWidth, kHeight, 8);
    const auto routine =
        state.range(0) == 0 ? velcor::routines::GrayHighByte : velcor::routines::Gray10BitFlipped;
    for (auto _ : state) {
        velcor::RectangleOperation(&target, routine, &source, nullptr, 0, 0);
        benchmark::DoNotOptimize(target.Pixels());
    }
}
BENCHMARK(BM_Reduce)->Name("reduce/16to8high")->Arg(0);
BENCHMARK(BM_Reduce)->Name("reduce/16to8bits2to9")->Arg(1);

}  // namespace
