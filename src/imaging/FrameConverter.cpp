#include "imaging/FrameConverter.h"

#include "imaging/GrayAdjustments.h"
#include "imaging/HueSaturation.h"
#include "imaging/PixelRoutines.h"
#include "imaging/ToneAdjustments.h"

namespace velcor {

DibImage* FrameConverter::RawImage(const FrameImages& images, int colourMode) {
    switch (colourMode) {
        case 8:
        case 24:
        case 32:
            return images.raw8;
        case 16:
        case 48:
        case 64:
            return images.raw16;
        default:
            return nullptr;
    }
}

DibImage* FrameConverter::OutputImage(const FrameImages& images, int colourMode) {
    switch (colourMode) {
        case 8:
            return images.raw8;
        case 16:
            return images.raw16;
        case 24:
            return images.image24;
        case 32:
            return images.image32;
        case 48:
            return images.image48;
        case 64:
            return images.image64;
        default:
            return nullptr;
    }
}

int FrameConverter::Convert(const FrameImages& images, ConversionParams& params,
                            FrameConversionHooks* hooks) {
    const int mode = params.colourMode;
    DibImage* raw = RawImage(images, mode);
    DibImage* output = OutputImage(images, mode);
    if (raw == nullptr || output == nullptr || raw->Empty() || output->Empty()) return 0;
    if (raw->Width() != output->Width() || raw->Height() != output->Height()) return 0;
    const bool grayMode = mode == 8 || mode == 16;

    if (hooks != nullptr && params.autoExposureMode != 0)
        hooks->AutoExposure(RawFrameView::Of(*raw), params);
    if (hooks != nullptr && (params.filters.maskFilter || params.filters.dotFilter))
        hooks->CorrectDefects(*raw, params.filters.maskFilter, params.filters.dotFilter);

    if (grayMode) GrayProcessing(images, params, *raw);

    const bool softH = params.mirrorH && !params.mirrorHInHardware;
    const bool softV = params.mirrorV && !params.mirrorVInHardware;
    MirrorRaw(*raw, softH, softV);

    if (!grayMode) {
        // The raw frame is mirrored now, by the sensor or just above, on both flags.
        Demosaic(*raw, *output, params, params.mirrorV, params.mirrorH);
    }
    FinishOutput(images, *output, params);
    return 1;
}

bool FrameConverter::ReadsRawOnly(const ConversionParams& params) {
    const int mode = params.colourMode;
    if (mode != 24 && mode != 32 && mode != 48 && mode != 64) return false;
    const FilterValues& f = params.filters;
    if (f.maskFilter || f.dotFilter || f.bayerGainAuto != 0) return false;
    return !(params.mirrorH && !params.mirrorHInHardware) &&
           !(params.mirrorV && !params.mirrorVInHardware);
}

int FrameConverter::ConvertFrom(const RawFrameView& source, const FrameImages& images,
                                ConversionParams& params, FrameConversionHooks* hooks) {
    if (!ReadsRawOnly(params) || source.topRow == nullptr) return 0;
    const DibImage* raw = RawImage(images, params.colourMode);
    DibImage* output = OutputImage(images, params.colourMode);
    if (raw == nullptr || output == nullptr || raw->Empty() || output->Empty()) return 0;
    if (source.width != raw->Width() || source.height != raw->Height() ||
        source.bytesPerPixel != raw->BytesPerPixel() || raw->Width() != output->Width() ||
        raw->Height() != output->Height()) {
        return 0;
    }
    if (hooks != nullptr && params.autoExposureMode != 0) hooks->AutoExposure(source, params);
    // Steps 3 to 5 leave such a frame alone; the demosaic reads it where it lies.
    BayerGains gains{MirroredBayerMode(params.filters.bayerMode, params.mirrorV, params.mirrorH),
                     params.filters.bayerGainRed, params.filters.bayerGainGreen,
                     params.filters.bayerGainBlue};
    const PixelRect whole{0, 0, source.width, source.height};
    DemosaicRoutine(output->Pixels(), source.topRow, whole, 0, 0,
                    static_cast<uint16_t>(output->BytesPerPixel()),
                    static_cast<uint16_t>(source.bytesPerPixel), output->Stride(),
                    static_cast<int>(source.rowStep), &gains, nullptr);
    FinishOutput(images, *output, params);
    return 1;
}

void FrameConverter::FinishOutput(const FrameImages& images, DibImage& output,
                                  const ConversionParams& params) {
    const bool grayMode = params.colourMode == 8 || params.colourMode == 16;
    if (!grayMode && (params.filters.hue != 0 || params.filters.saturation != 0))
        HueSaturation(output, params);
    if (params.filters.gamma != 100) Gamma(output, params.filters.gamma);
    if (params.filters.contrast != 0) Contrast(output, params.filters.contrast);
    if (params.filters.sharpness != 0) Sharpness(output, images.work, params.filters.sharpness);
    if (params.filters.brightness != 0) Brightness(output, params.filters.brightness);
}

void FrameConverter::GrayProcessing(const FrameImages& images, ConversionParams& params,
                                    DibImage& raw) {
    if (params.filters.grayMode == 1) {
        GrayGainsAndOffsets(raw, params);
    } else if (params.filters.grayMode == 2 && params.colourMode == 8 &&
               images.image24 != nullptr && !images.image24->Empty()) {
        // Luminance of the demosaiced frame replaces the raw samples. The software mirror
        // comes after this step, so only what the sensor mirrored moves the phase here.
        Demosaic(raw, *images.image24, params, params.mirrorV && params.mirrorVInHardware,
                 params.mirrorH && params.mirrorHInHardware);
        RectangleOperation(&raw, routines::Luminance, images.image24, nullptr, 0, 0);
    }
}

void FrameConverter::Demosaic(DibImage& raw, DibImage& output, ConversionParams& params,
                              bool mirrorV, bool mirrorH) {
    const int bayerMode = MirroredBayerMode(params.filters.bayerMode, mirrorV, mirrorH);
    if (params.filters.bayerGainAuto != 0) AutoBayerGain(raw, params, bayerMode);
    const BayerGains gains{bayerMode, params.filters.bayerGainRed, params.filters.bayerGainGreen,
                           params.filters.bayerGainBlue};
    velcor::Demosaic(raw, output, gains);
}

// ---- Adjustments --------------------------------------------------------------------------

void FrameConverter::GrayGainsAndOffsets(DibImage& raw, ConversionParams& params) {
    FilterValues& f = params.filters;
    if (f.autoGrayBalance != 0) {
        // A frame without samples in some phase leaves the gains as they were; the request is
        // served all the same. The caller stores the gains and the request with the camera's
        // settings, where a settings dialog reads them.
        AutoGrayBalance(raw, f);
        --f.autoGrayBalance;
    }
    ApplyGrayGains(raw, f);
}

void FrameConverter::AutoBayerGain(const DibImage& raw, ConversionParams& params, int bayerMode) {
    velcor::AutoBayerGain(raw, bayerMode, params.filters);
}

void FrameConverter::HueSaturation(DibImage& output, const ConversionParams& params) {
    ApplyHueSaturation(output, params.filters.hue, params.filters.saturation);
}

void FrameConverter::Gamma(DibImage& output, int gamma) {
    ApplyGamma(output, gamma);
}

void FrameConverter::Contrast(DibImage& output, int contrast) {
    ApplyContrast(output, contrast);
}

void FrameConverter::Sharpness(DibImage& output, DibImage* work, int sharpness) {
    // Without a work image of the frame's size and depth there is no unchanged source.
    ApplySharpness(output, work, sharpness);
}

void FrameConverter::Brightness(DibImage& output, int brightness) {
    ApplyBrightness(output, brightness);
}

}  // namespace velcor
