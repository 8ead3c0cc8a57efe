#include "camera/PreviewWindow.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>

#include "imaging/PixelRoutines.h"
#include "platform/Clock.h"

namespace velcor {
namespace {

// The child window's control id, as the application's dialog sees it.
constexpr int kPreviewControlId = 6540;

// Sub-sampling modes 1-3 (and their binned variants 17-19) halve, quarter and eighth the
// picture.
int SubSampleDivisor(int subSample) {
    switch (subSample) {
        case 1:
        case 17:
            return 2;
        case 2:
        case 18:
            return 4;
        case 3:
        case 19:
            return 8;
        default:
            return 1;
    }
}

platform::DibPixels PixelsOf(const DibImage& image) {
    platform::DibPixels p;
    p.pixels = image.Pixels();
    p.width = image.Width();
    p.height = image.Height();
    p.stride = image.Stride();
    p.bits = image.Bits();
    p.colours = reinterpret_cast<const uint8_t*>(image.Info().colours);
    return p;
}

bool EightBitDisplay(int colourMode) {
    return colourMode == 8 || colourMode == 16;
}

}  // namespace

std::unique_ptr<PreviewWindow> PreviewWindow::Open(const void* owner,
                                                   const PreviewPlacement& placement,
                                                   int captureWidth, int captureHeight,
                                                   int subSample) {
    auto w = std::make_unique<PreviewWindow>(OpenKey{});
    // The address tells the cameras apart, the sequence the windows of one camera.
    static std::atomic<uint32_t> sequence{0};
    char name[64];
    std::snprintf(name, sizeof name, "VideoRenderer_%08x_%08x",
                  static_cast<unsigned>(reinterpret_cast<uintptr_t>(owner) & 0xFFFFFFFFu),
                  static_cast<unsigned>(platform::TimeGetTime() + sequence.fetch_add(1)));
    w->className_ = name;
    w->classRegistered_ = platform::RegisterWindowClass(name);
    if (!w->classRegistered_) return nullptr;

    if (placement.parent != nullptr) {
        w->window_ = platform::CreateDisplayWindow(
            name, "ActiveMovie Window", platform::kStyleChildWindow, placement.x, placement.y,
            placement.width, placement.height, placement.parent, kPreviewControlId);
    } else {
        const int divisor = SubSampleDivisor(subSample);
        platform::WindowRect rect{0, 0, captureWidth / divisor, captureHeight / divisor};
        int screenWidth = 0, screenHeight = 0;
        if (!platform::AdjustWindowRectEx(&rect, platform::kStyleOverlappedWindow, false, 0) ||
            !platform::PrimaryScreenSize(&screenWidth, &screenHeight)) {
            return nullptr;
        }
        const int x = std::max((screenWidth - rect.Width()) / 2, 0);
        const int y = std::max((screenHeight - rect.Height()) / 2, 0);
        w->window_ =
            platform::CreateDisplayWindow(name, "Active Window", platform::kStyleOverlappedWindow,
                                          x, y, rect.Width(), rect.Height(), nullptr, 0);
    }
    if (w->window_ == nullptr) return nullptr;
    // Shown before it takes the focus: an X11 window must be viewable to get it.
    platform::ShowWindow(w->window_);
    platform::SetFocus(w->window_);
    if (!platform::UpdateWindow(w->window_)) return nullptr;
    w->dc_ = platform::GetDC(w->window_);
    if (w->dc_ == nullptr) return nullptr;
    return w;
}

PreviewWindow::~PreviewWindow() {
    if (dc_ != nullptr) platform::ReleaseDC(window_, dc_);
    if (window_ != nullptr) platform::DestroyDisplayWindow(window_);
    if (classRegistered_) platform::UnregisterWindowClass(className_.c_str());
}

bool PreviewWindow::DrawableArea(platform::WindowRect* client) const {
    return dc_ != nullptr && platform::GetClientRect(window_, client) &&
           platform::IsWindowVisible(window_) && client->Width() > 0 && client->Height() > 0;
}

void PreviewWindow::SizeDisplayImage(int width, int height, int colourMode) {
    const int bits = EightBitDisplay(colourMode) ? 8 : 24;
    if (display_.Width() == width && display_.Height() == height && display_.Bits() == bits) return;
    // Create gives 8-bit images the gray colour table.
    display_.Create(width, height, bits);
    ++displayAllocations_;
}

void PreviewWindow::PrepareDisplayImage(int colourMode) {
    platform::WindowRect client;
    if (DrawableArea(&client)) SizeDisplayImage(client.Width(), client.Height(), colourMode);
}

void PreviewWindow::Draw(int colourMode, const FrameImages& images) {
    // The 8 or 24-bit picture of the frame; the wider depths are reduced into those first.
    const DibImage* picture = nullptr;
    switch (colourMode) {
        case 8:
            picture = images.raw8;
            break;
        case 16:
            RectangleOperation(images.raw8, routines::GrayHighByte, images.raw16, nullptr, 0, 0);
            picture = images.raw8;
            break;
        case 24:
            picture = images.image24;
            break;
        case 32:
            RectangleOperation(images.image24, routines::Colour32To24, images.image32, nullptr, 0,
                               0);
            picture = images.image24;
            break;
        case 48:
        case 64: {
            const DibImage* wide = colourMode == 48 ? images.image48 : images.image64;
            RectangleOperation(images.image24, routines::Colour12Bit, wide, nullptr, 0, 0);
            picture = images.image24;
            break;
        }
        default:
            return;
    }
    if (picture == nullptr || picture->Empty()) return;

    platform::WindowRect client;
    if (!DrawableArea(&client)) return;
    const int width = client.Width();
    const int height = client.Height();
    if (width == picture->Width() && height == picture->Height() && colourMode != 16) {
        platform::StretchBltFlipped(dc_, PixelsOf(*picture));
        ++directFrames_;
        return;
    }
    SizeDisplayImage(width, height, colourMode);
    if (display_.Empty()) return;
    const ScaleRoutine scale = EightBitDisplay(colourMode) ? routines::Scale8 : routines::Scale24;
    RectangleOperation(&display_, scale, picture, nullptr, nullptr);
    platform::BitBlt(dc_, 0, 0, width, height, PixelsOf(display_));
}

}  // namespace velcor
