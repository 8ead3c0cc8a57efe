// The registry as a file: the tree of keys in the text format of a .reg export, one file per
// user under the configuration folder, read and replaced whole under a lock.
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "platform/Registry.h"
#include "platform/RegularFile.h"

namespace velcor::platform {
namespace {

// Closes the descriptor it owns.
class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return fd_; }
    int Release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

  private:
    int fd_;
};

// Makes the folder and the folders above it (only the user may enter the new ones).
bool MakeFolders(const std::string& folder) {
    if (folder.empty() || folder[0] != '/') return false;
    for (size_t at = 1; at <= folder.size(); ++at) {
        if (at != folder.size() && folder[at] != '/') continue;
        const std::string part = folder.substr(0, at);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    struct stat status {};
    return ::stat(folder.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

// The exclusive lock of the registry file among every process and thread: flock on a file of
// its own, opened anew by each holder, so two holders in one process exclude each other too.
class FileLock {
  public:
    explicit FileLock(const std::string& path)
        : fd_(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, 0600)) {
        if (fd_.Get() < 0) return;
        int result;
        do {
            result = ::flock(fd_.Get(), LOCK_EX);
        } while (result != 0 && errno == EINTR);
        locked_ = result == 0;
    }
    ~FileLock() {
        if (locked_) ::flock(fd_.Get(), LOCK_UN);
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    bool Locked() const { return locked_; }

  private:
    Descriptor fd_;
    bool locked_ = false;
};

// Moves a file that cannot be used out of the way, keeping it for whoever wants to look at it.
void SetAside(const std::string& path) {
    const std::string base = path + ".damaged-" + std::to_string(std::time(nullptr));
    std::string target = base;
    for (int n = 1; n < 100; ++n) {
        struct stat status {};
        if (::lstat(target.c_str(), &status) != 0) break;
        target = base + "." + std::to_string(n);
    }
    if (::rename(path.c_str(), target.c_str()) != 0) ::unlink(path.c_str());
}

// The tree the file holds; held under the lock. A file that cannot be read or parsed is set
// aside and the tree is empty.
RegistryTree Load(const std::string& path) {
    std::vector<uint8_t> bytes;
    const ReadFileResult read = ReadRegularFile(path.c_str(), kRegistryFileLimit, bytes);
    if (read == ReadFileResult::Ok) {
        std::optional<RegistryTree> tree = RegistryTree::Parse(
            std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
        if (tree) return std::move(*tree);
    } else if (read == ReadFileResult::CannotOpen) {
        struct stat status {};
        if (::lstat(path.c_str(), &status) != 0) return {};  // no file yet
    }
    SetAside(path);
    return {};
}

bool WriteAll(int fd, const std::string& text) {
    size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        written += static_cast<size_t>(n);
    }
    return true;
}

// Replaces the file whole: the new text goes to a temporary file beside it, reaches the disk,
// and is renamed over the old one, so a crash leaves either file but never half of one.
bool Store(const std::string& folder, const std::string& path, const std::string& text) {
    std::string temporary = path + ".tmp-XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) return false;
    Descriptor file(fd);
    bool ok = WriteAll(file.Get(), text) && ::fsync(file.Get()) == 0;
    ok = ::close(file.Release()) == 0 && ok;
    if (ok) ok = ::rename(temporary.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(temporary.c_str());
        return false;
    }
    // The rename itself reaches the disk with the folder.
    const Descriptor directory(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory.Get() >= 0) ::fsync(directory.Get());
    return true;
}

}  // namespace

// ---- Registry --------------------------------------------------------------------------------

std::string Registry::DefaultFolder() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/') return std::string(config) + "/velcor";
    const char* home = std::getenv("HOME");
    std::string homeFolder = home != nullptr && home[0] == '/' ? home : "";
    if (homeFolder.empty()) {
        passwd entry{};
        passwd* found = nullptr;
        std::vector<char> buffer(16384);
        if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
            found != nullptr && found->pw_dir != nullptr && found->pw_dir[0] == '/') {
            homeFolder = found->pw_dir;
        }
    }
    if (homeFolder.empty()) return {};
    return homeFolder + "/.config/velcor";
}

bool Registry::Read(RegistryTree& tree) const {
    tree = RegistryTree();
    if (folder_.empty()) return false;
    struct stat status {};
    // No folder yet: nothing was ever stored, and a read makes nothing.
    if (::stat(folder_.c_str(), &status) != 0) return errno == ENOENT;
    const FileLock lock(folder_ + "/registry.lock");
    if (!lock.Locked()) return false;
    tree = Load(FilePath());
    return true;
}

bool Registry::Update(const std::function<bool(RegistryTree&)>& change) const {
    if (!MakeFolders(folder_)) return false;
    const FileLock lock(folder_ + "/registry.lock");
    if (!lock.Locked()) return false;
    RegistryTree tree = Load(FilePath());
    if (!change(tree)) return false;
    return Store(folder_, FilePath(), tree.Serialise());
}

}  // namespace velcor::platform
