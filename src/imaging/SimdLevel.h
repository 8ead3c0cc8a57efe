// Which vector instructions the pixel kernels may use. The processor is asked once; the
// environment variable VELCOR_SIMD=portable forces the plain C++ kernels (to compare the paths,
// or to rule a kernel out when a result looks wrong). Read on every call, so a test can switch
// it between frames.
#pragma once

namespace velcor {

enum class SimdLevel { kPortable, kAvx2 };

SimdLevel ActiveSimdLevel();

}  // namespace velcor
