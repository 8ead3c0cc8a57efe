// Pixel routines over rectangles of image buffers, and the small whole-image routines of the
// capture path (row spreading, software mirror, Bayer phase).
//
// Every rectangle routine has one calling form: destination and source pixel pointers (the
// images' first rows), the source rectangle, the destination position, both images' bytes per
// pixel and strides, and up to two routine-specific parameter records. Source and destination
// may be one image. A routine answers 1, or 0 when it is handed depths it does not convert.
// The rectangle operations clip before they call, so routines test no bounds.
#pragma once

#include <cstdint>

#include "imaging/DibImage.h"

namespace velcor {

// Right and bottom are exclusive.
struct PixelRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool Empty() const { return right <= left || bottom <= top; }
};

using RectRoutine = int (*)(uint8_t* dst, const uint8_t* src, const PixelRect& rect, int dstX,
                            int dstY, uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel,
                            int dstStride, int srcStride, void* param1, void* param2);

// The scaling form: a source and a destination rectangle.
using ScaleRoutine = int (*)(uint8_t* dst, const uint8_t* src, const PixelRect& srcRect,
                             const PixelRect& dstRect, uint16_t dstBytesPerPixel,
                             uint16_t srcBytesPerPixel, int dstStride, int srcStride, void* param1,
                             void* param2);

// Runs the routine over the source rectangle (the whole source when null) placed at (x, y) in
// the destination, both clipped to their images. 0 without calling when nothing is left, an
// image is empty or the routine is missing; otherwise the routine's answer.
int RectangleOperation(DibImage* destination, RectRoutine routine, const DibImage* source,
                       const PixelRect* sourceRect, int x, int y, void* param1 = nullptr,
                       void* param2 = nullptr);

// Scaling form: source and destination rectangles (null: the whole image), each clipped to
// its image.
int RectangleOperation(DibImage* destination, ScaleRoutine routine, const DibImage* source,
                       const PixelRect* sourceRect, const PixelRect* destinationRect,
                       void* param1 = nullptr, void* param2 = nullptr);

// Conversion routines. "Flipped" routines take destination row i from source row
// (rect.bottom - 1 - i): the bottom-up row order of the file and video writers.
namespace routines {
// 16 -> 8: the high byte of each word (preview of colour mode 16).
int GrayHighByte(uint8_t*, const uint8_t*, const PixelRect&, int, int, uint16_t, uint16_t, int, int,
                 void*, void*);
int GrayHighByteFlipped(uint8_t*, const uint8_t*, const PixelRect&, int, int, uint16_t, uint16_t,
                        int, int, void*, void*);
// 16 -> 8: bits 2-9 of each word, flipped (video frames of colour mode 16).
int Gray10BitFlipped(uint8_t*, const uint8_t*, const PixelRect&, int, int, uint16_t, uint16_t, int,
                     int, void*, void*);
// 32 -> 24: the three colour bytes.
int Colour32To24(uint8_t*, const uint8_t*, const PixelRect&, int, int, uint16_t, uint16_t, int, int,
                 void*, void*);
// 48 or 64 -> 24: bits 4-11 of each colour word (12 significant bits from the sensor).
int Colour12Bit(uint8_t*, const uint8_t*, const PixelRect&, int, int, uint16_t, uint16_t, int, int,
                void*, void*);
// 48 or 64 -> 24: the high byte of each colour word, flipped.
int ColourHighByteFlipped(uint8_t*, const uint8_t*, const PixelRect&, int, int, uint16_t, uint16_t,
                          int, int, void*, void*);
// 24 or 32 -> 24: the three colour bytes, flipped.
int ColourCopyFlipped(uint8_t*, const uint8_t*, const PixelRect&, int, int, uint16_t, uint16_t, int,
                      int, void*, void*);
// Same depth: whole rows (the shorter of the two strides), flipped.
int RowCopyFlipped(uint8_t*, const uint8_t*, const PixelRect&, int, int, uint16_t, uint16_t, int,
                   int, void*, void*);
// 24 or 32 -> same depth: blue and red exchanged; a fourth byte is not written.
int SwapToRgb(uint8_t*, const uint8_t*, const PixelRect&, int, int, uint16_t, uint16_t, int, int,
              void*, void*);
// 32 -> 32: colour bytes copied, the fourth byte inverted.
int AlphaInvert(uint8_t*, const uint8_t*, const PixelRect&, int, int, uint16_t, uint16_t, int, int,
                void*, void*);
// 24 -> 8: (R x 30 + G x 59 + B x 11) / 100.
int Luminance(uint8_t*, const uint8_t*, const PixelRect&, int, int, uint16_t, uint16_t, int, int,
              void*, void*);
// Nearest-neighbour scalers, 8 -> 8 and 24 -> 24; they also turn the picture over for the
// display's bottom-up bitmaps.
int Scale8(uint8_t*, const uint8_t*, const PixelRect&, const PixelRect&, uint16_t, uint16_t, int,
           int, void*, void*);
int Scale24(uint8_t*, const uint8_t*, const PixelRect&, const PixelRect&, uint16_t, uint16_t, int,
            int, void*, void*);
}  // namespace routines

// The engine writes frame rows packed (width x bytes per pixel apart); this moves them in place
// to their stride positions and clears the row padding. 8 and 16-bit images; false otherwise.
bool SpreadPackedRows(DibImage& image);

// Mirrors an 8 or 16-bit raw image in place; false for other depths.
bool MirrorRaw(DibImage& image, bool horizontal, bool vertical);

// The Bayer mode names the phase of the frame's first pixel (bit 0 flips the row phase, bit 1
// the column phase); a mirrored readout moves another phase into that place.
inline int MirroredBayerMode(int bayerMode, bool mirrorV, bool mirrorH) {
    int mode = bayerMode & 3;
    if (mirrorV) mode ^= 1;
    if (mirrorH) mode ^= 2;
    return mode;
}

}  // namespace velcor
