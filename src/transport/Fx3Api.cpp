#include "transport/Fx3Api.h"

#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/Clock.h"
#include "platform/Event.h"
#include "platform/NoDestructor.h"

namespace velcor {
namespace {

using platform::Event;
using platform::OVERLAPPED;

// Every process keeps its own copy of the shared table. Each change is a read-modify-write of
// the shared contents under the mapping's contents lock: the copy is refreshed from the
// mapping, the entry appended, and the whole copy written back, so no process sees a half
// written table and none undoes the entries another added meanwhile. The shared table holds the
// machine's devices only. What the process sees is its view: the devices that exist only inside
// this process and the machine's devices, in the order the process met them, with instance numbers
// counted within the view. Entries are only ever appended, so an index stays valid as long as the
// view lives, which is as long as an object of this process holds the table.
struct ProcessTable {
    std::mutex mutex;
    SharedDeviceTable table{};
    DeviceTableEntry view[kMaxDevices]{};
    bool viewLocal[kMaxDevices]{};  // entry of a device that exists only in this process
    int viewCount = 0;
    int holders = 0;  // live CFx3Api objects of this process
    pid_t owner = 0;  // the process the holders belong to; a forked child holds none
};

ProcessTable& Process() {
    static ProcessTable process;
    return process;
}

std::string& TableNameStorage() {
    static std::string name = "R3U2-MemMap";
    return name;
}

std::atomic<int> liveRecords{0};

void ClearEntry(DeviceTableEntry& entry) {
    entry.vendorId = 0;
    entry.productId = 0;
    entry.instance = -1;
    std::memset(entry.path, 0, sizeof entry.path);
}

void ResetTable(SharedDeviceTable& table) {
    for (DeviceTableEntry& entry : table.entries)
        ClearEntry(entry);
    table.entryCount = 0;
}

void ResetView(ProcessTable& process) {
    for (int i = 0; i < kMaxDevices; ++i) {
        ClearEntry(process.view[i]);
        process.viewLocal[i] = false;
    }
    process.viewCount = 0;
}

// Index of the view entry of that path among the process's own devices (local) or the
// machine's (not local); -1 when there is none.
int FindInView(const ProcessTable& process, const char* path, bool local) {
    for (int i = 0; i < process.viewCount; ++i) {
        if (process.viewLocal[i] == local && strcasecmp(process.view[i].path, path) == 0) return i;
    }
    return -1;
}

// Appends an entry to the view with the instance number it has there; false when it is full.
bool AppendToView(ProcessTable& process, uint16_t vendorId, uint16_t productId, const char* path,
                  bool local) {
    if (process.viewCount >= kMaxDevices) return false;
    int instance = 0;
    for (int i = 0; i < process.viewCount; ++i) {
        const DeviceTableEntry& other = process.view[i];
        if (other.vendorId == vendorId && other.productId == productId) ++instance;
    }
    DeviceTableEntry& entry = process.view[process.viewCount];
    ClearEntry(entry);
    entry.vendorId = vendorId;
    entry.productId = productId;
    entry.instance = instance;
    std::memcpy(entry.path, path, strnlen(path, sizeof entry.path - 1));
    process.viewLocal[process.viewCount] = local;
    ++process.viewCount;
    return true;
}

// Brings the machine's entries that the view lacks into it, in the shared table's order.
void MergeSharedIntoView(ProcessTable& process) {
    const SharedDeviceTable& table = process.table;
    const int count = std::clamp(table.entryCount, 0, kMaxDevices);
    for (int i = 0; i < count; ++i) {
        const DeviceTableEntry& entry = table.entries[i];
        if (entry.productId == 0) continue;
        char path[sizeof entry.path];
        std::memcpy(path, entry.path, sizeof path);
        path[sizeof path - 1] = '\0';
        if (FindInView(process, path, false) >= 0) continue;
        if (!AppendToView(process, entry.vendorId, entry.productId, path, false)) return;
    }
}

// Four hexadecimal digits; false when one is not a digit.
bool ParseHex4(const char* text, uint16_t* value) {
    uint16_t result = 0;
    for (int i = 0; i < 4; ++i) {
        const char c = text[i];
        int digit;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else {
            return false;
        }
        result = static_cast<uint16_t>((result << 4) | digit);
    }
    *value = result;
    return true;
}

uint32_t Read32(const uint8_t* p) {
    uint32_t value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

struct DeviceName {
    uint16_t productId;
    const char* format;
};

constexpr DeviceName kDeviceNames[] = {
    {0x3020, "Velcor-M3020-USB3-T2_%02d"}, {0x3030, "Velcor-M3030-USB3-T2_%02d"},
    {0x3040, "Velcor-M3040-USB3-T2_%02d"}, {0x3042, "Velcor-M3042-USB3-T2_%02d"},
    {0x3050, "Velcor-M3050-USB3-T2_%02d"}, {0x3090, "Velcor-M3090-USB3-T2_%02d"},
    {0x30B0, "Velcor-M30B0-USB3-T2_%02d"}, {0x30C0, "Velcor-M30C0-USB3-T2_%02d"},
    {0x30F0, "Velcor-M30F0-USB3-T2_%02d"}, {0x3100, "Velcor-M3100-USB3-T2_%02d"},
    {0x3110, "Velcor-M3110-USB3-T2_%02d"}, {0x3120, "Velcor-M3120-USB3-T2_%02d"},
    {0x3130, "Velcnv-M3130_%02d"},         {0x3140, "Velcor-M3140-USB3-T2_%02d"},
};

constexpr uint32_t kDetailBufferSize = 1000;
constexpr uint32_t kBufferedWaitMs = 3000;
constexpr uint32_t kAbortGraceMs = 50;

}  // namespace

namespace {

// Transfers in flight at once: one per streaming camera, plus the odd memory command.
constexpr size_t kPooledRecords = 16;

struct RecordPool {
    std::array<DirectTransferRecord, kPooledRecords> records;
    std::array<std::atomic<bool>, kPooledRecords> lent{};
};

RecordPool& Pool() {
    static platform::NoDestructor<RecordPool> pool;
    return pool.get();
}

DirectTransferRecordPtr LendRecord() {
    liveRecords.fetch_add(1);
    RecordPool& pool = Pool();
    for (size_t i = 0; i < kPooledRecords; ++i) {
        if (!pool.lent[i].exchange(true, std::memory_order_acquire)) {
            DirectTransferRecord& record = pool.records[i];
            std::memset(record.bytes, 0, sizeof record.bytes);
            return DirectTransferRecordPtr(&record);
        }
    }
    return DirectTransferRecordPtr(std::make_unique<DirectTransferRecord>().release());
}

}  // namespace

void DirectTransferRecordReturn::operator()(DirectTransferRecord* record) const {
    if (record == nullptr) return;
    liveRecords.fetch_sub(1);
    RecordPool& pool = Pool();
    if (record >= pool.records.data() && record < pool.records.data() + kPooledRecords) {
        pool.lent[static_cast<size_t>(record - pool.records.data())].store(
            false, std::memory_order_release);
        return;
    }
    std::unique_ptr<DirectTransferRecord> owned(record);
}

int DirectTransferRecord::Live() {
    return liveRecords.load();
}

const std::string& CFx3Api::TableName() {
    return TableNameStorage();
}

void CFx3Api::SetTableNameForTesting(const std::string& name) {
    TableNameStorage() = name;
}

CFx3Api::CFx3Api(const platform::GUID& interfaceClass) : interfaceClass_(interfaceClass) {
    ProcessTable& process = Process();
    std::lock_guard lock(process.mutex);
    if (process.owner != getpid()) {
        process.owner = getpid();
        process.holders = 0;
    }
    bool existed = false;
    mapping_ =
        platform::FileMapping::OpenOrCreate(TableName(), sizeof(SharedDeviceTable), &existed);
    const platform::FileMapping::ContentsLock contents(mapping_.get());
    if (mapping_ != nullptr) {
        view_ = static_cast<SharedDeviceTable*>(mapping_->View());
        if (existed) {
            process.table.referenceCount = view_->referenceCount;
            Refresh();
        } else {
            // No live holder anywhere: whatever this process remembers is gone.
            process.table.referenceCount = 0;
        }
    }
    if (process.table.referenceCount == 0) ResetTable(process.table);
    // The devices of this process are remembered as long as one of its objects lives.
    if (process.holders == 0) ResetView(process);
    ++process.holders;
    deviceIndex_ = 0;
    lastError_ = 0;
    WriteBack();
    AddReference(+1);
    MergeSharedIntoView(process);
}

CFx3Api::~CFx3Api() {
    ProcessTable& process = Process();
    std::lock_guard lock(process.mutex);
    {
        const platform::FileMapping::ContentsLock contents(mapping_.get());
        AddReference(-1);
    }
    if (process.owner == getpid() && process.holders > 0) --process.holders;
    view_ = nullptr;
    mapping_.reset();
}

// The reference count is changed in place in the mapping: every process holds only a copy of
// it, and writing a copy back would undo the counts of processes that came meanwhile.
void CFx3Api::AddReference(int delta) {
    SharedDeviceTable& table = Process().table;
    if (view_ == nullptr) {
        table.referenceCount += delta;
        return;
    }
    // The count opens the page-aligned mapping, so it is aligned although the packed record
    // does not say so; through a plain pointer every compiler makes the add a lock-free
    // instruction instead of a call into libatomic.
    static_assert(offsetof(SharedDeviceTable, referenceCount) == 0);
    auto* count = reinterpret_cast<int32_t*>(view_);
    table.referenceCount = __atomic_add_fetch(count, delta, __ATOMIC_SEQ_CST);
}

// Entries and count go back whole, under the contents lock. Only the machine's devices are in
// the shared copy: a device of this process never reaches other processes.
void CFx3Api::WriteBack() {
    if (view_ == nullptr) return;
    const SharedDeviceTable& table = Process().table;
    std::memcpy(view_->entries, table.entries, sizeof table.entries);
    view_->entryCount = table.entryCount;
}

// Takes the entries other processes added since this process last looked; under the contents
// lock.
void CFx3Api::Refresh() {
    if (view_ == nullptr) return;
    SharedDeviceTable& table = Process().table;
    std::memcpy(table.entries, view_->entries, sizeof table.entries);
    table.entryCount = std::clamp(view_->entryCount, 0, kMaxDevices);
    // Another process's bytes: a path that lacks its end is cut at the entry's end.
    for (DeviceTableEntry& entry : table.entries)
        entry.path[sizeof entry.path - 1] = '\0';
}

int CFx3Api::EntryCount() {
    ProcessTable& process = Process();
    std::lock_guard lock(process.mutex);
    return process.viewCount;
}

bool CFx3Api::GetEntry(int index, DeviceTableEntry* entry) {
    ProcessTable& process = Process();
    std::lock_guard lock(process.mutex);
    if (index < 0 || index >= kMaxDevices || index >= process.viewCount) return false;
    *entry = process.view[index];
    return true;
}

int CFx3Api::EnumerateDevices() {
    platform::DeviceInterfaceSet set(interfaceClass_);
    std::vector<uint8_t> detail(kDetailBufferSize);
    ProcessTable& process = Process();
    for (uint32_t member = 0; member < kMaxDevices; ++member) {
        if (!set.EnumInterface(member)) continue;
        uint32_t required = 0;
        set.GetInterfaceDetail(member, nullptr, 0, &required);
        if (required > kDetailBufferSize) continue;
        if (!set.GetInterfaceDetail(member, detail.data(), kDetailBufferSize, &required)) continue;
        const char* path = reinterpret_cast<const char*>(detail.data() + 4);

        // Only an interface that can be opened is a camera we can use.
        HANDLE probe =
            platform::CreateFile(path, platform::kGenericWrite, platform::kFileShareWrite,
                                 platform::kOpenExisting, platform::kFileFlagOverlapped);
        if (probe == platform::kInvalidHandleValue || probe == nullptr) continue;
        platform::CloseHandle(probe);

        // \\?\usb#vid_XXXX&pid_XXXX#... : vendor id at offset 12, product id at offset 21. A
        // path too short to carry them, or too long for an entry, is not one of ours.
        const size_t length = std::strlen(path);
        uint16_t vendorId = 0;
        uint16_t productId = 0;
        if (length < 25 || length >= sizeof(DeviceTableEntry::path)) continue;
        if (!ParseHex4(path + 12, &vendorId) || !ParseHex4(path + 21, &productId)) continue;

        std::lock_guard lock(process.mutex);
        if (set.IsProcessLocal(member)) {
            // Known to this process alone: its entry lives in the view only.
            if (FindInView(process, path, true) < 0) {
                AppendToView(process, vendorId, productId, path, true);
            }
            continue;
        }
        const platform::FileMapping::ContentsLock contents(mapping_.get());
        Refresh();
        SharedDeviceTable& table = process.table;
        int instance = 0;
        bool known = false;
        for (const DeviceTableEntry& entry : table.entries) {
            if (entry.vendorId != vendorId || entry.productId != productId) continue;
            if (strcasecmp(entry.path, path) == 0) {
                known = true;
                break;
            }
            ++instance;
        }
        if (!known && table.entryCount < kMaxDevices) {
            DeviceTableEntry& entry = table.entries[table.entryCount];
            entry.vendorId = vendorId;
            entry.productId = productId;
            entry.instance = instance;
            std::memset(entry.path, 0, sizeof entry.path);
            std::memcpy(entry.path, path, length);
            ++table.entryCount;
            WriteBack();
        }
        MergeSharedIntoView(process);
    }
    std::lock_guard lock(process.mutex);
    return process.viewCount;
}

HANDLE CFx3Api::OpenDevice(int index, bool overlapped) {
    DeviceTableEntry entry;
    if (!GetEntry(index, &entry)) return nullptr;
    HANDLE handle = platform::CreateFile(entry.path, platform::kGenericWrite,
                                         platform::kFileShareWrite, platform::kOpenExisting,
                                         overlapped ? platform::kFileFlagOverlapped : 0);
    if (handle == nullptr || handle == platform::kInvalidHandleValue) return nullptr;
    return handle;
}

int CFx3Api::ProbeDevice(int index) {
    HANDLE handle = OpenDevice(index, false);
    if (handle == nullptr) return 0;
    CloseDevice(handle);
    return 1;
}

void CFx3Api::CloseDevice(HANDLE& handle) {
    if (handle != nullptr) {
        platform::CloseHandle(handle);
        handle = nullptr;
    }
}

int CFx3Api::ControlTransfer(HANDLE device, uint8_t* record, uint32_t size, uint32_t* returned) {
    if (device == nullptr) return 0;
    uint32_t bytes = 0;
    const bool ok = platform::DeviceIoControl(device, kIoctlControlTransfer, record, size, record,
                                              size, &bytes, nullptr);
    if (returned != nullptr) *returned = ok ? bytes : 0;
    return ok ? 1 : 0;
}

int CFx3Api::BufferedBulkTransfer(HANDLE device, uint8_t* record, uint32_t size,
                                  uint32_t* returned) {
    if (device == nullptr || size < record::kSize) return 0;
    Event event(Event::Reset::Auto);
    OVERLAPPED overlapped;
    overlapped.hEvent = &event;
    uint32_t bytes = 0;
    bool ok = platform::DeviceIoControl(device, kIoctlBufferedBulk, record, size, record, size,
                                        &bytes, &overlapped);
    if (!ok) {
        const uint32_t error = platform::GetLastError();
        if (error == platform::kErrorSuccess) {
            ok = true;
        } else if (error == platform::kErrorIoPending) {
            if (event.Wait(kBufferedWaitMs)) {
                ok = platform::GetOverlappedResult(device, &overlapped, &bytes, false);
            } else {
                // Cancel the transfer on its own endpoint. The event and the overlapped
                // structure live in this frame, so the transfer must be over before it returns.
                const uint8_t endpoint = record[record::kEndpoint];
                AbortPipe(device, endpoint);
                if (!event.Wait(kAbortGraceMs)) {
                    AbortPipe(device, endpoint);
                    event.Wait(platform::kInfinite);
                }
                ok = false;
            }
        }
    }
    // A transfer that the driver finished with an error status failed, whatever its count.
    if (ok &&
        (Read32(record + record::kDriverStatus) != 0 || Read32(record + record::kUsbStatus) != 0)) {
        ok = false;
    }
    if (returned != nullptr) *returned = ok ? bytes : 0;
    return ok ? 1 : 0;
}

DirectTransferRecordPtr CFx3Api::SubmitDirectTransfer(HANDLE device, uint8_t* data, uint32_t length,
                                                      uint8_t endpoint, OVERLAPPED* overlapped) {
    if (device == nullptr) return nullptr;
    DirectTransferRecordPtr transfer = LendRecord();
    transfer->bytes[record::kEndpoint] = endpoint;
    uint32_t bytes = 0;
    const bool ok = platform::DeviceIoControl(device, kIoctlDirectTransfer, transfer->bytes,
                                              record::kSize, data, length, &bytes, overlapped);
    lastError_ = ok ? 0 : static_cast<int32_t>(platform::GetLastError());
    platform::SetLastError(0);
    return transfer;
}

int CFx3Api::WaitTransfer(OVERLAPPED* overlapped, uint32_t timeoutMs) {
    const int32_t error = lastError_;
    if (error == 0) return 1;
    if (error != static_cast<int32_t>(platform::kErrorIoPending) || overlapped == nullptr ||
        overlapped->hEvent == nullptr) {
        return 0;
    }
    return overlapped->hEvent->Wait(timeoutMs) ? 1 : 0;
}

int CFx3Api::CompleteTransfer(HANDLE device, DirectTransferRecordPtr transfer,
                              OVERLAPPED* overlapped, uint32_t* returned) {
    uint32_t bytes = 0;
    if (returned != nullptr) *returned = 0;
    if (transfer == nullptr || !platform::GetOverlappedResult(device, overlapped, &bytes, false)) {
        return 0;
    }
    if (Read32(transfer->bytes + record::kDriverStatus) != 0 ||
        Read32(transfer->bytes + record::kUsbStatus) != 0) {
        platform::Sleep(1);
        return 0;
    }
    if (returned != nullptr) *returned = bytes;
    return 1;
}

int CFx3Api::ResetPipe(HANDLE device, uint8_t endpoint) {
    if (device == nullptr) return 0;
    uint32_t bytes = 0;
    return platform::DeviceIoControl(device, kIoctlResetPipe, &endpoint, 1, nullptr, 0, &bytes,
                                     nullptr)
               ? 1
               : 0;
}

int CFx3Api::ResetPort(HANDLE device) {
    if (device == nullptr) return 0;
    uint32_t bytes = 0;
    return platform::DeviceIoControl(device, kIoctlResetPort, nullptr, 0, nullptr, 0, &bytes,
                                     nullptr)
               ? 1
               : 0;
}

int CFx3Api::AbortPipe(HANDLE device, uint8_t endpoint) {
    if (device == nullptr) return 0;
    Event event(Event::Reset::Manual);
    OVERLAPPED overlapped;
    overlapped.hEvent = &event;
    uint32_t bytes = 0;
    bool ok = platform::DeviceIoControl(device, kIoctlAbortPipe, &endpoint, 1, nullptr, 0, &bytes,
                                        &overlapped);
    if (!ok && platform::GetLastError() == platform::kErrorIoPending) {
        event.Wait(platform::kInfinite);
        ok = platform::GetOverlappedResult(device, &overlapped, &bytes, false);
    }
    return ok ? 1 : 0;
}

int CFx3Api::GetDeviceSpeed(HANDLE device, uint32_t* speed) {
    if (device == nullptr) return 0;
    uint32_t value = 0;
    uint32_t bytes = 0;
    if (!platform::DeviceIoControl(device, kIoctlDeviceSpeed, &value, sizeof value, &value,
                                   sizeof value, &bytes, nullptr)) {
        return 0;
    }
    if (speed != nullptr) *speed = value;
    return 1;
}

int CFx3Api::GetDeviceName(int index, char* text, size_t capacity) {
    if (text == nullptr || capacity == 0 || !ProbeDevice(index)) return 0;
    DeviceTableEntry entry;
    if (!GetEntry(index, &entry)) return 0;
    for (const DeviceName& name : kDeviceNames) {
        if (name.productId != entry.productId) continue;
        const int written = std::snprintf(text, capacity, name.format, entry.instance);
        return written > 0 && static_cast<size_t>(written) < capacity ? 1 : 0;
    }
    return 0;
}

}  // namespace velcor
