// Image buffer with the layout of a device-independent bitmap: a 40-byte bitmap information
// header and a 256-entry colour table, rows padded to 4 bytes. The header describes a
// bottom-up bitmap, but the pixel memory holds the picture's top row first; drawing and the
// bottom-up file writers turn it over.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace velcor {

#pragma pack(push, 1)
struct BitmapInfoHeader {
    uint32_t biSize;
    int32_t biWidth;
    int32_t biHeight;
    uint16_t biPlanes;
    uint16_t biBitCount;
    uint32_t biCompression;
    uint32_t biSizeImage;
    int32_t biXPelsPerMeter;
    int32_t biYPelsPerMeter;
    uint32_t biClrUsed;
    uint32_t biClrImportant;
};
struct RgbQuad {
    uint8_t rgbBlue;
    uint8_t rgbGreen;
    uint8_t rgbRed;
    uint8_t rgbReserved;
};
struct BitmapInfo {
    BitmapInfoHeader header;
    RgbQuad colours[256];
};
#pragma pack(pop)
static_assert(sizeof(BitmapInfoHeader) == 40);
static_assert(sizeof(BitmapInfo) == 40 + 256 * 4);

class DibImage {
  public:
    DibImage();
    DibImage(const DibImage&) = delete;
    DibImage& operator=(const DibImage&) = delete;

    // Zeroed pixel memory of width x height at bits per pixel; 8-bit images get a gray colour
    // table. False (and an empty image) for a non-positive size or zero depth, or when the
    // memory cannot be had.
    bool Create(int width, int height, int bits);
    void Release();
    // Sets every byte of the pixel memory (the correction planes start cleared or saturated).
    void FillBytes(uint8_t value);
    // Sets every 16-bit sample of a 16-bit image.
    void FillWords(uint16_t value);

    static int StrideFor(int width, int bits) { return (width * (bits / 8) + 3) & ~3; }

    uint8_t* Pixels() { return pixels_.empty() ? nullptr : pixels_.data(); }
    const uint8_t* Pixels() const { return pixels_.empty() ? nullptr : pixels_.data(); }
    int Width() const { return width_; }
    int Height() const { return height_; }
    int Stride() const { return stride_; }
    int Bits() const { return bits_; }
    size_t ByteSize() const { return pixels_.size(); }
    const BitmapInfo& Info() const { return info_; }

  private:
    BitmapInfo info_;
    std::vector<uint8_t> pixels_;
    int width_ = 0;
    int height_ = 0;
    int stride_ = 0;
    uint16_t bits_ = 0;
};

}  // namespace velcor
