// The sensor of a family camera: a register file that keeps what the drivers write and answers
// their read-backs in every wire form (16-bit numbers with byte or 16-bit values over I2C, the
// bridge's relayed 16-bit registers, 8-bit numbers with 16-bit values, the FPGA mailbox), and
// reads out the family's known picture in the sensor's own row order.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "protocol/SensorRegisterLayout.h"
#include "sim/SimFamilyProducts.h"
#include "sim/SimI2cDevices.h"

namespace velcor::sim {

class SimFamilySensor : public SimSensor {
  public:
    explicit SimFamilySensor(const SimFamilyProduct& product);

    const SimFamilyProduct& Product() const { return product_; }

    // 16-bit registers are kept high byte first in the byte registers of their number.
    bool Write(const uint8_t* data, int length) override;
    bool Read(uint8_t* data, int length) override;
    bool WriteRegister16(uint16_t address, uint16_t value) override;
    bool ReadRegister16(uint16_t address, uint16_t* value) override;
    void RenderFrame(uint32_t width, uint32_t height, uint32_t bytesPerPixel, uint32_t frameNumber,
                     uint8_t* out, size_t bytes) override;
    // `length` bytes of a frame's readout from byte `offset` on: only what is asked for is
    // drawn, so a piece of a large frame costs what the piece holds. A frame holds no more
    // distinct rows than the picture's row period: with the row store sized for the frame's
    // rows (PrepareRows), each is drawn once per frame and copied from there on.
    void RenderBytes(uint32_t width, uint32_t height, uint32_t bytesPerPixel, uint32_t frameNumber,
                     uint64_t offset, uint8_t* out, size_t length);
    // Sizes the row store for rows of `width` samples of `bytesPerPixel` bytes; the store only
    // grows, so frames of a stream allocate nothing.
    void PrepareRows(uint32_t width, uint32_t bytesPerPixel);

    // The registers behind the FPGA mailbox (device number in bits 24..31).
    void WriteMailbox(uint32_t address, uint32_t value) { mailbox_[address] = value; }
    uint32_t Mailbox(uint32_t address) const;

    // The MT9P001's 8-bit register numbers with 16-bit values, at its own bus address.
    I2cSlave& WordChip() { return wordChip_; }
    uint16_t WordRegister(uint8_t reg) const { return wordChip_.Get(reg); }

    // The console's greeting: sent at power-on and again in answer to every line it receives.
    static constexpr const char* kConsoleGreeting = sensor_bus::console::kGreeting;
    void PowerOn() override;

    // What the cooled cameras' and the serial heads' thermometers read.
    static constexpr double kSonyCelsius = -10.0;
    static constexpr double kHeadCelsius = -20.0;
    // The head's settings as the FPGA holds them at power-on: high gain, auxiliary switch and
    // switch B off, variant 1 running, the blank last row of the older heads.
    static constexpr uint8_t kHeadVariant = 1;
    static constexpr uint8_t kHeadFirmware = 3;
    static constexpr uint8_t kHeadRevision = 2;
    // The serial heads (products 0x31E0 and 0x32D0) keep their settings in FPGA registers.
    bool IsSerialHead() const;
    void PresetFpga(FpgaRegisterFile& fpga) const;

    // Faults of the console camera's start-up, for tests.
    enum class ConsoleFault {
        None,
        // The camera's processor comes up without the sensor running (status register 0) until
        // the console is told to reset.
        NotReady,
        // As NotReady, and the console says nothing at all.
        Silent,
    };
    void SetConsoleFault(ConsoleFault fault);

  private:
    class Word8Chip : public I2cSlave {
      public:
        bool Write(const uint8_t* data, int length) override;
        bool Read(uint8_t* data, int length) override;
        uint16_t Get(uint8_t reg) const { return registers_[reg]; }

      private:
        std::array<uint16_t, 256> registers_{};
        uint8_t pointer_ = 0;
    };

    void Say(const char* text);
    void OnConsoleLine();
    // The readout of picture row `pictureRow`, in the sensor's column order, from byte
    // `within` on.
    void DrawRow(uint32_t width, uint32_t bytesPerPixel, uint32_t frameNumber, uint32_t pictureRow,
                 uint32_t within, uint8_t* out, size_t length) const;
    // The stored readout of a picture row of this frame; null when the store is too small.
    const uint8_t* StoredRow(uint32_t width, uint32_t bytesPerPixel, uint32_t frameNumber,
                             uint32_t pictureRow);

    const SimFamilyProduct& product_;
    ConsoleFault consoleFault_ = ConsoleFault::None;
    // The rows of the frame being read out, by picture row modulo the row period.
    std::vector<uint8_t> rowStore_;
    std::array<bool, kFamilyPictureRowPeriod> rowStored_{};
    uint32_t storeWidth_ = 0, storeBytesPerPixel_ = 0, storeFrame_ = 0;
    // The console: bytes it has to say, and the line it is being told.
    bool consoleSelected_ = false;  // the register pointer is at the console register
    std::deque<char> consoleOut_;
    std::string consoleLine_;
    std::map<uint32_t, uint32_t> mailbox_;
    Word8Chip wordChip_;
};

}  // namespace velcor::sim
