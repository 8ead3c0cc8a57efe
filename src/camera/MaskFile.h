// Mask files on disk: the whole file is read and checked before any plane changes, and a
// save either writes every byte or leaves no file behind.
#pragma once

#include <cstdint>
#include <vector>

namespace velcor {

// Reads the regular file at path, which must be no larger than a mask file. False when it
// cannot be opened or read, is no regular file, or is larger.
bool ReadMaskFileBytes(const char* path, std::vector<uint8_t>& bytes);

// Creates (or truncates) the regular file at path and writes bytes to it. Any write or close
// error removes the file and answers false; a path that names something other than a regular
// file (a device, a FIFO, a directory) is refused and left as it is.
bool WriteMaskFileBytes(const char* path, const std::vector<uint8_t>& bytes);

}  // namespace velcor
