#include "imaging/HueSaturation.h"

#include <algorithm>
#include <cstring>

// GCC 12 takes the deliberately undefined vectors of the AVX-512 header, inlined into a
// function of that target, for uninitialised values.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>
#pragma GCC diagnostic pop

#include "imaging/SimdLevel.h"

namespace velcor {

namespace {

// Colours are packed 0x00RRGGBB: byte 0 blue, byte 1 green, byte 2 red.
struct HueTables {
    int32_t gray[256];        // k in all three channels
    int32_t reciprocal[256];  // 0xFF0000 / k, so l / c = (l x reciprocal[c]) >> 16 scaled by 255
    // By sextant of the circle (0 = magenta to red, 1 = red to yellow, ...): the channels at
    // full chroma, and the step of the channel that ramps across the sextant. Twelve entries,
    // the second six repeating the first, so a sextant turned past the end needs no modulo.
    int32_t mask[12];
    int32_t step[12];
};

constexpr HueTables MakeHueTables() {
    HueTables t{};
    for (int k = 0; k < 256; ++k) {
        t.gray[k] = k * 0x010101;
        t.reciprocal[k] = k == 0 ? 0 : 0xFF0000 / k;
    }
    constexpr int32_t masks[6] = {0xFF00FF, 0xFF0000, 0xFFFF00, 0x00FF00, 0x00FFFF, 0x0000FF};
    constexpr int32_t steps[6] = {-1, 0x100, -0x10000, 1, -0x100, 0x10000};
    for (int i = 0; i < 12; ++i) {
        t.mask[i] = masks[i % 6];
        t.step[i] = steps[i % 6];
    }
    return t;
}

// Built by the compiler: nothing to construct or guard at run time.
constexpr HueTables kTables = MakeHueTables();

struct Turn {
    int unitsInSextant;  // a mod 255
    int sextants;        // a / 255
};

// a when the condition holds, else b, through a mask: the compiler keeps it free of branches,
// which a textured picture would mispredict from pixel to pixel.
inline int Select(bool condition, int a, int b) {
    const int mask = -static_cast<int>(condition);
    return b ^ ((a ^ b) & mask);
}

// One pixel, 8-bit channels in, packed colour out.
inline int32_t TurnPixel(int b, int g, int r, const Turn& turn, const SaturationTable& sat) {
    const bool redOverGreen = r >= g;
    int sextant = Select(redOverGreen, 1, 3);
    int max = Select(redOverGreen, r, g);
    const int smaller = Select(redOverGreen, g, r);
    int l = Select(redOverGreen, g - b, b - r);
    const bool blueOver = b > max;
    sextant = Select(blueOver, 5, sextant);
    l = Select(blueOver, r - g, l);
    max = Select(blueOver, b, max);
    const int min = Select(b < smaller, b, smaller);
    const int c = max - min;
    const int lightness = max + min;  // 0..510
    const int before = l >> 31;       // -1 when l < 0
    sextant += before;
    l += c & before;
    const int limit = Select(lightness < 256, lightness, 511 - lightness);
    const int scaled = sat[c];
    const int n = Select(scaled < limit, scaled, limit);
    const int lo = (lightness - n) >> 1;
    // A gray pixel (c = 0) has span 0 and reciprocal 0: the sextant part adds nothing.
    int w = ((l * kTables.reciprocal[c] + 0x8000) >> 16) + turn.unitsInSextant;
    const int wraps = -static_cast<int>(w >= 255);
    w -= 255 & wraps;
    const int k = sextant + turn.sextants - wraps;  // 0..11
    const int span = ((lightness + n) >> 1) - lo;
    return kTables.gray[lo] + (kTables.gray[span] & kTables.mask[k]) +
           ((w * span + 128) >> 8) * kTables.step[k];
}

// ---- Eight pixels at a time ---------------------------------------------------------------------
//
// The same integer steps as TurnPixel, lane by lane, on pixels packed 0x00RRGGBB in 32-bit lanes:
// selections become compares and blends, the saturation table its formula, the gray table a
// multiply by 0x010101, the reciprocal a gather from the shared table and the sextant tables a
// lane permute (k mod 6 indexes eight lanes).

struct TurnLanes {
    __m256i unitsInSextant;
    __m256i sextants;
    __m256i saturationScale;  // (256 + saturation) x 256
    __m256i mask;             // by k mod 6
    __m256i step;
};

__attribute__((target("avx2"))) void MakeTurnLanes(TurnLanes& t, const Turn& turn, int saturation) {
    t.unitsInSextant = _mm256_set1_epi32(turn.unitsInSextant);
    t.sextants = _mm256_set1_epi32(turn.sextants);
    t.saturationScale = _mm256_set1_epi32((saturation + 256) * 256);
    t.mask = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(kTables.mask));
    t.step = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(kTables.step));
}

__attribute__((target("avx2"))) inline __m256i TurnPixelsAvx2(__m256i px, const TurnLanes& t) {
    const __m256i byte = _mm256_set1_epi32(0xFF);
    const __m256i b = _mm256_and_si256(px, byte);
    const __m256i g = _mm256_and_si256(_mm256_srli_epi32(px, 8), byte);
    const __m256i r = _mm256_and_si256(_mm256_srli_epi32(px, 16), byte);
    const __m256i greenOver = _mm256_cmpgt_epi32(g, r);  // not red >= green
    __m256i sextant =
        _mm256_add_epi32(_mm256_set1_epi32(1), _mm256_and_si256(greenOver, _mm256_set1_epi32(2)));
    __m256i max = _mm256_max_epi32(r, g);
    const __m256i smaller = _mm256_min_epi32(r, g);
    __m256i l = _mm256_blendv_epi8(_mm256_sub_epi32(g, b), _mm256_sub_epi32(b, r), greenOver);
    const __m256i blueOver = _mm256_cmpgt_epi32(b, max);
    sextant = _mm256_blendv_epi8(sextant, _mm256_set1_epi32(5), blueOver);
    l = _mm256_blendv_epi8(l, _mm256_sub_epi32(r, g), blueOver);
    max = _mm256_max_epi32(b, max);
    const __m256i min = _mm256_min_epi32(b, smaller);
    const __m256i c = _mm256_sub_epi32(max, min);
    const __m256i lightness = _mm256_add_epi32(max, min);
    const __m256i before = _mm256_srai_epi32(l, 31);
    sextant = _mm256_add_epi32(sextant, before);
    l = _mm256_add_epi32(l, _mm256_and_si256(c, before));
    const __m256i limit =
        _mm256_min_epi32(lightness, _mm256_sub_epi32(_mm256_set1_epi32(511), lightness));
    const __m256i scaled = _mm256_srai_epi32(
        _mm256_add_epi32(_mm256_mullo_epi32(c, t.saturationScale), _mm256_set1_epi32(0x8000)), 16);
    const __m256i n = _mm256_min_epi32(scaled, limit);
    const __m256i lo = _mm256_srai_epi32(_mm256_sub_epi32(lightness, n), 1);
    const __m256i reciprocal = _mm256_i32gather_epi32(kTables.reciprocal, c, 4);
    __m256i w = _mm256_add_epi32(
        _mm256_srai_epi32(
            _mm256_add_epi32(_mm256_mullo_epi32(l, reciprocal), _mm256_set1_epi32(0x8000)), 16),
        t.unitsInSextant);
    const __m256i wraps = _mm256_cmpgt_epi32(w, _mm256_set1_epi32(254));
    w = _mm256_sub_epi32(w, _mm256_and_si256(wraps, _mm256_set1_epi32(255)));
    __m256i k = _mm256_sub_epi32(_mm256_add_epi32(sextant, t.sextants), wraps);  // 0..11
    k = _mm256_sub_epi32(
        k, _mm256_and_si256(_mm256_cmpgt_epi32(k, _mm256_set1_epi32(5)), _mm256_set1_epi32(6)));
    const __m256i span = _mm256_sub_epi32(_mm256_srai_epi32(_mm256_add_epi32(lightness, n), 1), lo);
    const __m256i gray = _mm256_set1_epi32(0x010101);
    const __m256i ramp =
        _mm256_srai_epi32(_mm256_add_epi32(_mm256_mullo_epi32(w, span), _mm256_set1_epi32(128)), 8);
    return _mm256_add_epi32(
        _mm256_add_epi32(_mm256_mullo_epi32(lo, gray),
                         _mm256_and_si256(_mm256_mullo_epi32(span, gray),
                                          _mm256_permutevar8x32_epi32(t.mask, k))),
        _mm256_mullo_epi32(ramp, _mm256_permutevar8x32_epi32(t.step, k)));
}

// Loads and stores of eight pixels by layout. Each load gives the 8-bit channels packed
// 0x00RRGGBB in pixel order; each store writes bytes 0, 1 and 2 of the packed result as the
// three channels (16-bit layouts: as the high byte, the low byte 0).

// Sixteen bytes from each of two places, as the two 128-bit halves.
__attribute__((target("avx2"))) inline __m256i LoadHalves(const uint8_t* a, const uint8_t* b) {
    return _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a))),
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(b)), 1);
}

__attribute__((target("avx2"))) inline __m256i Load24(const uint8_t* p) {
    // Pixels 0-3 from bytes 0..11, pixels 4-7 from bytes 12..23 (loaded from p + 8).
    const __m256i v = LoadHalves(p, p + 8);
    const __m256i spread = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1, 4,
                                            5, 6, -1, 7, 8, 9, -1, 10, 11, 12, -1, 13, 14, 15, -1);
    return _mm256_shuffle_epi8(v, spread);
}

__attribute__((target("avx2"))) inline void Store24(uint8_t* p, __m256i v) {
    const __m256i pack = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1, 0,
                                          1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    const __m256i packed = _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(v, pack),
                                                       _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 7, 7));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm256_castsi256_si128(packed));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p + 16), _mm256_extracti128_si256(packed, 1));
}

// 16-bit layouts: the high bytes of B, G, R of two pixels of each 16-byte load go to two lanes;
// the loads land as lanes (0, 1, 4, 5 | 2, 3, 6, 7) and a 64-bit permute puts them in order.
__attribute__((target("avx2"))) inline __m256i HighBytes(__m256i first, __m256i second,
                                                         __m256i firstSpread,
                                                         __m256i secondSpread) {
    const __m256i v = _mm256_or_si256(_mm256_shuffle_epi8(first, firstSpread),
                                      _mm256_shuffle_epi8(second, secondSpread));
    return _mm256_permute4x64_epi64(v, 0xD8);
}

__attribute__((target("avx2"))) inline __m256i Load64(const uint8_t* p) {
    const __m256i first = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    const __m256i second = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
    const __m256i toLow =
        _mm256_setr_epi8(1, 3, 5, -1, 9, 11, 13, -1, -1, -1, -1, -1, -1, -1, -1, -1, 1, 3, 5, -1, 9,
                         11, 13, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m256i toHigh =
        _mm256_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, 1, 3, 5, -1, 9, 11, 13, -1, -1, -1, -1, -1,
                         -1, -1, -1, -1, 1, 3, 5, -1, 9, 11, 13, -1);
    return HighBytes(first, second, toLow, toHigh);
}

__attribute__((target("avx2"))) inline __m256i Load48(const uint8_t* p) {
    // Two pixels (12 bytes) from each of the loads at 0, 12, 24 and 32 (the last one holds
    // pixels 6 and 7 at its bytes 4..15, so nothing past the 48 bytes is read).
    const __m256i toLow =
        _mm256_setr_epi8(1, 3, 5, -1, 7, 9, 11, -1, -1, -1, -1, -1, -1, -1, -1, -1, 1, 3, 5, -1, 7,
                         9, 11, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m256i toHigh =
        _mm256_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, 1, 3, 5, -1, 7, 9, 11, -1, -1, -1, -1, -1,
                         -1, -1, -1, -1, 5, 7, 9, -1, 11, 13, 15, -1);
    return HighBytes(LoadHalves(p, p + 12), LoadHalves(p + 24, p + 32), toLow, toHigh);
}

// Words (c << 8) of the three channels of each pixel, and 0 for the fourth: lanes 0, 1, 4, 5
// in the first result and 2, 3, 6, 7 in the second, by 128-bit half.
__attribute__((target("avx2"))) inline void WidenToWords(__m256i v, __m256i& a, __m256i& b) {
    const __m256i three = _mm256_and_si256(v, _mm256_set1_epi32(0xFFFFFF));
    a = _mm256_unpacklo_epi8(_mm256_setzero_si256(), three);
    b = _mm256_unpackhi_epi8(_mm256_setzero_si256(), three);
}

__attribute__((target("avx2"))) inline void Store64(uint8_t* p, __m256i v) {
    __m256i a, b;
    WidenToWords(v, a, b);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), _mm256_permute2x128_si256(a, b, 0x20));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p + 32), _mm256_permute2x128_si256(a, b, 0x31));
}

__attribute__((target("avx2"))) inline void Store48(uint8_t* p, __m256i v) {
    __m256i a, b;
    WidenToWords(v, a, b);
    // Pixels 0-3 and 4-7 as four words each; the fourth word of each is dropped.
    const __m256i first = _mm256_permute2x128_si256(a, b, 0x20);
    const __m256i second = _mm256_permute2x128_si256(a, b, 0x31);
    const __m256i drop = _mm256_setr_epi8(0, 1, 2, 3, 4, 5, 8, 9, 10, 11, 12, 13, -1, -1, -1, -1, 0,
                                          1, 2, 3, 4, 5, 8, 9, 10, 11, 12, 13, -1, -1, -1, -1);
    const __m256i order = _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 7, 7);
    const __m256i x = _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(first, drop), order);
    const __m256i y = _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(second, drop), order);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm256_castsi256_si128(x));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p + 16), _mm256_extracti128_si256(x, 1));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 24), _mm256_castsi256_si128(y));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p + 40), _mm256_extracti128_si256(y, 1));
}

// One row's pixels [0, count) by eights; answers how many it did. The 24-bit load reads 24
// bytes and the others no more than the eight pixels' bytes.
template <typename T, int SamplesPerPixel>
__attribute__((target("avx2"))) int TurnRowAvx2(uint8_t* row, int count, const TurnLanes& t) {
    constexpr int kPixelBytes = static_cast<int>(sizeof(T)) * SamplesPerPixel;
    int x = 0;
    for (; x + 8 <= count; x += 8) {
        uint8_t* p = row + x * kPixelBytes;
        if constexpr (sizeof(T) == 1 && SamplesPerPixel == 3) {
            Store24(p, TurnPixelsAvx2(Load24(p), t));
        } else if constexpr (sizeof(T) == 1) {
            // The fourth byte keeps its value.
            const __m256i px = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
            const __m256i v = TurnPixelsAvx2(px, t);
            const __m256i fourth = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
            _mm256_storeu_si256(
                reinterpret_cast<__m256i*>(p),
                _mm256_or_si256(_mm256_andnot_si256(fourth, v), _mm256_and_si256(fourth, px)));
        } else if constexpr (SamplesPerPixel == 3) {
            Store48(p, TurnPixelsAvx2(Load48(p), t));
        } else {
            Store64(p, TurnPixelsAvx2(Load64(p), t));  // the fourth word becomes 0
        }
    }
    return x;
}

// ---- Sixteen pixels at a time (AVX-512) --------------------------------------------------------
//
// The same lanes twice as wide: compares give masks, selections masked blends. Each half of
// sixteen pixels is loaded and stored as eight by the layout's AVX2 code.

#define VELCOR_AVX512 __attribute__((target("avx2,avx512f,avx512bw")))

VELCOR_AVX512 inline __m512i TurnPixelsAvx512(__m512i px, const TurnLanes& t) {
    const __m512i byte = _mm512_set1_epi32(0xFF);
    const __m512i b = _mm512_and_si512(px, byte);
    const __m512i g = _mm512_and_si512(_mm512_srli_epi32(px, 8), byte);
    const __m512i r = _mm512_and_si512(_mm512_srli_epi32(px, 16), byte);
    const __mmask16 greenOver = _mm512_cmpgt_epi32_mask(g, r);  // not red >= green
    __m512i sextant =
        _mm512_mask_blend_epi32(greenOver, _mm512_set1_epi32(1), _mm512_set1_epi32(3));
    __m512i max = _mm512_max_epi32(r, g);
    const __m512i smaller = _mm512_min_epi32(r, g);
    __m512i l = _mm512_mask_blend_epi32(greenOver, _mm512_sub_epi32(g, b), _mm512_sub_epi32(b, r));
    const __mmask16 blueOver = _mm512_cmpgt_epi32_mask(b, max);
    sextant = _mm512_mask_blend_epi32(blueOver, sextant, _mm512_set1_epi32(5));
    l = _mm512_mask_blend_epi32(blueOver, l, _mm512_sub_epi32(r, g));
    max = _mm512_max_epi32(b, max);
    const __m512i min = _mm512_min_epi32(b, smaller);
    const __m512i c = _mm512_sub_epi32(max, min);
    const __m512i lightness = _mm512_add_epi32(max, min);
    const __m512i before = _mm512_srai_epi32(l, 31);
    sextant = _mm512_add_epi32(sextant, before);
    l = _mm512_add_epi32(l, _mm512_and_si512(c, before));
    const __m512i limit =
        _mm512_min_epi32(lightness, _mm512_sub_epi32(_mm512_set1_epi32(511), lightness));
    const __m512i scaled = _mm512_srai_epi32(
        _mm512_add_epi32(_mm512_mullo_epi32(c, _mm512_broadcast_i64x4(t.saturationScale)),
                         _mm512_set1_epi32(0x8000)),
        16);
    const __m512i n = _mm512_min_epi32(scaled, limit);
    const __m512i lo = _mm512_srai_epi32(_mm512_sub_epi32(lightness, n), 1);
    const __m512i reciprocal = _mm512_i32gather_epi32(c, kTables.reciprocal, 4);
    __m512i w = _mm512_add_epi32(
        _mm512_srai_epi32(
            _mm512_add_epi32(_mm512_mullo_epi32(l, reciprocal), _mm512_set1_epi32(0x8000)), 16),
        _mm512_broadcast_i64x4(t.unitsInSextant));
    const __mmask16 wraps = _mm512_cmpgt_epi32_mask(w, _mm512_set1_epi32(254));
    w = _mm512_mask_sub_epi32(w, wraps, w, _mm512_set1_epi32(255));
    __m512i k = _mm512_add_epi32(sextant, _mm512_broadcast_i64x4(t.sextants));
    k = _mm512_mask_add_epi32(k, wraps, k, _mm512_set1_epi32(1));  // 0..11
    k = _mm512_mask_sub_epi32(k, _mm512_cmpgt_epi32_mask(k, _mm512_set1_epi32(5)), k,
                              _mm512_set1_epi32(6));
    const __m512i span = _mm512_sub_epi32(_mm512_srai_epi32(_mm512_add_epi32(lightness, n), 1), lo);
    const __m512i gray = _mm512_set1_epi32(0x010101);
    const __m512i ramp =
        _mm512_srai_epi32(_mm512_add_epi32(_mm512_mullo_epi32(w, span), _mm512_set1_epi32(128)), 8);
    // k mod 6 is below 8: the eight-entry tables serve both halves.
    const __m512i mask = _mm512_permutexvar_epi32(k, _mm512_castsi256_si512(t.mask));
    const __m512i step = _mm512_permutexvar_epi32(k, _mm512_castsi256_si512(t.step));
    return _mm512_add_epi32(
        _mm512_add_epi32(_mm512_mullo_epi32(lo, gray),
                         _mm512_and_si512(_mm512_mullo_epi32(span, gray), mask)),
        _mm512_mullo_epi32(ramp, step));
}

template <typename T, int SamplesPerPixel>
VELCOR_AVX512 inline __m256i LoadEight(const uint8_t* p) {
    if constexpr (sizeof(T) == 1 && SamplesPerPixel == 3) return Load24(p);
    if constexpr (sizeof(T) == 1 && SamplesPerPixel == 4)
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    if constexpr (sizeof(T) == 2 && SamplesPerPixel == 3) return Load48(p);
    if constexpr (sizeof(T) == 2 && SamplesPerPixel == 4) return Load64(p);
}

template <typename T, int SamplesPerPixel>
VELCOR_AVX512 inline void StoreEight(uint8_t* p, __m256i v, __m256i loaded) {
    if constexpr (sizeof(T) == 1 && SamplesPerPixel == 3) Store24(p, v);
    if constexpr (sizeof(T) == 1 && SamplesPerPixel == 4) {
        // The fourth byte keeps its value.
        const __m256i fourth = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
        _mm256_storeu_si256(
            reinterpret_cast<__m256i*>(p),
            _mm256_or_si256(_mm256_andnot_si256(fourth, v), _mm256_and_si256(fourth, loaded)));
    }
    if constexpr (sizeof(T) == 2 && SamplesPerPixel == 3) Store48(p, v);
    if constexpr (sizeof(T) == 2 && SamplesPerPixel == 4) Store64(p, v);
}

// One row's pixels [0, count) by sixteens, then one eight; answers how many it did.
template <typename T, int SamplesPerPixel>
VELCOR_AVX512 int TurnRowAvx512(uint8_t* row, int count, const TurnLanes& t) {
    constexpr int kPixelBytes = static_cast<int>(sizeof(T)) * SamplesPerPixel;
    int x = 0;
    for (; x + 16 <= count; x += 16) {
        uint8_t* p = row + x * kPixelBytes;
        uint8_t* q = p + 8 * kPixelBytes;
        const __m256i first = LoadEight<T, SamplesPerPixel>(p);
        const __m256i second = LoadEight<T, SamplesPerPixel>(q);
        const __m512i v =
            TurnPixelsAvx512(_mm512_inserti64x4(_mm512_castsi256_si512(first), second, 1), t);
        StoreEight<T, SamplesPerPixel>(p, _mm512_castsi512_si256(v), first);
        StoreEight<T, SamplesPerPixel>(q, _mm512_extracti64x4_epi64(v, 1), second);
    }
    return x + TurnRowAvx2<T, SamplesPerPixel>(row + x * kPixelBytes, count - x, t);
}

#undef VELCOR_AVX512

template <typename T, int SamplesPerPixel>
void TurnImage(DibImage& image, const Turn& turn, const SaturationTable& sat, SimdLevel level,
               int saturation) {
    const bool avx2 = level >= SimdLevel::kAvx2;
    constexpr int kShift = sizeof(T) == 1 ? 0 : 8;
    constexpr size_t kPixelBytes = sizeof(T) * SamplesPerPixel;
    TurnLanes lanes{};
    if (avx2) MakeTurnLanes(lanes, turn, saturation);
    T px[SamplesPerPixel];
    for (int y = 0; y < image.Height(); ++y) {
        uint8_t* row = image.Pixels() + static_cast<size_t>(y) * image.Stride();
        int first = 0;
        if (level == SimdLevel::kAvx512) {
            first = TurnRowAvx512<T, SamplesPerPixel>(row, image.Width(), lanes);
        } else if (avx2) {
            first = TurnRowAvx2<T, SamplesPerPixel>(row, image.Width(), lanes);
        }
        uint8_t* p = row + first * kPixelBytes;
        for (int x = first; x < image.Width(); ++x, p += kPixelBytes) {
            std::memcpy(px, p, kPixelBytes);
            const int32_t v =
                TurnPixel(px[0] >> kShift, px[1] >> kShift, px[2] >> kShift, turn, sat);
            px[0] = static_cast<T>((v & 0xFF) << kShift);
            px[1] = static_cast<T>(((v >> 8) & 0xFF) << kShift);
            px[2] = static_cast<T>(((v >> 16) & 0xFF) << kShift);
            // The fourth word of 64 bits is cleared; the fourth byte of 32 bits stays.
            if constexpr (SamplesPerPixel == 4 && sizeof(T) == 2) px[3] = 0;
            std::memcpy(p, px, kPixelBytes);
        }
    }
}

}  // namespace

int HueCircleUnits(int hue) {
    const int m = (hue * 65536 / 360) & 0xFFFF;  // 16-bit angle; negative hues wrap
    const int x = (m * 6) >> 8;                  // 0..1535, 256 per 60 degrees
    int f = x & 511;
    if (f >= 256) f -= 512;
    const int sector = ((x + 256) >> 9) % 3;
    int a = f + sector * 510;
    if (a < 0) {
        a += 1530;
    } else if (a >= 1530) {
        a -= 1530;
    }
    return a;
}

SaturationTable::SaturationTable(int saturation) {
    const int scale = (saturation + 256) * 256;
    for (int c = 0; c < 256; ++c)
        entries_[c] = (c * scale + 0x8000) >> 16;
}

bool ApplyHueSaturation(DibImage& image, int hue, int saturation) {
    if (image.Empty()) return false;
    const int a = HueCircleUnits(hue);
    const Turn turn{a % 255, a / 255};
    const SaturationTable sat(saturation);
    const SimdLevel level = ActiveSimdLevel();
    switch (image.Bits()) {
        case 24:
            TurnImage<uint8_t, 3>(image, turn, sat, level, saturation);
            return true;
        case 32:
            TurnImage<uint8_t, 4>(image, turn, sat, level, saturation);
            return true;
        case 48:
            TurnImage<uint16_t, 3>(image, turn, sat, level, saturation);
            return true;
        case 64:
            TurnImage<uint16_t, 4>(image, turn, sat, level, saturation);
            return true;
        default:
            return false;
    }
}

}  // namespace velcor
