#include "transport/DevIz3Cam.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/Clock.h"
#include "platform/Event.h"
#include "protocol/FpgaRegisterMap.h"
#include "protocol/UsbProtocol.h"

namespace velcor {
namespace {

using namespace usb;  // the wire protocol

using platform::Event;
using platform::OVERLAPPED;

constexpr int kDataArea = 64;
constexpr uint32_t kControlRecordSize = record::kSize + kDataArea;  // 102
constexpr uint32_t kControlTimeoutSeconds = 3;

constexpr uint32_t kBusTimeoutMs = 3000;

constexpr int kHeaderAttempts = 30;
constexpr uint32_t kHeaderTimeoutMs = 200;
constexpr uint32_t kFramePiece = 0x80000;
constexpr uint32_t kWaitTransferMs = 5000;
constexpr uint32_t kWriteTransferMs = 3000;
constexpr uint32_t kMemoryReadTimeoutMs = 3000;
constexpr uint32_t kMemoryPiece = 0x1000000;
constexpr uint32_t kFrameMemoryPiece = 0x400000;
constexpr uint32_t kAbortGraceMs = 50;
constexpr uint32_t kEepromWriteMs = 14;
constexpr uint32_t kEepromAddressMs = 10;

void Put16(uint8_t* p, uint16_t v) {
    std::memcpy(p, &v, sizeof v);
}
void Put32(uint8_t* p, uint32_t v) {
    std::memcpy(p, &v, sizeof v);
}
uint16_t Get16(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

}  // namespace

CDevIz3Cam::CDevIz3Cam(const platform::GUID& interfaceClass) : CFx3Api(interfaceClass) {
    SetDeviceIndex(0);
}

CDevIz3Cam::~CDevIz3Cam() {
    CloseStream();
    recordBuffer_.reset();
}

int CDevIz3Cam::VendorRequest(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index,
                              const uint8_t* out, int outLength, uint8_t* in, int* dataCount,
                              HANDLE device) {
    if (dataCount != nullptr) *dataCount = 0;
    uint8_t buffer[kControlRecordSize] = {};
    buffer[record::kRequestType] = requestType;
    buffer[record::kRequest] = request;
    Put16(buffer + record::kValue, value);
    Put16(buffer + record::kIndex, index);
    Put16(buffer + record::kLength, kControlRecordSize);
    Put32(buffer + record::kTimeout, kControlTimeoutSeconds);
    Put32(buffer + record::kBufferOffset, record::kSize);
    Put32(buffer + record::kBufferLength, kDataArea);
    if (out != nullptr && outLength > 0) {
        std::memcpy(buffer + record::kSize, out, std::min(outLength, kDataArea));
    }

    HANDLE own = nullptr;
    if (device == nullptr) {
        own = OpenDevice(DeviceIndex(), false);
        if (own == nullptr) return 0;
    }
    uint32_t returned = 0;
    const int ok =
        ControlTransfer(device != nullptr ? device : own, buffer, kControlRecordSize, &returned);
    CloseDevice(own);
    if (!ok) return 0;
    const int count = returned > record::kSize ? static_cast<int>(returned - record::kSize) : 0;
    if (dataCount != nullptr) *dataCount = count;
    if (in != nullptr) std::memcpy(in, buffer + record::kSize, kDataArea);
    return 1;
}

// --- CControllerBase ---------------------------------------------------------------------

int CDevIz3Cam::Reserved() {
    return 0;
}

int CDevIz3Cam::Release() {
    CloseStream();
    recordBuffer_.reset();
    return 1;
}

int CDevIz3Cam::SelectDevice(int tableIndex) {
    CloseStream();
    if (!ProbeDevice(tableIndex)) return 0;
    SetDeviceIndex(tableIndex);
    return 1;
}

int CDevIz3Cam::ReadFpgaVersion(uint16_t* version) {
    uint8_t low = 0;
    uint8_t high = 0;
    ReadFpgaRegister(fpga::kVersionLow, &low);
    ReadFpgaRegister(fpga::kVersionHigh, &high);
    if (version != nullptr) *version = static_cast<uint16_t>(high << 8 | low);
    return 1;
}

int CDevIz3Cam::I2cWrite(uint8_t busAddress, const uint8_t* data, int length,
                         uint32_t /*timeoutMs*/) {
    if (length < 0 || length > kDataArea || (length > 0 && data == nullptr)) return 0;
    return VendorRequest(kTypeOut, kRequestI2cWrite, static_cast<uint16_t>(length), busAddress,
                         data, length, nullptr, nullptr);
}

int CDevIz3Cam::I2cRead(uint8_t busAddress, uint8_t* data, int length, uint32_t /*timeoutMs*/) {
    if (length < 0 || length > kDataArea || (length > 0 && data == nullptr)) return 0;
    uint8_t in[kDataArea];
    int count = 0;
    if (!VendorRequest(kTypeIn, kRequestI2cRead, static_cast<uint16_t>(length), busAddress | 1,
                       nullptr, 0, in, &count)) {
        return 0;
    }
    // Fewer bytes than asked for are no answer.
    if (count < length) return 0;
    if (length > 0) std::memcpy(data, in, length);
    return 1;
}

int CDevIz3Cam::WriteRegister32(uint16_t address, uint32_t value) {
    uint8_t data[4];
    Put32(data, value);
    return VendorRequest(kTypeOut, kRequestWriteRegister32, static_cast<uint16_t>(address >> 15),
                         address & 0x7FFF, data, sizeof data, nullptr, nullptr);
}

int CDevIz3Cam::ReadRegister16(uint16_t address, uint16_t* value) {
    if (value != nullptr) *value = 0;
    uint8_t in[kDataArea];
    int count = 0;
    if (!VendorRequest(kTypeIn, kRequestReadRegister16, 0, address, nullptr, 0, in, &count)) {
        return 0;
    }
    if (count >= kDataArea && value != nullptr) *value = Get16(in);
    return 1;
}

int CDevIz3Cam::WriteSensorRegister16(uint16_t address, uint16_t value) {
    const uint8_t data[4] = {static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address),
                             static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
    return VendorRequest(kTypeOut, kRequestWriteSensor16, 0, 0, data, sizeof data, nullptr,
                         nullptr);
}

int CDevIz3Cam::ReadSensorRegister16(uint16_t address, uint16_t* value) {
    uint8_t in[kDataArea];
    int count = 0;
    if (!VendorRequest(kTypeIn, kRequestReadSensor16, address, 0, nullptr, 0, in, &count)) {
        return 0;
    }
    if (count > 0 && value != nullptr) *value = Get16(in);
    return 1;
}

int CDevIz3Cam::WriteFpgaRegister(uint8_t reg, uint8_t value) {
    platform::CriticalSectionLock lock(fpgaLock_);
    const uint8_t data[3] = {reg, 0, value};
    return I2cWrite(kBusFpga, data, sizeof data, kBusTimeoutMs);
}

int CDevIz3Cam::ReadFpgaRegister(uint8_t reg, uint8_t* value) {
    platform::CriticalSectionLock lock(fpgaLock_);
    if (!I2cWrite(kBusFpga, &reg, 1, kBusTimeoutMs)) return 0;
    uint8_t data[2] = {};
    if (!I2cRead(kBusFpga | 1, data, sizeof data, kBusTimeoutMs)) return 0;
    if (value != nullptr) *value = data[1];
    return 1;
}

int CDevIz3Cam::WriteAuxRegister(uint8_t reg, uint8_t value) {
    const uint8_t data[2] = {reg, value};
    return I2cWrite(kBusAux, data, sizeof data, kBusTimeoutMs);
}

int CDevIz3Cam::ReadAuxRegister(uint8_t reg, uint8_t* value) {
    if (!I2cWrite(kBusAux, &reg, 1, kBusTimeoutMs)) return 0;
    return I2cRead(kBusAux | 1, value, 1, kBusTimeoutMs);
}

int CDevIz3Cam::AbortStream() {
    // Latched before the abort, so a header retry that starts after it sees it.
    streamAborted_ = true;
    AbortPipe(stream_, kEndpointFrames);
    return 1;
}

// --- Streaming ---------------------------------------------------------------------------

int CDevIz3Cam::OpenStream() {
    if (stream_ == nullptr) stream_ = OpenDevice(DeviceIndex(), true);
    return stream_.load() != nullptr ? 1 : 0;
}

int CDevIz3Cam::CloseStream() {
    HANDLE stream = stream_.exchange(nullptr);
    CloseDevice(stream);
    return 1;
}

int CDevIz3Cam::RequestFrame(HANDLE device) {
    if (device == nullptr) return 0;
    return VendorRequest(kTypeOutEndpoint, kRequestFrame, 0, 0, nullptr, 0, nullptr, nullptr,
                         device);
}

int CDevIz3Cam::PulseFrameRelease() {
    const int set = WriteFpgaRegister(fpga::kFrameRelease, 1);
    const int clear = WriteFpgaRegister(fpga::kFrameRelease, 0);
    return set && clear;
}

int CDevIz3Cam::ReadFrameHeader(FrameRequest* request) {
    if (request == nullptr) return 0;
    const bool openedHere = stream_ == nullptr;
    if (!OpenStream()) return 0;
    // A stopped stream ends the retries at once: each one waits out its time-out, so thirty
    // of them would hold up whoever stops the transfer for seconds.
    for (int attempt = 0; attempt < kHeaderAttempts && !streamAborted_; ++attempt) {
        if (!RequestFrame(stream_)) break;
        uint8_t header[64];
        uint32_t count = 0;
        if (TransferWithTimeout(stream_, header, sizeof header, kEndpointFrames, &count,
                                kHeaderTimeoutMs) &&
            count == sizeof header) {
            std::memcpy(request->header, header, sizeof header);
            request->slot = Get16(header + 32);
            return 1;
        }
        // A lost header: release the slot and resynchronise the stream.
        PulseFrameRelease();
        platform::Sleep(10);
    }
    if (openedHere) CloseStream();
    return 0;
}

int CDevIz3Cam::ReadFrameData(FrameRequest* request, uint32_t timeoutMs) {
    if (request == nullptr) return 0;
    const uint32_t total = request->HeaderByteCount();
    if (total > request->capacity || (total > 0 && request->buffer == nullptr)) return 0;
    if (!OpenStream()) return 0;
    for (uint32_t done = 0; done < total;) {
        const uint32_t piece = std::min(kFramePiece, total - done);
        uint32_t count = 0;
        if (!TransferWithTimeout(stream_, request->buffer + done, piece, kEndpointFrames, &count,
                                 timeoutMs) ||
            count != piece) {
            return 0;
        }
        done += piece;
    }
    return 1;
}

int CDevIz3Cam::ReadFrameData83(FrameRequest* request) {
    if (request == nullptr || request->buffer == nullptr) return 0;
    // The device moves the expected count straight into the buffer, so it must fit.
    if (request->expectedBytes > request->capacity) return 0;
    if (!OpenStream()) return 0;
    uint32_t count = 0;
    return TransferWithWait(stream_, request->buffer, request->expectedBytes, kEndpointFrames83,
                            &count) &&
                   count == request->expectedBytes
               ? 1
               : 0;
}

int CDevIz3Cam::MemoryCommand(const char tag[4], uint64_t address, uint32_t length) {
    uint8_t command[32] = {};
    std::memcpy(command, tag, 4);
    Put32(command + 4, 2);
    Put32(command + 8, static_cast<uint32_t>(address));
    Put32(command + 12, static_cast<uint32_t>(address >> 32));
    Put32(command + 16, length);
    uint32_t count = 0;
    return WriteTransfer(stream_, command, sizeof command, kEndpointOut, &count) &&
           count == sizeof command;
}

// Moves `rounded` bytes in pieces of at most pieceLimit. The device works in whole pages, so
// the rounded count exceeds the caller's `length` bytes; the part of a piece beyond them goes
// through a scratch buffer and never touches the caller's memory.
int CDevIz3Cam::MemoryTransfer(bool write, uint64_t address, uint8_t* buffer, uint32_t length,
                               uint32_t rounded, uint32_t pieceLimit) {
    if (!OpenStream()) return 0;
    std::vector<uint8_t> scratch;
    for (uint32_t done = 0; done < rounded;) {
        const uint32_t piece = std::min(pieceLimit, rounded - done);
        const uint32_t inCaller = done < length ? std::min(piece, length - done) : 0;
        uint8_t* data = buffer + done;
        if (inCaller < piece) {
            scratch.assign(piece, 0);
            if (write && inCaller > 0) std::memcpy(scratch.data(), buffer + done, inCaller);
            data = scratch.data();
        }
        if (!MemoryCommand(write ? "AU3W" : "AU3R", address, piece)) {
            platform::Sleep(1);
            return 0;
        }
        uint32_t count = 0;
        const int ok = write ? WriteTransfer(stream_, data, piece, kEndpointOut, &count)
                             : TransferWithTimeout(stream_, data, piece, kEndpointFrames, &count,
                                                   kMemoryReadTimeoutMs);
        if (!ok) platform::Sleep(1);
        if (!ok || count < piece) return 0;
        if (!write && data != buffer + done && inCaller > 0) {
            std::memcpy(buffer + done, data, inCaller);
        }
        done += piece;
        address += piece;
    }
    return 1;
}

int CDevIz3Cam::WriteMemory(uint64_t address, const uint8_t* buffer, uint32_t length) {
    if (length > 0xFFFFEFFFu) return 1;
    if (buffer == nullptr) return 0;
    const uint32_t rounded = (length & ~0xFFFu) + 0x1000;
    // The buffer is only read: the OUT endpoint takes the data from it.
    return MemoryTransfer(true, address, const_cast<uint8_t*>(buffer), length, rounded,
                          kMemoryPiece);
}

int CDevIz3Cam::ReadMemory(uint64_t address, uint8_t* buffer, uint32_t length) {
    if (length > 0xFFFFEFFFu) return 1;
    if (buffer == nullptr) return 0;
    const uint32_t rounded = (length & ~0xFFFu) + 0x1000;
    return MemoryTransfer(false, address, buffer, length, rounded, kMemoryPiece);
}

int CDevIz3Cam::ReadFrameFromMemory(FrameRequest* request, uint32_t* size, uint32_t /*timeoutMs*/) {
    if (request == nullptr || size == nullptr || request->buffer == nullptr) return 0;
    uint32_t slotSize = 0;
    const uint8_t sizeRegisters[4] = {fpga::kSlotSize0, fpga::kSlotSize1, fpga::kSlotSize2,
                                      fpga::kSlotSize3};
    for (int i = 0; i < 4; ++i) {
        uint8_t byte = 0;
        if (!ReadFpgaRegister(sizeRegisters[i], &byte)) return 0;
        slotSize |= static_cast<uint32_t>(byte) << (8 * i);
    }
    if (!WriteFpgaRegister(fpga::kMemoryReadPrepare, 2)) return 0;
    const uint64_t address = static_cast<uint64_t>(request->slot) * slotSize * 256;
    if (*size > 0xFFFFBFFFu) return 0;
    const uint32_t rounded = (*size & ~0x3FFFu) + 0x4000;
    if (!MemoryTransfer(false, address, request->buffer, request->capacity, rounded,
                        kFrameMemoryPiece)) {
        return 0;
    }
    *size = std::min(rounded, request->capacity);
    PulseFrameRelease();
    return 1;
}

// --- EEPROM and firmware -----------------------------------------------------------------

int CDevIz3Cam::WriteEeprom(uint16_t address, uint8_t value) {
    const uint8_t data[3] = {static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address),
                             value};
    const int ok = I2cWrite(kBusEeprom, data, sizeof data, kBusTimeoutMs);
    platform::Sleep(kEepromWriteMs);  // the EEPROM's write cycle
    return ok;
}

int CDevIz3Cam::ReadEeprom(uint16_t address, uint8_t* value) {
    const uint8_t data[2] = {static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address)};
    if (!I2cWrite(kBusEeprom, data, sizeof data, kBusTimeoutMs)) return 0;
    platform::Sleep(kEepromAddressMs);
    return I2cRead(kBusEeprom | 1, value, 1, kBusTimeoutMs);
}

int CDevIz3Cam::ResetEndpoints() {
    return VendorRequest(kTypeOutEndpoint, kRequestResetEndpoints, 0, 0, nullptr, 0, nullptr,
                         nullptr);
}

int CDevIz3Cam::SetFirmwareByte(uint8_t value) {
    return VendorRequest(kTypeOut, kRequestSetFirmwareByte, 0, 0, &value, 1, nullptr, nullptr);
}

int CDevIz3Cam::GetFirmwareByte(uint8_t* value) {
    uint8_t in[kDataArea];
    int count = 0;
    if (!VendorRequest(kTypeIn, kRequestGetFirmwareByte, 0, 0, nullptr, 0, in, &count)) return 0;
    if (count > 0 && value != nullptr) *value = in[0];
    return 1;
}

int CDevIz3Cam::ReadReadyState(uint8_t* ready) {
    uint8_t in[kDataArea];
    int count = 0;
    if (!VendorRequest(kTypeIn, kRequestReadyState, 0, 0, nullptr, 0, in, &count)) return 0;
    if (count == kDataArea && ready != nullptr) *ready = in[0];
    return 1;
}

int CDevIz3Cam::ReadDeviceInfo(uint8_t info[64]) {
    uint8_t in[kDataArea];
    int count = 0;
    if (!VendorRequest(kTypeIn, kRequestDeviceInfo, 0, 0, nullptr, 0, in, &count)) return 0;
    if (count == kDataArea && info != nullptr) std::memcpy(info, in, kDataArea);
    return 1;
}

int CDevIz3Cam::ReadDeviceInfo2(uint8_t info[64]) {
    uint8_t in[kDataArea];
    int count = 0;
    if (!VendorRequest(kTypeIn, kRequestDeviceInfo2, 0, 0, nullptr, 0, in, &count)) return 0;
    if (count == kDataArea && info != nullptr) std::memcpy(info, in, kDataArea);
    return 1;
}

int CDevIz3Cam::ResetStreamState() {
    streamAborted_ = false;
    return VendorRequest(kTypeOut, kRequestResetStreamState, 0, 0, nullptr, 0, nullptr, nullptr);
}

// --- Port-level operations on a fresh handle ---------------------------------------------

int CDevIz3Cam::Prepare() {
    if (recordBuffer_ == nullptr) {
        recordBuffer_ = std::make_unique_for_overwrite<uint8_t[]>(kRecordBufferSize);
    }
    ResetDevicePort();
    return 1;
}

int CDevIz3Cam::ResetDevicePort() {
    HANDLE device = OpenDevice(DeviceIndex(), false);
    const int ok = ResetPort(device);
    CloseDevice(device);
    return ok;
}

int CDevIz3Cam::ResetStreamPipe(uint8_t endpoint) {
    HANDLE device = OpenDevice(DeviceIndex(), false);
    const int ok = ResetPipe(device, endpoint);
    CloseDevice(device);
    return ok;
}

int CDevIz3Cam::GetUsbSpeed(uint32_t* speed) {
    HANDLE device = OpenDevice(DeviceIndex(), false);
    const int ok = GetDeviceSpeed(device, speed);
    CloseDevice(device);
    return ok;
}

// --- Bulk transfers ----------------------------------------------------------------------

int CDevIz3Cam::BufferedRead(HANDLE device, uint8_t* buffer, uint32_t length, uint8_t endpoint,
                             uint32_t* count) {
    if (count != nullptr) *count = 0;
    if (length > kMaxBufferedLength || recordBuffer_ == nullptr) return 0;
    uint8_t* transfer = recordBuffer_.get();
    std::memset(transfer, 0, record::kSize);
    transfer[record::kEndpoint] = endpoint;
    Put32(transfer + record::kBufferOffset, record::kSize);
    Put32(transfer + record::kBufferLength, length);
    uint32_t returned = 0;
    if (!BufferedBulkTransfer(device, transfer, record::kSize + length, &returned)) return 0;
    const uint32_t data = returned > record::kSize ? returned - record::kSize : 0;
    if (data <= length && buffer != nullptr) std::memcpy(buffer, transfer + record::kSize, data);
    if (count != nullptr) *count = data;
    return 1;
}

int CDevIz3Cam::DirectTransfer(HANDLE device, uint8_t* buffer, uint32_t length, uint8_t endpoint,
                               uint32_t* count, uint32_t timeoutMs) {
    if (count != nullptr) *count = 0;
    if (length > kMaxBufferedLength || recordBuffer_ == nullptr) return 0;
    Event event(Event::Reset::Auto);
    OVERLAPPED overlapped;
    overlapped.hEvent = &event;
    DirectTransferRecordPtr transfer =
        SubmitDirectTransfer(device, buffer, length, endpoint, &overlapped);
    if (transfer == nullptr) return 0;
    uint32_t bytes = 0;
    if (WaitTransfer(&overlapped, timeoutMs)) {
        const int ok = CompleteTransfer(device, std::move(transfer), &overlapped, &bytes);
        if (count != nullptr) *count = ok ? bytes : 0;
        return ok;
    }
    // Not finished in time. Only a pending transfer can still complete; it is cancelled and
    // its end awaited, because the record, the event and the caller's buffer must outlive it.
    if (LastError() == static_cast<int32_t>(platform::kErrorIoPending)) {
        AbortPipe(device, endpoint);
        if (!event.Wait(kAbortGraceMs)) {
            AbortPipe(device, endpoint);
            event.Wait(platform::kInfinite);
        }
    }
    return 0;
}

int CDevIz3Cam::TransferWithWait(HANDLE device, uint8_t* buffer, uint32_t length, uint8_t endpoint,
                                 uint32_t* count) {
    if (count != nullptr) *count = 0;
    if (length > kMaxBufferedLength || recordBuffer_ == nullptr) return 0;
    RequestFrame(device);
    return DirectTransfer(device, buffer, length, endpoint, count, kWaitTransferMs);
}

int CDevIz3Cam::TransferWithTimeout(HANDLE device, uint8_t* buffer, uint32_t length,
                                    uint8_t endpoint, uint32_t* count, uint32_t timeoutMs) {
    return DirectTransfer(device, buffer, length, endpoint, count, timeoutMs);
}

int CDevIz3Cam::WriteTransfer(HANDLE device, const uint8_t* buffer, uint32_t length,
                              uint8_t endpoint, uint32_t* count) {
    // The OUT endpoint only reads the buffer.
    return DirectTransfer(device, const_cast<uint8_t*>(buffer), length, endpoint, count,
                          kWriteTransferMs);
}

}  // namespace velcor
