// The Windows DLL is built without libjpeg, libpng and libtiff (no MinGW builds of them in the
// build machine's distribution): JPEG, PNG and TIFF files fail to write, as a file that cannot
// be written does, and BMP and raw files stay available.
#include "imaging/JpegWriter.h"
#include "imaging/PngWriter.h"
#include "imaging/TiffWriter.h"

namespace velcor {

bool WriteJpeg(const char*, const DibImage&, int) {
    return false;
}

bool WritePng(const char*, const uint8_t*, int, int, int, int) {
    return false;
}

bool WriteTiff(const char*, const TiffSamples&) {
    return false;
}

}  // namespace velcor
