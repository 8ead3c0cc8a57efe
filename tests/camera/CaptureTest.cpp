// The camera object against simulated cameras, through the C API: device selection, the
// capture state machine, frame messages and application buffers.
#include <gtest/gtest.h>

#include <velcor/VelcorSdk.h>
#include <velcor/VelcorSim.h>
#include <velcor/VelcorWin.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "camera/CameraTestSupport.h"
#include "platform/Clock.h"
#include "support/Sanitizers.h"

namespace velcor {
namespace {

using testing::CameraOnSimulator;

TEST_F(CameraOnSimulator, OneAttachedCameraIsOpenedAtOnce) {
    Open(1);
    EXPECT_EQ(Serial(), "SIM0001");
    int ok = 0;
    EXPECT_EQ(Velcor_Fpga_ReadRegister(handle_, 0x107, &ok),
              Velcor_Fpga_ReadRegister(handle_, 7, &ok))
        << "register numbers are cut to 8 bits";
    EXPECT_EQ(ok, 1);
}

TEST_F(CameraOnSimulator, DeviceNumberSelectsAmongSeveralCameras) {
    Open(2);
    char name[32];
    EXPECT_EQ(Velcor_GetDeviceName(handle_, 1, name, sizeof name), TRUE);
    EXPECT_STREQ(name, "VelcorTX40_02");
    ASSERT_EQ(Velcor_SetDeviceNumber(handle_, 1), TRUE);
    EXPECT_EQ(Serial(), "SIM0002");
    ASSERT_EQ(Velcor_SetDeviceNumber(handle_, 0), TRUE);
    EXPECT_EQ(Serial(), "SIM0001");
    EXPECT_EQ(Velcor_SetDeviceNumber(handle_, 2), FALSE);
    EXPECT_EQ(LastError(), 2);
}

TEST_F(CameraOnSimulator, StartingTwiceKeepsOnePreviewAndOtherStartsAreRefused) {
    Open(1);
    Velcor_SetPreviewWindow(handle_, nullptr, 0, 0, 0, 0);
    ASSERT_EQ(Velcor_StartPreview(handle_), TRUE);
    EXPECT_EQ(Velcor_StartPreview(handle_), TRUE);
    EXPECT_EQ(LastError(), 0);
    EXPECT_EQ(Velcor_Capture(handle_), FALSE);
    EXPECT_EQ(LastError(), 1);
    EXPECT_EQ(Velcor_SnapShot(handle_, nullptr, 0, 1), FALSE);
    EXPECT_EQ(LastError(), 1);
    EXPECT_EQ(Velcor_Trigger(handle_, window_, nullptr, 0, 1), FALSE);
    EXPECT_EQ(LastError(), 1);
    EXPECT_EQ(Velcor_StopPreview(handle_), TRUE);
    EXPECT_EQ(Velcor_Capture(handle_), TRUE) << "idle again after the stop";
}

TEST_F(CameraOnSimulator, SnapshotsInCaptureModeKeepTheState) {
    Open(1);
    ASSERT_EQ(Velcor_Capture(handle_), TRUE);
    EXPECT_EQ(Velcor_Capture(handle_), TRUE);
    const int size = Velcor_Width(handle_) * Velcor_Height(handle_);
    std::vector<BYTE> buffer(static_cast<size_t>(size));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Velcor_SnapShot(handle_, buffer.data(), size, 1), TRUE) << i;
    }
    EXPECT_EQ(Velcor_StartPreview(handle_), FALSE) << "capture mode forbids preview";
    EXPECT_EQ(LastError(), 1);
    EXPECT_EQ(Velcor_GetImage(handle_, buffer.data(), size, 0), TRUE);
}

TEST_F(CameraOnSimulator, TooSmallBufferFailsTheSnapshotAndReleasesTheFrameLock) {
    Open(1);
    const int size = Velcor_Width(handle_) * Velcor_Height(handle_);
    std::vector<BYTE> buffer(static_cast<size_t>(size));
    EXPECT_EQ(Velcor_SnapShot(handle_, buffer.data(), size - 1, 1), FALSE);
    EXPECT_EQ(LastError(), 5);
    std::atomic<int> result{-1};
    std::thread other([&] { result = Velcor_GetImage(handle_, buffer.data(), size, 1); });
    other.join();  // would hang if the lock were still held
    EXPECT_EQ(result.load(), TRUE);
}

TEST_F(CameraOnSimulator, CallbackPreviewPostsOneMessagePerFrame) {
    Open(1);
    Velcor_SetPreviewWindow(handle_, nullptr, 0, 0, 0, 0);
    ASSERT_EQ(Velcor_SetWaitTime(handle_, 0), TRUE);
    ASSERT_EQ(Velcor_CallBackPreview(handle_, window_, nullptr, 0, 1), TRUE);
    for (int i = 0; i < 3; ++i) {
        WPARAM w = 0;
        LPARAM l = 0;
        ASSERT_TRUE(NextFrame(&w, &l)) << i;
        ASSERT_NE(w, 0u) << "frame failed with error " << l;
        const auto* info = reinterpret_cast<const VELCORFRAMEINFO*>(w);
        EXPECT_EQ(info->width, 1280);
        EXPECT_EQ(info->height, 1024);
        EXPECT_EQ(info->bitsPerPixel, 8);
        EXPECT_EQ(info->image, nullptr) << "no buffer was given";
    }
    EXPECT_EQ(Velcor_StopPreview(handle_), TRUE);
}

// Any pause between preview frames may be set; stopping ends a long one instead of waiting it
// out.
TEST_F(CameraOnSimulator, StoppingEndsALongPauseBetweenFrames) {
    Open(1);
    Velcor_SetPreviewWindow(handle_, nullptr, 0, 0, 0, 0);
    ASSERT_EQ(Velcor_SetWaitTime(handle_, 0), TRUE);
    ASSERT_EQ(Velcor_CallBackPreview(handle_, window_, nullptr, 0, 1), TRUE);
    WPARAM w = 0;
    LPARAM l = 0;
    ASSERT_TRUE(NextFrame(&w, &l));
    ASSERT_EQ(Velcor_SetWaitTime(handle_, INT_MAX), TRUE);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the worker is in the pause

    auto stop = std::async(std::launch::async, [this] { return Velcor_StopPreview(handle_); });
    if (stop.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        std::fprintf(stderr, "Velcor_StopPreview waits out the pause between frames\n");
        std::abort();  // the call would keep the handle busy for 24 days
    }
    EXPECT_EQ(stop.get(), TRUE);
}

// Trigger mode first lets the running exposure end, up to 2.1 s at the longest exposure;
// stopping does not wait for it.
TEST_F(CameraOnSimulator, StoppingTriggerModeDoesNotWaitForTheRunningExposure) {
    if (test::kUnderSanitizer) GTEST_SKIP() << "a test of timing";
    Open(1);
    Velcor_SetPreviewWindow(handle_, nullptr, 0, 0, 0, 0);
    ASSERT_EQ(Velcor_SetExposureTime(handle_, 20000), TRUE);
    ASSERT_EQ(Velcor_Trigger(handle_, window_, nullptr, 0, 1), TRUE);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Velcor_StopPreview(handle_), TRUE);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
}

TEST_F(CameraOnSimulator, CallbackPreviewFillsTheApplicationBufferBottomRowFirst) {
    Open(1);
    Velcor_SetPreviewWindow(handle_, nullptr, 0, 0, 0, 0);
    Velcor_SetWaitTime(handle_, 0);
    ASSERT_EQ(Velcor_SetColorMode(handle_, 16), TRUE);
    const int size = 1280 * 1024 * 2;
    std::vector<BYTE> buffer(static_cast<size_t>(size));
    ASSERT_EQ(Velcor_CallBackPreview(handle_, window_, buffer.data(), size, 0), TRUE);
    WPARAM w = 0;
    LPARAM l = 0;
    ASSERT_TRUE(NextFrame(&w, &l));
    ASSERT_NE(w, 0u) << "frame failed with error " << l;
    const auto* info = reinterpret_cast<const VELCORFRAMEINFO*>(w);
    EXPECT_EQ(info->image, buffer.data());
    EXPECT_EQ(info->bitsPerPixel, 16);
    Velcor_StopPreview(handle_);
}

TEST_F(CameraOnSimulator, AnUnpluggedCameraEndsCallbackPreviewWithErrorThirteen) {
    Open(1);
    Velcor_SetPreviewWindow(handle_, nullptr, 0, 0, 0, 0);
    Velcor_SetWaitTime(handle_, 0);
    ASSERT_EQ(Velcor_CallBackPreview(handle_, window_, nullptr, 0, 1), TRUE);
    WPARAM w = 0;
    LPARAM l = 0;
    ASSERT_TRUE(NextFrame(&w, &l));
    testing::SimTest::TearDown();  // unplugs every simulated camera
    bool stopped = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!stopped && std::chrono::steady_clock::now() < deadline && NextFrame(&w, &l, 60000)) {
        stopped = w == 0 && l == VELCOR_ERR_STOPPED;
    }
    EXPECT_TRUE(stopped);
    // The worker posts before it records; once stopped it has done both.
    EXPECT_EQ(Velcor_StopPreview(handle_), TRUE);
    bool recorded = false;
    for (int code = LastError(); code != 0; code = LastError())
        recorded |= code == 13;
    EXPECT_TRUE(recorded);
    EXPECT_EQ(Velcor_SnapShot(handle_, nullptr, 0, 1), FALSE);
    EXPECT_EQ(LastError(), 2) << "the camera is gone";
}

TEST_F(CameraOnSimulator, PreviewWithAPlacedWindowNeedsThePreviewWindow) {
    Open(1);
    EXPECT_EQ(Velcor_Preview(handle_), FALSE) << "the default placement asks for a window";
    EXPECT_EQ(LastError(), 4);
    Velcor_SetPreviewWindow(handle_, nullptr, 0, 0, 0, 0);
    EXPECT_EQ(Velcor_Preview(handle_), TRUE) << "no placement: preview without a window";
    const int size = 1280 * 1024;
    std::vector<BYTE> buffer(static_cast<size_t>(size));
    bool gotImage = false;
    for (int i = 0; i < 200 && !gotImage; ++i) {
        gotImage = Velcor_GetImage(handle_, buffer.data(), size, 1) == TRUE;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_TRUE(gotImage);
    EXPECT_EQ(Velcor_Close(handle_), TRUE);
}

// A start makes the images afresh, all zeros: until the first frame of that capture has been
// converted there is no picture to read or save, only error 1 as before any frame.
TEST_F(CameraOnSimulator, NoImageIsReadBetweenACaptureStartAndItsFirstFrame) {
    Open(1);
    const int size = 1280 * 1024;
    std::vector<BYTE> buffer(static_cast<size_t>(size));
    const std::string picture =
        ::testing::TempDir() + "no-image-" + std::to_string(getpid()) + ".bmp";
    ASSERT_EQ(Velcor_Capture(handle_), TRUE);
    EXPECT_EQ(Velcor_GetImage(handle_, buffer.data(), size, 1), FALSE);
    EXPECT_EQ(LastError(), 1);

    ASSERT_EQ(Velcor_SnapShot(handle_, nullptr, 0, 1), TRUE);
    EXPECT_EQ(Velcor_GetImage(handle_, buffer.data(), size, 1), TRUE);
    EXPECT_EQ(Velcor_StopPreview(handle_), TRUE);
    EXPECT_EQ(Velcor_GetImage(handle_, buffer.data(), size, 1), TRUE) << "a stop keeps the frame";

    // A new start: the frame before it went with the old images.
    ASSERT_EQ(Velcor_Capture(handle_), TRUE);
    EXPECT_EQ(Velcor_GetImage(handle_, buffer.data(), size, 1), FALSE);
    EXPECT_EQ(LastError(), 1);
    EXPECT_EQ(Velcor_SaveImage(handle_, picture.c_str(), VELCOR_FILE_BMP), FALSE);
    EXPECT_EQ(LastError(), 1);

    // A snapshot whose copy failed still converted its frame.
    EXPECT_EQ(Velcor_SnapShot(handle_, buffer.data(), size - 1, 1), FALSE);
    EXPECT_EQ(LastError(), 5);
    EXPECT_EQ(Velcor_GetImage(handle_, buffer.data(), size, 1), TRUE);
    EXPECT_EQ(Velcor_SaveImage(handle_, picture.c_str(), VELCOR_FILE_BMP), TRUE);
    std::remove(picture.c_str());
}

// The rate in the frame record is measured from the start of the preview: the first frames
// carry 0 (no second measured yet), not a rate over the time the handle sat idle before.
TEST_F(CameraOnSimulator, PreviewRateIsMeasuredFromThePreviewsStart) {
    Open(1);
    {
        // The handle sits idle for five seconds first.
        platform::VirtualTimeScope idle;
        platform::Sleep(5000);
    }
    Velcor_SetPreviewWindow(handle_, nullptr, 0, 0, 0, 0);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(Velcor_CallBackPreview(handle_, window_, nullptr, 0, 1), TRUE);
    WPARAM w = 0;
    LPARAM l = 0;
    ASSERT_TRUE(NextFrame(&w, &l));
    ASSERT_NE(w, 0u) << "frame failed with error " << l;
    const int rate = reinterpret_cast<const VELCORFRAMEINFO*>(w)->frameRate;
    const auto elapsedMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                               std::chrono::steady_clock::now() - start)
                               .count();
    if (elapsedMs < 1000) {
        EXPECT_EQ(rate, 0) << "no second of this preview has passed";
    } else if (rate != 0) {
        // A slow build, whose first frame may have ended the first second. A rate over the idle
        // time before would be at most 10000 / (5000 + elapsedMs).
        EXPECT_GE(rate, 10000 / elapsedMs);
    }
    EXPECT_EQ(Velcor_StopPreview(handle_), TRUE);
}

// Recording a callback preview that runs already records it as it runs: its frame messages
// and its buffer go on.
TEST_F(CameraOnSimulator, RecordingARunningCallbackPreviewKeepsItsFrameMessages) {
    Open(1);
    Velcor_SetPreviewWindow(handle_, nullptr, 0, 0, 0, 0);
    const int size = 1280 * 1024;
    std::vector<BYTE> buffer(static_cast<size_t>(size));
    ASSERT_EQ(Velcor_CallBackPreview(handle_, window_, buffer.data(), size, 1), TRUE);
    WPARAM w = 0;
    LPARAM l = 0;
    ASSERT_TRUE(NextFrame(&w, &l));
    const std::string film =
        ::testing::TempDir() + "recorded-callback-" + std::to_string(getpid()) + ".avi";
    ASSERT_EQ(Velcor_Record(handle_, film.c_str(), 60000, 0), TRUE);
    // Messages posted before the recording started.
    VELCORMSG m{};
    while (VelcorWin_PeekMessage(&m, window_, VELCOR_WM_FRAME, VELCOR_WM_FRAME, VELCOR_PM_REMOVE)) {
    }
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(NextFrame(&w, &l)) << "frame " << i << " while recording";
        ASSERT_NE(w, 0u) << "frame failed with error " << l;
        EXPECT_EQ(reinterpret_cast<const VELCORFRAMEINFO*>(w)->image, buffer.data());
    }
    EXPECT_EQ(Velcor_StopPreview(handle_), TRUE);
    std::remove(film.c_str());
}

}  // namespace
}  // namespace velcor
