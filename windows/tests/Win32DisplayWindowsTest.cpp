// The preview window's platform layer on user32 and gdi32: the class and window the preview
// asks for, the row order and pixel formats of the two blits, and what the blits refuse.
#include "platform/DisplayWindows.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <thread>
#include <vector>

#include "Win32WindowTestSupport.h"

namespace velcor::platform {
namespace {

using test::Rgb;
using test::Screenshot;

class Win32DisplayWindows : public ::testing::Test {
  protected:
    void SetUp() override {
        VELCOR_REQUIRE_WINDOWS();
        ASSERT_NE(parent_.Get(), nullptr);
        ASSERT_TRUE(RegisterWindowClass(kClass));
        registered_ = true;
    }
    void TearDown() override {
        if (dc_ != nullptr) ReleaseDC(window_, dc_);
        if (window_ != nullptr) DestroyDisplayWindow(window_);
        if (registered_) UnregisterWindowClass(kClass);
    }
    // A child window of the size in the application's window, with its device context.
    void OpenChild(int width, int height) {
        window_ = CreateDisplayWindow(kClass, "ActiveMovie Window", kStyleChildWindow, 0, 0, width,
                                      height, parent_.Get(), 6540);
        ASSERT_NE(window_, nullptr);
        ASSERT_TRUE(platform::UpdateWindow(window_));
        dc_ = platform::GetDC(window_);
        ASSERT_NE(dc_, nullptr);
    }

    static constexpr const char* kClass = "VideoRenderer_0000abcd_00000001";
    test::AppWindow parent_{300, 200};
    bool registered_ = false;
    HWND window_ = nullptr;
    HDC dc_ = nullptr;
};

TEST_F(Win32DisplayWindows, ChildWindowHasTheClassTitleIdAndPlaceAskedFor) {
    EXPECT_FALSE(RegisterWindowClass(kClass)) << "a class name is registered once";
    EXPECT_EQ(CreateDisplayWindow("VideoRenderer_unknown", "x", kStyleOverlappedWindow, 0, 0, 8, 8,
                                  nullptr, 0),
              nullptr);

    window_ = CreateDisplayWindow(kClass, "ActiveMovie Window", kStyleChildWindow, 5, 6, 120, 80,
                                  parent_.Get(), 6540);
    ASSERT_NE(window_, nullptr);
    EXPECT_EQ(::GetParent(window_), parent_.Get());
    EXPECT_EQ(test::ClassNameOf(window_), kClass);
    EXPECT_EQ(test::TitleOf(window_), "ActiveMovie Window");
    EXPECT_EQ(::GetDlgCtrlID(window_), 6540);
    EXPECT_EQ(static_cast<uint32_t>(::GetWindowLongA(window_, GWL_STYLE)), kStyleChildWindow);
    const POINT place = test::PlaceOf(window_);
    EXPECT_EQ(place.x, 5);
    EXPECT_EQ(place.y, 6);
    WindowRect client;
    ASSERT_TRUE(GetClientRect(window_, &client));
    EXPECT_EQ(client.Width(), 120);
    EXPECT_EQ(client.Height(), 80);
    EXPECT_TRUE(platform::IsWindowVisible(window_));
    // The class paints black and belongs to the executable.
    WNDCLASSEXA info{};
    info.cbSize = sizeof info;
    ASSERT_TRUE(::GetClassInfoExA(::GetModuleHandleA(nullptr), kClass, &info));
    EXPECT_EQ(info.hbrBackground, ::GetStockObject(BLACK_BRUSH));
    EXPECT_EQ(info.lpfnWndProc, reinterpret_cast<WNDPROC>(::DefWindowProcA));

    // A class is kept while a window of it lives.
    EXPECT_FALSE(UnregisterWindowClass(kClass));
    ASSERT_TRUE(DestroyDisplayWindow(window_));
    EXPECT_FALSE(::IsWindow(window_));
    EXPECT_FALSE(DestroyDisplayWindow(window_));
    window_ = nullptr;
    EXPECT_TRUE(UnregisterWindowClass(kClass));
    EXPECT_FALSE(::GetClassInfoExA(::GetModuleHandleA(nullptr), kClass, &info));
    registered_ = false;
}

TEST_F(Win32DisplayWindows, TopLevelWindowGrowsByItsFrame) {
    WindowRect rect{0, 0, 320, 240};
    ASSERT_TRUE(AdjustWindowRectEx(&rect, kStyleOverlappedWindow, false, 0));
    RECT expected{0, 0, 320, 240};
    ASSERT_TRUE(::AdjustWindowRectEx(&expected, kStyleOverlappedWindow, FALSE, 0));
    EXPECT_EQ(rect.left, expected.left);
    EXPECT_EQ(rect.top, expected.top);
    EXPECT_EQ(rect.right, expected.right);
    EXPECT_EQ(rect.bottom, expected.bottom);
    EXPECT_FALSE(AdjustWindowRectEx(nullptr, kStyleOverlappedWindow, false, 0));

    window_ = CreateDisplayWindow(kClass, "Active Window", kStyleOverlappedWindow, 7, 9,
                                  rect.Width(), rect.Height(), nullptr, 0);
    ASSERT_NE(window_, nullptr);
    EXPECT_EQ(::GetParent(window_), nullptr);
    EXPECT_EQ(test::TitleOf(window_), "Active Window");
    const POINT place = test::PlaceOf(window_);
    EXPECT_EQ(place.x, 7);
    EXPECT_EQ(place.y, 9);
    const SIZE client = test::ClientSizeOf(window_);
    EXPECT_EQ(client.cx, 320);
    EXPECT_EQ(client.cy, 240);

    int width = 0, height = 0;
    ASSERT_TRUE(PrimaryScreenSize(&width, &height));
    EXPECT_EQ(width, ::GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(height, ::GetSystemMetrics(SM_CYSCREEN));
}

// A picture whose every pixel differs: blue = 0x10 + column, green = 0x40 + memory row,
// red = 0x80.
std::vector<uint8_t> Distinct(int width, int height, int stride, int bytesPerPixel) {
    std::vector<uint8_t> pixels(static_cast<size_t>(stride) * height, 0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &pixels[static_cast<size_t>(y) * stride + bytesPerPixel * x];
            p[0] = static_cast<uint8_t>(0x10 + x);
            p[1] = static_cast<uint8_t>(0x40 + y);
            p[2] = 0x80;
            if (bytesPerPixel == 4) p[3] = 0xEE;  // not a colour
        }
    }
    return pixels;
}

TEST_F(Win32DisplayWindows, PlainBlitShowsBottomUpRowsAndTheFlipShowsThemUpright) {
    constexpr int kW = 3, kH = 4, kStride = 12;
    OpenChild(kW, kH);
    const std::vector<uint8_t> pixels = Distinct(kW, kH, kStride, 3);
    const DibPixels dib{pixels.data(), kW, kH, kStride, 24, nullptr};

    ASSERT_TRUE(BitBlt(dc_, 0, 0, kW, kH, dib));
    std::vector<uint32_t> shot = Screenshot(window_, kW, kH);
    ASSERT_EQ(shot.size(), static_cast<size_t>(kW * kH));
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x)
            EXPECT_EQ(shot[y * kW + x], Rgb(0x80, 0x40 + (kH - 1 - y), 0x10 + x)) << x << "," << y;
    }

    ASSERT_TRUE(StretchBltFlipped(dc_, dib));
    shot = Screenshot(window_, kW, kH);
    ASSERT_EQ(shot.size(), static_cast<size_t>(kW * kH));
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x)
            EXPECT_EQ(shot[y * kW + x], Rgb(0x80, 0x40 + y, 0x10 + x)) << x << "," << y;
    }
}

TEST_F(Win32DisplayWindows, PartOfThePictureGoesWhereItIsAsked) {
    // 5 x 4 of a 6 x 6 picture at (1, 2): the left columns of the picture's top rows, which
    // are memory's last rows.
    constexpr int kW = 6, kH = 6, kStride = 20;
    OpenChild(8, 8);
    const std::vector<uint8_t> black(static_cast<size_t>(32) * 8, 0);
    ASSERT_TRUE(BitBlt(dc_, 0, 0, 8, 8, DibPixels{black.data(), 8, 8, 32, 32, nullptr}));
    const std::vector<uint8_t> pixels = Distinct(kW, kH, kStride, 3);
    ASSERT_TRUE(BitBlt(dc_, 1, 2, 5, 4, DibPixels{pixels.data(), kW, kH, kStride, 24, nullptr}));
    const std::vector<uint32_t> shot = Screenshot(window_, 8, 8);
    ASSERT_EQ(shot.size(), 64u);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            const bool inside = x >= 1 && x < 6 && y >= 2 && y < 6;
            const uint32_t expected =
                inside ? Rgb(0x80, 0x40 + (kH - 1 - (y - 2)), 0x10 + (x - 1)) : 0;
            EXPECT_EQ(shot[y * 8 + x], expected) << x << "," << y;
        }
    }
}

TEST_F(Win32DisplayWindows, ThirtyTwoAndEightBitImagesKeepTheirColours) {
    constexpr int kW = 4, kH = 2;
    OpenChild(kW, kH);

    const std::vector<uint8_t> wide = Distinct(kW, kH, kW * 4, 4);
    ASSERT_TRUE(StretchBltFlipped(dc_, DibPixels{wide.data(), kW, kH, kW * 4, 32, nullptr}));
    std::vector<uint32_t> shot = Screenshot(window_, kW, kH);
    ASSERT_EQ(shot.size(), static_cast<size_t>(kW * kH));
    for (int i = 0; i < kW * kH; ++i)
        EXPECT_EQ(shot[i], Rgb(0x80, 0x40 + i / kW, 0x10 + i % kW)) << i;

    // 8 bits go through the colour table, which need not be gray.
    std::vector<uint8_t> table(256 * 4, 0);
    for (int i = 0; i < 256; ++i) {
        table[4 * i] = static_cast<uint8_t>(i);            // blue
        table[4 * i + 1] = static_cast<uint8_t>(255 - i);  // green
        table[4 * i + 2] = 0x33;                           // red
    }
    const std::vector<uint8_t> indices = {0, 1, 2, 3, 200, 201, 202, 203};
    ASSERT_TRUE(StretchBltFlipped(dc_, DibPixels{indices.data(), kW, kH, kW, 8, table.data()}));
    shot = Screenshot(window_, kW, kH);
    ASSERT_EQ(shot.size(), static_cast<size_t>(kW * kH));
    for (int i = 0; i < kW * kH; ++i)
        EXPECT_EQ(shot[i], Rgb(0x33, 255 - indices[i], indices[i])) << i;
}

TEST_F(Win32DisplayWindows, BlitsRefuseWhatTheyCannotShowAndUnknownContexts) {
    OpenChild(4, 4);
    std::vector<uint8_t> pixels(64, 0x55);
    std::vector<uint8_t> table(256 * 4, 0);
    EXPECT_FALSE(StretchBltFlipped(dc_, DibPixels{pixels.data(), 4, 4, 8, 16, nullptr}));
    EXPECT_FALSE(StretchBltFlipped(dc_, DibPixels{pixels.data(), 4, 4, 4, 8, nullptr}))
        << "8 bits need a colour table";
    EXPECT_FALSE(StretchBltFlipped(dc_, DibPixels{nullptr, 4, 4, 12, 24, nullptr}));
    // Rows must lie as the bitmap header describes them: 3 x 24 bits take 12 bytes, not 9.
    EXPECT_FALSE(StretchBltFlipped(dc_, DibPixels{pixels.data(), 3, 4, 9, 24, nullptr}));
    EXPECT_TRUE(StretchBltFlipped(dc_, DibPixels{pixels.data(), 3, 4, 12, 24, nullptr}));
    EXPECT_TRUE(BitBlt(dc_, 0, 0, 0, 4, DibPixels{pixels.data(), 4, 4, 4, 8, table.data()}))
        << "an empty area draws nothing and is no failure";

    int foreign = 0;
    EXPECT_FALSE(StretchBltFlipped(reinterpret_cast<HDC>(&foreign),
                                   DibPixels{pixels.data(), 3, 4, 12, 24, nullptr}));
    EXPECT_FALSE(ReleaseDC(window_, reinterpret_cast<HDC>(&foreign)));
    EXPECT_EQ(platform::GetDC(nullptr), nullptr);
    ASSERT_TRUE(ReleaseDC(window_, dc_));
    EXPECT_FALSE(ReleaseDC(window_, dc_));
    EXPECT_FALSE(StretchBltFlipped(dc_, DibPixels{pixels.data(), 3, 4, 12, 24, nullptr}));
    dc_ = nullptr;
}

TEST_F(Win32DisplayWindows, WindowOfAnotherThreadIsClosedByThatThread) {
    // Only a window's own thread can destroy it: from here it is asked to close, and goes when
    // its thread reads its messages.
    HWND made = nullptr;
    HANDLE created = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE asked = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    bool goneOnItsThread = false;
    std::thread owner([&] {
        made = CreateDisplayWindow(kClass, "Active Window", kStyleOverlappedWindow, 0, 0, 64, 48,
                                   nullptr, 0);
        ::SetEvent(created);
        ::WaitForSingleObject(asked, 5000);
        ::MSG m{};
        while (::PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
            ::DispatchMessageA(&m);
        goneOnItsThread = made != nullptr && !::IsWindow(made);
    });
    ::WaitForSingleObject(created, 5000);
    ASSERT_NE(made, nullptr);
    EXPECT_TRUE(DestroyDisplayWindow(made));
    ::SetEvent(asked);
    owner.join();
    EXPECT_TRUE(goneOnItsThread);
    ::CloseHandle(created);
    ::CloseHandle(asked);
}

}  // namespace
}  // namespace velcor::platform
