// Which vector instructions the pixel kernels may use: the one switch that every dispatcher of
// the imaging code asks.
//
// The level of the process is the widest one the processor has (AVX-512 with byte and word
// instructions, AVX2, else the plain C++ kernels), held down by the environment variable
// VELCOR_SIMD when it says so: "portable" forces the plain kernels, "avx2" stops at AVX2,
// "avx512" allows all; any other value, or none, means the best available. The variable is read
// once, at the first call, so every frame of a process takes the same path. A value naming a
// level the processor lacks gives the widest level it has below that.
#pragma once

namespace velcor {

// Ordered: a kernel of a level runs on every level above it.
enum class SimdLevel { kPortable, kAvx2, kAvx512 };

// Whether this processor runs the level; the portable one always.
bool SimdLevelAvailable(SimdLevel level);

// The widest available level allowed by a VELCOR_SIMD value (see above).
SimdLevel SimdLevelFromSetting(const char* setting);

// The level of this process: VELCOR_SIMD read at the first call, combined with the processor.
SimdLevel ActiveSimdLevel();

const char* SimdLevelName(SimdLevel level);

// Test-only seam: while it lives, ActiveSimdLevel answers the given level (held down to what
// the processor has), so one test can run a kernel on each path and compare the bytes. Not for
// use while another thread converts frames.
class ScopedSimdLevelForTesting {
  public:
    explicit ScopedSimdLevelForTesting(SimdLevel level);
    ~ScopedSimdLevelForTesting();
    ScopedSimdLevelForTesting(const ScopedSimdLevelForTesting&) = delete;
    ScopedSimdLevelForTesting& operator=(const ScopedSimdLevelForTesting&) = delete;

  private:
    int previous_;
};

}  // namespace velcor
