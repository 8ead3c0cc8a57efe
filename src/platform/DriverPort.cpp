#include "platform/DriverPort.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>

#include "platform/NoDestructor.h"

namespace velcor::platform {

struct PortInternals {
    // Guards request completion and the OVERLAPPED fields the port owns while a request runs.
    static std::mutex& CompletionMutex() {
        static std::mutex mutex;
        return mutex;
    }
    static void Bind(IoRequest& request, OVERLAPPED* overlapped) {
        request.overlapped_ = overlapped;
    }
    static Event& Done(IoRequest& request) { return request.done_; }
    static void Result(IoRequest& request, uint32_t* error, uint32_t* bytes) {
        std::lock_guard lock(CompletionMutex());
        *error = request.error_;
        *bytes = request.bytes_;
    }
};

namespace {

thread_local uint32_t lastError = 0;

// Every transfer makes a request, several per frame while a camera streams, and every control
// request one more; their memory is kept for the next ones instead of going back to the heap.
// A stock of blocks is made at the start, enough for the requests of several streaming
// cameras; beyond it the pool grows to the most requests ever alive at once, and its free
// list always has room for every block made, so giving one back never allocates.
class RequestMemory {
  public:
    static constexpr size_t kBlockSize = 1024;

    RequestMemory() {
        free_.reserve(kInitialBlocks);
        for (size_t i = 0; i < kInitialBlocks; ++i)
            free_.push_back(::operator new(kBlockSize));
        made_ = kInitialBlocks;
    }

    void* Take(size_t bytes) {
        if (bytes > kBlockSize) return ::operator new(bytes);
        std::lock_guard lock(mutex_);
        if (!free_.empty()) {
            void* block = free_.back();
            free_.pop_back();
            return block;
        }
        ++made_;
        if (free_.capacity() < made_) free_.reserve(2 * made_);
        return ::operator new(kBlockSize);
    }
    void Give(void* block, size_t bytes) {
        if (bytes > kBlockSize) {
            ::operator delete(block);
            return;
        }
        std::lock_guard lock(mutex_);
        free_.push_back(block);
    }

  private:
    static constexpr size_t kInitialBlocks = 64;

    std::mutex mutex_;
    std::vector<void*> free_;
    size_t made_ = 0;
};

RequestMemory& Requests() {
    static NoDestructor<RequestMemory> memory;
    return memory.get();
}

template <typename T>
struct RequestAllocator {
    using value_type = T;
    RequestAllocator() = default;
    template <typename U>
    RequestAllocator(const RequestAllocator<U>&) {}
    T* allocate(size_t n) { return static_cast<T*>(Requests().Take(n * sizeof(T))); }
    void deallocate(T* p, size_t n) { Requests().Give(p, n * sizeof(T)); }
    template <typename U>
    bool operator==(const RequestAllocator<U>&) const {
        return true;
    }
};

struct HandleEntry {
    std::shared_ptr<DriverDevice> device;
    bool overlapped;
};

// The open handles, oldest first. Handle values only grow, so the table stays sorted by value
// and a handle is found by binary search. Control requests open a handle each, many per frame
// while automatic exposure writes the sensor, so the table's room is taken once, up front.
class HandleTable {
  public:
    HandleTable() { entries_.reserve(kReserved); }

    // Values are handed out in rising order, but a device's own open runs between taking a
    // value and adding it, so a later value may arrive first: insert in order.
    void Add(uintptr_t value, HandleEntry entry) {
        entries_.insert(Position(value), {value, std::move(entry)});
    }
    HandleEntry* Find(uintptr_t value) {
        auto found = Position(value);
        return found != entries_.end() && found->value == value ? &found->entry : nullptr;
    }
    // Moves the handle's entry out of the table; false for an unknown handle.
    bool Remove(uintptr_t value, HandleEntry& entry) {
        auto found = Position(value);
        if (found == entries_.end() || found->value != value) return false;
        entry = std::move(found->entry);
        entries_.erase(found);
        return true;
    }

  private:
    static constexpr size_t kReserved = 256;
    struct Slot {
        uintptr_t value;
        HandleEntry entry;
    };
    std::vector<Slot>::iterator Position(uintptr_t value) {
        return std::lower_bound(entries_.begin(), entries_.end(), value,
                                [](const Slot& slot, uintptr_t v) { return slot.value < v; });
    }
    std::vector<Slot> entries_;
};

struct PortState {
    std::mutex mutex;
    std::vector<DriverBackend*> backends;
    HandleTable handles;
    // Handle values are never reused, so a stale handle is simply unknown.
    uintptr_t nextHandle = 0x1000;
};

PortState& State() {
    static PortState state;
    return state;
}

std::vector<std::shared_ptr<DriverDevice>> AllPresentDevices(const GUID& interfaceClass) {
    PortState& s = State();
    std::lock_guard lock(s.mutex);
    std::vector<std::shared_ptr<DriverDevice>> devices;
    for (DriverBackend* backend : s.backends) {
        for (auto& device : backend->PresentDevices(interfaceClass))
            devices.push_back(device);
    }
    return devices;
}

std::shared_ptr<DriverDevice> FindPresentDevice(const char* path) {
    PortState& s = State();
    std::lock_guard lock(s.mutex);
    for (DriverBackend* backend : s.backends) {
        if (auto device = backend->FindPresentDevice(path)) return device;
    }
    return nullptr;
}

bool LookUp(HANDLE handle, HandleEntry& entry) {
    PortState& s = State();
    std::lock_guard lock(s.mutex);
    const HandleEntry* found = s.handles.Find(reinterpret_cast<uintptr_t>(handle));
    if (found == nullptr) return false;
    entry = *found;
    return true;
}

}  // namespace

uint32_t GetLastError() {
    return lastError;
}
void SetLastError(uint32_t error) {
    lastError = error;
}

std::string GuidToString(const GUID& g) {
    char text[40];
    std::snprintf(text, sizeof text, "{%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}", g.Data1,
                  g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4],
                  g.Data4[5], g.Data4[6], g.Data4[7]);
    return text;
}

IoRequest::IoRequest(uint64_t owner, uint32_t code, void* input, uint32_t inputSize, void* output,
                     uint32_t outputSize)
    : owner_(owner),
      code_(code),
      input_(static_cast<uint8_t*>(input)),
      inputSize_(input != nullptr ? inputSize : 0),
      output_(static_cast<uint8_t*>(output)),
      outputSize_(output != nullptr ? outputSize : 0),
      callerOutput_(nullptr) {
    if ((code & 3u) == kMethodBuffered) {
        const uint32_t size = std::max(inputSize_, outputSize_);
        if (size <= kInlineSystemBuffer) {
            std::memset(inlineBuffer_, 0, size);
            system_ = inlineBuffer_;
        } else {
            systemBuffer_.assign(size, 0);
            system_ = systemBuffer_.data();
        }
        if (inputSize_ > 0) std::memcpy(system_, input_, inputSize_);
        callerOutput_ = output_;
        input_ = inputSize_ > 0 ? system_ : nullptr;
        output_ = outputSize_ > 0 ? system_ : nullptr;
    }
}

bool IoRequest::Complete(uint32_t error, uint32_t bytesReturned) {
    {
        std::lock_guard lock(PortInternals::CompletionMutex());
        if (complete_) return false;
        complete_ = true;
        if (error == kErrorSuccess && callerOutput_ != nullptr) {
            bytesReturned = std::min(bytesReturned, outputSize_);
            std::memcpy(callerOutput_, system_, bytesReturned);
        } else if (error == kErrorSuccess && (code_ & 3u) == kMethodBuffered) {
            bytesReturned = 0;
        }
        error_ = error;
        bytes_ = bytesReturned;
        if (overlapped_ != nullptr) {
            overlapped_->Internal = error;
            overlapped_->InternalHigh = bytesReturned;
            // Signalled under the lock: once the owner sees the result it may free the event.
            if (overlapped_->hEvent != nullptr) overlapped_->hEvent->Set();
        }
    }
    done_.Set();
    return true;
}

bool IoRequest::IsComplete() const {
    std::lock_guard lock(PortInternals::CompletionMutex());
    return complete_;
}

bool IoRequest::Result(uint32_t* error, uint32_t* bytesReturned) const {
    std::lock_guard lock(PortInternals::CompletionMutex());
    if (!complete_) return false;
    *error = error_;
    *bytesReturned = bytes_;
    return true;
}

void RegisterDriverBackend(DriverBackend* backend) {
    PortState& s = State();
    std::lock_guard lock(s.mutex);
    if (std::find(s.backends.begin(), s.backends.end(), backend) == s.backends.end()) {
        s.backends.push_back(backend);
    }
}

void UnregisterDriverBackend(DriverBackend* backend) {
    PortState& s = State();
    std::lock_guard lock(s.mutex);
    s.backends.erase(std::remove(s.backends.begin(), s.backends.end(), backend), s.backends.end());
}

DeviceInterfaceSet::DeviceInterfaceSet(const GUID& interfaceClass) {
    for (auto& device : AllPresentDevices(interfaceClass)) {
        if (device->IsPresent()) members_.push_back({device->Path(), device->ProcessLocal()});
    }
}

bool DeviceInterfaceSet::EnumInterface(uint32_t memberIndex) const {
    if (memberIndex >= members_.size()) {
        SetLastError(kErrorNoMoreItems);
        return false;
    }
    return true;
}

bool DeviceInterfaceSet::GetInterfaceDetail(uint32_t memberIndex, uint8_t* detail,
                                            uint32_t detailSize, uint32_t* required) const {
    if (!EnumInterface(memberIndex)) return false;
    const std::string& path = members_[memberIndex].path;
    const uint32_t size = static_cast<uint32_t>(4 + path.size() + 1);
    if (required != nullptr) *required = size;
    if (detail == nullptr || detailSize < size) {
        SetLastError(kErrorInsufficientBuffer);
        return false;
    }
    const uint32_t cbSize = 5;  // the fixed part of the record, as the system reports it
    std::memcpy(detail, &cbSize, 4);
    std::memcpy(detail + 4, path.c_str(), path.size() + 1);
    return true;
}

bool DeviceInterfaceSet::IsProcessLocal(uint32_t memberIndex) const {
    return memberIndex < members_.size() && members_[memberIndex].processLocal;
}

HANDLE CreateFile(const char* path, uint32_t /*access*/, uint32_t /*shareMode*/,
                  uint32_t disposition, uint32_t flags) {
    if (path == nullptr || disposition != kOpenExisting) {
        SetLastError(kErrorInvalidParameter);
        return kInvalidHandleValue;
    }
    std::shared_ptr<DriverDevice> device = FindPresentDevice(path);
    if (device == nullptr) {
        SetLastError(kErrorFileNotFound);
        return kInvalidHandleValue;
    }
    if (!device->AcceptsOpen()) {
        SetLastError(kErrorAccessDenied);
        return kInvalidHandleValue;
    }
    PortState& s = State();
    uintptr_t value = 0;
    {
        std::lock_guard lock(s.mutex);
        value = s.nextHandle;
        s.nextHandle += 4;
    }
    // Outside the lock: a device may open a system handle of its own, which can take a while.
    if (const uint32_t error = device->Open(value); error != kErrorSuccess) {
        SetLastError(error);
        return kInvalidHandleValue;
    }
    std::lock_guard lock(s.mutex);
    s.handles.Add(value, HandleEntry{std::move(device), (flags & kFileFlagOverlapped) != 0});
    return reinterpret_cast<HANDLE>(value);  // NOLINT(performance-no-int-to-ptr): a token
}

bool CloseHandle(HANDLE handle) {
    HandleEntry entry;
    {
        PortState& s = State();
        std::lock_guard lock(s.mutex);
        if (!s.handles.Remove(reinterpret_cast<uintptr_t>(handle), entry)) {
            SetLastError(kErrorInvalidHandle);
            return false;
        }
    }
    entry.device->CancelIo(reinterpret_cast<uintptr_t>(handle));
    return true;
}

bool DeviceIoControl(HANDLE handle, uint32_t code, void* input, uint32_t inputSize, void* output,
                     uint32_t outputSize, uint32_t* bytesReturned, OVERLAPPED* overlapped) {
    HandleEntry entry;
    if (!LookUp(handle, entry)) {
        SetLastError(kErrorInvalidHandle);
        return false;
    }
    if (!entry.device->IsPresent()) {
        SetLastError(kErrorDeviceNotConnected);
        return false;
    }
    auto request = std::allocate_shared<IoRequest>(RequestAllocator<IoRequest>{},
                                                   reinterpret_cast<uintptr_t>(handle), code, input,
                                                   inputSize, output, outputSize);
    const bool asynchronous = entry.overlapped && overlapped != nullptr;
    if (overlapped != nullptr) {
        {
            std::lock_guard lock(PortInternals::CompletionMutex());
            overlapped->Internal = kErrorIoPending;
            overlapped->InternalHigh = 0;
        }
        // The event is cleared when a request starts, as the system does.
        if (overlapped->hEvent != nullptr) overlapped->hEvent->ResetSignal();
        PortInternals::Bind(*request, overlapped);
    }
    entry.device->StartIo(request);

    if (!asynchronous) PortInternals::Done(*request).Wait();
    uint32_t error = 0;
    uint32_t bytes = 0;
    PortInternals::Result(*request, &error, &bytes);
    if (error == kErrorIoPending) {
        SetLastError(kErrorIoPending);
        return false;
    }
    if (bytesReturned != nullptr) *bytesReturned = bytes;
    if (error != kErrorSuccess) {
        SetLastError(error);
        return false;
    }
    return true;
}

bool GetOverlappedResult(HANDLE handle, OVERLAPPED* overlapped, uint32_t* bytesTransferred,
                         bool wait) {
    HandleEntry entry;
    if (overlapped == nullptr || !LookUp(handle, entry)) {
        SetLastError(overlapped == nullptr ? kErrorInvalidParameter : kErrorInvalidHandle);
        return false;
    }
    for (;;) {
        uint32_t error = 0;
        uint32_t bytes = 0;
        {
            std::lock_guard lock(PortInternals::CompletionMutex());
            error = overlapped->Internal;
            bytes = overlapped->InternalHigh;
        }
        if (error == kErrorIoPending) {
            if (!wait || overlapped->hEvent == nullptr) {
                SetLastError(kErrorIoIncomplete);
                return false;
            }
            overlapped->hEvent->Wait();
            continue;
        }
        if (bytesTransferred != nullptr) *bytesTransferred = bytes;
        if (error != kErrorSuccess) {
            SetLastError(error);
            return false;
        }
        return true;
    }
}

}  // namespace velcor::platform
