// The C runtime's stat gives Windows files no inode, and fstat and stat disagree on the
// device: the identity is the volume's serial number and the file's index on it.
#include "imaging/FileIdentity.h"

#include <io.h>
#include <windows.h>

#include <cerrno>

namespace velcor {
namespace {

bool FromHandle(HANDLE handle, FileIdentity* identity) {
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        // Consoles, NUL, pipes: never a file to remove.
        *identity = FileIdentity{};
        return true;
    }
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(handle, &information)) {
        errno = EIO;
        return false;
    }
    identity->regular = (information.dwFileAttributes &
                         (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
    identity->device = information.dwVolumeSerialNumber;
    identity->file =
        static_cast<uint64_t>(information.nFileIndexHigh) << 32 | information.nFileIndexLow;
    return true;
}

}  // namespace

bool IdentifyOpenFile(int fd, FileIdentity* identity) {
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
    if (handle == INVALID_HANDLE_VALUE) {
        errno = EBADF;
        return false;
    }
    return FromHandle(handle, identity);
}

bool IdentifyPath(const char* path, FileIdentity* identity) {
    // Attributes only, shared with every other opener; a reparse point is looked at itself.
    HANDLE handle = CreateFileA(
        path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        errno = ENOENT;
        return false;
    }
    const bool known = FromHandle(handle, identity);
    CloseHandle(handle);
    return known;
}

}  // namespace velcor
