#include "sensors/SensorFamilyModels.h"

#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/Clock.h"
#include "protocol/SensorRegisterLayout.h"
#include "sensors/SensorPid3180.h"
#include "sensors/SensorPid3200.h"
#include "sensors/SensorSerialHead.h"

namespace velcor {

const SensorModel& CatalogRow(const char* className) {
    const SensorModel* model = FindSensorModel(className);
    if (model == nullptr) std::abort();  // a class without a catalog row is a build error
    return *model;
}

// --- MT9 -----------------------------------------------------------------------------------

namespace {

constexpr CSensorMT9::GainRegisters kMt9fGains = {0x305E, 0x305A, 0x3056, 0x305C,
                                                  0x3058, 0x7F,   0x1100};
constexpr CSensorMT9::GainRegisters kMt9jGains = {0x305E, 0x305A, 0x3056, 0x305C,
                                                  0x3058, 0x7F,   0x1080};
constexpr CSensorMT9::GainRegisters kMt9pGains = {0x35, 0x2D, 0x2B, 0x2E, 0x2C, 0, 0};

constexpr int32_t kClock16MHz = 16000;
constexpr int32_t kClock80MHz = 80000;
// MT9J001 clock tree: the pixel clock divider from the PLL.
constexpr uint16_t kRegPixelClockDivider = 0x0300;
constexpr uint16_t kDividerAt80MHz = 4;
constexpr uint16_t kDividerAt16MHz = 20;
// MT9F002 frame restart (bit 1 of the reset register) and the settling time after it.
constexpr uint16_t kRegReset = 0x301A;
constexpr uint16_t kResetRestartFrame = 0x0002;
constexpr uint16_t kResetStreaming = 0x0004;
constexpr uint8_t kAuxCaptureArmed = 3;
constexpr uint32_t kRestartSettleMs = 20;

}  // namespace

CSensorMT9::CSensorMT9(CControllerBase* controller, uint8_t busAddress, const char* className,
                       const GainRegisters& gains)
    : CSensorFamily(controller, busAddress, CatalogRow(className)), gains_(gains) {
    // The colour gains share the global gain's range: min, max, current, default, supported.
    const int32_t group[5] = {info_.gainMin, info_.gainMax, info_.gainDefault, info_.gainDefault,
                              1};
    auto* record = reinterpret_cast<unsigned char*>(&info_);
    for (size_t offset :
         {offsetof(SensorInfo, colourGainMin), offsetof(SensorInfo, colourGainGreen1Min),
          offsetof(SensorInfo, colourGainGreen2Min), offsetof(SensorInfo, colourGainBlueMin)}) {
        std::memcpy(record + offset, group, sizeof group);
    }
}

int32_t CSensorMT9::WriteGain(uint16_t reg, int32_t value, int32_t* field) {
    // The record takes the value before the register is written; there is no range check.
    *field = value;
    const auto raw = static_cast<uint32_t>(value);
    const uint32_t word = gains_.valueMask != 0 ? (raw & gains_.valueMask) | gains_.setBits : raw;
    return WriteRegister(reg, word & 0xFFFF);
}

int32_t CSensorMT9::SetGlobalGain(int32_t value) {
    return WriteGain(gains_.global, value, &info_.gain);
}
int32_t CSensorMT9::SetColourGainRed(int32_t value) {
    return WriteGain(gains_.red, value, &info_.colourGainRed);
}
int32_t CSensorMT9::SetColourGainGreen1(int32_t value) {
    return WriteGain(gains_.green1, value, &info_.colourGainGreen1);
}
int32_t CSensorMT9::SetColourGainGreen2(int32_t value) {
    return WriteGain(gains_.green2, value, &info_.colourGainGreen2);
}
int32_t CSensorMT9::SetColourGainBlue(int32_t value) {
    return WriteGain(gains_.blue, value, &info_.colourGainBlue);
}

int32_t CSensorMT9::GetColourGainRed(int32_t* value) {
    return Answer(true, info_.colourGainRed, value);
}
int32_t CSensorMT9::GetColourGainGreen1(int32_t* value) {
    return Answer(true, info_.colourGainGreen1, value);
}
int32_t CSensorMT9::GetColourGainGreen2(int32_t* value) {
    return Answer(true, info_.colourGainGreen2, value);
}
int32_t CSensorMT9::GetColourGainBlue(int32_t* value) {
    return Answer(true, info_.colourGainBlue, value);
}

int32_t CSensorMT9::GetClockMode(int32_t* mode) {
    if (!Has(kFeatureClockModeGet) || mode == nullptr) return 0;
    *mode = info_.clockKHz == kClock16MHz ? 1 : info_.clockKHz == kClock80MHz ? 2 : 0;
    return 1;
}

CSensorMT9F001::CSensorMT9F001(CControllerBase* controller, uint8_t busAddress)
    : CSensorMT9F001(controller, busAddress, "CSensorMT9F001") {}

CSensorMT9F001::CSensorMT9F001(CControllerBase* controller, uint8_t busAddress,
                               const char* className)
    : CSensorMT9(controller, busAddress, className, kMt9fGains) {}

CSensorMT9F002::CSensorMT9F002(CControllerBase* controller, uint8_t busAddress)
    : CSensorMT9F001(controller, busAddress, "CSensorMT9F002") {}

void CSensorMT9F002::OnCapture() {
    if (!HasController()) return;
    WriteRegister(kRegReset, kResetStreaming | kResetRestartFrame);
    controller_->WriteAuxRegister(kAuxFrameControl, kAuxCaptureArmed);
    platform::Sleep(kRestartSettleMs);
}

void CSensorMT9F002::OnCaptureDone() {
    if (HasController()) WriteRegister(kRegReset, kResetStreaming);
}

CSensorMT9P001::CSensorMT9P001(CControllerBase* controller, uint8_t busAddress)
    : CSensorMT9(controller, busAddress, "CSensorMT9P001", kMt9pGains) {}

CSensorMT9J001::CSensorMT9J001(CControllerBase* controller, uint8_t busAddress)
    : CSensorMT9(controller, busAddress, "CSensorMT9J001", kMt9jGains) {}

int32_t CSensorMT9J001::SetClockMode(int32_t mode) {
    if (mode != 1 && mode != 2) return 0;
    const uint16_t divider = mode == 2 ? kDividerAt80MHz : kDividerAt16MHz;
    if (!WriteRegister(kRegPixelClockDivider, divider)) return 0;
    info_.clockKHz = mode == 2 ? kClock80MHz : kClock16MHz;
    return 1;
}

// --- 0x3220 --------------------------------------------------------------------------------

namespace {

// Thermistor: 10 kOhm at 25 degrees C, B = 3950, in a divider read by the converter.
constexpr double kKelvin = 273.15;
constexpr double kInverseT25 = 0.0033540164346805303;  // 1 / 298.15 K
constexpr double kBeta = 3950.0;
constexpr double kDividerScale = 9994.24;
constexpr double kDividerOffset = 9.76;
// FPGA registers of the cooler controller: the converter code (low, high), the channel it
// refers to (0 set-point, 2 sensor) and the command register.
enum : uint32_t { kRegCodeLow = 80, kRegCommand = 82, kRegCodeHigh = 83, kRegChannel = 84 };
enum : uint32_t { kChannelSetPoint = 0, kChannelSensor = 2 };

}  // namespace

CSensorPid3220::CSensorPid3220(CControllerBase* controller, uint8_t busAddress)
    : CSensorFamily(controller, busAddress, CatalogRow("CSensorPid3220")) {}

uint16_t CSensorPid3220::SetPointCode(double celsius) {
    const double x = std::exp((1.0 / (celsius + kKelvin) - kInverseT25) * kBeta);
    const double code = kDividerScale / (x * 10.0 + kDividerOffset);
    return static_cast<uint16_t>(static_cast<uint32_t>(code));
}

bool CSensorPid3220::CodeToCelsius(uint32_t code, double* celsius) {
    // Code 0 and codes from 1024 on lie outside the divider's range: no resistance gives them.
    if (code == 0) return false;
    const double ratio = (kDividerScale / code - kDividerOffset) / 10.0;
    if (!(ratio > 0.0)) return false;
    *celsius = 1.0 / (std::log(ratio) / kBeta + kInverseT25) - kKelvin;
    return std::isfinite(*celsius);
}

int32_t CSensorPid3220::IsSetPointSupported() {
    return 1;
}

int32_t CSensorPid3220::SetTemperatureSetPoint(int32_t celsius) {
    if (!IsSetPointSupported() || GetCooler() <= 0) return 0;
    setPoint_ = celsius;
    const uint16_t code = SetPointCode(celsius);
    bool ok = WriteRegister(kRegCodeLow, code & 0xFF) != 0;
    ok = WriteRegister(kRegCodeHigh, code >> 8) && ok;
    ok = WriteRegister(kRegChannel, kChannelSetPoint) && ok;
    ok = WriteRegister(kRegCommand, 0) && ok;
    ok = WriteRegister(kRegCommand, 1) && ok;
    return ok ? 1 : 0;
}

int32_t CSensorPid3220::GetTemperature(double* celsius) {
    if (celsius == nullptr || !HasController()) return 0;
    uint32_t low = 0;
    uint32_t high = 0;
    if (!WriteRegister(kRegChannel, kChannelSensor) || !WriteRegister(kRegCommand, 0) ||
        !WriteRegister(kRegCommand, 2) || !ReadRegister(kRegCodeLow, &low) ||
        !ReadRegister(kRegCodeHigh, &high)) {
        return 0;
    }
    return CodeToCelsius(high << 8 | low, celsius) ? 1 : 0;
}

int32_t CSensorPid3220::IsTemperatureSupported() {
    return 1;
}

int32_t CSensorPid3220::GetSensorTemperature(int32_t* celsius) {
    double value = 0.0;
    if (celsius == nullptr || !GetTemperature(&value)) return 0;
    *celsius = static_cast<int32_t>(value);
    return 1;
}

// --- Cooled Sony models ----------------------------------------------------------------------

CSensorCooledSony::CSensorCooledSony(CControllerBase* controller, uint8_t busAddress,
                                     const char* className, int32_t firstCode, int32_t secondCode)
    : CSensorFamily(controller, busAddress, CatalogRow(className)),
      firstCode_(firstCode),
      secondCode_(secondCode) {}

void CSensorCooledSony::SetModelCode(int32_t code) {
    if (code != firstCode_ && code != secondCode_) return;
    modelCode_ = code;
    info_.orientation = code == firstCode_ ? 4 : 1;
}

int32_t CSensorCooledSony::VariantOpA(int32_t variant) {
    if (!Has(kFeatureReadoutVariant) || variant < 0 || variant > 0xFF || !HasController()) {
        return 0;
    }
    return WriteValue(sensor_bus::kSonyReadoutVariant, static_cast<uint32_t>(variant), 1) ? 1 : 0;
}

int32_t CSensorCooledSony::VariantOpB(int32_t* variant) {
    uint32_t value = 0;
    if (!Has(kFeatureReadoutVariant) || variant == nullptr || !HasController() ||
        !ReadValue(sensor_bus::kSonyReadoutVariant, &value, 1)) {
        return 0;
    }
    *variant = static_cast<int32_t>(value);
    return 1;
}

int32_t CSensorCooledSony::VariantOpC() {
    if (!Has(kFeatureReadoutVariant) || !HasController() ||
        FpgaVersion() <= kApplyVariantFpgaVersion) {
        return 0;
    }
    return WriteValue(sensor_bus::kSonyReadoutApply, 1, 1) ? 1 : 0;
}

CSensorIMX990::CSensorIMX990(CControllerBase* controller, uint8_t busAddress)
    : CSensorCooledSony(controller, busAddress, "CSensorIMX990", 109, 110) {}

CSensorIMX991::CSensorIMX991(CControllerBase* controller, uint8_t busAddress)
    : CSensorCooledSony(controller, busAddress, "CSensorIMX991", 111, 112) {}

int32_t CSensorIMX991::Allows16BitOutput() {
    return (FpgaVersion() & 0x8000) != 0 ? 0 : 1;
}

CSensorIMX992::CSensorIMX992(CControllerBase* controller, uint8_t busAddress)
    : CSensorCooledSony(controller, busAddress, "CSensorIMX992", 129, 130) {}

// --- Construction by name --------------------------------------------------------------------

namespace {

template <typename T>
std::unique_ptr<CSensorBase> Make(CControllerBase* controller, uint8_t busAddress) {
    return std::make_unique<T>(controller, busAddress);
}

struct Maker {
    const char* className;
    std::unique_ptr<CSensorBase> (*make)(CControllerBase*, uint8_t);
};

constexpr Maker kMakers[] = {
    {"CSensorMT9F001", Make<CSensorMT9F001>}, {"CSensorMT9F002", Make<CSensorMT9F002>},
    {"CSensorMT9P001", Make<CSensorMT9P001>}, {"CSensorMT9J001", Make<CSensorMT9J001>},
    {"CSensorICX274", Make<CSensorICX274>},   {"CSensorPid3090", Make<CSensorPid3090>},
    {"CSensorPid30B0", Make<CSensorPid30B0>}, {"CSensorPid30C0", Make<CSensorPid30C0>},
    {"CSensorIMX178", Make<CSensorIMX178>},   {"CSensorIMX174", Make<CSensorIMX174>},
    {"CSensorIMX183", Make<CSensorIMX183>},   {"CSensorIMX159", Make<CSensorIMX159>},
    {"CSensorPid3130", Make<CSensorPid3130>}, {"CSensorPid3140", Make<CSensorPid3140>},
    {"CSensorPid3150", Make<CSensorPid3150>}, {"CSensorPid3170", Make<CSensorPid3170>},
    {"CSensorPid3180", Make<CSensorPid3180>}, {"CSensorPid3190", Make<CSensorPid3190>},
    {"CSensorPid31A0", Make<CSensorPid31A0>}, {"CSensorIMX250", Make<CSensorIMX250>},
    {"CSensorIMX264", Make<CSensorIMX264>},   {"CSensorIMX252", Make<CSensorIMX252>},
    {"CSensorIMX265", Make<CSensorIMX265>},   {"CSensorPid31D0", Make<CSensorPid31D0>},
    {"CSensorPid31E0", Make<CSensorPid31E0>}, {"CSensorIMX226", Make<CSensorIMX226>},
    {"CSensorPid3200", Make<CSensorPid3200>}, {"CSensorPid3210", Make<CSensorPid3210>},
    {"CSensorPid3220", Make<CSensorPid3220>}, {"CSensorIMX990", Make<CSensorIMX990>},
    {"CSensorIMX991", Make<CSensorIMX991>},   {"CSensorPid32B0", Make<CSensorPid32B0>},
    {"CSensorPid32D0", Make<CSensorPid32D0>}, {"CSensorIMX536", Make<CSensorIMX536>},
    {"CSensorIMX487", Make<CSensorIMX487>},   {"CSensorIMX273", Make<CSensorIMX273>},
    {"CSensorPid3310", Make<CSensorPid3310>}, {"CSensorPid3320", Make<CSensorPid3320>},
    {"CSensorPid3340", Make<CSensorPid3340>}, {"CSensorIMX675", Make<CSensorIMX675>},
    {"CSensorIMX992", Make<CSensorIMX992>},
};

}  // namespace

std::unique_ptr<CSensorBase> MakeFamilySensor(const char* className, CControllerBase* controller,
                                              uint8_t busAddress) {
    for (const Maker& maker : kMakers) {
        if (std::strcmp(maker.className, className) == 0) return maker.make(controller, busAddress);
    }
    return nullptr;
}

}  // namespace velcor
