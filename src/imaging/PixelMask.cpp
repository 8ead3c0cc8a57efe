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
    if (size > kFileBytes) return MaskFileCheck::kTooLong;
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
        const T* up = RowOf<T>(raw, y - 1);
        const T* row = RowOf<T>(raw, y);
        const T* down = RowOf<T>(raw, y + 1);
        T* mark = RowOf<T>(dots, y);
        for (int x = kEdge; x <= last; ++x) {
            const int mean = (row[x - 1] + row[x + 1] + up[x] + down[x]) >> 2;
            mark[x] = std::abs(row[x] - mean) >= threshold;
        }
        const int sensorY = yStart + y;
        if (sensorY < 0 || sensorY >= kHeight) continue;
        const T* hotRow = RowOf<T>(hot, sensorY);
        const T* deadRow = RowOf<T>(dead, sensorY);
        for (int x = mapX0; x <= mapX1; ++x)
            mark[x] |= static_cast<T>(hotRow[xStart + x] | deadRow[xStart + x]);
    }

    // ---- Replacing. Only unmarked pixels are read and they never change, so the nearest
    // unmarked pixel in each direction is tracked as the rows and columns advance instead of
    // being searched for afresh: above[x] is the last unmarked row above, below[x] the next
    // unmarked row at or after the one below (moved on only when passed).
    above_.assign(static_cast<size_t>(w), kEdge - 1);
    below_.assign(static_cast<size_t>(w), kEdge);
    auto marked = [&](int x, int y) { return RowOf<T>(dots, y)[x] != 0; };
    for (int y = kEdge; y <= lastRow; ++y) {
        T* row = RowOf<T>(raw, y);
        const T* mark = RowOf<T>(dots, y);
        int left = kEdge - 1;  // last unmarked column to the left
        int right = kEdge;     // next unmarked column, once moved past x
        for (int x = kEdge; x <= last; ++x) {
            if (mark[x] == 0) {
                left = x;
                above_[x] = y;
                continue;
            }
            int sum = 0;
            int count = 0;
            if (left >= 0) {
                sum += row[left];
                ++count;
            }
            if (right <= x) right = x + 1;
            while (right < w && mark[right] != 0)
                ++right;
            if (right < w) {
                sum += row[right];
                ++count;
            }
            if (above_[x] >= 0) {
                sum += RowOf<T>(raw, above_[x])[x];
                ++count;
            }
            int& next = below_[x];
            if (next <= y) next = y + 1;
            while (next < h && marked(x, next))
                ++next;
            if (next < h) {
                sum += RowOf<T>(raw, next)[x];
                ++count;
            }
            if (count > 0) row[x] = static_cast<T>(sum / count);
        }
    }
}

}  // namespace velcor
