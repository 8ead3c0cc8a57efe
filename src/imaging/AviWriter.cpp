#include "imaging/AviWriter.h"

#include <fcntl.h>
#ifndef _WIN32
#include <sys/uio.h>  // the Windows build declares writev itself
#endif
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include "imaging/DibImage.h"

namespace velcor {
namespace {

// The fixed part of the file up to and including "movi".
constexpr size_t kHeaderBytes = 232;
// File offsets of the fields Finish patches.
constexpr off_t kRiffSizeAt = 4;
constexpr off_t kMicrosecondsPerFrameAt = 32;
constexpr off_t kTotalFramesAt = 48;
constexpr off_t kScaleAt = 128;
constexpr off_t kLengthAt = 140;
constexpr off_t kMovieSizeAt = 224;
// The movie list counts from its "movi" identifier.
constexpr uint64_t kMovieStart = 4;
constexpr uint32_t kStreamRate = 10000000;
constexpr uint32_t kAviHasIndex = 0x10;
constexpr uint32_t kAviWasCaptureFile = 0x10000;
constexpr uint32_t kIndexKeyFrame = 0x10;
// At most 1 MB of index ahead (over ten minutes at 100 frames per second); a longer
// recording grows it rarely (the vector doubles).
constexpr size_t kMaxIndexReserve = 1u << 16;

class HeaderBytes {
  public:
    void Text(size_t at, const char (&text)[5]) { std::memcpy(&bytes_[at], text, 4); }
    void U32(size_t at, uint32_t value) {
        for (int i = 0; i < 4; ++i)
            bytes_[at + i] = static_cast<uint8_t>(value >> (8 * i));
    }
    void U16(size_t at, uint16_t value) {
        bytes_[at] = static_cast<uint8_t>(value);
        bytes_[at + 1] = static_cast<uint8_t>(value >> 8);
    }
    const uint8_t* Data() const { return bytes_.data(); }

  private:
    std::array<uint8_t, kHeaderBytes> bytes_{};
};

// Writes all of the pieces, continuing after partial writes. False (errno set) when the
// system refuses more.
bool WriteAll(int fd, iovec* pieces, int count) {
    while (count > 0) {
        const ssize_t written = ::writev(fd, pieces, count);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (written == 0) {
            errno = EIO;
            return false;
        }
        auto left = static_cast<size_t>(written);
        while (count > 0 && left >= pieces->iov_len) {
            left -= pieces->iov_len;
            ++pieces;
            --count;
        }
        if (count > 0) {
            pieces->iov_base = static_cast<uint8_t*>(pieces->iov_base) + left;
            pieces->iov_len -= left;
        }
    }
    return true;
}

bool PatchU32(int fd, off_t at, uint32_t value) {
    uint8_t bytes[4];
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<uint8_t>(value >> (8 * i));
    return ::pwrite(fd, bytes, sizeof bytes, at) == static_cast<ssize_t>(sizeof bytes);
}

}  // namespace

AviWriter::~AviWriter() {
    CloseFile();
}

void AviWriter::CloseFile() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

void AviWriter::Reset() {
    CloseFile();
    index_.clear();
    frameBytes_ = 0;
    riffBytes_ = 0;
    movieBytes_ = 0;
    refusal_ = AddResult::kAdded;
}

bool AviWriter::Open(const char* path, int width, int height, [[maybe_unused]] int bits,
                     size_t expectedFrames) {
    Reset();
    if (path == nullptr || width <= 0 || height <= 0) return false;
    // Bitmap rows are padded to four bytes; widths that are multiples of four have none.
    const uint64_t frameBytes =
        static_cast<uint64_t>(DibImage::StrideFor(width, 24)) * static_cast<uint64_t>(height);
    if (frameBytes + 8 > UINT32_MAX) return false;
    const auto f = static_cast<uint32_t>(frameBytes);

    HeaderBytes h;
    h.Text(0, "RIFF");
    h.U32(4, 0);
    h.Text(8, "AVI ");
    h.Text(12, "LIST");
    h.U32(16, 200);
    h.Text(20, "hdrl");
    h.Text(24, "avih");
    h.U32(28, 56);
    // Main header.
    h.U32(32, 1000000 / kNominalRate);
    h.U32(36, (f + 8) * kNominalRate);
    h.U32(44, kAviHasIndex | kAviWasCaptureFile);
    h.U32(56, 1);
    h.U32(60, f + 8);
    h.U32(64, static_cast<uint32_t>(width));
    h.U32(68, static_cast<uint32_t>(height));
    h.Text(88, "LIST");
    h.U32(92, 124);
    h.Text(96, "strl");
    h.Text(100, "strh");
    h.U32(104, 64);
    // Stream header: the frame time is scale / rate seconds.
    h.Text(108, "vids");
    h.Text(112, "DIB ");
    h.U32(128, kStreamRate / kNominalRate);
    h.U32(132, kStreamRate);
    h.U32(144, f + 8);
    h.Text(172, "strf");
    h.U32(176, 40);
    // Bitmap header: positive height, a bottom-up bitmap.
    h.U32(180, 40);
    h.U32(184, static_cast<uint32_t>(width));
    h.U32(188, static_cast<uint32_t>(height));
    h.U16(192, 1);
    h.U16(194, 24);
    h.Text(220, "LIST");
    h.U32(224, 0);
    h.Text(228, "movi");

    const int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    iovec piece{const_cast<uint8_t*>(h.Data()), kHeaderBytes};
    if (!WriteAll(fd, &piece, 1)) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    frameBytes_ = f;
    riffBytes_ = kHeaderBytes - 8;
    movieBytes_ = kMovieStart;
    index_.reserve(std::min(expectedFrames, kMaxIndexReserve));
    return true;
}

AviWriter::AddResult AviWriter::AddFrame(const uint8_t* pixels) {
    if (fd_ < 0) return AddResult::kWriteFailed;
    if (refusal_ != AddResult::kAdded) return refusal_;
    const uint64_t chunk = 8 + static_cast<uint64_t>(frameBytes_);
    // The file after Finish: the RIFF header, what is written, this chunk, and the index with
    // this frame's entry.
    const uint64_t finished = 8 + riffBytes_ + chunk + 8 + 16 * (index_.size() + 1);
    if (finished > maxFileBytes_) {
        refusal_ = AddResult::kSizeLimit;
        return refusal_;
    }
    uint8_t head[8] = {'0', '0', 'd', 'b'};
    for (int i = 0; i < 4; ++i)
        head[4 + i] = static_cast<uint8_t>(frameBytes_ >> (8 * i));
    iovec pieces[2] = {{head, sizeof head}, {const_cast<uint8_t*>(pixels), frameBytes_}};
    if (!WriteAll(fd_, pieces, 2)) {
        refusal_ = AddResult::kWriteFailed;
        CutBackToLastFrame();
        return refusal_;
    }
    index_.push_back(IndexEntry{
        {'0', '0', 'd', 'b'}, kIndexKeyFrame, static_cast<uint32_t>(movieBytes_), frameBytes_});
    riffBytes_ += chunk;
    movieBytes_ += chunk;
    return AddResult::kAdded;
}

bool AviWriter::CutBackToLastFrame() {
    const auto end = static_cast<off_t>(8 + riffBytes_);
    return ::ftruncate(fd_, end) == 0 && ::lseek(fd_, end, SEEK_SET) == end;
}

bool AviWriter::PatchHeader(uint32_t microsecondsPerFrame, uint32_t scale) {
    const auto frames = static_cast<uint32_t>(index_.size());
    return PatchU32(fd_, kRiffSizeAt, static_cast<uint32_t>(riffBytes_)) &&
           PatchU32(fd_, kMovieSizeAt, static_cast<uint32_t>(movieBytes_)) &&
           PatchU32(fd_, kTotalFramesAt, frames) && PatchU32(fd_, kLengthAt, frames) &&
           PatchU32(fd_, kMicrosecondsPerFrameAt, microsecondsPerFrame) &&
           PatchU32(fd_, kScaleAt, scale);
}

bool AviWriter::Finish(int rateHundredths) {
    if (fd_ < 0) return false;
    // The index goes after the last whole frame. Where the disk has no room for it, the
    // frames at the end make way: a shorter film beats one that players refuse.
    bool indexWritten = false;
    while (!indexWritten) {
        if (!CutBackToLastFrame()) break;
        const auto indexBytes = static_cast<uint32_t>(16 * index_.size());
        uint8_t head[8] = {'i', 'd', 'x', '1'};
        for (int i = 0; i < 4; ++i)
            head[4 + i] = static_cast<uint8_t>(indexBytes >> (8 * i));
        iovec pieces[2] = {{head, sizeof head}, {index_.data(), indexBytes}};
        indexWritten = WriteAll(fd_, pieces, 2);
        if (indexWritten || index_.empty()) break;
        index_.pop_back();
        riffBytes_ -= 8 + static_cast<uint64_t>(frameBytes_);
        movieBytes_ -= 8 + static_cast<uint64_t>(frameBytes_);
    }
    if (indexWritten) riffBytes_ += 8 + 16 * index_.size();

    // A rate of 0 (no two frames a millisecond apart) has no frame time: the nominal one stays.
    uint32_t microsecondsPerFrame = 1000000 / kNominalRate;
    uint32_t scale = kStreamRate / kNominalRate;
    if (rateHundredths > 0) {
        microsecondsPerFrame = static_cast<uint32_t>(100000000 / rateHundredths);
        scale = static_cast<uint32_t>(1000000000 / rateHundredths);
    }
    const bool patched = PatchHeader(microsecondsPerFrame, scale);
    const bool closed = ::close(fd_) == 0;
    fd_ = -1;
    return indexWritten && patched && closed;
}

}  // namespace velcor
