// Calls that overlap on one handle: settings changed from several threads while the worker
// converts frames, and random exports from four threads at once. Run under ThreadSanitizer and
// AddressSanitizer (the tsan and debug presets) these prove the absence of races and of
// use-after-free; in every build they prove the absence of crashes, hangs and deadlocks.
#include <gtest/gtest.h>

#include <velcor/VelcorSdk.h>
#include <velcor/VelcorSim.h>
#include <velcor/VelcorWin.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "camera/CameraTestSupport.h"
#include "dialogs/DialogHost.h"
#include "dialogs/DialogModel.h"
#include "support/Sanitizers.h"

namespace velcor {
namespace {

using testing::CameraOnSimulator;
using Clock = std::chrono::steady_clock;

constexpr int kMaxFrameBytes = 1280 * 1024 * 2;

// Aborts the process, naming the seed, when the test body does not finish in time: a deadlock
// shows as a failure with a reproducible seed instead of a CTest time-out.
class Watchdog {
  public:
    Watchdog(std::chrono::seconds limit, unsigned seed)
        : thread_([this, limit, seed] {
              std::unique_lock lock(mutex_);
              if (!done_.wait_for(lock, limit, [this] { return finished_; })) {
                  std::fprintf(stderr, "hung: calls still blocked after %llds (seed %u)\n",
                               static_cast<long long>(limit.count()), seed);
                  std::abort();
              }
          }) {}
    ~Watchdog() {
        {
            std::lock_guard lock(mutex_);
            finished_ = true;
        }
        done_.notify_one();
        thread_.join();
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

  private:
    std::mutex mutex_;
    std::condition_variable done_;
    bool finished_ = false;
    std::thread thread_;
};

// Runs body(thread index) on `threads` threads until the time is up.
template <typename Body>
void RunFor(int threads, std::chrono::milliseconds duration, Body body) {
    const auto end = Clock::now() + duration;
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            while (Clock::now() < end)
                body(t);
        });
    }
    for (auto& worker : workers)
        worker.join();
}

class OverlappingCalls : public CameraOnSimulator {
  protected:
    std::chrono::milliseconds StressTime() const {
        if (const char* seconds = std::getenv("VELCOR_STRESS_SECONDS")) {
            return std::chrono::milliseconds(std::atoi(seconds) * 1000);
        }
        return std::chrono::milliseconds(test::kUnderSanitizer ? 4000 : 2000);
    }
};

// Every kind of setting changes from two threads while callback preview converts frames with
// automatic exposure writing gain back from the worker. Frames keep coming throughout.
TEST_F(OverlappingCalls, SettingsChangeFromTwoThreadsWhileFramesFlow) {
    Open(1);
    Velcor_SetPreviewWindow(handle_, nullptr, 0, 0, 0, 0);
    Velcor_SetWaitTime(handle_, 0);
    ASSERT_EQ(Velcor_SetAutoIris(handle_, 2), TRUE);
    ASSERT_EQ(Velcor_CallBackPreview(handle_, window_, nullptr, 0, 1), TRUE);
    const Watchdog watchdog(std::chrono::seconds(120), 0);

    std::atomic<int> frames{0};
    std::atomic<bool> stop{false};
    std::thread counter([&] {
        while (!stop) {
            VELCORMSG m{};
            if (VelcorWin_GetMessage(&m, window_, VELCOR_WM_FRAME, VELCOR_WM_FRAME, 50) &&
                m.wParam != 0) {
                ++frames;
            }
        }
    });
    const auto changeSettings = [&](int t) {
        const int v = t + 1;
        Velcor_SetFilterValue(handle_, VELCOR_FILTER_BRIGHTNESS, 10 * v);
        Velcor_SetFilterValue(handle_, VELCOR_FILTER_GAMMA, 90 + v);
        Velcor_SetFilterValue(handle_, VELCOR_FILTER_GRAY_MODE, v % 2);
        Velcor_SetFilterValue(handle_, VELCOR_FILTER_MASK, v % 2);
        Velcor_SetFilterValue(handle_, VELCOR_FILTER_BLACK_LEVEL, 4 * v);
        Velcor_SetGlobalGain(handle_, 100 + v);
        Velcor_SetExposureTimeEx(handle_, 0.001 * v);
        Velcor_SetMirrorH(handle_, v % 2);
        Velcor_SetMirrorV(handle_, v % 2);
        Velcor_SetWaitTime(handle_, v - 1);
        Velcor_SetColorMode(handle_, v % 2 ? 8 : 16);
        Velcor_SetCaptureWindowEx(handle_, 1280, 0, 1280, 1024, 0, v % 2 ? 1024 : 512);
        Velcor_SetAutoIris(handle_, v % 2 ? 2 : 1);
        int ok = 0;
        Velcor_GetGlobalGain(handle_, &ok);
        Velcor_GetExposureTimeEx(handle_, &ok);
        Velcor_GetFilterValue(handle_, VELCOR_FILTER_BRIGHTNESS, &ok);
        Velcor_GetColorMode(handle_);
    };
    RunFor(2, StressTime() / 2, changeSettings);
    // A sanitizer build converts a frame slowly: the changes go on until a frame has come.
    for (int second = 0; second < 30 && frames.load() == 0; ++second)
        RunFor(2, std::chrono::milliseconds(1000), changeSettings);
    const int during = frames.load();
    EXPECT_EQ(Velcor_StopPreview(handle_), TRUE);
    stop = true;
    counter.join();
    EXPECT_GT(during, 0) << "frames kept coming while the settings changed";
}

// Random exports from four threads on one handle, two cameras to switch between, triggers
// from the simulator, then a release while the threads still call. Nothing may crash, hang or
// touch freed memory; calls after the release return their empty result.
TEST_F(OverlappingCalls, RandomExportsFromFourThreadsOnOneHandle) {
    Open(2);
    Velcor_SetPreviewWindow(handle_, nullptr, 0, 0, 0, 0);
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    const Watchdog watchdog(std::chrono::seconds(240), seed);

    constexpr int kThreads = 4;
    // Callback preview writes into these until the handle goes: they outlive it.
    std::vector<std::vector<BYTE>> buffers(kThreads, std::vector<BYTE>(kMaxFrameBytes));
    std::vector<std::mt19937> random;
    for (int t = 0; t < kThreads; ++t)
        random.emplace_back(seed + static_cast<unsigned>(t));
    std::atomic<bool> released{false};

    auto call = [&](int t) {
        std::mt19937& r = random[static_cast<size_t>(t)];
        BYTE* buffer = buffers[static_cast<size_t>(t)].data();
        const int pick = static_cast<int>(r() % 28);
        const int h = handle_;
        int ok = 0;
        switch (pick) {
            case 0:
                Velcor_StartPreview(h);
                break;
            case 1:
                Velcor_StopPreview(h);
                break;
            case 2:
                Velcor_Close(h);
                break;
            case 3:
                Velcor_Capture(h);
                break;
            case 4:
                Velcor_SnapShot(h, buffer, kMaxFrameBytes, static_cast<int>(r() % 2));
                break;
            case 5:
                Velcor_GetImage(h, buffer, kMaxFrameBytes, 1);
                break;
            case 6:
                Velcor_CallBackPreview(h, window_, buffer, kMaxFrameBytes, 1);
                break;
            case 7:
                Velcor_Trigger(h, window_, buffer, kMaxFrameBytes, 0);
                break;
            case 8:
                Velcor_SetDeviceNumber(h, static_cast<int>(r() % 3));
                break;
            case 9:
                Velcor_SetExposureTimeEx(h, 0.0001 + 0.001 * (r() % 40));
                break;
            case 10:
                Velcor_SetGlobalGain(h, static_cast<int>(r() % 1200));
                break;
            case 11:
                Velcor_SetFilterValue(h, static_cast<int>(r() % 30), static_cast<int>(r() % 300));
                break;
            case 12:
                Velcor_GetFilterValue(h, 100 + static_cast<int>(r() % 8), &ok);
                break;
            case 13:
                Velcor_SetColorMode(h, r() % 2 ? 8 : 16);
                break;
            case 14:
                Velcor_SetCaptureWindowEx(h, 1280, 0, 1280, 1024, static_cast<int>(r() % 512),
                                          256 + static_cast<int>(r() % 512));
                break;
            case 15: {
                char names[10][256];
                Velcor_EnumDevice(h, &names[0][0]);
                break;
            }
            case 16: {
                char name[64];
                Velcor_GetDeviceName(h, static_cast<int>(r() % 3), name, sizeof name);
                break;
            }
            case 17: {
                char serial[64];
                Velcor_ReadSerialNumberA(h, serial, sizeof serial);
                break;
            }
            case 18:
                Velcor_Fpga_ReadRegister(h, static_cast<int>(r() % 256), &ok);
                break;
            case 19:
                Velcor_UpdateMaskData(h, static_cast<int>(r() % 3));
                break;
            case 20:
                Velcor_GetLastError(h);
                break;
            case 21:
                Velcor_SetMirrorH(h, static_cast<int>(r() % 2));
                break;
            case 22:
                Velcor_SetAutoIris(h, static_cast<int>(r() % 3));
                break;
            case 23:
                VelcorSim_FireTrigger(cameraIds_[r() % 2]);
                break;
            case 24:
                Velcor_SetWaitTime(h, static_cast<int>(r() % 20));
                break;
            case 25: {
                VELCORCAMERAINFO info{};
                info.size = sizeof info;
                Velcor_GetCameraInfo(h, &info);
                break;
            }
            case 26:
                Velcor_SetRealExposureTime(h, 100 + static_cast<int>(r() % 50000));
                break;
            default: {
                VELCORMSG m{};
                while (VelcorWin_PeekMessage(&m, window_, 0, 0, VELCOR_PM_REMOVE)) {
                }
                break;
            }
        }
        if (released) {
            EXPECT_EQ(Velcor_GetColorMode(h), -1) << "the handle is gone";
        }
    };

    std::thread releaser([&] {
        std::this_thread::sleep_for(StressTime());
        EXPECT_EQ(Velcor_Release(handle_), TRUE);
        released = true;
    });
    RunFor(kThreads, StressTime() + std::chrono::milliseconds(300), call);
    releaser.join();
    handle_ = 0;  // released above
}

// Velcor_Release while another thread is inside a call on the handle (here a settings dialog
// the user keeps open) waits for that call, then closes the camera before it returns: once it
// has returned, no frame message comes and the application's buffer is no longer written.
TEST_F(OverlappingCalls, ReleaseWaitsForTheCallInsideTheHandleAndEndsItsFrames) {
    Open(1);
    Velcor_SetPreviewWindow(handle_, nullptr, 0, 0, 0, 0);
    std::vector<BYTE> buffer(1280 * 1024);
    ASSERT_EQ(
        Velcor_CallBackPreview(handle_, window_, buffer.data(), static_cast<int>(buffer.size()), 1),
        TRUE);
    std::promise<void> dialogOpen;
    std::promise<void> userCloses;
    std::shared_future<void> closed = userCloses.get_future().share();
    dialogs::SetDialogRunnerForTesting([&](dialogs::DialogModel&) {
        dialogOpen.set_value();
        closed.wait();
        return dialogs::kDialogCancel;
    });
    std::thread user([this] { Velcor_SetAnalogDlg(handle_, nullptr); });
    dialogOpen.get_future().wait();

    auto drain = [this] {
        VELCORMSG m{};
        while (VelcorWin_PeekMessage(&m, window_, VELCOR_WM_FRAME, VELCOR_WM_FRAME,
                                     VELCOR_PM_REMOVE)) {
        }
    };
    WPARAM w = 0;
    LPARAM l = 0;
    auto release = std::async(std::launch::async, [this] { return Velcor_Release(handle_); });
    const bool returnedWithDialogOpen =
        release.wait_for(std::chrono::milliseconds(300)) == std::future_status::ready;
    EXPECT_FALSE(returnedWithDialogOpen) << "released while a call was inside the handle";
    if (returnedWithDialogOpen) {
        drain();
        EXPECT_FALSE(NextFrame(&w, &l, 500)) << "a frame came after Velcor_Release returned";
    }
    userCloses.set_value();
    // Closing restores the dialog's settings and stops the preview: about a second here, and
    // ten times that under the thread sanitizer.
    const auto closing = std::chrono::seconds(test::kUnderSanitizer ? 60 : 10);
    ASSERT_EQ(release.wait_for(closing), std::future_status::ready);
    EXPECT_EQ(release.get(), TRUE);
    drain();
    const std::vector<BYTE> afterRelease = buffer;
    EXPECT_FALSE(NextFrame(&w, &l, 300)) << "a frame came after Velcor_Release returned";
    EXPECT_EQ(buffer, afterRelease);
    user.join();
    dialogs::SetDialogRunnerForTesting(nullptr);
    handle_ = 0;  // released above
}

}  // namespace
}  // namespace velcor
