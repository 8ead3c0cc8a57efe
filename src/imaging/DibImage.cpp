#include "imaging/DibImage.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace velcor {

DibImage::DibImage() {
    Release();
}

bool DibImage::Create(int width, int height, int bits) {
    if (width <= 0 || height <= 0 || bits <= 0) return false;
    Release();
    const int stride = StrideFor(width, bits);
    try {
        pixels_.assign(static_cast<size_t>(stride) * static_cast<size_t>(height), 0);
    } catch (const std::bad_alloc&) {
        Release();
        return false;
    }
    width_ = width;
    height_ = height;
    stride_ = stride;
    bits_ = static_cast<uint16_t>(bits);
    BitmapInfoHeader& h = info_.header;
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = static_cast<uint16_t>(bits);
    h.biCompression = 0;
    h.biSizeImage = 0;
    if (bits == 8) {
        for (int i = 0; i < 256; ++i) {
            const auto v = static_cast<uint8_t>(i);
            info_.colours[i] = RgbQuad{v, v, v, 0};
        }
    }
    return true;
}

void DibImage::Release() {
    pixels_.clear();
    pixels_.shrink_to_fit();
    width_ = height_ = stride_ = 0;
    bits_ = 0;
    std::memset(&info_, 0, sizeof info_);
    info_.header.biSize = sizeof(BitmapInfoHeader);
}

void DibImage::FillBytes(uint8_t value) {
    std::fill(pixels_.begin(), pixels_.end(), value);
}

void DibImage::FillWords(uint16_t value) {
    for (size_t i = 0; i + 1 < pixels_.size(); i += 2)
        std::memcpy(&pixels_[i], &value, 2);
}

}  // namespace velcor
