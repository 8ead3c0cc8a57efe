// Filter values of the camera object: the identifiers behind Velcor_GetFilterValue and
// Velcor_SetFilterValue. Values 1-12, 19-28, 102 and 103 are held here and take effect in the
// frame conversion; 13-18 and 100-106 live in the engine.
#include "camera/Velcor.h"

namespace velcor {
namespace {

struct Range {
    int minimum;
    int maximum;
};

// Accepted range of a filter value held by the camera object; false for other identifiers.
bool CameraHeldRange(int id, Range* range) {
    switch (id) {
        case 1:
            *range = {-255, 255};
            return true;
        case 2:
            *range = {-127, 127};
            return true;
        case 3:
            *range = {-360, 360};
            return true;
        case 4:
            *range = {-255, 255};
            return true;
        case 5:
            *range = {0, 30};
            return true;
        case 7:
        case 8:
        case 9:
            *range = {0, 400};
            return true;
        case 11:
            *range = {0, 200};
            return true;
        case 12:
            *range = {0, 3};
            return true;
        case 19:
            *range = {0, 2};
            return true;
        case 20:
        case 21:
        case 22:
        case 23:
            *range = {0, 255};
            return true;
        case 24:
        case 25:
        case 26:
        case 27:
            *range = {-255, 255};
            return true;
        case 28:
        case 102:
        case 103:
            *range = {0, 1};
            return true;
        default:
            return false;
    }
}

}  // namespace

int* CVelcor::CameraHeldFilter(int id) {
    FilterValues& f = settings_.filters;
    switch (id) {
        case 1:
            return &f.brightness;
        case 2:
            return &f.contrast;
        case 3:
            return &f.hue;
        case 4:
            return &f.saturation;
        case 5:
            return &f.sharpness;
        case 7:
            return &f.bayerGainRed;
        case 8:
            return &f.bayerGainGreen;
        case 9:
            return &f.bayerGainBlue;
        case 10:
            return &f.bayerGainAuto;
        case 11:
            return &f.gamma;
        case 12:
            return &f.bayerMode;
        case 19:
            return &f.grayMode;
        case 20:
            return &f.grayGainR;
        case 21:
            return &f.grayGainG1;
        case 22:
            return &f.grayGainG2;
        case 23:
            return &f.grayGainB;
        case 24:
            return &f.grayOffsetR;
        case 25:
            return &f.grayOffsetG1;
        case 26:
            return &f.grayOffsetG2;
        case 27:
            return &f.grayOffsetB;
        case 28:
            return &f.autoGrayBalance;
        case 102:
            return &settings_.dotFilter;
        case 103:
            return &settings_.maskFilter;
        default:
            return nullptr;
    }
}

int CVelcor::GetFilterValue(int id, int* ok) {
    if (!engine_) {
        if (ok != nullptr) *ok = 0;
        RecordError(kErrNoCamera);
        return 0;
    }
    if (ok != nullptr) *ok = 1;
    auto fail = [&](int code, int result) {
        if (ok != nullptr) *ok = 0;
        RecordError(code);
        return result;
    };
    CVelcorR3U2Base& e = *engine_;
    platform::CriticalSectionLock lock(settingsLock_);
    FilterValues& filters = settings_.filters;
    AnalogValues& analog = settings_.analog;
    switch (id) {
        case 6:
            return (filters.bayerGainRed & 0xFF) | (filters.bayerGainGreen & 0xFF) << 8 |
                   (filters.bayerGainBlue & 0xFF) << 16;
        case 28:  // a request, not a readable value
            return fail(kErrArgument, 0);
        case 13:
            return e.GetGlobalGain();
        case 14:
            return e.GetColourGainRed();
        case 15:
            return e.GetColourGainGreen1();
        case 16:
            return e.GetColourGainGreen2();
        case 17:
            return e.GetColourGainBlue();
        case 18:
            return e.GetExposure();
        case 100:
            if (!e.IsCoolerSupported()) return fail(kErrUnsupported, -1);
            return e.GetCooler();
        case 101:
            return fail(kErrUnsupported, -1);
        case 104:
            return e.GetGainMode();
        case 105: {
            if (!e.IsFixedExposureSupported()) return fail(kErrUnsupported, 0);
            int on = 0;
            if (!e.GetFixedExposure(&on)) return fail(kErrDevice, 0);
            analog.shortExposureMode = on != 0 ? 1 : 0;
            RecordError(kErrSuccessNotice);
            return analog.shortExposureMode;
        }
        case 106: {
            if (!e.IsBlackLevelSupported()) return fail(kErrUnsupported, 0);
            int level = 0;
            if (!e.GetBlackLevel(&level)) return fail(kErrDevice, 0);
            analog.blackLevel = level;
            RecordError(kErrSuccessNotice);
            return level;
        }
        default:
            break;
    }
    if (const int* held = CameraHeldFilter(id)) return *held;
    return fail(kErrArgument, 0);
}

int CVelcor::SetFilterValue(int id, int value) {
    if (!HaveEngine()) return 0;
    platform::CriticalSectionLock lock(settingsLock_);
    FilterValues& filters = settings_.filters;
    if (id == 6) {
        // Packed red, green and blue Bayer gains, taken without a range check.
        filters.bayerGainRed = value & 0xFF;
        filters.bayerGainGreen = (value >> 8) & 0xFF;
        filters.bayerGainBlue = (value >> 16) & 0xFF;
        return 1;
    }
    if (id == 10) {
        filters.bayerGainAuto = value != 0 ? 1 : 0;
        return 1;
    }
    Range range{};
    if (CameraHeldRange(id, &range)) {
        if (value < range.minimum || value > range.maximum) {
            RecordError(kErrArgument);
            return 0;
        }
        *CameraHeldFilter(id) = value;
        return 1;
    }
    return SetEngineFilter(id, value);
}

int CVelcor::SetEngineFilter(int id, int value) {
    CVelcorR3U2Base& e = *engine_;
    AnalogValues& analog = settings_.analog;
    auto inRange = [&](int minimum, int maximum) {
        if (value >= minimum && value <= maximum) return true;
        RecordError(kErrArgument);
        return false;
    };
    // A value the sensor refuses is not kept: the stored value must match the camera.
    auto applied = [&](int result, int* store) {
        if (!result) {
            RecordError(kErrDevice);
            return 0;
        }
        *store = value;
        return 1;
    };
    switch (id) {
        case 13: {
            if (!inRange(e.GetGlobalGainMin(), e.GetGlobalGainMax())) return 0;
            if (!applied(e.SetGlobalGain(value), &analog.globalGain)) return 0;
            analog.colourGainGreen1 = analog.colourGainRed = analog.colourGainBlue =
                analog.colourGainGreen2 = value;
            return 1;
        }
        case 14:
            if (!inRange(e.GetColourGainMin(), e.GetColourGainMax())) return 0;
            return applied(e.SetColourGainRed(value), &analog.colourGainRed);
        case 15:
            if (!inRange(e.GetColourGainMin(), e.GetColourGainMax())) return 0;
            return applied(e.SetColourGainGreen1(value), &analog.colourGainGreen1);
        case 16:
            if (!inRange(e.GetColourGainMin(), e.GetColourGainMax())) return 0;
            return applied(e.SetColourGainGreen2(value), &analog.colourGainGreen2);
        case 17:
            if (!inRange(e.GetColourGainMin(), e.GetColourGainMax())) return 0;
            return applied(e.SetColourGainBlue(value), &analog.colourGainBlue);
        case 18:
            if (!inRange(e.GetExposureMin(), e.GetExposureMax())) return 0;
            return SetExposureUnits(value);
        case 100:
            if (!e.IsCoolerSupported()) break;
            return applied(e.SetCooler(value), &analog.cooler);
        case 104: {
            const int result = e.SetGainMode(value);
            if (result) analog.gainMode = value;
            return result;
        }
        case 105: {
            if (!e.IsFixedExposureSupported()) break;
            if (!e.SetFixedExposure(value > 0 ? 1 : 0)) {
                RecordError(kErrDevice);
                return 0;
            }
            analog.shortExposureMode = value > 0 ? 1 : 0;
            return 1;
        }
        case 106: {
            if (!e.IsBlackLevelSupported()) break;
            if (!applied(e.SetBlackLevel(value), &analog.blackLevel)) return 0;
            RecordError(kErrSuccessNotice);
            return 1;
        }
        default:
            RecordError(kErrArgument);
            return 0;
    }
    RecordError(kErrUnsupported);
    return 0;
}

int CVelcor::SetExposureUnits(int exposure) {
    CVelcorR3U2Base& e = *engine_;
    AnalogValues& analog = settings_.analog;
    if (!e.SetExposure(static_cast<uint32_t>(exposure))) {
        RecordError(kErrDevice);
        return 0;
    }
    analog.exposure = exposure;
    if (e.IsExposureSecondsSupported()) {
        double seconds = 0.0;
        if (e.GetExposureSeconds(&seconds)) analog.exposureSeconds = seconds;
    }
    return 1;
}

int CVelcor::GetChannelValue(int kind, int type, int* ok) {
    if (type < 1 || type > 4) return 0;
    return GetFilterValue((kind == 0 ? 29 : 33) + type - 1, ok);
}

int CVelcor::SetChannelValue(int kind, int type, int value) {
    if (type < 1 || type > 4) return 0;
    return SetFilterValue((kind == 0 ? 29 : 33) + type - 1, value);
}

}  // namespace velcor
