// The part of the sensor a capture reads, as the application set it with
// Velcor_SetCaptureWindowEx.
#pragma once

namespace velcor {

// The sensor of this camera, in pixels.
inline constexpr int kMaxWidth = 1280;
inline constexpr int kMaxHeight = 1024;

struct CaptureGeometry {
    int totalWidth = kMaxWidth;
    int totalHeight = kMaxHeight;
    int width = kMaxWidth;
    int height = kMaxHeight;
    int xStart = 0;
    int yStart = 0;

    // The window lies inside the sensor and is read without sub-sampling, which this camera
    // does not do.
    bool Fits(int subSample) const {
        return width >= 0 && height >= 0 && xStart >= 0 && yStart >= 0 && width <= kMaxWidth &&
               height <= kMaxHeight && xStart <= kMaxWidth && yStart <= kMaxHeight &&
               xStart + width <= kMaxWidth && yStart + height <= kMaxHeight && subSample == 0;
    }
};

}  // namespace velcor
