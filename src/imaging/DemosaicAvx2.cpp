// The demosaic kernels for processors with AVX2, 32 bytes of samples per step.
#include "imaging/DemosaicKernels.h"

namespace velcor {

void DemosaicFrameAvx2(const BayerFrame& frame) {
#if defined(__AVX2__)
    DemosaicFrameLayout<32>(frame);
#else
    DemosaicFrameLayout<16>(frame);
#endif
}

}  // namespace velcor
