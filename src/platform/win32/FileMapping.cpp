// Named file mappings of kernel32, backed by the paging file: the section lives while a
// process holds a handle to it, and a named mutex beside it guards the contents.
#include "platform/FileMapping.h"

#include <windows.h>

namespace velcor::platform {

std::unique_ptr<FileMapping> FileMapping::OpenOrCreate(const std::string& name, size_t size,
                                                       bool* alreadyExisted) {
    if (name.empty() || size == 0) return nullptr;
    const uint64_t bytes = size;
    HANDLE mapping = ::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE,
                                          static_cast<DWORD>(bytes >> 32),
                                          static_cast<DWORD>(bytes), name.c_str());
    if (mapping == nullptr) return nullptr;
    const bool existed = ::GetLastError() == ERROR_ALREADY_EXISTS;
    // Fails when another program made the section smaller than the table.
    void* view = ::MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, size);
    HANDLE contents =
        view != nullptr ? ::CreateMutexA(nullptr, FALSE, (name + "-contents").c_str()) : nullptr;
    if (contents == nullptr) {
        if (view != nullptr) ::UnmapViewOfFile(view);
        ::CloseHandle(mapping);
        return nullptr;
    }
    if (alreadyExisted != nullptr) *alreadyExisted = existed;
    return std::unique_ptr<FileMapping>(new FileMapping(name, mapping, contents, view, size));
}

FileMapping::~FileMapping() {
    ::UnmapViewOfFile(view_);
    ::CloseHandle(contentsMutex_);
    ::CloseHandle(mapping_);
}

FileMapping::ContentsLock::ContentsLock(const FileMapping* mapping)
    : mutex_(mapping != nullptr ? mapping->contentsMutex_ : nullptr) {
    // A holder that died while holding the lock leaves it abandoned: the next one takes it.
    if (mutex_ != nullptr) (void)::WaitForSingleObject(mutex_, INFINITE);
}

FileMapping::ContentsLock::~ContentsLock() {
    if (mutex_ != nullptr) ::ReleaseMutex(mutex_);
}

}  // namespace velcor::platform
