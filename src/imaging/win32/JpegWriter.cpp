// JPEG files through the system's encoder. WIC writes baseline (sequential) JPEG only: it has
// no progressive scan script, so these files are baseline where the libjpeg build writes
// progressive ones; the quality and the picture are the same.
#include "imaging/JpegWriter.h"

#include "imaging/win32/WicEncoder.h"

namespace velcor {

bool WriteJpeg(const char* path, const DibImage& bottomUp, int quality) {
    if (bottomUp.Empty() || (bottomUp.Bits() != 8 && bottomUp.Bits() != 24)) return false;
    if (quality < 1 || quality > 100) return false;
    WicPicture picture;
    picture.container = WicContainer::kJpeg;
    // Colour rows are blue-green-red already, the encoder's own order.
    picture.pixels = bottomUp.Bits() == 8 ? WicPixels::kGray8 : WicPixels::kBgr24;
    picture.width = bottomUp.Width();
    picture.height = bottomUp.Height();
    picture.topRow =
        bottomUp.Pixels() + static_cast<size_t>(bottomUp.Height() - 1) * bottomUp.Stride();
    picture.rowStep = -static_cast<std::ptrdiff_t>(bottomUp.Stride());
    picture.jpegQuality = quality;
    return WriteWicFile(path, picture);
}

}  // namespace velcor
