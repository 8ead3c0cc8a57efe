// The chips on the simulated camera's I2C bus, as the bridge firmware's I2C master sees them:
// every transaction is a write (address phase and data) or a read of some bytes; a chip that
// does not accept a transaction NACKs and the firmware request fails.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace velcor::sim {

class I2cSlave {
  public:
    virtual ~I2cSlave() = default;
    virtual bool Write(const uint8_t* data, int length) = 0;
    virtual bool Read(uint8_t* data, int length) = 0;
};

// The FPGA register file at 0x40: 8-bit registers. A write is (register, 0, value) and may go
// on with further (0, value) pairs for the following registers; a one-byte write only sets the
// register pointer. A read returns (0, value) pairs from the pointer on. Registers the FPGA
// owns (read-only in the register map) ignore host writes.
class FpgaRegisterFile : public I2cSlave {
  public:
    FpgaRegisterFile();
    bool Write(const uint8_t* data, int length) override;
    bool Read(uint8_t* data, int length) override;

    // The FPGA's own view, for the camera model: no access rules.
    uint8_t Get(uint8_t reg) const { return registers_[reg]; }
    void Set(uint8_t reg, uint8_t value) { registers_[reg] = value; }
    // Register 2 reads busy for the next `count` reads.
    void SetBusyReads(int count) { busyReads_ = count; }
    // Called for every register the host writes, after the write.
    void SetWriteObserver(std::function<void(uint8_t reg, uint8_t value)> observer) {
        observer_ = std::move(observer);
    }
    // Called for every register the host reads, before the read.
    void SetReadObserver(std::function<void(uint8_t reg)> observer) {
        readObserver_ = std::move(observer);
    }

  private:
    std::array<uint8_t, 256> registers_{};
    uint8_t pointer_ = 0;
    int busyReads_ = 0;
    std::function<void(uint8_t, uint8_t)> observer_;
    std::function<void(uint8_t)> readObserver_;
};

// Configuration EEPROM at 0xA2: 64 KiB, 16-bit byte addresses sent high byte first, blank
// bytes 0xFF. Reads and writes continue at the next address.
class Eeprom : public I2cSlave {
  public:
    Eeprom();
    bool Write(const uint8_t* data, int length) override;
    bool Read(uint8_t* data, int length) override;
    uint8_t Get(uint16_t address) const { return bytes_[address]; }
    void Set(uint16_t address, uint8_t value) { bytes_[address] = value; }

  private:
    std::vector<uint8_t> bytes_;
    uint16_t pointer_ = 0;
};

// A chip with 8-bit registers and 8-bit values, an 8-bit register pointer and auto-increment:
// the auxiliary chip at 0x5A.
class ByteRegisterChip : public I2cSlave {
  public:
    bool Write(const uint8_t* data, int length) override;
    bool Read(uint8_t* data, int length) override;
    uint8_t Get(uint8_t reg) const { return registers_[reg]; }
    void Set(uint8_t reg, uint8_t value) { registers_[reg] = value; }

  private:
    std::array<uint8_t, 256> registers_{};
    uint8_t pointer_ = 0;
};

// How the sensor reads out.
enum class SensorReadout { Stopped, FreeRunning, Triggered };

// What the sensor's registers make of the next frame.
struct SensorFrameState {
    SensorReadout readout = SensorReadout::FreeRunning;
    double framePeriodSeconds = 1.0 / 30.0;  // frame time when free-running
    // False: the sensor draws its own test frame (RenderFrame); true: the camera renders the
    // scene in front of the lens through the fields below.
    bool picture = false;
    int fullWidth = 0;
    int fullHeight = 0;
    int windowTop = 0;  // first picture row of the window; picture row 0 is the top
    int windowHeight = 0;
    bool bottomRowFirst = true;  // row order of the unmirrored readout
    bool mirrorV = false;        // reverses the row order of the readout
    bool mirrorH = false;        // reverses every row
    double exposureSeconds = 0.0;
    double gain = 1.0;        // analog gain, linear
    double blackLevel = 0.0;  // pedestal in 12-bit counts
    double pixelClockHz = 0.0;
    // Lines and columns the sensor sends ahead of the picture, which the FPGA skips by its
    // offset registers.
    int leadingLines = 0;
    int leadingColumns = 0;
};

// The image sensor at 0x48. Over I2C it is a file of byte registers with 16-bit numbers sent
// high byte first; the firmware's relayed requests 0x3E / 0x3F reach a file of 16-bit
// registers. This plain model only stores values; sensor models with behaviour derive from it.
class SimSensor : public I2cSlave {
  public:
    SimSensor();
    bool Write(const uint8_t* data, int length) override;
    bool Read(uint8_t* data, int length) override;
    virtual bool WriteRegister16(uint16_t address, uint16_t value);
    virtual bool ReadRegister16(uint16_t address, uint16_t* value);
    // Fills one frame of `bytes` bytes. The plain model draws a diagonal ramp that moves with
    // the frame number.
    virtual void RenderFrame(uint32_t width, uint32_t height, uint32_t bytesPerPixel,
                             uint32_t frameNumber, uint8_t* out, size_t bytes);
    virtual SensorFrameState FrameState() const { return {}; }
    // The FPGA resets the sensor: back to its power-on registers.
    virtual void PowerOn() {}

    // The sensor's own view of one byte register, without access rules; nullopt for a
    // register that does not exist.
    virtual std::optional<uint8_t> Peek(uint16_t reg) const { return registers_[reg]; }
    virtual bool Poke(uint16_t reg, uint8_t value) {
        registers_[reg] = value;
        return true;
    }

  private:
    std::vector<uint8_t> registers_;
    std::map<uint16_t, uint16_t> registers16_;
    uint16_t pointer_ = 0;
};

}  // namespace velcor::sim
