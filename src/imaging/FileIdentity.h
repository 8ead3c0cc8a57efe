// Which file an open descriptor or a path leads to: lets a writer tell whether a name still
// names the file it wrote before it removes that name.
#pragma once

#include <cstdint>

namespace velcor {

struct FileIdentity {
    bool regular = false;  // a plain file (not a device, folder or pipe)
    uint64_t device = 0;
    uint64_t file = 0;

    bool SameFileAs(const FileIdentity& other) const {
        return device == other.device && file == other.file;
    }
};

// False (errno set) when the system cannot tell.
bool IdentifyOpenFile(int fd, FileIdentity* identity);
// The path itself, a symbolic link not followed. False (errno set) when it leads nowhere.
bool IdentifyPath(const char* path, FileIdentity* identity);

}  // namespace velcor
