#include "imaging/DibImage.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace velcor {

DibImage::DibImage() {
    Release();
}

DibImage::~DibImage() = default;

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
    if (bits == 8) SetGrayRamp();
    return true;
}

bool DibImage::Clone(const DibImage* source) {
    if (source == nullptr || source == this || source->width_ == 0 || source->height_ == 0 ||
        source->bits_ == 0) {
        return false;
    }
    const BitmapInfo info = source->info_;
    if (!Create(source->width_, source->height_, source->bits_)) return false;
    info_ = info;
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

void DibImage::SetGrayRamp() {
    for (int i = 0; i < 256; ++i) {
        const auto v = static_cast<uint8_t>(i);
        info_.colours[i] = RgbQuad{v, v, v, 0};
    }
}

int DibImage::SetColourTable(int mode, const RgbQuad* entries, int first, int count) {
    if (mode == 0) {
        SetGrayRamp();
    } else if (mode == 2 && entries != nullptr && first >= 0 && first < 256 && count > 0) {
        const int n = std::min(count, 256 - first);
        std::copy_n(entries, n, info_.colours + first);
    }
    return 1;
}

void DibImage::FillBytes(uint8_t value) {
    std::fill(pixels_.begin(), pixels_.end(), value);
}

void DibImage::FillWords(uint16_t value) {
    for (size_t i = 0; i + 1 < pixels_.size(); i += 2)
        std::memcpy(&pixels_[i], &value, 2);
}

bool DibImage::Blit(DibImage& destination, const DibImage& source, int x, int y) {
    if (destination.Empty() || source.Empty()) return false;
    const int db = destination.BytesPerPixel();
    const int sb = source.BytesPerPixel();
    const bool sameDepth = db == sb;
    const bool grayToColour = sb == 1 && (db == 3 || db == 4);
    const bool colourToColour = (sb == 3 || sb == 4) && (db == 3 || db == 4);
    if (!sameDepth && !grayToColour && !colourToColour) return false;

    // (x, y) are display coordinates of the bottom-up bitmaps the headers describe, so y counts
    // up from the destination's bottom edge in picture rows: source row m lands on row m + dy.
    const int dy = destination.height_ - source.height_ - y;
    const int left = std::max(0, -x);
    const int top = std::max(0, -dy);
    const int right = std::min(source.width_, destination.width_ - x);
    const int bottom = std::min(source.height_, destination.height_ - dy);
    if (left >= right || top >= bottom) return true;

    const RgbQuad* table = source.info_.colours;
    for (int row = top; row < bottom; ++row) {
        const uint8_t* s = source.Pixels() + static_cast<size_t>(row) * source.stride_;
        uint8_t* d = destination.Pixels() + static_cast<size_t>(row + dy) * destination.stride_;
        if (sameDepth) {
            std::memcpy(d + static_cast<size_t>(left + x) * db, s + static_cast<size_t>(left) * sb,
                        static_cast<size_t>(right - left) * db);
            continue;
        }
        for (int col = left; col < right; ++col) {
            uint8_t* dp = d + static_cast<size_t>(col + x) * db;
            const uint8_t* sp = s + static_cast<size_t>(col) * sb;
            if (grayToColour) {
                const RgbQuad& q = table[*sp];
                dp[0] = q.rgbBlue;
                dp[1] = q.rgbGreen;
                dp[2] = q.rgbRed;
            } else {
                dp[0] = sp[0];
                dp[1] = sp[1];
                dp[2] = sp[2];
            }
            if (db == 4) dp[3] = 0;
        }
    }
    return true;
}

}  // namespace velcor
