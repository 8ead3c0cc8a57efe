#include "platform/FileMapping.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace velcor::platform {
namespace {

// Byte 0 of the object is the gate that serialises opening and closing; byte 1 carries a shared
// lock of every holder; byte 2 guards the contents. The locks cover bytes of the object but
// never keep anybody from reading or writing the mapped memory: they only order the holders.
constexpr off_t kGateByte = 0;
constexpr off_t kHolderByte = 1;
constexpr off_t kContentsByte = 2;

bool Lock(int fd, short type, off_t byte, bool wait) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = byte;
    lock.l_len = 1;
    for (;;) {
        if (fcntl(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &lock) == 0) return true;
        if (errno != EINTR) return false;
    }
}

// Drops this description's locks, then the descriptor.
void Release(int fd) {
    Lock(fd, F_UNLCK, kContentsByte, false);
    Lock(fd, F_UNLCK, kHolderByte, false);
    Lock(fd, F_UNLCK, kGateByte, false);
    close(fd);
}

}  // namespace

std::unique_ptr<FileMapping> FileMapping::OpenOrCreate(const std::string& name, size_t size,
                                                       bool* alreadyExisted) {
    const std::string objectName = (!name.empty() && name[0] == '/') ? name : "/" + name;
    // A few rounds at most: a round is only repeated when the last holder removed the object
    // between our open and our gate lock.
    for (int round = 0; round < 100; ++round) {
        const int fd = shm_open(objectName.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (fd < 0) return nullptr;
        if (!Lock(fd, F_WRLCK, kGateByte, true)) {
            close(fd);
            return nullptr;
        }
        struct stat info {};
        if (fstat(fd, &info) != 0) {
            Release(fd);
            return nullptr;
        }
        if (info.st_nlink == 0) {
            Release(fd);
            continue;
        }
        const bool alone = Lock(fd, F_WRLCK, kHolderByte, false);
        bool sized = true;
        if (alone) {
            // No live holder: whatever a dead one left behind is discarded.
            sized = ftruncate(fd, 0) == 0 && ftruncate(fd, static_cast<off_t>(size)) == 0;
        } else if (static_cast<size_t>(info.st_size) < size) {
            sized = ftruncate(fd, static_cast<off_t>(size)) == 0;
        }
        void* view = MAP_FAILED;
        if (sized && Lock(fd, F_RDLCK, kHolderByte, false)) {
            view = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        }
        if (view == MAP_FAILED) {
            if (alone) shm_unlink(objectName.c_str());
            Release(fd);
            return nullptr;
        }
        Lock(fd, F_UNLCK, kGateByte, false);
        if (alreadyExisted != nullptr) *alreadyExisted = !alone;
        return std::unique_ptr<FileMapping>(new FileMapping(objectName, fd, view, size));
    }
    return nullptr;
}

FileMapping::~FileMapping() {
    Lock(fd_, F_WRLCK, kGateByte, true);
    munmap(view_, size_);
    Lock(fd_, F_UNLCK, kHolderByte, false);
    if (Lock(fd_, F_WRLCK, kHolderByte, false)) shm_unlink(objectName_.c_str());
    // Released explicitly: a child made by fork shares this open file description, and with
    // it the locks, until it closes its copy.
    Release(fd_);
}

FileMapping::ContentsLock::ContentsLock(const FileMapping* mapping)
    : fd_(mapping != nullptr ? mapping->fd_ : -1) {
    if (fd_ >= 0) Lock(fd_, F_WRLCK, kContentsByte, true);
}

FileMapping::ContentsLock::~ContentsLock() {
    if (fd_ >= 0) Lock(fd_, F_UNLCK, kContentsByte, false);
}

}  // namespace velcor::platform
