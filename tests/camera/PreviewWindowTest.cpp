// The library's own preview window on a private X server, with the simulated camera's ramp
// (pixel (x + 2y) & 0xFF at 8 bits, & 0xFFF at 16 bits): where the window goes, what it
// shows, how its display image follows the window's size, and how it goes away.
#include <gtest/gtest.h>

#include <velcor/VelcorErrors.h>
#include <velcor/VelcorSdk.h>
#include <velcor/VelcorSim.h>
#include <velcor/VelcorWin.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "api/SdkChain.h"
#include "camera/Velcor.h"
#include "sim/SimTestSupport.h"
#include "support/X11TestClient.h"
#include "support/XvfbDisplay.h"

namespace velcor {
namespace {

using test::Gray;
using test::X11TestClient;
using test::XvfbDisplay;

constexpr int kWidth = 1280;
constexpr int kHeight = 1024;

class PreviewWindowTest : public testing::SimTest {
  protected:
    void SetUp() override {
        testing::SimTest::SetUp();
        camera_ = VelcorSim_AttachCamera(0x32C0, "PREV0001");
        ASSERT_GT(camera_, 0);
        ASSERT_TRUE(VelcorSim_SetScene(camera_, VELCOR_SIM_SCENE_RAMP));
        frames_ = VelcorWin_CreateMessageWindow();
        handle_ = Velcor_Initialize(frames_);
        ASSERT_NE(handle_, 0);
        ASSERT_EQ(Velcor_SetColorMode(handle_, 8), 1);
        Velcor_SetWaitTime(handle_, 0);
    }
    void TearDown() override {
        Velcor_Release(handle_);
        VelcorWin_DestroyWindow(frames_);
        testing::SimTest::TearDown();
    }

    // Starts a callback preview that posts a message per frame.
    void StartWithFrameMessages() {
        ASSERT_EQ(Velcor_CallBackPreview(handle_, frames_, nullptr, 0, 1), 1)
            << "error " << Velcor_GetLastError(handle_);
    }
    // Forgets the frame messages posted so far.
    void DrainFrames() {
        VELCORMSG m{};
        while (VelcorWin_PeekMessage(&m, frames_, 0, 0, VELCOR_PM_REMOVE)) {
        }
    }
    // Waits for count more frames (each drawn before its message is posted).
    void WaitFrames(int count) {
        for (int i = 0; i < count;) {
            VELCORMSG m{};
            ASSERT_TRUE(VelcorWin_GetMessage(&m, frames_, VELCOR_WM_FRAME, VELCOR_WM_FRAME, 5000));
            if (m.wParam != 0) ++i;
        }
    }
    // The last frame of the stopped preview, top row first.
    std::vector<uint8_t> LastImage(int bytesPerPixel) {
        std::vector<uint8_t> image(static_cast<size_t>(kWidth) * kHeight * bytesPerPixel);
        EXPECT_EQ(Velcor_GetImage(handle_, image.data(), static_cast<int>(image.size()), 1), 1);
        return image;
    }
    // What the camera object's preview window has counted; -1 without a window.
    struct Counts {
        int allocations = -1;
        int direct = -1;
    };
    Counts WindowCounts() {
        Counts counts;
        SdkChain().Lookup(handle_)->LendPreviewWindow([&](const PreviewWindow* w) {
            if (w == nullptr) return;
            counts.allocations = w->DisplayImageAllocations();
            counts.direct = w->DirectFrames();
        });
        return counts;
    }

    XvfbDisplay xvfb_;
    int camera_ = 0;
    HWND frames_ = nullptr;
    int handle_ = 0;
};

TEST_F(PreviewWindowTest, DefaultPlacementOpensCentredTopLevelWindowShowingThePictureUpright) {
    VELCOR_REQUIRE_DISPLAY(xvfb_);
    X11TestClient x;
    ASSERT_TRUE(x.Connected());
    StartWithFrameMessages();
    WaitFrames(3);
    ASSERT_EQ(Velcor_StopPreview(handle_), 1);

    const std::vector<Window> windows = x.PreviewWindows(x.Root());
    ASSERT_EQ(windows.size(), 1u);
    const Window w = windows[0];
    EXPECT_EQ(x.Title(w), "Active Window");
    const XWindowAttributes a = x.Attributes(w);
    EXPECT_EQ(a.width, kWidth);
    EXPECT_EQ(a.height, kHeight);
    // Centred on the 1920 x 1200 screen of the test server; the frame is the window manager's.
    EXPECT_EQ(a.x, (1920 - kWidth) / 2);
    EXPECT_EQ(a.y, (1200 - kHeight) / 2);
    EXPECT_GT(WindowCounts().direct, 0) << "a window of the picture's size is drawn 1:1";

    const std::vector<uint8_t> image = LastImage(1);
    // The ramp differs from top to bottom: an upside-down picture cannot pass.
    ASSERT_NE(image[0], image[static_cast<size_t>(kHeight - 1) * kWidth]);
    const std::vector<uint32_t> shot = x.Screenshot(w, kWidth, kHeight);
    ASSERT_EQ(shot.size(), image.size());
    int wrong = 0;
    for (size_t i = 0; i < image.size() && wrong < 5; ++i) {
        if (shot[i] != Gray(image[i])) {
            ADD_FAILURE() << "pixel " << i % kWidth << "," << i / kWidth << ": " << std::hex
                          << shot[i] << " for " << int{image[i]};
            ++wrong;
        }
    }
}

TEST_F(PreviewWindowTest, HalfSizeChildShowsEverySecondPixelOfEverySecondRow) {
    VELCOR_REQUIRE_DISPLAY(xvfb_);
    X11TestClient x;
    ASSERT_TRUE(x.Connected());
    const Window parent = x.CreateAppWindow(0, 0, 900, 700);
    HWND parentHandle = VelcorWin_FromX11Window(parent);
    ASSERT_EQ(Velcor_SetPreviewWindow(handle_, parentHandle, 12, 34, kWidth / 2, kHeight / 2), 1);
    StartWithFrameMessages();
    WaitFrames(3);
    ASSERT_EQ(Velcor_StopPreview(handle_), 1);

    const std::vector<Window> children = x.PreviewWindows(parent);
    ASSERT_EQ(children.size(), 1u);
    const Window child = children[0];
    EXPECT_EQ(x.Title(child), "ActiveMovie Window");
    EXPECT_EQ(x.CardinalProperty(child, "_VELCOR_CONTROL_ID"), 6540);
    const XWindowAttributes a = x.Attributes(child);
    EXPECT_EQ(a.x, 12);
    EXPECT_EQ(a.y, 34);
    EXPECT_EQ(WindowCounts().direct, 0);

    const std::vector<uint8_t> image = LastImage(1);
    constexpr int kW = kWidth / 2, kH = kHeight / 2;
    const std::vector<uint32_t> shot = x.Screenshot(child, kW, kH);
    ASSERT_EQ(shot.size(), static_cast<size_t>(kW) * kH);
    // The scaler takes source row h - 1 - 2j into display row j, and the bottom-up display
    // image shows display row H - 1 - Y at window row Y: window row Y is source row 2Y + 1.
    int wrong = 0;
    for (int y = 0; y < kH && wrong < 5; ++y) {
        for (int col = 0; col < kW && wrong < 5; ++col) {
            const uint8_t expected = image[static_cast<size_t>(2 * y + 1) * kWidth + 2 * col];
            if (shot[static_cast<size_t>(y) * kW + col] != Gray(expected)) {
                ADD_FAILURE() << "pixel " << col << "," << y << ": " << std::hex
                              << shot[static_cast<size_t>(y) * kW + col] << " for "
                              << int{expected};
                ++wrong;
            }
        }
    }
    Velcor_Close(handle_);
    VelcorWin_DestroyWindow(parentHandle);
}

TEST_F(PreviewWindowTest, ResizingTheWindowReallocatesTheDisplayImageOnce) {
    VELCOR_REQUIRE_DISPLAY(xvfb_);
    X11TestClient x;
    ASSERT_TRUE(x.Connected());
    const Window parent = x.CreateAppWindow(0, 0, 900, 700);
    HWND parentHandle = VelcorWin_FromX11Window(parent);
    ASSERT_EQ(Velcor_SetPreviewWindow(handle_, parentHandle, 0, 0, 320, 256), 1);
    StartWithFrameMessages();
    WaitFrames(3);
    // Sized to the window at the start, and kept while the size stays.
    EXPECT_EQ(WindowCounts().allocations, 1);

    const std::vector<Window> children = x.PreviewWindows(parent);
    ASSERT_EQ(children.size(), 1u);
    XResizeWindow(x.Get(), children[0], 400, 300);
    XSync(x.Get(), False);
    // The first frame after the drain may have been drawn before the resize.
    DrainFrames();
    WaitFrames(3);
    EXPECT_EQ(WindowCounts().allocations, 2);
    WaitFrames(3);
    EXPECT_EQ(WindowCounts().allocations, 2);
    ASSERT_EQ(Velcor_StopPreview(handle_), 1);

    // The new size is drawn in full: its bottom-right pixel is the picture's.
    const std::vector<uint8_t> image = LastImage(1);
    const std::vector<uint32_t> shot = x.Screenshot(children[0], 400, 300);
    ASSERT_EQ(shot.size(), 400u * 300u);
    const int sourceColumn = static_cast<int>(399 * (static_cast<float>(kWidth) / 400));
    const int sourceRow = static_cast<int>(0 * (static_cast<float>(kHeight) / 300));
    // Window row 299 is display row 0, which holds source row h - 1 - trunc(0 * h / H).
    EXPECT_EQ(shot[299 * 400 + 399],
              Gray(image[static_cast<size_t>(kHeight - 1 - sourceRow) * kWidth + sourceColumn]));
    Velcor_Close(handle_);
    VelcorWin_DestroyWindow(parentHandle);
}

TEST_F(PreviewWindowTest, SixteenBitFramesTakeTheReductionEvenAtTheWindowsSize) {
    VELCOR_REQUIRE_DISPLAY(xvfb_);
    X11TestClient x;
    ASSERT_TRUE(x.Connected());
    ASSERT_EQ(Velcor_SetColorMode(handle_, 16), 1);
    StartWithFrameMessages();
    WaitFrames(3);
    ASSERT_EQ(Velcor_StopPreview(handle_), 1);
    const Counts counts = WindowCounts();
    EXPECT_EQ(counts.direct, 0);
    EXPECT_EQ(counts.allocations, 1);

    const std::vector<Window> windows = x.PreviewWindows(x.Root());
    ASSERT_EQ(windows.size(), 1u);
    const std::vector<uint8_t> image = LastImage(2);
    const std::vector<uint32_t> shot = x.Screenshot(windows[0], kWidth, kHeight);
    ASSERT_EQ(shot.size(), static_cast<size_t>(kWidth) * kHeight);
    int wrong = 0;
    bool sawNonZero = false;
    for (size_t i = 0; i < shot.size() && wrong < 5; ++i) {
        uint16_t sample;
        std::memcpy(&sample, &image[2 * i], 2);
        const auto high = static_cast<uint8_t>(sample >> 8);
        sawNonZero |= high != 0;
        if (shot[i] != Gray(high)) {
            ADD_FAILURE() << "pixel " << i % kWidth << "," << i / kWidth << ": " << std::hex
                          << shot[i] << " for " << sample;
            ++wrong;
        }
    }
    EXPECT_TRUE(sawNonZero);
}

TEST_F(PreviewWindowTest, NoPlacementOpensNoWindowAndFramesStillFlow) {
    VELCOR_REQUIRE_DISPLAY(xvfb_);
    X11TestClient x;
    ASSERT_TRUE(x.Connected());
    ASSERT_EQ(Velcor_SetPreviewWindow(handle_, nullptr, 0, 0, 0, 0), 1);
    ASSERT_EQ(Velcor_Preview(handle_), 1);
    std::vector<uint8_t> image(static_cast<size_t>(kWidth) * kHeight);
    bool got = false;
    for (int i = 0; i < 300 && !got; ++i) {
        got = Velcor_GetImage(handle_, image.data(), static_cast<int>(image.size()), 1) == 1;
        if (!got) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(got);
    EXPECT_TRUE(x.PreviewWindows(x.Root()).empty());
    EXPECT_EQ(WindowCounts().allocations, -1);
    // The only errors are those of the reads made before the first frame was converted.
    for (int e = Velcor_GetLastError(handle_); e != 0; e = Velcor_GetLastError(handle_))
        EXPECT_EQ(e, VELCOR_ERR_NO_CAMERA);
}

TEST_F(PreviewWindowTest, WithoutDisplayTheStartFailsWithError4AndTheCameraStaysUsable) {
    const char* old = std::getenv("DISPLAY");
    const std::optional<std::string> saved = old ? std::optional<std::string>(old) : std::nullopt;
    ::unsetenv("DISPLAY");
    EXPECT_EQ(Velcor_Preview(handle_), 0);
    EXPECT_EQ(Velcor_GetLastError(handle_), VELCOR_ERR_WINDOW);
    if (saved) ::setenv("DISPLAY", saved->c_str(), 1);

    ASSERT_EQ(Velcor_SetPreviewWindow(handle_, nullptr, 0, 0, 0, 0), 1);
    StartWithFrameMessages();
    WaitFrames(2);
}

TEST_F(PreviewWindowTest, BogusParentGivesError4AndTheProcessGoesOn) {
    VELCOR_REQUIRE_DISPLAY(xvfb_);
    HWND bogus = VelcorWin_FromX11Window(0x7fffe01);
    ASSERT_EQ(Velcor_SetPreviewWindow(handle_, bogus, 0, 0, 320, 240), 1);
    EXPECT_EQ(Velcor_Preview(handle_), 0);
    EXPECT_EQ(Velcor_GetLastError(handle_), VELCOR_ERR_WINDOW);
    // A message window is no X11 window either.
    ASSERT_EQ(Velcor_SetPreviewWindow(handle_, frames_, 0, 0, 320, 240), 1);
    EXPECT_EQ(Velcor_Trigger(handle_, frames_, nullptr, 0, 1), 0);
    EXPECT_EQ(Velcor_GetLastError(handle_), VELCOR_ERR_WINDOW);

    ASSERT_EQ(Velcor_SetPreviewWindow(handle_, nullptr, 0, 0, 0, 0), 1);
    StartWithFrameMessages();
    WaitFrames(2);
    VelcorWin_DestroyWindow(bogus);
}

TEST_F(PreviewWindowTest, CloseDestroysTheWindow) {
    VELCOR_REQUIRE_DISPLAY(xvfb_);
    X11TestClient x;
    ASSERT_TRUE(x.Connected());
    const Window parent = x.CreateAppWindow(0, 0, 400, 300);
    HWND parentHandle = VelcorWin_FromX11Window(parent);

    // A top-level window.
    StartWithFrameMessages();
    WaitFrames(1);
    EXPECT_EQ(x.PreviewWindows(x.Root()).size(), 1u);
    ASSERT_EQ(Velcor_Close(handle_), 1);
    EXPECT_TRUE(x.PreviewWindows(x.Root()).empty());
    EXPECT_EQ(WindowCounts().allocations, -1);

    // A child window, by a recording that shows it; Close ends both.
    ASSERT_EQ(Velcor_SetPreviewWindow(handle_, parentHandle, 0, 0, 200, 100), 1);
    const std::string film = ::testing::TempDir() + "/preview_window_close.avi";
    ASSERT_EQ(Velcor_Record(handle_, film.c_str(), 60000, 1), 1)
        << "error " << Velcor_GetLastError(handle_);
    EXPECT_EQ(x.PreviewWindows(parent).size(), 1u);
    ASSERT_EQ(Velcor_Close(handle_), 1);
    EXPECT_TRUE(x.PreviewWindows(parent).empty());
    std::remove(film.c_str());

    // Release takes a window with it too.
    StartWithFrameMessages();
    EXPECT_EQ(x.PreviewWindows(parent).size(), 1u);
    Velcor_Release(handle_);
    handle_ = 0;
    EXPECT_TRUE(x.PreviewWindows(parent).empty());
    VelcorWin_DestroyWindow(parentHandle);
}

}  // namespace
}  // namespace velcor
