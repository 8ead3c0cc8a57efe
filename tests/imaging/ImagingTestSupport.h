// Small helpers shared by the imaging tests: filled images and pixel access.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "imaging/DibImage.h"
#include "imaging/SimdLevel.h"

namespace velcor::test {

inline uint8_t* PixelAt(DibImage& image, int x, int y) {
    return image.Pixels() + static_cast<size_t>(y) * image.Stride() +
           static_cast<size_t>(x) * image.BytesPerPixel();
}

inline const uint8_t* PixelAt(const DibImage& image, int x, int y) {
    return image.Pixels() + static_cast<size_t>(y) * image.Stride() +
           static_cast<size_t>(x) * image.BytesPerPixel();
}

// Sample c (byte or 16-bit word by depth) of pixel (x, y).
inline uint32_t Channel(const DibImage& image, int x, int y, int c) {
    const uint8_t* p = PixelAt(image, x, y);
    if (image.Bits() == 8 || image.Bits() == 24 || image.Bits() == 32) return p[c];
    uint16_t v;
    std::memcpy(&v, p + 2 * c, 2);
    return v;
}

inline void SetSample(DibImage& image, int x, int y, uint32_t v) {
    uint8_t* p = PixelAt(image, x, y);
    if (image.Bits() == 8) {
        *p = static_cast<uint8_t>(v);
    } else {
        const auto w = static_cast<uint16_t>(v);
        std::memcpy(p, &w, 2);
    }
}

// Raw image of random samples: full 8-bit range, or 12 significant bits at 16 bits unless
// wide is set (then the whole 16-bit range, to reach the saturation limits).
inline void FillRandom(DibImage& image, unsigned seed, bool wide = false) {
    std::mt19937 gen(seed);
    const uint32_t max = image.Bits() == 8 ? 255u : (wide ? 65535u : 4095u);
    std::uniform_int_distribution<uint32_t> dist(0, max);
    for (int y = 0; y < image.Height(); ++y) {
        for (int x = 0; x < image.Width(); ++x)
            SetSample(image, x, y, dist(gen));
    }
}

// Sets sample c (byte or 16-bit word by depth) of pixel (x, y).
inline void SetChannel(DibImage& image, int x, int y, int c, uint32_t v) {
    uint8_t* p = PixelAt(image, x, y);
    if (image.Bits() == 8 || image.Bits() == 24 || image.Bits() == 32) {
        p[c] = static_cast<uint8_t>(v);
    } else {
        const auto w = static_cast<uint16_t>(v);
        std::memcpy(p + 2 * c, &w, 2);
    }
}

// Random bytes everywhere, row padding and fourth channels included.
inline void FillRandomBytes(DibImage& image, unsigned seed) {
    std::mt19937 gen(seed);
    std::uniform_int_distribution<int> dist(0, 255);
    for (size_t i = 0; i < image.ByteSize(); ++i)
        image.Pixels()[i] = static_cast<uint8_t>(dist(gen));
}

// A copy of the image, format and pixels.
inline bool CopyImage(const DibImage& source, DibImage& copy) {
    if (!copy.Clone(&source)) return false;
    std::memcpy(copy.Pixels(), source.Pixels(), source.ByteSize());
    return true;
}

inline bool SameBytes(const DibImage& a, const DibImage& b) {
    return a.ByteSize() == b.ByteSize() && std::memcmp(a.Pixels(), b.Pixels(), a.ByteSize()) == 0;
}

inline void FillFlat(DibImage& image, uint32_t v) {
    for (int y = 0; y < image.Height(); ++y) {
        for (int x = 0; x < image.Width(); ++x)
            SetSample(image, x, y, v);
    }
}

// While it lives, the pixel kernels take their plain C++ path, so a test can hold the vector
// kernels against it.
class PortableKernels {
  public:
    PortableKernels() : level_(SimdLevel::kPortable) {}

  private:
    ScopedSimdLevelForTesting level_;
};

// The levels this processor runs, plain C++ first.
inline std::vector<SimdLevel> LevelsOfThisMachine() {
    std::vector<SimdLevel> levels;
    for (const SimdLevel level : {SimdLevel::kPortable, SimdLevel::kAvx2, SimdLevel::kAvx512}) {
        if (SimdLevelAvailable(level)) levels.push_back(level);
    }
    return levels;
}

}  // namespace velcor::test
