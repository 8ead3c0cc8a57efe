// The controller interface that sensor drivers and the camera engine hold. A sensor driver
// receives a pointer to it when it is built and does all of its device access through it.
//
// Every operation returns 1 on success and 0 on failure. Bus addresses are 8-bit write
// addresses; the read address is the same with bit 0 set. The FPGA register file sits at 0x40,
// the configuration EEPROM at 0xA2, an auxiliary chip at 0x5A.
#pragma once

#include <cstdint>

namespace velcor {

class CControllerBase {
  public:
    virtual ~CControllerBase() = default;

    virtual int Reserved() = 0;  // always 0
    // Closes the streaming handle and frees the transfer record buffer.
    virtual int Release() = 0;
    // Makes the table entry the controller's device when it answers a probe.
    virtual int SelectDevice(int tableIndex) = 0;
    // FPGA registers 0x10 (low byte) and 0x11 (high byte).
    virtual int ReadFpgaVersion(uint16_t* version) = 0;
    // Raw I2C through the bridge firmware; at most 64 bytes. Callers pass 3000 ms.
    virtual int I2cWrite(uint8_t busAddress, const uint8_t* data, int length,
                         uint32_t timeoutMs) = 0;
    virtual int I2cRead(uint8_t busAddress, uint8_t* data, int length, uint32_t timeoutMs) = 0;
    // Bridge-side registers (vendor requests 0xD0 / 0xD1).
    virtual int WriteRegister32(uint16_t address, uint32_t value) = 0;
    virtual int ReadRegister16(uint16_t address, uint16_t* value) = 0;
    // 16-bit sensor registers relayed by the firmware (vendor requests 0x3E / 0x3F).
    virtual int WriteSensorRegister16(uint16_t address, uint16_t value) = 0;
    virtual int ReadSensorRegister16(uint16_t address, uint16_t* value) = 0;
    // FPGA register file; serialised so the write-then-read pair of a read is never split.
    virtual int WriteFpgaRegister(uint8_t reg, uint8_t value) = 0;
    virtual int ReadFpgaRegister(uint8_t reg, uint8_t* value) = 0;
    virtual int WriteAuxRegister(uint8_t reg, uint8_t value) = 0;
    virtual int ReadAuxRegister(uint8_t reg, uint8_t* value) = 0;
    // Cancels a pending read on the frame endpoint 0x81 and makes the frame reads of the
    // stream give up instead of retrying, until ResetStreamState; callable from any thread.
    virtual int AbortStream() = 0;
};

}  // namespace velcor
