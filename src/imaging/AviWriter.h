// Uncompressed AVI file of 24-bit bottom-up bitmaps: one video stream ("00db" chunks), an
// "idx1" index with every frame a key frame, and a frame rate measured over the recording.
//
// Open writes the headers with provisional values (30 frames per second, no frames, sizes 0);
// each AddFrame appends one chunk with a single write and keeps its index entry in memory;
// Finish writes the index and patches the sizes, the frame count and the timing. A player
// accepts the file only after Finish.
//
// The file stays a valid AVI whatever happens after Open, as long as Finish is called:
// - a failed write (a full disk, a file size limit) cuts the file back to its last whole
//   frame, and AddFrame refuses further frames;
// - a frame that would take the file past what the 32-bit RIFF sizes carry is refused, so
//   the sizes never wrap;
// - Finish with a measured rate of 0 keeps the nominal timing.
//
// Threads: one at a time (the recorder opens it before its thread starts, and the thread adds
// and finishes under the capture's frame lock).
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace velcor {

class AviWriter {
  public:
    static constexpr int kNominalRate = 30;
    // The largest file the 32-bit RIFF size describes: the size counts every byte after the
    // first eight.
    static constexpr uint64_t kMaxFileBytes = 0xFFFFFFFFull + 8;

    enum class AddResult {
        kAdded,
        // The frame would take the file past its size limit; the file holds the frames
        // before it and takes no more (this answer again for the next ones).
        kSizeLimit,
        // The frame could not be written (or nothing is open); the file was cut back to the
        // frames before it and takes no more (this answer again for the next ones).
        kWriteFailed,
    };

    AviWriter() = default;
    ~AviWriter();
    AviWriter(const AviWriter&) = delete;
    AviWriter& operator=(const AviWriter&) = delete;

    // Creates (or truncates) the file and writes the headers for frames of width x height;
    // bits is the colour mode the frames come from (informational). expectedFrames sizes the
    // index ahead, so adding frames allocates nothing. False, with nothing open, when the file
    // cannot be created or written, or the size is not positive.
    bool Open(const char* path, int width, int height, int bits, size_t expectedFrames = 0);
    // Appends one frame: FrameBytes() of 24-bit rows, bottom row first, each row padded to
    // four bytes as a bitmap's rows are.
    AddResult AddFrame(const uint8_t* pixels);
    // Writes the index, patches the header with the frame count and the measured rate in
    // hundredths of a frame per second (0 keeps the nominal 30), and closes the file. When
    // the index does not fit on the disk, frames are dropped from the end until it does.
    // False when the header could not be patched or nothing was open.
    bool Finish(int rateHundredths);
    // Closes the file without finishing it and forgets everything.
    void Reset();

    bool IsOpen() const { return fd_ >= 0; }
    // Frames in the file (after Finish: in the finished file).
    int FrameCount() const { return static_cast<int>(index_.size()); }
    // Bytes of one frame chunk's pixels.
    uint32_t FrameBytes() const { return frameBytes_; }
    // Lowers the file size limit (tests of the limit without writing gigabytes).
    void SetMaxFileBytesForTesting(uint64_t bytes) { maxFileBytes_ = bytes; }

    struct IndexEntry {
        char id[4];
        uint32_t flags;
        uint32_t offset;
        uint32_t size;
    };
    static_assert(sizeof(IndexEntry) == 16);
    // The entries go to the file as they are held.
    static_assert(std::endian::native == std::endian::little);

  private:
    // Cuts the file back to the end of the last whole frame.
    bool CutBackToLastFrame();
    bool PatchHeader(uint32_t microsecondsPerFrame, uint32_t scale);
    void CloseFile();

    int fd_ = -1;
    uint32_t frameBytes_ = 0;
    // Bytes after the RIFF size field, and of the movie list after its size field.
    uint64_t riffBytes_ = 0;
    uint64_t movieBytes_ = 0;
    // What AddFrame answers once a failed write or the size limit closed the file to frames.
    AddResult refusal_ = AddResult::kAdded;
    uint64_t maxFileBytes_ = kMaxFileBytes;
    std::vector<IndexEntry> index_;
};

}  // namespace velcor
