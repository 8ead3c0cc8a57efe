// The two formats written without a library: BMP (a bottom-up Windows bitmap with the image's
// own depth) and raw (the pixel memory as it is, no header).
#pragma once

#include "imaging/DibImage.h"

namespace velcor {

// Writes a BMP file from an image whose rows are already bottom first. 8-bit images carry a
// 256-entry gray colour table (pixels at offset 1078), deeper ones none (offset 54); the bit
// count is the image's depth. False, with no file left, on any failure.
bool WriteBmp(const char* path, const DibImage& bottomUp);

// Height x stride bytes of pixel memory: rows top first, padding included.
bool WriteRaw(const char* path, const DibImage& image);

}  // namespace velcor
