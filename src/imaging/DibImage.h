// Image buffer with the layout of a device-independent bitmap: a 40-byte bitmap information
// header and a 256-entry colour table, rows padded to 4 bytes. The header describes a
// bottom-up bitmap, but the pixel memory holds the picture's top row first; drawing and the
// bottom-up file writers turn it over.
//
// On this platform the pixels live in plain heap memory. The preview window will add a drawing
// surface (bitmap handle and memory device context) next to the pixel memory; Create, Clone,
// Release and Blit are the places it hooks into.
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
    ~DibImage();
    DibImage(const DibImage&) = delete;
    DibImage& operator=(const DibImage&) = delete;

    // Zeroed pixel memory of width x height at bits per pixel; 8-bit images get a gray colour
    // table. False (and an empty image) for a non-positive size or zero depth, or when the
    // memory cannot be had.
    bool Create(int width, int height, int bits);
    // Gives this image the format of the source (header, colour table, size, depth) with new
    // zeroed pixel memory; the pixels are not copied. False for a missing or empty source.
    bool Clone(const DibImage* source);
    void Release();
    // Colour table: mode 0 writes the gray ramp, mode 2 the given entries from index first on
    // (entries beyond the 256 of the table are ignored). Answers 1.
    int SetColourTable(int mode, const RgbQuad* entries, int first, int count);
    // Copies the whole source into the destination at (x, y), converting the depth as the
    // display does: 8-bit pixels through the source's colour table into 24 or 32 bits, 24 and
    // 32 bits into each other, equal depths as they are; what falls outside the destination
    // is cut off. (x, y) are display coordinates of the bottom-up bitmaps the headers
    // describe: y counts from the destination's bottom picture row upwards. False for an
    // empty image or a pair of depths that has no conversion.
    static bool Blit(DibImage& destination, const DibImage& source, int x, int y);
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
    int BytesPerPixel() const { return bits_ / 8; }
    bool Empty() const { return pixels_.empty(); }
    const BitmapInfo& Info() const { return info_; }

  private:
    void SetGrayRamp();

    BitmapInfo info_;
    std::vector<uint8_t> pixels_;
    int width_ = 0;
    int height_ = 0;
    int stride_ = 0;
    uint16_t bits_ = 0;
};

}  // namespace velcor
