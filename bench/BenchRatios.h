// Ratios the benchmark program prints after its runs, each a benchmark's time over a yardstick
// measured in the same run. Files of benchmarks add theirs here beside the reporter's own.
#pragma once

#include <string>
#include <vector>

namespace velcor::bench {

struct RatioLine {
    std::string name;
    std::string base;
    std::string note;
    bool cpuTime = false;  // thread CPU time of the benchmark thread instead of real time
};

// The image adjustments' ratios (AdjustmentBench.cpp).
std::vector<RatioLine> AdjustmentRatios();

}  // namespace velcor::bench
