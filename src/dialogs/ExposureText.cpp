#include "dialogs/ExposureText.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "dialogs/DialogTexts.h"

namespace velcor::dialogs {
namespace {

// The value in the unit with the noise of binary fractions taken off: 0.00004 s is
// 39.99999999999999 μs in doubles, which must read as 40.
double Scaled(double seconds, ExposureUnit unit) {
    return std::round(seconds * UnitScale(unit) * 1e9) / 1e9;
}

}  // namespace

ExposureUnit UnitFor(double seconds) {
    if (seconds > 1.0) return kSeconds;
    if (seconds >= 0.001) return kMilliseconds;
    if (seconds >= 0.000001) return kMicroseconds;
    return kNanoseconds;
}

double UnitScale(ExposureUnit unit) {
    switch (unit) {
        case kNanoseconds:
            return 1e9;
        case kMicroseconds:
            return 1e6;
        case kMilliseconds:
            return 1e3;
        case kSeconds:
            break;
    }
    return 1.0;
}

std::string FormatExposure(double seconds, ExposureUnit unit) {
    const double value = Scaled(seconds, unit);
    const double fraction = value - std::floor(value);
    char text[64];
    if (fraction >= 0.001) {
        std::snprintf(text, sizeof text, "%.3f", value);
    } else if (fraction >= 0.000001) {
        std::snprintf(text, sizeof text, "%.6f", value);
    } else {
        // The whole part, printed from the double: a long time in ns would not fit an int.
        std::snprintf(text, sizeof text, "%.0f", std::trunc(value));
    }
    return text;
}

std::optional<double> ParseExposure(const std::string& text, ExposureUnit unit) {
    const char* begin = text.c_str();
    char* end = nullptr;
    const double value = std::strtod(begin, &end);
    if (end == begin || !std::isfinite(value)) return std::nullopt;
    while (*end == ' ' || *end == '\t')
        ++end;
    if (*end != '\0') return std::nullopt;
    return value / UnitScale(unit);
}

std::string FormatExposureRange(double minimum, double maximum) {
    const ExposureUnit low = UnitFor(minimum);
    const ExposureUnit high = UnitFor(maximum);
    char text[96];
    std::snprintf(text, sizeof text, "range: %.0f%s - %.0f%s", std::trunc(Scaled(minimum, low)),
                  kExposureUnits[low], std::trunc(Scaled(maximum, high)), kExposureUnits[high]);
    return text;
}

}  // namespace velcor::dialogs
