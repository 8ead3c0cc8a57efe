#include "sim/SimRoze9701Sensor.h"

#include <algorithm>
#include <cmath>

namespace velcor::sim {

namespace {

constexpr uint16_t kRegOperation = 0;
constexpr uint16_t kRegControl1 = 1;
constexpr uint16_t kRegControl2 = 2;
constexpr uint16_t kRegFrameLength = 5;
constexpr uint16_t kRegLineLength = 9;
constexpr uint16_t kRegShutter = 11;
constexpr uint16_t kRegWindow = 22;
constexpr uint16_t kRegGainModeA = 78;
constexpr uint16_t kRegGainModeB = 82;
constexpr uint16_t kRegShortExposure = 90;
constexpr uint16_t kRegGain = 287;
constexpr uint16_t kRegBlackLevel = 367;
constexpr uint16_t kRegTemperature = 392;

constexpr uint8_t kRun = 4;
constexpr uint8_t kTriggered = 16;

// Temperature transfer of the on-chip sensor: degrees per count and offset.
constexpr double kDegreesPerCount = 0.3213;
constexpr double kDegreesOffset = -287.09;

}  // namespace

SimRoze9701Sensor::SimRoze9701Sensor() {
    PowerOn();
}

void SimRoze9701Sensor::PowerOn() {
    std::lock_guard lock(mutex_);
    regs_.fill(0);
    pointer_ = 0;
    restarts_ = 0;
    // The camera's firmware starts the sensor free-running after power-up.
    regs_[kRegOperation] = kRun;
    // Frame of 1054 lines (full height plus blanking) of 1344 clocks.
    regs_[kRegFrameLength] = 1054 & 0xFF;
    regs_[kRegFrameLength + 1] = 1054 >> 8;
    regs_[kRegLineLength] = 1344 & 0xFF;
    regs_[kRegLineLength + 1] = 1344 >> 8;
    // Full window: start row 0, height 1024 (+2 rows of margin).
    const int h2 = kFullHeight + 2;
    regs_[kRegWindow] = 0;
    regs_[kRegWindow + 1] = static_cast<uint8_t>((h2 & 0x1F) << 3);
    regs_[kRegWindow + 2] = static_cast<uint8_t>((h2 >> 5) & 0x3F);
    // High gain mode, short exposure off, minimum gain.
    regs_[kRegGainModeA] = 255;
    regs_[kRegGainModeB] = 6;
    regs_[kRegShortExposure] = 255;
    regs_[kRegShortExposure + 1] = 255;
    regs_[kRegShortExposure + 2] = 255;
    regs_[kRegGain] = 2;
    // Black level 8983.
    const int black = 8983;
    regs_[kRegBlackLevel] = static_cast<uint8_t>((black & 7) << 5);
    regs_[kRegBlackLevel + 1] = static_cast<uint8_t>((black >> 3) & 0xFF);
    regs_[kRegBlackLevel + 2] = static_cast<uint8_t>((black >> 11) & 7);
    // About 30 degrees.
    regs_[kRegTemperature] = 987 & 0xFF;
    regs_[kRegTemperature + 1] = 987 >> 8;
}

bool SimRoze9701Sensor::Accessible(uint16_t reg) const {
    if (reg >= kRegisterCount) {
        return false;
    }
    if (reg >= kRegBlackLevel && reg <= kRegBlackLevel + 2) {
        return (regs_[kRegControl2] & 0x40) != 0;
    }
    return true;
}

std::optional<uint8_t> SimRoze9701Sensor::Read(uint16_t reg) const {
    std::lock_guard lock(mutex_);
    return ReadLocked(reg);
}

bool SimRoze9701Sensor::Write(uint16_t reg, uint8_t value) {
    std::lock_guard lock(mutex_);
    return WriteLocked(reg, value);
}

std::optional<uint8_t> SimRoze9701Sensor::Peek(uint16_t reg) const {
    if (reg >= kRegisterCount) {
        return std::nullopt;
    }
    std::lock_guard lock(mutex_);
    return regs_[reg];
}

bool SimRoze9701Sensor::Poke(uint16_t reg, uint8_t value) {
    if (reg >= kRegisterCount) {
        return false;
    }
    std::lock_guard lock(mutex_);
    regs_[reg] = value;
    return true;
}

std::optional<uint8_t> SimRoze9701Sensor::ReadLocked(uint16_t reg) const {
    if (!Accessible(reg)) {
        return std::nullopt;
    }
    return regs_[reg];
}

bool SimRoze9701Sensor::WriteLocked(uint16_t reg, uint8_t value) {
    if (!Accessible(reg)) {
        return false;
    }
    if (reg == kRegTemperature || reg == kRegTemperature + 1) {
        return true;  // read-only
    }
    if (reg == kRegOperation && regs_[reg] == 0 && value != 0) {
        ++restarts_;
    }
    regs_[reg] = value;
    return true;
}

bool SimRoze9701Sensor::I2cWrite(const uint8_t* data, size_t length) {
    if (data == nullptr || length < 2) {
        return false;
    }
    std::lock_guard lock(mutex_);
    pointer_ = static_cast<uint16_t>(data[0] << 8 | data[1]);
    for (size_t i = 2; i < length; ++i) {
        if (!WriteLocked(pointer_++, data[i])) {
            return false;
        }
    }
    return true;
}

bool SimRoze9701Sensor::I2cRead(uint8_t* data, size_t length) {
    if (data == nullptr) {
        return false;
    }
    std::lock_guard lock(mutex_);
    for (size_t i = 0; i < length; ++i) {
        const auto value = ReadLocked(pointer_++);
        if (!value) {
            return false;
        }
        data[i] = *value;
    }
    return true;
}

SimRoze9701Sensor::Readout SimRoze9701Sensor::ReadoutState() const {
    std::lock_guard lock(mutex_);
    switch (regs_[kRegOperation]) {
        case 0:
            return Readout::Stopped;
        case kRun:
            return Readout::FreeRunning;
        case kTriggered:
            return Readout::Triggered;
        default:
            return Readout::Other;
    }
}

uint32_t SimRoze9701Sensor::ReadoutRestarts() const {
    std::lock_guard lock(mutex_);
    return restarts_;
}

bool SimRoze9701Sensor::MirrorV() const {
    std::lock_guard lock(mutex_);
    return (regs_[kRegControl1] & 0x40) != 0;
}

bool SimRoze9701Sensor::MirrorH() const {
    std::lock_guard lock(mutex_);
    return (regs_[kRegControl2] & 0x01) != 0;
}

uint32_t SimRoze9701Sensor::FrameLengthLocked() const {
    return (Reg(kRegFrameLength + 3) & 0x0Fu) << 24 | Reg(kRegFrameLength + 2) << 16 |
           Reg(kRegFrameLength + 1) << 8 | Reg(kRegFrameLength);
}

uint32_t SimRoze9701Sensor::ShutterStartLocked() const {
    return (Reg(kRegShutter + 3) & 0x07u) << 24 | Reg(kRegShutter + 2) << 16 |
           Reg(kRegShutter + 1) << 8 | Reg(kRegShutter);
}

int SimRoze9701Sensor::WindowHeightLocked() const {
    const int h2 = Reg(kRegWindow + 1) >> 3 | (Reg(kRegWindow + 2) & 0x3F) << 5;
    return h2 - 2;
}

int SimRoze9701Sensor::WindowStartLocked() const {
    return Reg(kRegWindow) | (Reg(kRegWindow + 1) & 0x07) << 8;
}

uint32_t SimRoze9701Sensor::FrameLength() const {
    std::lock_guard lock(mutex_);
    return FrameLengthLocked();
}

uint32_t SimRoze9701Sensor::LineLength() const {
    std::lock_guard lock(mutex_);
    return Reg(kRegLineLength + 1) << 8 | Reg(kRegLineLength);
}

uint32_t SimRoze9701Sensor::ShutterStart() const {
    std::lock_guard lock(mutex_);
    return ShutterStartLocked();
}

int SimRoze9701Sensor::WindowHeight() const {
    std::lock_guard lock(mutex_);
    return WindowHeightLocked();
}

int SimRoze9701Sensor::WindowStartFromBottom() const {
    std::lock_guard lock(mutex_);
    return WindowStartLocked();
}

int SimRoze9701Sensor::WindowTopRow() const {
    std::lock_guard lock(mutex_);
    return kFullHeight - WindowStartLocked() - WindowHeightLocked();
}

uint32_t SimRoze9701Sensor::ExposureLines() const {
    std::lock_guard lock(mutex_);
    const uint32_t frame = FrameLengthLocked();
    const uint32_t shutter = ShutterStartLocked();
    // A shutter start past the end of the frame still exposes for the shortest time.
    return shutter + 1 < frame ? frame - shutter - 1 : 1;
}

bool SimRoze9701Sensor::ShortExposure() const {
    std::lock_guard lock(mutex_);
    return Reg(kRegShortExposure) == 100 && Reg(kRegShortExposure + 1) == 32 &&
           Reg(kRegShortExposure + 2) == 31;
}

double SimRoze9701Sensor::ExposureSeconds() const {
    if (ShortExposure()) {
        return 120.0 / kPixelClockHz;
    }
    return static_cast<double>(ExposureLines()) * LineLength() / kPixelClockHz;
}

int SimRoze9701Sensor::Gain() const {
    std::lock_guard lock(mutex_);
    return Reg(kRegGain);
}

int SimRoze9701Sensor::GainMode() const {
    std::lock_guard lock(mutex_);
    const uint8_t a = Reg(kRegGainModeA);
    const uint8_t b = Reg(kRegGainModeB);
    if (a == 6 && b == 255) {
        return 1;
    }
    if (a == 255 && b == 6) {
        return 0;
    }
    return -1;
}

int SimRoze9701Sensor::BlackLevel() const {
    std::lock_guard lock(mutex_);
    return (Reg(kRegBlackLevel + 2) & 7) << 11 | Reg(kRegBlackLevel + 1) << 3 |
           ((Reg(kRegBlackLevel) >> 5) & 7);
}

void SimRoze9701Sensor::SetTemperatureRaw(uint16_t raw) {
    std::lock_guard lock(mutex_);
    regs_[kRegTemperature] = static_cast<uint8_t>(raw & 0xFF);
    regs_[kRegTemperature + 1] = static_cast<uint8_t>(raw >> 8);
}

void SimRoze9701Sensor::SetTemperatureCelsius(double celsius) {
    const double counts = std::round((celsius - kDegreesOffset) / kDegreesPerCount);
    SetTemperatureRaw(static_cast<uint16_t>(std::clamp(counts, 0.0, 65535.0)));
}

double SimRoze9701Sensor::TemperatureCelsius() const {
    std::lock_guard lock(mutex_);
    const int raw = Reg(kRegTemperature + 1) << 8 | Reg(kRegTemperature);
    return raw * kDegreesPerCount + kDegreesOffset;
}

}  // namespace velcor::sim
