// Image files through the Windows Imaging Component, the encoders every Windows (and Wine)
// ships: the Windows build's JPEG and PNG writers hand their pixels to it.
//
// COM is initialised on the calling thread for the length of one save and left as it was: a
// thread that already lives in an apartment of the application's (single- or multi-threaded)
// keeps it, and a thread without COM is without it again afterwards. The file goes through
// OutputFile, so a failed save leaves no file behind.
#pragma once

#include <cstddef>
#include <cstdint>

namespace velcor {

enum class WicContainer { kJpeg, kPng };

// The pixel layouts the encoders take, as WIC names them: colour bytes blue-green-red, colour
// words red-green-blue, 16-bit samples in the machine's byte order (an encoder that stores
// them the other way round is found out once and handed them turned). The fourth channel is
// alpha.
enum class WicPixels { kGray8, kGray16, kBgr24, kBgra32, kRgb48, kRgba64 };

// Turns one row of the caller's memory into the pixel layout above.
using WicRowConversion = void (*)(uint8_t* out, const uint8_t* in, int width);

struct WicPicture {
    WicContainer container = WicContainer::kPng;
    WicPixels pixels = WicPixels::kGray8;
    int width = 0;
    int height = 0;
    // The picture's top row, and the distance in bytes from one row of the picture to the
    // next one down (negative for bottom-up memory).
    const uint8_t* topRow = nullptr;
    std::ptrdiff_t rowStep = 0;
    // Null when the memory already has the layout.
    WicRowConversion convert = nullptr;
    // JPEG only: 1-100.
    int jpegQuality = 100;
};

// Writes the picture as one frame of the container. False, with no file left, when the
// path cannot be written or the encoder fails; *encoderStatus (when given) gets the failing
// HRESULT of COM or the encoder, or 0 when the file itself failed.
bool WriteWicFile(const char* path, const WicPicture& picture, long* encoderStatus = nullptr);

}  // namespace velcor
