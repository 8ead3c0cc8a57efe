// Filter values of the camera object: the identifiers behind Velcor_GetFilterValue and
// Velcor_SetFilterValue. One table says where each value lives and what it accepts: the values
// the settings model holds are read by the frame conversion; the others live in the engine,
// whose camera gives their range. Reading the short exposure mode or the black level, and
// setting the black level, record and post code 0 on success, as applications expect.
#include "camera/Velcor.h"

namespace velcor {
namespace {

enum class FilterHome {
    kObject,       // in the settings model; the value must lie in the row's range
    kFlag,         // in the settings model; any value is stored as 0 or 1
    kPackedGains,  // the three Bayer gains packed in one value, taken without a range check
    kRequest,      // in the settings model and set in range, but a request: nothing to read
    kEngine,       // lives in the engine
};

struct FilterRow {
    int id;
    FilterHome home;
    int minimum;
    int maximum;
    int FilterValues::*field;
};

using F = FilterValues;
constexpr FilterRow kFilterRows[] = {
    {VELCOR_FILTER_BRIGHTNESS, FilterHome::kObject, -255, 255, &F::brightness},
    {VELCOR_FILTER_CONTRAST, FilterHome::kObject, -127, 127, &F::contrast},
    {VELCOR_FILTER_HUE, FilterHome::kObject, -360, 360, &F::hue},
    {VELCOR_FILTER_SATURATION, FilterHome::kObject, -255, 255, &F::saturation},
    {VELCOR_FILTER_SHARPNESS, FilterHome::kObject, 0, 30, &F::sharpness},
    {VELCOR_FILTER_BAYER_GAIN_RGB, FilterHome::kPackedGains, 0, 0, nullptr},
    {VELCOR_FILTER_BAYER_GAIN_RED, FilterHome::kObject, 0, 400, &F::bayerGainRed},
    {VELCOR_FILTER_BAYER_GAIN_GREEN, FilterHome::kObject, 0, 400, &F::bayerGainGreen},
    {VELCOR_FILTER_BAYER_GAIN_BLUE, FilterHome::kObject, 0, 400, &F::bayerGainBlue},
    {VELCOR_FILTER_BAYER_GAIN_AUTO, FilterHome::kFlag, 0, 1, &F::bayerGainAuto},
    {VELCOR_FILTER_GAMMA, FilterHome::kObject, 0, 200, &F::gamma},
    {VELCOR_FILTER_BAYER_MODE, FilterHome::kObject, 0, 3, &F::bayerMode},
    {VELCOR_FILTER_GLOBAL_GAIN, FilterHome::kEngine, 0, 0, nullptr},
    {VELCOR_FILTER_COLOR_GAIN_RED, FilterHome::kEngine, 0, 0, nullptr},
    {VELCOR_FILTER_COLOR_GAIN_GREEN1, FilterHome::kEngine, 0, 0, nullptr},
    {VELCOR_FILTER_COLOR_GAIN_GREEN2, FilterHome::kEngine, 0, 0, nullptr},
    {VELCOR_FILTER_COLOR_GAIN_BLUE, FilterHome::kEngine, 0, 0, nullptr},
    {VELCOR_FILTER_EXPOSURE, FilterHome::kEngine, 0, 0, nullptr},
    {VELCOR_FILTER_GRAY_MODE, FilterHome::kObject, 0, 2, &F::grayMode},
    {VELCOR_FILTER_GRAY_GAIN_R, FilterHome::kObject, 0, 255, &F::grayGainR},
    {VELCOR_FILTER_GRAY_GAIN_G1, FilterHome::kObject, 0, 255, &F::grayGainG1},
    {VELCOR_FILTER_GRAY_GAIN_G2, FilterHome::kObject, 0, 255, &F::grayGainG2},
    {VELCOR_FILTER_GRAY_GAIN_B, FilterHome::kObject, 0, 255, &F::grayGainB},
    {VELCOR_FILTER_GRAY_OFFSET_R, FilterHome::kObject, -255, 255, &F::grayOffsetR},
    {VELCOR_FILTER_GRAY_OFFSET_G1, FilterHome::kObject, -255, 255, &F::grayOffsetG1},
    {VELCOR_FILTER_GRAY_OFFSET_G2, FilterHome::kObject, -255, 255, &F::grayOffsetG2},
    {VELCOR_FILTER_GRAY_OFFSET_B, FilterHome::kObject, -255, 255, &F::grayOffsetB},
    {VELCOR_FILTER_AUTO_GRAY_BALANCE, FilterHome::kRequest, 0, 1, &F::autoGrayBalance},
    {VELCOR_FILTER_PELTIER, FilterHome::kEngine, 0, 0, nullptr},
    {VELCOR_FILTER_TEMPERATURE, FilterHome::kEngine, 0, 0, nullptr},
    {VELCOR_FILTER_DOT, FilterHome::kObject, 0, 1, &F::dotFilter},
    {VELCOR_FILTER_MASK, FilterHome::kObject, 0, 1, &F::maskFilter},
    {VELCOR_FILTER_GAIN_MODE, FilterHome::kEngine, 0, 0, nullptr},
    {VELCOR_FILTER_SHORT_EXPOSURE, FilterHome::kEngine, 0, 0, nullptr},
    {VELCOR_FILTER_BLACK_LEVEL, FilterHome::kEngine, 0, 0, nullptr},
};

// The row of a filter id; null for an id the library does not know.
const FilterRow* FindFilter(int id) {
    for (const FilterRow& row : kFilterRows) {
        if (row.id == id) return &row;
    }
    return nullptr;
}

// Channel gains and offsets of types 1..4 are asked for as these ids, which no camera of this
// product has.
constexpr int kChannelGainIds = 29;
constexpr int kChannelOffsetIds = 33;

}  // namespace

void CVelcor::KeepAcceptedFilters(FilterValues& values, const FilterValues& fallback) {
    for (const FilterRow& row : kFilterRows) {
        if (row.home != FilterHome::kObject) continue;
        int& value = values.*row.field;
        if (value < row.minimum || value > row.maximum) value = fallback.*row.field;
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
    const FilterRow* row = FindFilter(id);
    if (row == nullptr) return fail(kErrArgument, 0);
    platform::CriticalSectionLock lock(settings_.Lock());
    FilterValues& filters = settings_.Values().filters;
    switch (row->home) {
        case FilterHome::kObject:
        case FilterHome::kFlag:
            return filters.*row->field;
        case FilterHome::kPackedGains:
            return (filters.bayerGainRed & 0xFF) | (filters.bayerGainGreen & 0xFF) << 8 |
                   (filters.bayerGainBlue & 0xFF) << 16;
        case FilterHome::kRequest:
            return fail(kErrArgument, 0);
        case FilterHome::kEngine:
            break;
    }
    CVelcorR3U2Base& e = *engine_;
    AnalogValues& analog = settings_.Values().analog;
    switch (id) {
        case VELCOR_FILTER_GLOBAL_GAIN:
            return e.GetGlobalGain();
        case VELCOR_FILTER_COLOR_GAIN_RED:
            return e.GetColourGainRed();
        case VELCOR_FILTER_COLOR_GAIN_GREEN1:
            return e.GetColourGainGreen1();
        case VELCOR_FILTER_COLOR_GAIN_GREEN2:
            return e.GetColourGainGreen2();
        case VELCOR_FILTER_COLOR_GAIN_BLUE:
            return e.GetColourGainBlue();
        case VELCOR_FILTER_EXPOSURE:
            return e.GetExposure();
        case VELCOR_FILTER_PELTIER:
            if (!e.IsCoolerSupported()) return fail(kErrUnsupported, -1);
            return e.GetCooler();
        case VELCOR_FILTER_GAIN_MODE:
            return e.GetGainMode();
        case VELCOR_FILTER_SHORT_EXPOSURE: {
            if (!e.IsFixedExposureSupported()) return fail(kErrUnsupported, 0);
            int on = 0;
            if (!e.GetFixedExposure(&on)) return fail(kErrDevice, 0);
            analog.shortExposureMode = on != 0 ? 1 : 0;
            RecordError(kErrSuccessNotice);
            return analog.shortExposureMode;
        }
        case VELCOR_FILTER_BLACK_LEVEL: {
            if (!e.IsBlackLevelSupported()) return fail(kErrUnsupported, 0);
            int level = 0;
            if (!e.GetBlackLevel(&level)) return fail(kErrDevice, 0);
            analog.blackLevel = level;
            RecordError(kErrSuccessNotice);
            return level;
        }
        default:  // the temperature has no filter reading on this camera
            return fail(kErrUnsupported, -1);
    }
}

int CVelcor::SetFilterValue(int id, int value) {
    if (!HaveEngine()) return 0;
    const FilterRow* row = FindFilter(id);
    if (row == nullptr) {
        RecordError(kErrArgument);
        return 0;
    }
    platform::CriticalSectionLock lock(settings_.Lock());
    FilterValues& filters = settings_.Values().filters;
    switch (row->home) {
        case FilterHome::kPackedGains:
            filters.bayerGainRed = value & 0xFF;
            filters.bayerGainGreen = (value >> 8) & 0xFF;
            filters.bayerGainBlue = (value >> 16) & 0xFF;
            return 1;
        case FilterHome::kFlag:
            filters.*row->field = value != 0 ? 1 : 0;
            return 1;
        case FilterHome::kObject:
        case FilterHome::kRequest:
            if (value < row->minimum || value > row->maximum) {
                RecordError(kErrArgument);
                return 0;
            }
            filters.*row->field = value;
            return 1;
        case FilterHome::kEngine:
            break;
    }
    return SetEngineFilter(id, value);
}

int CVelcor::SetEngineFilter(int id, int value) {
    CVelcorR3U2Base& e = *engine_;
    AnalogValues& analog = settings_.Values().analog;
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
        case VELCOR_FILTER_GLOBAL_GAIN: {
            if (!inRange(e.GetGlobalGainMin(), e.GetGlobalGainMax())) return 0;
            if (!applied(e.SetGlobalGain(value), &analog.globalGain)) return 0;
            analog.colourGainGreen1 = analog.colourGainRed = analog.colourGainBlue =
                analog.colourGainGreen2 = value;
            return 1;
        }
        case VELCOR_FILTER_COLOR_GAIN_RED:
            if (!inRange(e.GetColourGainMin(), e.GetColourGainMax())) return 0;
            return applied(e.SetColourGainRed(value), &analog.colourGainRed);
        case VELCOR_FILTER_COLOR_GAIN_GREEN1:
            if (!inRange(e.GetColourGainMin(), e.GetColourGainMax())) return 0;
            return applied(e.SetColourGainGreen1(value), &analog.colourGainGreen1);
        case VELCOR_FILTER_COLOR_GAIN_GREEN2:
            if (!inRange(e.GetColourGainMin(), e.GetColourGainMax())) return 0;
            return applied(e.SetColourGainGreen2(value), &analog.colourGainGreen2);
        case VELCOR_FILTER_COLOR_GAIN_BLUE:
            if (!inRange(e.GetColourGainMin(), e.GetColourGainMax())) return 0;
            return applied(e.SetColourGainBlue(value), &analog.colourGainBlue);
        case VELCOR_FILTER_EXPOSURE:
            if (!inRange(e.GetExposureMin(), e.GetExposureMax())) return 0;
            return SetExposureUnits(value);
        case VELCOR_FILTER_PELTIER:
            if (!e.IsCoolerSupported()) break;
            return applied(e.SetCooler(value), &analog.cooler);
        case VELCOR_FILTER_GAIN_MODE: {
            const int result = e.SetGainMode(value);
            if (result) analog.gainMode = value;
            return result;
        }
        case VELCOR_FILTER_SHORT_EXPOSURE: {
            if (!e.IsFixedExposureSupported()) break;
            if (!e.SetFixedExposure(value > 0 ? 1 : 0)) {
                RecordError(kErrDevice);
                return 0;
            }
            analog.shortExposureMode = value > 0 ? 1 : 0;
            return 1;
        }
        case VELCOR_FILTER_BLACK_LEVEL: {
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
    AnalogValues& analog = settings_.Values().analog;
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
    return GetFilterValue((kind == 0 ? kChannelGainIds : kChannelOffsetIds) + type - 1, ok);
}

int CVelcor::SetChannelValue(int kind, int type, int value) {
    if (type < 1 || type > 4) return 0;
    return SetFilterValue((kind == 0 ? kChannelGainIds : kChannelOffsetIds) + type - 1, value);
}

}  // namespace velcor
