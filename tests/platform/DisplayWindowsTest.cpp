// The preview window's platform layer on a private X server: window handles for X11 windows,
// window creation and its failures, the two blits' row order and pixel formats, and a server
// that goes away.
#include "platform/DisplayWindows.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/MessageWindows.h"
#include "support/X11TestClient.h"
#include "support/XvfbDisplay.h"

namespace velcor::platform {
namespace {

using test::X11TestClient;
using test::XvfbDisplay;

TEST(X11WindowHandles, SameIdGivesSameHandleThatTakesMessages) {
    EXPECT_EQ(WindowForX11(0), nullptr);
    HWND a = WindowForX11(0x5a00001);
    HWND b = WindowForX11(0x5a00002);
    ASSERT_NE(a, nullptr);
    EXPECT_NE(a, b);
    EXPECT_EQ(WindowForX11(0x5a00001), a);
    EXPECT_EQ(X11WindowOf(a), 0x5a00001u);
    EXPECT_EQ(X11WindowOf(b), 0x5a00002u);

    HWND plain = CreateMessageWindow();
    EXPECT_EQ(X11WindowOf(plain), 0u);
    EXPECT_EQ(X11WindowOf(nullptr), 0u);

    ASSERT_TRUE(PostMessage(a, 0x8002, 7, 9));
    MSG m{};
    ASSERT_TRUE(PeekMessage(&m, a, 0, 0, true));
    EXPECT_EQ(m.wParam, 7u);

    // A destroyed handle is forgotten: the id gets a new one.
    EXPECT_TRUE(DestroyWindow(a));
    EXPECT_EQ(X11WindowOf(a), 0u);
    HWND again = WindowForX11(0x5a00001);
    EXPECT_NE(again, a);
    DestroyWindow(again);
    DestroyWindow(b);
    DestroyWindow(plain);
}

TEST(DisplayWindows, WithoutDisplayNoWindowIsMade) {
    const char* old = std::getenv("DISPLAY");
    const std::optional<std::string> saved = old ? std::optional<std::string>(old) : std::nullopt;
    ::unsetenv("DISPLAY");
    ASSERT_TRUE(RegisterWindowClass("VideoRenderer_nodisplay"));
    EXPECT_EQ(CreateDisplayWindow("VideoRenderer_nodisplay", "Active Window",
                                  kStyleOverlappedWindow, 0, 0, 64, 48, nullptr, 0),
              nullptr);
    int w = 0, h = 0;
    EXPECT_FALSE(PrimaryScreenSize(&w, &h));
    EXPECT_TRUE(UnregisterWindowClass("VideoRenderer_nodisplay"));
    if (saved) ::setenv("DISPLAY", saved->c_str(), 1);
}

class DisplayWindowsOnXvfb : public ::testing::Test {
  protected:
    void SetUp() override {
        VELCOR_REQUIRE_DISPLAY(xvfb_);
        client_ = std::make_unique<X11TestClient>();
        ASSERT_TRUE(client_->Connected());
        ASSERT_TRUE(RegisterWindowClass(kClass));
    }
    void TearDown() override {
        if (dc_ != nullptr) ReleaseDC(window_, dc_);
        if (window_ != nullptr) DestroyDisplayWindow(window_);
        UnregisterWindowClass(kClass);
    }
    // A top-level window of the size at (10, 10) with its device context.
    void OpenTopLevel(int width, int height) {
        window_ = CreateDisplayWindow(kClass, "Active Window", kStyleOverlappedWindow, 10, 10,
                                      width, height, nullptr, 0);
        ASSERT_NE(window_, nullptr);
        ASSERT_TRUE(UpdateWindow(window_));
        dc_ = GetDC(window_);
        ASSERT_NE(dc_, nullptr);
    }

    static constexpr const char* kClass = "VideoRenderer_0000abcd_00000001";
    XvfbDisplay xvfb_;
    std::unique_ptr<X11TestClient> client_;
    HWND window_ = nullptr;
    HDC dc_ = nullptr;
};

TEST_F(DisplayWindowsOnXvfb, ClassTitleAndControlIdAreTheWindowsOwn) {
    EXPECT_FALSE(RegisterWindowClass(kClass)) << "a class name is registered once";
    EXPECT_EQ(CreateDisplayWindow("VideoRenderer_unknown", "x", kStyleOverlappedWindow, 0, 0, 8, 8,
                                  nullptr, 0),
              nullptr);

    const Window parent = client_->CreateAppWindow(0, 0, 300, 200);
    HWND parentHandle = WindowForX11(parent);
    window_ = CreateDisplayWindow(kClass, "ActiveMovie Window", kStyleChildWindow, 5, 6, 120, 80,
                                  parentHandle, 6540);
    ASSERT_NE(window_, nullptr);
    const std::vector<Window> children = client_->Children(parent);
    ASSERT_EQ(children.size(), 1u);
    const Window child = children[0];
    EXPECT_EQ(X11WindowOf(window_), child);
    EXPECT_EQ(client_->ClassName(child), kClass);
    EXPECT_EQ(client_->Title(child), "ActiveMovie Window");
    EXPECT_EQ(client_->CardinalProperty(child, "_VELCOR_CONTROL_ID"), 6540);
    const XWindowAttributes a = client_->Attributes(child);
    EXPECT_EQ(a.x, 5);
    EXPECT_EQ(a.y, 6);
    EXPECT_EQ(a.width, 120);
    EXPECT_EQ(a.height, 80);
    EXPECT_TRUE(IsWindowVisible(window_));
    WindowRect client;
    ASSERT_TRUE(GetClientRect(window_, &client));
    EXPECT_EQ(client.Width(), 120);
    EXPECT_EQ(client.Height(), 80);

    ASSERT_TRUE(DestroyDisplayWindow(window_));
    window_ = nullptr;
    EXPECT_TRUE(client_->Children(parent).empty());
    DestroyWindow(parentHandle);
}

TEST_F(DisplayWindowsOnXvfb, BadParentIdFailsWithoutEndingTheProcess) {
    HWND bogus = WindowForX11(0x7ffff01);
    EXPECT_EQ(CreateDisplayWindow(kClass, "ActiveMovie Window", kStyleChildWindow, 0, 0, 64, 48,
                                  bogus, 6540),
              nullptr);
    // A message window has no X11 window to be the parent.
    HWND plain = CreateMessageWindow();
    EXPECT_EQ(CreateDisplayWindow(kClass, "ActiveMovie Window", kStyleChildWindow, 0, 0, 64, 48,
                                  plain, 6540),
              nullptr);
    // The library's connections still work after the error.
    OpenTopLevel(16, 8);
    DestroyWindow(bogus);
    DestroyWindow(plain);
}

// A 3 x 4 picture whose every pixel differs: blue = column, green = memory row, red = 0x80.
std::vector<uint8_t> Distinct24(int width, int height, int stride) {
    std::vector<uint8_t> pixels(static_cast<size_t>(stride) * height, 0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &pixels[static_cast<size_t>(y) * stride + 3 * x];
            p[0] = static_cast<uint8_t>(0x10 + x);
            p[1] = static_cast<uint8_t>(0x40 + y);
            p[2] = 0x80;
        }
    }
    return pixels;
}

uint32_t Rgb(int r, int g, int b) {
    return (static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(g) << 8) |
           static_cast<uint32_t>(b);
}

TEST_F(DisplayWindowsOnXvfb, PlainBlitShowsBottomUpRowsAndTheFlipShowsThemUpright) {
    constexpr int kW = 3, kH = 4, kStride = 12;
    OpenTopLevel(kW, kH);
    const std::vector<uint8_t> pixels = Distinct24(kW, kH, kStride);
    const DibPixels dib{pixels.data(), kW, kH, kStride, 24, nullptr};
    const Window w = X11WindowOf(window_);

    ASSERT_TRUE(BitBlt(dc_, 0, 0, kW, kH, dib));
    std::vector<uint32_t> shot = client_->Screenshot(w, kW, kH);
    ASSERT_EQ(shot.size(), static_cast<size_t>(kW * kH));
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x)
            EXPECT_EQ(shot[y * kW + x], Rgb(0x80, 0x40 + (kH - 1 - y), 0x10 + x)) << x << "," << y;
    }

    ASSERT_TRUE(StretchBltFlipped(dc_, dib));
    shot = client_->Screenshot(w, kW, kH);
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x)
            EXPECT_EQ(shot[y * kW + x], Rgb(0x80, 0x40 + y, 0x10 + x)) << x << "," << y;
    }
}

TEST_F(DisplayWindowsOnXvfb, ThirtyTwoAndEightBitImagesKeepTheirColours) {
    constexpr int kW = 4, kH = 2;
    OpenTopLevel(kW, kH);
    const Window w = X11WindowOf(window_);

    // 32 bits: the fourth byte is not a colour.
    std::vector<uint8_t> wide(kW * 4 * kH);
    for (size_t i = 0; i < wide.size(); i += 4) {
        wide[i] = 1;
        wide[i + 1] = 2;
        wide[i + 2] = 3;
        wide[i + 3] = 0xEE;
    }
    ASSERT_TRUE(StretchBltFlipped(dc_, DibPixels{wide.data(), kW, kH, kW * 4, 32, nullptr}));
    for (uint32_t v : client_->Screenshot(w, kW, kH))
        EXPECT_EQ(v, Rgb(3, 2, 1));

    // 8 bits go through the colour table, which need not be gray.
    std::vector<uint8_t> table(256 * 4, 0);
    for (int i = 0; i < 256; ++i) {
        table[4 * i] = static_cast<uint8_t>(i);            // blue
        table[4 * i + 1] = static_cast<uint8_t>(255 - i);  // green
        table[4 * i + 2] = 0x33;                           // red
    }
    const std::vector<uint8_t> indices = {0, 1, 2, 3, 200, 201, 202, 203};
    ASSERT_TRUE(StretchBltFlipped(dc_, DibPixels{indices.data(), kW, kH, kW, 8, table.data()}));
    const std::vector<uint32_t> shot = client_->Screenshot(w, kW, kH);
    for (int i = 0; i < kW * kH; ++i)
        EXPECT_EQ(shot[i], Rgb(0x33, 255 - indices[i], indices[i])) << i;
}

TEST_F(DisplayWindowsOnXvfb, ResizedImageIsDrawnAtItsNewSize) {
    OpenTopLevel(8, 8);
    const Window w = X11WindowOf(window_);
    std::vector<uint8_t> small(4 * 4, 0x20), large(8 * 8, 0x90);
    std::vector<uint8_t> table(256 * 4);
    for (int i = 0; i < 256; ++i)
        table[4 * i] = table[4 * i + 1] = table[4 * i + 2] = static_cast<uint8_t>(i);
    ASSERT_TRUE(BitBlt(dc_, 0, 0, 8, 8, DibPixels{large.data(), 8, 8, 8, 8, table.data()}));
    ASSERT_TRUE(BitBlt(dc_, 0, 0, 4, 4, DibPixels{small.data(), 4, 4, 4, 8, table.data()}));
    const std::vector<uint32_t> shot = client_->Screenshot(w, 8, 8);
    EXPECT_EQ(shot[0], test::Gray(0x20));
    EXPECT_EQ(shot[3 * 8 + 3], test::Gray(0x20));
    EXPECT_EQ(shot[4 * 8 + 4], test::Gray(0x90));
}

TEST(DisplayWindowsServerLoss, DrawingFailsQuietlyWhenTheServerGoes) {
    auto xvfb = std::make_unique<XvfbDisplay>();
    VELCOR_REQUIRE_DISPLAY(*xvfb);
    ASSERT_TRUE(RegisterWindowClass("VideoRenderer_serverloss"));
    HWND window = CreateDisplayWindow("VideoRenderer_serverloss", "Active Window",
                                      kStyleOverlappedWindow, 0, 0, 4, 4, nullptr, 0);
    ASSERT_NE(window, nullptr);
    HDC dc = GetDC(window);
    ASSERT_NE(dc, nullptr);
    std::vector<uint8_t> pixels(4 * 4 * 3, 0x55);
    const DibPixels dib{pixels.data(), 4, 4, 12, 24, nullptr};
    ASSERT_TRUE(StretchBltFlipped(dc, dib));

    xvfb.reset();
    // The process goes on: the connection is marked broken and drawing stops.
    EXPECT_FALSE(StretchBltFlipped(dc, dib));
    EXPECT_FALSE(StretchBltFlipped(dc, dib));
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_FALSE(UpdateWindow(window));
    EXPECT_TRUE(ReleaseDC(window, dc));
    EXPECT_TRUE(DestroyDisplayWindow(window));
    EXPECT_TRUE(UnregisterWindowClass("VideoRenderer_serverloss"));
}

}  // namespace
}  // namespace velcor::platform
