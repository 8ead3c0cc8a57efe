#include "platform/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

namespace velcor::platform {
namespace {

// Closes the descriptor it owns.
class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return fd_; }

  private:
    int fd_;
};

// Reads the file up to `limit` bytes; a file beyond the limit is TooLarge unless `cut`, which
// keeps its first `limit` bytes.
ReadFileResult Read(const char* path, size_t limit, bool cut, std::vector<uint8_t>& bytes) {
    if (path == nullptr) return ReadFileResult::CannotOpen;
    // Non-blocking, so that opening a FIFO without a writer does not wait for one; the type
    // is checked on the open descriptor, so the file cannot be swapped between check and use.
    const FileDescriptor file(::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (file.Get() < 0) return ReadFileResult::CannotOpen;
    struct stat status {};
    if (::fstat(file.Get(), &status) != 0) return ReadFileResult::ReadFailed;
    if (!S_ISREG(status.st_mode)) return ReadFileResult::NotRegular;
    if (status.st_size < 0) return ReadFileResult::ReadFailed;
    if (!cut && static_cast<uint64_t>(status.st_size) > limit) return ReadFileResult::TooLarge;

    // The file may grow or shrink after fstat: read until its end, but never past the limit
    // and one byte more, which tells a file that grew beyond the limit.
    std::vector<uint8_t> content(
        static_cast<size_t>(std::min<uint64_t>(static_cast<uint64_t>(status.st_size), limit)) + 1);
    size_t total = 0;
    for (;;) {
        if (total == content.size()) {
            if (total > limit) {
                if (cut) break;
                return ReadFileResult::TooLarge;
            }
            content.resize(std::min(limit + 1, total + total / 2 + 4096));
        }
        const ssize_t n = ::read(file.Get(), content.data() + total, content.size() - total);
        if (n < 0) {
            if (errno == EINTR) continue;
            return ReadFileResult::ReadFailed;
        }
        if (n == 0) break;
        total += static_cast<size_t>(n);
    }
    if (total > limit) {
        if (!cut) return ReadFileResult::TooLarge;
        total = limit;
    }
    content.resize(total);
    bytes = std::move(content);
    return ReadFileResult::Ok;
}

}  // namespace

ReadFileResult ReadRegularFile(const char* path, size_t limit, std::vector<uint8_t>& bytes) {
    return Read(path, limit, false, bytes);
}

ReadFileResult ReadRegularFileHead(const char* path, size_t count, std::vector<uint8_t>& bytes) {
    return Read(path, count, true, bytes);
}

}  // namespace velcor::platform
