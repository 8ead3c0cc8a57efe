// Discovery of the USB bridge's device interfaces, the table of attached cameras, and the bridge
// driver's I/O controls. The machine's cameras are kept in a table that every process using the
// library shares; a device that exists only inside one process (DriverDevice::ProcessLocal)
// is kept in that process's view of the table and never reaches the shared one.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/DriverPort.h"
#include "platform/FileMapping.h"
#include "protocol/UsbProtocol.h"

namespace velcor {

using platform::HANDLE;

inline constexpr int kMaxDevices = 32;

#pragma pack(push, 1)
struct DeviceTableEntry {
    uint16_t vendorId;
    uint16_t productId;  // 0: free entry
    int32_t instance;    // cameras of the same vendor and product before this one; -1 free
    char path[260];
};

struct SharedDeviceTable {
    int32_t referenceCount;  // live CFx3Api objects in all processes
    DeviceTableEntry entries[kMaxDevices];
    int32_t entryCount;
};
#pragma pack(pop)

static_assert(sizeof(DeviceTableEntry) == 268);
static_assert(offsetof(DeviceTableEntry, productId) == 2);
static_assert(offsetof(DeviceTableEntry, instance) == 4);
static_assert(offsetof(DeviceTableEntry, path) == 8);
static_assert(sizeof(SharedDeviceTable) == 8584);
static_assert(offsetof(SharedDeviceTable, entries) == 4);
static_assert(offsetof(SharedDeviceTable, entryCount) == 8580);

// The record of a direct transfer; it belongs to the transfer until the driver completed it.
// Records are lent from a process-wide pool, so a frame's transfers allocate nothing; a pool
// that is all lent out (many cameras streaming at once) makes more on the heap.
struct DirectTransferRecord {
    uint8_t bytes[record::kSize] = {};

    // Records lent out and not returned, for leak checks.
    static int Live();
};
// Gives a record back to the pool it came from (or frees one the pool could not lend).
struct DirectTransferRecordReturn {
    void operator()(DirectTransferRecord* record) const;
};
using DirectTransferRecordPtr = std::unique_ptr<DirectTransferRecord, DirectTransferRecordReturn>;

class CFx3Api {
  public:
    explicit CFx3Api(const platform::GUID& interfaceClass = kFx3InterfaceClass);
    virtual ~CFx3Api();
    CFx3Api(const CFx3Api&) = delete;
    CFx3Api& operator=(const CFx3Api&) = delete;

    // Name of the shared table mapping; "R3U2-MemMap" unless a test process gave itself its own
    // name (before it built any object) so parallel test processes do not meet in one table.
    static const std::string& TableName();
    static void SetTableNameForTesting(const std::string& name);

    // Adds the present, openable device interfaces of the class to the table (the machine's to
    // the shared table, this process's own to its view); returns the number of entries the
    // process sees afterwards.
    int EnumerateDevices();
    // A handle to the table entry's device (write access, write sharing), or null.
    HANDLE OpenDevice(int index, bool overlapped);
    int ProbeDevice(int index);
    static void CloseDevice(HANDLE& handle);

    // Control request: `record` is the 38-byte header and its data; *returned counts both.
    int ControlTransfer(HANDLE device, uint8_t* record, uint32_t size, uint32_t* returned);
    // Bulk request through the driver's buffer, waited for up to 3000 ms.
    int BufferedBulkTransfer(HANDLE device, uint8_t* record, uint32_t size, uint32_t* returned);
    // Starts a bulk transfer that moves data straight into / out of `data`. Null only for a
    // null handle; a failed start is noted in LastError().
    DirectTransferRecordPtr SubmitDirectTransfer(HANDLE device, uint8_t* data, uint32_t length,
                                                 uint8_t endpoint,
                                                 platform::OVERLAPPED* overlapped);
    int WaitTransfer(platform::OVERLAPPED* overlapped, uint32_t timeoutMs);
    // Takes the result of a finished direct transfer; the record is released in every case.
    int CompleteTransfer(HANDLE device, DirectTransferRecordPtr record,
                         platform::OVERLAPPED* overlapped, uint32_t* returned);
    int ResetPipe(HANDLE device, uint8_t endpoint);
    int ResetPort(HANDLE device);
    int AbortPipe(HANDLE device, uint8_t endpoint);
    int GetDeviceSpeed(HANDLE device, uint32_t* speed);
    // "Velcor-M3020-USB3-T2_01" and the like for the named products; fails for the others.
    int GetDeviceName(int index, char* text, size_t capacity);

    int DeviceIndex() const { return deviceIndex_; }
    int32_t LastError() const { return lastError_; }
    const platform::GUID& InterfaceClass() const { return interfaceClass_; }

    // The table as this process sees it: its own devices and the machine's, in the order the
    // process met them. Entries are appended only, so an index stays valid while an object of
    // the process holds the table; instance numbers count the entries of the same vendor and
    // product before it in this view.
    static int EntryCount();
    static bool GetEntry(int index, DeviceTableEntry* entry);

  protected:
    void SetDeviceIndex(int index) { deviceIndex_ = index; }

  private:
    void WriteBack();
    void Refresh();
    void AddReference(int delta);

    std::unique_ptr<platform::FileMapping> mapping_;
    SharedDeviceTable* view_ = nullptr;
    int deviceIndex_ = 0;
    platform::GUID interfaceClass_;
    std::atomic<int32_t> lastError_{0};
};

}  // namespace velcor
