// The controller of one camera: the FX3 firmware's vendor requests on endpoint 0, the I2C
// master that reaches the FPGA (0x40), the configuration EEPROM (0xA2) and the auxiliary chip
// (0x5A), and bulk streaming of frames and frame memory over endpoints 0x81, 0x83 (IN) and
// 0x01 (OUT).
//
// Each endpoint-0 request opens its own short-lived handle, so requests need no shared handle;
// the bulk paths use the streaming handle, opened on demand and kept until CloseStream. FPGA
// register access is serialised so the write-then-read pair of a read is never split.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "platform/CriticalSection.h"
#include "transport/ControllerBase.h"
#include "transport/FrameRequest.h"
#include "transport/Fx3Api.h"

namespace velcor {

class CDevIz3Cam : public CFx3Api, public CControllerBase {
  public:
    // Size of the transfer record buffer: 64 MiB of data behind a 38-byte record.
    static constexpr uint32_t kMaxBufferedLength = 0x4000000;
    static constexpr uint32_t kRecordBufferSize = kMaxBufferedLength + record::kSize;

    explicit CDevIz3Cam(const platform::GUID& interfaceClass = kFx3InterfaceClass);
    ~CDevIz3Cam() override;

    // CControllerBase
    int Reserved() override;
    int Release() override;
    int SelectDevice(int tableIndex) override;
    int ReadFpgaVersion(uint16_t* version) override;
    int I2cWrite(uint8_t busAddress, const uint8_t* data, int length, uint32_t timeoutMs) override;
    int I2cRead(uint8_t busAddress, uint8_t* data, int length, uint32_t timeoutMs) override;
    int WriteRegister32(uint16_t address, uint32_t value) override;
    int ReadRegister16(uint16_t address, uint16_t* value) override;
    int WriteSensorRegister16(uint16_t address, uint16_t value) override;
    int ReadSensorRegister16(uint16_t address, uint16_t* value) override;
    int WriteFpgaRegister(uint8_t reg, uint8_t value) override;
    int ReadFpgaRegister(uint8_t reg, uint8_t* value) override;
    int WriteAuxRegister(uint8_t reg, uint8_t value) override;
    int ReadAuxRegister(uint8_t reg, uint8_t* value) override;
    int AbortStream() override;

    // The controller's own operations, used by the camera engine.
    virtual int OpenStream();
    // Asks for a frame and reads its 64-byte header from 0x81, resynchronising the stream
    // (register 0x6C) up to 30 times.
    virtual int ReadFrameHeader(FrameRequest* request);
    // Reads the byte count of the header from 0x81 into the request's buffer, 512 KiB at a time.
    virtual int ReadFrameData(FrameRequest* request, uint32_t timeoutMs);
    // Reads the expected byte count from 0x83 after asking for a frame.
    virtual int ReadFrameData83(FrameRequest* request);
    // Reads the request's slot from frame memory; *size: bytes wanted in, bytes read out.
    virtual int ReadFrameFromMemory(FrameRequest* request, uint32_t* size, uint32_t timeoutMs);
    virtual int CloseStream();
    virtual int WriteMemory(uint64_t address, const uint8_t* buffer, uint32_t length);
    virtual int ReadMemory(uint64_t address, uint8_t* buffer, uint32_t length);
    virtual int WriteEeprom(uint16_t address, uint8_t value);
    virtual int ReadEeprom(uint16_t address, uint8_t* value);
    virtual int ResetEndpoints();
    virtual int SetFirmwareByte(uint8_t value);
    virtual int GetFirmwareByte(uint8_t* value);
    virtual int BufferedRead(HANDLE device, uint8_t* buffer, uint32_t length, uint8_t endpoint,
                             uint32_t* count);
    virtual int TransferWithWait(HANDLE device, uint8_t* buffer, uint32_t length, uint8_t endpoint,
                                 uint32_t* count);
    virtual int TransferWithTimeout(HANDLE device, uint8_t* buffer, uint32_t length,
                                    uint8_t endpoint, uint32_t* count, uint32_t timeoutMs);
    virtual int WriteTransfer(HANDLE device, const uint8_t* buffer, uint32_t length,
                              uint8_t endpoint, uint32_t* count);

    // Allocates the transfer record buffer and resets the device's port.
    int Prepare();
    int ResetDevicePort();
    int ResetStreamPipe(uint8_t endpoint);
    int GetUsbSpeed(uint32_t* speed);
    int ReadReadyState(uint8_t* ready);
    int ReadDeviceInfo(uint8_t info[64]);
    int ReadDeviceInfo2(uint8_t info[64]);
    int ResetStreamState();
    // Asks the firmware for a frame over the given (streaming) handle.
    int RequestFrame(HANDLE device);

    HANDLE StreamHandle() const { return stream_; }
    bool IsPrepared() const { return recordBuffer_ != nullptr; }

  private:
    // One endpoint-0 request with the 102-byte record. `in` receives the 64 data bytes of the
    // answer and *dataCount the number that came; `device` null: a fresh handle of its own.
    int VendorRequest(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index,
                      const uint8_t* out, int outLength, uint8_t* in, int* dataCount,
                      HANDLE device = nullptr);
    int DirectTransfer(HANDLE device, uint8_t* buffer, uint32_t length, uint8_t endpoint,
                       uint32_t* count, uint32_t timeoutMs);
    int MemoryCommand(const char tag[4], uint64_t address, uint32_t length);
    int MemoryTransfer(bool write, uint64_t address, uint8_t* buffer, uint32_t length,
                       uint32_t rounded, uint32_t pieceLimit);
    int PulseFrameRelease();

    // Opened and closed by the acquisition thread; AbortStream reads it from other threads.
    std::atomic<HANDLE> stream_{nullptr};
    // Set by AbortStream, cleared by ResetStreamState once the transfer is stopped.
    std::atomic<bool> streamAborted_{false};
    std::unique_ptr<uint8_t[]> recordBuffer_;
    platform::CriticalSection fpgaLock_;
};

}  // namespace velcor
