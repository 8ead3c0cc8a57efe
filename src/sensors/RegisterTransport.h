// The register transports of the sensor driver family: how one register write or read reaches
// a sensor. A transport knows its bus form (register and value widths, the pause and lock a
// sensor needs, the copies a write-only register map needs) and talks through the controller.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "platform/CriticalSection.h"
#include "protocol/SensorRegisterLayout.h"
#include "sensors/SensorCatalog.h"
#include "transport/ControllerBase.h"

namespace velcor {

class RegisterTransport {
  public:
    // The FPGA mailbox: the device number goes to register 32, then the address (bits 0..23
    // of the register number, high byte first) and the 32-bit value (high byte first).
    static constexpr uint8_t kMailboxFirst = sensor_bus::kMailboxFirst;
    static constexpr int kMailboxLength = sensor_bus::kMailboxLength;
    static constexpr uint8_t kMailboxDeviceA = sensor_bus::kMailboxDeviceA;
    static constexpr uint8_t kMailboxDeviceB = sensor_bus::kMailboxDeviceB;
    // MT9J001 behind product 0x3042: the firmware relays the 16-bit registers.
    static constexpr int32_t kRelayedRegisters = 0x10000;

    RegisterTransport(RegisterForm form, CControllerBase* controller, uint8_t busAddress);

    // `modeWord` selects the firmware relay of the 16-bit form.
    int32_t Write(uint32_t reg, uint32_t value, int32_t modeWord);
    int32_t Read(uint32_t reg, uint32_t* value, int32_t modeWord);

    // Widest value one register holds, in bytes.
    int ValueBytes() const;
    bool UsesI2c() const;

    // The register copies of the forms that keep one; 0 for a register never written.
    uint8_t SettledCopy(uint8_t lowAddressByte) const { return settledCopy_[lowAddressByte]; }
    uint32_t WordCopy(uint32_t reg) const;

    // The settling wait after each write of the settled form, in microseconds.
    static constexpr uint32_t kSettleMicroseconds = 200;

  private:
    int32_t WriteI2c16x8(uint32_t reg, uint32_t value);
    int32_t WriteMailbox(uint32_t reg, uint32_t value);
    int32_t ReadI2c(uint32_t reg, uint32_t* value, int registerBytes, int valueBytes);

    RegisterForm form_;
    CControllerBase* controller_;
    uint8_t busAddress_;
    platform::CriticalSection lock_;
    std::array<uint8_t, 256> settledCopy_{};
    // Two tables of 4096 words: addresses with bit 15 clear, and with it set.
    std::vector<uint32_t> wordCopy_;
};

}  // namespace velcor
