// JPEG files through libjpeg: progressive, baseline-compatible quantisation tables.
#pragma once

#include "imaging/DibImage.h"

namespace velcor {

// Writes an 8-bit (gray) or 24-bit (blue-green-red) image whose rows are bottom first, so the
// last row in memory is the picture's top row. Quality 1-100. False, with no file left, for
// another depth or any failure of the library or the file.
bool WriteJpeg(const char* path, const DibImage& bottomUp, int quality);

}  // namespace velcor
