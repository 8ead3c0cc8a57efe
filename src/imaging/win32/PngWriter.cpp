// PNG files through the system's encoder, which stores 16-bit samples most significant byte
// first itself and takes colour words in red-green-blue order.
#include "imaging/PngWriter.h"

#include <cstdio>
#include <cstring>

#include "imaging/win32/WicEncoder.h"

namespace velcor {
namespace {

// Blue, green, red (and a fourth) words of the image turned into red, green, blue (and the
// fourth as it is).
template <int kWords>
void RedBlueWordsSwapped(uint8_t* out, const uint8_t* in, int width) {
    for (int x = 0; x < width; ++x, in += 2 * kWords, out += 2 * kWords) {
        std::memcpy(out, in + 4, 2);
        std::memcpy(out + 2, in + 2, 2);
        std::memcpy(out + 4, in, 2);
        if constexpr (kWords == 4) std::memcpy(out + 6, in + 6, 2);
    }
}

bool LayoutFor(int bits, WicPixels& pixels, WicRowConversion& convert) {
    convert = nullptr;
    switch (bits) {
        case 8:
            pixels = WicPixels::kGray8;
            return true;
        case 16:
            pixels = WicPixels::kGray16;
            return true;
        case 24:
            pixels = WicPixels::kBgr24;
            return true;
        case 32:
            pixels = WicPixels::kBgra32;
            return true;
        case 48:
            pixels = WicPixels::kRgb48;
            convert = RedBlueWordsSwapped<3>;
            return true;
        case 64:
            pixels = WicPixels::kRgba64;
            convert = RedBlueWordsSwapped<4>;
            return true;
        default:
            return false;
    }
}

}  // namespace

bool WritePng(const char* path, const uint8_t* pixels, int width, int height, int bits,
              int stride) {
    WicPicture picture;
    picture.container = WicContainer::kPng;
    if (pixels == nullptr || width <= 0 || height <= 0 ||
        !LayoutFor(bits, picture.pixels, picture.convert)) {
        return false;
    }
    const size_t rowBytes = static_cast<size_t>(width) * static_cast<size_t>(bits / 8);
    if (stride < 0 || static_cast<size_t>(stride) < rowBytes) return false;
    picture.width = width;
    picture.height = height;
    picture.topRow = pixels;
    picture.rowStep = stride;
    long status = 0;
    if (WriteWicFile(path, picture, &status)) return true;
    // A failure of the encoder itself is reported as the libpng build reports its library's.
    if (status != 0) {
        std::fprintf(stderr, "PNG encoder error: 0x%08lX\n", static_cast<unsigned long>(status));
    }
    return false;
}

}  // namespace velcor
