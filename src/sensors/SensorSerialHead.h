// The cameras whose sensor sits in a head at the end of a serial link (products 0x31E0 and
// 0x32D0). The FPGA is their only sensor interface: it mirrors the head's settings into its
// own registers, so every operation here is an FPGA register access.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "sensors/SensorFamily.h"

namespace velcor {

class CSensorSerialHead : public CSensorFamily {
  public:
    // The auxiliary switch came with this FPGA design.
    static constexpr uint16_t kAuxSwitchFpgaVersion = 22;  // offered above this version

    // Gain mode 1 is low gain, 0 high gain; -1 for a head whose switches are in neither state.
    int32_t IsGainModeSupported() override;
    int32_t GetGainMode() override;
    int32_t SetGainMode(int32_t on) override;

    int32_t IsAuxSwitchSupported() override;
    int32_t GetAuxSwitch(int32_t* on) override;
    int32_t SetAuxSwitch(int32_t on) override;

    // The head's readout format: 1 when it reads out whole frames bottom row first, 0 for the
    // older heads with a blank last row (or when the head cannot be read). `first` takes the
    // format byte, `second` the head's firmware version; either may be null.
    int32_t VariantInfoA(int32_t* first, int32_t* second) override;
    // The head's identification: its model byte and revision.
    int32_t VariantInfoB(int32_t* first, int32_t* second) override;

  protected:
    CSensorSerialHead(CControllerBase* controller, uint8_t busAddress, const char* className);
    // A head register that holds 0 or 1; anything else is a head the driver does not know.
    bool ReadFlag(uint8_t reg, int32_t* on);
    bool WriteFlag(uint8_t reg, int32_t on);

  private:
    // The format and firmware are properties of the head: read once, then kept (the engine
    // asks for every frame it copies).
    struct HeadFormat {
        uint32_t format;
        uint32_t firmware;
    };
    std::optional<HeadFormat> headFormat_;
};

// Product 0x31E0: its head runs one of eight variants, or stands by.
class CSensorPid31E0 final : public CSensorSerialHead {
  public:
    static constexpr int32_t kHighestVariant = 8;

    CSensorPid31E0(CControllerBase* controller, uint8_t busAddress);
    // Sets the head's variant: 1..8 runs that variant, 0 puts the head on standby.
    int32_t VariantOpD(int32_t variant) override;
    // The variant the head runs, 0 while it stands by.
    int32_t VariantOpE(int32_t* variant) override;
};

// Product 0x32D0: eight analog gain steps and switch B.
class CSensorPid32D0 final : public CSensorSerialHead {
  public:
    static constexpr int32_t kSteps = 8;
    CSensorPid32D0(CControllerBase* controller, uint8_t busAddress);
    int32_t SetGainStep(int32_t step) override;
    int32_t GetGainStep(int32_t* step) override;
    int32_t GetGainStepLabel(int32_t step, char* text, size_t capacity) override;

    int32_t IsSwitchBSupported() override;
    int32_t GetSwitchB() override;  // 0 or 1; -1 when it cannot be read
    int32_t SetSwitchB(int32_t on) override;
};

}  // namespace velcor
