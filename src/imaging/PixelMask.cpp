#include "imaging/PixelMask.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>

#include <immintrin.h>

#include "imaging/SimdLevel.h"

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

// Eight samples of a row, widened to 32 bits.
template <typename T>
__attribute__((target("avx2"))) inline __m256i LoadWide(const T* p) {
    if constexpr (sizeof(T) == 1) {
        return _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
    } else {
        return _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
    }
}

// Eight 32-bit values (at most the sample's maximum) stored as samples.
template <typename T>
__attribute__((target("avx2"))) inline void StoreNarrow(T* p, __m256i q) {
    const __m256i words = _mm256_permute4x64_epi64(_mm256_packus_epi32(q, q), 0x08);
    if constexpr (sizeof(T) == 1) {
        const __m128i bytes =
            _mm_packus_epi16(_mm256_castsi256_si128(words), _mm256_castsi256_si128(words));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(p), bytes);
    } else {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm256_castsi256_si128(words));
    }
}

// The flat field of eight samples at a time, the same values as FlatField8 and FlatField16.
// The quotient is taken in single precision: being rounded to nearest, it truncates either to
// the exact quotient or to one more, which the remainder then shows. Answers how many samples
// it did; the rest of the row is left to the caller.
template <typename T>
__attribute__((target("avx2"))) int FlatFieldAvx2(T* row, const T* dark, const T* bright,
                                                  int count) {
    constexpr int kShift = sizeof(T) == 1 ? 8 : 12;  // x 256, x 4096
    const __m256i top = _mm256_set1_epi32(sizeof(T) == 1 ? 255 : 4095);
    const __m256i zero = _mm256_setzero_si256();
    const __m256i one = _mm256_set1_epi32(1);
    int i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256i v = LoadWide(row + i);
        const __m256i d = LoadWide(dark + i);
        const __m256i l = LoadWide(bright + i);
        __m256i a = _mm256_sub_epi32(v, d);
        __m256i b = _mm256_sub_epi32(l, d);
        __m256i keep;  // samples left as they are
        if constexpr (sizeof(T) == 1) {
            // Falling references: (v - d) / (l - d) = (d - v) / (d - l).
            const __m256i negative = _mm256_srai_epi32(b, 31);
            a = _mm256_sub_epi32(_mm256_xor_si256(a, negative), negative);
            b = _mm256_abs_epi32(b);
            keep = _mm256_cmpeq_epi32(b, zero);
        } else {
            keep = _mm256_cmpgt_epi32(one, b);  // d >= l
        }
        // Below the dark reference the result is 0 whatever the quotient. Kept samples divide
        // by 1 instead, so no lane divides by zero or raises a floating-point exception.
        a = _mm256_max_epi32(a, zero);
        b = _mm256_max_epi32(b, one);
        const __m256i n = _mm256_slli_epi32(a, kShift);
        const __m256 quotient = _mm256_div_ps(_mm256_cvtepi32_ps(n), _mm256_cvtepi32_ps(b));
        __m256i q = _mm256_cvttps_epi32(quotient);
        q = _mm256_min_epi32(q, _mm256_add_epi32(top, one));  // all that matters, and no overflow
        const __m256i over = _mm256_cmpgt_epi32(_mm256_mullo_epi32(q, b), n);
        q = _mm256_add_epi32(q, over);  // one less where q x b passed n
        q = _mm256_min_epi32(q, top);
        if constexpr (sizeof(T) == 2) q = _mm256_slli_epi32(q, 4);
        StoreNarrow(row + i, _mm256_blendv_epi8(q, v, keep));
    }
    return i;
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
    const bool avx2 = ActiveSimdLevel() >= SimdLevel::kAvx2;
    for (int y = y0; y < y1; ++y) {
        T* row = RowOf<T>(raw, y);
        const T* d = RowOf<T>(dark, yStart + y);
        const T* l = RowOf<T>(bright, yStart + y);
        int x = x0;
        if (avx2 && x1 > x0)
            x += FlatFieldAvx2(row + x0, d + xStart + x0, l + xStart + x0, x1 - x0);
        for (; x < x1; ++x) {
            const int at = xStart + x;
            if constexpr (sizeof(T) == 1) {
                row[x] = FlatField8(row[x], d[at], l[at]);
            } else {
                row[x] = FlatField16(row[x], d[at], l[at]);
            }
        }
    }
}

// Sixteen bytes in 16-bit lanes.
__attribute__((target("avx2"))) inline __m256i WidenBytes(const uint8_t* p) {
    return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

// MarkOutliers by vectors (sixteen 8-bit or eight 16-bit pixels at a time); answers the first
// column it left to the caller.
template <typename T>
__attribute__((target("avx2"))) int MarkOutliersAvx2(const T* up, const T* row, const T* down,
                                                     T* mark, int from, int to, int threshold) {
    const __m256i limit = _mm256_set1_epi32(threshold - 1);
    const __m256i one = _mm256_set1_epi32(1);
    int x = from;
    if constexpr (sizeof(T) == 1) {
        // Sixteen pixels in 16-bit lanes: four neighbours sum to at most 1020.
        const __m256i limit16 = _mm256_set1_epi16(static_cast<int16_t>(threshold - 1));
        const __m256i one16 = _mm256_set1_epi16(1);
        for (; x + 15 <= to; x += 16) {
            const __m256i sum =
                _mm256_add_epi16(_mm256_add_epi16(WidenBytes(row + x - 1), WidenBytes(row + x + 1)),
                                 _mm256_add_epi16(WidenBytes(up + x), WidenBytes(down + x)));
            const __m256i distance =
                _mm256_abs_epi16(_mm256_sub_epi16(WidenBytes(row + x), _mm256_srli_epi16(sum, 2)));
            const __m256i marks = _mm256_and_si256(_mm256_cmpgt_epi16(distance, limit16), one16);
            const __m128i bytes = _mm256_castsi256_si128(
                _mm256_permute4x64_epi64(_mm256_packus_epi16(marks, marks), 0x08));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(mark + x), bytes);
        }
    }
    for (; x + 7 <= to; x += 8) {
        const __m256i sum =
            _mm256_add_epi32(_mm256_add_epi32(LoadWide(row + x - 1), LoadWide(row + x + 1)),
                             _mm256_add_epi32(LoadWide(up + x), LoadWide(down + x)));
        const __m256i distance =
            _mm256_abs_epi32(_mm256_sub_epi32(LoadWide(row + x), _mm256_srai_epi32(sum, 2)));
        StoreNarrow(mark + x, _mm256_and_si256(_mm256_cmpgt_epi32(distance, limit), one));
    }
    return x;
}

// Dot marking of one row, columns from..to: a pixel at the threshold or further from the mean
// of its four neighbours.
template <typename T>
void MarkOutliers(const T* __restrict up, const T* __restrict row, const T* __restrict down,
                  T* __restrict mark, int from, int to, int threshold) {
    if (ActiveSimdLevel() >= SimdLevel::kAvx2)
        from = MarkOutliersAvx2(up, row, down, mark, from, to, threshold);
    for (int x = from; x <= to; ++x) {
        const int mean = (row[x - 1] + row[x + 1] + up[x] + down[x]) >> 2;
        mark[x] = std::abs(row[x] - mean) >= threshold;
    }
}

// Adds the pixels the hot or dead map flags (entries 0 or 1) to count marks.
template <typename T>
void MarkDefects(const T* __restrict hot, const T* __restrict dead, T* __restrict mark, int count) {
    // Whole words of marks at a time: the entries are 0 or 1, so or-ing the words is or-ing
    // the entries.
    constexpr int kPerWord = static_cast<int>(sizeof(uint64_t) / sizeof(T));
    int i = 0;
    for (; i + kPerWord <= count; i += kPerWord) {
        uint64_t m, a, b;
        std::memcpy(&m, mark + i, sizeof m);
        std::memcpy(&a, hot + i, sizeof a);
        std::memcpy(&b, dead + i, sizeof b);
        m |= a | b;
        std::memcpy(mark + i, &m, sizeof m);
    }
    for (; i < count; ++i)
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
    // Pixels closer than four to an edge are neither marked nor changed.
    constexpr int kEdge = 4;
    if (w < 2 * kEdge + 1 || h < 2 * kEdge + 1) {
        for (int y = 0; y < h; ++y)
            std::memset(RowOf<T>(dots, y), 0, static_cast<size_t>(w) * sizeof(T));
        return;
    }
    const int last = w - kEdge - 1;
    const int lastRow = h - kEdge - 1;
    // The marking below writes every inner entry; only the frame's edges are cleared here.
    for (int y = 0; y < h; ++y) {
        T* mark = RowOf<T>(dots, y);
        if (y < kEdge || y > lastRow) {
            std::memset(mark, 0, static_cast<size_t>(w) * sizeof(T));
        } else {
            std::memset(mark, 0, kEdge * sizeof(T));
            std::memset(mark + last + 1, 0, kEdge * sizeof(T));
        }
    }

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
            if (mark[x] == 0) {
                // Marks are rare: step over whole words of unmarked pixels.
                constexpr int kPerWord = static_cast<int>(sizeof(uint64_t) / sizeof(T));
                uint64_t word;
                while (x + 1 + kPerWord <= last + 1 &&
                       (std::memcpy(&word, mark + x + 1, sizeof word), word == 0)) {
                    x += kPerWord;
                }
                continue;
            }
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
