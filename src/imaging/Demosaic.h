// Bilinear Bayer demosaic: 8-bit raw to 24 or 32 bits, 16-bit raw to 48 or 64 bits.
//
// Output pixel (x, y) describes the centre of the 2 x 2 raw block of columns x - 1, x and rows
// y - 1, y. Green is the mean of the block's two green samples; red and blue weigh the four
// nearest samples of their colour 9:3:3:1 and are scaled by their Bayer gain (100 = unity).
// Taps that fall outside the frame are taken four rows or columns further in, which keeps
// them on the same Bayer phase. Only the three colour channels of a destination pixel are
// written. Integer arithmetic only; nothing is allocated.
//
// The work runs on the widest vector unit the processor has (AVX-512, AVX2, else the baseline
// SSE2 kernel), as the process's SIMD level (SimdLevel.h) allows. Every path gives the same bytes
// as the single-pixel reference.
#pragma once

#include <cstdint>

#include "imaging/DibImage.h"
#include "imaging/PixelRoutines.h"
#include "imaging/SimdLevel.h"

namespace velcor {

// Parameter record of the demosaic routine.
struct BayerGains {
    int bayerMode = 0;  // phase of the first pixel, already adjusted for mirroring
    int red = 100;
    int green = 100;  // carried for the balance; the demosaic does not use it
    int blue = 100;
};

// Rectangle routine: the rectangle is demosaiced as a frame of its own, with the Bayer phase
// of its absolute position. param1 points to BayerGains. 0 for a missing record or depths
// other than 8 -> 24/32 and 16 -> 48/64.
int DemosaicRoutine(uint8_t* dst, const uint8_t* src, const PixelRect& rect, int dstX, int dstY,
                    uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int dstStride,
                    int srcStride, void* param1, void* param2);

// Whole frame: raw and output of the same size. False (nothing written) otherwise.
bool Demosaic(const DibImage& raw, DibImage& output, const BayerGains& gains);

// Whole frame on a given path; false as above, and for a path the processor does not have.
bool Demosaic(const DibImage& raw, DibImage& output, const BayerGains& gains, SimdLevel path);
// Whole frame one pixel at a time, every tap folded into the frame: the plain statement of the
// arithmetic that the vector paths are held to.
bool DemosaicReference(const DibImage& raw, DibImage& output, const BayerGains& gains);

}  // namespace velcor
