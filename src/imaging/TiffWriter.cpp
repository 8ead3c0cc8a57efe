#include "imaging/TiffWriter.h"

#include <tiffio.h>
#include <unistd.h>

#include <cstddef>

#include "imaging/OutputFile.h"

namespace velcor {

bool WriteTiff(const char* path, const TiffSamples& samples) {
    if (samples.pixels == nullptr || samples.width <= 0 || samples.height <= 0) return false;
    const size_t bytes = static_cast<size_t>(samples.width) * samples.height *
                         static_cast<size_t>(samples.samplesPerPixel) *
                         static_cast<size_t>(samples.bitsPerSample / 8);

    OutputFile out;
    if (!out.Open(path)) return false;
    const int fd = out.Duplicate();
    if (fd < 0) return false;
    // The library closes its descriptor; the last close, below, is ours and checked.
    TIFF* tiff = TIFFFdOpen(fd, path, "w");
    if (tiff == nullptr) {
        ::close(fd);
        return false;
    }
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(samples.width));
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(samples.height));
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, static_cast<uint16_t>(samples.bitsPerSample));
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, static_cast<uint16_t>(samples.photometric));
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, static_cast<uint16_t>(samples.samplesPerPixel));
    // No RowsPerStrip: the whole image is strip 0.
    const bool written =
        TIFFWriteEncodedStrip(tiff, 0, const_cast<uint8_t*>(samples.pixels),
                              static_cast<tmsize_t>(bytes)) == static_cast<tmsize_t>(bytes) &&
        TIFFFlush(tiff) == 1;
    TIFFClose(tiff);
    return written && out.Commit();
}

}  // namespace velcor
