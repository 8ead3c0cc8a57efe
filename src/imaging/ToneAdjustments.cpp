#include "imaging/ToneAdjustments.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>

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

// Maps every colour sample through the table. Layouts without a fourth sample are walked as
// one run of samples per row, or per image when the rows carry no padding.
template <typename T>
void MapSamples(DibImage& image, const Layout& layout, const T* table) {
    const int w = image.Width();
    const int h = image.Height();
    const size_t stride = static_cast<size_t>(image.Stride());
    uint8_t* pixels = image.Pixels();
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
                for (size_t i = 0; i < runSamples; ++i)
                    Store<T>(p + 2 * i, table[Load<T>(p + 2 * i)]);
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
using WordTable = std::array<uint16_t, 65536>;

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
