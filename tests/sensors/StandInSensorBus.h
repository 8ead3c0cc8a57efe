// A stand-in for the camera's bus, for driver tests until the simulated bridge exists: sensor
// I2C traffic at 0x48 goes to a simulated ROZE9701, FPGA register access to a plain register
// array. It records the traffic and can be told to fail or drop particular accesses.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <set>
#include <utility>
#include <vector>

#include "sim/SimRoze9701Sensor.h"
#include "transport/ControllerBase.h"

namespace velcor::test {

class StandInSensorBus : public CControllerBase {
  public:
    static constexpr uint8_t kSensorAddress = 0x48;

    sim::SimRoze9701Sensor sensor;
    std::array<uint8_t, 256> fpga{};

    // Sensor register writes as they reached the sensor, and FPGA writes.
    std::vector<std::pair<uint16_t, uint8_t>> sensorWrites;
    std::vector<std::pair<uint8_t, uint8_t>> fpgaWrites;
    int fpgaVersionReads = 0;

    // Faults: the sensor does not acknowledge anything; a write to one of these registers is
    // not acknowledged; a write to one of these is acknowledged but lost; an FPGA register
    // read fails; an FPGA write fails.
    bool sensorDead = false;
    std::set<uint16_t> nakWrites;
    std::set<uint16_t> lostWrites;
    std::set<uint8_t> failFpgaReads;
    std::set<uint8_t> failFpgaWrites;
    // Called after every successful FPGA write.
    std::function<void(uint8_t reg, uint8_t value)> onFpgaWrite;

    int Reserved() override { return 0; }
    int Release() override { return 1; }
    int SelectDevice(int) override { return 1; }
    int ReadFpgaVersion(uint16_t* version) override {
        ++fpgaVersionReads;
        *version = static_cast<uint16_t>(fpga[0x11] << 8 | fpga[0x10]);
        return 1;
    }

    int I2cWrite(uint8_t busAddress, const uint8_t* data, int length, uint32_t) override {
        if (busAddress != kSensorAddress || sensorDead || length < 2) {
            return 0;
        }
        const auto reg = static_cast<uint16_t>(data[0] << 8 | data[1]);
        if (length == 3) {
            if (nakWrites.count(reg) != 0) {
                return 0;
            }
            if (lostWrites.count(reg) != 0) {
                return 1;
            }
            sensorWrites.emplace_back(reg, data[2]);
        }
        return sensor.I2cWrite(data, static_cast<size_t>(length)) ? 1 : 0;
    }

    int I2cRead(uint8_t busAddress, uint8_t* data, int length, uint32_t) override {
        if (busAddress != (kSensorAddress | 1) || sensorDead) {
            return 0;
        }
        return sensor.I2cRead(data, static_cast<size_t>(length)) ? 1 : 0;
    }

    int WriteRegister32(uint16_t, uint32_t) override { return 0; }
    int ReadRegister16(uint16_t, uint16_t*) override { return 0; }
    int WriteSensorRegister16(uint16_t, uint16_t) override { return 0; }
    int ReadSensorRegister16(uint16_t, uint16_t*) override { return 0; }

    int WriteFpgaRegister(uint8_t reg, uint8_t value) override {
        if (failFpgaWrites.count(reg) != 0) {
            return 0;
        }
        fpga[reg] = value;
        fpgaWrites.emplace_back(reg, value);
        if (onFpgaWrite) {
            onFpgaWrite(reg, value);
        }
        return 1;
    }

    int ReadFpgaRegister(uint8_t reg, uint8_t* value) override {
        if (failFpgaReads.count(reg) != 0) {
            return 0;
        }
        *value = fpga[reg];
        return 1;
    }

    int WriteAuxRegister(uint8_t, uint8_t) override { return 0; }
    int ReadAuxRegister(uint8_t, uint8_t*) override { return 0; }
    int AbortStream() override { return 1; }

    // Sensor register writes to one register, in order.
    std::vector<uint8_t> WritesTo(uint16_t reg) const {
        std::vector<uint8_t> values;
        for (const auto& [r, v] : sensorWrites) {
            if (r == reg) {
                values.push_back(v);
            }
        }
        return values;
    }

    // Position of the first write to a sensor register in the log, or -1.
    int FirstWriteIndex(uint16_t reg) const {
        for (size_t i = 0; i < sensorWrites.size(); ++i) {
            if (sensorWrites[i].first == reg) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }

    uint32_t FpgaFrameLength() const {
        return (fpga[83] & 0x0Fu) << 24 | fpga[82] << 16 | fpga[81] << 8 | fpga[80];
    }
    uint32_t FpgaLineLength() const { return fpga[85] << 8 | fpga[84]; }
};

}  // namespace velcor::test
