// The demosaic's pixel work, written once over the compiler's generic vector types and compiled
// once per instruction set: Demosaic.cpp builds it for the baseline, DemosaicAvx2.cpp and
// DemosaicAvx512.cpp with their own compiler flags. Everything here has internal linkage, so no
// function built for a wider instruction set can stand in for the baseline one at link time;
// for the same reason nothing here instantiates a standard library template.
#pragma once

#include <cstdint>
#include <cstring>
#include <type_traits>
#include <utility>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

#include "imaging/DemosaicFrame.h"

namespace velcor {
namespace {

// The per-run steps are folded into the row loop: a call would pass the run's colour vectors
// through memory.
#define VELCOR_RUN_STEP inline __attribute__((always_inline))

using U16x4 __attribute__((vector_size(8))) = uint16_t;
using U16x8 __attribute__((vector_size(16))) = uint16_t;
using I16x8 __attribute__((vector_size(16))) = int16_t;
using U32x4 __attribute__((vector_size(16))) = uint32_t;
using U64x2 __attribute__((vector_size(16))) = uint64_t;

template <typename T>
constexpr uint32_t kSampleMax = sizeof(T) == 1 ? 255u : 65535u;

template <typename T>
inline T Scaled(uint32_t sum, uint32_t factor) {
    const uint32_t v = (sum * factor) >> 11;
    return static_cast<T>(v < kSampleMax<T> ? v : kSampleMax<T>);
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

// One output pixel, every tap folded into the frame. Sample colours by (row phase, column
// phase): (0,0) and (1,1) green, (0,1) blue, (1,0) red.
template <typename T, int Channels>
inline void DemosaicPixel(const BayerFrame& f, int x, int y) {
    const bool redRowIsY = ((y + f.rowBit) & 1) != 0;
    const int redRow = FoldTap(redRowIsY ? y : y - 1, f.height);
    const int redRowFar = FoldTap(redRowIsY ? y - 2 : y + 1, f.height);
    const int blueRow = FoldTap(redRowIsY ? y - 1 : y, f.height);
    const int blueRowFar = FoldTap(redRowIsY ? y + 1 : y - 2, f.height);
    const bool redColIsX = ((x + f.colBit) & 1) == 0;
    const int redCol = FoldTap(redColIsX ? x : x - 1, f.width);
    const int redColFar = FoldTap(redColIsX ? x - 2 : x + 1, f.width);
    const int blueCol = FoldTap(redColIsX ? x - 1 : x, f.width);
    const int blueColFar = FoldTap(redColIsX ? x + 1 : x - 2, f.width);
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

// Vectors of Bytes bytes: 16-bit lanes for 8-bit samples, 32-bit lanes for 16-bit samples.
template <int Bytes>
struct Lanes {
    using U8 __attribute__((vector_size(Bytes))) = uint8_t;
    using U16 __attribute__((vector_size(Bytes))) = uint16_t;
    using I16 __attribute__((vector_size(Bytes))) = int16_t;
    using U32 __attribute__((vector_size(Bytes))) = uint32_t;
};

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

#if defined(__AVX2__)
inline Lanes<32>::U16 MulHigh(Lanes<32>::U16 a, Lanes<32>::U16 b) {
    return reinterpret_cast<Lanes<32>::U16>(
        _mm256_mulhi_epu16(reinterpret_cast<__m256i>(a), reinterpret_cast<__m256i>(b)));
}
#endif

#if defined(__AVX512BW__)
inline Lanes<64>::U16 MulHigh(Lanes<64>::U16 a, Lanes<64>::U16 b) {
    return reinterpret_cast<Lanes<64>::U16>(
        _mm512_mulhi_epu16(reinterpret_cast<__m512i>(a), reinterpret_cast<__m512i>(b)));
}
#endif

// The 16-byte part J of a wider vector.
template <int J, typename V>
inline U16x8 Part16(V v) {
    if constexpr (sizeof(V) == 16) {
        return v;
    } else {
        return __builtin_shufflevector(v, v, 8 * J, 8 * J + 1, 8 * J + 2, 8 * J + 3, 8 * J + 4,
                                       8 * J + 5, 8 * J + 6, 8 * J + 7);
    }
}

template <int J, typename V>
inline U32x4 Part32(V v) {
    if constexpr (sizeof(V) == 16) {
        return v;
    } else {
        return __builtin_shufflevector(v, v, 4 * J, 4 * J + 1, 4 * J + 2, 4 * J + 3);
    }
}

// The samples one row contributes to a run of output pixels x, x + 2, ... (even) and
// x + 1, x + 3, ... (odd): columns x + 2k - 2 (em), x + 2k - 1 (om), x + 2k (e),
// x + 2k + 1 (o), x + 2k + 2 (ep). One pair of samples fills each wide lane, so splitting
// even and odd columns is a mask and a shift.
template <typename V>
struct Taps {
    V em, om, e, o, ep;
};

template <typename V>
VELCOR_RUN_STEP Taps<V> LoadTaps(const uint8_t* row, int x) {
    const V a = LoadVector<V>(row + x - 2);
    const V b = LoadVector<V>(row + x);
    const V c = LoadVector<V>(row + x + 2);
    return {a & 0xFF, a >> 8, b & 0xFF, b >> 8, c & 0xFF};
}

template <typename V>
VELCOR_RUN_STEP Taps<V> LoadTaps(const uint16_t* row, int x) {
    const V a = LoadVector<V>(row + x - 2);
    const V b = LoadVector<V>(row + x);
    const V c = LoadVector<V>(row + x + 2);
    return {a & 0xFFFF, a >> 16, b & 0xFFFF, b >> 16, c & 0xFFFF};
}

// Colour values of a run of output pixel pairs.
template <typename V>
struct PairColours {
    V blueE, greenE, redE;  // pixels x + 2k
    V blueO, greenO, redO;  // pixels x + 2k + 1
};

// "Even" is the colour whose samples lie in the run's even columns (red or blue by the column
// phase), "odd" the other one.
template <typename V, typename Row, typename ScaleFn>
VELCOR_RUN_STEP PairColours<V> ComputeRun(const Row* evenNear, const Row* evenFar,
                                          const Row* oddNear, const Row* oddFar, int x,
                                          bool redIsEven, ScaleFn scale) {
    const Taps<V> en = LoadTaps<V>(evenNear, x), ef = LoadTaps<V>(evenFar, x);
    const Taps<V> on = LoadTaps<V>(oddNear, x), of = LoadTaps<V>(oddFar, x);
    // Even pixel x: even colour at column x (far x - 2), odd colour at x - 1 (far x + 1).
    // Odd pixel x + 1: even colour at x (far x + 2), odd colour at x + 1 (far x - 1).
    const V evenNear9 = 9 * en.e + 3 * ef.e;
    const V oddNear9 = 9 * on.o + 3 * of.o;
    const V oddFar9 = 9 * on.om + 3 * of.om;
    const V evenAtE = scale(evenNear9 + 3 * en.em + ef.em, redIsEven);
    const V evenAtO = scale(evenNear9 + 3 * en.ep + ef.ep, redIsEven);
    const V oddAtE = scale(oddFar9 + 3 * on.o + of.o, !redIsEven);
    const V oddAtO = scale(oddNear9 + 3 * on.om + of.om, !redIsEven);
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

// B G R interleaving of three vectors of N elements, P to each 16 bytes, one 16-byte part at
// a time (byte shuffles do not cross 16-byte parts). Output vector K holds in each part the
// elements P x K .. P x K + P - 1 of that part's interleaved stream. The first step takes
// blue and green from (b, g), the second adds red.
template <int N, int P>
struct Interleave {
    static constexpr int Pixel(int e, int k) { return (P * k + e % P) / 3; }
    static constexpr int Colour(int e, int k) { return (P * k + e % P) % 3; }
    static constexpr int Base(int e) { return e / P * P; }
    static constexpr int FromBlueGreen(int e, int k) {
        return Colour(e, k) == 0   ? Base(e) + Pixel(e, k)
               : Colour(e, k) == 1 ? N + Base(e) + Pixel(e, k)
                                   : e;
    }
    static constexpr int AddRed(int e, int k) {
        return Colour(e, k) == 2 ? N + Base(e) + Pixel(e, k) : e;
    }

    template <int K, typename V, int... E>
    static V Part(V b, V g, V r, std::integer_sequence<int, E...>) {
        const V t = __builtin_shufflevector(b, g, FromBlueGreen(E, K)...);
        return __builtin_shufflevector(t, r, AddRed(E, K)...);
    }
};

// Stores the B G R of sizeof(V) / P x 16 pixels, given as vectors of consecutive pixels.
template <int P, typename V>
VELCOR_RUN_STEP void StoreInterleaved(uint8_t* d, V b, V g, V r) {
    constexpr int kLanes = sizeof(V) / sizeof(b[0]);
    if constexpr (sizeof(V) == 64) {
        // Two 32-byte halves: the two-source shuffles of whole 64-byte vectors cost more than
        // the halving.
        using H __attribute__((vector_size(32))) = std::remove_cvref_t<decltype(b[0])>;
        auto half = [](V v, int upper) {
            H h;
            std::memcpy(&h, reinterpret_cast<const uint8_t*>(&v) + 32 * upper, 32);
            return h;
        };
        StoreInterleaved<P>(d, half(b, 0), half(g, 0), half(r, 0));
        StoreInterleaved<P>(d + 96, half(b, 1), half(g, 1), half(r, 1));
    } else {
        using I = Interleave<kLanes, P>;
        const auto lanes = std::make_integer_sequence<int, kLanes>{};
        const V out[3] = {I::template Part<0>(b, g, r, lanes), I::template Part<1>(b, g, r, lanes),
                          I::template Part<2>(b, g, r, lanes)};
        for (int part = 0; part < static_cast<int>(sizeof(V)) / 16; ++part) {
            for (int k = 0; k < 3; ++k) {
                std::memcpy(d + 16 * (3 * part + k),
                            reinterpret_cast<const uint8_t*>(&out[k]) + 16 * part, 16);
            }
        }
    }
}

// Stores 16 output pixels of 8-bit channels, given as eight pairs.
template <int Channels>
VELCOR_RUN_STEP void Store8(uint8_t* d, U16x8 blueE, U16x8 greenE, U16x8 redE, U16x8 blueO,
                            U16x8 greenO, U16x8 redO) {
    if constexpr (Channels == 3) {
        // Two pixels make six bytes: B G R B G R, built as three 16-bit words per pair.
        const U16x8 w0 = blueE | (greenE << 8);
        const U16x8 w1 = redE | (blueO << 8);
        const U16x8 w2 = greenO | (redO << 8);
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
        const U16x8 lowE = blueE | (greenE << 8);
        const U16x8 lowO = blueO | (greenO << 8);
        const U32x4 e0 =
            reinterpret_cast<U32x4>(__builtin_shufflevector(lowE, redE, 0, 8, 1, 9, 2, 10, 3, 11));
        const U32x4 e1 = reinterpret_cast<U32x4>(
            __builtin_shufflevector(lowE, redE, 4, 12, 5, 13, 6, 14, 7, 15));
        const U32x4 o0 =
            reinterpret_cast<U32x4>(__builtin_shufflevector(lowO, redO, 0, 8, 1, 9, 2, 10, 3, 11));
        const U32x4 o1 = reinterpret_cast<U32x4>(
            __builtin_shufflevector(lowO, redO, 4, 12, 5, 13, 6, 14, 7, 15));
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

// Stores 8 output pixels of 16-bit channels, given as four pairs.
template <int Channels>
VELCOR_RUN_STEP void Store16(uint8_t* d, U32x4 blueE, U32x4 greenE, U32x4 redE, U32x4 blueO,
                             U32x4 greenO, U32x4 redO) {
    const U32x4 lowE = blueE | (greenE << 16);
    const U32x4 lowO = blueO | (greenO << 16);
    // Pixels as 64-bit words B | G << 16 | R << 32: even pixels 0 2 / 4 6, odd 1 3 / 5 7.
    const U64x2 e0 = reinterpret_cast<U64x2>(__builtin_shufflevector(lowE, redE, 0, 4, 1, 5));
    const U64x2 e1 = reinterpret_cast<U64x2>(__builtin_shufflevector(lowE, redE, 2, 6, 3, 7));
    const U64x2 o0 = reinterpret_cast<U64x2>(__builtin_shufflevector(lowO, redO, 0, 4, 1, 5));
    const U64x2 o1 = reinterpret_cast<U64x2>(__builtin_shufflevector(lowO, redO, 2, 6, 3, 7));
    const U64x2 px[4] = {
        __builtin_shufflevector(e0, o0, 0, 2),
        __builtin_shufflevector(e0, o0, 1, 3),
        __builtin_shufflevector(e1, o1, 0, 2),
        __builtin_shufflevector(e1, o1, 1, 3),
    };
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

// A run of Bytes output pixels from 8-bit samples.
template <int Bytes, int Channels, int J = 0>
VELCOR_RUN_STEP void StoreParts8(uint8_t* d, const PairColours<typename Lanes<Bytes>::U16>& c) {
#if defined(__SSSE3__)
    if constexpr (Channels == 3) {
        // A byte shuffle per 16 bytes of output: the pairs side by side are the pixels in order.
        using B = typename Lanes<Bytes>::U8;
        StoreInterleaved<16>(d, reinterpret_cast<B>(c.blueE | (c.blueO << 8)),
                             reinterpret_cast<B>(c.greenE | (c.greenO << 8)),
                             reinterpret_cast<B>(c.redE | (c.redO << 8)));
        return;
    }
#endif
    if constexpr (J * 16 < Bytes) {
        Store8<Channels>(d + 16 * Channels * J, Part16<J>(c.blueE), Part16<J>(c.greenE),
                         Part16<J>(c.redE), Part16<J>(c.blueO), Part16<J>(c.greenO),
                         Part16<J>(c.redO));
        StoreParts8<Bytes, Channels, J + 1>(d, c);
    }
}

// A run of Bytes / 2 output pixels from 16-bit samples.
template <int Bytes, int Channels, int J = 0>
VELCOR_RUN_STEP void StoreParts16(uint8_t* d, const PairColours<typename Lanes<Bytes>::U32>& c) {
#if defined(__SSSE3__)
    if constexpr (Channels == 3) {
        using W = typename Lanes<Bytes>::U16;
        StoreInterleaved<8>(d, reinterpret_cast<W>(c.blueE | (c.blueO << 16)),
                            reinterpret_cast<W>(c.greenE | (c.greenO << 16)),
                            reinterpret_cast<W>(c.redE | (c.redO << 16)));
        return;
    }
#endif
    if constexpr (J * 16 < Bytes) {
        Store16<Channels>(d + 16 * Channels * J, Part32<J>(c.blueE), Part32<J>(c.greenE),
                          Part32<J>(c.redE), Part32<J>(c.blueO), Part32<J>(c.greenO),
                          Part32<J>(c.redO));
        StoreParts16<Bytes, Channels, J + 1>(d, c);
    }
}

template <int Bytes, int Channels>
VELCOR_RUN_STEP void Run8(const uint8_t* evenNear, const uint8_t* evenFar, const uint8_t* oddNear,
                          const uint8_t* oddFar, uint8_t* dstRow, int x, bool redIsEven,
                          typename Lanes<Bytes>::U16 kRed2, typename Lanes<Bytes>::U16 kBlue2) {
    using V = typename Lanes<Bytes>::U16;
    using S = typename Lanes<Bytes>::I16;
    // S < 4096 and the doubled factor < 8192: the high half of (S << 4) x 2k is S x k >> 11,
    // and it stays below 8192, so the limit may be taken as a signed minimum.
    auto scale = [&](V s, bool red) {
        const S v = reinterpret_cast<S>(MulHigh(s << 4, red ? kRed2 : kBlue2));
        return reinterpret_cast<V>(v > 255 ? S{} + 255 : v);
    };
    const PairColours<V> c = ComputeRun<V>(evenNear, evenFar, oddNear, oddFar, x, redIsEven, scale);
    StoreParts8<Bytes, Channels>(dstRow + x * Channels, c);
}

template <int Bytes, int Channels>
VELCOR_RUN_STEP void Run16(const uint16_t* evenNear, const uint16_t* evenFar,
                           const uint16_t* oddNear, const uint16_t* oddFar, uint8_t* dstRow, int x,
                           bool redIsEven, uint32_t kRed, uint32_t kBlue) {
    using V = typename Lanes<Bytes>::U32;
    // S x k stays below 2^32 for every factor below 4096.
    auto scale = [&](V s, bool red) {
        const V v = (s * (red ? kRed : kBlue)) >> 11;
        return v > 65535u ? V{} + 65535u : v;
    };
    const PairColours<V> c = ComputeRun<V>(evenNear, evenFar, oddNear, oddFar, x, redIsEven, scale);
    StoreParts16<Bytes, Channels>(dstRow + static_cast<ptrdiff_t>(x) * Channels * 2, c);
}

// The whole frame with vectors of Bytes bytes. Every row, the border rows included, runs the
// vector kernel over columns 2 to w - 3 (a border row only takes its row taps folded); the
// last run of a row overlaps the one before it instead of leaving a scalar tail, and only the
// two columns at each side are left to single pixels.
template <int Bytes, typename T, int Channels>
void DemosaicFrameWith(const BayerFrame& f) {
    const int w = f.width, h = f.height;
    constexpr int kRun = sizeof(T) == 1 ? Bytes : Bytes / 2;
    // Runs start at even offsets from column 2 on, so one column phase holds for all of them.
    // A run at x reads columns x - 2 .. x + kRun + 1 and writes x .. x + kRun - 1.
    const bool redIsEven = ((2 + f.colBit) & 1) == 0;
    const int lastRun = w - 2 - kRun;
    using V16 = typename Lanes<Bytes>::U16;
    const V16 kRed2 = V16{} + static_cast<uint16_t>(2 * f.kRed);
    const V16 kBlue2 = V16{} + static_cast<uint16_t>(2 * f.kBlue);
    auto row = [&f](int y) { return reinterpret_cast<const T*>(f.src + y * f.srcStride); };

    for (int y = 0; y < h; ++y) {
        uint8_t* dstRow = f.dst + y * f.dstStride;
        int x = 2;
        if (lastRun >= 2) {
            const bool redRowIsY = ((y + f.rowBit) & 1) != 0;
            const T* redNear = row(FoldTap(redRowIsY ? y : y - 1, h));
            const T* redFar = row(FoldTap(redRowIsY ? y - 2 : y + 1, h));
            const T* blueNear = row(FoldTap(redRowIsY ? y - 1 : y, h));
            const T* blueFar = row(FoldTap(redRowIsY ? y + 1 : y - 2, h));
            const T* evenNear = redIsEven ? redNear : blueNear;
            const T* evenFar = redIsEven ? redFar : blueFar;
            const T* oddNear = redIsEven ? blueNear : redNear;
            const T* oddFar = redIsEven ? blueFar : redFar;
            auto run = [=](int at) {
                if constexpr (sizeof(T) == 1) {
                    Run8<Bytes, Channels>(evenNear, evenFar, oddNear, oddFar, dstRow, at, redIsEven,
                                          kRed2, kBlue2);
                } else {
                    Run16<Bytes, Channels>(evenNear, evenFar, oddNear, oddFar, dstRow, at,
                                           redIsEven, f.kRed, f.kBlue);
                }
            };
            // The last run starts at an even offset from column 2 like every other: the frame
            // widths the cameras deliver are even. For an odd width it starts one column
            // earlier and leaves one pixel to the single-pixel path.
            const int last = lastRun - (lastRun & 1);
            for (; x < last; x += kRun)
                run(x);
            run(last);
            x = last + kRun;
        }
        for (; x <= w - 3; ++x)
            DemosaicPixel<T, Channels>(f, x, y);
        const int edges[4] = {0, 1, w - 2, w - 1};
        for (const int edge : edges) {
            if (edge >= 0 && edge < w) DemosaicPixel<T, Channels>(f, edge, y);
        }
    }
}

template <int Bytes>
void DemosaicFrameLayout(const BayerFrame& f) {
    switch (f.layout) {
        case BayerLayout::Raw8To24:
            DemosaicFrameWith<Bytes, uint8_t, 3>(f);
            break;
        case BayerLayout::Raw8To32:
            DemosaicFrameWith<Bytes, uint8_t, 4>(f);
            break;
        case BayerLayout::Raw16To48:
            DemosaicFrameWith<Bytes, uint16_t, 3>(f);
            break;
        case BayerLayout::Raw16To64:
            DemosaicFrameWith<Bytes, uint16_t, 4>(f);
            break;
    }
}

#undef VELCOR_RUN_STEP

}  // namespace
}  // namespace velcor
