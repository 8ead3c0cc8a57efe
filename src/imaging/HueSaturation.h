// Hue rotation and saturation of the colour output images (24, 32, 48 and 64 bits), in place.
//
// Each pixel is taken apart into lightness (max + min), chroma (max - min) and a position on a
// colour circle of 1530 units, 255 per sextant; the hue turns the position, the saturation
// scales the chroma within what the lightness allows, and the pixel is put together again.
// Integer arithmetic only: division by the chroma goes through a reciprocal table. 16-bit
// layouts work on the high byte of each channel. The gray, reciprocal and sextant tables are
// constant and shared by the whole process; the saturation table belongs to one conversion,
// so cameras converting at once with different saturations never see each other's table.
#pragma once

#include <cstdint>

#include "imaging/DibImage.h"

namespace velcor {

// Position offset on the 1530-unit circle (0..1529) for a hue of -360..360 degrees, taken
// through a 16-bit angle.
int HueCircleUnits(int hue);

// Chroma scaled by (256 + saturation) / 256, rounded half up, for every chroma 0..255.
class SaturationTable {
  public:
    explicit SaturationTable(int saturation);
    int operator[](int chroma) const { return entries_[chroma]; }

  private:
    int entries_[256];
};

// Applies hue (-360..360) and saturation (-255..255) to a 24, 32, 48 or 64-bit image. Only
// the three colour channels change; the fourth byte of 32 bits keeps its value, the fourth
// word of 64 bits becomes 0. False, with nothing changed, for other depths or an empty image.
bool ApplyHueSaturation(DibImage& image, int hue, int saturation);

}  // namespace velcor
