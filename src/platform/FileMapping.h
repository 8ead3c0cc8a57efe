// Named shared memory with the lifetime of a Win32 named file mapping: the mapping exists while
// at least one live holder has it open and starts zero-filled again after the last holder is
// gone. Holders are detected with open-file-description locks on the shared memory object, so a
// process that dies without closing its mapping does not keep it alive.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace velcor::platform {

class FileMapping {
  public:
    // Opens the mapping of that name when a live holder has it (*alreadyExisted = true), or
    // creates it zero-filled with `size` bytes. The name is a plain mapping name ("R3U2-MemMap")
    // and lives as the POSIX shared memory object "/<name>". Null when neither works.
    static std::unique_ptr<FileMapping> OpenOrCreate(const std::string& name, size_t size,
                                                     bool* alreadyExisted);
    ~FileMapping();
    FileMapping(const FileMapping&) = delete;
    FileMapping& operator=(const FileMapping&) = delete;

    void* View() const { return view_; }
    size_t Size() const { return size_; }

    // Exclusive access to the contents among all holders, in every process and thread (each
    // holder has its own open file description, so two holders of one process exclude each
    // other too). Held for a read-modify-write of the contents; never held while waiting for
    // anything else that another holder may hold.
    class ContentsLock {
      public:
        explicit ContentsLock(const FileMapping* mapping);
        ~ContentsLock();
        ContentsLock(const ContentsLock&) = delete;
        ContentsLock& operator=(const ContentsLock&) = delete;

      private:
#ifdef _WIN32
        void* mutex_;  // the named mutex that guards the contents
#else
        int fd_;
#endif
    };

  private:
#ifdef _WIN32
    FileMapping(std::string objectName, void* mapping, void* contentsMutex, void* view, size_t size)
        : objectName_(std::move(objectName)),
          mapping_(mapping),
          contentsMutex_(contentsMutex),
          view_(view),
          size_(size) {}

    std::string objectName_;
    void* mapping_;        // the section object
    void* contentsMutex_;  // named after the section, shared by every process that maps it
#else
    FileMapping(std::string objectName, int fd, void* view, size_t size)
        : objectName_(std::move(objectName)), fd_(fd), view_(view), size_(size) {}

    std::string objectName_;
    int fd_;
#endif
    void* view_;
    size_t size_;
};

}  // namespace velcor::platform
