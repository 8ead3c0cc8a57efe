// PNG files through libpng. All of a save's state belongs to that call, so PNG saves on
// several threads at once do not meet.
#pragma once

#include <cstdint>

namespace velcor {

// Writes pixel memory of the given depth: 8 and 16 bits gray, 24 bits blue-green-red, 32
// bits blue-green-red-alpha, 48 and 64 bits the same in 16-bit samples (the machine's byte
// order; PNG stores them most significant byte first). Rows top first, stride bytes apart.
// A library error is reported on the standard error stream as "libpng error: <text>". False,
// with no file left, on any failure.
bool WritePng(const char* path, const uint8_t* pixels, int width, int height, int bits, int stride);

}  // namespace velcor
