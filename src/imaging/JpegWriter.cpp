#include "imaging/JpegWriter.h"

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <new>
#include <vector>

// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include "imaging/OutputFile.h"

namespace velcor {
namespace {

// libjpeg's own error_exit ends the process; this one returns into CompressRows.
struct JpegError {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
    (*cinfo->err->output_message)(cinfo);
    std::longjmp(reinterpret_cast<JpegError*>(cinfo->err)->jump, 1);
}

// libjpeg-turbo reads blue-green-red rows itself, in the same pass as its colour conversion;
// plain libjpeg takes red-green-blue, turned round here row by row.
#if defined(JCS_EXTENSIONS)
constexpr J_COLOR_SPACE kColourInput = JCS_EXT_BGR;
#else
constexpr J_COLOR_SPACE kColourInput = JCS_RGB;
#endif

// Everything between setjmp and the library's calls is trivially destructible: a longjmp
// out of libjpeg skips no destructor. The caller owns the compressor, the file and the row
// buffer.
bool CompressRows(jpeg_compress_struct* cinfo, JpegError* error, std::FILE* file,
                  const DibImage* image, int quality, JSAMPLE* rowBuffer) {
    if (setjmp(error->jump) != 0) return false;
    jpeg_create_compress(cinfo);
    jpeg_stdio_dest(cinfo, file);
    const bool colour = image->Bits() == 24;
    cinfo->image_width = static_cast<JDIMENSION>(image->Width());
    cinfo->image_height = static_cast<JDIMENSION>(image->Height());
    cinfo->input_components = colour ? 3 : 1;
    cinfo->in_color_space = colour ? kColourInput : JCS_GRAYSCALE;
    jpeg_set_defaults(cinfo);
    jpeg_set_quality(cinfo, quality, TRUE);
    jpeg_simple_progression(cinfo);
    jpeg_start_compress(cinfo, TRUE);
    const uint8_t* pixels = image->Pixels();
    const int width = image->Width();
    for (int y = image->Height() - 1; y >= 0; --y) {
        const uint8_t* row = pixels + static_cast<size_t>(y) * image->Stride();
        JSAMPROW sampleRow;
        if (colour && kColourInput == JCS_RGB) {
            for (int x = 0; x < width; ++x) {
                rowBuffer[3 * x] = row[3 * x + 2];
                rowBuffer[3 * x + 1] = row[3 * x + 1];
                rowBuffer[3 * x + 2] = row[3 * x];
            }
            sampleRow = rowBuffer;
        } else {
            sampleRow = const_cast<JSAMPLE*>(row);
        }
        jpeg_write_scanlines(cinfo, &sampleRow, 1);
    }
    jpeg_finish_compress(cinfo);
    return true;
}

}  // namespace

bool WriteJpeg(const char* path, const DibImage& bottomUp, int quality) {
    if (bottomUp.Empty() || (bottomUp.Bits() != 8 && bottomUp.Bits() != 24)) return false;
    std::vector<JSAMPLE> rowBuffer;
    try {
        if (bottomUp.Bits() == 24 && kColourInput == JCS_RGB) {
            rowBuffer.resize(static_cast<size_t>(bottomUp.Width()) * 3);
        }
    } catch (const std::bad_alloc&) {
        return false;
    }

    OutputFile out;
    if (!out.Open(path)) return false;
    OutputFile::Stream file = out.OpenStream();
    if (!file) return false;

    JpegError error;
    jpeg_compress_struct cinfo{};
    cinfo.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = ErrorExit;
    const bool written =
        CompressRows(&cinfo, &error, file.get(), &bottomUp, quality, rowBuffer.data());
    jpeg_destroy_compress(&cinfo);
    // The library's destination flushes and checks the stream at the finish; the close
    // still reports a failure the system defers to it.
    if (!written || std::fclose(file.release()) != 0) return false;
    return out.Commit();
}

}  // namespace velcor
