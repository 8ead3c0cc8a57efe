// The interface of every sensor driver. The camera engine owns exactly one driver, made for the
// product id of the open camera, and forwards every sensor-dependent request to it.
//
// The base answers almost every operation with 0 ("not supported"), so a driver overrides only
// what its sensor has. Unless noted, an operation returns 1 on success and 0 on failure or when
// the feature is missing; out pointers may be null, which fails the operation. The order of the
// virtual operations is part of the interface: keep it.
//
// The driver reaches the camera only through the controller it was given; it does not own it.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "sensors/SensorInfo.h"
#include "transport/ControllerBase.h"

namespace velcor {

class CSensorBase {
  public:
    CSensorBase(CControllerBase* controller, uint8_t busAddress);
    virtual ~CSensorBase();
    CSensorBase(const CSensorBase&) = delete;
    CSensorBase& operator=(const CSensorBase&) = delete;

    virtual void SetModelCode(int32_t code);
    virtual void SetModeWord(int32_t value);
    virtual int32_t GetModeWord();

    // Start-up: WaitReady, then Initialize programs the whole sensor.
    virtual int32_t WaitReady();
    virtual int32_t Initialize();
    virtual int32_t Recover();
    virtual int32_t Reset();

    virtual int32_t SetWindow(int32_t x, int32_t width, int32_t y, int32_t height, int32_t mode);
    virtual int32_t GetWindow(int32_t* x, int32_t* width, int32_t* y, int32_t* height,
                              int32_t* mode);
    // 0 free-running, 1 triggered.
    virtual int32_t SetTriggerMode(int32_t mode);
    virtual int32_t GetTriggerMode(int32_t* mode);

    virtual int32_t VariantOpA(int32_t value);
    virtual int32_t VariantOpB(int32_t* value);
    virtual int32_t VariantOpC();

    // Non-zero selects 16 bits per pixel, zero 8 bits.
    virtual int32_t SetBitDepth(int32_t sixteenBits);

    virtual int32_t SetExposureLines(int32_t lines);
    virtual int32_t GetExposureLines(int32_t* lines);
    virtual int32_t SetGlobalGain(int32_t value);
    virtual int32_t GetGlobalGain(int32_t* value);
    virtual int32_t SetColourGainRed(int32_t value);
    virtual int32_t GetColourGainRed(int32_t* value);
    virtual int32_t SetColourGainGreen1(int32_t value);
    virtual int32_t GetColourGainGreen1(int32_t* value);
    virtual int32_t SetColourGainGreen2(int32_t value);
    virtual int32_t GetColourGainGreen2(int32_t* value);
    virtual int32_t SetColourGainBlue(int32_t value);
    virtual int32_t GetColourGainBlue(int32_t* value);
    virtual int32_t GetExposureLinesMin(int32_t* value);
    virtual int32_t GetExposureLinesMax(int32_t* value);
    virtual int32_t GetExposureLinesDefault(int32_t* value);
    virtual int32_t GetGlobalGainMin(int32_t* value);
    virtual int32_t GetGlobalGainMax(int32_t* value);
    virtual int32_t GetGlobalGainDefault(int32_t* value);
    virtual int32_t GetColourGainMin(int32_t* value);
    virtual int32_t GetColourGainMax(int32_t* value);
    virtual int32_t GetColourGainDefault(int32_t* value);

    // Channels 1..4 of the CCD models.
    virtual int32_t SetChannelGain(int32_t channel, int32_t value);
    virtual int32_t GetChannelGain(int32_t channel, int32_t* value);
    virtual int32_t GetChannelGainMin(int32_t* value);
    virtual int32_t GetChannelGainMax(int32_t* value);
    virtual int32_t GetChannelGainDefault(int32_t* value);
    virtual int32_t SetChannelOffset(int32_t channel, int32_t value);
    virtual int32_t GetChannelOffset(int32_t channel, int32_t* value);
    virtual int32_t GetChannelOffsetMin(int32_t* value);
    virtual int32_t GetChannelOffsetMax(int32_t* value);
    virtual int32_t GetChannelOffsetDefault(int32_t* value);

    // The black-level and gain-step queries answer the group's supported flag.
    virtual int32_t IsBlackLevelSupported();
    virtual int32_t SetBlackLevel(int32_t value);
    virtual int32_t GetBlackLevel(int32_t* value);
    virtual int32_t GetBlackLevelMin(int32_t* value);
    virtual int32_t GetBlackLevelMax(int32_t* value);
    virtual int32_t GetBlackLevelDefault(int32_t* value);
    virtual int32_t IsGainStepSupported();
    virtual int32_t GetGainStepMin(int32_t* value);
    virtual int32_t GetGainStepMax(int32_t* value);
    virtual int32_t GetGainStepDefault(int32_t* value);
    virtual int32_t GetGainStepCurrent(int32_t* value);
    virtual int32_t SetGainStep(int32_t step);
    virtual int32_t GetGainStep(int32_t* step);
    // The gain factor of a step as NUL-terminated text.
    virtual int32_t GetGainStepLabel(int32_t step, char* text, size_t capacity);

    // Exposure in tenths of a millisecond.
    virtual int32_t SetExposure(int32_t value);
    virtual int32_t GetExposure(int32_t* value);
    virtual int32_t GetExposureMin(int32_t* value);
    virtual int32_t GetExposureMax(int32_t* value);
    virtual int32_t GetExposureDefault(int32_t* value);

    virtual int32_t SetMirrorV(int32_t on);
    virtual int32_t GetMirrorV(int32_t* on);
    virtual int32_t SetMirrorH(int32_t on);
    virtual int32_t GetMirrorH(int32_t* on);
    virtual int32_t GetMirrorVDefault();
    virtual int32_t GetMirrorHDefault();
    // 0: the sensor cannot mirror itself and the image is mirrored in software.
    virtual int32_t HasMirrorVHardware();
    virtual int32_t HasMirrorHHardware();

    virtual int32_t SetSamplingRate(int32_t value, int32_t* rate);

    // Register access in the sensor's own addressing; each driver chooses its bus transport.
    virtual int32_t WriteRegister(uint32_t reg, uint32_t value);
    virtual int32_t ReadRegister(uint32_t reg, uint32_t* value);
    virtual int32_t WriteRegisterReadBack(uint32_t reg, uint32_t value);
    virtual int32_t ReadRegisterRetried(uint32_t reg, uint32_t* value);

    virtual int32_t ReservedOp1();
    virtual int32_t ReservedOp2();
    virtual int32_t ReservedOp3();
    virtual int32_t ReservedOp4();
    virtual int32_t ReservedOp5();
    virtual int32_t ReservedOp6();
    virtual int32_t ReservedOp7();

    // Clock mode 0..2 of the sensors with a selectable pixel clock.
    virtual int32_t SetClockMode(int32_t mode);
    virtual int32_t GetClockMode(int32_t* mode);

    // Copies the whole description record.
    virtual int32_t GetSensorInfo(SensorInfo* info);

    virtual void OnCapture();
    virtual void OnCaptureDone();

    virtual int32_t VariantOpD(int32_t value);
    virtual int32_t VariantOpE(int32_t* value);

    virtual int32_t IsCoolerSupported();
    virtual int32_t GetCooler();
    virtual int32_t SetCooler(int32_t on);
    virtual int32_t IsTemperatureSupported();
    virtual int32_t GetTemperature(double* celsius);

    virtual void OnStreamStart();
    virtual void OnStreamStop();

    virtual int32_t IsSwitchASupported();
    virtual int32_t GetSwitchA(int32_t* on);
    virtual int32_t SetSwitchA(int32_t on);

    // Serial text channel of the models with a console behind the sensor interface.
    // ReceiveText answers the number of bytes received.
    virtual int32_t ReceiveText(char* buffer, int32_t length);
    virtual int32_t SendText(const char* text, int32_t length);

    virtual int32_t IsAuxSwitchSupported();
    virtual int32_t GetAuxSwitch(int32_t* on);
    virtual int32_t SetAuxSwitch(int32_t on);

    virtual int32_t IsSetPointSupported();
    virtual int32_t SpareOpA();
    virtual int32_t SpareOpB();
    virtual int32_t GetSensorTemperature(int32_t* celsius);
    virtual int32_t SetTemperatureSetPoint(int32_t celsius);

    // Exposure in seconds; the bound queries answer the supported flag.
    virtual int32_t IsExposureSecondsSupported();
    virtual int32_t GetExposureSecondsMin(double* seconds);
    virtual int32_t GetExposureSecondsMax(double* seconds);
    virtual int32_t GetExposureSecondsDefault(double* seconds);
    virtual int32_t GetExposureSeconds(double* seconds);
    virtual int32_t SetExposureSeconds(double seconds);

    // The fixed short-exposure mode.
    virtual int32_t IsFixedExposureSupported();
    virtual int32_t GetFixedExposure(int32_t* on);
    virtual int32_t SetFixedExposure(int32_t on);

    virtual int32_t VariantInfoA(int32_t* first, int32_t* second);
    virtual int32_t VariantInfoB(int32_t* first, int32_t* second);

    // GetGainMode answers the state (0 or 1), or -1 when it is unknown or unsupported.
    virtual int32_t IsGainModeSupported();
    virtual int32_t GetGainMode();
    virtual int32_t SetGainMode(int32_t on);

    // GetSwitchB answers the value, or -1 when unsupported.
    virtual int32_t IsSwitchBSupported();
    virtual int32_t GetSwitchB();
    virtual int32_t SetSwitchB(int32_t value);

    virtual int32_t Allows8BitOutput();
    virtual int32_t Allows16BitOutput();
    virtual int32_t IsColourSensor();

    // Writes an FPGA register and confirms it by reading it back: up to 10 attempts, 5 ms
    // apart.
    int32_t WriteFpgaReadBack(uint8_t reg, uint8_t value);

    // The FPGA version (register 0x11 high byte, 0x10 low byte), read once and kept. 0 when
    // it could not be read.
    uint16_t FpgaVersion();

    // The engine reads the size, window, mirror and orientation fields directly, and stores the
    // window that GetWindow reports after each SetWindow.
    const SensorInfo& Info() const { return info_; }
    SensorInfo& Info() { return info_; }

    int32_t ModelCode() const { return modelCode_; }
    uint8_t BusAddress() const { return busAddress_; }

  protected:
    // Bound groups whose minimum, maximum and default a driver keeps in its SensorInfo: the
    // base class answers their queries from the record (1 with the value) for the groups the
    // driver names, and answers 0 (not offered) for the others.
    enum BoundGroups : uint32_t {
        kLineBounds = 1u << 0,        // exposure lines
        kGainBounds = 1u << 1,        // global gain
        kColourGainBounds = 1u << 2,  // colour gains (the red group's bounds)
        kExposureBounds = 1u << 3,    // exposure in 0.1 ms
    };
    void AnswerBoundsFromInfo(uint32_t groups) { infoBounds_ = groups; }

    static constexpr uint32_t kBusTimeoutMs = 3000;
    // FPGA register 2 reads 0 while the FPGA's sensor bus is idle.
    static constexpr uint8_t kFpgaSensorBusBusy = 2;

    // One transaction on the sensor's I2C bus with 16-bit register numbers and byte values:
    // the register number, high byte first, then the value. Callers hold their own lock.
    int32_t BusWriteRegister16(uint16_t reg, uint8_t value);
    // Sets the register pointer, then reads one byte from the read address.
    int32_t BusReadRegister16(uint16_t reg, uint8_t* value);

    // The retried read: up to 100 attempts, 3 ms apart, each only while the FPGA's sensor bus
    // is idle, through the driver's ReadRegister.
    int32_t RetriedRead(uint32_t reg, uint32_t* value);
    // The read-back write: up to 100 attempts, 3 ms apart, of WriteRegister followed by
    // ReadRegisterRetried giving back exactly the value.
    int32_t ReadBackWrite(uint32_t reg, uint32_t value);

    // Every operation that reaches the camera fails without a controller.
    bool HasController() const { return controller_ != nullptr; }

    SensorInfo info_{};
    CControllerBase* controller_;
    uint8_t busAddress_;
    // Register transports consult it, also on the worker thread of the drivers with one.
    std::atomic<int32_t> modeWord_{0};
    uint16_t fpgaVersion_ = 0;
    int32_t modelCode_ = 0;
    uint32_t infoBounds_ = 0;
    // Spare driver state.
    int64_t spareWordA_ = 1;
    int64_t spareWordB_ = 0;
    int32_t spareWordC_ = 0;
};

}  // namespace velcor
