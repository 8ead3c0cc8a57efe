// Turns the raw frame of a colour mode into its output image, in place and in a fixed order:
//   1. the raw image of the colour mode (8-bit for modes 8, 24, 32; 16-bit for 16, 48, 64)
//   2. automatic exposure on the raw image                        (hook, capture session)
//   3. mask correction, then dot correction, under the mask lock  (hook, capture session)
//   4. modes 8 and 16: gray processing by gray mode
//   5. software mirror of what the engine does not mirror itself
//   6. modes 24-64: automatic Bayer gain, then the demosaic into the output image
//   7. modes 24-64: hue and saturation
//   8.-11. gamma, contrast, sharpness, brightness on the output image
// The converter keeps no state between frames apart from the shared adjustment tables, and
// allocates nothing once those exist for the values in use.
#pragma once

#include <cstddef>
#include <cstdint>

#include "imaging/Demosaic.h"
#include "imaging/DibImage.h"
#include "imaging/FilterValues.h"

namespace velcor {

// The images of a capture session the conversion touches; missing ones are null.
struct FrameImages {
    DibImage* raw8 = nullptr;
    DibImage* raw16 = nullptr;
    DibImage* image24 = nullptr;
    DibImage* image32 = nullptr;
    DibImage* image48 = nullptr;
    DibImage* image64 = nullptr;
    DibImage* work = nullptr;  // scratch of the output format (sharpness)
};

// The camera object's settings for one conversion. The automatic balances write their gains
// back into the filter values; the caller stores them.
struct ConversionParams {
    int colourMode = 8;  // output depth: 8, 16, 24, 32, 48 or 64
    FilterValues filters = FilterValues::Neutral();
    // Mirror flags and whether the engine mirrors each axis in the sensor.
    bool mirrorH = false, mirrorV = false;
    bool mirrorHInHardware = false, mirrorVInHardware = false;
    int autoExposureMode = 0;  // 0 off, 1 exposure, 2 gain
};

// Where a raw frame's pixels lie: the raw image itself, or a frame read where it lies (one lent
// by the engine's ring) with the raw image's size and depth. Top row first, `rowStep` bytes from
// one row to the next.
struct RawFrameView {
    const uint8_t* topRow = nullptr;
    ptrdiff_t rowStep = 0;
    int width = 0;
    int height = 0;
    int bytesPerPixel = 0;

    static RawFrameView Of(const DibImage& image) {
        return {image.Pixels(), image.Stride(), image.Width(), image.Height(),
                image.BytesPerPixel()};
    }
};

// The raw frame of a colour mode is 16 bits wide for modes 16, 48 and 64, else 8 bits.
constexpr bool RawIsSixteenBits(int colourMode) {
    return colourMode == 16 || colourMode == 48 || colourMode == 64;
}

// Steps that need the capture session: automatic exposure drives the engine, and defect
// correction reads the camera object's pixel mask under the mask lock.
class FrameConversionHooks {
  public:
    virtual ~FrameConversionHooks() = default;
    // Step 2, called when the automatic exposure mode is not 0, with the frame being converted.
    virtual void AutoExposure(const RawFrameView& raw, const ConversionParams& params) = 0;
    // Step 3, called when either correction is on; takes the mask lock itself.
    virtual void CorrectDefects(DibImage& raw, bool mask, bool dot) = 0;
};

class FrameConverter {
  public:
    // Converts one frame. 1 on success; 0, with nothing changed, when the raw or the output
    // image of the colour mode is missing or empty, or their sizes differ.
    static int Convert(const FrameImages& images, ConversionParams& params,
                       FrameConversionHooks* hooks = nullptr);

    // True when converting under these parameters only reads the raw frame: colour modes 24 to
    // 64 without defect correction, software mirror or automatic Bayer gain. Such a frame can
    // be converted where it lies, and the raw image is left as it was.
    static bool ReadsRawOnly(const ConversionParams& params);
    // Converts a frame that lies outside the raw image (`source`, of the raw image's size and
    // depth), leaving the raw image untouched. 0, with nothing changed, when ReadsRawOnly is
    // false or `source` does not match the raw image, and as Convert otherwise.
    static int ConvertFrom(const RawFrameView& source, const FrameImages& images,
                           ConversionParams& params, FrameConversionHooks* hooks = nullptr);

    // The raw and the output image of a colour mode (null for an unknown mode).
    static DibImage* RawImage(const FrameImages& images, int colourMode);
    static DibImage* OutputImage(const FrameImages& images, int colourMode);

  private:
    // Steps 7 to 11 on the output image.
    static void FinishOutput(const FrameImages& images, DibImage& output,
                             const ConversionParams& params);
    static void GrayProcessing(const FrameImages& images, ConversionParams& params, DibImage& raw);
    static void Demosaic(DibImage& raw, DibImage& output, ConversionParams& params, bool mirrorV,
                         bool mirrorH);

    // ---- Adjustments (GrayAdjustments, HueSaturation, ToneAdjustments).
    static void GrayGainsAndOffsets(DibImage& raw, ConversionParams& params);
    static void AutoBayerGain(const DibImage& raw, ConversionParams& params, int bayerMode);
    static void HueSaturation(DibImage& output, const ConversionParams& params);
    static void Gamma(DibImage& output, int gamma);
    static void Contrast(DibImage& output, int contrast);
    static void Sharpness(DibImage& output, DibImage* work, int sharpness);
    static void Brightness(DibImage& output, int brightness);
};

}  // namespace velcor
