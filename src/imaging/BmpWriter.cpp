#include "imaging/BmpWriter.h"

#include <cstdint>
#include <cstring>

#include "imaging/OutputFile.h"

namespace velcor {
namespace {

#pragma pack(push, 1)
struct BitmapFileHeader {
    uint16_t type;
    uint32_t size;
    uint16_t reserved1;
    uint16_t reserved2;
    uint32_t offBits;
};
#pragma pack(pop)
static_assert(sizeof(BitmapFileHeader) == 14);

constexpr uint16_t kBitmapType = 0x4D42;  // "BM"

struct GrayRamp {
    RgbQuad entries[256];
    GrayRamp() {
        for (int i = 0; i < 256; ++i) {
            const auto v = static_cast<uint8_t>(i);
            entries[i] = RgbQuad{v, v, v, 0};
        }
    }
};

}  // namespace

bool WriteBmp(const char* path, const DibImage& bottomUp) {
    if (bottomUp.Empty()) return false;
    const bool withTable = bottomUp.Bits() <= 8;
    const uint32_t offset = static_cast<uint32_t>(
        sizeof(BitmapFileHeader) + sizeof(BitmapInfoHeader) + (withTable ? 256 * 4 : 0));
    const uint64_t fileSize = offset + static_cast<uint64_t>(bottomUp.ByteSize());
    if (fileSize > UINT32_MAX) return false;

    BitmapFileHeader file{};
    file.type = kBitmapType;
    file.size = static_cast<uint32_t>(fileSize);
    file.offBits = offset;
    // The header as the image holds it; the file describes the same bottom-up bitmap.
    BitmapInfoHeader info = bottomUp.Info().header;
    info.biSize = sizeof(BitmapInfoHeader);
    info.biWidth = bottomUp.Width();
    info.biHeight = bottomUp.Height();
    info.biPlanes = 1;
    info.biBitCount = static_cast<uint16_t>(bottomUp.Bits());
    info.biCompression = 0;
    info.biSizeImage = 0;
    info.biXPelsPerMeter = info.biYPelsPerMeter = 0;
    info.biClrUsed = info.biClrImportant = 0;

    static const GrayRamp kGrayRamp;
    OutputFile out;
    if (!out.Open(path)) return false;
    if (!out.Write(&file, sizeof file) || !out.Write(&info, sizeof info) ||
        (withTable && !out.Write(kGrayRamp.entries, sizeof kGrayRamp.entries)) ||
        !out.Write(bottomUp.Pixels(), bottomUp.ByteSize())) {
        return false;
    }
    return out.Commit();
}

bool WriteRaw(const char* path, const DibImage& image) {
    if (image.Empty()) return false;
    OutputFile out;
    return out.Open(path) && out.Write(image.Pixels(), image.ByteSize()) && out.Commit();
}

}  // namespace velcor
