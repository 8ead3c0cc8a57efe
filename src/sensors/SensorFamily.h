// The shared body of the sensor driver family: a driver whose constants come from its catalog
// row and whose window, exposure, gain, mirror, trigger and bit-depth operations program the
// sensor through its register transport, the way the ROZE9701 driver does with its own
// registers. The concrete classes add only what their model has beyond this.
//
// Operations a model does not offer (its row lacks the feature) keep the base behaviour.
#pragma once

#include <array>
#include <cstdint>

#include "sensors/RegisterTransport.h"
#include "sensors/SensorBase.h"
#include "sensors/SensorCatalog.h"

namespace velcor {

class CSensorFamily : public CSensorBase {
  public:
    // FPGA register 151 bit 0 switches the cooler of the cooled models.
    static constexpr uint8_t kFpgaCooler = 151;
    static constexpr uint16_t kCoolerFpgaVersion = 255;  // offered above this version
    static constexpr uint8_t kFpgaSwitchA = 130;
    // Held at 1 for the length of a retry loop of the gated models.
    static constexpr uint8_t kFpgaRetryGate = 159;
    // The CCD front end's channel gain and offset bounds.
    static constexpr int32_t kChannelMax = 65535;
    static constexpr int32_t kChannelGainDefault = 4096;

    CSensorFamily(CControllerBase* controller, uint8_t busAddress, const SensorModel& model);

    const SensorModel& Model() const { return model_; }
    const char* ClassName() const { return model_.className; }
    const RegisterTransport& Transport() const { return transport_; }

    int32_t WaitReady() override;
    int32_t Initialize() override;
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

    int32_t SetChannelGain(int32_t channel, int32_t value) override;
    int32_t GetChannelGain(int32_t channel, int32_t* value) override;
    int32_t GetChannelGainMin(int32_t* value) override;
    int32_t GetChannelGainMax(int32_t* value) override;
    int32_t GetChannelGainDefault(int32_t* value) override;
    int32_t SetChannelOffset(int32_t channel, int32_t value) override;
    int32_t GetChannelOffset(int32_t channel, int32_t* value) override;
    int32_t GetChannelOffsetMin(int32_t* value) override;
    int32_t GetChannelOffsetMax(int32_t* value) override;
    int32_t GetChannelOffsetDefault(int32_t* value) override;

    int32_t SetBlackLevel(int32_t value) override;
    int32_t GetBlackLevel(int32_t* value) override;

    int32_t SetExposure(int32_t value) override;
    int32_t GetExposure(int32_t* value) override;
    int32_t SetExposureSeconds(double seconds) override;

    int32_t SetMirrorV(int32_t on) override;
    int32_t GetMirrorV(int32_t* on) override;
    int32_t SetMirrorH(int32_t on) override;
    int32_t GetMirrorH(int32_t* on) override;

    int32_t SetSamplingRate(int32_t value, int32_t* rate) override;

    int32_t WriteRegister(uint32_t reg, uint32_t value) override;
    int32_t ReadRegister(uint32_t reg, uint32_t* value) override;
    int32_t WriteRegisterReadBack(uint32_t reg, uint32_t value) override;
    int32_t ReadRegisterRetried(uint32_t reg, uint32_t* value) override;

    int32_t IsCoolerSupported() override;
    int32_t GetCooler() override;
    int32_t SetCooler(int32_t on) override;

    // The cooled cameras and the serial heads read an on-chip thermometer.
    int32_t IsTemperatureSupported() override;
    int32_t GetTemperature(double* celsius) override;

    int32_t IsSwitchASupported() override;
    int32_t GetSwitchA(int32_t* on) override;
    int32_t SetSwitchA(int32_t on) override;

    int32_t Allows8BitOutput() override;
    int32_t Allows16BitOutput() override;
    int32_t IsColourSensor() override;

  protected:
    bool Has(uint32_t feature) const { return model_.Has(feature); }
    // A value over consecutive byte registers (least significant byte first) where the
    // transport holds single bytes, else in one register; read-back writes on the I2C forms.
    bool WriteValue(uint32_t reg, uint32_t value, int bytes);
    bool ReadValue(uint32_t reg, uint32_t* value, int bytes);
    bool ReadFpga(uint8_t reg, uint8_t* value);
    // 1 with the field in `out` where the operation is offered and `out` is given, else 0.
    static int32_t Answer(bool offered, int32_t field, int32_t* out);
    // Exposure time to lines with the line time in force, at least one line.
    int32_t NsToLines(double ns) const;
    bool ApplyExposureNs(double ns);
    // One reading of the model's thermometer over the bus; false when a read failed.
    bool ReadThermometer(double* celsius);

  private:
    bool SetMirrorBit(uint32_t bit, int32_t on, int32_t* field);
    // Channels 1..4 of the CCD front end, from the first channel's register on.
    bool SetChannel(std::array<int32_t, 4>& values, uint32_t firstReg, int32_t channel,
                    int32_t value);
    bool GetChannel(const std::array<int32_t, 4>& values, int32_t channel, int32_t* value) const;
    bool GateRetries(uint8_t state);

    const SensorModel& model_;
    RegisterTransport transport_;
    std::array<int32_t, 4> channelGain_{};
    std::array<int32_t, 4> channelOffset_{};
    // Nesting of the gated retry loops: the read-back write runs a retried read inside.
    int gateDepth_ = 0;
};

}  // namespace velcor
