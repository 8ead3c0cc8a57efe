// Writes an image buffer to a file in one of the formats of Velcor_SaveImage: BMP and raw
// written here, JPEG, PNG and TIFF through their libraries. The format is the caller's number,
// never guessed from the file name.
//
// Each depth is prepared for each format as the format needs: BMP and JPEG rows turned bottom
// first, blue-green-red turned into red-green-blue for TIFF and JPEG, 16-bit samples turned
// most significant byte first for PNG, the unused fourth channel made opaque where a format
// reads it as alpha. Scratch images live for one save. Nothing is kept between calls, so saves
// on several threads at once are safe as long as each has its own image.
//
// A failed save removes the file it started, and answers 0 with errno telling why where the
// system said so.
#pragma once

#include "imaging/DibImage.h"

namespace velcor {

enum ImageFileFormat : int {
    kFileBmp = 0,
    kFileRaw = 1,
    kFileJpeg100 = 2,
    kFileJpeg70 = 3,
    kFileJpeg20 = 4,
    kFilePng = 5,
    kFileTiff = 6,
};

// 1 when the whole file was written, 0 otherwise; an unknown format writes nothing.
int SaveImageFile(const char* path, const DibImage& image, int format);

}  // namespace velcor
