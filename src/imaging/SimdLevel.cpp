#include "imaging/SimdLevel.h"

#include <cstdlib>
#include <cstring>

namespace velcor {

namespace {

bool CpuHasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}

}  // namespace

SimdLevel ActiveSimdLevel() {
    const char* forced = std::getenv("VELCOR_SIMD");
    if (forced != nullptr && std::strcmp(forced, "portable") == 0) return SimdLevel::kPortable;
    return CpuHasAvx2() ? SimdLevel::kAvx2 : SimdLevel::kPortable;
}

}  // namespace velcor
