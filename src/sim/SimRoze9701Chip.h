// The ROZE9701 as the simulated camera's bus sees it: the register-level sensor model behind
// the sensor interface of the I2C bus, and what its registers make of every frame.
#pragma once

#include "sim/SimI2cDevices.h"
#include "sim/SimRoze9701Sensor.h"

namespace velcor::sim {

class SimRoze9701Chip : public SimSensor {
  public:
    // The sensor sends this many lines and columns ahead of the picture; the camera's FPGA
    // skips them with its offset registers (0x48/0x49 and 0x4C/0x4D).
    static constexpr int kLeadingLines = 10;
    static constexpr int kLeadingColumns = 32;

    bool Write(const uint8_t* data, int length) override;
    bool Read(uint8_t* data, int length) override;
    SensorFrameState FrameState() const override;
    void PowerOn() override { sensor_.PowerOn(); }
    std::optional<uint8_t> Peek(uint16_t reg) const override { return sensor_.Peek(reg); }
    bool Poke(uint16_t reg, uint8_t value) override { return sensor_.Poke(reg, value); }

    SimRoze9701Sensor& Model() { return sensor_; }

  private:
    SimRoze9701Sensor sensor_;
};

}  // namespace velcor::sim
