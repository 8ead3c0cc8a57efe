#include "sensors/RegisterTransport.h"

#include <chrono>
#include <optional>
#include <thread>

#include "platform/Clock.h"

namespace velcor {
namespace {

constexpr uint32_t kBusTimeoutMs = 3000;
constexpr uint32_t kWordCopyEntries = 4096;
constexpr uint32_t kWordCopySecondTable = 0x8000;

uint32_t WordCopyIndex(uint32_t reg) {
    const uint32_t table = (reg & kWordCopySecondTable) != 0 ? kWordCopyEntries : 0;
    return table + (reg & (kWordCopyEntries - 1));
}

bool Locked(RegisterForm form) {
    return form == RegisterForm::I2c16x8LockedPaused || form == RegisterForm::I2c16x8Locked;
}
bool Paused(RegisterForm form) {
    return form == RegisterForm::I2c16x8LockedPaused || form == RegisterForm::I2c16x8Paused;
}

}  // namespace

RegisterTransport::RegisterTransport(RegisterForm form, CControllerBase* controller,
                                     uint8_t busAddress)
    : form_(form), controller_(controller), busAddress_(busAddress) {
    if (form_ == RegisterForm::Word32Copied) wordCopy_.assign(2 * kWordCopyEntries, 0);
}

int RegisterTransport::ValueBytes() const {
    switch (form_) {
        case RegisterForm::I2c16x16:
        case RegisterForm::I2c8x16:
            return 2;
        case RegisterForm::Word32:
        case RegisterForm::Word32Copied:
        case RegisterForm::FpgaMailbox:
            return 4;
        default:
            return 1;
    }
}

bool RegisterTransport::UsesI2c() const {
    switch (form_) {
        case RegisterForm::I2c16x8LockedPaused:
        case RegisterForm::I2c16x8Locked:
        case RegisterForm::I2c16x8Paused:
        case RegisterForm::I2c16x8Settled:
        case RegisterForm::I2c16x16:
        case RegisterForm::I2c8x16:
            return true;
        default:
            return false;
    }
}

uint32_t RegisterTransport::WordCopy(uint32_t reg) const {
    return wordCopy_.empty() ? 0 : wordCopy_[WordCopyIndex(reg)];
}

int32_t RegisterTransport::WriteI2c16x8(uint32_t reg, uint32_t value) {
    if (reg > 0xFFFF || value > 0xFF) return 0;
    std::optional<platform::CriticalSectionLock> hold;
    if (Locked(form_)) hold.emplace(lock_);
    // These sensors need a short pause between consecutive register writes.
    if (Paused(form_)) platform::Sleep(1);
    const uint8_t bytes[3] = {static_cast<uint8_t>(reg >> 8), static_cast<uint8_t>(reg),
                              static_cast<uint8_t>(value)};
    const int32_t ok = controller_->I2cWrite(busAddress_, bytes, 3, kBusTimeoutMs) ? 1 : 0;
    if (form_ == RegisterForm::I2c16x8Settled) {
        std::this_thread::sleep_for(std::chrono::microseconds(kSettleMicroseconds));
        // The sensor's registers cannot be read back reliably; keep what was written.
        settledCopy_[reg & 0xFF] = static_cast<uint8_t>(value);
    }
    return ok;
}

int32_t RegisterTransport::WriteMailbox(uint32_t reg, uint32_t value) {
    const uint32_t device = reg >> 24;
    if (device != kMailboxDeviceA && device != kMailboxDeviceB) {
        return 1;  // the other devices behind the mailbox take no configuration
    }
    const uint8_t word[kMailboxLength] = {
        static_cast<uint8_t>(device),      static_cast<uint8_t>(reg >> 16),
        static_cast<uint8_t>(reg >> 8),    static_cast<uint8_t>(reg),
        static_cast<uint8_t>(value >> 24), static_cast<uint8_t>(value >> 16),
        static_cast<uint8_t>(value >> 8),  static_cast<uint8_t>(value)};
    for (int i = 0; i < kMailboxLength; ++i) {
        const auto fpgaReg = static_cast<uint8_t>(kMailboxFirst + i);
        uint8_t current = 0;
        // A mailbox byte that already holds the wanted value is not rewritten.
        if (controller_->ReadFpgaRegister(fpgaReg, &current) && current == word[i]) continue;
        if (!controller_->WriteFpgaRegister(fpgaReg, word[i])) return 0;
    }
    return 1;
}

int32_t RegisterTransport::Write(uint32_t reg, uint32_t value, int32_t modeWord) {
    if (controller_ == nullptr) return 0;
    switch (form_) {
        case RegisterForm::None:
            return 0;
        case RegisterForm::I2c16x8LockedPaused:
        case RegisterForm::I2c16x8Locked:
        case RegisterForm::I2c16x8Paused:
        case RegisterForm::I2c16x8Settled:
            return WriteI2c16x8(reg, value);
        case RegisterForm::I2c16x16: {
            if (reg > 0xFFFF || value > 0xFFFF) return 0;
            if ((modeWord & kRelayedRegisters) != 0) {
                return controller_->WriteSensorRegister16(static_cast<uint16_t>(reg),
                                                          static_cast<uint16_t>(value))
                           ? 1
                           : 0;
            }
            const uint8_t bytes[4] = {static_cast<uint8_t>(reg >> 8), static_cast<uint8_t>(reg),
                                      static_cast<uint8_t>(value >> 8),
                                      static_cast<uint8_t>(value)};
            return controller_->I2cWrite(busAddress_, bytes, 4, kBusTimeoutMs) ? 1 : 0;
        }
        case RegisterForm::I2c8x16: {
            if (reg > 0xFF || value > 0xFFFF) return 0;
            const uint8_t bytes[3] = {static_cast<uint8_t>(reg), static_cast<uint8_t>(value >> 8),
                                      static_cast<uint8_t>(value)};
            return controller_->I2cWrite(busAddress_, bytes, 3, kBusTimeoutMs) ? 1 : 0;
        }
        case RegisterForm::Word32:
        case RegisterForm::Word32Copied: {
            if (reg > 0xFFFF) return 0;
            const int32_t ok =
                controller_->WriteRegister32(static_cast<uint16_t>(reg), value) ? 1 : 0;
            if (ok && !wordCopy_.empty()) wordCopy_[WordCopyIndex(reg)] = value;
            return ok;
        }
        case RegisterForm::Fpga:
            if (reg > 0xFF || value > 0xFF) return 0;
            return controller_->WriteFpgaRegister(static_cast<uint8_t>(reg),
                                                  static_cast<uint8_t>(value))
                       ? 1
                       : 0;
        case RegisterForm::FpgaMailbox:
            return WriteMailbox(reg, value);
    }
    return 0;
}

int32_t RegisterTransport::ReadI2c(uint32_t reg, uint32_t* value, int registerBytes,
                                   int valueBytes) {
    if (reg >> (8 * registerBytes) != 0) return 0;
    std::optional<platform::CriticalSectionLock> hold;
    if (Locked(form_)) hold.emplace(lock_);
    uint8_t address[2] = {};
    for (int i = 0; i < registerBytes; ++i) {
        address[i] = static_cast<uint8_t>(reg >> (8 * (registerBytes - 1 - i)));
    }
    uint8_t data[2] = {};
    if (!controller_->I2cWrite(busAddress_, address, registerBytes, kBusTimeoutMs) ||
        !controller_->I2cRead(static_cast<uint8_t>(busAddress_ | 1), data, valueBytes,
                              kBusTimeoutMs)) {
        return 0;
    }
    *value = valueBytes == 2 ? static_cast<uint32_t>(data[0] << 8 | data[1]) : data[0];
    return 1;
}

int32_t RegisterTransport::Read(uint32_t reg, uint32_t* value, int32_t modeWord) {
    if (controller_ == nullptr || value == nullptr) return 0;
    switch (form_) {
        case RegisterForm::None:
        case RegisterForm::FpgaMailbox:
            return 0;
        case RegisterForm::I2c16x8LockedPaused:
        case RegisterForm::I2c16x8Locked:
        case RegisterForm::I2c16x8Paused:
        case RegisterForm::I2c16x8Settled:
            return ReadI2c(reg, value, 2, 1);
        case RegisterForm::I2c16x16: {
            if ((modeWord & kRelayedRegisters) != 0) {
                uint16_t word = 0;
                if (reg > 0xFFFF ||
                    !controller_->ReadSensorRegister16(static_cast<uint16_t>(reg), &word)) {
                    return 0;
                }
                *value = word;
                return 1;
            }
            return ReadI2c(reg, value, 2, 2);
        }
        case RegisterForm::I2c8x16:
            return ReadI2c(reg, value, 1, 2);
        case RegisterForm::Word32Copied:
            if (reg > 0xFFFF) return 0;
            // The front end's registers are write-only; answer what was written.
            *value = wordCopy_[WordCopyIndex(reg)];
            return 1;
        case RegisterForm::Word32: {
            uint16_t word = 0;
            if (reg > 0xFFFF || !controller_->ReadRegister16(static_cast<uint16_t>(reg), &word)) {
                return 0;
            }
            *value = word;
            return 1;
        }
        case RegisterForm::Fpga: {
            uint8_t byte = 0;
            if (reg > 0xFF || !controller_->ReadFpgaRegister(static_cast<uint8_t>(reg), &byte)) {
                return 0;
            }
            *value = byte;
            return 1;
        }
    }
    return 0;
}

}  // namespace velcor
