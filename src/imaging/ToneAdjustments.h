// The tone adjustments at the end of the frame conversion: gamma, contrast, sharpness and
// brightness, in place on the output image of a colour mode.
//
// Every layout of the output images is served: 8 and 16-bit gray, 8-bit colour (24 bits, and
// 32 bits whose fourth byte is left alone) and 16-bit colour (48 bits, and 64 bits whose fourth
// word is left alone); colour layouts are adjusted in their three colour channels. Gamma,
// contrast and brightness map each sample through a table of all sample values: 8-bit tables
// are built on the stack per frame, 16-bit tables (65536 entries) are built once per value
// and kept in a small cache that all cameras share, so a streaming frame allocates nothing.
// Each function answers false, with nothing changed, for an empty image or another depth.
#pragma once

#include "imaging/DibImage.h"

namespace velcor {

// Gamma 0..200, 100 neutral: sample i becomes max x (i / max)^(100 / gamma), truncated.
// Gamma 0 turns every value below max into 0.
bool ApplyGamma(DibImage& image, int gamma);

// Contrast -127..127, 0 neutral: a positive value stretches the samples about the middle of
// the range (c x 256 on 16 bits is cut off at each end), a negative one compresses them.
bool ApplyContrast(DibImage& image, int contrast);

// Brightness -255..255, 0 neutral: samples are scaled by 1 + b x 10 / 255 above 0 (x11 at
// 255) and by 1 - |b| / 255 below (black at -255), in single precision, and clamped.
bool ApplyBrightness(DibImage& image, int brightness);

// Sharpness 0..30: an unsharp mask against the mean of the 4 x 4 block of columns x - 2..x + 1
// and rows y - 2..y + 1, adding sharpness / 10 of the difference. The work image receives the
// unchanged frame as the source; without a work image of the same size and depth the step is
// skipped (false). The outer two rows and columns keep their values.
bool ApplySharpness(DibImage& image, DibImage* work, int sharpness);

}  // namespace velcor
