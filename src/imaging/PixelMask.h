// The pixel mask of the sensor: dark and bright reference frames at both raw depths, the
// hot- and dead-pixel maps derived from them, and the scratch maps of the dot correction. It
// corrects raw frames in place: the flat field normalises every pixel between its dark and its
// bright reference, the dot correction replaces pixels that are marked defective or stand out
// from their four neighbours.
//
// The planes cover the whole sensor (1280 x 1024) and start cleared; a cleared mask changes
// nothing in a frame. The mask file holds a 40-byte header and the four reference planes, little
// endian; the maps are not stored and are rebuilt whenever a reference changes.
//
// No lock of its own: the camera object guards it with its mask lock.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "imaging/DibImage.h"

namespace velcor {

// Planes of the mask, five of 8 bits, then the same five of 16 bits.
enum class MaskPlane : int {
    kDark8 = 0,
    kBright8,
    kHot8,
    kDead8,
    kDot8,
    kDark16,
    kBright16,
    kHot16,
    kDead16,
    kDot16,
};
inline constexpr int kMaskPlaneCount = 10;

// How a buffer measures up against the mask file layout.
enum class MaskFileCheck {
    kOk,         // header right and all four planes there; bytes after them do not count
    kBadHeader,  // shorter than the header, or wrong magic or header values
    kTruncated,  // right header, but the planes end early
};

class PixelMask {
  public:
    static constexpr int kWidth = 1280;
    static constexpr int kHeight = 1024;
    static constexpr size_t kHeaderBytes = 40;
    static constexpr size_t kPlane8Bytes = size_t{kWidth} * kHeight;
    static constexpr size_t kPlane16Bytes = kPlane8Bytes * 2;
    static constexpr size_t kFileBytes = kHeaderBytes + 2 * kPlane8Bytes + 2 * kPlane16Bytes;
    static_assert(kFileBytes == 7'864'360);

    // Reference samples beyond these mark a hot (dark reference) or dead (bright reference)
    // pixel.
    static constexpr int kHotAbove8 = 192;
    static constexpr int kDeadBelow8 = 64;
    static constexpr int kHotAbove16 = 3072;
    static constexpr int kDeadBelow16 = 1024;
    // Distance from the neighbours' mean that makes a pixel a dot.
    static constexpr int kDotThreshold8 = 30;
    static constexpr int kDotThreshold16 = 480;

    PixelMask() = default;
    PixelMask(const PixelMask&) = delete;
    PixelMask& operator=(const PixelMask&) = delete;

    // Allocates the ten planes, all cleared. False (and nothing held) when memory is short.
    bool Create();
    void Release();
    bool Ready() const { return !planes_[0].Empty(); }

    const DibImage& Plane(MaskPlane plane) const { return planes_[static_cast<int>(plane)]; }

    // ---- Mask file
    static MaskFileCheck CheckFile(const uint8_t* data, size_t size);
    // Takes the four reference planes from a whole mask file and rebuilds the maps. False,
    // with no plane changed, unless CheckFile answers kOk.
    bool LoadFile(const uint8_t* data, size_t size);
    // The mask file of the current references (kFileBytes). Empty before Create.
    std::vector<uint8_t> SaveFile() const;

    // ---- References
    // Takes a whole-sensor raw frame (8 or 16 bits) as the dark (kind 0) or bright (kind 1)
    // reference of its depth and rebuilds that map. False, with nothing changed, for any
    // other size, depth or kind.
    bool UpdateReference(const DibImage& raw, int kind);
    // Derives the hot (kind 0) or dead (kind 1) map of a depth from its reference. The two
    // outermost rows and columns are not written.
    void RebuildMap(int bits, int kind);

    // ---- Corrections, on a raw frame in place (8 or 16 bits; other depths are left alone)
    // Flat field. (xStart, yStart) places the frame on the sensor. A whole-width or
    // whole-height frame keeps a two-pixel margin. Left unchanged: pixels whose references
    // would lie off the sensor, 8-bit pixels with equal references and 16-bit pixels whose
    // references do not rise from dark to bright.
    void CorrectFlatField(DibImage& raw, int xStart, int yStart) const;
    // Dot correction: marks pixels at least four away from the frame's edges that the hot or
    // dead map flags (at their sensor position) or that differ from the mean of their four
    // neighbours by the threshold or more, then replaces each marked pixel by the mean of the
    // nearest unmarked pixel in each of the four directions. Frames smaller than 9 x 9 have
    // nothing to mark; frames larger than the sensor are left alone.
    void CorrectDots(DibImage& raw, int xStart, int yStart);

  private:
    DibImage& PlaneRef(MaskPlane plane) { return planes_[static_cast<int>(plane)]; }
    template <typename T>
    void RebuildMapOf(MaskPlane reference, MaskPlane map, bool hot, int threshold);
    template <typename T>
    void CorrectDotsOf(DibImage& raw, int xStart, int yStart, MaskPlane hot, MaskPlane dead,
                       MaskPlane dots, int threshold);

    std::array<DibImage, kMaskPlaneCount> planes_;
    // Scratch of the dot correction, one entry per column, kept between frames.
    std::vector<int> above_;
    std::vector<int> below_;
};

}  // namespace velcor
