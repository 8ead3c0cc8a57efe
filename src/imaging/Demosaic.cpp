#include "imaging/Demosaic.h"

#include "imaging/DemosaicKernels.h"
#include "imaging/SimdLevel.h"

namespace velcor {

namespace {

// Gain 100 becomes 128, so S x factor >> 11 is the 9:3:3:1 mean (weights sum to 16) times
// gain / 100. The factor is held below 4096 so that the 16-bit product S x factor fits in 32
// bits; the gains the camera accepts (at most 400) stay far below that.
constexpr int kMaxFactor = 4095;

int GainFactor(int gain) {
    const double factor = static_cast<double>(gain) * 1.28;
    if (factor <= 0.0) return 0;
    if (factor >= kMaxFactor) return kMaxFactor;
    return static_cast<int>(factor);
}

enum class Kernel { Reference, Vector };

void RunReference(const BayerFrame& f) {
    auto all = [&f]<typename T, int Channels>() {
        for (int y = 0; y < f.height; ++y) {
            for (int x = 0; x < f.width; ++x)
                DemosaicPixel<T, Channels>(f, x, y);
        }
    };
    switch (f.layout) {
        case BayerLayout::Raw8To24:
            all.operator()<uint8_t, 3>();
            break;
        case BayerLayout::Raw8To32:
            all.operator()<uint8_t, 4>();
            break;
        case BayerLayout::Raw16To48:
            all.operator()<uint16_t, 3>();
            break;
        case BayerLayout::Raw16To64:
            all.operator()<uint16_t, 4>();
            break;
    }
}

void RunPath(const BayerFrame& f, SimdLevel path) {
    switch (path) {
        case SimdLevel::kAvx512:
            DemosaicFrameAvx512(f);
            break;
        case SimdLevel::kAvx2:
            DemosaicFrameAvx2(f);
            break;
        case SimdLevel::kPortable:
            DemosaicFrameLayout<16>(f);
            break;
    }
}

int DemosaicRect(uint8_t* dst, const uint8_t* src, const PixelRect& rect, int dstX, int dstY,
                 uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int dstStride, int srcStride,
                 const BayerGains* gains, Kernel kernel, SimdLevel path) {
    if (gains == nullptr || dst == nullptr || src == nullptr || rect.Empty()) return 0;
    BayerFrame f;
    if (srcBytesPerPixel == 1 && dstBytesPerPixel == 3) {
        f.layout = BayerLayout::Raw8To24;
    } else if (srcBytesPerPixel == 1 && dstBytesPerPixel == 4) {
        f.layout = BayerLayout::Raw8To32;
    } else if (srcBytesPerPixel == 2 && dstBytesPerPixel == 6) {
        f.layout = BayerLayout::Raw16To48;
    } else if (srcBytesPerPixel == 2 && dstBytesPerPixel == 8) {
        f.layout = BayerLayout::Raw16To64;
    } else {
        return 0;
    }
    f.src = src + static_cast<ptrdiff_t>(rect.top) * srcStride +
            static_cast<ptrdiff_t>(rect.left) * srcBytesPerPixel;
    f.srcStride = srcStride;
    f.dst = dst + static_cast<ptrdiff_t>(dstY) * dstStride +
            static_cast<ptrdiff_t>(dstX) * dstBytesPerPixel;
    f.dstStride = dstStride;
    f.width = rect.Width();
    f.height = rect.Height();
    // The phase belongs to the absolute position of the rectangle's first pixel.
    f.rowBit = (gains->bayerMode ^ rect.top) & 1;
    f.colBit = ((gains->bayerMode >> 1) ^ rect.left) & 1;
    f.kRed = static_cast<uint32_t>(GainFactor(gains->red));
    f.kBlue = static_cast<uint32_t>(GainFactor(gains->blue));
    if (kernel == Kernel::Reference) {
        RunReference(f);
    } else {
        RunPath(f, path);
    }
    return 1;
}

bool DemosaicWhole(const DibImage& raw, DibImage& output, const BayerGains& gains, Kernel kernel,
                   SimdLevel path) {
    if (raw.Empty() || output.Empty() || raw.Width() != output.Width() ||
        raw.Height() != output.Height()) {
        return false;
    }
    const PixelRect whole{0, 0, raw.Width(), raw.Height()};
    return DemosaicRect(output.Pixels(), raw.Pixels(), whole, 0, 0,
                        static_cast<uint16_t>(output.BytesPerPixel()),
                        static_cast<uint16_t>(raw.BytesPerPixel()), output.Stride(), raw.Stride(),
                        &gains, kernel, path) == 1;
}

}  // namespace

int DemosaicRoutine(uint8_t* dst, const uint8_t* src, const PixelRect& rect, int dstX, int dstY,
                    uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int dstStride,
                    int srcStride, void* param1, void*) {
    return DemosaicRect(dst, src, rect, dstX, dstY, dstBytesPerPixel, srcBytesPerPixel, dstStride,
                        srcStride, static_cast<const BayerGains*>(param1), Kernel::Vector,
                        ActiveSimdLevel());
}

bool Demosaic(const DibImage& raw, DibImage& output, const BayerGains& gains) {
    return DemosaicWhole(raw, output, gains, Kernel::Vector, ActiveSimdLevel());
}

bool Demosaic(const DibImage& raw, DibImage& output, const BayerGains& gains, SimdLevel path) {
    return SimdLevelAvailable(path) && DemosaicWhole(raw, output, gains, Kernel::Vector, path);
}

bool DemosaicReference(const DibImage& raw, DibImage& output, const BayerGains& gains) {
    return DemosaicWhole(raw, output, gains, Kernel::Reference, SimdLevel::kPortable);
}

}  // namespace velcor
