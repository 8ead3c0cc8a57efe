#include "imaging/PixelMask.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>

namespace velcor {
namespace {

// The file's 16-bit samples and header fields are little endian, as the planes hold them.
static_assert(std::endian::native == std::endian::little);

// "MONIVA MASK1000" and its terminating zero byte.
constexpr char kMagic[16] = "MONIVA MASK1000";
static_assert(sizeof(kMagic) == 16 && kMagic[15] == '\0');

// Header fields after the magic: plane width and height, then each plane's byte size in file
// order.
constexpr int32_t kHeaderFields[6] = {
    PixelMask::kWidth,
    PixelMask::kHeight,
    static_cast<int32_t>(PixelMask::kPlane8Bytes),
    static_cast<int32_t>(PixelMask::kPlane8Bytes),
    static_cast<int32_t>(PixelMask::kPlane16Bytes),
    static_cast<int32_t>(PixelMask::kPlane16Bytes),
};

// The reference planes in file order.
constexpr MaskPlane kFilePlanes[4] = {MaskPlane::kDark8, MaskPlane::kBright8, MaskPlane::kDark16,
                                      MaskPlane::kBright16};

template <typename T>
T* RowOf(DibImage& image, int y) {
    return reinterpret_cast<T*>(image.Pixels() + static_cast<size_t>(y) * image.Stride());
}

template <typename T>
const T* RowOf(const DibImage& image, int y) {
    return reinterpret_cast<const T*>(image.Pixels() + static_cast<size_t>(y) * image.Stride());
}

// Flat field of one sample: 8 bits spread (v - d) / (l - d) over 0..255; 16 bits over
// 12 bits, placed in the top of the word.
inline uint8_t FlatField8(int v, int d, int l) {
    if (d == l) return static_cast<uint8_t>(v);
    return static_cast<uint8_t>(std::clamp((v - d) * 256 / (l - d), 0, 255));
}

inline uint16_t FlatField16(int v, int d, int l) {
    if (d >= l) return static_cast<uint16_t>(v);
    return static_cast<uint16_t>(std::clamp((v - d) * 4096 / (l - d), 0, 4095) * 16);
}

template <typename T>
void FlatFieldRows(DibImage& raw, const DibImage& dark, const DibImage& bright, int xStart,
                   int yStart) {
    const int w = raw.Width();
    const int h = raw.Height();
    const int margin = (w == PixelMask::kWidth || h == PixelMask::kHeight) ? 2 : 0;
    // Only pixels whose references lie on the sensor.
    const int x0 = std::max(margin, -xStart);
    const int x1 = std::min(w - margin, PixelMask::kWidth - xStart);
    const int y0 = std::max(margin, -yStart);
    const int y1 = std::min(h - margin, PixelMask::kHeight - yStart);
    for (int y = y0; y < y1; ++y) {
        T* row = RowOf<T>(raw, y);
        const T* d = RowOf<T>(dark, yStart + y);
        const T* l = RowOf<T>(bright, yStart + y);
        for (int x = x0; x < x1; ++x) {
            const int at = xStart + x;
            if constexpr (sizeof(T) == 1) {
                row[x] = FlatField8(row[x], d[at], l[at]);
            } else {
                row[x] = FlatField16(row[x], d[at], l[at]);
            }
        }
    }
}

// Dot marking of one row, columns from..to: a pixel at the threshold or further from the mean
// of its four neighbours.
template <typename T>
void MarkOutliers(const T* __restrict up, const T* __restrict row, const T* __restrict down,
                  T* __restrict mark, int from, int to, int threshold) {
    for (int x = from; x <= to; ++x) {
        const int mean = (row[x - 1] + row[x + 1] + up[x] + down[x]) >> 2;
        mark[x] = std::abs(row[x] - mean) >= threshold;
    }
}

// Adds the pixels the hot or dead map flags (entries 0 or 1) to count marks.
template <typename T>
void MarkDefects(const T* __restrict hot, const T* __restrict dead, T* __restrict mark, int count) {
    for (int i = 0; i < count; ++i)
        mark[i] = static_cast<T>(mark[i] | hot[i] | dead[i]);
}

}  // namespace

bool PixelMask::Create() {
    for (int i = 0; i < kMaskPlaneCount; ++i) {
        if (!planes_[i].Create(kWidth, kHeight, i < kMaskPlaneCount / 2 ? 8 : 16)) {
            Release();
            return false;
        }
    }
    return true;
}

void PixelMask::Release() {
    for (DibImage& plane : planes_)
        plane.Release();
}

// ---- Mask file -------------------------------------------------------------------------------

MaskFileCheck PixelMask::CheckFile(const uint8_t* data, size_t size) {
    if (data == nullptr || size < kHeaderBytes) return MaskFileCheck::kBadHeader;
    // The magic is compared as a zero-terminated string: what follows its zero byte in the
    // 16-byte field does not count.
    const size_t magicLength = std::strlen(kMagic);
    if (std::memcmp(data, kMagic, magicLength + 1) != 0) return MaskFileCheck::kBadHeader;
    for (int i = 0; i < 6; ++i) {
        int32_t field;
        std::memcpy(&field, data + 16 + 4 * i, 4);
        if (field != kHeaderFields[i]) return MaskFileCheck::kBadHeader;
    }
    if (size < kFileBytes) return MaskFileCheck::kTruncated;
    return MaskFileCheck::kOk;
}

bool PixelMask::LoadFile(const uint8_t* data, size_t size) {
    if (!Ready() || CheckFile(data, size) != MaskFileCheck::kOk) return false;
    const uint8_t* at = data + kHeaderBytes;
    for (MaskPlane plane : kFilePlanes) {
        DibImage& image = PlaneRef(plane);
        std::memcpy(image.Pixels(), at, image.ByteSize());
        at += image.ByteSize();
    }
    for (int bits : {8, 16}) {
        RebuildMap(bits, 0);
        RebuildMap(bits, 1);
    }
    return true;
}

std::vector<uint8_t> PixelMask::SaveFile() const {
    std::vector<uint8_t> file;
    if (!Ready()) return file;
    file.resize(kFileBytes);
    std::memcpy(file.data(), kMagic, sizeof(kMagic));
    std::memcpy(file.data() + 16, kHeaderFields, sizeof(kHeaderFields));
    uint8_t* at = file.data() + kHeaderBytes;
    for (MaskPlane plane : kFilePlanes) {
        const DibImage& image = Plane(plane);
        std::memcpy(at, image.Pixels(), image.ByteSize());
        at += image.ByteSize();
    }
    return file;
}

// ---- References and maps ---------------------------------------------------------------------

bool PixelMask::UpdateReference(const DibImage& raw, int kind) {
    if (!Ready() || (kind != 0 && kind != 1) || raw.Width() != kWidth || raw.Height() != kHeight ||
        (raw.Bits() != 8 && raw.Bits() != 16)) {
        return false;
    }
    const bool wide = raw.Bits() == 16;
    MaskPlane target = wide ? (kind == 0 ? MaskPlane::kDark16 : MaskPlane::kBright16)
                            : (kind == 0 ? MaskPlane::kDark8 : MaskPlane::kBright8);
    DibImage& plane = PlaneRef(target);
    if (raw.ByteSize() != plane.ByteSize()) return false;
    std::memcpy(plane.Pixels(), raw.Pixels(), plane.ByteSize());
    RebuildMap(raw.Bits(), kind);
    return true;
}

template <typename T>
void PixelMask::RebuildMapOf(MaskPlane reference, MaskPlane map, bool hot, int threshold) {
    const DibImage& source = Plane(reference);
    DibImage& target = PlaneRef(map);
    for (int y = 2; y < kHeight - 2; ++y) {
        const T* in = RowOf<T>(source, y);
        T* out = RowOf<T>(target, y);
        for (int x = 2; x < kWidth - 2; ++x)
            out[x] = hot ? (in[x] > threshold) : (in[x] < threshold);
    }
}

void PixelMask::RebuildMap(int bits, int kind) {
    if (!Ready()) return;
    const bool hot = kind == 0;
    if (bits == 8) {
        RebuildMapOf<uint8_t>(hot ? MaskPlane::kDark8 : MaskPlane::kBright8,
                              hot ? MaskPlane::kHot8 : MaskPlane::kDead8, hot,
                              hot ? kHotAbove8 : kDeadBelow8);
    } else if (bits == 16) {
        RebuildMapOf<uint16_t>(hot ? MaskPlane::kDark16 : MaskPlane::kBright16,
                               hot ? MaskPlane::kHot16 : MaskPlane::kDead16, hot,
                               hot ? kHotAbove16 : kDeadBelow16);
    }
}

// ---- Corrections -----------------------------------------------------------------------------

void PixelMask::CorrectFlatField(DibImage& raw, int xStart, int yStart) const {
    if (!Ready() || raw.Empty()) return;
    if (raw.Bits() == 8) {
        FlatFieldRows<uint8_t>(raw, Plane(MaskPlane::kDark8), Plane(MaskPlane::kBright8), xStart,
                               yStart);
    } else if (raw.Bits() == 16) {
        FlatFieldRows<uint16_t>(raw, Plane(MaskPlane::kDark16), Plane(MaskPlane::kBright16), xStart,
                                yStart);
    }
}

void PixelMask::CorrectDots(DibImage& raw, int xStart, int yStart) {
    if (!Ready() || raw.Empty()) return;
    if (raw.Bits() == 8) {
        CorrectDotsOf<uint8_t>(raw, xStart, yStart, MaskPlane::kHot8, MaskPlane::kDead8,
                               MaskPlane::kDot8, kDotThreshold8);
    } else if (raw.Bits() == 16) {
        CorrectDotsOf<uint16_t>(raw, xStart, yStart, MaskPlane::kHot16, MaskPlane::kDead16,
                                MaskPlane::kDot16, kDotThreshold16);
    }
}

template <typename T>
void PixelMask::CorrectDotsOf(DibImage& raw, int xStart, int yStart, MaskPlane hotPlane,
                              MaskPlane deadPlane, MaskPlane dotPlane, int threshold) {
    const int w = raw.Width();
    const int h = raw.Height();
    // The dot marks are kept in frame coordinates on a sensor-sized plane.
    if (w > kWidth || h > kHeight) return;
    DibImage& dots = PlaneRef(dotPlane);
    for (int y = 0; y < h; ++y)
        std::memset(RowOf<T>(dots, y), 0, static_cast<size_t>(w) * sizeof(T));
    // Pixels closer than four to an edge are neither marked nor changed.
    constexpr int kEdge = 4;
    if (w < 2 * kEdge + 1 || h < 2 * kEdge + 1) return;
    const int last = w - kEdge - 1;
    const int lastRow = h - kEdge - 1;

    // ---- Marking: defects of the maps at the pixel's sensor position, and outliers.
    const DibImage& hot = Plane(hotPlane);
    const DibImage& dead = Plane(deadPlane);
    const int mapX0 = std::max(kEdge, -xStart);
    const int mapX1 = std::min(last, kWidth - 1 - xStart);
    for (int y = kEdge; y <= lastRow; ++y) {
        T* mark = RowOf<T>(dots, y);
        MarkOutliers(RowOf<T>(raw, y - 1), RowOf<T>(raw, y), RowOf<T>(raw, y + 1), mark, kEdge,
                     last, threshold);
        const int sensorY = yStart + y;
        if (sensorY < 0 || sensorY >= kHeight || mapX0 > mapX1) continue;
        MarkDefects(RowOf<T>(hot, sensorY) + xStart + mapX0,
                    RowOf<T>(dead, sensorY) + xStart + mapX0, mark + mapX0, mapX1 - mapX0 + 1);
    }

    // ---- Replacing. Only unmarked pixels are read and they never change, so the nearest
    // unmarked pixel to the left of (above) a marked one is its neighbour when that is
    // unmarked, else the one its marked neighbour found: left carries it along the row,
    // above_[x] down the column. Downwards and rightwards, the next unmarked pixel is searched
    // from where the previous search in that column (row) stopped, never from the start again.
    above_.assign(static_cast<size_t>(w), kEdge - 1);
    below_.assign(static_cast<size_t>(w), kEdge);
    for (int y = kEdge; y <= lastRow; ++y) {
        T* row = RowOf<T>(raw, y);
        const T* mark = RowOf<T>(dots, y);
        const T* markAbove = RowOf<T>(dots, y - 1);
        int left = kEdge - 1;
        int right = kEdge;
        for (int x = kEdge; x <= last; ++x) {
            if (mark[x] == 0) continue;
            if (mark[x - 1] == 0) left = x - 1;
            if (markAbove[x] == 0) above_[x] = y - 1;
            if (right <= x) right = x + 1;
            while (right < w && mark[right] != 0)
                ++right;
            int& below = below_[x];
            if (below <= y) below = y + 1;
            while (below < h && RowOf<T>(dots, below)[x] != 0)
                ++below;
            // The frame's outer four rows and columns are never marked, so each direction
            // finds a pixel.
            const int sum =
                row[left] + row[right] + RowOf<T>(raw, above_[x])[x] + RowOf<T>(raw, below)[x];
            row[x] = static_cast<T>(sum / 4);
        }
    }
}

}  // namespace velcor
