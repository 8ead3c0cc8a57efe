#include "Features.h"

#include <velcor/VelcorErrors.h>
#include <velcor/VelcorSdk.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ErrorTable.h"
#include "Reporting.h"

namespace velcor::tool {

// How a setting is reached through the C API.
enum class Access {
    kFilter,           // Velcor_GetFilterValue / Velcor_SetFilterValue with the filter id
    kFilterSetOnly,    // Velcor_SetFilterValue: a request the next frame consumes, not a state
    kExposureSeconds,  // Velcor_GetExposureTimeEx / Velcor_SetExposureTimeEx
    kExposureMicro,    // Velcor_GetRealExposureTime / Velcor_SetRealExposureTime
    kMirrorH,
    kMirrorV,
    kIoPort,
    kColourMode,
    kSubSample,
    kWaitTime,
    kAutoExposure,  // Velcor_GetAutoIris / Velcor_SetAutoIris
    kWindow,        // Velcor_GetCaptureWindowEx / Velcor_SetCaptureWindowEx
    kTemperature,   // read only
};

// Where a setting's range comes from.
enum class Range {
    kFixed,             // minimum..maximum of the table
    kCameraExposure,    // the camera's exposure bounds in seconds
    kCameraExposureUs,  // the same in microseconds
    kCameraGain,        // the camera's global gain bounds
    kCameraColourGain,  // the camera's colour gain bounds
    kColourModes,       // 8, 16, 24, 32, 48 or 64; the sensor accepts a part of them
    kWindow,            // within the sensor
    kCamera,            // only the camera knows: no check before it is asked
    kReadOnly,
};

struct Feature {
    const char* name;
    Access access;
    int filterId;  // kFilter only
    Range range;
    int minimum;
    int maximum;
    const char* unit;
    const char* meaning;
};

namespace {

constexpr Feature kFeatures[] = {
    // Exposure, gain and the sensor's other analog settings.
    {"exposure", Access::kExposureSeconds, 0, Range::kCameraExposure, 0, 0, "s", "exposure time"},
    {"exposureus", Access::kExposureMicro, 0, Range::kCameraExposureUs, 0, 0, "us",
     "exposure time in 100 us steps"},
    {"autoexposure", Access::kAutoExposure, 0, Range::kFixed, 0, 2, "",
     "automatic exposure: 0 off, 1 by exposure, 2 by gain"},
    {"gain", Access::kFilter, VELCOR_FILTER_GLOBAL_GAIN, Range::kCameraGain, 0, 0, "",
     "global analog gain"},
    {"colorgainred", Access::kFilter, VELCOR_FILTER_COLOR_GAIN_RED, Range::kCameraColourGain, 0, 0,
     "", "analog gain of the red pixels"},
    {"colorgaingreen1", Access::kFilter, VELCOR_FILTER_COLOR_GAIN_GREEN1, Range::kCameraColourGain,
     0, 0, "", "analog gain of the green pixels on red rows"},
    {"colorgaingreen2", Access::kFilter, VELCOR_FILTER_COLOR_GAIN_GREEN2, Range::kCameraColourGain,
     0, 0, "", "analog gain of the green pixels on blue rows"},
    {"colorgainblue", Access::kFilter, VELCOR_FILTER_COLOR_GAIN_BLUE, Range::kCameraColourGain, 0,
     0, "", "analog gain of the blue pixels"},
    {"blacklevel", Access::kFilter, VELCOR_FILTER_BLACK_LEVEL, Range::kFixed, 0, 16383, "",
     "sensor black level (14 bits)"},
    {"gainmode", Access::kFilter, VELCOR_FILTER_GAIN_MODE, Range::kFixed, 0, 1, "",
     "sensor gain mode"},
    {"shortexposure", Access::kFilter, VELCOR_FILTER_SHORT_EXPOSURE, Range::kFixed, 0, 1, "",
     "short exposure mode"},
    {"peltier", Access::kFilter, VELCOR_FILTER_PELTIER, Range::kCamera, 0, 0, "", "Peltier cooler"},
    {"temperature", Access::kTemperature, 0, Range::kReadOnly, 0, 0, "C",
     "sensor temperature (read only)"},
    // Geometry, output and timing.
    {"window", Access::kWindow, 0, Range::kWindow, 0, 0, "px",
     "capture window, WIDTHxHEIGHT+X+Y on the sensor"},
    {"colormode", Access::kColourMode, 0, Range::kColourModes, 0, 0, "bits",
     "output depth per pixel (taken at the next capture start)"},
    {"subsample", Access::kSubSample, 0, Range::kFixed, 0, 0, "", "sub-sampling mode"},
    {"waittime", Access::kWaitTime, 0, Range::kFixed, 0, 3600000, "ms",
     "pause between frames of a preview: sets the frame rate"},
    {"mirrorh", Access::kMirrorH, 0, Range::kFixed, 0, 1, "", "mirror left to right"},
    {"mirrorv", Access::kMirrorV, 0, Range::kFixed, 0, 1, "", "mirror top to bottom"},
    {"ioport", Access::kIoPort, 0, Range::kFixed, 0, 255, "", "digital I/O port byte"},
    // Image adjustments of the frame conversion.
    {"brightness", Access::kFilter, VELCOR_FILTER_BRIGHTNESS, Range::kFixed, -255, 255, "",
     "brightness"},
    {"contrast", Access::kFilter, VELCOR_FILTER_CONTRAST, Range::kFixed, -127, 127, "", "contrast"},
    {"hue", Access::kFilter, VELCOR_FILTER_HUE, Range::kFixed, -360, 360, "deg", "hue"},
    {"saturation", Access::kFilter, VELCOR_FILTER_SATURATION, Range::kFixed, -255, 255, "",
     "saturation"},
    {"sharpness", Access::kFilter, VELCOR_FILTER_SHARPNESS, Range::kFixed, 0, 30, "", "sharpness"},
    {"gamma", Access::kFilter, VELCOR_FILTER_GAMMA, Range::kFixed, 0, 200, "", "gamma"},
    {"bayergainred", Access::kFilter, VELCOR_FILTER_BAYER_GAIN_RED, Range::kFixed, 0, 400, "",
     "demosaic red gain, 100 = unity"},
    {"bayergaingreen", Access::kFilter, VELCOR_FILTER_BAYER_GAIN_GREEN, Range::kFixed, 0, 400, "",
     "demosaic green gain, 100 = unity"},
    {"bayergainblue", Access::kFilter, VELCOR_FILTER_BAYER_GAIN_BLUE, Range::kFixed, 0, 400, "",
     "demosaic blue gain, 100 = unity"},
    {"bayergainauto", Access::kFilter, VELCOR_FILTER_BAYER_GAIN_AUTO, Range::kFixed, 0, 1, "",
     "automatic white balance of the demosaic"},
    {"bayermode", Access::kFilter, VELCOR_FILTER_BAYER_MODE, Range::kFixed, 0, 3, "",
     "Bayer phase of the mosaic"},
    {"graymode", Access::kFilter, VELCOR_FILTER_GRAY_MODE, Range::kFixed, 0, 2, "",
     "gray conversion mode"},
    {"graygainr", Access::kFilter, VELCOR_FILTER_GRAY_GAIN_R, Range::kFixed, 0, 255, "",
     "gray gain of the red pixels, 128 = unity"},
    {"graygaing1", Access::kFilter, VELCOR_FILTER_GRAY_GAIN_G1, Range::kFixed, 0, 255, "",
     "gray gain of green 1, 128 = unity"},
    {"graygaing2", Access::kFilter, VELCOR_FILTER_GRAY_GAIN_G2, Range::kFixed, 0, 255, "",
     "gray gain of green 2, 128 = unity"},
    {"graygainb", Access::kFilter, VELCOR_FILTER_GRAY_GAIN_B, Range::kFixed, 0, 255, "",
     "gray gain of the blue pixels, 128 = unity"},
    {"grayoffsetr", Access::kFilter, VELCOR_FILTER_GRAY_OFFSET_R, Range::kFixed, -255, 255, "",
     "gray offset of the red pixels"},
    {"grayoffsetg1", Access::kFilter, VELCOR_FILTER_GRAY_OFFSET_G1, Range::kFixed, -255, 255, "",
     "gray offset of green 1"},
    {"grayoffsetg2", Access::kFilter, VELCOR_FILTER_GRAY_OFFSET_G2, Range::kFixed, -255, 255, "",
     "gray offset of green 2"},
    {"grayoffsetb", Access::kFilter, VELCOR_FILTER_GRAY_OFFSET_B, Range::kFixed, -255, 255, "",
     "gray offset of the blue pixels"},
    {"autograybalance", Access::kFilterSetOnly, VELCOR_FILTER_AUTO_GRAY_BALANCE, Range::kFixed, 0,
     1, "", "balance the gray gains on the next frame"},
    // Filters.
    {"dotfilter", Access::kFilter, VELCOR_FILTER_DOT, Range::kFixed, 0, 1, "", "dot filter"},
    {"maskfilter", Access::kFilter, VELCOR_FILTER_MASK, Range::kFixed, 0, 1, "",
     "defect pixel correction by the pixel mask"},
};

constexpr int kColourModes[] = {8, 16, 24, 32, 48, 64};

const Feature* FindFeature(const std::string& name) {
    for (const Feature& f : kFeatures) {
        if (name == f.name) return &f;
    }
    return nullptr;
}

int UnknownFeature(const std::string& name) {
    std::fprintf(stderr,
                 "velcor: no setting \"%s\"; `velcor features` lists them, `velcor get --help` "
                 "names them all\n",
                 name.c_str());
    return kExitUsage;
}

// A number as people write it: "2", "0.000037125", "1e-12".
std::string FormatNumber(double value) {
    char text[64];
    const double magnitude = std::fabs(value);
    if (magnitude != 0.0 && (magnitude < 1e-6 || magnitude >= 1e9)) {
        std::snprintf(text, sizeof text, "%g", value);
        return text;
    }
    std::snprintf(text, sizeof text, "%.9f", value);
    std::string result = text;
    result.erase(result.find_last_not_of('0') + 1);
    if (result.back() == '.') result.pop_back();
    return result;
}

std::string FormatWindow(const WindowValue& w) {
    char text[64];
    std::snprintf(text, sizeof text, "%dx%d+%d+%d", w.width, w.height, w.x, w.y);
    return text;
}

bool ParseWindow(const std::string& text, WindowValue* out) {
    int consumed = 0;
    WindowValue w;
    if (std::sscanf(text.c_str(), "%dx%d+%d+%d%n", &w.width, &w.height, &w.x, &w.y, &consumed) !=
            4 ||
        static_cast<size_t>(consumed) != text.size()) {
        return false;
    }
    *out = w;
    return true;
}

bool ParseValue(const Feature& f, const std::string& text, Assignment* out) {
    out->feature = &f;
    out->text = text;
    if (f.range == Range::kReadOnly) {
        std::fprintf(stderr, "velcor: %s is read only\n", f.name);
        return false;
    }
    if (f.access == Access::kWindow) {
        if (ParseWindow(text, &out->window)) return true;
        std::fprintf(stderr, "velcor: window takes WIDTHxHEIGHT+X+Y (1280x1024+0+0), not \"%s\"\n",
                     text.c_str());
        return false;
    }
    const bool seconds = f.access == Access::kExposureSeconds;
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    out->number =
        seconds ? std::strtod(begin, &end) : static_cast<double>(std::strtol(begin, &end, 0));
    // Numbers too large for their type come back as its limit, outside every range.
    if (end != begin && *end == '\0' && std::isfinite(out->number)) return true;
    std::fprintf(stderr, "velcor: %s takes %s, not \"%s\"\n", f.name,
                 seconds ? "a number of seconds" : "a whole number", text.c_str());
    return false;
}

// The camera's ranges, read once per run.
class CameraRanges {
  public:
    explicit CameraRanges(int camera) : camera_(camera) {}

    const VELCORCAMERAINFO* Info() {
        if (!read_) {
            read_ = true;
            info_.size = sizeof info_;
            TakeErrors(camera_);
            known_ = Velcor_GetCameraInfo(camera_, &info_) != FALSE;
            TakeErrors(camera_);
        }
        return known_ ? &info_ : nullptr;
    }

    // Minimum and maximum of a numeric setting; false when the camera does not tell.
    bool Bounds(const Feature& f, double* minimum, double* maximum) {
        if (f.range == Range::kFixed) {
            *minimum = f.minimum;
            *maximum = f.maximum;
            return true;
        }
        const VELCORCAMERAINFO* info = Info();
        if (info == nullptr) return false;
        switch (f.range) {
            case Range::kCameraExposure:
                *minimum = info->exposureMinSeconds;
                *maximum = info->exposureMaxSeconds;
                break;
            case Range::kCameraExposureUs:
                *minimum = info->exposureMin * 100.0;
                *maximum = info->exposureMax * 100.0;
                break;
            case Range::kCameraGain:
                *minimum = info->globalGainMin;
                *maximum = info->globalGainMax;
                break;
            case Range::kCameraColourGain:
                *minimum = info->colorGainMin;
                *maximum = info->colorGainMax;
                break;
            default:
                return false;
        }
        // A camera without the setting reports an empty range; the library then says why it
        // refuses.
        return *maximum > 0;
    }

    // The range as the listing and the messages show it; empty when there is none to show.
    std::string Text(const Feature& f) {
        if (f.range == Range::kColourModes) return "8|16|24|32|48|64";
        if (f.range == Range::kWindow) {
            const VELCORCAMERAINFO* info = Info();
            if (info == nullptr) return "";
            return "1x1.." + std::to_string(info->maxWidth) + "x" + std::to_string(info->maxHeight);
        }
        double minimum = 0;
        double maximum = 0;
        if (!Bounds(f, &minimum, &maximum)) return f.range == Range::kReadOnly ? "read only" : "";
        return FormatNumber(minimum) + ".." + FormatNumber(maximum);
    }

  private:
    int camera_;
    bool read_ = false;
    bool known_ = false;
    VELCORCAMERAINFO info_{};
};

constexpr int kSetOnly = -2;  // ReadFeature: the setting cannot be read

// Reads a setting as text. Returns 0, or the first error code the library recorded (-1 when it
// refused without one, kSetOnly for a setting that cannot be read); the history is empty
// afterwards.
int ReadFeature(int camera, const Feature& f, std::string* text) {
    if (f.access == Access::kFilterSetOnly) return kSetOnly;
    TakeErrors(camera);
    int ok = 0;
    char buffer[64] = "";
    switch (f.access) {
        case Access::kExposureSeconds: {
            const double seconds = Velcor_GetExposureTimeEx(camera, &ok);
            if (ok) *text = FormatNumber(seconds);
            break;
        }
        case Access::kExposureMicro: {
            const int us = Velcor_GetRealExposureTime(camera, &ok);
            if (ok) *text = std::to_string(us);
            break;
        }
        case Access::kTemperature: {
            const double celsius = Velcor_GetTemperatureEx(camera, &ok);
            std::snprintf(buffer, sizeof buffer, "%.2f", celsius);
            if (ok) *text = buffer;
            break;
        }
        case Access::kAutoExposure:
            *text = std::to_string(Velcor_GetAutoIris(camera, &ok));
            break;
        case Access::kMirrorH:
        case Access::kMirrorV:
        case Access::kColourMode:
        case Access::kSubSample:
        case Access::kWaitTime: {
            // These reads have no success flag: an error in the history, or the -1 of a camera
            // object that is gone, is the failure.
            const int value = f.access == Access::kMirrorH      ? Velcor_GetMirrorH(camera)
                              : f.access == Access::kMirrorV    ? Velcor_GetMirrorV(camera)
                              : f.access == Access::kColourMode ? Velcor_GetColorMode(camera)
                              : f.access == Access::kSubSample  ? Velcor_GetSubSample(camera)
                                                                : Velcor_GetWaitTime(camera);
            ok = value >= 0;
            *text = std::to_string(value);
            break;
        }
        case Access::kIoPort: {
            BYTE port = 0;
            ok = Velcor_GetIOPort(camera, &port);
            std::snprintf(buffer, sizeof buffer, "0x%02X", port);
            *text = buffer;
            break;
        }
        case Access::kWindow: {
            int total[2] = {};
            WindowValue w;
            ok = Velcor_GetCaptureWindowEx(camera, &total[0], &w.x, &w.width, &total[1], &w.y,
                                           &w.height);
            *text = FormatWindow(w);
            break;
        }
        case Access::kFilterSetOnly:
            break;
        case Access::kFilter: {
            const int value = Velcor_GetFilterValue(camera, f.filterId, &ok);
            *text = std::to_string(value);
            break;
        }
    }
    const std::vector<int> errors = TakeErrors(camera);
    if (!errors.empty()) return errors.front();
    return ok ? 0 : -1;
}

// Applies a value that passed its range check; the library may still refuse it.
bool WriteFeature(int camera, const Assignment& a) {
    const Feature& f = *a.feature;
    const int v = static_cast<int>(a.number);
    switch (f.access) {
        case Access::kExposureSeconds:
            return Velcor_SetExposureTimeEx(camera, a.number) != FALSE;
        case Access::kExposureMicro:
            return Velcor_SetRealExposureTime(camera, v) != FALSE;
        case Access::kAutoExposure:
            return Velcor_SetAutoIris(camera, v) != FALSE;
        case Access::kMirrorH:
            return Velcor_SetMirrorH(camera, v) != FALSE;
        case Access::kMirrorV:
            return Velcor_SetMirrorV(camera, v) != FALSE;
        case Access::kColourMode:
            return Velcor_SetColorMode(camera, v) != FALSE;
        case Access::kSubSample:
            return Velcor_SetSubSample(camera, v) != FALSE;
        case Access::kWaitTime:
            return Velcor_SetWaitTime(camera, v) != FALSE;
        case Access::kIoPort:
            return Velcor_SetIOPort(camera, static_cast<BYTE>(v)) != FALSE;
        case Access::kWindow: {
            // The totals stay as the camera has them; only the window on the sensor moves.
            int total[2] = {};
            Velcor_GetCaptureWindowEx(camera, &total[0], nullptr, nullptr, &total[1], nullptr,
                                      nullptr);
            return Velcor_SetCaptureWindowEx(camera, total[0], a.window.x, a.window.width, total[1],
                                             a.window.y, a.window.height) != FALSE;
        }
        case Access::kFilter:
        case Access::kFilterSetOnly:
            return Velcor_SetFilterValue(camera, f.filterId, v) != FALSE;
        case Access::kTemperature:
            break;
    }
    return false;
}

// Exit status 2 with the setting and its range named when the value lies outside the range
// the camera or the table gives; 1 when the camera does not tell a range it must.
int CheckRange(CameraRanges& ranges, Assignment* a) {
    const Feature& f = *a->feature;
    if (f.range == Range::kCamera) return kExitOk;
    if (f.range == Range::kColourModes) {
        for (int bits : kColourModes) {
            if (a->number == bits) return kExitOk;
        }
        std::fprintf(stderr, "velcor: colormode %s is not one of %s\n", a->text.c_str(),
                     ranges.Text(f).c_str());
        return kExitUsage;
    }
    if (f.range == Range::kWindow) {
        const VELCORCAMERAINFO* info = ranges.Info();
        if (info == nullptr) {
            std::fprintf(stderr, "velcor: window: the camera does not tell its sensor size\n");
            return kExitFailure;
        }
        const WindowValue& w = a->window;
        if (w.width >= 1 && w.height >= 1 && w.x >= 0 && w.y >= 0 &&
            w.x + w.width <= info->maxWidth && w.y + w.height <= info->maxHeight) {
            return kExitOk;
        }
        std::fprintf(stderr,
                     "velcor: window %s is out of range: it must lie on the %d x %d sensor "
                     "(X + WIDTH <= %d, Y + HEIGHT <= %d)\n",
                     a->text.c_str(), info->maxWidth, info->maxHeight, info->maxWidth,
                     info->maxHeight);
        return kExitUsage;
    }
    double minimum = 0;
    double maximum = 0;
    if (!ranges.Bounds(f, &minimum, &maximum)) return kExitOk;
    const bool seconds = f.access == Access::kExposureSeconds;
    // Bounds in seconds are rounded in print: what is written as printed is inside.
    const double slack = seconds ? 1e-9 * maximum : 0.0;
    if (a->number >= minimum - slack && a->number <= maximum + slack) {
        if (seconds) a->number = std::fmin(std::fmax(a->number, minimum), maximum);
        return kExitOk;
    }
    const std::string unit = f.unit[0] != '\0' ? std::string(" ") + f.unit : "";
    std::fprintf(stderr, "velcor: %s %s%s is out of range %s..%s%s\n", f.name, a->text.c_str(),
                 unit.c_str(), FormatNumber(minimum).c_str(), FormatNumber(maximum).c_str(),
                 unit.c_str());
    return kExitUsage;
}

std::string ReadingForTable(int camera, const Feature& f) {
    std::string text;
    const int error = ReadFeature(camera, f, &text);
    if (error == 0) return text;
    if (error == VELCOR_ERR_UNSUPPORTED) return "(not supported)";
    if (error == kSetOnly) return "(set only)";
    if (error < 0) return "(unavailable)";
    return std::string("(") + VelcorErrorText(error) + ")";
}

}  // namespace

int ParseFeatureNames(const std::vector<std::string>& names, std::vector<const Feature*>* out) {
    if (names.empty()) {
        std::fprintf(stderr, "velcor: get needs the names of settings; see velcor get --help\n");
        return kExitUsage;
    }
    for (const std::string& name : names) {
        const Feature* f = FindFeature(name);
        if (f == nullptr) return UnknownFeature(name);
        if (f->access == Access::kFilterSetOnly) {
            std::fprintf(stderr, "velcor: %s can be set, not read\n", f->name);
            return kExitUsage;
        }
        out->push_back(f);
    }
    return kExitOk;
}

int ParseAssignments(const std::vector<std::string>& words, std::vector<Assignment>* out) {
    // `set NAME VALUE`, as earlier versions took one setting.
    if (words.size() == 2 && words[0].find('=') == std::string::npos &&
        words[1].find('=') == std::string::npos) {
        const Feature* f = FindFeature(words[0]);
        if (f == nullptr) return UnknownFeature(words[0]);
        Assignment a;
        if (!ParseValue(*f, words[1], &a)) return kExitUsage;
        out->push_back(a);
        return kExitOk;
    }
    if (words.empty()) {
        std::fprintf(stderr, "velcor: set needs NAME=VALUE; see velcor set --help\n");
        return kExitUsage;
    }
    for (const std::string& word : words) {
        const size_t equals = word.find('=');
        const std::string name = word.substr(0, equals);
        const Feature* f = FindFeature(name);
        if (f == nullptr) return UnknownFeature(name);
        if (equals == std::string::npos) {
            std::fprintf(stderr, "velcor: set %s needs a value: %s=VALUE\n", name.c_str(),
                         name.c_str());
            return kExitUsage;
        }
        for (const Assignment& earlier : *out) {
            if (earlier.feature == f) {
                std::fprintf(stderr, "velcor: %s is given twice\n", f->name);
                return kExitUsage;
            }
        }
        Assignment a;
        if (!ParseValue(*f, word.substr(equals + 1), &a)) return kExitUsage;
        out->push_back(a);
    }
    return kExitOk;
}

int ListFeatures(int camera) {
    CameraRanges ranges(camera);
    std::printf("%-16s %-18s %-22s %-5s %s\n", "setting", "value", "range", "unit", "meaning");
    for (const Feature& f : kFeatures) {
        const std::string value = ReadingForTable(camera, f);
        std::string range = ranges.Text(f);
        if (range.empty()) range = "-";
        std::printf("%-16s %-18s %-22s %-5s %s\n", f.name, value.c_str(), range.c_str(),
                    f.unit[0] != '\0' ? f.unit : "-", f.meaning);
    }
    return kExitOk;
}

namespace {

// Prints the settings as they read now; a set-only setting shows the value it was given in
// `given`. One setting: its bare value, for scripts; several: NAME=VALUE, as set takes them.
int PrintFeatures(int camera, const std::vector<const Feature*>& features,
                  const std::vector<std::string>& given) {
    int result = kExitOk;
    for (size_t i = 0; i < features.size(); ++i) {
        const Feature& f = *features[i];
        std::string text;
        const int error = ReadFeature(camera, f, &text);
        if (error == kSetOnly && i < given.size()) {
            text = given[i];
        } else if (error > 0) {
            PrintErrors({error}, f.name);
            result = kExitFailure;
            continue;
        } else if (error != 0) {
            std::fprintf(stderr, "velcor: %s: could not be read\n", f.name);
            result = kExitFailure;
            continue;
        }
        if (features.size() == 1) {
            std::printf("%s\n", text.c_str());
        } else {
            std::printf("%s=%s\n", f.name, text.c_str());
        }
    }
    return result;
}

}  // namespace

int GetFeatures(int camera, const std::vector<const Feature*>& features) {
    return PrintFeatures(camera, features, {});
}

int SetFeatures(int camera, const std::vector<Assignment>& assignments) {
    CameraRanges ranges(camera);
    std::vector<Assignment> checked = assignments;
    for (Assignment& a : checked) {
        const int status = CheckRange(ranges, &a);
        if (status != kExitOk) return status;
    }
    std::vector<const Feature*> done;
    std::vector<std::string> given;
    for (const Assignment& a : checked) {
        TakeErrors(camera);
        if (!WriteFeature(camera, a)) {
            const std::string what = std::string(a.feature->name) + " " + a.text;
            Failed(camera, what.c_str(), "refused by the camera");
            if (!done.empty()) {
                std::fprintf(stderr, "velcor: the settings before %s were applied\n",
                             a.feature->name);
            }
            return kExitFailure;
        }
        done.push_back(a.feature);
        given.push_back(a.text);
    }
    return PrintFeatures(camera, done, given);
}

std::string FeatureNames() {
    std::string names;
    for (const Feature& f : kFeatures) {
        if (!names.empty()) names += ", ";
        names += f.name;
    }
    return names;
}

}  // namespace velcor::tool
