#include "imaging/FileIdentity.h"

#include <sys/stat.h>

namespace velcor {
namespace {

void FromStatus(const struct stat& status, FileIdentity* identity) {
    identity->regular = S_ISREG(status.st_mode);
    identity->device = static_cast<uint64_t>(status.st_dev);
    identity->file = static_cast<uint64_t>(status.st_ino);
}

}  // namespace

bool IdentifyOpenFile(int fd, FileIdentity* identity) {
    struct stat status {};
    if (::fstat(fd, &status) != 0) return false;
    FromStatus(status, identity);
    return true;
}

bool IdentifyPath(const char* path, FileIdentity* identity) {
    struct stat status {};
    if (::lstat(path, &status) != 0) return false;
    FromStatus(status, identity);
    return true;
}

}  // namespace velcor
