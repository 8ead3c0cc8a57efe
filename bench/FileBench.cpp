// Image file saves against the codecs they wrap: each format's save of a 1280 x 1024 image
// (8 and 24 bits) through SaveImageFile beside the same library's encoder called directly on
// the same pixels with the same settings. The ratio is our overhead (row flips, colour order,
// scratch images, checked writes), not the codec's speed.
//
// Rounds interleave every case, each timed in this thread's CPU time (user and system), so a
// busy machine slows both sides of a ratio alike; the figure is the median of the per-round
// ratios.
//
//   velcor_file_bench [rounds]     (default 5)
// clang-format off
#include <cstddef>
#include <cstdio>  // jpeglib.h needs size_t and FILE first
#include <jpeglib.h>
// clang-format on
#include <png.h>
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "ThreadCpu.h"
#include "imaging/DibImage.h"
#include "imaging/ImageFileWriter.h"

namespace {

using velcor::bench::Median;
using velcor::bench::RoundsArgument;
using velcor::bench::ThreadCpuMs;

using velcor::DibImage;

constexpr int kWidth = 1280;
constexpr int kHeight = 1024;

// Smooth shading with sensor-like noise: codecs neither choke on pure noise nor coast on flat
// areas.
void FillPicture(DibImage& image) {
    std::mt19937 gen(9);
    std::uniform_int_distribution<int> noise(0, 7);
    const int bytes = image.BytesPerPixel();
    for (int y = 0; y < image.Height(); ++y) {
        uint8_t* row = image.Pixels() + static_cast<size_t>(y) * image.Stride();
        for (int x = 0; x < image.Width(); ++x) {
            for (int c = 0; c < bytes; ++c) {
                const int v = (x / 6 + y / (4 + c) + c * 40) % 240 + noise(gen);
                row[x * bytes + c] = static_cast<uint8_t>(v);
            }
        }
    }
}

// ---- The encoders called directly --------------------------------------------------------------

bool DirectWrite(const std::string& path, const void* header, size_t headerBytes,
                 const DibImage& image) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    bool ok = headerBytes == 0 || std::fwrite(header, 1, headerBytes, file) == headerBytes;
    ok = ok && std::fwrite(image.Pixels(), 1, image.ByteSize(), file) == image.ByteSize();
    return std::fclose(file) == 0 && ok;
}

// BMP: the 54 or 1078 header bytes and the pixel memory in one go, rows as they lie.
bool DirectBmp(const std::string& path, const DibImage& image) {
    std::vector<uint8_t> header(image.Bits() == 8 ? 1078 : 54, 0);
    header[0] = 'B';
    header[1] = 'M';
    std::memcpy(header.data() + 14, &image.Info().header, 40);
    if (image.Bits() == 8) std::memcpy(header.data() + 54, image.Info().colours, 1024);
    return DirectWrite(path, header.data(), header.size(), image);
}

bool DirectJpeg(const std::string& path, const DibImage& image, int quality) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr error{};
    cinfo.err = jpeg_std_error(&error);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file);
    cinfo.image_width = static_cast<JDIMENSION>(image.Width());
    cinfo.image_height = static_cast<JDIMENSION>(image.Height());
    const bool colour = image.Bits() == 24;
    cinfo.input_components = colour ? 3 : 1;
    cinfo.in_color_space = colour ? JCS_EXT_BGR : JCS_GRAYSCALE;  // the memory's own order
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    for (int y = 0; y < image.Height(); ++y) {
        JSAMPROW row =
            const_cast<uint8_t*>(image.Pixels()) + static_cast<size_t>(y) * image.Stride();
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return std::fclose(file) == 0;
}

// The setjmp frame holds nothing with a destructor.
bool DirectPngRows(png_structp png, png_infop info, std::FILE* file, const DibImage* image,
                   png_bytepp rows) {
    if (setjmp(png_jmpbuf(png)) != 0) return false;
    png_init_io(png, file);
    png_set_IHDR(png, info, image->Width(), image->Height(), 8,
                 image->Bits() == 8 ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    if (image->Bits() != 8) png_set_bgr(png);
    png_write_image(png, rows);
    png_write_end(png, info);
    return true;
}

bool DirectPng(const std::string& path, const DibImage& image) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::vector<png_bytep> rows(static_cast<size_t>(image.Height()));
    for (int y = 0; y < image.Height(); ++y)
        rows[y] = const_cast<uint8_t*>(image.Pixels()) + static_cast<size_t>(y) * image.Stride();
    const bool ok = DirectPngRows(png, info, file, &image, rows.data());
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0 && ok;
}

// TIFF takes the pixel memory as it lies (blue first for 24 bits: the codec's cost is the same).
bool DirectTiff(const std::string& path, const DibImage& image) {
    TIFF* tiff = TIFFOpen(path.c_str(), "w");
    if (tiff == nullptr) return false;
    const int samples = image.BytesPerPixel();
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(image.Width()));
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(image.Height()));
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, samples == 1 ? 1 : 2);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, samples);
    const auto bytes = static_cast<tmsize_t>(image.ByteSize());
    const bool ok =
        TIFFWriteEncodedStrip(tiff, 0, const_cast<uint8_t*>(image.Pixels()), bytes) == bytes;
    TIFFClose(tiff);
    return ok;
}

struct Case {
    std::string name;
    std::function<bool()> ours;
    std::function<bool()> direct;
    std::vector<double> ratios;
    double oursMs = 0;
    double directMs = 0;
};

}  // namespace

int main(int argc, char** argv) {
    const int rounds = RoundsArgument(argc, argv, 5);
    char pattern[] = "/tmp/velcor-file-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) return 1;
    const std::filesystem::path dir = pattern;

    DibImage gray, colour;
    if (!gray.Create(kWidth, kHeight, 8) || !colour.Create(kWidth, kHeight, 24)) return 1;
    FillPicture(gray);
    FillPicture(colour);

    struct Format {
        const char* name;
        int number;
        int quality;
    };
    const Format formats[] = {
        {"bmp", velcor::kFileBmp, 0},           {"raw", velcor::kFileRaw, 0},
        {"jpeg100", velcor::kFileJpeg100, 100}, {"jpeg70", velcor::kFileJpeg70, 70},
        {"jpeg20", velcor::kFileJpeg20, 20},    {"png", velcor::kFilePng, 0},
        {"tiff", velcor::kFileTiff, 0},
    };
    std::vector<Case> cases;
    for (const DibImage* image : {&gray, &colour}) {
        for (const Format& f : formats) {
            const std::string name = std::string(f.name) + "/" + std::to_string(image->Bits());
            const std::string ours = (dir / ("ours-" + std::to_string(cases.size()))).string();
            const std::string direct = (dir / ("direct-" + std::to_string(cases.size()))).string();
            Case c;
            c.name = name;
            c.ours = [=] { return velcor::SaveImageFile(ours.c_str(), *image, f.number) == 1; };
            switch (f.number) {
                case velcor::kFileBmp:
                    c.direct = [=] { return DirectBmp(direct, *image); };
                    break;
                case velcor::kFileRaw:
                    c.direct = [=] { return DirectWrite(direct, nullptr, 0, *image); };
                    break;
                case velcor::kFilePng:
                    c.direct = [=] { return DirectPng(direct, *image); };
                    break;
                case velcor::kFileTiff:
                    c.direct = [=] { return DirectTiff(direct, *image); };
                    break;
                default:
                    c.direct = [=] { return DirectJpeg(direct, *image, f.quality); };
                    break;
            }
            cases.push_back(std::move(c));
        }
    }

    for (int round = 0; round < rounds; ++round) {
        for (Case& c : cases) {
            // Alternate which side goes first, so neither always meets a warm cache.
            double oursMs = 0, directMs = 0;
            for (int side = 0; side < 2; ++side) {
                const bool oursNow = (side == 0) == (round % 2 == 0);
                const double start = ThreadCpuMs();
                const bool ok = oursNow ? c.ours() : c.direct();
                const double ms = ThreadCpuMs() - start;
                if (!ok) {
                    std::fprintf(stderr, "%s: save failed\n", c.name.c_str());
                    return 1;
                }
                (oursNow ? oursMs : directMs) = ms;
            }
            c.oursMs += oursMs;
            c.directMs += directMs;
            c.ratios.push_back(directMs > 0 ? oursMs / directMs : 0);
        }
    }

    std::printf("%d x %d, %d interleaved rounds, thread CPU time\n", kWidth, kHeight, rounds);
    std::printf("  %-12s %10s %10s %8s\n", "format/bits", "ours ms", "direct ms", "ratio");
    for (const Case& c : cases) {
        std::printf("  %-12s %10.2f %10.2f %8.2f\n", c.name.c_str(), c.oursMs / rounds,
                    c.directMs / rounds, Median(c.ratios));
    }
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    return 0;
}
