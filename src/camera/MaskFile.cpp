#include "camera/MaskFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "imaging/PixelMask.h"
#include "platform/RegularFile.h"

namespace velcor {

bool ReadMaskFileBytes(const char* path, std::vector<uint8_t>& bytes) {
    // What follows the four planes is not part of the mask.
    return platform::ReadRegularFileHead(path, PixelMask::kFileBytes, bytes) ==
           platform::ReadFileResult::Ok;
}

bool WriteMaskFileBytes(const char* path, const std::vector<uint8_t>& bytes) {
    if (path == nullptr || *path == '\0') return false;
    // Non-blocking, so that a FIFO without a reader is refused at once instead of waiting.
    const int fd =
        ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0) return false;
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return false;
    }
    bool ok = true;
    size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        written += static_cast<size_t>(n);
    }
    // A full disk or quota may only show when the data is flushed on close.
    if (::close(fd) != 0) ok = false;
    // A half-written mask file would load as a different mask later; none is better.
    if (!ok) ::unlink(path);
    return ok;
}

}  // namespace velcor
