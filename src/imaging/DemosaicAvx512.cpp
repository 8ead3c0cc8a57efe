// The demosaic kernels for processors with AVX-512 F and BW, 64 bytes of samples per step.
#include "imaging/DemosaicKernels.h"

namespace velcor {

void DemosaicFrameAvx512(const BayerFrame& frame) {
#if defined(__AVX512BW__)
    DemosaicFrameLayout<64>(frame);
#else
    DemosaicFrameLayout<16>(frame);
#endif
}

}  // namespace velcor
