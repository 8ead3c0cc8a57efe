// The exposure in seconds as the analog dialog shows it: a number in one of the units ns, μs,
// ms and sec.
#pragma once

#include <optional>
#include <string>

namespace velcor::dialogs {

enum ExposureUnit : int { kNanoseconds = 0, kMicroseconds, kMilliseconds, kSeconds };

// The unit a value reads best in: sec above 1 s, ms from 1 ms, μs from 1 μs, else ns.
ExposureUnit UnitFor(double seconds);
// Units per second: 1e9, 1e6, 1000 or 1.
double UnitScale(ExposureUnit unit);
// The number of seconds in unit: "%.3f" when its fraction is at least 0.001, "%.6f" when at
// least 0.000001, else the whole part alone ("40" for 0.00004 s in μs, "1.500" for 1.5 s).
std::string FormatExposure(double seconds, ExposureUnit unit);
// The seconds a number typed in unit stands for; nothing when the text is no finite number.
std::optional<double> ParseExposure(const std::string& text, ExposureUnit unit);
// "range: 10μs - 2sec": minimum and maximum, each in its own unit, whole numbers.
std::string FormatExposureRange(double minimum, double maximum);

}  // namespace velcor::dialogs
