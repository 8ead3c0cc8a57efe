#include "imaging/ImageFileWriter.h"

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "imaging/BmpWriter.h"
#include "imaging/JpegWriter.h"
#include "imaging/PixelRoutines.h"
#include "imaging/PngWriter.h"
#include "imaging/TiffWriter.h"

namespace velcor {
namespace {

bool KnownDepth(int bits) {
    return bits == 8 || bits == 16 || bits == 24 || bits == 32 || bits == 48 || bits == 64;
}

bool SaveBmp(const char* path, const DibImage& image) {
    DibImage flipped;
    if (!flipped.Clone(&image)) return false;
    RectangleOperation(&flipped, routines::RowCopyFlipped, &image, nullptr, 0, 0);
    return WriteBmp(path, flipped);
}

bool SaveJpeg(const char* path, const DibImage& image, int quality) {
    // The encoder takes 8-bit gray or 24-bit colour, bottom row first.
    RectRoutine routine = nullptr;
    int scratchBits = 24;
    switch (image.Bits()) {
        case 8:
            routine = routines::RowCopyFlipped;
            scratchBits = 8;
            break;
        case 16:
            routine = routines::GrayHighByteFlipped;
            scratchBits = 8;
            break;
        case 24:
        case 32:
            routine = routines::ColourCopyFlipped;
            break;
        case 48:
        case 64:
            routine = routines::ColourHighByteFlipped;
            break;
        default:
            return false;
    }
    DibImage scratch;
    if (!scratch.Create(image.Width(), image.Height(), scratchBits)) return false;
    if (RectangleOperation(&scratch, routine, &image, nullptr, 0, 0) == 0) return false;
    return WriteJpeg(path, scratch, quality);
}

uint16_t LoadWord(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}

void StoreWord(uint8_t* p, uint16_t v) {
    std::memcpy(p, &v, 2);
}

// 64 bits: the fourth word of every pixel set to 65535, so the unused channel reads as opaque.
void OpaqueFourthWord(DibImage& image) {
    for (int y = 0; y < image.Height(); ++y) {
        uint8_t* row = image.Pixels() + static_cast<size_t>(y) * image.Stride();
        for (int x = 0; x < image.Width(); ++x)
            StoreWord(row + 8 * static_cast<size_t>(x) + 6, 0xFFFF);
    }
}

bool SavePng(const char* path, const DibImage& image) {
    const DibImage* source = &image;
    DibImage copy;
    if (image.Bits() == 32 || image.Bits() == 64) {
        // The conversion leaves the fourth channel 0; PNG reads it as alpha.
        if (!copy.Clone(&image)) return false;
        if (image.Bits() == 32) {
            RectangleOperation(&copy, routines::AlphaInvert, &image, nullptr, 0, 0);
        } else {
            std::memcpy(copy.Pixels(), image.Pixels(), image.ByteSize());
            OpaqueFourthWord(copy);
        }
        source = &copy;
    }
    return WritePng(path, source->Pixels(), source->Width(), source->Height(), source->Bits(),
                    source->Stride());
}

// 48 and 64 bits: blue, green, red words turned into red, green, blue; 64 bits also get an
// opaque fourth word.
void SwapWordsToRgb(DibImage& destination, const DibImage& source) {
    const int bytesPerPixel = source.BytesPerPixel();
    for (int y = 0; y < source.Height(); ++y) {
        const uint8_t* s = source.Pixels() + static_cast<size_t>(y) * source.Stride();
        uint8_t* d = destination.Pixels() + static_cast<size_t>(y) * destination.Stride();
        for (int x = 0; x < source.Width(); ++x, s += bytesPerPixel, d += bytesPerPixel) {
            const uint16_t b = LoadWord(s), g = LoadWord(s + 2), r = LoadWord(s + 4);
            StoreWord(d, r);
            StoreWord(d + 2, g);
            StoreWord(d + 4, b);
            if (bytesPerPixel == 8) StoreWord(d + 6, 0xFFFF);
        }
    }
}

// Moves the rows together so that no row padding lies between them (TIFF rows are packed).
void PackRows(DibImage& image) {
    const size_t rowBytes = static_cast<size_t>(image.Width()) * image.BytesPerPixel();
    if (rowBytes == static_cast<size_t>(image.Stride())) return;
    uint8_t* pixels = image.Pixels();
    for (int y = 1; y < image.Height(); ++y) {
        std::memmove(pixels + y * rowBytes, pixels + static_cast<size_t>(y) * image.Stride(),
                     rowBytes);
    }
}

bool SaveTiff(const char* path, const DibImage& image) {
    const int bits = image.Bits();
    TiffSamples samples;
    samples.width = image.Width();
    samples.height = image.Height();
    samples.bitsPerSample = bits == 16 || bits == 48 || bits == 64 ? 16 : 8;
    samples.samplesPerPixel = bits / samples.bitsPerSample;
    samples.photometric = samples.samplesPerPixel == 1 ? 1 : 2;  // minimum is black; RGB

    const bool packed = static_cast<size_t>(image.Width()) * image.BytesPerPixel() ==
                        static_cast<size_t>(image.Stride());
    if ((bits == 8 || bits == 16) && packed) {
        samples.pixels = image.Pixels();
        return WriteTiff(path, samples);
    }
    DibImage copy;
    if (!copy.Clone(&image)) return false;
    switch (bits) {
        case 8:
        case 16:
            std::memcpy(copy.Pixels(), image.Pixels(), image.ByteSize());
            break;
        // The fourth byte of a 32-bit pixel stays 0.
        case 24:
        case 32:
            RectangleOperation(&copy, routines::SwapToRgb, &image, nullptr, 0, 0);
            break;
        default:
            SwapWordsToRgb(copy, image);
            break;
    }
    PackRows(copy);
    samples.pixels = copy.Pixels();
    return WriteTiff(path, samples);
}

}  // namespace

int SaveImageFile(const char* path, const DibImage& image, int format) {
    if (format < kFileBmp || format > kFileTiff) return 0;
    if (path == nullptr || image.Empty() || !KnownDepth(image.Bits())) return 0;
    switch (format) {
        case kFileBmp:
            return SaveBmp(path, image) ? 1 : 0;
        case kFileRaw:
            return WriteRaw(path, image) ? 1 : 0;
        case kFileJpeg100:
            return SaveJpeg(path, image, 100) ? 1 : 0;
        case kFileJpeg70:
            return SaveJpeg(path, image, 70) ? 1 : 0;
        case kFileJpeg20:
            return SaveJpeg(path, image, 20) ? 1 : 0;
        case kFilePng:
            return SavePng(path, image) ? 1 : 0;
        default:
            return SaveTiff(path, image) ? 1 : 0;
    }
}

}  // namespace velcor
