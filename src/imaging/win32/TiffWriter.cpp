// Baseline TIFF files written directly: uncompressed, contiguous samples, the whole image in
// one strip, little-endian as the machine's samples are. Such a file needs no codec, and
// writing it here keeps what the system's TIFF encoder would change: WIC declares a fourth
// sample as alpha (ExtraSamples) and cuts the image into strips of its choosing, and Wine's
// encoder takes no 16-bit gray at all.
#include "imaging/TiffWriter.h"

#include <array>
#include <cerrno>
#include <cstddef>
#include <cstdint>

#include "imaging/OutputFile.h"

namespace velcor {
namespace {

constexpr uint16_t kShort = 3;
constexpr uint16_t kLong = 4;
constexpr int kEntries = 10;
constexpr size_t kDirectoryAt = 8;
constexpr size_t kDirectoryBytes = 2 + 12 * kEntries + 4;
// BitsPerSample of more than two samples lies outside its entry, after the directory.
constexpr size_t kBitsAt = kDirectoryAt + kDirectoryBytes;
constexpr size_t kStripAt = kBitsAt + 8;

class HeaderBytes {
  public:
    void Put16(uint16_t v) {
        bytes_[at_++] = static_cast<uint8_t>(v);
        bytes_[at_++] = static_cast<uint8_t>(v >> 8);
    }
    void Put32(uint32_t v) {
        Put16(static_cast<uint16_t>(v));
        Put16(static_cast<uint16_t>(v >> 16));
    }
    // One directory entry of a single value, or of a value held elsewhere (offset).
    void Entry(uint16_t tag, uint16_t type, uint32_t count, uint32_t value) {
        Put16(tag);
        Put16(type);
        Put32(count);
        if (type == kShort && count == 1) {
            Put16(static_cast<uint16_t>(value));
            Put16(0);
        } else {
            Put32(value);
        }
    }
    size_t Size() const { return at_; }
    const uint8_t* Data() const { return bytes_.data(); }

  private:
    std::array<uint8_t, kStripAt> bytes_{};
    size_t at_ = 0;
};

}  // namespace

bool WriteTiff(const char* path, const TiffSamples& samples) {
    if (samples.pixels == nullptr || samples.width <= 0 || samples.height <= 0) return false;
    if ((samples.bitsPerSample != 8 && samples.bitsPerSample != 16) ||
        samples.samplesPerPixel < 1 || samples.samplesPerPixel > 4) {
        return false;
    }
    const uint64_t bytes = static_cast<uint64_t>(samples.width) * samples.height *
                           static_cast<uint64_t>(samples.samplesPerPixel) *
                           static_cast<uint64_t>(samples.bitsPerSample / 8);
    // Classic TIFF addresses its file with 32-bit offsets.
    if (bytes > UINT32_MAX - kStripAt) {
        errno = EFBIG;
        return false;
    }
    const auto spp = static_cast<uint16_t>(samples.samplesPerPixel);
    const auto bits = static_cast<uint16_t>(samples.bitsPerSample);

    HeaderBytes header;
    header.Put16(0x4949);  // "II": little-endian
    header.Put16(42);
    header.Put32(kDirectoryAt);
    header.Put16(kEntries);
    header.Entry(256, kLong, 1, static_cast<uint32_t>(samples.width));   // ImageWidth
    header.Entry(257, kLong, 1, static_cast<uint32_t>(samples.height));  // ImageLength
    if (spp <= 2) {
        // Up to two values fit the entry itself.
        header.Put16(258);
        header.Put16(kShort);
        header.Put32(spp);
        header.Put16(bits);
        header.Put16(spp == 2 ? bits : 0);
    } else {
        header.Entry(258, kShort, spp, kBitsAt);  // BitsPerSample
    }
    header.Entry(259, kShort, 1, 1);  // Compression: none
    header.Entry(262, kShort, 1, static_cast<uint32_t>(samples.photometric));
    header.Entry(273, kLong, 1, kStripAt);                               // StripOffsets
    header.Entry(277, kShort, 1, spp);                                   // SamplesPerPixel
    header.Entry(278, kLong, 1, static_cast<uint32_t>(samples.height));  // RowsPerStrip
    header.Entry(279, kLong, 1, static_cast<uint32_t>(bytes));           // StripByteCounts
    header.Entry(284, kShort, 1, 1);  // PlanarConfiguration: contiguous
    header.Put32(0);                  // no further directory
    for (int i = 0; i < 4; ++i)
        header.Put16(i < spp && spp > 2 ? bits : 0);

    OutputFile out;
    if (!out.Open(path)) return false;
    if (!out.Write(header.Data(), header.Size()) ||
        !out.Write(samples.pixels, static_cast<size_t>(bytes))) {
        return false;
    }
    return out.Commit();
}

}  // namespace velcor
