// A camera bus for the sensor family's driver tests: I2C traffic reaches a plain register file
// (16-bit or 8-bit register numbers, byte or 16-bit values, by the shape of each transaction),
// the FPGA is a register array, and the bridge's register words and relayed sensor registers
// are logged. Every transaction is recorded with its bytes, so a test sees exactly what a
// driver put on the bus.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "transport/ControllerBase.h"

namespace velcor::test {

class FamilyBus : public CControllerBase {
  public:
    struct I2cTransaction {
        uint8_t address;
        std::vector<uint8_t> bytes;
        bool operator==(const I2cTransaction&) const = default;
    };

    // 2: register numbers are two bytes (high first); 1: one byte.
    int registerBytes = 2;
    std::map<uint32_t, uint16_t> sensor;
    std::array<uint8_t, 256> fpga{};
    std::vector<I2cTransaction> i2cWrites;
    int i2cReads = 0;
    std::vector<std::pair<uint8_t, uint8_t>> fpgaWrites;
    std::vector<std::pair<uint16_t, uint32_t>> words;    // WriteRegister32
    std::vector<std::pair<uint16_t, uint16_t>> relayed;  // WriteSensorRegister16
    std::vector<std::pair<uint8_t, uint8_t>> auxWrites;
    // Faults: every sensor transaction fails; reads of these FPGA registers fail.
    bool sensorDead = false;
    std::set<uint8_t> failFpgaReads;

    void SetFpgaVersion(uint16_t version) {
        fpga[0x10] = static_cast<uint8_t>(version);
        fpga[0x11] = static_cast<uint8_t>(version >> 8);
    }
    // The FPGA register writes to one register, in order.
    std::vector<uint8_t> FpgaWritesTo(uint8_t reg) const {
        std::vector<uint8_t> values;
        for (const auto& [r, v] : fpgaWrites) {
            if (r == reg) values.push_back(v);
        }
        return values;
    }

    int Reserved() override { return 0; }
    int Release() override { return 1; }
    int SelectDevice(int) override { return 1; }
    int ReadFpgaVersion(uint16_t* version) override {
        *version = static_cast<uint16_t>(fpga[0x11] << 8 | fpga[0x10]);
        return 1;
    }

    int I2cWrite(uint8_t address, const uint8_t* data, int length, uint32_t) override {
        i2cWrites.push_back({address, std::vector<uint8_t>(data, data + length)});
        if (sensorDead || length < registerBytes) return 0;
        pointer_ = registerBytes == 2 ? static_cast<uint32_t>(data[0] << 8 | data[1]) : data[0];
        const int valueBytes = length - registerBytes;
        if (valueBytes == 1) sensor[pointer_] = data[registerBytes];
        if (valueBytes == 2) {
            sensor[pointer_] =
                static_cast<uint16_t>(data[registerBytes] << 8 | data[registerBytes + 1]);
        }
        return 1;
    }

    int I2cRead(uint8_t, uint8_t* data, int length, uint32_t) override {
        ++i2cReads;
        if (sensorDead) return 0;
        const uint16_t value = sensor.count(pointer_) != 0 ? sensor[pointer_] : 0;
        if (length == 1) data[0] = static_cast<uint8_t>(value);
        if (length == 2) {
            data[0] = static_cast<uint8_t>(value >> 8);
            data[1] = static_cast<uint8_t>(value);
        }
        return 1;
    }

    int WriteRegister32(uint16_t address, uint32_t value) override {
        words.emplace_back(address, value);
        return 1;
    }
    int ReadRegister16(uint16_t, uint16_t*) override { return 0; }
    int WriteSensorRegister16(uint16_t address, uint16_t value) override {
        relayed.emplace_back(address, value);
        return 1;
    }
    int ReadSensorRegister16(uint16_t, uint16_t*) override { return 0; }

    int WriteFpgaRegister(uint8_t reg, uint8_t value) override {
        fpga[reg] = value;
        fpgaWrites.emplace_back(reg, value);
        return 1;
    }
    int ReadFpgaRegister(uint8_t reg, uint8_t* value) override {
        if (failFpgaReads.count(reg) != 0) return 0;
        *value = fpga[reg];
        return 1;
    }
    int WriteAuxRegister(uint8_t reg, uint8_t value) override {
        auxWrites.emplace_back(reg, value);
        return 1;
    }
    int ReadAuxRegister(uint8_t, uint8_t*) override { return 0; }
    int AbortStream() override { return 1; }

  private:
    uint32_t pointer_ = 0;
};

}  // namespace velcor::test
