#include "sensors/SensorSerialHead.h"

#include <cstring>

#include "protocol/SensorRegisterLayout.h"
#include "sensors/SensorFamilyModels.h"

namespace velcor {

namespace head = sensor_bus::head;

CSensorSerialHead::CSensorSerialHead(CControllerBase* controller, uint8_t busAddress,
                                     const char* className)
    : CSensorFamily(controller, busAddress, CatalogRow(className)) {}

bool CSensorSerialHead::ReadFlag(uint8_t reg, int32_t* on) {
    uint32_t value = 0;
    if (on == nullptr || !HasController() || !ReadValue(reg, &value, 1) || value > 1) return false;
    *on = static_cast<int32_t>(value);
    return true;
}

bool CSensorSerialHead::WriteFlag(uint8_t reg, int32_t on) {
    if (on != 0 && on != 1) return false;
    return HasController() && WriteValue(reg, static_cast<uint32_t>(on), 1);
}

// --- Gain mode -------------------------------------------------------------------------------

int32_t CSensorSerialHead::IsGainModeSupported() {
    return 1;
}

int32_t CSensorSerialHead::GetGainMode() {
    uint32_t first = 0;
    uint32_t second = 0;
    if (!HasController() || !ReadValue(head::kGainModeFirst, &first, 1) ||
        !ReadValue(head::kGainModeSecond, &second, 1)) {
        return -1;
    }
    if (first == head::kSwitchOpen && second == head::kSwitchClosed) return 1;
    if (first == head::kSwitchClosed && second == head::kSwitchOpen) return 0;
    return -1;
}

int32_t CSensorSerialHead::SetGainMode(int32_t on) {
    if (!HasController()) return 0;
    const uint8_t first = on ? head::kSwitchOpen : head::kSwitchClosed;
    const uint8_t second = on ? head::kSwitchClosed : head::kSwitchOpen;
    const bool firstOk = WriteValue(head::kGainModeFirst, first, 1);
    const bool secondOk = WriteValue(head::kGainModeSecond, second, 1);
    return firstOk && secondOk ? 1 : 0;
}

// --- Auxiliary switch ------------------------------------------------------------------------

int32_t CSensorSerialHead::IsAuxSwitchSupported() {
    return FpgaVersion() > kAuxSwitchFpgaVersion ? 1 : 0;
}

int32_t CSensorSerialHead::GetAuxSwitch(int32_t* on) {
    return IsAuxSwitchSupported() && ReadFlag(head::kAuxSwitch, on) ? 1 : 0;
}

int32_t CSensorSerialHead::SetAuxSwitch(int32_t on) {
    return IsAuxSwitchSupported() && WriteFlag(head::kAuxSwitch, on) ? 1 : 0;
}

// --- Head information ------------------------------------------------------------------------

int32_t CSensorSerialHead::VariantInfoA(int32_t* first, int32_t* second) {
    if (!headFormat_) {
        uint32_t format = 0;
        uint32_t firmware = 0;
        if (!HasController() || !ReadValue(head::kReadoutFormat, &format, 1) ||
            !ReadValue(head::kFirmware, &firmware, 1)) {
            return 0;
        }
        headFormat_ = HeadFormat{format, firmware};
    }
    if (first != nullptr) *first = static_cast<int32_t>(headFormat_->format);
    if (second != nullptr) *second = static_cast<int32_t>(headFormat_->firmware);
    return (headFormat_->format & head::kFormatWholeFrames) != 0 ? 1 : 0;
}

int32_t CSensorSerialHead::VariantInfoB(int32_t* first, int32_t* second) {
    uint32_t model = 0;
    uint32_t revision = 0;
    if (first == nullptr || second == nullptr || !HasController() ||
        !ReadValue(head::kModel, &model, 1) || !ReadValue(head::kRevision, &revision, 1)) {
        return 0;
    }
    *first = static_cast<int32_t>(model);
    *second = static_cast<int32_t>(revision);
    return 1;
}

// --- 0x31E0 ----------------------------------------------------------------------------------

CSensorPid31E0::CSensorPid31E0(CControllerBase* controller, uint8_t busAddress)
    : CSensorSerialHead(controller, busAddress, "CSensorPid31E0") {}

int32_t CSensorPid31E0::VariantOpD(int32_t variant) {
    if (variant < 0 || variant > kHighestVariant || !HasController()) return 0;
    return WriteValue(head::kVariant, static_cast<uint32_t>(variant), 1) ? 1 : 0;
}

int32_t CSensorPid31E0::VariantOpE(int32_t* variant) {
    uint32_t value = 0;
    if (variant == nullptr || !HasController() || !ReadValue(head::kVariant, &value, 1)) return 0;
    *variant = static_cast<int32_t>(value);
    return 1;
}

// --- 0x32D0 ----------------------------------------------------------------------------------

namespace {

constexpr const char* kGainStepLabels[CSensorPid32D0::kSteps] = {
    "0.66x", "1.85x", "2.49x", "3.68x", "1.29x", "3.70x", "4.95x", "7.25x"};
// The step goes into the low bits of registers 217 and 218; their other bits are kept from
// the sensor's configuration in registers 89 and 90 respectively.
constexpr uint32_t kRegStep[2] = {217, 218};
constexpr uint32_t kRegStepConfig[2] = {89, 90};
constexpr uint32_t kStepMask = 0x07;

}  // namespace

CSensorPid32D0::CSensorPid32D0(CControllerBase* controller, uint8_t busAddress)
    : CSensorSerialHead(controller, busAddress, "CSensorPid32D0") {
    info_.gainStepMin = 0;
    info_.gainStepMax = kSteps - 1;
    info_.gainStepSupported = 1;
}

int32_t CSensorPid32D0::SetGainStep(int32_t step) {
    if (step < info_.gainStepMin || step > info_.gainStepMax || !HasController()) return 0;
    uint32_t config[2] = {};
    for (int i = 0; i < 2; ++i) {
        if (!ReadRegister(kRegStepConfig[i], &config[i])) return 0;
    }
    for (int i = 0; i < 2; ++i) {
        const uint32_t merged = (config[i] & ~kStepMask & 0xFF) | static_cast<uint32_t>(step);
        if (!WriteRegister(kRegStep[i], merged)) return 0;
    }
    info_.gainStep = step;
    return 1;
}

int32_t CSensorPid32D0::GetGainStep(int32_t* step) {
    uint32_t value = 0;
    if (step == nullptr || !ReadRegister(kRegStep[0], &value)) return 0;
    *step = static_cast<int32_t>(value & kStepMask);
    info_.gainStep = *step;
    return 1;
}

int32_t CSensorPid32D0::GetGainStepLabel(int32_t step, char* text, size_t capacity) {
    if (step < 0 || step >= kSteps || text == nullptr) return 0;
    const size_t length = std::strlen(kGainStepLabels[step]);
    if (capacity <= length) return 0;
    std::memcpy(text, kGainStepLabels[step], length + 1);
    return 1;
}

int32_t CSensorPid32D0::IsSwitchBSupported() {
    return 1;
}

int32_t CSensorPid32D0::GetSwitchB() {
    int32_t on = 0;
    return ReadFlag(head::kSwitchB, &on) ? on : -1;
}

int32_t CSensorPid32D0::SetSwitchB(int32_t on) {
    return WriteFlag(head::kSwitchB, on) ? 1 : 0;
}

}  // namespace velcor
