// A simulated Gpixel ROZE9701 as it sits on the camera's I2C bus at 0x48: 16-bit register
// numbers, one byte per register, an address pointer that advances with every data byte.
//
// It holds the registers the camera uses and interprets them the way the sensor does, so the
// simulated camera can produce frames with the window, exposure, gain, black level, mirrors
// and readout mode that were programmed. Thread-safe: the bus side and the frame side may run
// on different threads.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>

namespace velcor::sim {

class SimRoze9701Sensor {
  public:
    static constexpr uint8_t kBusAddress = 0x48;
    static constexpr int kFullWidth = 1280;
    static constexpr int kFullHeight = 1024;
    static constexpr double kPixelClockHz = 37037000.0;
    // Register numbers beyond this do not exist and are not acknowledged.
    static constexpr uint16_t kRegisterCount = 0x200;

    // Readout state of the operating control register (register 0).
    enum class Readout { Stopped, FreeRunning, Triggered, Other };

    SimRoze9701Sensor();

    // Back to the contents of a freshly powered sensor.
    void PowerOn();

    // One register, as the firmware's sensor-register requests reach it. A register that does
    // not exist, or the black-level registers while their access bit is clear, are not
    // acknowledged (nullopt / false). The temperature registers ignore writes.
    std::optional<uint8_t> Read(uint16_t reg) const;
    bool Write(uint16_t reg, uint8_t value);
    // The chip's own view of a register, without access rules (for diagnostics): every
    // existing register can be read and set, the temperature reading included.
    std::optional<uint8_t> Peek(uint16_t reg) const;
    bool Poke(uint16_t reg, uint8_t value);

    // I2C transactions addressed to the sensor. A write carries the register number (high
    // byte first) and then any data bytes; a write of just the number sets the pointer for the
    // next read. Both stop and fail at the first byte the sensor does not acknowledge.
    bool I2cWrite(const uint8_t* data, size_t length);
    bool I2cRead(uint8_t* data, size_t length);

    // State for the frame generator.
    Readout ReadoutState() const;
    bool TriggeredReadout() const { return ReadoutState() == Readout::Triggered; }
    // Times readout was started again after a stop (register 0 written 0, then a run mode).
    uint32_t ReadoutRestarts() const;
    bool MirrorV() const;
    bool MirrorH() const;
    uint32_t FrameLength() const;   // lines per frame
    uint32_t LineLength() const;    // pixel clocks per line
    uint32_t ShutterStart() const;  // first line of the exposure within the frame
    // Rows delivered, and where they lie: the sensor counts its start row from the bottom.
    int WindowHeight() const;
    int WindowStartFromBottom() const;
    int WindowTopRow() const;
    uint32_t ExposureLines() const;  // frame length - shutter start - 1, at least 1
    bool ShortExposure() const;      // the fixed 120-clock exposure is on
    double ExposureSeconds() const;
    int Gain() const;
    // 1 low gain, 0 high gain, -1 for any other register pair.
    int GainMode() const;
    int BlackLevel() const;  // 14 bits

    // The on-chip temperature sensor.
    void SetTemperatureRaw(uint16_t raw);
    void SetTemperatureCelsius(double celsius);
    double TemperatureCelsius() const;

  private:
    bool Accessible(uint16_t reg) const;
    std::optional<uint8_t> ReadLocked(uint16_t reg) const;
    bool WriteLocked(uint16_t reg, uint8_t value);
    uint8_t Reg(uint16_t reg) const { return regs_[reg]; }
    int WindowHeightLocked() const;
    int WindowStartLocked() const;
    uint32_t FrameLengthLocked() const;
    uint32_t ShutterStartLocked() const;

    mutable std::mutex mutex_;
    std::array<uint8_t, kRegisterCount> regs_{};
    uint16_t pointer_ = 0;
    uint32_t restarts_ = 0;
};

}  // namespace velcor::sim
