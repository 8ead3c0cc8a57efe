// Decoders for the tests of the image file writer: each reads a whole file with the same
// library that wrote it and hands back its samples, top row first, in the file's own order
// (R, G, B for colour). 16-bit samples come back as numbers, whatever the file's byte order.
// The Windows build writes through the system's codecs and reads back through them too.
#pragma once

#if defined(_WIN32)
#include "support/WicImageReaders.h"
#else

// clang-format off
#include <cstddef>
#include <cstdio>  // jpeglib.h needs size_t and FILE first
#include <jpeglib.h>
// clang-format on
#include <png.h>
#include <tiffio.h>

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace velcor::test {

struct DecodedImage {
    bool ok = false;
    int width = 0;
    int height = 0;
    int channels = 0;
    int bitDepth = 0;
    std::vector<uint16_t> samples;  // width x channels per row, rows top first

    uint16_t At(int x, int y, int c) const {
        return samples[(static_cast<size_t>(y) * width + x) * channels + c];
    }
};

namespace detail {

struct JpegReadError {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

[[noreturn]] inline void JpegReadExit(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<JpegReadError*>(cinfo->err)->jump, 1);
}

// Only trivially destructible objects between setjmp and the library's calls.
inline bool JpegDecodeInto(jpeg_decompress_struct* cinfo, JpegReadError* error, std::FILE* file,
                           DecodedImage* out, bool* progressive) {
    if (setjmp(error->jump) != 0) return false;
    jpeg_create_decompress(cinfo);
    jpeg_stdio_src(cinfo, file);
    jpeg_read_header(cinfo, TRUE);
    *progressive = cinfo->progressive_mode != 0;
    jpeg_start_decompress(cinfo);
    out->width = static_cast<int>(cinfo->output_width);
    out->height = static_cast<int>(cinfo->output_height);
    out->channels = cinfo->output_components;
    out->bitDepth = 8;
    return true;
}

inline bool JpegReadRows(jpeg_decompress_struct* cinfo, JpegReadError* error, JSAMPLE* rows,
                         size_t rowBytes) {
    if (setjmp(error->jump) != 0) return false;
    while (cinfo->output_scanline < cinfo->output_height) {
        JSAMPROW row = rows + cinfo->output_scanline * rowBytes;
        jpeg_read_scanlines(cinfo, &row, 1);
    }
    jpeg_finish_decompress(cinfo);
    return true;
}

inline bool PngReadInto(png_structp png, png_infop info, std::FILE* file) {
    if (setjmp(png_jmpbuf(png)) != 0) return false;
    png_init_io(png, file);
    png_read_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    return true;
}

}  // namespace detail

// libjpeg takes the quality as given.
inline bool JpegQualityReachesTheEncoder() {
    return true;
}

// progressive: set to whether the file is a progressive JPEG.
inline DecodedImage DecodeJpeg(const std::string& path, bool* progressive = nullptr) {
    DecodedImage out;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return out;
    detail::JpegReadError error;
    jpeg_decompress_struct cinfo{};
    cinfo.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = detail::JpegReadExit;
    bool isProgressive = false;
    if (detail::JpegDecodeInto(&cinfo, &error, file, &out, &isProgressive)) {
        const size_t rowBytes = static_cast<size_t>(out.width) * out.channels;
        std::vector<JSAMPLE> bytes(rowBytes * out.height);
        if (detail::JpegReadRows(&cinfo, &error, bytes.data(), rowBytes)) {
            out.samples.assign(bytes.begin(), bytes.end());
            out.ok = true;
        }
    }
    jpeg_destroy_decompress(&cinfo);
    std::fclose(file);
    if (progressive != nullptr) *progressive = isProgressive;
    return out;
}

inline DecodedImage DecodePng(const std::string& path) {
    DecodedImage out;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return out;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (detail::PngReadInto(png, info, file)) {
        out.width = static_cast<int>(png_get_image_width(png, info));
        out.height = static_cast<int>(png_get_image_height(png, info));
        out.channels = png_get_channels(png, info);
        out.bitDepth = png_get_bit_depth(png, info);
        png_bytepp rows = png_get_rows(png, info);
        const size_t perRow = static_cast<size_t>(out.width) * out.channels;
        out.samples.resize(perRow * out.height);
        for (int y = 0; y < out.height; ++y) {
            for (size_t i = 0; i < perRow; ++i) {
                const png_bytep row = rows[y];
                out.samples[y * perRow + i] =
                    out.bitDepth == 16 ? static_cast<uint16_t>(row[2 * i] << 8 | row[2 * i + 1])
                                       : row[i];
            }
        }
        out.ok = true;
    }
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    return out;
}

// photometric: set to the file's Photometric tag.
inline DecodedImage DecodeTiff(const std::string& path, int* photometric = nullptr) {
    DecodedImage out;
    TIFFSetWarningHandler(nullptr);
    TIFF* tiff = TIFFOpen(path.c_str(), "r");
    if (tiff == nullptr) return out;
    uint32_t width = 0, height = 0;
    uint16_t bits = 0, samplesPerPixel = 0, photo = 0;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samplesPerPixel);
    TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photo);
    if (photometric != nullptr) *photometric = photo;
    out.width = static_cast<int>(width);
    out.height = static_cast<int>(height);
    out.channels = samplesPerPixel;
    out.bitDepth = bits;
    const size_t perRow = static_cast<size_t>(width) * samplesPerPixel;
    std::vector<uint8_t> line(static_cast<size_t>(TIFFScanlineSize(tiff)));
    out.samples.resize(perRow * height);
    bool ok = true;
    for (uint32_t y = 0; y < height && ok; ++y) {
        ok = TIFFReadScanline(tiff, line.data(), y, 0) == 1;
        for (size_t i = 0; i < perRow && ok; ++i) {
            uint16_t v = line[i];
            if (bits == 16) std::memcpy(&v, line.data() + 2 * i, 2);
            out.samples[y * perRow + i] = v;
        }
    }
    TIFFClose(tiff);
    out.ok = ok;
    return out;
}

}  // namespace velcor::test

#endif
