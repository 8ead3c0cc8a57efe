#include "transport/usb/UsbDevice.h"

#include <algorithm>
#include <cstring>

#include "protocol/UsbProtocol.h"

namespace velcor::transport {
namespace {

using platform::IoRequest;

constexpr int kInterface = 0;
constexpr size_t kSetupSize = LIBUSB_CONTROL_SETUP_SIZE;

uint32_t Get32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
uint16_t Get16(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
void Put32(uint8_t* p, uint32_t v) {
    std::memcpy(p, &v, sizeof v);
}

// The speed word of the driver's speed request.
uint32_t SpeedWord(int speed) {
    switch (speed) {
        case LIBUSB_SPEED_LOW:
        case LIBUSB_SPEED_FULL:
            return 1;
        case LIBUSB_SPEED_HIGH:
            return 2;
        case LIBUSB_SPEED_SUPER:
        case LIBUSB_SPEED_SUPER_PLUS:
            return kDeviceSpeedSuperSpeed;
        default:
            return 0;
    }
}

// The Win32 error a failed libusb call is reported with.
uint32_t ErrorOf(int libusbError) {
    switch (libusbError) {
        case LIBUSB_ERROR_NO_DEVICE:
        case LIBUSB_ERROR_NOT_FOUND:
            return platform::kErrorDeviceNotConnected;
        case LIBUSB_ERROR_ACCESS:
        case LIBUSB_ERROR_BUSY:
            return platform::kErrorAccessDenied;
        case LIBUSB_ERROR_TIMEOUT:
            return platform::kErrorSemTimeout;
        case LIBUSB_ERROR_INVALID_PARAM:
            return platform::kErrorInvalidParameter;
        default:
            return platform::kErrorGenFailure;
    }
}

// A device whose last transfer ends on the event thread goes there, but libusb cannot close a
// handle on the thread that runs its events: such handles are closed at the next rescan.
thread_local bool onEventThread = false;
std::mutex deferredMutex;
std::vector<libusb_device_handle*> deferredHandles;

}  // namespace

void UsbDevice::MarkEventThread() {
    onEventThread = true;
}

void UsbDevice::CloseDeferredHandles() {
    std::vector<libusb_device_handle*> handles;
    {
        std::lock_guard lock(deferredMutex);
        handles.swap(deferredHandles);
    }
    for (libusb_device_handle* handle : handles) {
        libusb_release_interface(handle, kInterface);
        libusb_close(handle);
    }
}

// One request on its way over the bus. The control transfer's setup packet and data travel in
// a buffer of their own; bulk transfers move the caller's bytes in place.
struct UsbDevice::Transfer {
    UsbDevice* owner;
    // The device stays while a transfer of it can still call back.
    std::shared_ptr<UsbDevice> keep;
    std::shared_ptr<IoRequest> request;
    bool control;
    bool buffered;
    uint8_t endpoint;
    uint8_t* record;  // the request's 38-byte record
    uint8_t* data;    // where the request's data lives
    uint32_t dataLength;
    std::vector<uint8_t> controlBuffer;
    struct Free {
        void operator()(libusb_transfer* t) const { libusb_free_transfer(t); }
    };
    std::unique_ptr<libusb_transfer, Free> transfer{libusb_alloc_transfer(0)};
};

UsbDevice::UsbDevice(libusb_device* device, std::string path, std::function<void()> lost)
    : device_(libusb_ref_device(device)), path_(std::move(path)), lost_(std::move(lost)) {}

UsbDevice::~UsbDevice() {
    // The backend keeps a device while transfers are in flight; none is left here.
    if (handle_ != nullptr && onEventThread) {
        std::lock_guard lock(deferredMutex);
        deferredHandles.push_back(handle_);
    } else if (handle_ != nullptr) {
        libusb_release_interface(handle_, kInterface);
        libusb_close(handle_);
    }
    libusb_unref_device(device_);
}

bool UsbDevice::IsPresent() const {
    std::lock_guard lock(mutex_);
    return present_;
}

int UsbDevice::EnsureOpen() const {
    {
        std::lock_guard lock(mutex_);
        if (!present_) return LIBUSB_ERROR_NO_DEVICE;
        if (handle_ != nullptr) return LIBUSB_SUCCESS;
    }
    // Opened and closed without the device's lock: libusb takes its event lock there, which
    // the event thread holds while a completion takes the device's lock.
    libusb_device_handle* handle = nullptr;
    int result = libusb_open(device_, &handle);
    if (result != LIBUSB_SUCCESS) return result;
    libusb_set_auto_detach_kernel_driver(handle, 1);
    result = libusb_claim_interface(handle, kInterface);
    if (result == LIBUSB_SUCCESS) {
        std::lock_guard lock(mutex_);
        if (handle_ == nullptr && present_) {
            handle_ = handle;
            return LIBUSB_SUCCESS;
        }
        result = present_ ? LIBUSB_SUCCESS : LIBUSB_ERROR_NO_DEVICE;  // another thread won
        libusb_release_interface(handle, kInterface);
    }
    libusb_close(handle);
    return result;
}

bool UsbDevice::AcceptsOpen() const {
    return EnsureOpen() == LIBUSB_SUCCESS;
}

void UsbDevice::MarkLost() {
    bool report = false;
    {
        std::lock_guard lock(mutex_);
        present_ = false;
        report = !lostReported_;
        lostReported_ = true;
        // The transfers still on the bus come back cancelled or without a device; both end
        // their requests as lost.
        for (auto& t : inFlight_)
            libusb_cancel_transfer(t->transfer.get());
    }
    if (report && lost_) lost_();
}

void UsbDevice::Fail(const std::shared_ptr<IoRequest>& request, int libusbError) {
    if (libusbError == LIBUSB_ERROR_NO_DEVICE) MarkLost();
    request->Complete(ErrorOf(libusbError), 0);
}

void UsbDevice::StartIo(const std::shared_ptr<IoRequest>& request) {
    const int opened = EnsureOpen();
    if (opened != LIBUSB_SUCCESS) {
        Fail(request, opened);
        return;
    }
    libusb_device_handle* handle = nullptr;
    {
        std::lock_guard lock(mutex_);
        handle = handle_;
    }
    switch (request->Code()) {
        case kIoctlControlTransfer:
            Submit(request, true, true);
            return;
        case kIoctlBufferedBulk:
            Submit(request, false, true);
            return;
        case kIoctlDirectTransfer:
            Submit(request, false, false);
            return;
        case kIoctlResetPipe: {
            if (request->InputSize() < 1) break;
            const int result = libusb_clear_halt(handle, request->Input()[0]);
            if (result != LIBUSB_SUCCESS) {
                Fail(request, result);
            } else {
                request->Complete(platform::kErrorSuccess, 0);
            }
            return;
        }
        case kIoctlAbortPipe:
            if (request->InputSize() < 1) break;
            CancelWhere(false, 0, request->Input()[0]);
            request->Complete(platform::kErrorSuccess, 0);
            return;
        case kIoctlResetPort: {
            // A port reset ends every transfer; the kernel claims the interface again after it.
            CancelWhere(true, 0, -1);
            const int result = libusb_reset_device(handle);
            if (result != LIBUSB_SUCCESS) {
                Fail(request, result);
            } else {
                request->Complete(platform::kErrorSuccess, 0);
            }
            return;
        }
        case kIoctlDeviceSpeed:
            if (request->OutputSize() < 4) {
                request->Complete(platform::kErrorInsufficientBuffer, 0);
                return;
            }
            Put32(request->Output(), SpeedWord(libusb_get_device_speed(device_)));
            request->Complete(platform::kErrorSuccess, 4);
            return;
        default:
            request->Complete(platform::kErrorInvalidFunction, 0);
            return;
    }
    request->Complete(platform::kErrorInvalidParameter, 0);
}

void UsbDevice::Submit(const std::shared_ptr<IoRequest>& request, bool control, bool buffered) {
    uint8_t* record = request->Input();
    const uint32_t size = request->InputSize();
    if (record == nullptr || size < record::kSize) {
        request->Complete(platform::kErrorInvalidParameter, 0);
        return;
    }
    auto t = std::make_unique<Transfer>();
    t->owner = this;
    t->keep = shared_from_this();
    t->request = request;
    t->control = control;
    t->buffered = buffered;
    t->record = record;
    t->endpoint = record[record::kEndpoint];
    if (buffered) {
        const uint32_t offset = Get32(record + record::kBufferOffset);
        if (offset < record::kSize || offset > size) {
            request->Complete(platform::kErrorInvalidParameter, 0);
            return;
        }
        t->data = record + offset;
        t->dataLength = std::min(Get32(record + record::kBufferLength), size - offset);
    } else {
        t->data = request->Output();
        t->dataLength = request->OutputSize();
    }
    if (t->transfer == nullptr) {
        request->Complete(platform::kErrorGenFailure, 0);
        return;
    }
    Put32(record + record::kDriverStatus, 0);
    Put32(record + record::kUsbStatus, 0);
    const uint32_t seconds = Get32(record + record::kTimeout);
    const unsigned timeoutMs = seconds > 4000000 ? 0u : seconds * 1000u;

    std::lock_guard lock(mutex_);
    if (!present_ || handle_ == nullptr) {
        request->Complete(platform::kErrorDeviceNotConnected, 0);
        return;
    }
    if (control) {
        // The data stage carries the record's data area; its direction is the request type's.
        const uint16_t length = static_cast<uint16_t>(std::min<uint32_t>(t->dataLength, 0xFFFF));
        t->controlBuffer.assign(kSetupSize + length, 0);
        libusb_fill_control_setup(t->controlBuffer.data(), record[record::kRequestType],
                                  record[record::kRequest], Get16(record + record::kValue),
                                  Get16(record + record::kIndex), length);
        if ((record[record::kRequestType] & LIBUSB_ENDPOINT_IN) == 0) {
            std::memcpy(t->controlBuffer.data() + kSetupSize, t->data, length);
        }
        libusb_fill_control_transfer(t->transfer.get(), handle_, t->controlBuffer.data(),
                                     OnTransferDone, t.get(), timeoutMs);
    } else {
        libusb_fill_bulk_transfer(t->transfer.get(), handle_, t->endpoint, t->data,
                                  static_cast<int>(std::min<uint32_t>(t->dataLength, INT32_MAX)),
                                  OnTransferDone, t.get(), timeoutMs);
    }
    const int result = libusb_submit_transfer(t->transfer.get());
    if (result != LIBUSB_SUCCESS) {
        if (result == LIBUSB_ERROR_NO_DEVICE) {
            present_ = false;
            for (auto& other : inFlight_)
                libusb_cancel_transfer(other->transfer.get());
        }
        const bool report = result == LIBUSB_ERROR_NO_DEVICE && !lostReported_;
        if (report) lostReported_ = true;
        request->Complete(ErrorOf(result), 0);
        if (report && lost_) {
            // Told without the lock: the backend takes its own.
            mutex_.unlock();
            lost_();
            mutex_.lock();
        }
        return;
    }
    inFlight_.push_back(std::move(t));
}

void LIBUSB_CALL UsbDevice::OnTransferDone(libusb_transfer* transfer) {
    auto* t = static_cast<Transfer*>(transfer->user_data);
    t->owner->Finish(t);
}

void UsbDevice::Finish(Transfer* t) {
    std::unique_ptr<Transfer> owned;
    bool present = true;
    {
        std::lock_guard lock(mutex_);
        auto found = std::find_if(inFlight_.begin(), inFlight_.end(),
                                  [t](const auto& p) { return p.get() == t; });
        if (found == inFlight_.end()) return;
        owned = std::move(*found);
        inFlight_.erase(found);
        present = present_;
    }
    libusb_transfer* transfer = t->transfer.get();
    const auto actual = static_cast<uint32_t>(std::max(transfer->actual_length, 0));
    uint32_t error = platform::kErrorSuccess;
    uint32_t bytes = 0;
    switch (transfer->status) {
        case LIBUSB_TRANSFER_COMPLETED:
            if (t->control) {
                if ((t->record[record::kRequestType] & LIBUSB_ENDPOINT_IN) != 0) {
                    std::memcpy(t->data, libusb_control_transfer_get_data(transfer), actual);
                }
                bytes = static_cast<uint32_t>(t->data - t->record) + actual;
            } else {
                bytes = actual + (t->buffered ? static_cast<uint32_t>(record::kSize) : 0u);
            }
            break;
        case LIBUSB_TRANSFER_STALL:
            Put32(t->record + record::kUsbStatus, kUsbStatusStall);
            error = platform::kErrorGenFailure;
            break;
        case LIBUSB_TRANSFER_TIMED_OUT:
            error = platform::kErrorSemTimeout;
            break;
        case LIBUSB_TRANSFER_CANCELLED:
            error = present ? platform::kErrorOperationAborted : platform::kErrorDeviceNotConnected;
            break;
        case LIBUSB_TRANSFER_NO_DEVICE:
            error = platform::kErrorDeviceNotConnected;
            break;
        default:  // a transaction error or babble
            Put32(t->record + record::kUsbStatus, kUsbStatusXactError);
            error = platform::kErrorGenFailure;
            break;
    }
    if (transfer->status == LIBUSB_TRANSFER_NO_DEVICE) MarkLost();
    t->request->Complete(error, bytes);
}

void UsbDevice::CancelWhere(bool all, uint64_t owner, int endpoint) {
    std::lock_guard lock(mutex_);
    for (auto& t : inFlight_) {
        const bool match = all || (endpoint >= 0 ? t->endpoint == endpoint && !t->control
                                                 : t->request->Owner() == owner);
        if (match) libusb_cancel_transfer(t->transfer.get());
    }
}

void UsbDevice::CancelIo(uint64_t owner) {
    CancelWhere(false, owner, -1);
}

}  // namespace velcor::transport
