// Frames from the simulated camera's ramp through the whole chain of the C API: the picture's
// pixel in column x and row y is (x + 2y) & 0xFF at 8 bits and (x + 2y) & 0xFFF at 16 bits.
#include <gtest/gtest.h>

#include <velcor/VelcorSdk.h>
#include <velcor/VelcorSim.h>
#include <velcor/VelcorWin.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

#include "api/SdkChain.h"
#include "camera/Velcor.h"
#include "platform/Clock.h"
#include "sim/SimTestSupport.h"
#include "support/AllocationCounter.h"
#include "support/Sanitizers.h"

namespace velcor {
namespace {

class RampCamera : public testing::SimTest {
  protected:
    void SetUp() override {
        testing::SimTest::SetUp();
        camera_ = VelcorSim_AttachCamera(0x32C0, "RAMP0001");
        ASSERT_GT(camera_, 0);
        ASSERT_TRUE(VelcorSim_SetScene(camera_, VELCOR_SIM_SCENE_RAMP));
        window_ = VelcorWin_CreateMessageWindow();
        handle_ = Velcor_Initialize(window_);
        ASSERT_NE(handle_, 0);
        ASSERT_EQ(Velcor_GetLastError(handle_), 0);
        // The tests choose their depth; 8 bits unless they say otherwise (the stored colour
        // mode of this camera is 16 bits).
        ASSERT_EQ(Velcor_SetColorMode(handle_, 8), TRUE);
        Velcor_SetPreviewWindow(handle_, nullptr, 0, 0, 0, 0);
        Velcor_SetWaitTime(handle_, 0);
    }
    void TearDown() override {
        Velcor_Release(handle_);
        VelcorWin_DestroyWindow(window_);
        testing::SimTest::TearDown();
    }

    // Checks a buffer of the window rows y0..y0+height-1 (rows of `stride` bytes).
    // mirrorV/mirrorH: the sensor's mirrors; topRowFirst: the buffer's row order.
    static void ExpectRamp(const std::vector<BYTE>& buffer, int bits, int y0, int height,
                           bool mirrorV, bool mirrorH, bool topRowFirst) {
        const int width = 1280;
        const size_t stride = static_cast<size_t>(width) * (bits / 8);
        int wrong = 0;
        for (int row = 0; row < height && wrong < 5; ++row) {
            const int imageRow = topRowFirst ? row : height - 1 - row;
            const int pictureY = mirrorV ? y0 + height - 1 - imageRow : y0 + imageRow;
            for (int x = 0; x < width && wrong < 5; ++x) {
                const int pictureX = mirrorH ? width - 1 - x : x;
                const int expected = (pictureX + 2 * pictureY) & (bits == 8 ? 0xFF : 0xFFF);
                int actual = 0;
                if (bits == 8) {
                    actual = buffer[stride * row + x];
                } else {
                    uint16_t sample;
                    std::memcpy(&sample, &buffer[stride * row + 2 * x], 2);
                    actual = sample;
                }
                if (actual != expected) {
                    ADD_FAILURE() << "row " << row << " column " << x << ": " << actual
                                  << " instead of " << expected;
                    ++wrong;
                }
            }
        }
    }

    std::vector<BYTE> Snap(int bits, int height, bool topRowFirst) {
        const int size = 1280 * height * (bits / 8);
        std::vector<BYTE> buffer(static_cast<size_t>(size));
        EXPECT_EQ(Velcor_SnapShot(handle_, buffer.data(), size, topRowFirst ? 1 : 0), TRUE);
        EXPECT_EQ(Velcor_GetLastError(handle_), 0);
        return buffer;
    }

    int camera_ = 0;
    HWND window_ = nullptr;
    int handle_ = 0;
};

TEST_F(RampCamera, SnapshotsCarryThePictureAtBothDepthsAndRowOrders) {
    for (int bits : {8, 16}) {
        ASSERT_EQ(Velcor_SetColorMode(handle_, bits), TRUE);
        for (bool topRowFirst : {true, false}) {
            SCOPED_TRACE(::testing::Message() << bits << " bits, top row first " << topRowFirst);
            ExpectRamp(Snap(bits, 1024, topRowFirst), bits, 0, 1024, false, false, topRowFirst);
        }
    }
}

TEST_F(RampCamera, WindowsOfRowsAndMirrorsReachTheApplication) {
    struct Case {
        int y0, height;
        bool mirrorV, mirrorH;
        int bits;
    };
    const Case cases[] = {{100, 200, false, false, 8}, {1016, 8, false, false, 8},
                          {0, 1024, true, false, 8},   {0, 1024, false, true, 8},
                          {300, 64, true, true, 16},   {0, 512, true, false, 16}};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "rows " << c.y0 << "+" << c.height << " mirror V "
                                          << c.mirrorV << " H " << c.mirrorH << ", " << c.bits);
        ASSERT_EQ(Velcor_SetColorMode(handle_, c.bits), TRUE);
        ASSERT_EQ(Velcor_SetCaptureWindowEx(handle_, 1280, 0, 1280, 1024, c.y0, c.height), TRUE);
        ASSERT_EQ(Velcor_SetMirrorV(handle_, c.mirrorV), TRUE);
        ASSERT_EQ(Velcor_SetMirrorH(handle_, c.mirrorH), TRUE);
        ExpectRamp(Snap(c.bits, c.height, true), c.bits, c.y0, c.height, c.mirrorV, c.mirrorH,
                   true);
    }
}

TEST_F(RampCamera, CallbackPreviewAndGetImageCarryThePicture) {
    ASSERT_EQ(Velcor_SetColorMode(handle_, 16), TRUE);
    const int size = 1280 * 1024 * 2;
    std::vector<BYTE> buffer(static_cast<size_t>(size));
    ASSERT_EQ(Velcor_CallBackPreview(handle_, window_, buffer.data(), size, 0), TRUE);
    VELCORMSG m{};
    ASSERT_TRUE(VelcorWin_GetMessage(&m, window_, VELCOR_WM_FRAME, VELCOR_WM_FRAME, 3000));
    ASSERT_NE(m.wParam, 0u);
    Velcor_StopPreview(handle_);
    ExpectRamp(buffer, 16, 0, 1024, false, false, false);
    std::vector<BYTE> image(static_cast<size_t>(size));
    ASSERT_EQ(Velcor_GetImage(handle_, image.data(), size, 1), TRUE);
    ExpectRamp(image, 16, 0, 1024, false, false, true);
}

TEST_F(RampCamera, TriggerModeDeliversOneFramePerPulse) {
    const int size = 1280 * 1024;
    std::vector<BYTE> buffer(static_cast<size_t>(size));
    ASSERT_EQ(Velcor_Trigger(handle_, window_, buffer.data(), size, 1), TRUE);
    // The worker first lets the running exposure end, then takes the frame counter: pulses
    // before that are not counted. Pulse until the first frame comes.
    VELCORMSG m{};
    bool first = false;
    for (int i = 0; i < 20 && !first; ++i) {
        ASSERT_TRUE(VelcorSim_FireTrigger(camera_));
        first = VelcorWin_GetMessage(&m, window_, VELCOR_WM_FRAME, VELCOR_WM_FRAME, 1000);
    }
    ASSERT_TRUE(first);
    // Frames of earlier pulses may still be on their way.
    while (VelcorWin_GetMessage(&m, window_, VELCOR_WM_FRAME, VELCOR_WM_FRAME, 1000)) {
    }
    for (int pulse = 0; pulse < 3; ++pulse) {
        ASSERT_TRUE(VelcorSim_FireTrigger(camera_));
        ASSERT_TRUE(VelcorWin_GetMessage(&m, window_, VELCOR_WM_FRAME, VELCOR_WM_FRAME, 5000))
            << "pulse " << pulse;
        ASSERT_NE(m.wParam, 0u);
        EXPECT_EQ(reinterpret_cast<const VELCORFRAMEINFO*>(m.wParam)->frameRate, 0);
    }
    EXPECT_FALSE(VelcorWin_GetMessage(&m, window_, VELCOR_WM_FRAME, VELCOR_WM_FRAME, 300))
        << "no frame without a pulse";
    EXPECT_EQ(Velcor_StopPreview(handle_), TRUE);
    ExpectRamp(buffer, 8, 0, 1024, false, false, true);
}

TEST_F(RampCamera, PreviewRateFollowsTheFramesDelivered) {
    if (test::kUnderSanitizer) GTEST_SKIP() << "a question of timing";
    ASSERT_TRUE(VelcorSim_SetFastFrames(camera_, FALSE));
    ASSERT_EQ(Velcor_SetExposureTimeEx(handle_, 0.010), TRUE);
    ASSERT_EQ(Velcor_CallBackPreview(handle_, window_, nullptr, 0, 1), TRUE);
    VELCORMSG m{};
    auto nextRate = [&] {
        EXPECT_TRUE(VelcorWin_GetMessage(&m, window_, VELCOR_WM_FRAME, VELCOR_WM_FRAME, 3000));
        return m.wParam != 0 ? reinterpret_cast<const VELCORFRAMEINFO*>(m.wParam)->frameRate : -1;
    };
    // The rate is measured over windows of at least a second; wait for the first.
    int rate = 0;
    for (int i = 0; i < 200 && rate == 0; ++i)
        rate = nextRate();
    ASSERT_GT(rate, 0);
    // Count the frames that arrive over the next two seconds.
    const auto start = std::chrono::steady_clock::now();
    int frames = 0;
    while (std::chrono::steady_clock::now() - start < std::chrono::seconds(2)) {
        rate = nextRate();
        ++frames;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    Velcor_StopPreview(handle_);
    const double observedTenths = 10.0 * frames / seconds;
    // Both are averages over different windows of a second or more: close, not equal.
    EXPECT_NEAR(rate, observedTenths, observedTenths * 0.5 + 10);
    // A 1054-line frame of 1344 clocks at 37.037 MHz lasts 38.2 ms: at most 26.2 frames a second.
    EXPECT_LE(rate, 275);
}

TEST_F(RampCamera, LostHeadersEndCallbackPreviewWithErrorThirteen) {
    platform::VirtualTimeScope virtualTime;  // the header retries pause 10 ms each
    ASSERT_EQ(Velcor_CallBackPreview(handle_, window_, nullptr, 0, 1), TRUE);
    VELCORMSG m{};
    ASSERT_TRUE(VelcorWin_GetMessage(&m, window_, VELCOR_WM_FRAME, VELCOR_WM_FRAME, 3000));
    // The controller retries a lost header 30 times, the engine five times.
    ASSERT_TRUE(VelcorSim_InjectFault(camera_, VELCORSIM_FAULT_HEADER_LOST, 1000));
    // 150 lost headers take about 5 s under the thread checker, more on a busy machine.
    bool stopped = false;
    while (!stopped && VelcorWin_GetMessage(&m, window_, VELCOR_WM_FRAME, VELCOR_WM_FRAME, 30000)) {
        stopped = m.wParam == 0 && m.lParam == VELCOR_ERR_STOPPED;
    }
    EXPECT_TRUE(stopped);
    // The worker posts before it records; once stopped it has done both.
    EXPECT_EQ(Velcor_StopPreview(handle_), TRUE);
    bool recorded = false;
    for (int code = Velcor_GetLastError(handle_); code != 0; code = Velcor_GetLastError(handle_)) {
        recorded |= code == VELCOR_ERR_STOPPED;
    }
    EXPECT_TRUE(recorded);
    VelcorSim_InjectFault(camera_, VELCORSIM_FAULT_HEADER_LOST, 0);
    EXPECT_EQ(Velcor_Capture(handle_), TRUE) << "back to idle";
}

TEST_F(RampCamera, ThePreviewWorkerAllocatesNothingPerFrame) {
    const int size = 1280 * 1024;
    std::vector<BYTE> buffer(static_cast<size_t>(size));
    ASSERT_EQ(Velcor_CallBackPreview(handle_, window_, buffer.data(), size, 1), TRUE);
    VELCORMSG m{};
    auto frames = [&](int count) {
        for (int i = 0; i < count; ++i) {
            ASSERT_TRUE(VelcorWin_GetMessage(&m, window_, VELCOR_WM_FRAME, VELCOR_WM_FRAME, 3000));
            ASSERT_NE(m.wParam, 0u);
        }
    };
    frames(5);  // the first frames may still grow message queues
    const uint64_t before = test::AllocationsOnThreadsNamed("velcor-worker");
    const uint64_t acquireBefore = test::AllocationsOnThreadsNamed("velcor-acquire");
    frames(50);
    const uint64_t during = test::AllocationsOnThreadsNamed("velcor-worker") - before;
    const uint64_t acquiring = test::AllocationsOnThreadsNamed("velcor-acquire") - acquireBefore;
    Velcor_StopPreview(handle_);
    EXPECT_EQ(during, 0u) << "wait, read, convert, copy and post must not allocate";
    RecordProperty("AcquisitionAllocationsPer50Frames", static_cast<int>(acquiring));
}

// The automatic gray balance writes its gains back into the camera object's filter values and
// uses up the request: the ramp's phases are nearly alike, so the gains come back near unity.
// (The simulated camera is monochrome: the automatic Bayer gain has no colour mode to run in.)
TEST_F(RampCamera, AutomaticGrayBalanceKeepsItsGainsInTheCamera) {
    int ok = 0;
    ASSERT_EQ(Velcor_SetColorMode(handle_, 8), TRUE);
    ASSERT_EQ(Velcor_SetFilterValue(handle_, 19, 1), TRUE);
    ASSERT_EQ(Velcor_SetFilterValue(handle_, 20, 50), TRUE);
    ASSERT_EQ(Velcor_SetFilterValue(handle_, 21, 10), TRUE);
    ASSERT_EQ(Velcor_SetFilterValue(handle_, 28, 1), TRUE);
    Snap(8, 1024, true);
    EXPECT_NEAR(Velcor_GetFilterValue(handle_, 20, &ok), 128, 3);
    EXPECT_EQ(Velcor_GetFilterValue(handle_, 21, &ok), 128);
    // The request was used up: the next frame keeps an application's gain.
    ASSERT_EQ(Velcor_SetFilterValue(handle_, 20, 50), TRUE);
    Snap(8, 1024, true);
    EXPECT_EQ(Velcor_GetFilterValue(handle_, 20, &ok), 50);
}

// Adjustments set through the C API shape the frame the application receives. The ramp holds
// every sample value, so each table is seen whole.
TEST_F(RampCamera, AdjustmentsSetThroughTheApiShapeTheSnapshot) {
    auto expectEach = [](const std::vector<BYTE>& buffer, int bits, auto expected) {
        int wrong = 0;
        for (int y = 0; y < 1024 && wrong < 5; y += 7) {
            for (int x = 0; x < 1280 && wrong < 5; ++x) {
                const int ramp = (x + 2 * y) & (bits == 8 ? 0xFF : 0xFFF);
                const size_t at = (static_cast<size_t>(y) * 1280 + x) * (bits / 8);
                uint16_t sample = buffer[at];
                if (bits == 16) std::memcpy(&sample, &buffer[at], 2);
                if (sample != expected(ramp)) {
                    ADD_FAILURE() << "(" << x << ", " << y << ") ramp " << ramp << ": " << sample
                                  << " instead of " << expected(ramp);
                    ++wrong;
                }
            }
        }
    };
    ASSERT_EQ(Velcor_SetColorMode(handle_, 8), TRUE);
    ASSERT_EQ(Velcor_SetFilterValue(handle_, VELCOR_FILTER_CONTRAST, 127), TRUE);
    expectEach(Snap(8, 1024, true), 8, [](int v) { return v < 128 ? 0 : v == 128 ? 128 : 255; });

    ASSERT_EQ(Velcor_SetFilterValue(handle_, VELCOR_FILTER_CONTRAST, 0), TRUE);
    ASSERT_EQ(Velcor_SetFilterValue(handle_, VELCOR_FILTER_GAMMA, 0), TRUE);
    expectEach(Snap(8, 1024, true), 8, [](int v) { return v == 255 ? 255 : 0; });

    ASSERT_EQ(Velcor_SetFilterValue(handle_, VELCOR_FILTER_GAMMA, 100), TRUE);
    ASSERT_EQ(Velcor_SetFilterValue(handle_, VELCOR_FILTER_BRIGHTNESS, -255), TRUE);
    expectEach(Snap(8, 1024, true), 8, [](int) { return 0; });

    // 16 bits: the ramp's 12-bit samples through a gamma of 200 (square root).
    ASSERT_EQ(Velcor_SetFilterValue(handle_, VELCOR_FILTER_BRIGHTNESS, 0), TRUE);
    ASSERT_EQ(Velcor_SetFilterValue(handle_, VELCOR_FILTER_GAMMA, 200), TRUE);
    ASSERT_EQ(Velcor_SetColorMode(handle_, 16), TRUE);
    expectEach(Snap(16, 1024, true), 16, [](int v) {
        return static_cast<int>(65535.0 * std::pow(v / 65535.0, 100.0 / 200.0));
    });
}

TEST_F(RampCamera, MaskReferencesAreTakenFromWholeFrames) {
    auto camera = SdkChain().Lookup(handle_);
    ASSERT_NE(camera, nullptr);
    EXPECT_EQ(camera->CorrectionPlane(1)->Pixels()[0], 0) << "the bright reference starts clear";
    Snap(8, 1024, true);
    ASSERT_EQ(Velcor_UpdateMaskData(handle_, 1), TRUE);
    const DibImage& bright = *camera->CorrectionPlane(1);
    EXPECT_EQ(bright.Pixels()[5 + 1280 * 3], (5 + 2 * 3) & 0xFF)
        << "the frame became the reference";
    EXPECT_EQ(camera->CorrectionPlane(0)->Pixels()[7], 0) << "the dark reference is untouched";

    EXPECT_EQ(Velcor_UpdateMaskData(handle_, 2), FALSE);
    EXPECT_EQ(Velcor_GetLastError(handle_), 12);

    ASSERT_EQ(Velcor_SetCaptureWindowEx(handle_, 1280, 0, 1280, 1024, 0, 512), TRUE);
    Snap(8, 512, true);
    EXPECT_EQ(Velcor_UpdateMaskData(handle_, 0), FALSE) << "a windowed frame is not taken";
    EXPECT_EQ(Velcor_GetLastError(handle_), 12);
    EXPECT_EQ(camera->CorrectionPlane(0)->Pixels()[7], 0) << "the dark reference is untouched";
}

TEST_F(RampCamera, StartAndStopCyclesLeaveNoThreadsBehind) {
    platform::VirtualTimeScope virtualTime;
    const int cycles = test::kUnderSanitizer ? 50 : 1000;
    for (int cycle = 0; cycle < cycles; ++cycle) {
        ASSERT_EQ(Velcor_StartPreview(handle_), TRUE) << cycle;
        ASSERT_EQ(cycle % 2 == 0 ? Velcor_StopPreview(handle_) : Velcor_Close(handle_), TRUE);
    }
    EXPECT_EQ(Velcor_GetLastError(handle_), 0);
    EXPECT_EQ(Velcor_Capture(handle_), TRUE) << "idle after the last stop";
}

}  // namespace
}  // namespace velcor

namespace velcor {
namespace {

class AutoExposure : public testing::SimTest {
  protected:
    void SetUp() override {
        testing::SimTest::SetUp();
        camera_ = VelcorSim_AttachCamera(0x32C0, "AUTO0001");
        ASSERT_GT(camera_, 0);
        handle_ = Velcor_Initialize(nullptr);
        ASSERT_NE(handle_, 0);
        ASSERT_EQ(Velcor_SetColorMode(handle_, 8), TRUE);  // the stored mode is 16 bits
        info_.size = sizeof info_;
        ASSERT_EQ(Velcor_GetCameraInfo(handle_, &info_), TRUE);
    }
    void TearDown() override {
        Velcor_Release(handle_);
        testing::SimTest::TearDown();
    }
    void Snap() {
        std::vector<BYTE> buffer(1280 * 1024);
        ASSERT_EQ(Velcor_SnapShot(handle_, buffer.data(), static_cast<int>(buffer.size()), 1),
                  TRUE);
    }
    int camera_ = 0;
    int handle_ = 0;
    VELCORCAMERAINFO info_{};
};

TEST_F(AutoExposure, ASaturatedPictureQuartersTheGain) {
    ASSERT_TRUE(VelcorSim_SetScene(camera_, VELCOR_SIM_SCENE_FLAT));
    ASSERT_EQ(Velcor_SetExposureTimeEx(handle_, 0.5), TRUE);
    ASSERT_EQ(Velcor_SetGlobalGain(handle_, 40), TRUE);
    ASSERT_EQ(Velcor_SetAutoIris(handle_, 2), TRUE);
    Snap();
    int ok = 0;
    // All five sample means at 255: 0.85 - 4 x 0.15 = 0.25.
    EXPECT_EQ(Velcor_GetGlobalGain(handle_, &ok), 10);
    EXPECT_EQ(Velcor_GetExposureTime(handle_, &ok), 5000) << "gain mode leaves the exposure";
}

TEST_F(AutoExposure, ASaturatedPictureQuartersTheExposure) {
    ASSERT_TRUE(VelcorSim_SetScene(camera_, VELCOR_SIM_SCENE_FLAT));
    ASSERT_EQ(Velcor_SetExposureTimeEx(handle_, 0.5), TRUE);
    ASSERT_EQ(Velcor_SetGlobalGain(handle_, 40), TRUE);
    ASSERT_EQ(Velcor_SetAutoIris(handle_, 1), TRUE);
    Snap();
    int ok = 0;
    EXPECT_EQ(Velcor_GetExposureTime(handle_, &ok), 1250);
    EXPECT_NEAR(Velcor_GetExposureTimeEx(handle_, &ok), 0.125, 0.0002) << "seconds follow";
    EXPECT_EQ(Velcor_GetGlobalGain(handle_, &ok), 40);
}

TEST_F(AutoExposure, AMidGrayPictureChangesNothing) {
    // The ramp's sample rectangles each average about 127.
    ASSERT_TRUE(VelcorSim_SetScene(camera_, VELCOR_SIM_SCENE_RAMP));
    ASSERT_EQ(Velcor_SetExposureTime(handle_, 4000), TRUE);
    ASSERT_EQ(Velcor_SetAutoIris(handle_, 1), TRUE);
    Snap();
    int ok = 0;
    EXPECT_EQ(Velcor_GetExposureTime(handle_, &ok), 4000);
}

}  // namespace
}  // namespace velcor
