#include "imaging/OutputFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace velcor {

OutputFile::~OutputFile() {
    Discard();
}

bool OutputFile::Open(const char* path) {
    if (fd_ >= 0) Discard();
    if (path == nullptr || *path == '\0') {
        errno = ENOENT;
        return false;
    }
    const int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    FileIdentity identity;
    if (!IdentifyOpenFile(fd, &identity)) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return false;
    }
    fd_ = fd;
    pending_ = true;
    path_ = path;
    identity_ = identity;
    return true;
}

int OutputFile::Duplicate() const {
    return fd_ >= 0 ? ::fcntl(fd_, F_DUPFD_CLOEXEC, 0) : -1;
}

OutputFile::Stream OutputFile::OpenStream() const {
    const int fd = Duplicate();
    if (fd < 0) return nullptr;
    Stream stream(::fdopen(fd, "wb"));
    if (!stream) ::close(fd);
    return stream;
}

bool OutputFile::Write(const void* data, size_t size) {
    if (fd_ < 0) {
        errno = EBADF;
        return false;
    }
    const auto* bytes = static_cast<const uint8_t*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd_, bytes, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) {
            errno = EIO;
            return false;
        }
        bytes += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool OutputFile::Commit() {
    if (fd_ < 0) {
        errno = EBADF;
        return false;
    }
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) == 0) {
        pending_ = false;
        return true;
    }
    Discard();
    return false;
}

void OutputFile::Discard() {
    const int error = errno;
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (pending_ && identity_.regular) {
        // Remove the name only while it still leads to the file written here.
        FileIdentity now;
        if (IdentifyPath(path_, &now) && now.regular && now.SameFileAs(identity_)) {
            ::unlink(path_);
        }
    }
    pending_ = false;
    errno = error;
}

}  // namespace velcor
