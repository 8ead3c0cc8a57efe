// The library's own preview window as a Windows application meets it, with the simulated
// camera's ramp (pixel (x + 2y) & 0xFF at 8 bits): where the window goes, what it shows, how
// its display image follows the window's size, and how it goes away.
#include <gtest/gtest.h>
#include <windows.h>

#include <velcor/VelcorErrors.h>
#include <velcor/VelcorSdk.h>
#include <velcor/VelcorSim.h>
#include <velcor/VelcorWin.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "Win32WindowTestSupport.h"
#include "api/SdkChain.h"
#include "camera/Velcor.h"
#include "sim/SimTestSupport.h"

namespace velcor {
namespace {

using test::Gray;
using test::Screenshot;

constexpr int kWidth = 1280;
constexpr int kHeight = 1024;

class Win32PreviewWindow : public testing::SimTest {
  protected:
    void SetUp() override {
        VELCOR_REQUIRE_WINDOWS();
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
        if (frames_ == nullptr) return;  // skipped
        Velcor_Release(handle_);
        VelcorWin_DestroyWindow(frames_);
        testing::SimTest::TearDown();
    }

    void StartWithFrameMessages() {
        ASSERT_EQ(Velcor_CallBackPreview(handle_, frames_, nullptr, 0, 1), 1)
            << "error " << Velcor_GetLastError(handle_);
    }
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
    // The one preview window among parent's children (this thread's top-level windows when
    // parent is null).
    HWND OnlyPreviewWindow(HWND parent) {
        const std::vector<HWND> windows = test::PreviewWindows(parent);
        EXPECT_EQ(windows.size(), 1u);
        return windows.size() == 1 ? windows[0] : nullptr;
    }

    int camera_ = 0;
    HWND frames_ = nullptr;
    int handle_ = 0;
};

// Counts the pixels where the shot differs from expected(x, y) and reports the first few.
template <typename Expected>
void ExpectShot(const std::vector<uint32_t>& shot, int width, int height, Expected expected) {
    ASSERT_EQ(shot.size(), static_cast<size_t>(width) * height);
    int wrong = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint32_t want = expected(x, y);
            const uint32_t got = shot[static_cast<size_t>(y) * width + x];
            if (got != want && ++wrong <= 5) {
                ADD_FAILURE() << "pixel " << x << "," << y << ": " << std::hex << got
                              << " instead of " << want;
            }
        }
    }
    EXPECT_EQ(wrong, 0);
}

TEST_F(Win32PreviewWindow, DefaultPlacementOpensCentredTopLevelWindowShowingThePictureUpright) {
    StartWithFrameMessages();
    WaitFrames(3);
    ASSERT_EQ(Velcor_StopPreview(handle_), 1);

    HWND w = OnlyPreviewWindow(nullptr);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(test::TitleOf(w), "Active Window");
    EXPECT_EQ(static_cast<uint32_t>(::GetWindowLongA(w, GWL_STYLE)) & 0x16CF0000u, 0x16CF0000u);
    const SIZE client = test::ClientSizeOf(w);
    EXPECT_EQ(client.cx, kWidth);
    EXPECT_EQ(client.cy, kHeight);
    // The window rectangle around the client area, centred on the primary screen.
    RECT frame{0, 0, kWidth, kHeight};
    ASSERT_TRUE(::AdjustWindowRectEx(&frame, 0x16CF0000, FALSE, 0));
    const int frameWidth = frame.right - frame.left, frameHeight = frame.bottom - frame.top;
    const POINT place = test::PlaceOf(w);
    EXPECT_EQ(place.x, std::max((::GetSystemMetrics(SM_CXSCREEN) - frameWidth) / 2, 0));
    EXPECT_EQ(place.y, std::max((::GetSystemMetrics(SM_CYSCREEN) - frameHeight) / 2, 0));
    EXPECT_GT(WindowCounts().direct, 0) << "a window of the picture's size is drawn 1:1";

    const std::vector<uint8_t> image = LastImage(1);
    // The ramp differs from top to bottom: an upside-down picture cannot pass.
    ASSERT_NE(image[0], image[static_cast<size_t>(kHeight - 1) * kWidth]);
    ExpectShot(Screenshot(w, kWidth, kHeight), kWidth, kHeight,
               [&](int x, int y) { return Gray(image[static_cast<size_t>(y) * kWidth + x]); });
}

TEST_F(Win32PreviewWindow, HalfSizeChildShowsEverySecondPixelOfEverySecondRow) {
    test::AppWindow parent(900, 700);
    ASSERT_NE(parent.Get(), nullptr);
    ASSERT_EQ(Velcor_SetPreviewWindow(handle_, parent.Get(), 12, 34, kWidth / 2, kHeight / 2), 1);
    StartWithFrameMessages();
    WaitFrames(3);
    ASSERT_EQ(Velcor_StopPreview(handle_), 1);

    HWND child = OnlyPreviewWindow(parent.Get());
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(test::TitleOf(child), "ActiveMovie Window");
    EXPECT_EQ(::GetDlgCtrlID(child), 6540);
    const POINT place = test::PlaceOf(child);
    EXPECT_EQ(place.x, 12);
    EXPECT_EQ(place.y, 34);
    EXPECT_EQ(WindowCounts().direct, 0);

    const std::vector<uint8_t> image = LastImage(1);
    constexpr int kW = kWidth / 2, kH = kHeight / 2;
    // The scaler takes source row h - 1 - 2j into display row j, and the bottom-up display
    // image shows display row H - 1 - Y at window row Y: window row Y is source row 2Y + 1.
    ExpectShot(Screenshot(child, kW, kH), kW, kH, [&](int x, int y) {
        return Gray(image[static_cast<size_t>(2 * y + 1) * kWidth + 2 * x]);
    });
    ASSERT_EQ(Velcor_Close(handle_), 1);
}

TEST_F(Win32PreviewWindow, ResizingTheWindowReallocatesTheDisplayImageOnce) {
    test::AppWindow parent(900, 700);
    ASSERT_NE(parent.Get(), nullptr);
    ASSERT_EQ(Velcor_SetPreviewWindow(handle_, parent.Get(), 0, 0, 320, 256), 1);
    StartWithFrameMessages();
    WaitFrames(3);
    EXPECT_EQ(WindowCounts().allocations, 1);

    HWND child = OnlyPreviewWindow(parent.Get());
    ASSERT_NE(child, nullptr);
    ASSERT_TRUE(::SetWindowPos(child, nullptr, 0, 0, 400, 300, SWP_NOMOVE | SWP_NOZORDER));
    // The first frame after the drain may have been drawn before the resize.
    DrainFrames();
    WaitFrames(3);
    EXPECT_EQ(WindowCounts().allocations, 2);
    WaitFrames(3);
    EXPECT_EQ(WindowCounts().allocations, 2);
    ASSERT_EQ(Velcor_StopPreview(handle_), 1);

    // The new size is drawn in full: its bottom-right pixel is the picture's.
    const std::vector<uint8_t> image = LastImage(1);
    const std::vector<uint32_t> shot = Screenshot(child, 400, 300);
    ASSERT_EQ(shot.size(), 400u * 300u);
    const int sourceColumn = static_cast<int>(399 * (static_cast<float>(kWidth) / 400));
    // Window row 299 is display row 0, which holds source row h - 1 - trunc(0 * h / H).
    EXPECT_EQ(shot[299 * 400 + 399],
              Gray(image[static_cast<size_t>(kHeight - 1) * kWidth + sourceColumn]));
    ASSERT_EQ(Velcor_Close(handle_), 1);
}

TEST_F(Win32PreviewWindow, SixteenBitFramesTakeTheReductionEvenAtTheWindowsSize) {
    ASSERT_EQ(Velcor_SetColorMode(handle_, 16), 1);
    StartWithFrameMessages();
    WaitFrames(3);
    ASSERT_EQ(Velcor_StopPreview(handle_), 1);
    const Counts counts = WindowCounts();
    EXPECT_EQ(counts.direct, 0);
    EXPECT_EQ(counts.allocations, 1);

    HWND w = OnlyPreviewWindow(nullptr);
    ASSERT_NE(w, nullptr);
    const std::vector<uint8_t> image = LastImage(2);
    bool sawNonZero = false;
    ExpectShot(Screenshot(w, kWidth, kHeight), kWidth, kHeight, [&](int x, int y) {
        uint16_t sample;
        std::memcpy(&sample, &image[2 * (static_cast<size_t>(y) * kWidth + x)], 2);
        const auto high = static_cast<uint8_t>(sample >> 8);
        sawNonZero |= high != 0;
        return Gray(high);
    });
    EXPECT_TRUE(sawNonZero);
}

TEST_F(Win32PreviewWindow, CloseAndReleaseTakeTheWindowAndItsClass) {
    StartWithFrameMessages();
    WaitFrames(1);
    HWND w = OnlyPreviewWindow(nullptr);
    ASSERT_NE(w, nullptr);
    const std::string className = test::ClassNameOf(w);
    ASSERT_EQ(Velcor_Close(handle_), 1);
    EXPECT_FALSE(::IsWindow(w));
    WNDCLASSEXA info{};
    info.cbSize = sizeof info;
    EXPECT_FALSE(::GetClassInfoExA(::GetModuleHandleA(nullptr), className.c_str(), &info))
        << "the class is unregistered with its window";
    EXPECT_EQ(WindowCounts().allocations, -1);

    // A child window, shown by a recording; Release takes it too.
    test::AppWindow parent(400, 300);
    ASSERT_NE(parent.Get(), nullptr);
    ASSERT_EQ(Velcor_SetPreviewWindow(handle_, parent.Get(), 0, 0, 200, 100), 1);
    char folder[MAX_PATH] = {};
    ASSERT_GT(::GetTempPathA(sizeof folder, folder), 0u);
    const std::string film = std::string(folder) + "velcor_preview_window_close.avi";
    ASSERT_EQ(Velcor_Record(handle_, film.c_str(), 60000, 1), 1)
        << "error " << Velcor_GetLastError(handle_);
    HWND child = OnlyPreviewWindow(parent.Get());
    ASSERT_NE(child, nullptr);
    Velcor_Release(handle_);
    handle_ = 0;
    EXPECT_FALSE(::IsWindow(child));
    EXPECT_TRUE(test::PreviewWindows(parent.Get()).empty());
    ::DeleteFileA(film.c_str());
}

TEST_F(Win32PreviewWindow, CloseFromAnotherThreadReturnsAndTheWindowsThreadEndsIt) {
    // The window belongs to the thread that started the preview, which runs a message loop;
    // Close comes from this thread, which may not destroy it.
    ::HANDLE started = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ::HANDLE finish = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    int startResult = 0;
    HWND window = nullptr;
    std::string className;
    bool goneOnItsThread = false;
    std::thread application([&] {
        startResult = Velcor_Preview(handle_);
        const std::vector<HWND> windows = test::PreviewWindows(nullptr);
        if (windows.size() == 1) window = windows[0];
        className = test::ClassNameOf(window);
        ::SetEvent(started);
        for (;;) {
            const DWORD woke = ::MsgWaitForMultipleObjects(1, &finish, FALSE, 10000, QS_ALLINPUT);
            ::MSG m{};
            while (::PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
                ::DispatchMessageA(&m);
            if (woke != WAIT_OBJECT_0 + 1) break;
        }
        goneOnItsThread = window != nullptr && !::IsWindow(window);
    });
    ::WaitForSingleObject(started, 10000);
    const auto before = std::chrono::steady_clock::now();
    const int closed = startResult == 1 ? Velcor_Close(handle_) : 0;
    const auto took = std::chrono::steady_clock::now() - before;
    const Counts counts = WindowCounts();
    ::SetEvent(finish);
    application.join();
    ::CloseHandle(started);
    ::CloseHandle(finish);

    ASSERT_EQ(startResult, 1) << "error " << Velcor_GetLastError(handle_);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(closed, 1);
    EXPECT_LT(took, std::chrono::seconds(5));
    EXPECT_EQ(counts.allocations, -1) << "the camera lets go of the window at once";
    EXPECT_TRUE(goneOnItsThread);

    // Its class could not go with Close; it goes with the next window the library opens.
    StartWithFrameMessages();
    WNDCLASSEXA info{};
    info.cbSize = sizeof info;
    EXPECT_FALSE(::GetClassInfoExA(::GetModuleHandleA(nullptr), className.c_str(), &info));
}

TEST_F(Win32PreviewWindow, ParentThatIsNoWindowGivesError4AndTheCameraStaysUsable) {
    HWND gone = nullptr;
    {
        test::AppWindow parent(100, 100);
        gone = parent.Get();
    }
    ASSERT_FALSE(::IsWindow(gone));
    ASSERT_EQ(Velcor_SetPreviewWindow(handle_, gone, 0, 0, 320, 240), 1);
    EXPECT_EQ(Velcor_Preview(handle_), 0);
    EXPECT_EQ(Velcor_GetLastError(handle_), VELCOR_ERR_WINDOW);

    ASSERT_EQ(Velcor_SetPreviewWindow(handle_, nullptr, 0, 0, 0, 0), 1);
    StartWithFrameMessages();
    WaitFrames(2);
    EXPECT_TRUE(test::PreviewWindows(nullptr).empty());
}

}  // namespace
}  // namespace velcor
