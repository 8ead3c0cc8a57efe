// The driver port: the Linux stand-in for the device-interface enumeration and the device I/O
// of kernel32 through which the library reaches the USB bridge's kernel-mode driver.
//
// The calls keep their Win32 shape and semantics so that the transport code reads as it would
// against the real driver: device paths of the form
//   \\?\usb#vid_XXXX&pid_XXXX#<instance>#{interface class}
// CreateFile / CloseHandle, DeviceIoControl with synchronous completion or failure with
// ERROR_IO_PENDING and later completion through an OVERLAPPED whose event is signalled, and
// GetOverlappedResult. The thread's last error is kept per thread as on Windows.
//
// Behind the port sit backends, each a source of devices (the simulated camera now, real USB
// devices later). A backend's device receives every I/O control as an IoRequest and completes
// it at once or later, from any thread. Nothing above the port knows which backend answers; it
// only learns whether a device belongs to the machine or to this process alone.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Event.h"

namespace velcor::platform {

struct DeviceHandleTag;
using HANDLE = DeviceHandleTag*;
inline HANDLE const kInvalidHandleValue =
    reinterpret_cast<HANDLE>(~uintptr_t{0});  // NOLINT(performance-no-int-to-ptr)

// Win32 error codes the port produces.
inline constexpr uint32_t kErrorSuccess = 0;
inline constexpr uint32_t kErrorFileNotFound = 2;
inline constexpr uint32_t kErrorAccessDenied = 5;
inline constexpr uint32_t kErrorInvalidHandle = 6;
inline constexpr uint32_t kErrorGenFailure = 31;
inline constexpr uint32_t kErrorInvalidParameter = 87;
inline constexpr uint32_t kErrorSemTimeout = 121;
inline constexpr uint32_t kErrorInsufficientBuffer = 122;
inline constexpr uint32_t kErrorNoMoreItems = 259;
inline constexpr uint32_t kErrorOperationAborted = 995;
inline constexpr uint32_t kErrorIoIncomplete = 996;
inline constexpr uint32_t kErrorIoPending = 997;
inline constexpr uint32_t kErrorInvalidFunction = 1;
inline constexpr uint32_t kErrorDeviceNotConnected = 1167;

uint32_t GetLastError();
void SetLastError(uint32_t error);

// CreateFile access, sharing, disposition and flags that the transport uses.
inline constexpr uint32_t kGenericRead = 0x80000000u;
inline constexpr uint32_t kGenericWrite = 0x40000000u;
inline constexpr uint32_t kFileShareRead = 0x1;
inline constexpr uint32_t kFileShareWrite = 0x2;
inline constexpr uint32_t kOpenExisting = 3;
inline constexpr uint32_t kFileFlagOverlapped = 0x40000000u;

struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];

    friend bool operator==(const GUID&, const GUID&) = default;
};

// "{328184c5-93e6-49b7-94b8-2ada13aabb39}": braces, lower-case hexadecimal.
std::string GuidToString(const GUID& guid);

// The parts of an OVERLAPPED the transport uses. Internal holds the error code of the request
// (kErrorIoPending while it runs) and InternalHigh its byte count; both belong to the port
// until the request completes. hEvent is set when the request completes.
struct OVERLAPPED {
    uint32_t Internal = 0;
    uint32_t InternalHigh = 0;
    Event* hEvent = nullptr;
};

// I/O control codes: device type 0x22, function, method (0 buffered, 3 neither), any access.
constexpr uint32_t CtlCode(uint32_t deviceType, uint32_t function, uint32_t method) {
    return (deviceType << 16) | (function << 2) | method;
}
inline constexpr uint32_t kMethodBuffered = 0;
inline constexpr uint32_t kMethodNeither = 3;

// One I/O control on its way through a device. With the buffered method the input is copied
// into a system buffer of max(input, output) bytes, the device works on that buffer (input and
// output share it) and, when the request succeeds, the reported byte count is copied back into
// the caller's output buffer. With the neither method the device works on the caller's own
// buffers, which stay valid until the request completes.
class IoRequest {
  public:
    IoRequest(uint64_t owner, uint32_t code, void* input, uint32_t inputSize, void* output,
              uint32_t outputSize);
    IoRequest(const IoRequest&) = delete;
    IoRequest& operator=(const IoRequest&) = delete;

    uint32_t Code() const { return code_; }
    // The handle through which the request came; a closed handle cancels its requests.
    uint64_t Owner() const { return owner_; }
    uint8_t* Input() { return input_; }
    uint32_t InputSize() const { return inputSize_; }
    uint8_t* Output() { return output_; }
    uint32_t OutputSize() const { return outputSize_; }

    // Completes the request once; later calls are ignored. Returns false when it had already
    // completed. error is a Win32 error code (0 for success).
    bool Complete(uint32_t error, uint32_t bytesReturned);
    bool IsComplete() const;
    // The error and byte count of a completed request; false while it runs.
    bool Result(uint32_t* error, uint32_t* bytesReturned) const;

  private:
    friend struct PortInternals;

    // Room for a control request's record: most buffered requests need no heap buffer.
    static constexpr uint32_t kInlineSystemBuffer = 128;

    const uint64_t owner_;
    const uint32_t code_;
    uint8_t inlineBuffer_[kInlineSystemBuffer];
    std::vector<uint8_t> systemBuffer_;  // larger buffered requests
    uint8_t* system_ = nullptr;
    uint8_t* input_;
    uint32_t inputSize_;
    uint8_t* output_;
    uint32_t outputSize_;
    uint8_t* callerOutput_;  // buffered method: where the result is copied on success
    OVERLAPPED* overlapped_ = nullptr;
    Event done_{Event::Reset::Manual};
    bool complete_ = false;
    uint32_t error_ = kErrorIoPending;
    uint32_t bytes_ = 0;
};

// A device as the bridge driver presents it.
class DriverDevice {
  public:
    virtual ~DriverDevice() = default;
    // The device's path; fixed for the device's life.
    virtual const std::string& Path() const = 0;
    // False once the device is unplugged: opens fail and new requests fail at once.
    virtual bool IsPresent() const = 0;
    // False when the device is present but refuses to be opened (access denied).
    virtual bool AcceptsOpen() const { return true; }
    // A handle to the device is being opened under the value `owner` (after AcceptsOpen). A
    // device that keeps a system handle of its own per open handle makes it here. Returns 0, or
    // the Win32 error the open fails with.
    virtual uint32_t Open(uint64_t owner) {
        (void)owner;
        return kErrorSuccess;
    }
    // True for a device that exists only inside this process: no other process can see or open
    // it, so nothing about it may go where other processes look.
    virtual bool ProcessLocal() const { return false; }
    // Starts a request; the device completes it now or later from any thread.
    virtual void StartIo(const std::shared_ptr<IoRequest>& request) = 0;
    // The handle `owner` was closed: complete its pending requests with a failure.
    virtual void CancelIo(uint64_t owner) = 0;
};

// A source of devices.
class DriverBackend {
  public:
    virtual ~DriverBackend() = default;
    // The present devices that expose the interface class, in a stable order.
    virtual std::vector<std::shared_ptr<DriverDevice>> PresentDevices(
        const GUID& interfaceClass) = 0;
    // The present device of that path (compared without regard to case), or null. Called for
    // every handle opened, so it allocates nothing.
    virtual std::shared_ptr<DriverDevice> FindPresentDevice(std::string_view path) = 0;
};

void RegisterDriverBackend(DriverBackend* backend);
void UnregisterDriverBackend(DriverBackend* backend);

// Device-interface enumeration, after SetupDiGetClassDevs (present devices exposing the
// interface class), SetupDiEnumDeviceInterfaces and SetupDiGetDeviceInterfaceDetail. The set is
// a snapshot taken at construction.
class DeviceInterfaceSet {
  public:
    explicit DeviceInterfaceSet(const GUID& interfaceClass);

    // False (last error kErrorNoMoreItems) when memberIndex lies beyond the set.
    bool EnumInterface(uint32_t memberIndex) const;
    // The detail record: a 32-bit size word followed by the NUL-terminated path. With a
    // buffer too small (or none) it fails with kErrorInsufficientBuffer; *required always
    // receives the record's size.
    bool GetInterfaceDetail(uint32_t memberIndex, uint8_t* detail, uint32_t detailSize,
                            uint32_t* required) const;
    // Whether the member's device exists only inside this process (DriverDevice::ProcessLocal);
    // false beyond the set.
    bool IsProcessLocal(uint32_t memberIndex) const;

  private:
    struct Member {
        std::string path;
        bool processLocal;
    };
    std::vector<Member> members_;
};

// Opens a device path (compared without regard to case). Fails with kErrorFileNotFound for an
// unknown or unplugged device, kErrorAccessDenied for one that refuses to be opened and the
// device's own error when its Open fails; returns kInvalidHandleValue on failure. Opening and
// closing allocate nothing while fewer than a few hundred handles are open at once: every
// control request opens one of its own.
HANDLE CreateFile(const char* path, uint32_t access, uint32_t shareMode, uint32_t disposition,
                  uint32_t flags);
bool CloseHandle(HANDLE handle);

// Issues an I/O control. On a handle opened without kFileFlagOverlapped, or without an
// overlapped structure, the call waits for completion. Otherwise it returns true when the
// device completed the request at once and false with kErrorIoPending when it runs on; the
// overlapped structure's event is signalled when it completes.
bool DeviceIoControl(HANDLE device, uint32_t code, void* input, uint32_t inputSize, void* output,
                     uint32_t outputSize, uint32_t* bytesReturned, OVERLAPPED* overlapped);

// The result of an overlapped request: false with kErrorIoIncomplete while it runs (wait
// false), or false with the request's error once it failed.
bool GetOverlappedResult(HANDLE device, OVERLAPPED* overlapped, uint32_t* bytesTransferred,
                         bool wait);

}  // namespace velcor::platform
