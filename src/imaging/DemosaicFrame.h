// What the demosaic's kernels work on, and the kernels built for the wider instruction sets.
#pragma once

#include <cstddef>
#include <cstdint>

namespace velcor {

enum class BayerLayout { Raw8To24, Raw8To32, Raw16To48, Raw16To64 };

// One frame to demosaic: raw samples in, B G R (and an untouched fourth channel) out.
struct BayerFrame {
    const uint8_t* src;
    ptrdiff_t srcStride;
    uint8_t* dst;
    ptrdiff_t dstStride;
    int width;
    int height;
    int rowBit;  // Bayer mode bit 0: flips the row phase
    int colBit;  // Bayer mode bit 1: flips the column phase
    uint32_t kRed;
    uint32_t kBlue;
    BayerLayout layout;
};

// Built with their own compiler flags; call them only where the processor has the
// instructions (see SimdLevelAvailable).
void DemosaicFrameAvx2(const BayerFrame& frame);
void DemosaicFrameAvx512(const BayerFrame& frame);

}  // namespace velcor
