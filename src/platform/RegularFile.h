// Whole-file reads of small regular files, such as configuration files that a caller names.
// Only a regular file is read: a directory, a FIFO, a socket or a device is refused, and the
// open never blocks (a FIFO without a writer answers at once). The size is bounded, so a
// large or endless file costs neither the time nor the memory to read it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace velcor::platform {

enum class ReadFileResult {
    Ok,          // `bytes` holds the whole file
    CannotOpen,  // missing, not permitted, or a name the system refuses
    NotRegular,  // a directory, FIFO, socket, or character or block device
    TooLarge,    // more than the limit
    ReadFailed,  // an error while reading
};

// Reads the regular file at `path`, at most `limit` bytes. `bytes` is replaced only on Ok and
// left as it was otherwise.
ReadFileResult ReadRegularFile(const char* path, size_t limit, std::vector<uint8_t>& bytes);

// Reads the first `count` bytes of the regular file at `path`, or the whole file when it is
// shorter: a longer file is not TooLarge here. `bytes` is replaced only on Ok.
ReadFileResult ReadRegularFileHead(const char* path, size_t count, std::vector<uint8_t>& bytes);

}  // namespace velcor::platform
