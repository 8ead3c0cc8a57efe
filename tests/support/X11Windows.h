// X11 windows for tests that open dialogs: a plain top-level window to be a dialog's parent,
// the transient hint a dialog carries, and screenshots for a person to look at (what the
// server shows of a window, saved as an 8-bit RGB PNG). Each uses a connection of its own to
// the server that DISPLAY names.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velcor::test {

struct Screenshot {
    bool saved = false;
    int width = 0;
    int height = 0;
    // Distinct colours seen: a drawn dialog has many, an unpainted window one.
    int colours = 0;
    // The pixels, 3 bytes per pixel, rows top to bottom.
    std::vector<uint8_t> rgb;
    std::string error;
};

// Writes the window's contents to path, making its folder when missing.
Screenshot SaveWindowPng(unsigned long window, const std::string& path);

// The window that window is transient for (0: none).
unsigned long TransientFor(unsigned long window);

// A mapped top-level window for as long as the object lives.
class X11TopWindow {
  public:
    X11TopWindow();
    ~X11TopWindow();
    X11TopWindow(const X11TopWindow&) = delete;
    X11TopWindow& operator=(const X11TopWindow&) = delete;

    // 0 when no window could be made.
    unsigned long Id() const { return window_; }

  private:
    void* display_ = nullptr;
    unsigned long window_ = 0;
};

}  // namespace velcor::test
