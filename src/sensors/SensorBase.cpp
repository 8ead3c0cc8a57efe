#include "sensors/SensorBase.h"

#include <cstring>

#include "platform/Clock.h"

namespace velcor {

namespace {

// Writes a record field to an optional out pointer and answers the group's supported flag.
template <typename T>
int32_t ReportField(T* out, T field, int32_t supported) {
    if (out == nullptr) {
        return 0;
    }
    *out = field;
    return supported;
}

}  // namespace

CSensorBase::CSensorBase(CControllerBase* controller, uint8_t busAddress)
    : controller_(controller), busAddress_(busAddress) {}

CSensorBase::~CSensorBase() = default;

void CSensorBase::SetModelCode(int32_t code) {
    modelCode_ = code;
}
void CSensorBase::SetModeWord(int32_t value) {
    modeWord_ = value;
}
int32_t CSensorBase::GetModeWord() {
    return modeWord_;
}

int32_t CSensorBase::WaitReady() {
    return 0;
}
int32_t CSensorBase::Initialize() {
    return 0;
}
int32_t CSensorBase::Recover() {
    return 0;
}
int32_t CSensorBase::Reset() {
    return 0;
}

int32_t CSensorBase::SetWindow(int32_t, int32_t, int32_t, int32_t, int32_t) {
    return 0;
}
int32_t CSensorBase::GetWindow(int32_t*, int32_t*, int32_t*, int32_t*, int32_t*) {
    return 0;
}
int32_t CSensorBase::SetTriggerMode(int32_t) {
    return 0;
}
int32_t CSensorBase::GetTriggerMode(int32_t*) {
    return 0;
}

int32_t CSensorBase::VariantOpA(int32_t) {
    return 0;
}
int32_t CSensorBase::VariantOpB(int32_t*) {
    return 0;
}
int32_t CSensorBase::VariantOpC() {
    return 0;
}

int32_t CSensorBase::SetBitDepth(int32_t) {
    return 0;
}

int32_t CSensorBase::SetExposureLines(int32_t) {
    return 0;
}
int32_t CSensorBase::GetExposureLines(int32_t*) {
    return 0;
}
int32_t CSensorBase::SetGlobalGain(int32_t) {
    return 0;
}
int32_t CSensorBase::GetGlobalGain(int32_t*) {
    return 0;
}
int32_t CSensorBase::SetColourGainRed(int32_t) {
    return 0;
}
int32_t CSensorBase::GetColourGainRed(int32_t*) {
    return 0;
}
int32_t CSensorBase::SetColourGainGreen1(int32_t) {
    return 0;
}
int32_t CSensorBase::GetColourGainGreen1(int32_t*) {
    return 0;
}
int32_t CSensorBase::SetColourGainGreen2(int32_t) {
    return 0;
}
int32_t CSensorBase::GetColourGainGreen2(int32_t*) {
    return 0;
}
int32_t CSensorBase::SetColourGainBlue(int32_t) {
    return 0;
}
int32_t CSensorBase::GetColourGainBlue(int32_t*) {
    return 0;
}
int32_t CSensorBase::GetExposureLinesMin(int32_t* value) {
    return (infoBounds_ & kLineBounds) != 0 ? ReportField(value, info_.linesMin, 1) : 0;
}
int32_t CSensorBase::GetExposureLinesMax(int32_t* value) {
    return (infoBounds_ & kLineBounds) != 0 ? ReportField(value, info_.linesMax, 1) : 0;
}
int32_t CSensorBase::GetExposureLinesDefault(int32_t* value) {
    return (infoBounds_ & kLineBounds) != 0 ? ReportField(value, info_.linesDefault, 1) : 0;
}
int32_t CSensorBase::GetGlobalGainMin(int32_t* value) {
    return (infoBounds_ & kGainBounds) != 0 ? ReportField(value, info_.gainMin, 1) : 0;
}
int32_t CSensorBase::GetGlobalGainMax(int32_t* value) {
    return (infoBounds_ & kGainBounds) != 0 ? ReportField(value, info_.gainMax, 1) : 0;
}
int32_t CSensorBase::GetGlobalGainDefault(int32_t* value) {
    return (infoBounds_ & kGainBounds) != 0 ? ReportField(value, info_.gainDefault, 1) : 0;
}
int32_t CSensorBase::GetColourGainMin(int32_t* value) {
    return (infoBounds_ & kColourGainBounds) != 0 ? ReportField(value, info_.colourGainMin, 1) : 0;
}
int32_t CSensorBase::GetColourGainMax(int32_t* value) {
    return (infoBounds_ & kColourGainBounds) != 0 ? ReportField(value, info_.colourGainMax, 1) : 0;
}
int32_t CSensorBase::GetColourGainDefault(int32_t* value) {
    return (infoBounds_ & kColourGainBounds) != 0 ? ReportField(value, info_.colourGainDefault, 1)
                                                  : 0;
}

int32_t CSensorBase::SetChannelGain(int32_t, int32_t) {
    return 0;
}
int32_t CSensorBase::GetChannelGain(int32_t, int32_t*) {
    return 0;
}
int32_t CSensorBase::GetChannelGainMin(int32_t*) {
    return 0;
}
int32_t CSensorBase::GetChannelGainMax(int32_t*) {
    return 0;
}
int32_t CSensorBase::GetChannelGainDefault(int32_t*) {
    return 0;
}
int32_t CSensorBase::SetChannelOffset(int32_t, int32_t) {
    return 0;
}
int32_t CSensorBase::GetChannelOffset(int32_t, int32_t*) {
    return 0;
}
int32_t CSensorBase::GetChannelOffsetMin(int32_t*) {
    return 0;
}
int32_t CSensorBase::GetChannelOffsetMax(int32_t*) {
    return 0;
}
int32_t CSensorBase::GetChannelOffsetDefault(int32_t*) {
    return 0;
}

int32_t CSensorBase::IsBlackLevelSupported() {
    return info_.blackLevelSupported;
}
int32_t CSensorBase::SetBlackLevel(int32_t) {
    return 0;
}
int32_t CSensorBase::GetBlackLevel(int32_t* value) {
    return ReportField(value, info_.blackLevel, info_.blackLevelSupported);
}
int32_t CSensorBase::GetBlackLevelMin(int32_t* value) {
    return ReportField(value, info_.blackLevelMin, info_.blackLevelSupported);
}
int32_t CSensorBase::GetBlackLevelMax(int32_t* value) {
    return ReportField(value, info_.blackLevelMax, info_.blackLevelSupported);
}
int32_t CSensorBase::GetBlackLevelDefault(int32_t* value) {
    return ReportField(value, info_.blackLevelDefault, info_.blackLevelSupported);
}
int32_t CSensorBase::IsGainStepSupported() {
    return info_.gainStepSupported;
}
int32_t CSensorBase::GetGainStepMin(int32_t* value) {
    return ReportField(value, info_.gainStepMin, info_.gainStepSupported);
}
int32_t CSensorBase::GetGainStepMax(int32_t* value) {
    return ReportField(value, info_.gainStepMax, info_.gainStepSupported);
}
int32_t CSensorBase::GetGainStepDefault(int32_t* value) {
    return ReportField(value, info_.gainStepDefault, info_.gainStepSupported);
}
int32_t CSensorBase::GetGainStepCurrent(int32_t* value) {
    return ReportField(value, info_.gainStep, info_.gainStepSupported);
}
int32_t CSensorBase::SetGainStep(int32_t) {
    return 0;
}
int32_t CSensorBase::GetGainStep(int32_t*) {
    return 0;
}
int32_t CSensorBase::GetGainStepLabel(int32_t, char*, size_t) {
    return 0;
}

int32_t CSensorBase::SetExposure(int32_t) {
    return 0;
}
int32_t CSensorBase::GetExposure(int32_t*) {
    return 0;
}
int32_t CSensorBase::GetExposureMin(int32_t* value) {
    return (infoBounds_ & kExposureBounds) != 0 ? ReportField(value, info_.exposureMin, 1) : 0;
}
int32_t CSensorBase::GetExposureMax(int32_t* value) {
    return (infoBounds_ & kExposureBounds) != 0 ? ReportField(value, info_.exposureMax, 1) : 0;
}
int32_t CSensorBase::GetExposureDefault(int32_t* value) {
    return (infoBounds_ & kExposureBounds) != 0 ? ReportField(value, info_.exposureDefault, 1) : 0;
}

int32_t CSensorBase::SetMirrorV(int32_t) {
    return 0;
}
int32_t CSensorBase::GetMirrorV(int32_t*) {
    return 0;
}
int32_t CSensorBase::SetMirrorH(int32_t) {
    return 0;
}
int32_t CSensorBase::GetMirrorH(int32_t*) {
    return 0;
}
int32_t CSensorBase::GetMirrorVDefault() {
    return info_.mirrorVDefault;
}
int32_t CSensorBase::GetMirrorHDefault() {
    return info_.mirrorHDefault;
}
int32_t CSensorBase::HasMirrorVHardware() {
    return info_.mirrorVHardware;
}
int32_t CSensorBase::HasMirrorHHardware() {
    return info_.mirrorHHardware;
}

int32_t CSensorBase::SetSamplingRate(int32_t, int32_t*) {
    return 0;
}

int32_t CSensorBase::WriteRegister(uint32_t, uint32_t) {
    return 0;
}
int32_t CSensorBase::ReadRegister(uint32_t, uint32_t*) {
    return 0;
}
int32_t CSensorBase::WriteRegisterReadBack(uint32_t, uint32_t) {
    return 0;
}
int32_t CSensorBase::ReadRegisterRetried(uint32_t, uint32_t*) {
    return 0;
}

int32_t CSensorBase::ReservedOp1() {
    return 0;
}
int32_t CSensorBase::ReservedOp2() {
    return 0;
}
int32_t CSensorBase::ReservedOp3() {
    return 0;
}
int32_t CSensorBase::ReservedOp4() {
    return 0;
}
int32_t CSensorBase::ReservedOp5() {
    return 0;
}
int32_t CSensorBase::ReservedOp6() {
    return 0;
}
int32_t CSensorBase::ReservedOp7() {
    return 0;
}

int32_t CSensorBase::SetClockMode(int32_t) {
    return 0;
}
int32_t CSensorBase::GetClockMode(int32_t*) {
    return 0;
}

int32_t CSensorBase::GetSensorInfo(SensorInfo* info) {
    if (info == nullptr) {
        return 0;
    }
    std::memcpy(info, &info_, sizeof(SensorInfo));
    return 1;
}

void CSensorBase::OnCapture() {}
void CSensorBase::OnCaptureDone() {}

int32_t CSensorBase::VariantOpD(int32_t) {
    return 0;
}
int32_t CSensorBase::VariantOpE(int32_t*) {
    return 0;
}

int32_t CSensorBase::IsCoolerSupported() {
    return 0;
}
int32_t CSensorBase::GetCooler() {
    return 0;
}
int32_t CSensorBase::SetCooler(int32_t) {
    return 0;
}
int32_t CSensorBase::IsTemperatureSupported() {
    return 0;
}
int32_t CSensorBase::GetTemperature(double*) {
    return 0;
}

void CSensorBase::OnStreamStart() {}
void CSensorBase::OnStreamStop() {}

int32_t CSensorBase::IsSwitchASupported() {
    return 0;
}
int32_t CSensorBase::GetSwitchA(int32_t*) {
    return 0;
}
int32_t CSensorBase::SetSwitchA(int32_t) {
    return 0;
}

int32_t CSensorBase::ReceiveText(char*, int32_t) {
    return 0;
}
int32_t CSensorBase::SendText(const char*, int32_t) {
    return 0;
}

int32_t CSensorBase::IsAuxSwitchSupported() {
    return 0;
}
int32_t CSensorBase::GetAuxSwitch(int32_t*) {
    return 0;
}
int32_t CSensorBase::SetAuxSwitch(int32_t) {
    return 0;
}

int32_t CSensorBase::IsSetPointSupported() {
    return 0;
}
int32_t CSensorBase::SpareOpA() {
    return 0;
}
int32_t CSensorBase::SpareOpB() {
    return 0;
}
int32_t CSensorBase::GetSensorTemperature(int32_t*) {
    return 0;
}
int32_t CSensorBase::SetTemperatureSetPoint(int32_t) {
    return 0;
}

int32_t CSensorBase::IsExposureSecondsSupported() {
    return info_.exposureSecondsSupported;
}
int32_t CSensorBase::GetExposureSecondsMin(double* seconds) {
    return ReportField(seconds, info_.exposureSecondsMin, info_.exposureSecondsSupported);
}
int32_t CSensorBase::GetExposureSecondsMax(double* seconds) {
    return ReportField(seconds, info_.exposureSecondsMax, info_.exposureSecondsSupported);
}
int32_t CSensorBase::GetExposureSecondsDefault(double* seconds) {
    return ReportField(seconds, info_.exposureSecondsDefault, info_.exposureSecondsSupported);
}
int32_t CSensorBase::GetExposureSeconds(double* seconds) {
    return ReportField(seconds, info_.exposureSeconds, info_.exposureSecondsSupported);
}
int32_t CSensorBase::SetExposureSeconds(double) {
    return 0;
}

int32_t CSensorBase::IsFixedExposureSupported() {
    return 0;
}
int32_t CSensorBase::GetFixedExposure(int32_t*) {
    return 0;
}
int32_t CSensorBase::SetFixedExposure(int32_t) {
    return 0;
}

int32_t CSensorBase::VariantInfoA(int32_t*, int32_t*) {
    return 0;
}
int32_t CSensorBase::VariantInfoB(int32_t*, int32_t*) {
    return 0;
}

int32_t CSensorBase::IsGainModeSupported() {
    return 0;
}
int32_t CSensorBase::GetGainMode() {
    return -1;
}
int32_t CSensorBase::SetGainMode(int32_t) {
    return 0;
}

int32_t CSensorBase::IsSwitchBSupported() {
    return 0;
}
int32_t CSensorBase::GetSwitchB() {
    return -1;
}
int32_t CSensorBase::SetSwitchB(int32_t) {
    return 0;
}

int32_t CSensorBase::Allows8BitOutput() {
    return 1;
}
int32_t CSensorBase::Allows16BitOutput() {
    return 1;
}
int32_t CSensorBase::IsColourSensor() {
    return 1;
}

int32_t CSensorBase::WriteFpgaReadBack(uint8_t reg, uint8_t value) {
    if (!HasController()) {
        return 0;
    }
    for (int attempt = 0; attempt < 10; ++attempt) {
        controller_->WriteFpgaRegister(reg, value);
        platform::Sleep(5);
        uint8_t readBack = 0;
        if (controller_->ReadFpgaRegister(reg, &readBack) && readBack == value) {
            return 1;
        }
        platform::Sleep(5);
    }
    return 0;
}

uint16_t CSensorBase::FpgaVersion() {
    if (fpgaVersion_ == 0 && HasController()) {
        uint16_t version = 0;
        if (controller_->ReadFpgaVersion(&version)) {
            fpgaVersion_ = version;
        }
    }
    return fpgaVersion_;
}

int32_t CSensorBase::BusWriteRegister16(uint16_t reg, uint8_t value) {
    if (!HasController()) {
        return 0;
    }
    const uint8_t bytes[3] = {static_cast<uint8_t>(reg >> 8), static_cast<uint8_t>(reg & 0xFF),
                              value};
    return controller_->I2cWrite(busAddress_, bytes, 3, kBusTimeoutMs) ? 1 : 0;
}

int32_t CSensorBase::BusReadRegister16(uint16_t reg, uint8_t* value) {
    if (!HasController() || value == nullptr) {
        return 0;
    }
    const uint8_t address[2] = {static_cast<uint8_t>(reg >> 8), static_cast<uint8_t>(reg & 0xFF)};
    if (!controller_->I2cWrite(busAddress_, address, 2, kBusTimeoutMs)) {
        return 0;
    }
    uint8_t byte = 0;
    if (!controller_->I2cRead(static_cast<uint8_t>(busAddress_ | 1), &byte, 1, kBusTimeoutMs)) {
        return 0;
    }
    *value = byte;
    return 1;
}

int32_t CSensorBase::RetriedRead(uint32_t reg, uint32_t* value) {
    if (!HasController() || value == nullptr) {
        return 0;
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        uint8_t busState = 0xFF;
        if (controller_->ReadFpgaRegister(kFpgaSensorBusBusy, &busState) && busState == 0 &&
            ReadRegister(reg, value)) {
            return 1;
        }
        platform::Sleep(3);
    }
    return 0;
}

int32_t CSensorBase::ReadBackWrite(uint32_t reg, uint32_t value) {
    if (!HasController()) {
        return 0;
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        uint8_t busState = 0xFF;
        if (controller_->ReadFpgaRegister(kFpgaSensorBusBusy, &busState) && busState == 0 &&
            WriteRegister(reg, value)) {
            // Preset to a value no byte register can hold, so a read that delivers nothing
            // never confirms the write.
            uint32_t readBack = 0x0A0A;
            if (ReadRegisterRetried(reg, &readBack) && readBack == value) {
                return 1;
            }
        }
        platform::Sleep(3);
    }
    return 0;
}

}  // namespace velcor
