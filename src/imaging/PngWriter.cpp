#include "imaging/PngWriter.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <memory>
#include <new>
#include <vector>

#include "imaging/OutputFile.h"

namespace velcor {
namespace {

struct PngLayout {
    int bitDepth;
    int colourType;
};

bool LayoutFor(int bits, PngLayout& layout) {
    switch (bits) {
        case 8:
            layout = {8, PNG_COLOR_TYPE_GRAY};
            return true;
        case 16:
            layout = {16, PNG_COLOR_TYPE_GRAY};
            return true;
        case 24:
            layout = {8, PNG_COLOR_TYPE_RGB};
            return true;
        case 32:
            layout = {8, PNG_COLOR_TYPE_RGB_ALPHA};
            return true;
        case 48:
            layout = {16, PNG_COLOR_TYPE_RGB};
            return true;
        case 64:
            layout = {16, PNG_COLOR_TYPE_RGB_ALPHA};
            return true;
        default:
            return false;
    }
}

[[noreturn]] void ReportError(png_structp png, png_const_charp message) {
    std::fprintf(stderr, "libpng error: %s\n", message);
    png_longjmp(png, 1);
}

void IgnoreWarning(png_structp, png_const_charp) {}

// Owns the write and info structures of one save.
class PngStructs {
  public:
    PngStructs() {
        png_ = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, ReportError, IgnoreWarning);
        if (png_ != nullptr) info_ = png_create_info_struct(png_);
    }
    ~PngStructs() {
        if (png_ != nullptr) png_destroy_write_struct(&png_, info_ != nullptr ? &info_ : nullptr);
    }
    PngStructs(const PngStructs&) = delete;
    PngStructs& operator=(const PngStructs&) = delete;

    bool Valid() const { return png_ != nullptr && info_ != nullptr; }
    png_structp Png() const { return png_; }
    png_infop Info() const { return info_; }

  private:
    png_structp png_ = nullptr;
    png_infop info_ = nullptr;
};

// Everything between setjmp and the library's calls is trivially destructible: a longjmp
// out of libpng skips no destructor. The caller owns the structures, the file and the rows.
bool WriteRows(png_structp png, png_infop info, std::FILE* file, const PngLayout* layout, int width,
               int height, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png)) != 0) return false;
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height),
                 layout->bitDepth, layout->colourType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    if (layout->colourType != PNG_COLOR_TYPE_GRAY) png_set_bgr(png);
    png_write_image(png, rows);
    png_write_end(png, info);
    return true;
}

}  // namespace

bool WritePng(const char* path, const uint8_t* pixels, int width, int height, int bits,
              int stride) {
    PngLayout layout{};
    if (pixels == nullptr || width <= 0 || height <= 0 || !LayoutFor(bits, layout)) return false;
    const size_t rowBytes = static_cast<size_t>(width) * static_cast<size_t>(bits / 8);
    if (stride < 0 || static_cast<size_t>(stride) < rowBytes) return false;

    // PNG stores 16-bit samples most significant byte first: such rows go through a copy.
    std::vector<uint8_t> swapped;
    std::vector<png_bytep> rows;
    try {
        rows.resize(static_cast<size_t>(height));
        if (layout.bitDepth == 16) swapped.resize(rowBytes * static_cast<size_t>(height));
    } catch (const std::bad_alloc&) {
        // The same report as an error raised inside the library.
        std::fprintf(stderr, "libpng error: %s\n", "Vizazidav: Out of memory");
        return false;
    }
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = pixels + static_cast<size_t>(y) * static_cast<size_t>(stride);
        if (layout.bitDepth == 16) {
            uint8_t* copy = swapped.data() + static_cast<size_t>(y) * rowBytes;
            for (size_t i = 0; i < rowBytes; i += 2) {
                copy[i] = row[i + 1];
                copy[i + 1] = row[i];
            }
            rows[static_cast<size_t>(y)] = copy;
        } else {
            rows[static_cast<size_t>(y)] = const_cast<png_bytep>(row);
        }
    }

    OutputFile out;
    if (!out.Open(path)) return false;
    OutputFile::Stream file = out.OpenStream();
    if (!file) return false;
    bool written = false;
    {
        PngStructs structs;
        if (!structs.Valid()) return false;
        written = WriteRows(structs.Png(), structs.Info(), file.get(), &layout, width, height,
                            rows.data());
    }
    // libpng's flush does not look at the stream's state: the close does.
    if (!written || std::fflush(file.get()) != 0 || std::ferror(file.get()) != 0 ||
        std::fclose(file.release()) != 0) {
        return false;
    }
    return out.Commit();
}

}  // namespace velcor
