#include "sim/SimRoze9701Chip.h"

#include <algorithm>

namespace velcor::sim {
namespace {

// Global gain register: 2 is unity, each step adds half of it.
constexpr double kGainUnity = 2.0;
// The low-gain mode of the pixel's conversion stage gives a quarter of the high-gain signal.
constexpr double kLowGainFactor = 0.25;
// Black level register: 8192 puts the pedestal at zero, 8 steps per 12-bit count.
constexpr double kBlackLevelZero = 8192.0;
constexpr double kBlackLevelPerCount = 8.0;

}  // namespace

bool SimRoze9701Chip::Write(const uint8_t* data, int length) {
    return length >= 0 && sensor_.I2cWrite(data, static_cast<size_t>(length));
}

bool SimRoze9701Chip::Read(uint8_t* data, int length) {
    return length >= 0 && sensor_.I2cRead(data, static_cast<size_t>(length));
}

SensorFrameState SimRoze9701Chip::FrameState() const {
    SensorFrameState state;
    switch (sensor_.ReadoutState()) {
        case SimRoze9701Sensor::Readout::FreeRunning:
            state.readout = SensorReadout::FreeRunning;
            break;
        case SimRoze9701Sensor::Readout::Triggered:
            state.readout = SensorReadout::Triggered;
            break;
        default:
            state.readout = SensorReadout::Stopped;
            break;
    }
    const double clock = SimRoze9701Sensor::kPixelClockHz;
    const double frameClocks = static_cast<double>(std::max<uint32_t>(sensor_.FrameLength(), 1)) *
                               std::max<uint32_t>(sensor_.LineLength(), 1);
    state.framePeriodSeconds = frameClocks / clock;
    state.picture = true;
    state.fullWidth = SimRoze9701Sensor::kFullWidth;
    state.fullHeight = SimRoze9701Sensor::kFullHeight;
    state.windowTop = sensor_.WindowTopRow();
    state.windowHeight = std::max(sensor_.WindowHeight(), 0);
    // The sensor counts its rows from the bottom edge and reads them out in that order.
    state.bottomRowFirst = true;
    state.mirrorV = sensor_.MirrorV();
    state.mirrorH = sensor_.MirrorH();
    state.exposureSeconds = sensor_.ExposureSeconds();
    state.gain = sensor_.Gain() / kGainUnity * (sensor_.GainMode() == 1 ? kLowGainFactor : 1.0);
    state.blackLevel = (sensor_.BlackLevel() - kBlackLevelZero) / kBlackLevelPerCount;
    state.pixelClockHz = clock;
    state.leadingLines = kLeadingLines;
    state.leadingColumns = kLeadingColumns;
    return state;
}

}  // namespace velcor::sim
