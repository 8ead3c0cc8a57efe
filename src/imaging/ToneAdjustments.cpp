#include "imaging/ToneAdjustments.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <type_traits>

#include <immintrin.h>

#include "imaging/SimdLevel.h"
#include "platform/NoDestructor.h"

namespace velcor {

namespace {

template <typename T>
constexpr int kMax = sizeof(T) == 1 ? 255 : 65535;

template <typename T>
inline T Load(const uint8_t* p) {
    T v;
    std::memcpy(&v, p, sizeof(T));
    return v;
}

template <typename T>
inline void Store(uint8_t* p, T v) {
    std::memcpy(p, &v, sizeof(T));
}

// How the samples of a depth lie: samples per pixel and how many of them are colour.
struct Layout {
    int sampleBytes = 0;
    int samplesPerPixel = 0;
    int channels = 0;
};

Layout LayoutOf(const DibImage& image) {
    switch (image.Bits()) {
        case 8:
            return {1, 1, 1};
        case 16:
            return {2, 1, 1};
        case 24:
            return {1, 3, 3};
        case 32:
            return {1, 4, 3};
        case 48:
            return {2, 3, 3};
        case 64:
            return {2, 4, 3};
        default:
            return {};
    }
}

// A byte table looked up 32 bytes at a time: each of the sixteen 16-entry slices of the table
// is a byte shuffle, and a saturating add pushes the index of every byte outside the slice past
// 127, where the shuffle yields 0. With keepFourth, every fourth byte (the fourth sample of 32-bit
// pixels) keeps its value. The bytes after the last whole 32 are left to the caller.
__attribute__((target("avx2"))) size_t MapBytesAvx2(uint8_t* p, size_t n, const uint8_t* table,
                                                    bool keepFourth) {
    __m256i slices[16];
    for (int k = 0; k < 16; ++k) {
        slices[k] = _mm256_broadcastsi128_si256(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(table + 16 * k)));
    }
    const __m256i sixteen = _mm256_set1_epi8(16);
    const __m256i push = _mm256_set1_epi8(0x70);
    const __m256i fourth = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i));
        __m256i u = x;
        __m256i r = _mm256_shuffle_epi8(slices[0], _mm256_adds_epu8(u, push));
        for (int k = 1; k < 16; ++k) {
            u = _mm256_sub_epi8(u, sixteen);
            r = _mm256_or_si256(r, _mm256_shuffle_epi8(slices[k], _mm256_adds_epu8(u, push)));
        }
        if (keepFourth) r = _mm256_blendv_epi8(r, x, fourth);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(p + i), r);
    }
    return i;
}

// A word table looked up eight words at a time with a gather of 32-bit entries at the words'
// offsets, whose low halves are the entries. The table has one spare word at the end for the
// upper half read with the last entry. Answers how many words it did.
__attribute__((target("avx2"))) size_t MapWordsAvx2(uint16_t* p, size_t n, const uint16_t* table) {
    const auto* base = reinterpret_cast<const int*>(table);
    const __m256i low = _mm256_set1_epi32(0xFFFF);
    size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i));
        const __m256i lo = _mm256_unpacklo_epi16(x, _mm256_setzero_si256());
        const __m256i hi = _mm256_unpackhi_epi16(x, _mm256_setzero_si256());
        const __m256i a = _mm256_and_si256(_mm256_i32gather_epi32(base, lo, 2), low);
        const __m256i b = _mm256_and_si256(_mm256_i32gather_epi32(base, hi, 2), low);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(p + i), _mm256_packus_epi32(a, b));
    }
    return i;
}

// Maps every colour sample through the table. Layouts without a fourth sample are walked as
// one run of samples per row, or per image when the rows carry no padding.
template <typename T>
void MapSamples(DibImage& image, const Layout& layout, const T* table) {
    const int w = image.Width();
    const int h = image.Height();
    const size_t stride = static_cast<size_t>(image.Stride());
    uint8_t* pixels = image.Pixels();
    if constexpr (sizeof(T) == 1) {
        if (ActiveSimdLevel() >= SimdLevel::kAvx2) {
            const bool keepFourth = layout.channels != layout.samplesPerPixel;
            const size_t rowBytes = static_cast<size_t>(w) * layout.samplesPerPixel;
            const bool packed = rowBytes == stride;
            const size_t runs = packed ? 1 : static_cast<size_t>(h);
            const size_t runBytes = packed ? rowBytes * h : rowBytes;
            for (size_t r = 0; r < runs; ++r) {
                uint8_t* p = pixels + r * stride;
                // Whole pixels are left for the tail, which is then walked pixel by pixel.
                for (size_t i = MapBytesAvx2(p, runBytes, table, keepFourth); i < runBytes; ++i) {
                    if (!keepFourth || i % 4 != 3) p[i] = table[p[i]];
                }
            }
            return;
        }
    }
    if (layout.channels == layout.samplesPerPixel) {
        const size_t rowSamples = static_cast<size_t>(w) * layout.samplesPerPixel;
        const bool packed = rowSamples * sizeof(T) == stride;
        const size_t runs = packed ? 1 : static_cast<size_t>(h);
        const size_t runSamples = packed ? rowSamples * h : rowSamples;
        for (size_t r = 0; r < runs; ++r) {
            uint8_t* p = pixels + r * stride;
            if constexpr (sizeof(T) == 1) {
                for (size_t i = 0; i < runSamples; ++i)
                    p[i] = table[p[i]];
            } else {
                // Rows of 16-bit samples start at even offsets of the pixel buffer.
                T* __restrict words = reinterpret_cast<T*>(p);
                size_t i = 0;
                if (ActiveSimdLevel() >= SimdLevel::kAvx2)
                    i = MapWordsAvx2(words, runSamples, table);
                for (; i < runSamples; ++i)
                    words[i] = table[words[i]];
            }
        }
        return;
    }
    // Three colour samples of four; the fourth keeps its value.
    for (int y = 0; y < h; ++y) {
        uint8_t* p = pixels + y * stride;
        for (int x = 0; x < w; ++x, p += 4 * sizeof(T)) {
            Store<T>(p, table[Load<T>(p)]);
            Store<T>(p + sizeof(T), table[Load<T>(p + sizeof(T))]);
            Store<T>(p + 2 * sizeof(T), table[Load<T>(p + 2 * sizeof(T))]);
        }
    }
}

// ---- Table entries ---------------------------------------------------------------------------

template <typename T>
void BuildGamma(T* table, int gamma) {
    const double max = kMax<T>;
    // Gamma 0 is an infinite exponent: only max itself survives.
    const double exponent = gamma == 0 ? std::numeric_limits<double>::infinity() : 100.0 / gamma;
    table[0] = 0;
    for (int i = 1; i <= kMax<T>; ++i) {
        const double v = max * std::pow(i / max, exponent);
        table[i] = static_cast<T>(std::min(v, max));
    }
}

template <typename T>
void BuildContrast(T* table, int contrast) {
    // 16-bit samples move the cut-off points by c x 256.
    const int t = sizeof(T) == 1 ? contrast : contrast * 256;
    const double range = kMax<T> + 1.0;
    const double factor = range / (range - 2.0 * t);
    for (int i = 0; i <= kMax<T>; ++i) {
        if (i < t) {
            table[i] = 0;
        } else if (i > kMax<T> - t) {
            table[i] = static_cast<T>(kMax<T>);
        } else {
            const double v = std::trunc(factor * (i - t));
            table[i] = static_cast<T>(std::clamp(v, 0.0, static_cast<double>(kMax<T>)));
        }
    }
}

template <typename T>
void BuildBrightness(T* table, int brightness) {
    const float f = brightness > 0 ? 1.0f + static_cast<float>(brightness) * 0.0392156862745098f
                                   : 1.0f - static_cast<float>(-brightness) * 0.00392156862745098f;
    for (int i = 0; i <= kMax<T>; ++i) {
        const float v = std::trunc(static_cast<float>(i) * f);
        table[i] = static_cast<T>(std::clamp(v, 0.0f, static_cast<float>(kMax<T>)));
    }
}

// ---- 16-bit tables, shared by all cameras ------------------------------------------------------

enum class TableKind { Gamma, Contrast, Brightness };
// One word more than the sample values: the gathers read 32 bits at the last entry.
using WordTable = std::array<uint16_t, 65537>;

// Tables of the values in use, least recently used replaced. Entries are immutable once
// built, so a conversion keeps using its table while another camera replaces the entry.
class WordTableCache {
  public:
    template <typename Build>
    std::shared_ptr<const WordTable> Get(TableKind kind, int value, Build build) {
        {
            std::lock_guard lock(mutex_);
            if (Entry* e = Find(kind, value)) {
                e->lastUse = ++tick_;
                return e->table;
            }
        }
        // Built outside the lock: other cameras keep converting meanwhile.
        auto table = std::make_shared<WordTable>();
        build(table->data());
        std::lock_guard lock(mutex_);
        Entry* e = Find(kind, value);
        if (e == nullptr) {
            e = &*std::min_element(
                entries_.begin(), entries_.end(),
                [](const Entry& a, const Entry& b) { return a.lastUse < b.lastUse; });
            *e = Entry{kind, value, std::move(table), 0};
        }
        e->lastUse = ++tick_;
        return e->table;
    }

  private:
    struct Entry {
        TableKind kind = TableKind::Gamma;
        int value = 0;
        std::shared_ptr<const WordTable> table;
        uint64_t lastUse = 0;
    };

    Entry* Find(TableKind kind, int value) {
        for (Entry& e : entries_) {
            if (e.table && e.kind == kind && e.value == value) return &e;
        }
        return nullptr;
    }

    std::mutex mutex_;
    // Three kinds for a few cameras with values of their own; 128 KiB each.
    std::array<Entry, 12> entries_;
    uint64_t tick_ = 0;
};

// Never destroyed: a conversion on another thread may still map a frame while the process
// exits.
WordTableCache& WordTables() {
    static platform::NoDestructor<WordTableCache> cache;
    return cache.get();
}

// Builds the table for the image's sample size and maps the image through it.
template <typename Build8, typename Build16>
bool ApplyTable(DibImage& image, TableKind kind, int value, Build8 build8, Build16 build16) {
    const Layout layout = LayoutOf(image);
    if (image.Empty() || layout.channels == 0) return false;
    if (layout.sampleBytes == 1) {
        uint8_t table[256];
        build8(table);
        MapSamples<uint8_t>(image, layout, table);
    } else {
        const auto table = WordTables().Get(kind, value, build16);
        MapSamples<uint16_t>(image, layout, table->data());
    }
    return true;
}

// ---- Sharpness -------------------------------------------------------------------------------

// Interior pixels only. The 4 x 4 block sum slides along the row: each step adds the column
// entering on the right and drops the one leaving on the left, kept in a ring of four.
template <typename T, int Channels, int SamplesPerPixel, typename Correct>
void Sharpen(DibImage& image, const DibImage& source, Correct correct) {
    const int w = image.Width();
    const int h = image.Height();
    const size_t stride = static_cast<size_t>(image.Stride());
    constexpr size_t kPixelBytes = sizeof(T) * SamplesPerPixel;
    if (w < 5 || h < 5) return;  // no interior
    for (int y = 2; y <= h - 3; ++y) {
        const uint8_t* rows[4];
        for (int r = 0; r < 4; ++r)
            rows[r] = source.Pixels() + (y - 2 + r) * stride;
        uint8_t* out = image.Pixels() + y * stride;
        auto column = [&](int x, int c) {
            const size_t at = x * kPixelBytes + c * sizeof(T);
            return static_cast<int>(Load<T>(rows[0] + at)) + Load<T>(rows[1] + at) +
                   Load<T>(rows[2] + at) + Load<T>(rows[3] + at);
        };
        int ring[4][Channels];
        int sum[Channels];
        for (int c = 0; c < Channels; ++c) {
            sum[c] = 0;
            for (int x = 0; x < 4; ++x) {
                ring[x][c] = column(x, c);
                sum[c] += ring[x][c];
            }
        }
        for (int x = 2; x <= w - 3; ++x) {
            const size_t at = x * kPixelBytes;
            for (int c = 0; c < Channels; ++c) {
                const int s = Load<T>(rows[2] + at + c * sizeof(T));
                const int v = s + correct(s - (sum[c] >> 4));
                Store<T>(out + at + c * sizeof(T), static_cast<T>(std::clamp(v, 0, kMax<T>)));
            }
            // Column x + 2 enters in the slot of column x - 2, which leaves.
            int* slot = ring[(x + 2) & 3];
            for (int c = 0; c < Channels; ++c) {
                const int entering = column(x + 2, c);
                sum[c] += entering - slot[c];
                slot[c] = entering;
            }
        }
    }
}

// The unsharp mask of one row, vector by vector, for samples [begin, end) of the row (interior
// pixels only); answers where it stopped. rows are the source rows y - 2..y + 1. 8-bit samples
// are worked in 16-bit lanes, where sharpness x d / 10 is a multiply by 6554 / 65536 (exact for
// |sharpness x d| < 16384, and it is at most 30 x 255), with the sign put back; 16-bit samples in
// 32-bit lanes, where single precision divides sharpness x d (below 2^21) by 10 exactly enough to
// truncate right: a quotient off a whole number lies 0.1 or more from it.
// Sixteen bytes as 16-bit lanes, eight words as 32-bit lanes.
__attribute__((target("avx2"))) inline __m256i Widen8(const uint8_t* p) {
    return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}
__attribute__((target("avx2"))) inline __m256i Widen16(const uint8_t* p) {
    return _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

// Sums of the four source rows at samples [from, from + count) into sums, vector by vector.
template <typename T, typename Sum>
__attribute__((target("avx2"))) void ColumnSumsAvx2(const uint8_t* const rows[4], size_t from,
                                                    size_t count, Sum* sums) {
    constexpr size_t kLanes = sizeof(T) == 1 ? 16 : 8;
    size_t k = 0;
    for (; k + kLanes <= count; k += kLanes) {
        __m256i sum;
        if constexpr (sizeof(T) == 1) {
            const size_t at = from + k;
            sum = _mm256_add_epi16(_mm256_add_epi16(Widen8(rows[0] + at), Widen8(rows[1] + at)),
                                   _mm256_add_epi16(Widen8(rows[2] + at), Widen8(rows[3] + at)));
        } else {
            const size_t at = 2 * (from + k);
            sum = _mm256_add_epi32(_mm256_add_epi32(Widen16(rows[0] + at), Widen16(rows[1] + at)),
                                   _mm256_add_epi32(Widen16(rows[2] + at), Widen16(rows[3] + at)));
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(sums + k), sum);
    }
    for (; k < count; ++k) {
        const size_t at = (from + k) * sizeof(T);
        sums[k] = static_cast<Sum>(Load<T>(rows[0] + at) + Load<T>(rows[1] + at) +
                                   Load<T>(rows[2] + at) + Load<T>(rows[3] + at));
    }
}

// The 4 x 4 block sums of a vector of samples: four column sums, a pixel apart.
template <size_t kSpp, typename Sum>
__attribute__((target("avx2"))) inline __m256i BlockSumAvx2(const Sum* sums) {
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(sums));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(sums + kSpp));
    const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(sums + 2 * kSpp));
    const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(sums + 3 * kSpp));
    if constexpr (sizeof(Sum) == 2) {
        return _mm256_add_epi16(_mm256_add_epi16(a, b), _mm256_add_epi16(c, d));
    } else {
        return _mm256_add_epi32(_mm256_add_epi32(a, b), _mm256_add_epi32(c, d));
    }
}

template <typename T, int SamplesPerPixel>
__attribute__((target("avx2"))) size_t SharpenRowAvx2(uint8_t* out, const uint8_t* const rows[4],
                                                      size_t begin, size_t end, int sharpness) {
    constexpr size_t kLanes = sizeof(T) == 1 ? 16 : 8;
    constexpr bool kFourth = SamplesPerPixel == 4;
    constexpr size_t kSpp = SamplesPerPixel;
    // The row goes in chunks: first the four rows' sum of every sample column the chunk's
    // blocks reach (from two pixels left of it to one pixel right), then each block sum as four
    // of those, a pixel apart. 8-bit column sums (at most 1020) fit 16-bit lanes.
    using Sum = std::conditional_t<sizeof(T) == 1, int16_t, int32_t>;
    constexpr size_t kChunk = 512;
    Sum sums[kChunk + 3 * kSpp];
    size_t i = begin;
    const __m128i fourth8 = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    const __m128i fourth16 = _mm_set1_epi64x(static_cast<int64_t>(0xFFFF000000000000ull));
    while (i + kLanes <= end) {
        const size_t n = std::min(kChunk, (end - i) / kLanes * kLanes);
        ColumnSumsAvx2<T>(rows, i - 2 * kSpp, n + 3 * kSpp, sums);
        for (size_t j = 0; j < n; j += kLanes, i += kLanes) {
            if constexpr (sizeof(T) == 1) {
                const __m256i factor = _mm256_set1_epi16(static_cast<int16_t>(sharpness));
                const __m256i tenth = _mm256_set1_epi16(6554);
                const __m256i sum = BlockSumAvx2<kSpp>(sums + j);
                const __m256i s = Widen8(rows[2] + i);
                const __m256i d =
                    _mm256_mullo_epi16(_mm256_sub_epi16(s, _mm256_srli_epi16(sum, 4)), factor);
                const __m256i q =
                    _mm256_sign_epi16(_mm256_mulhi_epu16(_mm256_abs_epi16(d), tenth), d);
                const __m256i v = _mm256_add_epi16(s, q);
                __m128i bytes = _mm256_castsi256_si128(
                    _mm256_permute4x64_epi64(_mm256_packus_epi16(v, v), 0x08));
                if constexpr (kFourth) {
                    bytes = _mm_blendv_epi8(
                        bytes, _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[2] + i)),
                        fourth8);
                }
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), bytes);
            } else {
                const __m256i factor = _mm256_set1_epi32(sharpness);
                const __m256 ten = _mm256_set1_ps(10.0f);
                const __m256i sum = BlockSumAvx2<kSpp>(sums + j);
                const __m256i s = Widen16(rows[2] + 2 * i);
                const __m256i d =
                    _mm256_mullo_epi32(_mm256_sub_epi32(s, _mm256_srli_epi32(sum, 4)), factor);
                const __m256i q = _mm256_cvttps_epi32(_mm256_div_ps(_mm256_cvtepi32_ps(d), ten));
                const __m256i v = _mm256_min_epi32(
                    _mm256_max_epi32(_mm256_add_epi32(s, q), _mm256_setzero_si256()),
                    _mm256_set1_epi32(65535));
                __m128i words = _mm256_castsi256_si128(
                    _mm256_permute4x64_epi64(_mm256_packus_epi32(v, v), 0x08));
                if constexpr (kFourth) {
                    words = _mm_blendv_epi8(
                        words, _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[2] + 2 * i)),
                        fourth16);
                }
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * i), words);
            }
        }
    }
    return i;
}

// Sharpen with the vector rows where the processor has them; each row's last samples, short of
// a whole vector, go through the plain code of one sample.
template <typename T, int Channels, int SamplesPerPixel>
void SharpenAvx2(DibImage& image, const DibImage& source, int sharpness) {
    const int w = image.Width();
    const int h = image.Height();
    const size_t stride = static_cast<size_t>(image.Stride());
    if (w < 5 || h < 5) return;
    const size_t begin = 2 * SamplesPerPixel;
    const size_t end = static_cast<size_t>(w - 2) * SamplesPerPixel;
    for (int y = 2; y <= h - 3; ++y) {
        const uint8_t* rows[4];
        for (int r = 0; r < 4; ++r)
            rows[r] = source.Pixels() + (y - 2 + r) * stride;
        uint8_t* out = image.Pixels() + y * stride;
        for (size_t i = SharpenRowAvx2<T, SamplesPerPixel>(out, rows, begin, end, sharpness);
             i < end; ++i) {
            if (SamplesPerPixel == 4 && i % 4 == 3) continue;
            int sum = 0;
            for (int o = -2; o <= 1; ++o) {
                for (int r = 0; r < 4; ++r)
                    sum += Load<T>(rows[r] + (i + o * SamplesPerPixel) * sizeof(T));
            }
            const int s = Load<T>(rows[2] + i * sizeof(T));
            const int v = s + sharpness * (s - (sum >> 4)) / 10;
            Store<T>(out + i * sizeof(T), static_cast<T>(std::clamp(v, 0, kMax<T>)));
        }
    }
}

template <typename T>
void SharpenLayoutAvx2(DibImage& image, const DibImage& source, const Layout& layout,
                       int sharpness) {
    if (layout.channels == 1) {
        SharpenAvx2<T, 1, 1>(image, source, sharpness);
    } else if (layout.samplesPerPixel == 3) {
        SharpenAvx2<T, 3, 3>(image, source, sharpness);
    } else {
        SharpenAvx2<T, 3, 4>(image, source, sharpness);
    }
}

template <typename T, typename Correct>
void SharpenLayout(DibImage& image, const DibImage& source, const Layout& layout, Correct correct) {
    if (layout.channels == 1) {
        Sharpen<T, 1, 1>(image, source, correct);
    } else if (layout.samplesPerPixel == 3) {
        Sharpen<T, 3, 3>(image, source, correct);
    } else {
        Sharpen<T, 3, 4>(image, source, correct);
    }
}

}  // namespace

bool ApplyGamma(DibImage& image, int gamma) {
    return ApplyTable(
        image, TableKind::Gamma, gamma, [gamma](uint8_t* t) { BuildGamma(t, gamma); },
        [gamma](uint16_t* t) { BuildGamma(t, gamma); });
}

bool ApplyContrast(DibImage& image, int contrast) {
    return ApplyTable(
        image, TableKind::Contrast, contrast,
        [contrast](uint8_t* t) { BuildContrast(t, contrast); },
        [contrast](uint16_t* t) { BuildContrast(t, contrast); });
}

bool ApplyBrightness(DibImage& image, int brightness) {
    return ApplyTable(
        image, TableKind::Brightness, brightness,
        [brightness](uint8_t* t) { BuildBrightness(t, brightness); },
        [brightness](uint16_t* t) { BuildBrightness(t, brightness); });
}

bool ApplySharpness(DibImage& image, DibImage* work, int sharpness) {
    const Layout layout = LayoutOf(image);
    if (image.Empty() || layout.channels == 0) return false;
    if (work == nullptr || work->Bits() != image.Bits() || work->Width() != image.Width() ||
        work->Height() != image.Height() || work->ByteSize() != image.ByteSize()) {
        return false;
    }
    std::memcpy(work->Pixels(), image.Pixels(), image.ByteSize());
    // The vector rows' arithmetic holds for the sharpness range 0..30 only.
    if (sharpness >= 0 && sharpness <= 30 && ActiveSimdLevel() >= SimdLevel::kAvx2) {
        if (layout.sampleBytes == 1) {
            SharpenLayoutAvx2<uint8_t>(image, *work, layout, sharpness);
        } else {
            SharpenLayoutAvx2<uint16_t>(image, *work, layout, sharpness);
        }
        return true;
    }
    if (layout.sampleBytes == 1) {
        // Correction of every difference source - mean, -255..255.
        int correction[511];
        for (int d = -255; d <= 255; ++d)
            correction[d + 255] = sharpness * d / 10;
        SharpenLayout<uint8_t>(image, *work, layout,
                               [&correction](int d) { return correction[d + 255]; });
    } else {
        // A table over -65535..65535 would outgrow the caches; the multiply is cheaper.
        SharpenLayout<uint16_t>(image, *work, layout,
                                [sharpness](int d) { return sharpness * d / 10; });
    }
    return true;
}

}  // namespace velcor
