#include "imaging/GrayAdjustments.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

namespace velcor {

namespace {

// Phase index (row phase x 2 + column phase): 0 = (0, 0), 1 = (0, 1), 2 = (1, 0), 3 = (1, 1).
constexpr int kPhase00 = 0, kPhase01 = 1, kPhase10 = 2, kPhase11 = 3;

inline int RowPhase(int y, int bayerMode) {
    return (y + (bayerMode & 1)) & 1;
}
inline int ColumnBit(int bayerMode) {
    return (bayerMode >> 1) & 1;
}

inline uint16_t LoadWord(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}
inline void StoreWord(uint8_t* p, uint16_t v) {
    std::memcpy(p, &v, 2);
}

struct PhaseSums {
    std::array<uint64_t, 4> sum{};
    std::array<uint64_t, 4> count{};
};

template <typename T>
inline uint32_t Sample(const uint8_t* row, int x) {
    if constexpr (sizeof(T) == 1) {
        return row[x];
    } else {
        return LoadWord(row + 2 * x);
    }
}

// Sums and counts the samples of each phase. The gray balance counts only 8-bit values
// strictly between 0 and 255 (on 16 bits: of the low byte); the Bayer gain counts them all.
template <typename T, bool GrayBalance>
PhaseSums SumPhases(const DibImage& raw, int bayerMode) {
    PhaseSums s;
    const int w = raw.Width();
    const int colBit = ColumnBit(bayerMode);
    for (int y = 0; y < raw.Height(); ++y) {
        const uint8_t* row = raw.Pixels() + static_cast<size_t>(y) * raw.Stride();
        // Even and odd columns; a row of 65535-sized samples stays far below 2^32.
        uint32_t sum[2] = {0, 0}, count[2] = {0, 0};
        auto add = [&](int parity, uint32_t v) {
            if constexpr (GrayBalance) {
                v &= 0xFF;
                // 1..254 count; a mask rather than a branch, which black or saturated
                // spots scattered over a frame would mispredict.
                const uint32_t counted = v - 1u < 254u ? 1u : 0u;
                sum[parity] += v & (0u - counted);
                count[parity] += counted;
            } else {
                sum[parity] += v;
                ++count[parity];
            }
        };
        int x = 0;
        for (; x + 1 < w; x += 2) {
            add(0, Sample<T>(row, x));
            add(1, Sample<T>(row, x + 1));
        }
        if (x < w) add(0, Sample<T>(row, x));
        const int rowBase = RowPhase(y, bayerMode) * 2;
        for (int parity = 0; parity < 2; ++parity) {
            const int phase = rowBase + ((parity + colBit) & 1);
            s.sum[phase] += sum[parity];
            s.count[phase] += count[parity];
        }
    }
    return s;
}

template <bool GrayBalance>
PhaseSums SumPhases(const DibImage& raw, int bayerMode) {
    return raw.Bits() == 8 ? SumPhases<uint8_t, GrayBalance>(raw, bayerMode)
                           : SumPhases<uint16_t, GrayBalance>(raw, bayerMode);
}

// Maps each sample through the function of its phase, row by row with the two phases of the
// row fixed.
template <typename T, typename Map>
void MapPhases(DibImage& raw, int bayerMode, Map map) {
    const int w = raw.Width();
    const int colBit = ColumnBit(bayerMode);
    for (int y = 0; y < raw.Height(); ++y) {
        uint8_t* row = raw.Pixels() + static_cast<size_t>(y) * raw.Stride();
        const int rowBase = RowPhase(y, bayerMode) * 2;
        const int phase[2] = {rowBase + colBit, rowBase + (colBit ^ 1)};
        auto put = [&](int x, int parity) {
            if constexpr (sizeof(T) == 1) {
                row[x] = map(phase[parity], row[x]);
            } else {
                StoreWord(row + 2 * x, map(phase[parity], LoadWord(row + 2 * x)));
            }
        };
        int x = 0;
        for (; x + 1 < w; x += 2) {
            put(x, 0);
            put(x + 1, 1);
        }
        if (x < w) put(x, 0);
    }
}

}  // namespace

bool ApplyGrayGains(DibImage& raw, const FilterValues& f) {
    if (raw.Empty() || (raw.Bits() != 8 && raw.Bits() != 16)) return false;
    // Gray mode 1 names (0, 1) R and (1, 0) B.
    std::array<int, 4> gain{}, offset{};
    gain[kPhase00] = f.grayGainG1;
    gain[kPhase01] = f.grayGainR;
    gain[kPhase10] = f.grayGainB;
    gain[kPhase11] = f.grayGainG2;
    offset[kPhase00] = f.grayOffsetG1;
    offset[kPhase01] = f.grayOffsetR;
    offset[kPhase10] = f.grayOffsetB;
    offset[kPhase11] = f.grayOffsetG2;
    const bool unity = std::all_of(gain.begin(), gain.end(), [](int g) { return g == 128; }) &&
                       std::all_of(offset.begin(), offset.end(), [](int o) { return o == 0; });
    if (unity) return true;

    // The balance may store gains far beyond 255, so the product is taken in 64 bits.
    auto adjust = [&](int phase, uint32_t v, int64_t max) {
        const int64_t r = offset[phase] + static_cast<int64_t>(gain[phase]) * v / 128;
        return std::clamp<int64_t>(r, 0, max);
    };
    if (raw.Bits() == 8) {
        uint8_t table[4][256];
        for (int p = 0; p < 4; ++p) {
            for (uint32_t v = 0; v < 256; ++v)
                table[p][v] = static_cast<uint8_t>(adjust(p, v, 255));
        }
        MapPhases<uint8_t>(raw, f.bayerMode, [&](int p, uint8_t v) { return table[p][v]; });
    } else {
        // 12 significant bits from the sensor.
        MapPhases<uint16_t>(raw, f.bayerMode, [&](int p, uint16_t v) {
            return static_cast<uint16_t>(adjust(p, v, 4095));
        });
    }
    return true;
}

bool AutoGrayBalance(const DibImage& raw, FilterValues& f) {
    if (raw.Empty() || (raw.Bits() != 8 && raw.Bits() != 16)) return false;
    const PhaseSums s = SumPhases<true>(raw, f.bayerMode);
    if (std::any_of(s.count.begin(), s.count.end(), [](uint64_t n) { return n == 0; }))
        return false;
    auto mean = [&](int phase) {
        return static_cast<float>(s.sum[phase]) / static_cast<float>(s.count[phase]);
    };
    // Counted samples are at least 1, so every mean is positive.
    const float g1 = mean(kPhase00);
    auto gain = [&](int phase) { return static_cast<int>(g1 / mean(phase) * 128.0f); };
    f.grayGainR = gain(kPhase01);
    f.grayGainG1 = 128;
    f.grayGainG2 = gain(kPhase11);
    f.grayGainB = gain(kPhase10);
    return true;
}

bool AutoBayerGain(const DibImage& raw, int bayerMode, FilterValues& f) {
    if (raw.Empty() || (raw.Bits() != 8 && raw.Bits() != 16)) return false;
    const PhaseSums s = SumPhases<false>(raw, bayerMode);
    const uint64_t greenCount = s.count[kPhase00] + s.count[kPhase11];
    if (greenCount == 0 || s.count[kPhase01] == 0 || s.count[kPhase10] == 0) return false;
    const double mG = static_cast<double>(s.sum[kPhase00] + s.sum[kPhase11]) / greenCount;
    const double mB = static_cast<double>(s.sum[kPhase01]) / s.count[kPhase01];
    const double mR = static_cast<double>(s.sum[kPhase10]) / s.count[kPhase10];
    if (mG <= 0.0) return false;
    const double sum = mG + mB + mR;
    const double t = sum / mG / 3.0;
    // A colour without light asks for an infinite gain: the limit is the answer.
    auto gain = [&](double mean) {
        if (mean <= 0.0) return 400;
        const double g = sum / mean / 3.0 * 100.0 / t;
        return g < 400.0 ? static_cast<int>(g) : 400;
    };
    f.bayerGainRed = gain(mR);
    f.bayerGainGreen = 100;
    f.bayerGainBlue = gain(mB);
    return true;
}

}  // namespace velcor
