#include "imaging/SimdLevel.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace velcor {

namespace {

// The level a test has forced, or -1: read on every call, so it is an atomic; relaxed order is
// enough for a value set before the kernels run.
std::atomic<int> forcedForTesting{-1};

SimdLevel WidestAvailableUpTo(SimdLevel limit) {
    for (const SimdLevel level : {SimdLevel::kAvx512, SimdLevel::kAvx2}) {
        if (level <= limit && SimdLevelAvailable(level)) return level;
    }
    return SimdLevel::kPortable;
}

}  // namespace

bool SimdLevelAvailable(SimdLevel level) {
    switch (level) {
        case SimdLevel::kPortable:
            return true;
#if defined(__x86_64__) || defined(__i386__)
        case SimdLevel::kAvx2:
            return __builtin_cpu_supports("avx2");
        case SimdLevel::kAvx512:
            return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
#else
        case SimdLevel::kAvx2:
        case SimdLevel::kAvx512:
            return false;
#endif
    }
    return false;
}

SimdLevel SimdLevelFromSetting(const char* setting) {
    SimdLevel limit = SimdLevel::kAvx512;
    if (setting != nullptr && std::strcmp(setting, "portable") == 0) limit = SimdLevel::kPortable;
    if (setting != nullptr && std::strcmp(setting, "avx2") == 0) limit = SimdLevel::kAvx2;
    return WidestAvailableUpTo(limit);
}

SimdLevel ActiveSimdLevel() {
    const int forced = forcedForTesting.load(std::memory_order_relaxed);
    if (forced >= 0) return static_cast<SimdLevel>(forced);
    // Thread-safe static: read once, whichever thread converts the first frame.
    static const SimdLevel level = SimdLevelFromSetting(std::getenv("VELCOR_SIMD"));
    return level;
}

const char* SimdLevelName(SimdLevel level) {
    switch (level) {
        case SimdLevel::kPortable:
            return "portable";
        case SimdLevel::kAvx2:
            return "avx2";
        case SimdLevel::kAvx512:
            return "avx512";
    }
    return "?";
}

ScopedSimdLevelForTesting::ScopedSimdLevelForTesting(SimdLevel level)
    : previous_(forcedForTesting.exchange(static_cast<int>(WidestAvailableUpTo(level)),
                                          std::memory_order_relaxed)) {}

ScopedSimdLevelForTesting::~ScopedSimdLevelForTesting() {
    forcedForTesting.store(previous_, std::memory_order_relaxed);
}

}  // namespace velcor
