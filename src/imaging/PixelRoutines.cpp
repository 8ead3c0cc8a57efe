#include "imaging/PixelRoutines.h"

#include <algorithm>
#include <cstring>

namespace velcor {

namespace {

bool ClipToImage(PixelRect& r, const DibImage& image) {
    r.left = std::max(r.left, 0);
    r.top = std::max(r.top, 0);
    r.right = std::min(r.right, image.Width());
    r.bottom = std::min(r.bottom, image.Height());
    return !r.Empty();
}

PixelRect WholeImage(const DibImage& image) {
    return PixelRect{0, 0, image.Width(), image.Height()};
}

inline uint16_t Word(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}

// Row i of the destination comes from this source row.
inline int SourceRow(const PixelRect& r, int i, bool flipped) {
    return flipped ? r.bottom - 1 - i : r.top + i;
}

// Walks the rectangle pixel by pixel; the functor converts one pixel.
template <bool Flipped, typename PixelFn>
void ForEachPixel(uint8_t* dst, const uint8_t* src, const PixelRect& r, int dstX, int dstY,
                  uint16_t dstBpp, uint16_t srcBpp, int dstStride, int srcStride, PixelFn fn) {
    const int w = r.Width();
    for (int i = 0; i < r.Height(); ++i) {
        const uint8_t* s = src + static_cast<ptrdiff_t>(SourceRow(r, i, Flipped)) * srcStride +
                           static_cast<ptrdiff_t>(r.left) * srcBpp;
        uint8_t* d = dst + static_cast<ptrdiff_t>(dstY + i) * dstStride +
                     static_cast<ptrdiff_t>(dstX) * dstBpp;
        for (int j = 0; j < w; ++j)
            fn(d + static_cast<ptrdiff_t>(j) * dstBpp, s + static_cast<ptrdiff_t>(j) * srcBpp);
    }
}

}  // namespace

int RectangleOperation(DibImage* destination, RectRoutine routine, const DibImage* source,
                       const PixelRect* sourceRect, int x, int y, void* param1, void* param2) {
    if (destination == nullptr || source == nullptr || routine == nullptr) return 0;
    if (destination->Empty() || source->Empty()) return 0;
    PixelRect r = sourceRect ? *sourceRect : WholeImage(*source);
    if (!ClipToImage(r, *source)) return 0;
    // Placed at (x, y): cut what falls outside the destination, on the source side.
    if (x < 0) {
        r.left -= x;
        x = 0;
    }
    if (y < 0) {
        r.top -= y;
        y = 0;
    }
    r.right = std::min(r.right, r.left + destination->Width() - x);
    r.bottom = std::min(r.bottom, r.top + destination->Height() - y);
    if (r.Empty()) return 0;
    return routine(destination->Pixels(), source->Pixels(), r, x, y,
                   static_cast<uint16_t>(destination->BytesPerPixel()),
                   static_cast<uint16_t>(source->BytesPerPixel()), destination->Stride(),
                   source->Stride(), param1, param2);
}

int RectangleOperation(DibImage* destination, ScaleRoutine routine, const DibImage* source,
                       const PixelRect* sourceRect, const PixelRect* destinationRect, void* param1,
                       void* param2) {
    if (destination == nullptr || source == nullptr || routine == nullptr) return 0;
    if (destination->Empty() || source->Empty()) return 0;
    PixelRect s = sourceRect ? *sourceRect : WholeImage(*source);
    PixelRect d = destinationRect ? *destinationRect : WholeImage(*destination);
    if (!ClipToImage(s, *source) || !ClipToImage(d, *destination)) return 0;
    return routine(destination->Pixels(), source->Pixels(), s, d,
                   static_cast<uint16_t>(destination->BytesPerPixel()),
                   static_cast<uint16_t>(source->BytesPerPixel()), destination->Stride(),
                   source->Stride(), param1, param2);
}

namespace routines {

int GrayHighByte(uint8_t* dst, const uint8_t* src, const PixelRect& r, int dx, int dy, uint16_t db,
                 uint16_t sb, int ds, int ss, void*, void*) {
    if (db != 1 || sb != 2) return 0;
    ForEachPixel<false>(dst, src, r, dx, dy, db, sb, ds, ss, [](uint8_t* d, const uint8_t* s) {
        *d = static_cast<uint8_t>(Word(s) >> 8);
    });
    return 1;
}

int GrayHighByteFlipped(uint8_t* dst, const uint8_t* src, const PixelRect& r, int dx, int dy,
                        uint16_t db, uint16_t sb, int ds, int ss, void*, void*) {
    if (db != 1 || sb != 2) return 0;
    ForEachPixel<true>(dst, src, r, dx, dy, db, sb, ds, ss, [](uint8_t* d, const uint8_t* s) {
        *d = static_cast<uint8_t>(Word(s) >> 8);
    });
    return 1;
}

int Gray10BitFlipped(uint8_t* dst, const uint8_t* src, const PixelRect& r, int dx, int dy,
                     uint16_t db, uint16_t sb, int ds, int ss, void*, void*) {
    if (db != 1 || sb != 2) return 0;
    ForEachPixel<true>(dst, src, r, dx, dy, db, sb, ds, ss, [](uint8_t* d, const uint8_t* s) {
        *d = static_cast<uint8_t>((Word(s) >> 2) & 0xFF);
    });
    return 1;
}

int Colour32To24(uint8_t* dst, const uint8_t* src, const PixelRect& r, int dx, int dy, uint16_t db,
                 uint16_t sb, int ds, int ss, void*, void*) {
    if (db != 3 || sb != 4) return 0;
    ForEachPixel<false>(dst, src, r, dx, dy, db, sb, ds, ss,
                        [](uint8_t* d, const uint8_t* s) { std::memcpy(d, s, 3); });
    return 1;
}

int Colour12Bit(uint8_t* dst, const uint8_t* src, const PixelRect& r, int dx, int dy, uint16_t db,
                uint16_t sb, int ds, int ss, void*, void*) {
    if (db != 3 || (sb != 6 && sb != 8)) return 0;
    ForEachPixel<false>(dst, src, r, dx, dy, db, sb, ds, ss, [](uint8_t* d, const uint8_t* s) {
        for (int c = 0; c < 3; ++c)
            d[c] = static_cast<uint8_t>((Word(s + 2 * c) >> 4) & 0xFF);
    });
    return 1;
}

int ColourHighByteFlipped(uint8_t* dst, const uint8_t* src, const PixelRect& r, int dx, int dy,
                          uint16_t db, uint16_t sb, int ds, int ss, void*, void*) {
    if (db != 3 || (sb != 6 && sb != 8)) return 0;
    ForEachPixel<true>(dst, src, r, dx, dy, db, sb, ds, ss, [](uint8_t* d, const uint8_t* s) {
        for (int c = 0; c < 3; ++c)
            d[c] = static_cast<uint8_t>(Word(s + 2 * c) >> 8);
    });
    return 1;
}

int ColourCopyFlipped(uint8_t* dst, const uint8_t* src, const PixelRect& r, int dx, int dy,
                      uint16_t db, uint16_t sb, int ds, int ss, void*, void*) {
    if (db != 3 || (sb != 3 && sb != 4)) return 0;
    ForEachPixel<true>(dst, src, r, dx, dy, db, sb, ds, ss,
                       [](uint8_t* d, const uint8_t* s) { std::memcpy(d, s, 3); });
    return 1;
}

int RowCopyFlipped(uint8_t* dst, const uint8_t* src, const PixelRect& r, int dx, int dy,
                   uint16_t db, uint16_t sb, int ds, int ss, void*, void*) {
    if (db != sb || db == 0) return 0;
    // Whole rows including their padding, but never past the end of either row.
    const ptrdiff_t bytes = std::min<ptrdiff_t>(ds - static_cast<ptrdiff_t>(dx) * db,
                                                ss - static_cast<ptrdiff_t>(r.left) * sb);
    for (int i = 0; i < r.Height(); ++i) {
        std::memmove(dst + static_cast<ptrdiff_t>(dy + i) * ds + static_cast<ptrdiff_t>(dx) * db,
                     src + static_cast<ptrdiff_t>(r.bottom - 1 - i) * ss +
                         static_cast<ptrdiff_t>(r.left) * sb,
                     static_cast<size_t>(bytes));
    }
    return 1;
}

int SwapToRgb(uint8_t* dst, const uint8_t* src, const PixelRect& r, int dx, int dy, uint16_t db,
              uint16_t sb, int ds, int ss, void*, void*) {
    if (db != sb || (sb != 3 && sb != 4)) return 0;
    ForEachPixel<false>(dst, src, r, dx, dy, db, sb, ds, ss, [](uint8_t* d, const uint8_t* s) {
        const uint8_t b = s[0], g = s[1], red = s[2];
        d[0] = red;
        d[1] = g;
        d[2] = b;
    });
    return 1;
}

int AlphaInvert(uint8_t* dst, const uint8_t* src, const PixelRect& r, int dx, int dy, uint16_t db,
                uint16_t sb, int ds, int ss, void*, void*) {
    if (db != 4 || sb != 4) return 0;
    ForEachPixel<false>(dst, src, r, dx, dy, db, sb, ds, ss, [](uint8_t* d, const uint8_t* s) {
        const uint8_t a = s[3];
        std::memmove(d, s, 3);
        d[3] = static_cast<uint8_t>(255 - a);
    });
    return 1;
}

int Luminance(uint8_t* dst, const uint8_t* src, const PixelRect& r, int dx, int dy, uint16_t db,
              uint16_t sb, int ds, int ss, void*, void*) {
    if (db != 1 || sb != 3) return 0;
    ForEachPixel<false>(dst, src, r, dx, dy, db, sb, ds, ss, [](uint8_t* d, const uint8_t* s) {
        *d = static_cast<uint8_t>((s[2] * 30 + s[1] * 59 + s[0] * 11) / 100);
    });
    return 1;
}

namespace {

// Nearest neighbour in single precision, as the display path always has: column
// min(trunc(i x w / W), w - 1), row taken from the bottom of the source rectangle up.
template <int Bpp>
void ScaleNearest(uint8_t* dst, const uint8_t* src, const PixelRect& s, const PixelRect& d, int ds,
                  int ss) {
    const int w = s.Width(), h = s.Height();
    const float fx = static_cast<float>(w) / static_cast<float>(d.Width());
    const float fy = static_cast<float>(h) / static_cast<float>(d.Height());
    for (int j = 0; j < d.Height(); ++j) {
        const int sy = std::min(std::max(static_cast<int>(static_cast<float>(j) * fy), 0), h - 1);
        const uint8_t* srow = src + static_cast<ptrdiff_t>(s.bottom - 1 - sy) * ss;
        uint8_t* drow = dst + static_cast<ptrdiff_t>(d.top + j) * ds;
        for (int i = 0; i < d.Width(); ++i) {
            const int sx =
                std::max(std::min(static_cast<int>(static_cast<float>(i) * fx), w - 1), 0);
            std::memcpy(drow + static_cast<ptrdiff_t>(d.left + i) * Bpp,
                        srow + static_cast<ptrdiff_t>(s.left + sx) * Bpp, Bpp);
        }
    }
}

}  // namespace

int Scale8(uint8_t* dst, const uint8_t* src, const PixelRect& s, const PixelRect& d, uint16_t db,
           uint16_t sb, int ds, int ss, void*, void*) {
    if (db != 1 || sb != 1) return 0;
    ScaleNearest<1>(dst, src, s, d, ds, ss);
    return 1;
}

int Scale24(uint8_t* dst, const uint8_t* src, const PixelRect& s, const PixelRect& d, uint16_t db,
            uint16_t sb, int ds, int ss, void*, void*) {
    if (db != 3 || sb != 3) return 0;
    ScaleNearest<3>(dst, src, s, d, ds, ss);
    return 1;
}

}  // namespace routines

bool SpreadPackedRows(DibImage& image) {
    if (image.Bits() != 8 && image.Bits() != 16) return false;
    const size_t packed = static_cast<size_t>(image.Width()) * image.BytesPerPixel();
    const size_t stride = static_cast<size_t>(image.Stride());
    if (packed == stride || image.Empty()) return true;
    uint8_t* p = image.Pixels();
    // Last row first: a row's new place never overlaps a row not yet moved.
    for (int row = image.Height() - 1; row >= 0; --row) {
        std::memmove(p + row * stride, p + row * packed, packed);
        std::memset(p + row * stride + packed, 0, stride - packed);
    }
    return true;
}

namespace {

template <typename T>
void MirrorPlane(uint8_t* base, int width, int height, size_t stride, bool horizontal,
                 bool vertical) {
    auto row = [&](int y) { return reinterpret_cast<T*>(base + static_cast<size_t>(y) * stride); };
    if (horizontal) {
        for (int y = 0; y < height; ++y)
            std::reverse(row(y), row(y) + width);
    }
    if (vertical) {
        for (int top = 0, bottom = height - 1; top < bottom; ++top, --bottom)
            std::swap_ranges(row(top), row(top) + width, row(bottom));
    }
}

}  // namespace

bool MirrorRaw(DibImage& image, bool horizontal, bool vertical) {
    if (image.Bits() != 8 && image.Bits() != 16) return false;
    if (image.Empty() || (!horizontal && !vertical)) return true;
    if (image.Bits() == 8) {
        MirrorPlane<uint8_t>(image.Pixels(), image.Width(), image.Height(), image.Stride(),
                             horizontal, vertical);
    } else {
        MirrorPlane<uint16_t>(image.Pixels(), image.Width(), image.Height(), image.Stride(),
                              horizontal, vertical);
    }
    return true;
}

}  // namespace velcor
