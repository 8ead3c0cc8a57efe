// The library's own preview window: a child of an application window at the placement the
// application chose, or a top-level window of the capture's size centred on the screen. It
// owns its window class, the window, the device context it draws through and the display
// image that frames are scaled into when the window's size differs from the picture's.
//
// Threads: opened and destroyed on the application's thread; drawn by the worker under the
// frame lock, which also guards the session's pointer to the window.
#pragma once

#include <velcor/VelcorTypes.h>

#include <memory>
#include <string>

#include "imaging/DibImage.h"
#include "imaging/FrameConverter.h"
#include "platform/DisplayWindows.h"

namespace velcor {

// Where the application placed the window (Velcor_SetPreviewWindow).
struct PreviewPlacement {
    HWND parent = nullptr;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

class PreviewWindow {
  public:
    // With a parent, a child window at the placement; without one, a top-level window whose
    // client area is the capture size divided by the sub-sampling divisor. owner only makes
    // the window class name unique. Null when the window cannot be had: no display, a parent
    // the server does not know, a failed first update or no device context.
    static std::unique_ptr<PreviewWindow> Open(const void* owner, const PreviewPlacement& placement,
                                               int captureWidth, int captureHeight, int subSample);
    // Releases the device context, destroys the window and unregisters the class.
    ~PreviewWindow();
    PreviewWindow(const PreviewWindow&) = delete;
    PreviewWindow& operator=(const PreviewWindow&) = delete;

    // Sizes the display image to the client area for a capture in the colour mode (8-bit for
    // modes 8 and 16, 24-bit otherwise), when the window is visible and not empty.
    void PrepareDisplayImage(int colourMode);
    // Shows the converted frame of the colour mode: 1:1 when the client area has the
    // picture's size (except mode 16, whose 16-bit picture always goes through its 8-bit
    // reduction), scaled by nearest neighbour into the display image otherwise. Modes 16, 32,
    // 48 and 64 reduce their image into the 8 or 24-bit image first. A hidden or empty window
    // is skipped.
    void Draw(int colourMode, const FrameImages& images);

    HWND Handle() const { return window_; }
    const std::string& ClassName() const { return className_; }
    // How often the display image was (re)allocated: at capture start and after each resize.
    int DisplayImageAllocations() const { return displayAllocations_; }
    // How many frames were shown 1:1, without the display image.
    int DirectFrames() const { return directFrames_; }

  private:
    struct OpenKey {
        explicit OpenKey() = default;
    };

  public:
    explicit PreviewWindow(OpenKey) {}

  private:
    // The client area when the window is visible, not empty and has its device context.
    bool DrawableArea(platform::WindowRect* client) const;
    void SizeDisplayImage(int width, int height, int colourMode);

    std::string className_;
    bool classRegistered_ = false;
    HWND window_ = nullptr;
    platform::HDC dc_ = nullptr;
    DibImage display_;
    int displayAllocations_ = 0;
    int directFrames_ = 0;
};

}  // namespace velcor
