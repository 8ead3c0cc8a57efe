#include "sensors/SensorFamily.h"

#include <algorithm>
#include <cmath>

#include "platform/Clock.h"
#include "protocol/SensorRegisterLayout.h"

namespace velcor {
namespace {

using sensor_bus::RegisterLayout;

// The register layout of the sensor behind a driver's transport.
const RegisterLayout& LayoutOf(RegisterForm form) {
    using sensor_bus::Wire;
    switch (form) {
        case RegisterForm::None:
            return sensor_bus::LayoutOf(Wire::None);
        case RegisterForm::I2c16x16:
            return sensor_bus::LayoutOf(Wire::I2c16x16);
        case RegisterForm::I2c8x16:
            return sensor_bus::LayoutOf(Wire::I2c8x16);
        case RegisterForm::Word32:
        case RegisterForm::Word32Copied:
            return sensor_bus::LayoutOf(Wire::Word32);
        case RegisterForm::Fpga:
            return sensor_bus::LayoutOf(Wire::Fpga);
        case RegisterForm::FpgaMailbox:
            return sensor_bus::LayoutOf(Wire::FpgaMailbox);
        default:
            return sensor_bus::LayoutOf(Wire::I2c16x8);
    }
}

// Where a model with a thermometer keeps its reading: the serial heads in the FPGA, the
// cooled Sony-bus cameras in the sensor.
const sensor_bus::Thermometer* ThermometerOf(RegisterForm form) {
    switch (form) {
        case RegisterForm::Fpga:
            return &sensor_bus::kHeadThermometer;
        case RegisterForm::I2c16x8LockedPaused:
        case RegisterForm::I2c16x8Locked:
        case RegisterForm::I2c16x8Paused:
            return &sensor_bus::kSonyThermometer;
        default:
            return nullptr;
    }
}

// Horizontal and vertical blanking around the active pixels.
constexpr int32_t kLineBlanking = 256;
constexpr int32_t kFrameBlanking = 30;
constexpr int32_t kMinWindow = 8;

}  // namespace

CSensorFamily::CSensorFamily(CControllerBase* controller, uint8_t busAddress,
                             const SensorModel& model)
    : CSensorBase(controller, busAddress),
      model_(model),
      transport_(model.form, controller, busAddress) {
    SensorInfo& s = info_;
    const int32_t defaultHeight = model.lineScan ? model.fullWidth : model.fullHeight;
    const bool common = model.Has(kFeatureCommonSet);
    s.fullWidth = model.fullWidth;
    s.fullHeight = model.fullHeight;
    s.defaultWidth = model.fullWidth;
    s.defaultHeight = defaultHeight;
    s.hWindowSupported = common ? 1 : 0;
    s.vWindowSupported = common ? 1 : 0;
    s.windowWidth = model.fullWidth;
    s.windowHeight = defaultHeight;
    s.lineLength = model.fullWidth + kLineBlanking;
    s.frameLines = defaultHeight + kFrameBlanking;
    s.clockKHz = model.clockKHz;

    s.gainMin = model.gainMin;
    s.gainMax = model.gainMax;
    s.gain = model.gainDefault;
    s.gainDefault = model.gainDefault;
    s.gainSupported = model.gainSupported ? 1 : 0;

    s.exposureMin = model.exposureMin;
    s.exposureMax = model.exposureMax;
    s.exposure = model.exposureDefault;
    s.exposureDefault = model.exposureDefault;
    if (common) {
        s.exposureSupported = 1;
        s.linesMin = 1;
        s.linesMax = NsToLines(model.exposureMax * 100000.0);
        s.linesDefault = NsToLines(model.exposureDefault * 100000.0);
        s.lines = s.linesDefault;
        s.linesSupported = 1;
        AnswerBoundsFromInfo(kLineBounds | kGainBounds | kColourGainBounds | kExposureBounds);
    }
    if (model.Has(kFeatureBlackLevel)) {
        s.blackLevelMin = model.blackLevelMin;
        s.blackLevelMax = model.blackLevelMax;
        s.blackLevel = model.blackLevelDefault;
        s.blackLevelDefault = model.blackLevelDefault;
        s.blackLevelSupported = 1;
    }
    if (model.Has(kFeatureExposureSeconds)) {
        s.exposureSecondsMin = model.exposureSecondsMin;
        s.exposureSecondsMax = model.exposureSecondsMax;
        s.exposureSeconds = model.exposureSecondsDefault;
        s.exposureSecondsDefault = model.exposureSecondsDefault;
        s.exposureSecondsSupported = 1;
    }
    s.mirrorVHardware = model.Has(kFeatureMirrorV) ? 1 : 0;
    s.mirrorHHardware = model.Has(kFeatureMirrorH) ? 1 : 0;
    s.bitDepth = model.bitDepth;
    s.orientation = model.orientation;
    if (model.modelCode != 0) modelCode_ = model.modelCode;
    channelGain_.fill(kChannelGainDefault);
}

// --- Register access ----------------------------------------------------------------------

int32_t CSensorFamily::WriteRegister(uint32_t reg, uint32_t value) {
    return transport_.Write(reg, value, modeWord_);
}

int32_t CSensorFamily::ReadRegister(uint32_t reg, uint32_t* value) {
    return transport_.Read(reg, value, modeWord_);
}

bool CSensorFamily::GateRetries(uint8_t state) {
    if (model_.retry != RetryForm::FpgaGated) return true;
    // Only the outermost loop opens and closes the gate.
    gateDepth_ += state ? 1 : -1;
    if (gateDepth_ != (state ? 1 : 0)) return true;
    return controller_->WriteFpgaRegister(kFpgaRetryGate, state) != 0;
}

int32_t CSensorFamily::WriteRegisterReadBack(uint32_t reg, uint32_t value) {
    if (!HasController()) return 0;
    if (model_.retry == RetryForm::WriteNoReadBack) {
        for (int attempt = 0; attempt < 1000; ++attempt) {
            if (WriteRegister(reg, value)) return 1;
            platform::Sleep(2);
        }
        return 0;
    }
    GateRetries(1);
    const int32_t ok = ReadBackWrite(reg, value);
    GateRetries(0);
    return ok;
}

int32_t CSensorFamily::ReadRegisterRetried(uint32_t reg, uint32_t* value) {
    if (!HasController() || value == nullptr) return 0;
    if (model_.retry == RetryForm::QuickRead) {
        for (int attempt = 0; attempt < 30; ++attempt) {
            if (ReadRegister(reg, value)) return 1;
        }
        return 0;
    }
    GateRetries(1);
    const int32_t ok = RetriedRead(reg, value);
    GateRetries(0);
    return ok;
}

bool CSensorFamily::WriteValue(uint32_t reg, uint32_t value, int bytes) {
    const bool confirm = transport_.UsesI2c();
    auto write = [&](uint32_t r, uint32_t v) {
        return (confirm ? WriteRegisterReadBack(r, v) : WriteRegister(r, v)) != 0;
    };
    if (transport_.ValueBytes() >= bytes) return write(reg, value);
    bool ok = true;
    for (int i = 0; i < bytes; ++i) {
        ok = write(reg + i, (value >> (8 * i)) & 0xFF) && ok;
    }
    return ok;
}

bool CSensorFamily::ReadValue(uint32_t reg, uint32_t* value, int bytes) {
    const bool retried = transport_.UsesI2c();
    auto read = [&](uint32_t r, uint32_t* v) {
        return (retried ? ReadRegisterRetried(r, v) : ReadRegister(r, v)) != 0;
    };
    if (transport_.ValueBytes() >= bytes) return read(reg, value);
    uint32_t result = 0;
    for (int i = 0; i < bytes; ++i) {
        uint32_t byte = 0;
        if (!read(reg + i, &byte)) return false;
        result |= (byte & 0xFF) << (8 * i);
    }
    *value = result;
    return true;
}

int32_t CSensorFamily::Answer(bool offered, int32_t field, int32_t* out) {
    if (!offered || out == nullptr) return 0;
    *out = field;
    return 1;
}

bool CSensorFamily::ReadFpga(uint8_t reg, uint8_t* value) {
    return HasController() && controller_->ReadFpgaRegister(reg, value) != 0;
}

// --- Start-up ------------------------------------------------------------------------------

int32_t CSensorFamily::WaitReady() {
    // The camera is ready once its FPGA answers on the bus.
    uint8_t busState = 0;
    return ReadFpga(kFpgaSensorBusBusy, &busState) ? 1 : 0;
}

int32_t CSensorFamily::Initialize() {
    if (!HasController()) return 0;
    if (!Has(kFeatureCommonSet)) return 1;  // nothing to program on a video converter
    const RegisterLayout& layout = LayoutOf(model_.form);
    bool ok = WriteValue(layout.run, 0, 1);
    if (Has(kFeatureBlackLevel)) SetBlackLevel(info_.blackLevelDefault);
    if (info_.gainSupported && !Has(kFeatureNoGainSet)) SetGlobalGain(info_.gainDefault);
    if (Has(kFeatureMirrorH)) SetMirrorH(info_.mirrorHDefault);
    if (Has(kFeatureMirrorV)) SetMirrorV(info_.mirrorVDefault);
    SetWindow(info_.defaultX, info_.defaultWidth, info_.defaultY, info_.defaultHeight, 0);
    ok = SetExposureLines(info_.linesDefault) && ok;
    ok = WriteValue(layout.run, 1, 1) && ok;
    return ok ? 1 : 0;
}

// --- Window --------------------------------------------------------------------------------

int32_t CSensorFamily::SetWindow(int32_t x, int32_t width, int32_t y, int32_t height,
                                 int32_t mode) {
    if (!Has(kFeatureCommonSet) || !HasController()) return 0;
    if (!info_.hWindowSupported) {
        x = 0;
        width = info_.fullWidth;
    }
    if (!info_.vWindowSupported) {
        y = 0;
        height = info_.fullHeight;
    }
    // A window must lie on the sensor; anything else would program an impossible readout.
    if (x < 0 || y < 0 || width < kMinWindow || height < kMinWindow ||
        width > info_.fullWidth - x || height > info_.fullHeight - y) {
        return 0;
    }
    const RegisterLayout& layout = LayoutOf(model_.form);
    WriteValue(layout.windowX, static_cast<uint32_t>(x), 2);
    WriteValue(layout.windowY, static_cast<uint32_t>(y), 2);
    WriteValue(layout.windowWidth, static_cast<uint32_t>(width), 2);
    WriteValue(layout.windowHeight, static_cast<uint32_t>(height), 2);
    info_.frameLines = height + kFrameBlanking;
    info_.windowMode = mode;
    info_.windowX = x;
    info_.windowY = y;
    info_.windowWidth = width;
    info_.windowHeight = height;
    return 1;
}

int32_t CSensorFamily::GetWindow(int32_t* x, int32_t* width, int32_t* y, int32_t* height,
                                 int32_t* mode) {
    if (!Has(kFeatureCommonSet) || !x || !width || !y || !height || !mode) return 0;
    *x = info_.windowX;
    *width = info_.windowWidth;
    *y = info_.windowY;
    *height = info_.windowHeight;
    *mode = info_.windowMode;
    return 1;
}

// --- Trigger and output ----------------------------------------------------------------------

int32_t CSensorFamily::SetTriggerMode(int32_t mode) {
    if (!Has(kFeatureTrigger) || !HasController() || (mode != 0 && mode != 1)) return 0;
    if (!WriteValue(LayoutOf(model_.form).trigger, static_cast<uint32_t>(mode), 1)) return 0;
    modeWord_ = mode;
    return 1;
}

int32_t CSensorFamily::GetTriggerMode(int32_t* mode) {
    return Answer(Has(kFeatureTrigger), modeWord_, mode);
}

int32_t CSensorFamily::SetBitDepth(int32_t sixteenBits) {
    if (!Has(kFeatureBitDepth)) return 0;
    // A depth the camera cannot deliver would leave the stream and the record disagreeing.
    if (sixteenBits ? !Allows16BitOutput() : !Allows8BitOutput()) return 0;
    const int32_t bits = sixteenBits ? 16 : 8;
    // A sensor that sets the width of its samples itself must be told; nothing else would
    // change what the camera delivers.
    const uint32_t depthRegister = LayoutOf(model_.form).pixelDepth;
    if (depthRegister != 0 && !WriteValue(depthRegister, static_cast<uint32_t>(bits), 1)) {
        return 0;
    }
    info_.bitDepth = bits;
    if (Has(kFeatureCommonSet)) {
        SetWindow(info_.windowX, info_.windowWidth, info_.windowY, info_.windowHeight,
                  info_.windowMode);
    }
    return 1;
}

int32_t CSensorFamily::Allows8BitOutput() {
    return Has(kFeatureOnly16Bit) ? 0 : 1;
}
int32_t CSensorFamily::Allows16BitOutput() {
    return Has(kFeatureOnly8Bit) ? 0 : 1;
}
int32_t CSensorFamily::IsColourSensor() {
    return model_.colour ? 1 : 0;
}

int32_t CSensorFamily::SetSamplingRate(int32_t, int32_t*) {
    return Has(kFeatureSamplingRate) ? 1 : 0;
}

// --- Exposure ------------------------------------------------------------------------------

int32_t CSensorFamily::NsToLines(double ns) const {
    const int64_t lineNs = static_cast<int64_t>(info_.lineLength) * 1000000 / info_.clockKHz;
    if (lineNs <= 0) return 1;
    const double lines = std::max(1.0, ns / static_cast<double>(lineNs));
    return static_cast<int32_t>(std::min(lines, 2147483647.0));
}

int32_t CSensorFamily::SetExposureLines(int32_t lines) {
    if (!Has(kFeatureCommonSet) || !HasController()) return 0;
    if (lines < info_.linesMin || lines > info_.linesMax) return 0;
    const RegisterLayout& layout = LayoutOf(model_.form);
    if (!WriteValue(layout.exposure, static_cast<uint32_t>(lines), layout.exposureBytes)) {
        return 0;
    }
    info_.lines = lines;
    return 1;
}

int32_t CSensorFamily::GetExposureLines(int32_t* lines) {
    return Answer(Has(kFeatureCommonSet), info_.lines, lines);
}

bool CSensorFamily::ApplyExposureNs(double ns) {
    const int32_t lines = std::min(NsToLines(ns), info_.linesMax);
    return SetExposureLines(lines) != 0;
}

int32_t CSensorFamily::SetExposure(int32_t value) {
    if (!Has(kFeatureCommonSet)) return 0;
    value = std::clamp(value, info_.exposureMin, info_.exposureMax);
    if (!ApplyExposureNs(value * 100000.0)) return 0;
    info_.exposure = value;
    info_.exposureSeconds = value / 10000.0;
    return 1;
}

int32_t CSensorFamily::GetExposure(int32_t* value) {
    return Answer(Has(kFeatureCommonSet), info_.exposure, value);
}

int32_t CSensorFamily::SetExposureSeconds(double seconds) {
    if (!Has(kFeatureExposureSeconds) || std::isnan(seconds)) return 0;
    seconds = std::clamp(seconds, info_.exposureSecondsMin, info_.exposureSecondsMax);
    if (!ApplyExposureNs(seconds * 1e9)) return 0;
    info_.exposureSeconds = seconds;
    info_.exposure = static_cast<int32_t>(seconds * 10000.0);
    return 1;
}

// --- Gain and black level -------------------------------------------------------------------

int32_t CSensorFamily::SetGlobalGain(int32_t value) {
    if (!Has(kFeatureCommonSet) || Has(kFeatureNoGainSet) || !info_.gainSupported) return 0;
    if (value < info_.gainMin || value > info_.gainMax) return 0;
    const RegisterLayout& layout = LayoutOf(model_.form);
    if (!WriteValue(layout.gain, static_cast<uint32_t>(value), layout.gainBytes)) return 0;
    info_.gain = value;
    return 1;
}

int32_t CSensorFamily::GetGlobalGain(int32_t* value) {
    return Answer(Has(kFeatureCommonSet), info_.gain, value);
}

int32_t CSensorFamily::SetBlackLevel(int32_t value) {
    if (!Has(kFeatureBlackLevel) || value < info_.blackLevelMin || value > info_.blackLevelMax) {
        return 0;
    }
    if (!WriteValue(LayoutOf(model_.form).blackLevel, static_cast<uint32_t>(value), 2)) return 0;
    info_.blackLevel = value;
    return 1;
}

int32_t CSensorFamily::GetBlackLevel(int32_t* value) {
    if (!Has(kFeatureBlackLevel)) return CSensorBase::GetBlackLevel(value);
    uint32_t level = 0;
    if (value == nullptr || !ReadValue(LayoutOf(model_.form).blackLevel, &level, 2)) return 0;
    info_.blackLevel = static_cast<int32_t>(level);
    *value = info_.blackLevel;
    return 1;
}

// --- CCD channels ----------------------------------------------------------------------------

bool CSensorFamily::SetChannel(std::array<int32_t, 4>& values, uint32_t firstReg, int32_t channel,
                               int32_t value) {
    if (!Has(kFeatureChannels) || channel < 1 || channel > 4 || value < 0 || value > kChannelMax) {
        return false;
    }
    const uint32_t reg = firstReg + static_cast<uint32_t>(channel - 1);
    if (!WriteValue(reg, static_cast<uint32_t>(value), 2)) return false;
    values[channel - 1] = value;
    return true;
}

bool CSensorFamily::GetChannel(const std::array<int32_t, 4>& values, int32_t channel,
                               int32_t* value) const {
    if (!Has(kFeatureChannels) || channel < 1 || channel > 4 || value == nullptr) return false;
    *value = values[channel - 1];
    return true;
}

int32_t CSensorFamily::SetChannelGain(int32_t channel, int32_t value) {
    return SetChannel(channelGain_, LayoutOf(model_.form).channelGain, channel, value) ? 1 : 0;
}
int32_t CSensorFamily::GetChannelGain(int32_t channel, int32_t* value) {
    return GetChannel(channelGain_, channel, value) ? 1 : 0;
}
int32_t CSensorFamily::SetChannelOffset(int32_t channel, int32_t value) {
    return SetChannel(channelOffset_, LayoutOf(model_.form).channelOffset, channel, value) ? 1 : 0;
}
int32_t CSensorFamily::GetChannelOffset(int32_t channel, int32_t* value) {
    return GetChannel(channelOffset_, channel, value) ? 1 : 0;
}

int32_t CSensorFamily::GetChannelGainMin(int32_t* value) {
    return Answer(Has(kFeatureChannels), 0, value);
}
int32_t CSensorFamily::GetChannelGainMax(int32_t* value) {
    return Answer(Has(kFeatureChannels), kChannelMax, value);
}
int32_t CSensorFamily::GetChannelGainDefault(int32_t* value) {
    return Answer(Has(kFeatureChannels), kChannelGainDefault, value);
}
int32_t CSensorFamily::GetChannelOffsetMin(int32_t* value) {
    return Answer(Has(kFeatureChannels), 0, value);
}
int32_t CSensorFamily::GetChannelOffsetMax(int32_t* value) {
    return Answer(Has(kFeatureChannels), kChannelMax, value);
}
int32_t CSensorFamily::GetChannelOffsetDefault(int32_t* value) {
    return Answer(Has(kFeatureChannels), 0, value);
}

// --- Mirrors -------------------------------------------------------------------------------

bool CSensorFamily::SetMirrorBit(uint32_t bit, int32_t on, int32_t* field) {
    const RegisterLayout& layout = LayoutOf(model_.form);
    const int bytes = bit > 0xFF ? 2 : 1;
    uint32_t value = 0;
    if (!HasController() || !ReadValue(layout.mirror, &value, bytes)) return false;
    value = on ? (value | bit) : (value & ~bit);
    if (!WriteValue(layout.mirror, value, bytes)) return false;
    *field = on ? 1 : 0;
    return true;
}

int32_t CSensorFamily::SetMirrorV(int32_t on) {
    if (!Has(kFeatureMirrorV)) return 0;
    return SetMirrorBit(LayoutOf(model_.form).mirrorVBit, on, &info_.mirrorV) ? 1 : 0;
}

int32_t CSensorFamily::GetMirrorV(int32_t* on) {
    return Answer(Has(kFeatureMirrorV), info_.mirrorV, on);
}

int32_t CSensorFamily::SetMirrorH(int32_t on) {
    if (!Has(kFeatureMirrorH)) return 0;
    return SetMirrorBit(LayoutOf(model_.form).mirrorHBit, on, &info_.mirrorH) ? 1 : 0;
}

int32_t CSensorFamily::GetMirrorH(int32_t* on) {
    return Answer(Has(kFeatureMirrorH), info_.mirrorH, on);
}

// --- Cooler and switch A ---------------------------------------------------------------------

int32_t CSensorFamily::IsCoolerSupported() {
    return Has(kFeatureCooler) && FpgaVersion() > kCoolerFpgaVersion ? 1 : 0;
}

int32_t CSensorFamily::GetCooler() {
    uint8_t state = 0;
    if (!IsCoolerSupported() || !ReadFpga(kFpgaCooler, &state)) return 0;
    return state & 1;
}

int32_t CSensorFamily::SetCooler(int32_t on) {
    uint8_t state = 0;
    if (!IsCoolerSupported() || !ReadFpga(kFpgaCooler, &state)) return 0;
    state = static_cast<uint8_t>(on ? (state | 1) : (state & ~1));
    return controller_->WriteFpgaRegister(kFpgaCooler, state) ? 1 : 0;
}

// --- Temperature -----------------------------------------------------------------------------

int32_t CSensorFamily::IsTemperatureSupported() {
    return Has(kFeatureTemperature) && ThermometerOf(model_.form) != nullptr ? 1 : 0;
}

bool CSensorFamily::ReadThermometer(double* celsius) {
    const sensor_bus::Thermometer* thermometer = ThermometerOf(model_.form);
    uint32_t low = 0;
    uint32_t high = 0;
    if (thermometer == nullptr || !HasController() || !ReadValue(thermometer->low, &low, 1) ||
        !ReadValue(thermometer->high, &high, 1)) {
        return false;
    }
    *celsius = thermometer->Celsius((high & 0xFF) << 8 | (low & 0xFF));
    return true;
}

int32_t CSensorFamily::GetTemperature(double* celsius) {
    if (!IsTemperatureSupported() || celsius == nullptr) return 0;
    return ReadThermometer(celsius) ? 1 : 0;
}

int32_t CSensorFamily::IsSwitchASupported() {
    return Has(kFeatureSwitchA) ? 1 : 0;
}

int32_t CSensorFamily::GetSwitchA(int32_t* on) {
    uint8_t state = 0;
    if (!Has(kFeatureSwitchA) || on == nullptr || !ReadFpga(kFpgaSwitchA, &state) || state > 1) {
        return 0;
    }
    *on = state;
    return 1;
}

int32_t CSensorFamily::SetSwitchA(int32_t on) {
    if (!Has(kFeatureSwitchA) || !HasController() || (on != 0 && on != 1)) return 0;
    return controller_->WriteFpgaRegister(kFpgaSwitchA, static_cast<uint8_t>(on)) ? 1 : 0;
}

}  // namespace velcor
