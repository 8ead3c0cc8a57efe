// Driver of the Gpixel ROZE9701: monochrome, 1280 x 1024, read out by rows only (the width is
// always the full width). Exposure is set in lines through the shutter-start register; the
// frame grows for exposures longer than the window's frame. In trigger mode the FPGA times the
// exposure. The sensor sits at I2C address 0x48 with 16-bit register numbers and byte values.
//
// Every operation runs under the driver's lock, and so does each single bus transaction; the
// lock is recursive, so operations compose. WaitReady and Reset touch only the FPGA and take
// no lock, so a long wait for the camera never blocks other callers.
#pragma once

#include <cstdint>

#include "platform/CriticalSection.h"
#include "sensors/SensorBase.h"

namespace velcor {

class CSensorROZE9701 : public CSensorBase {
  public:
    static constexpr uint8_t kBusAddress = 0x48;
    static constexpr int32_t kModelCode = 114;

    CSensorROZE9701(CControllerBase* controller, uint8_t busAddress);
    ~CSensorROZE9701() override;

    int32_t WaitReady() override;
    int32_t Initialize() override;
    int32_t Reset() override;

    int32_t SetWindow(int32_t x, int32_t width, int32_t y, int32_t height, int32_t mode) override;
    int32_t GetWindow(int32_t* x, int32_t* width, int32_t* y, int32_t* height,
                      int32_t* mode) override;
    int32_t SetTriggerMode(int32_t mode) override;
    int32_t GetTriggerMode(int32_t* mode) override;
    int32_t SetBitDepth(int32_t sixteenBits) override;

    int32_t SetExposureLines(int32_t lines) override;
    int32_t GetExposureLines(int32_t* lines) override;

    int32_t SetGlobalGain(int32_t value) override;
    int32_t GetGlobalGain(int32_t* value) override;

    int32_t SetBlackLevel(int32_t value) override;
    int32_t GetBlackLevel(int32_t* value) override;

    int32_t SetExposure(int32_t value) override;
    int32_t GetExposure(int32_t* value) override;

    int32_t SetMirrorV(int32_t on) override;
    int32_t GetMirrorV(int32_t* on) override;
    int32_t SetMirrorH(int32_t on) override;
    int32_t GetMirrorH(int32_t* on) override;

    int32_t WriteRegister(uint32_t reg, uint32_t value) override;
    int32_t ReadRegister(uint32_t reg, uint32_t* value) override;
    int32_t WriteRegisterReadBack(uint32_t reg, uint32_t value) override;
    int32_t ReadRegisterRetried(uint32_t reg, uint32_t* value) override;

    int32_t IsTemperatureSupported() override;
    int32_t GetTemperature(double* celsius) override;

    int32_t GetExposureSeconds(double* seconds) override;
    int32_t SetExposureSeconds(double seconds) override;

    int32_t IsFixedExposureSupported() override;
    int32_t GetFixedExposure(int32_t* on) override;
    int32_t SetFixedExposure(int32_t on) override;

    int32_t IsGainModeSupported() override;
    int32_t GetGainMode() override;
    int32_t SetGainMode(int32_t on) override;

    int32_t IsColourSensor() override;

    // Hands the exposure in lines to the FPGA, which times it in trigger mode.
    int32_t ArmTrigger();

    // Frame timing in force, for diagnostics.
    int32_t FrameLength() const { return frameLength_; }
    int32_t WindowFrameLines() const { return windowFrameLines_; }

  private:
    bool WriteFrameLength(uint32_t lines);
    bool WriteFpgaFrameLength(uint32_t lines);
    bool WriteFpgaLineLength(uint32_t clocks);
    bool ReadSensorFrameLength(int32_t* lines);
    bool ReadFpgaFrameLength(int32_t* lines);
    bool ReadSensorLineLength(int32_t* clocks);
    bool ReadFpgaLineLength(int32_t* clocks);
    bool WriteShutterStart(uint32_t line);
    bool ExposureNsToLines(uint64_t ns);
    bool RestartReadout();

    bool WriteByte(uint16_t reg, uint8_t value);  // read-back write
    bool ReadByte(uint16_t reg, uint8_t* value);  // retried read
    bool ReadBytePlain(uint16_t reg, uint8_t* value);
    bool ReadFpga(uint8_t reg, uint8_t* value);

    // Opens or closes the access to the black-level registers (bit 6 of register 2).
    void SetBlackLevelAccess(bool open);

    platform::CriticalSection lock_;
    int32_t frameLengthMin_ = 2;
    int32_t frameLengthMax_ = 0x0FFFFFFF;
    // The frame length the window in force needs.
    int32_t windowFrameLines_ = 1082;
    // The frame length last written to the sensor (in trigger mode: read from the FPGA).
    int32_t frameLength_ = 1054;
};

}  // namespace velcor
