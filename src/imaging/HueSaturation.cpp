#include "imaging/HueSaturation.h"

#include <algorithm>
#include <cstring>

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

template <typename T, int SamplesPerPixel>
void TurnImage(DibImage& image, const Turn& turn, const SaturationTable& sat) {
    constexpr int kShift = sizeof(T) == 1 ? 0 : 8;
    constexpr size_t kPixelBytes = sizeof(T) * SamplesPerPixel;
    T px[SamplesPerPixel];
    for (int y = 0; y < image.Height(); ++y) {
        uint8_t* p = image.Pixels() + static_cast<size_t>(y) * image.Stride();
        for (int x = 0; x < image.Width(); ++x, p += kPixelBytes) {
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
    switch (image.Bits()) {
        case 24:
            TurnImage<uint8_t, 3>(image, turn, sat);
            return true;
        case 32:
            TurnImage<uint8_t, 4>(image, turn, sat);
            return true;
        case 48:
            TurnImage<uint16_t, 3>(image, turn, sat);
            return true;
        case 64:
            TurnImage<uint16_t, 4>(image, turn, sat);
            return true;
        default:
            return false;
    }
}

}  // namespace velcor
