// TIFF files through libtiff: uncompressed, contiguous samples, the whole image in one strip.
#pragma once

#include <cstdint>

namespace velcor {

struct TiffSamples {
    const uint8_t* pixels = nullptr;  // rows top first, packed (no row padding)
    int width = 0;
    int height = 0;
    int bitsPerSample = 8;  // 8 or 16, 16-bit samples in the machine's byte order
    int samplesPerPixel = 1;
    int photometric = 1;  // 1: gray, minimum is black; 2: RGB
};

// False, with no file left, when the library cannot open the path or the strip write fails.
bool WriteTiff(const char* path, const TiffSamples& samples);

}  // namespace velcor
