#include "imaging/Demosaic.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace velcor {

namespace {

// The interior works on whole vectors of samples; these are the compiler's generic vector
// types, so the same code serves every target the compiler knows.
using U16x4 __attribute__((vector_size(8))) = uint16_t;
using U16x8 __attribute__((vector_size(16))) = uint16_t;
using I16x8 __attribute__((vector_size(16))) = int16_t;
using U32x4 __attribute__((vector_size(16))) = uint32_t;
using U64x2 __attribute__((vector_size(16))) = uint64_t;

// Gain 100 becomes 128, so S x factor >> 11 is the 9:3:3:1 mean (weights sum to 16) times
// gain / 100. The factor is held below 4096 so that the 16-bit product S x factor fits in 32
// bits; the gains the camera accepts (at most 400) stay far below that.
constexpr int kMaxFactor = 4095;

int GainFactor(int gain) {
    const double factor = static_cast<double>(gain) * 1.28;
    if (factor <= 0.0) return 0;
    if (factor >= kMaxFactor) return kMaxFactor;
    return static_cast<int>(factor);
}

struct Frame {
    const uint8_t* src;
    ptrdiff_t srcStride;
    uint8_t* dst;
    ptrdiff_t dstStride;
    int width;
    int height;
    int rowBit;  // Bayer mode bit 0: flips the row phase
    int colBit;  // Bayer mode bit 1: flips the column phase
    uint32_t kRed;
    uint32_t kBlue;
};

template <typename T>
constexpr uint32_t kSampleMax = sizeof(T) == 1 ? 255u : 65535u;

template <typename T>
inline T Scaled(uint32_t sum, uint32_t factor) {
    return static_cast<T>(std::min((sum * factor) >> 11, kSampleMax<T>));
}

// A tap outside the frame is taken four rows (columns) further in, which stays on its Bayer
// phase. Frames narrower than four keep the phase with steps of two; a single row or column
// has no second phase to offer and uses its only sample.
inline int FoldTap(int t, int n) {
    if (t < 0) {
        t += 4;
        while (t >= n)
            t -= 2;
        return t < 0 ? 0 : t;
    }
    if (t >= n) {
        t -= 4;
        while (t < 0)
            t += 2;
        return t >= n ? n - 1 : t;
    }
    return t;
}

// One output pixel. Sample colours by (row phase, column phase): (0,0) and (1,1) green,
// (0,1) blue, (1,0) red.
template <typename T, int Channels, bool Fold>
inline void DemosaicPixel(const Frame& f, int x, int y) {
    const bool redRowIsY = ((y + f.rowBit) & 1) != 0;
    int redRow = redRowIsY ? y : y - 1;
    int redRowFar = redRowIsY ? y - 2 : y + 1;
    int blueRow = redRowIsY ? y - 1 : y;
    int blueRowFar = redRowIsY ? y + 1 : y - 2;
    const bool redColIsX = ((x + f.colBit) & 1) == 0;
    int redCol = redColIsX ? x : x - 1;
    int redColFar = redColIsX ? x - 2 : x + 1;
    int blueCol = redColIsX ? x - 1 : x;
    int blueColFar = redColIsX ? x + 1 : x - 2;
    if constexpr (Fold) {
        redRow = FoldTap(redRow, f.height);
        redRowFar = FoldTap(redRowFar, f.height);
        blueRow = FoldTap(blueRow, f.height);
        blueRowFar = FoldTap(blueRowFar, f.height);
        redCol = FoldTap(redCol, f.width);
        redColFar = FoldTap(redColFar, f.width);
        blueCol = FoldTap(blueCol, f.width);
        blueColFar = FoldTap(blueColFar, f.width);
    }
    auto at = [&f](int row, int col) -> uint32_t {
        return reinterpret_cast<const T*>(f.src + row * f.srcStride)[col];
    };
    const uint32_t red = 9 * at(redRow, redCol) + 3 * at(redRow, redColFar) +
                         3 * at(redRowFar, redCol) + at(redRowFar, redColFar);
    const uint32_t blue = 9 * at(blueRow, blueCol) + 3 * at(blueRow, blueColFar) +
                          3 * at(blueRowFar, blueCol) + at(blueRowFar, blueColFar);
    // The block's greens sit in the red row under the blue column and vice versa.
    const uint32_t green = (at(redRow, blueCol) + at(blueRow, redCol)) >> 1;
    T* d = reinterpret_cast<T*>(f.dst + y * f.dstStride) + x * Channels;
    d[0] = Scaled<T>(blue, f.kBlue);
    d[1] = static_cast<T>(green);
    d[2] = Scaled<T>(red, f.kRed);
}

template <typename V>
inline V LoadVector(const void* p) {
    V v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <typename V>
inline void StoreVector(void* p, V v) {
    std::memcpy(p, &v, sizeof v);
}

// High half of the 16 x 16-bit products.
inline U16x8 MulHigh(U16x8 a, U16x8 b) {
#if defined(__SSE2__)
    return reinterpret_cast<U16x8>(
        _mm_mulhi_epu16(reinterpret_cast<__m128i>(a), reinterpret_cast<__m128i>(b)));
#else
    const U32x4 lo = __builtin_convertvector(__builtin_shufflevector(a, a, 0, 1, 2, 3), U32x4) *
                     __builtin_convertvector(__builtin_shufflevector(b, b, 0, 1, 2, 3), U32x4);
    const U32x4 hi = __builtin_convertvector(__builtin_shufflevector(a, a, 4, 5, 6, 7), U32x4) *
                     __builtin_convertvector(__builtin_shufflevector(b, b, 4, 5, 6, 7), U32x4);
    const U16x4 l = __builtin_convertvector(lo >> 16, U16x4);
    const U16x4 h = __builtin_convertvector(hi >> 16, U16x4);
    return __builtin_shufflevector(l, h, 0, 1, 2, 3, 4, 5, 6, 7);
#endif
}

// The samples one row contributes to a run of output pixels x, x + 2, ... (even) and
// x + 1, x + 3, ... (odd): columns x + 2k - 2 (em), x + 2k - 1 (om), x + 2k (e),
// x + 2k + 1 (o), x + 2k + 2 (ep). One pair of samples fills each wide lane, so splitting
// even and odd columns is a mask and a shift.
template <typename V>
struct Taps {
    V em, om, e, o, ep;
};

inline Taps<U16x8> LoadTaps(const uint8_t* row, int x) {
    const U16x8 a = LoadVector<U16x8>(row + x - 2);
    const U16x8 b = LoadVector<U16x8>(row + x);
    const U16x8 c = LoadVector<U16x8>(row + x + 2);
    return {a & 0xFF, a >> 8, b & 0xFF, b >> 8, c & 0xFF};
}

inline Taps<U32x4> LoadTaps(const uint16_t* row, int x) {
    const U32x4 a = LoadVector<U32x4>(row + x - 2);
    const U32x4 b = LoadVector<U32x4>(row + x);
    const U32x4 c = LoadVector<U32x4>(row + x + 2);
    return {a & 0xFFFF, a >> 16, b & 0xFFFF, b >> 16, c & 0xFFFF};
}

// Colour values of a run of output pixel pairs. "Even" is the colour whose samples lie in
// the run's even columns (red or blue by the column phase), "odd" the other one.
template <typename V>
struct PairColours {
    V blueE, greenE, redE;  // pixels x + 2k
    V blueO, greenO, redO;  // pixels x + 2k + 1
};

template <typename V, typename Row, typename ScaleFn>
inline PairColours<V> ComputeRun(const Row* evenNear, const Row* evenFar, const Row* oddNear,
                                 const Row* oddFar, int x, bool redIsEven, ScaleFn scale) {
    const Taps<V> en = LoadTaps(evenNear, x), ef = LoadTaps(evenFar, x);
    const Taps<V> on = LoadTaps(oddNear, x), of = LoadTaps(oddFar, x);
    // Even pixel x: even colour at column x (far x - 2), odd colour at x - 1 (far x + 1).
    // Odd pixel x + 1: even colour at x (far x + 2), odd colour at x + 1 (far x - 1).
    const V evenAtE = scale(9 * en.e + 3 * en.em + 3 * ef.e + ef.em, redIsEven);
    const V evenAtO = scale(9 * en.e + 3 * en.ep + 3 * ef.e + ef.ep, redIsEven);
    const V oddAtE = scale(9 * on.om + 3 * on.o + 3 * of.om + of.o, !redIsEven);
    const V oddAtO = scale(9 * on.o + 3 * on.om + 3 * of.o + of.om, !redIsEven);
    PairColours<V> c;
    c.greenE = (en.om + on.e) >> 1;
    c.greenO = (en.o + on.e) >> 1;
    if (redIsEven) {
        c.redE = evenAtE, c.redO = evenAtO, c.blueE = oddAtE, c.blueO = oddAtO;
    } else {
        c.blueE = evenAtE, c.blueO = evenAtO, c.redE = oddAtE, c.redO = oddAtO;
    }
    return c;
}

// 16 output pixels from 8-bit samples.
template <int Channels>
inline void Run8(const uint8_t* evenNear, const uint8_t* evenFar, const uint8_t* oddNear,
                 const uint8_t* oddFar, uint8_t* dstRow, int x, bool redIsEven, U16x8 kRed2,
                 U16x8 kBlue2) {
    // S < 4096 and the doubled factor < 8192: the high half of (S << 4) x 2k is S x k >> 11.
    auto scale = [&](U16x8 s, bool red) {
        // The product stays below 8192, so the limit may be taken as a signed minimum, which
        // every vector unit has.
        const I16x8 v = reinterpret_cast<I16x8>(MulHigh(s << 4, red ? kRed2 : kBlue2));
        return reinterpret_cast<U16x8>(v > 255 ? I16x8{} + 255 : v);
    };
    const PairColours<U16x8> c =
        ComputeRun<U16x8>(evenNear, evenFar, oddNear, oddFar, x, redIsEven, scale);
    uint8_t* d = dstRow + x * Channels;
    if constexpr (Channels == 3) {
        // Two pixels make six bytes: B G R B G R, built as three 16-bit words per pair.
        const U16x8 w0 = c.blueE | (c.greenE << 8);
        const U16x8 w1 = c.redE | (c.blueO << 8);
        const U16x8 w2 = c.greenO | (c.redO << 8);
        const U16x8 zero{};
        const U32x4 a0 =
            reinterpret_cast<U32x4>(__builtin_shufflevector(w0, w1, 0, 8, 1, 9, 2, 10, 3, 11));
        const U32x4 a1 =
            reinterpret_cast<U32x4>(__builtin_shufflevector(w0, w1, 4, 12, 5, 13, 6, 14, 7, 15));
        const U32x4 b0 =
            reinterpret_cast<U32x4>(__builtin_shufflevector(w2, zero, 0, 8, 1, 9, 2, 10, 3, 11));
        const U32x4 b1 =
            reinterpret_cast<U32x4>(__builtin_shufflevector(w2, zero, 4, 12, 5, 13, 6, 14, 7, 15));
        const U64x2 q[4] = {
            reinterpret_cast<U64x2>(__builtin_shufflevector(a0, b0, 0, 4, 1, 5)),
            reinterpret_cast<U64x2>(__builtin_shufflevector(a0, b0, 2, 6, 3, 7)),
            reinterpret_cast<U64x2>(__builtin_shufflevector(a1, b1, 0, 4, 1, 5)),
            reinterpret_cast<U64x2>(__builtin_shufflevector(a1, b1, 2, 6, 3, 7)),
        };
        // Eight bytes per pair, each store's two surplus bytes overwritten by the next one;
        // the last pair stores exactly its six.
        for (int i = 0; i < 4; ++i) {
            const uint64_t first = q[i][0], second = q[i][1];
            std::memcpy(d + 12 * i, &first, 8);
            std::memcpy(d + 12 * i + 6, &second, i == 3 ? 6 : 8);
        }
    } else {
        const U16x8 lowE = c.blueE | (c.greenE << 8);
        const U16x8 lowO = c.blueO | (c.greenO << 8);
        const U32x4 e0 = reinterpret_cast<U32x4>(
            __builtin_shufflevector(lowE, c.redE, 0, 8, 1, 9, 2, 10, 3, 11));
        const U32x4 e1 = reinterpret_cast<U32x4>(
            __builtin_shufflevector(lowE, c.redE, 4, 12, 5, 13, 6, 14, 7, 15));
        const U32x4 o0 = reinterpret_cast<U32x4>(
            __builtin_shufflevector(lowO, c.redO, 0, 8, 1, 9, 2, 10, 3, 11));
        const U32x4 o1 = reinterpret_cast<U32x4>(
            __builtin_shufflevector(lowO, c.redO, 4, 12, 5, 13, 6, 14, 7, 15));
        const U32x4 px[4] = {
            __builtin_shufflevector(e0, o0, 0, 4, 1, 5),
            __builtin_shufflevector(e0, o0, 2, 6, 3, 7),
            __builtin_shufflevector(e1, o1, 0, 4, 1, 5),
            __builtin_shufflevector(e1, o1, 2, 6, 3, 7),
        };
        // The fourth byte of each pixel is not the demosaic's to write.
        for (int i = 0; i < 4; ++i) {
            const U32x4 old = LoadVector<U32x4>(d + 16 * i);
            StoreVector(d + 16 * i, (old & 0xFF000000u) | px[i]);
        }
    }
}

// 8 output pixels from 16-bit samples.
template <int Channels>
inline void Run16(const uint16_t* evenNear, const uint16_t* evenFar, const uint16_t* oddNear,
                  const uint16_t* oddFar, uint8_t* dstRow, int x, bool redIsEven, uint32_t kRed,
                  uint32_t kBlue) {
    auto scale = [&](U32x4 s, bool red) {
        const U32x4 v = (s * (red ? kRed : kBlue)) >> 11;
        return v > 65535u ? U32x4{} + 65535u : v;
    };
    const PairColours<U32x4> c =
        ComputeRun<U32x4>(evenNear, evenFar, oddNear, oddFar, x, redIsEven, scale);
    const U32x4 lowE = c.blueE | (c.greenE << 16);
    const U32x4 lowO = c.blueO | (c.greenO << 16);
    // Pixels as 64-bit words B | G << 16 | R << 32: even pixels 0 2 / 4 6, odd 1 3 / 5 7.
    const U64x2 e0 = reinterpret_cast<U64x2>(__builtin_shufflevector(lowE, c.redE, 0, 4, 1, 5));
    const U64x2 e1 = reinterpret_cast<U64x2>(__builtin_shufflevector(lowE, c.redE, 2, 6, 3, 7));
    const U64x2 o0 = reinterpret_cast<U64x2>(__builtin_shufflevector(lowO, c.redO, 0, 4, 1, 5));
    const U64x2 o1 = reinterpret_cast<U64x2>(__builtin_shufflevector(lowO, c.redO, 2, 6, 3, 7));
    const U64x2 px[4] = {
        __builtin_shufflevector(e0, o0, 0, 2),
        __builtin_shufflevector(e0, o0, 1, 3),
        __builtin_shufflevector(e1, o1, 0, 2),
        __builtin_shufflevector(e1, o1, 1, 3),
    };
    uint8_t* d = dstRow + static_cast<ptrdiff_t>(x) * Channels * 2;
    if constexpr (Channels == 3) {
        for (int i = 0; i < 4; ++i) {
            const uint64_t first = px[i][0], second = px[i][1];
            std::memcpy(d + 12 * i, &first, 8);
            std::memcpy(d + 12 * i + 6, &second, i == 3 ? 6 : 8);
        }
    } else {
        for (int i = 0; i < 4; ++i) {
            const U64x2 old = LoadVector<U64x2>(d + 16 * i);
            StoreVector(d + 16 * i, (old & 0xFFFF000000000000ull) | px[i]);
        }
    }
}

template <typename T, int Channels>
void DemosaicFrame(const Frame& f) {
    const int w = f.width, h = f.height;
    constexpr int kRun = sizeof(T) == 1 ? 16 : 8;
    // Runs start at even columns from 2 on, so one column phase holds for all of them. A run
    // at x reads columns x - 2 .. x + kRun + 1 and writes x .. x + kRun - 1.
    const bool redIsEven = ((2 + f.colBit) & 1) == 0;
    const U16x8 kRed2 = U16x8{} + static_cast<uint16_t>(2 * f.kRed);
    const U16x8 kBlue2 = U16x8{} + static_cast<uint16_t>(2 * f.kBlue);
    auto row = [&f](int y) { return reinterpret_cast<const T*>(f.src + y * f.srcStride); };

    for (int y = 2; y <= h - 3; ++y) {
        const bool redRowIsY = ((y + f.rowBit) & 1) != 0;
        const T* redNear = row(redRowIsY ? y : y - 1);
        const T* redFar = row(redRowIsY ? y - 2 : y + 1);
        const T* blueNear = row(redRowIsY ? y - 1 : y);
        const T* blueFar = row(redRowIsY ? y + 1 : y - 2);
        const T* evenNear = redIsEven ? redNear : blueNear;
        const T* evenFar = redIsEven ? redFar : blueFar;
        const T* oddNear = redIsEven ? blueNear : redNear;
        const T* oddFar = redIsEven ? blueFar : redFar;
        uint8_t* dstRow = f.dst + y * f.dstStride;
        int x = 2;
        for (; x <= w - kRun - 2; x += kRun) {
            if constexpr (sizeof(T) == 1) {
                Run8<Channels>(evenNear, evenFar, oddNear, oddFar, dstRow, x, redIsEven, kRed2,
                               kBlue2);
            } else {
                Run16<Channels>(evenNear, evenFar, oddNear, oddFar, dstRow, x, redIsEven, f.kRed,
                                f.kBlue);
            }
        }
        for (; x <= w - 3; ++x)
            DemosaicPixel<T, Channels, false>(f, x, y);
    }

    // The two-pixel border, in bands: top rows, bottom rows, left columns, right columns.
    auto band = [&](int y0, int y1, int x0, int x1) {
        for (int y = std::max(y0, 0); y <= std::min(y1, h - 1); ++y) {
            for (int x = std::max(x0, 0); x <= std::min(x1, w - 1); ++x)
                DemosaicPixel<T, Channels, true>(f, x, y);
        }
    };
    band(0, 1, 0, w - 1);
    band(h - 2, h - 1, 0, w - 1);
    band(0, h - 1, 0, 1);
    band(0, h - 1, w - 2, w - 1);
}

}  // namespace

int DemosaicRoutine(uint8_t* dst, const uint8_t* src, const PixelRect& rect, int dstX, int dstY,
                    uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int dstStride,
                    int srcStride, void* param1, void*) {
    const auto* gains = static_cast<const BayerGains*>(param1);
    if (gains == nullptr || dst == nullptr || src == nullptr || rect.Empty()) return 0;
    Frame f;
    f.src = src + static_cast<ptrdiff_t>(rect.top) * srcStride +
            static_cast<ptrdiff_t>(rect.left) * srcBytesPerPixel;
    f.srcStride = srcStride;
    f.dst = dst + static_cast<ptrdiff_t>(dstY) * dstStride +
            static_cast<ptrdiff_t>(dstX) * dstBytesPerPixel;
    f.dstStride = dstStride;
    f.width = rect.Width();
    f.height = rect.Height();
    // The phase belongs to the absolute position of the rectangle's first pixel.
    f.rowBit = (gains->bayerMode ^ rect.top) & 1;
    f.colBit = ((gains->bayerMode >> 1) ^ rect.left) & 1;
    f.kRed = static_cast<uint32_t>(GainFactor(gains->red));
    f.kBlue = static_cast<uint32_t>(GainFactor(gains->blue));
    if (srcBytesPerPixel == 1 && dstBytesPerPixel == 3) {
        DemosaicFrame<uint8_t, 3>(f);
    } else if (srcBytesPerPixel == 1 && dstBytesPerPixel == 4) {
        DemosaicFrame<uint8_t, 4>(f);
    } else if (srcBytesPerPixel == 2 && dstBytesPerPixel == 6) {
        DemosaicFrame<uint16_t, 3>(f);
    } else if (srcBytesPerPixel == 2 && dstBytesPerPixel == 8) {
        DemosaicFrame<uint16_t, 4>(f);
    } else {
        return 0;
    }
    return 1;
}

bool Demosaic(const DibImage& raw, DibImage& output, const BayerGains& gains) {
    if (raw.Empty() || output.Empty() || raw.Width() != output.Width() ||
        raw.Height() != output.Height()) {
        return false;
    }
    const PixelRect whole{0, 0, raw.Width(), raw.Height()};
    return DemosaicRoutine(output.Pixels(), raw.Pixels(), whole, 0, 0,
                           static_cast<uint16_t>(output.BytesPerPixel()),
                           static_cast<uint16_t>(raw.BytesPerPixel()), output.Stride(),
                           raw.Stride(), const_cast<BayerGains*>(&gains), nullptr) == 1;
}

}  // namespace velcor
