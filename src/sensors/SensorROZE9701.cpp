#include "sensors/SensorROZE9701.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/Clock.h"
#include "protocol/FpgaRegisterMap.h"

namespace velcor {

namespace {

using Lock = platform::CriticalSectionLock;

// Sensor registers: 16-bit numbers, one byte each.
constexpr uint16_t kRegOperation = 0;     // 4 free-running readout, 16 triggered readout
constexpr uint16_t kRegControl1 = 1;      // bit 6 vertical mirror
constexpr uint16_t kRegControl2 = 2;      // bit 0 horizontal mirror, bit 6 black-level access
constexpr uint16_t kRegFrameLength = 5;   // 5..8, least significant byte first, 28 bits
constexpr uint16_t kRegLineLength = 9;    // 9 low byte, 10 high byte
constexpr uint16_t kRegShutter = 11;      // 11..14: start line of the exposure, 27 bits
constexpr uint16_t kRegWindowStart = 22;  // 22..24: start row (from the bottom), height + 2
constexpr uint16_t kRegGainModeA = 78;
constexpr uint16_t kRegGainModeB = 82;
constexpr uint16_t kRegShortExposure = 90;  // 90..92
constexpr uint16_t kRegGain = 287;
constexpr uint16_t kRegBlackLevel = 367;   // 367..369, 14 bits spread over three registers
constexpr uint16_t kRegTemperature = 392;  // 392 low byte, 393 high byte

constexpr uint8_t kOperationStop = 0;
constexpr uint8_t kOperationRun = 4;
constexpr uint8_t kOperationTriggered = 16;
constexpr uint8_t kMirrorVBit = 0x40;
constexpr uint8_t kMirrorHBit = 0x01;
constexpr uint8_t kBlackLevelAccessBit = 0x40;

// The FPGA registers of a triggered frame's exposure in lines, lowest byte first.
constexpr uint8_t kTriggerLineRegisters[4] = {fpga::kTriggerLines0, fpga::kTriggerLines1,
                                              fpga::kTriggerLines2, fpga::kTriggerLines3};
// The two states of the gain mode (registers 78, 82) and of the short exposure (90..92).
constexpr uint8_t kGainModeLow[2] = {6, 255};
constexpr uint8_t kGainModeHigh[2] = {255, 6};
constexpr uint8_t kShortExposureOn[3] = {100, 32, 31};
constexpr uint8_t kShortExposureOff[3] = {255, 255, 255};

// The FPGA's own line length while it times triggered exposures.
constexpr uint32_t kTriggerLineLength = 1375;
// The short exposure mode exposes for a fixed number of pixel clocks.
constexpr double kShortExposureClocks = 120.0;

constexpr int32_t kFullWidth = 1280;
constexpr int32_t kFullHeight = 1024;

}  // namespace

CSensorROZE9701::CSensorROZE9701(CControllerBase* controller, uint8_t busAddress)
    : CSensorBase(controller, busAddress) {
    AnswerBoundsFromInfo(kLineBounds | kGainBounds | kColourGainBounds | kExposureBounds);
    SensorInfo& s = info_;
    s.fullWidth = kFullWidth;
    s.fullHeight = kFullHeight;
    s.defaultX = 0;
    s.defaultY = 0;
    s.defaultWidth = kFullWidth;
    s.defaultHeight = kFullHeight;
    s.hWindowSupported = 0;
    s.vWindowSupported = 1;
    s.windowX = 0;
    s.windowY = 0;
    s.windowWidth = kFullWidth;
    s.windowHeight = kFullHeight;
    s.lineLength = 1344;
    s.frameLines = 1054;
    s.windowMode = 0;

    s.gainMin = 2;
    s.gainMax = 62;
    s.gain = 2;
    s.gainDefault = 2;
    s.gainSupported = 1;

    s.linesMin = 1;
    s.linesMax = 1080;
    s.lines = 1080;
    s.linesDefault = 1080;
    s.linesSupported = 1;

    s.exposureMin = 1;
    s.exposureMax = 20000;
    s.exposure = 401;
    s.exposureDefault = 401;

    s.blackLevelMin = 0;
    s.blackLevelMax = 16383;
    s.blackLevel = 8983;
    s.blackLevelDefault = 8983;
    s.blackLevelSupported = 1;

    s.exposureSecondsMin = 0.000037125;
    s.exposureSecondsMax = 2.0;
    s.exposureSeconds = 0.040132165;
    s.exposureSecondsDefault = 0.040132165;
    s.exposureSecondsSupported = 1;

    s.mirrorVDefault = 0;
    s.mirrorHDefault = 0;
    s.mirrorVHardware = 1;
    s.mirrorHHardware = 1;

    s.bitDepth = 8;
    s.clockKHz = 37037;
    s.orientation = 3;
    modelCode_ = kModelCode;
}

CSensorROZE9701::~CSensorROZE9701() = default;

// --- Bus access -------------------------------------------------------------------------

int32_t CSensorROZE9701::WriteRegister(uint32_t reg, uint32_t value) {
    if (!HasController() || reg > 0xFFFF || value > 0xFF) {
        return 0;
    }
    Lock lock(lock_);
    // The sensor needs a short pause between consecutive register writes.
    platform::Sleep(1);
    return BusWriteRegister16(static_cast<uint16_t>(reg), static_cast<uint8_t>(value));
}

int32_t CSensorROZE9701::ReadRegister(uint32_t reg, uint32_t* value) {
    if (!HasController() || reg > 0xFFFF || value == nullptr) {
        return 0;
    }
    Lock lock(lock_);
    uint8_t byte = 0;
    if (!BusReadRegister16(static_cast<uint16_t>(reg), &byte)) {
        return 0;
    }
    *value = byte;
    return 1;
}

int32_t CSensorROZE9701::WriteRegisterReadBack(uint32_t reg, uint32_t value) {
    if (reg > 0xFFFF || value > 0xFF) {
        return 0;
    }
    return ReadBackWrite(reg, value);
}

int32_t CSensorROZE9701::ReadRegisterRetried(uint32_t reg, uint32_t* value) {
    return RetriedRead(reg, value);
}

bool CSensorROZE9701::WriteByte(uint16_t reg, uint8_t value) {
    return WriteRegisterReadBack(reg, value) != 0;
}

bool CSensorROZE9701::ReadByte(uint16_t reg, uint8_t* value) {
    uint32_t word = 0;
    if (!ReadRegisterRetried(reg, &word)) {
        return false;
    }
    *value = static_cast<uint8_t>(word);
    return true;
}

bool CSensorROZE9701::ReadBytePlain(uint16_t reg, uint8_t* value) {
    uint32_t word = 0;
    if (!ReadRegister(reg, &word)) {
        return false;
    }
    *value = static_cast<uint8_t>(word);
    return true;
}

bool CSensorROZE9701::ReadFpga(uint8_t reg, uint8_t* value) {
    return HasController() && controller_->ReadFpgaRegister(reg, value) != 0;
}

// --- Frame timing -----------------------------------------------------------------------

bool CSensorROZE9701::WriteFrameLength(uint32_t lines) {
    const uint32_t n = std::clamp(lines, static_cast<uint32_t>(frameLengthMin_),
                                  static_cast<uint32_t>(frameLengthMax_));
    bool ok = true;
    for (int i = 0; i < 4; ++i) {
        ok = WriteByte(kRegFrameLength + i, static_cast<uint8_t>(n >> (8 * i))) && ok;
    }
    if (ok) {
        frameLength_ = static_cast<int32_t>(n);
    }
    return ok;
}

bool CSensorROZE9701::WriteFpgaFrameLength(uint32_t lines) {
    if (!HasController()) {
        return false;
    }
    bool ok = true;
    for (int i = 0; i < 3; ++i) {
        ok = controller_->WriteFpgaRegister(fpga::kFrameLength0 + i,
                                            static_cast<uint8_t>(lines >> (8 * i))) &&
             ok;
    }
    return controller_->WriteFpgaRegister(fpga::kFrameLength0 + 3,
                                          static_cast<uint8_t>((lines >> 24) & 0x0F)) &&
           ok;
}

bool CSensorROZE9701::WriteFpgaLineLength(uint32_t clocks) {
    if (!HasController()) {
        return false;
    }
    const bool low = controller_->WriteFpgaRegister(fpga::kLineLengthLow, clocks & 0xFF) != 0;
    const bool high =
        controller_->WriteFpgaRegister(fpga::kLineLengthLow + 1, (clocks >> 8) & 0xFF);
    return low && high;
}

bool CSensorROZE9701::ReadSensorFrameLength(int32_t* lines) {
    uint8_t b[4] = {};
    for (int i = 0; i < 4; ++i) {
        if (!ReadBytePlain(kRegFrameLength + i, &b[i])) {
            return false;
        }
    }
    *lines = (b[3] & 0x0F) << 24 | b[2] << 16 | b[1] << 8 | b[0];
    return true;
}

bool CSensorROZE9701::ReadFpgaFrameLength(int32_t* lines) {
    uint8_t b[4] = {};
    for (int i = 0; i < 4; ++i) {
        if (!ReadFpga(fpga::kFrameLength0 + i, &b[i])) {
            return false;
        }
    }
    *lines = (b[3] & 0x0F) << 24 | b[2] << 16 | b[1] << 8 | b[0];
    return true;
}

bool CSensorROZE9701::ReadSensorLineLength(int32_t* clocks) {
    uint8_t low = 0;
    uint8_t high = 0;
    if (!ReadBytePlain(kRegLineLength, &low) || !ReadBytePlain(kRegLineLength + 1, &high)) {
        return false;
    }
    *clocks = high * 256 + low;
    return true;
}

bool CSensorROZE9701::ReadFpgaLineLength(int32_t* clocks) {
    uint8_t low = 0;
    uint8_t high = 0;
    if (!ReadFpga(fpga::kLineLengthLow, &low) || !ReadFpga(fpga::kLineLengthLow + 1, &high)) {
        return false;
    }
    *clocks = high * 256 + low;
    return true;
}

bool CSensorROZE9701::WriteShutterStart(uint32_t line) {
    bool ok = WriteByte(kRegShutter, line & 0xFF);
    ok = WriteByte(kRegShutter + 1, (line >> 8) & 0xFF) && ok;
    ok = WriteByte(kRegShutter + 2, (line >> 16) & 0xFF) && ok;
    return WriteByte(kRegShutter + 3, (line >> 24) & 0x07) && ok;
}

// --- Exposure ---------------------------------------------------------------------------

int32_t CSensorROZE9701::SetExposureLines(int32_t lines) {
    Lock lock(lock_);
    if (info_.fixedExposureMode) {
        return 0;
    }
    // The exposure plus the line of the shutter itself must fit in the longest frame.
    if (lines < 0 || lines > frameLengthMax_ - 1) {
        return 0;
    }
    const bool triggered = modeWord_ == 1;
    bool ok = true;
    if (triggered) {
        // The FPGA must not fire a trigger while the exposure changes.
        ok = WriteFpgaReadBack(fpga::kTriggerModeEnable, 0) != 0;
    }

    const auto wanted = static_cast<uint32_t>(lines);
    const auto windowLines = static_cast<uint32_t>(windowFrameLines_);
    if (wanted >= 1 && wanted <= windowLines - 1) {
        // Within the window's frame: the shutter starts `lines` lines before its end. The
        // frame grows before the shutter moves and shrinks after it, so the exposure never
        // reaches past the frame.
        if (static_cast<uint32_t>(frameLength_) < windowLines) {
            ok = WriteFrameLength(windowLines) && ok;
            ok = WriteFpgaFrameLength(windowLines) && ok;
        }
        ok = WriteShutterStart(windowLines - wanted - 1) && ok;
        if (static_cast<uint32_t>(frameLength_) != windowLines) {
            ok = WriteFrameLength(windowLines) && ok;
            ok = WriteFpgaFrameLength(windowLines) && ok;
        }
    } else {
        // Longer than the window's frame (or 0): the frame is stretched to the exposure, with
        // the shutter at its first line.
        ok = WriteShutterStart(0) && ok;
        ok = WriteFrameLength(wanted + 1) && ok;
        ok = WriteFpgaFrameLength(wanted + 1) && ok;
    }
    if (ok) {
        info_.lines = lines;
    }
    if (triggered) {
        ok = ArmTrigger() && ok;
        ok = WriteFpgaReadBack(fpga::kTriggerModeEnable, 1) && ok;
    }
    return ok ? 1 : 0;
}

int32_t CSensorROZE9701::GetExposureLines(int32_t* lines) {
    if (lines == nullptr) {
        return 0;
    }
    Lock lock(lock_);
    *lines = info_.lines;
    return 1;
}

bool CSensorROZE9701::ExposureNsToLines(uint64_t ns) {
    if (info_.fixedExposureMode || info_.clockKHz <= 0) {
        return false;
    }
    // Wide arithmetic: a line length read from the FPGA in trigger mode may be large enough
    // to overflow 32 bits once scaled to nanoseconds.
    const int64_t lineNs = static_cast<int64_t>(info_.lineLength) * 1000000 / info_.clockKHz;
    if (lineNs <= 0) {
        return false;
    }
    double lines = static_cast<double>(ns) / static_cast<double>(lineNs);
    lines = std::clamp(lines, 1.0, static_cast<double>(std::numeric_limits<int32_t>::max()));
    return SetExposureLines(static_cast<int32_t>(lines)) != 0;
}

int32_t CSensorROZE9701::SetExposure(int32_t value) {
    Lock lock(lock_);
    const int32_t v = std::clamp(value, info_.exposureMin, info_.exposureMax);
    if (!ExposureNsToLines(static_cast<uint64_t>(v) * 100000)) {
        return 0;
    }
    info_.exposure = v;
    info_.exposureSeconds = v / 10000.0;
    return 1;
}

int32_t CSensorROZE9701::GetExposure(int32_t* value) {
    if (value == nullptr) {
        return 0;
    }
    Lock lock(lock_);
    *value = info_.exposure;
    return 1;
}

int32_t CSensorROZE9701::SetExposureSeconds(double seconds) {
    if (std::isnan(seconds)) {
        return 0;
    }
    Lock lock(lock_);
    const double s = std::clamp(seconds, info_.exposureSecondsMin, info_.exposureSecondsMax);
    if (!ExposureNsToLines(static_cast<uint64_t>(s * 1e9))) {
        return 0;
    }
    info_.exposureSeconds = s;
    info_.exposure = static_cast<int32_t>(s * 10000.0);
    return 1;
}

int32_t CSensorROZE9701::GetExposureSeconds(double* seconds) {
    if (seconds == nullptr) {
        return 0;
    }
    Lock lock(lock_);
    if (info_.fixedExposureMode) {
        *seconds = kShortExposureClocks / info_.clockKHz / 1000.0;
        return 1;
    }
    *seconds = info_.exposureSeconds;
    return info_.exposureSecondsSupported;
}

// --- Short exposure mode ----------------------------------------------------------------

int32_t CSensorROZE9701::IsFixedExposureSupported() {
    return 1;
}

int32_t CSensorROZE9701::GetFixedExposure(int32_t* on) {
    if (on == nullptr) {
        return 0;
    }
    Lock lock(lock_);
    uint8_t b[3] = {};
    for (int i = 0; i < 3; ++i) {
        if (!ReadByte(kRegShortExposure + i, &b[i])) {
            return 0;
        }
    }
    const uint32_t v = b[2] << 16 | b[1] << 8 | b[0];
    if (v == 0xFFFFFF) {
        *on = 0;
    } else if (v == 0x1F2064) {
        *on = 1;
    } else {
        // Neither state: the mode is unknown, so nothing is reported and nothing changes.
        return 0;
    }
    info_.fixedExposureMode = *on;
    return 1;
}

int32_t CSensorROZE9701::SetFixedExposure(int32_t on) {
    Lock lock(lock_);
    const uint8_t* values = on ? kShortExposureOn : kShortExposureOff;
    bool ok = true;
    for (int i = 0; i < 3; ++i) {
        ok = WriteByte(kRegShortExposure + i, values[i]) && ok;
    }
    if (!ok) {
        return 0;
    }
    info_.fixedExposureMode = on ? 1 : 0;
    if (on) {
        // The sensor takes the new exposure with the next frame-length write.
        return WriteFrameLength(static_cast<uint32_t>(frameLength_)) ? 1 : 0;
    }
    return SetExposureLines(info_.lines);
}

// --- Window -----------------------------------------------------------------------------

bool CSensorROZE9701::RestartReadout() {
    // Readout restarts in the operating mode in force.
    const uint8_t run = modeWord_ == 1 ? kOperationTriggered : kOperationRun;
    const bool stopped = WriteByte(kRegOperation, kOperationStop);
    platform::Sleep(10);
    return WriteByte(kRegOperation, run) && stopped;
}

int32_t CSensorROZE9701::SetWindow(int32_t x, int32_t width, int32_t y, int32_t height,
                                   int32_t mode) {
    (void)x;
    (void)width;
    Lock lock(lock_);
    const int32_t fullHeight = info_.fullHeight;
    if (height < 8 || height > fullHeight || y < 0 || y > fullHeight - height) {
        return 0;
    }
    if (height == fullHeight) {
        info_.frameLines = height + 30;
        windowFrameLines_ = height + 58;
    } else {
        info_.frameLines = height;
        windowFrameLines_ = height + 28;
    }
    // The sensor counts rows from its bottom edge; the programmed height includes two rows
    // of margin.
    const int32_t start = fullHeight - y - height;
    const int32_t h2 = height + 2;
    const uint8_t rows[3] = {
        static_cast<uint8_t>(start & 0xFF),
        static_cast<uint8_t>((h2 & 0x1F) << 3 | ((start >> 8) & 0x07)),
        static_cast<uint8_t>((h2 >> 5) & 0x3F),
    };
    auto writeRows = [&] {
        bool ok = true;
        for (int i = 0; i < 3; ++i) {
            ok = WriteRegister(kRegWindowStart + i, rows[i]) && ok;
        }
        return ok;
    };
    // In the short exposure mode the exposure is not the shutter's, so it is not moved.
    auto moveShutter = [&] {
        return SetExposureLines(info_.lines) != 0 || info_.fixedExposureMode != 0;
    };

    bool rowsOk = false;
    bool ok = true;
    if (height < info_.windowHeight) {
        // Bring the shutter inside the shorter frame first, then shrink the window and
        // restart readout.
        ok = moveShutter();
        rowsOk = writeRows();
        ok = RestartReadout() && ok;
    } else {
        rowsOk = writeRows();
        ok = moveShutter();
    }
    if (!rowsOk) {
        // The sensor did not take the rows: the window in force is not the new one, so the
        // record keeps the old window and the caller learns of the failure.
        return 0;
    }
    info_.windowMode = mode;
    info_.windowWidth = info_.fullWidth;
    info_.windowX = 0;
    info_.windowY = y;
    info_.windowHeight = height;
    return ok ? 1 : 0;
}

int32_t CSensorROZE9701::GetWindow(int32_t* x, int32_t* width, int32_t* y, int32_t* height,
                                   int32_t* mode) {
    if (x == nullptr || width == nullptr || y == nullptr || height == nullptr || mode == nullptr) {
        return 0;
    }
    Lock lock(lock_);
    *x = info_.windowX;
    *width = info_.windowWidth;
    *y = info_.windowY;
    *height = info_.windowHeight;
    *mode = info_.windowMode;
    return 1;
}

int32_t CSensorROZE9701::SetBitDepth(int32_t sixteenBits) {
    Lock lock(lock_);
    info_.bitDepth = sixteenBits ? 16 : 8;
    SetWindow(info_.windowX, info_.windowWidth, info_.windowY, info_.windowHeight,
              info_.windowMode);
    return 1;
}

// --- Trigger ----------------------------------------------------------------------------

int32_t CSensorROZE9701::ArmTrigger() {
    if (!HasController()) {
        return 0;
    }
    Lock lock(lock_);
    const auto lines = static_cast<uint32_t>(info_.lines);
    const uint8_t bytes[4] = {
        static_cast<uint8_t>(lines & 0xFF),
        static_cast<uint8_t>((lines >> 8) & 0xFF),
        static_cast<uint8_t>((lines >> 16) & 0xFF),
        static_cast<uint8_t>((lines >> 24) & 0x0F),
    };
    bool ok = true;
    for (int i = 0; i < 4; ++i) {
        ok = WriteFpgaReadBack(kTriggerLineRegisters[i], bytes[i]) && ok;
        // The FPGA latches each byte of the exposure in its own time.
        platform::Sleep(100);
    }
    ok = WriteFpgaLineLength(kTriggerLineLength) && ok;
    ok = WriteFpgaFrameLength(static_cast<uint32_t>(frameLength_)) && ok;
    return ok ? 1 : 0;
}

int32_t CSensorROZE9701::SetTriggerMode(int32_t mode) {
    if (!HasController()) {
        return 0;
    }
    Lock lock(lock_);
    bool ok = true;
    int32_t frameLength = 0;
    int32_t lineLength = 0;
    if (mode == 1) {
        // The FPGA times the frame: take over its frame and line length.
        ok = ReadFpgaFrameLength(&frameLength);
        if (ok) {
            frameLength_ = frameLength;
        }
        if (ReadFpgaLineLength(&lineLength)) {
            info_.lineLength = lineLength;
        } else {
            ok = false;
        }
        ok = WriteRegister(kRegOperation, kOperationTriggered) && ok;
        modeWord_ = mode;
        ok = ArmTrigger() && ok;
        ok = WriteFpgaReadBack(fpga::kTriggerModeEnable, 1) && ok;
    } else {
        // Back to the sensor's own timing and free-running readout.
        ok = ReadSensorFrameLength(&frameLength);
        if (ok) {
            frameLength_ = frameLength;
        }
        if (ReadSensorLineLength(&lineLength)) {
            info_.lineLength = lineLength;
        } else {
            ok = false;
        }
        ok = WriteFpgaReadBack(fpga::kTriggerModeEnable, 0) && ok;
        ok = WriteRegister(kRegOperation, kOperationRun) && ok;
        modeWord_ = mode;
    }
    return ok ? 1 : 0;
}

int32_t CSensorROZE9701::GetTriggerMode(int32_t* mode) {
    if (mode == nullptr) {
        return 0;
    }
    Lock lock(lock_);
    *mode = modeWord_;
    return 1;
}

// --- Gain -------------------------------------------------------------------------------

int32_t CSensorROZE9701::SetGlobalGain(int32_t value) {
    Lock lock(lock_);
    if (value < info_.gainMin || value > info_.gainMax) {
        return 0;
    }
    if (!WriteByte(kRegGain, static_cast<uint8_t>(value))) {
        return 0;
    }
    info_.gain = value;
    return 1;
}

int32_t CSensorROZE9701::GetGlobalGain(int32_t* value) {
    if (value == nullptr) {
        return 0;
    }
    Lock lock(lock_);
    *value = info_.gain;
    return 1;
}

int32_t CSensorROZE9701::IsGainModeSupported() {
    return 1;
}

int32_t CSensorROZE9701::GetGainMode() {
    Lock lock(lock_);
    uint8_t a = 0;
    uint8_t b = 0;
    if (!ReadByte(kRegGainModeA, &a) || !ReadByte(kRegGainModeB, &b)) {
        return -1;
    }
    if (a == kGainModeHigh[0] && b == kGainModeHigh[1]) {
        return 0;
    }
    if (a == kGainModeLow[0] && b == kGainModeLow[1]) {
        return 1;
    }
    return -1;
}

int32_t CSensorROZE9701::SetGainMode(int32_t on) {
    Lock lock(lock_);
    const uint8_t* pair = on ? kGainModeLow : kGainModeHigh;
    const bool a = WriteByte(kRegGainModeA, pair[0]);
    const bool b = WriteByte(kRegGainModeB, pair[1]);
    return a && b ? 1 : 0;
}

int32_t CSensorROZE9701::IsColourSensor() {
    return 0;
}

// --- Black level ------------------------------------------------------------------------

void CSensorROZE9701::SetBlackLevelAccess(bool open) {
    uint8_t control = 0;
    if (ReadByte(kRegControl2, &control)) {
        const uint8_t value = open ? static_cast<uint8_t>(control | kBlackLevelAccessBit)
                                   : static_cast<uint8_t>(control & ~kBlackLevelAccessBit);
        WriteByte(kRegControl2, value);
    }
}

int32_t CSensorROZE9701::SetBlackLevel(int32_t value) {
    Lock lock(lock_);
    if (value < info_.blackLevelMin || value > info_.blackLevelMax) {
        return 0;
    }
    SetBlackLevelAccess(true);
    uint8_t old[3] = {};
    bool ok = true;
    for (int i = 0; i < 3; ++i) {
        ok = ok && ReadBytePlain(kRegBlackLevel + i, &old[i]);
    }
    if (ok) {
        // Bits 0-2 sit in the top of 367, bits 3-10 fill 368, bits 11-13 the bottom of 369;
        // the other bits of 367 and 369 belong to other functions and are kept.
        const uint8_t r367 = static_cast<uint8_t>((value & 7) << 5 | (old[0] & 0x1F));
        const uint8_t r368 = static_cast<uint8_t>((value >> 3) & 0xFF);
        const uint8_t r369 = static_cast<uint8_t>((old[2] & ~7) | ((value >> 11) & 7));
        ok = WriteByte(kRegBlackLevel, r367);
        ok = WriteByte(kRegBlackLevel + 1, r368) && ok;
        ok = WriteByte(kRegBlackLevel + 2, r369) && ok;
    }
    SetBlackLevelAccess(false);
    if (!ok) {
        return 0;
    }
    info_.blackLevel = value;
    return 1;
}

int32_t CSensorROZE9701::GetBlackLevel(int32_t* value) {
    Lock lock(lock_);
    SetBlackLevelAccess(true);
    uint8_t r[3] = {};
    bool ok = true;
    for (int i = 0; i < 3; ++i) {
        ok = ok && ReadBytePlain(kRegBlackLevel + i, &r[i]);
    }
    SetBlackLevelAccess(false);
    if (!ok) {
        return 0;
    }
    const int32_t level = (r[2] & 7) << 11 | r[1] << 3 | ((r[0] >> 5) & 7);
    info_.blackLevel = level;
    if (value != nullptr) {
        *value = level;
    }
    return 1;
}

// --- Mirrors ----------------------------------------------------------------------------

int32_t CSensorROZE9701::SetMirrorV(int32_t on) {
    Lock lock(lock_);
    uint8_t control = 0;
    if (!ReadByte(kRegControl1, &control)) {
        return 0;
    }
    control = on ? static_cast<uint8_t>(control | kMirrorVBit)
                 : static_cast<uint8_t>(control & ~kMirrorVBit);
    if (!WriteByte(kRegControl1, control)) {
        return 0;
    }
    info_.mirrorV = on ? 1 : 0;
    return 1;
}

int32_t CSensorROZE9701::GetMirrorV(int32_t* on) {
    if (on == nullptr) {
        return 0;
    }
    Lock lock(lock_);
    *on = info_.mirrorV;
    return 1;
}

int32_t CSensorROZE9701::SetMirrorH(int32_t on) {
    Lock lock(lock_);
    uint8_t control = 0;
    if (!ReadByte(kRegControl2, &control)) {
        return 0;
    }
    control = on ? static_cast<uint8_t>(control | kMirrorHBit)
                 : static_cast<uint8_t>(control & ~kMirrorHBit);
    if (!WriteByte(kRegControl2, control)) {
        return 0;
    }
    info_.mirrorH = on ? 1 : 0;
    // A horizontal change disturbs the vertical mirror bit: write it again.
    bool ok = SetMirrorV(info_.mirrorV) != 0;
    ok = controller_->WriteFpgaRegister(fpga::kMirrorHOff, on ? 0 : 1) && ok;
    return ok ? 1 : 0;
}

int32_t CSensorROZE9701::GetMirrorH(int32_t* on) {
    if (on == nullptr) {
        return 0;
    }
    Lock lock(lock_);
    *on = info_.mirrorH;
    return 1;
}

// --- Temperature ------------------------------------------------------------------------

int32_t CSensorROZE9701::IsTemperatureSupported() {
    return 1;
}

int32_t CSensorROZE9701::GetTemperature(double* celsius) {
    Lock lock(lock_);
    uint8_t low = 0;
    uint8_t high = 0;
    if (!ReadByte(kRegTemperature, &low) || !ReadByte(kRegTemperature + 1, &high) ||
        celsius == nullptr) {
        return 0;
    }
    *celsius = (low + 256 * high) * 0.3213 - 287.09;
    return 1;
}

// --- Start-up ---------------------------------------------------------------------------

int32_t CSensorROZE9701::Reset() {
    uint8_t value = 0;
    if (!ReadFpga(fpga::kResetRequest, &value)) {
        return 0;
    }
    return controller_->WriteFpgaRegister(fpga::kResetRequest, value | fpga::kResetRequestBit) ? 1
                                                                                               : 0;
}

int32_t CSensorROZE9701::WaitReady() {
    if (!HasController()) {
        return 0;
    }
    uint8_t value = 0;
    if (ReadFpga(fpga::kStartupIndicator, &value) && value >= fpga::kStartupIndicatorUp) {
        return 1;
    }
    if (ReadFpga(fpga::kReadyState, &value) && value == fpga::kReadyStateUp) {
        return 1;
    }
    // The FPGA configures the sensor after power-up; give it time, then reset it a few times.
    platform::Sleep(7000);
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (ReadFpga(fpga::kReadyState, &value) && value == fpga::kReadyStateUp) {
            return 1;
        }
        Reset();
        platform::Sleep(5000);
    }
    return 0;
}

int32_t CSensorROZE9701::Initialize() {
    Lock lock(lock_);
    bool ok = SetBlackLevel(info_.blackLevelDefault) != 0;
    ok = SetGlobalGain(info_.gainDefault) && ok;
    ok = SetMirrorH(info_.mirrorHDefault) && ok;
    ok = SetMirrorV(info_.mirrorVDefault) && ok;
    ok =
        SetWindow(info_.defaultX, info_.defaultWidth, info_.defaultY, info_.defaultHeight, 0) && ok;
    info_.fixedExposureMode = 0;
    info_.fixedExposureSeconds = kShortExposureClocks / info_.clockKHz / 1000.0;

    int32_t frameLength = 0;
    if (ReadSensorFrameLength(&frameLength)) {
        frameLength_ = frameLength;
    } else {
        ok = false;
    }
    int32_t lineLength = 0;
    if (ReadSensorLineLength(&lineLength)) {
        info_.lineLength = lineLength;
    } else {
        ok = false;
    }
    ok = WriteFpgaFrameLength(static_cast<uint32_t>(frameLength_)) && ok;
    ok = WriteFpgaLineLength(static_cast<uint32_t>(info_.lineLength)) && ok;
    ok = SetExposureLines(info_.linesDefault) && ok;
    return ok ? 1 : 0;
}

}  // namespace velcor
