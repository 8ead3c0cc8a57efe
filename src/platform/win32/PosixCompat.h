// The few POSIX file calls the library's writers and readers use, as the MinGW-w64 runtime
// lacks or shapes them. Included ahead of every source of the Windows build.
//
// Every descriptor the library opens asks for O_CLOEXEC, and every file it opens is binary:
// on Windows the flag maps to a descriptor that child processes do not inherit and that reads
// and writes bytes as they are (the runtime would otherwise translate line ends).
#pragma once

#if defined(_WIN32) && defined(__cplusplus)

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <climits>
#include <cstddef>

#ifndef O_CLOEXEC
#define O_CLOEXEC (_O_NOINHERIT | _O_BINARY)
#endif
#ifndef O_NONBLOCK
#define O_NONBLOCK 0  // files on Windows never block on open
#endif
#ifndef O_NOCTTY
#define O_NOCTTY 0  // no controlling terminals
#endif

// Descriptor duplication is the one fcntl command the library uses; duplicates are never
// inherited here either.
#ifndef F_DUPFD_CLOEXEC
#define F_DUPFD_CLOEXEC 1030
#endif
inline int fcntl(int fd, int command, int) {
    return command == F_DUPFD_CLOEXEC ? ::_dup(fd) : -1;
}

// No symbolic links to tell apart from their targets.
inline int lstat(const char* path, struct stat* status) {
    return ::stat(path, status);
}

struct iovec {
    void* iov_base;
    size_t iov_len;
};

// Writes the pieces one after the other; a short write ends the call as writev would.
inline ssize_t writev(int fd, const iovec* pieces, int count) {
    ssize_t total = 0;
    for (int i = 0; i < count; ++i) {
        const char* bytes = static_cast<const char*>(pieces[i].iov_base);
        size_t left = pieces[i].iov_len;
        while (left > 0) {
            const unsigned chunk = left > INT_MAX ? INT_MAX : static_cast<unsigned>(left);
            const int n = ::_write(fd, bytes, chunk);
            if (n < 0) return total > 0 ? total : -1;
            total += n;
            bytes += n;
            left -= static_cast<size_t>(n);
            if (static_cast<unsigned>(n) < chunk) return total;
        }
    }
    return total;
}

// Writes at an offset and puts the file position back, as pwrite leaves it untouched. Not
// atomic against another thread on the same descriptor; the writers own theirs alone.
inline ssize_t pwrite(int fd, const void* bytes, size_t size, off_t at) {
    const off_t position = ::lseek(fd, 0, SEEK_CUR);
    if (position < 0 || ::lseek(fd, at, SEEK_SET) != at) return -1;
    const int n = ::_write(fd, bytes, size > INT_MAX ? INT_MAX : static_cast<unsigned>(size));
    if (::lseek(fd, position, SEEK_SET) != position) return -1;
    return n;
}

#endif
