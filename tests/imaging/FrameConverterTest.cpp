#include "imaging/FrameConverter.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "imaging/HueSaturation.h"
#include "imaging/ImagingTestSupport.h"
#include "imaging/ToneAdjustments.h"

namespace velcor {
namespace {

using test::Channel;
using test::FillRandom;

// The images of one camera object at a small frame size.
struct Images {
    DibImage raw8, raw16, image24, image32, image48, image64;
    FrameImages frame;

    explicit Images(int w = 24, int h = 8) {
        raw8.Create(w, h, 8);
        raw16.Create(w, h, 16);
        image24.Create(w, h, 24);
        image32.Create(w, h, 32);
        image48.Create(w, h, 48);
        image64.Create(w, h, 64);
        frame = {&raw8, &raw16, &image24, &image32, &image48, &image64, nullptr};
    }
};

bool SameBytes(const DibImage& a, const DibImage& b) {
    return a.ByteSize() == b.ByteSize() &&
           std::equal(a.Pixels(), a.Pixels() + a.ByteSize(), b.Pixels());
}

class RecordingHooks : public FrameConversionHooks {
  public:
    void AutoExposure(const RawFrameView& raw, const ConversionParams&) override {
        calls.push_back("exposure " + std::to_string(raw.bytesPerPixel * 8));
        exposureFrame = raw.topRow;
    }
    void CorrectDefects(DibImage&, bool mask, bool dot) override {
        calls.push_back(std::string("defects") + (mask ? " mask" : "") + (dot ? " dot" : ""));
    }
    std::vector<std::string> calls;
    const uint8_t* exposureFrame = nullptr;
};

TEST(FrameConversion, GrayModesKeepTheRawFrameAsOutput) {
    Images im;
    FillRandom(im.raw8, 1);
    FillRandom(im.raw16, 2);
    DibImage before8, before16;
    ASSERT_TRUE(before8.Clone(&im.raw8));
    ASSERT_TRUE(before16.Clone(&im.raw16));
    std::copy_n(im.raw8.Pixels(), im.raw8.ByteSize(), before8.Pixels());
    std::copy_n(im.raw16.Pixels(), im.raw16.ByteSize(), before16.Pixels());
    ConversionParams p;
    p.colourMode = 8;
    EXPECT_EQ(FrameConverter::Convert(im.frame, p), 1);
    p.colourMode = 16;
    EXPECT_EQ(FrameConverter::Convert(im.frame, p), 1);
    EXPECT_TRUE(SameBytes(im.raw8, before8));
    EXPECT_TRUE(SameBytes(im.raw16, before16));
    EXPECT_EQ(FrameConverter::OutputImage(im.frame, 16), &im.raw16);
    EXPECT_EQ(FrameConverter::RawImage(im.frame, 64), &im.raw16);
    EXPECT_EQ(FrameConverter::RawImage(im.frame, 12), nullptr);
}

TEST(FrameConversion, ColourModesDemosaicTheRightRawImage) {
    for (const int mode : {24, 32, 48, 64}) {
        Images im;
        FillRandom(im.raw8, 3);
        FillRandom(im.raw16, 4);
        ConversionParams p;
        p.colourMode = mode;
        p.filters.bayerMode = 2;
        p.filters.bayerGainRed = 150;
        ASSERT_EQ(FrameConverter::Convert(im.frame, p), 1);
        DibImage expected;
        DibImage* output = FrameConverter::OutputImage(im.frame, mode);
        ASSERT_TRUE(expected.Clone(output));
        ASSERT_TRUE(Demosaic(*FrameConverter::RawImage(im.frame, mode), expected,
                             BayerGains{2, 150, 100, 100}));
        EXPECT_TRUE(SameBytes(*output, expected)) << mode;
    }
}

// A frame converted where it lies (rows packed, as the engine's ring holds them) gives the
// bytes of the same frame converted from the raw image, with every step that follows the
// demosaic and automatic exposure on that frame; the raw image is not touched.
TEST(FrameConversion, AFrameConvertedWhereItLiesMatchesTheRawImagesConversion) {
    for (const int mode : {24, 32, 48, 64}) {
        SCOPED_TRACE(mode);
        // 22 pixels: 8-bit rows of the raw image are padded to 24 bytes, the lent rows are not.
        Images lent(22, 8), copied(22, 8);
        DibImage& raw = *FrameConverter::RawImage(copied.frame, mode);
        FillRandom(raw, 7);
        const int rowBytes = raw.Width() * raw.BytesPerPixel();
        std::vector<uint8_t> ring(static_cast<size_t>(rowBytes) * raw.Height());
        for (int y = 0; y < raw.Height(); ++y)
            std::copy_n(raw.Pixels() + y * raw.Stride(), rowBytes, ring.data() + y * rowBytes);
        DibImage& lentRaw = *FrameConverter::RawImage(lent.frame, mode);
        FillRandom(lentRaw, 9);
        DibImage before;
        ASSERT_TRUE(before.Clone(&lentRaw));
        std::copy_n(lentRaw.Pixels(), lentRaw.ByteSize(), before.Pixels());

        ConversionParams p;
        p.colourMode = mode;
        p.filters.bayerMode = 3;
        p.filters.bayerGainBlue = 170;
        p.filters.gamma = 80;
        p.filters.hue = 30;
        p.mirrorH = p.mirrorHInHardware = true;
        p.autoExposureMode = 1;
        ConversionParams q = p;
        RecordingHooks hooksLent, hooksCopied;
        const RawFrameView view{ring.data(), rowBytes, raw.Width(), raw.Height(),
                                raw.BytesPerPixel()};
        ASSERT_TRUE(FrameConverter::ReadsRawOnly(p));
        ASSERT_EQ(FrameConverter::ConvertFrom(view, lent.frame, p, &hooksLent), 1);
        ASSERT_EQ(FrameConverter::Convert(copied.frame, q, &hooksCopied), 1);
        EXPECT_TRUE(SameBytes(*FrameConverter::OutputImage(lent.frame, mode),
                              *FrameConverter::OutputImage(copied.frame, mode)));
        EXPECT_TRUE(SameBytes(lentRaw, before)) << "the raw image was written";
        EXPECT_EQ(hooksLent.calls, hooksCopied.calls);
        EXPECT_EQ(hooksLent.exposureFrame, ring.data());
    }
}

// Steps that write the raw frame, and the gray modes, need the raw image: such a frame is not
// converted where it lies, and nothing changes.
TEST(FrameConversion, AFrameIsConvertedWhereItLiesOnlyWhenNoStepWritesIt) {
    Images im;
    FillRandom(im.raw8, 11);
    std::vector<uint8_t> ring(im.raw8.ByteSize(), 0x55);
    const RawFrameView view{ring.data(), im.raw8.Stride(), im.raw8.Width(), im.raw8.Height(), 1};
    ConversionParams plain;
    plain.colourMode = 24;
    ASSERT_TRUE(FrameConverter::ReadsRawOnly(plain));
    std::vector<ConversionParams> refused(6, plain);
    refused[0].colourMode = 8;
    refused[1].filters.maskFilter = 1;
    refused[2].filters.dotFilter = 1;
    refused[3].filters.bayerGainAuto = 1;
    refused[4].mirrorH = true;
    refused[5].mirrorV = true;
    for (ConversionParams& p : refused) {
        EXPECT_FALSE(FrameConverter::ReadsRawOnly(p));
        EXPECT_EQ(FrameConverter::ConvertFrom(view, im.frame, p), 0);
    }
    // A frame of another size than the raw image.
    RawFrameView narrow = view;
    narrow.width -= 4;
    EXPECT_EQ(FrameConverter::ConvertFrom(narrow, im.frame, plain), 0);
    EXPECT_EQ(Channel(im.image24, 0, 0, 0), 0) << "nothing converted";
}

TEST(FrameConversion, HardwareMirrorLeavesPixelsButMovesThePhase) {
    Images im, plain;
    FillRandom(im.raw8, 5);
    std::copy_n(im.raw8.Pixels(), im.raw8.ByteSize(), plain.raw8.Pixels());
    ConversionParams p;
    p.colourMode = 24;
    p.mirrorV = p.mirrorVInHardware = true;
    ASSERT_EQ(FrameConverter::Convert(im.frame, p), 1);
    EXPECT_TRUE(SameBytes(im.raw8, plain.raw8));
    // Mode 0 with the vertical flag demosaics as mode 1.
    ASSERT_TRUE(Demosaic(plain.raw8, plain.image24, BayerGains{1, 100, 100, 100}));
    EXPECT_TRUE(SameBytes(im.image24, plain.image24));

    p.mirrorH = p.mirrorHInHardware = true;  // both flags: mode 3
    ASSERT_EQ(FrameConverter::Convert(im.frame, p), 1);
    ASSERT_TRUE(Demosaic(plain.raw8, plain.image24, BayerGains{3, 100, 100, 100}));
    EXPECT_TRUE(SameBytes(im.image24, plain.image24));
}

TEST(FrameConversion, SoftwareMirrorTurnsTheRawFrameFirst) {
    Images im, plain;
    FillRandom(im.raw16, 6);
    std::copy_n(im.raw16.Pixels(), im.raw16.ByteSize(), plain.raw16.Pixels());
    ConversionParams p;
    p.colourMode = 48;
    p.filters.bayerMode = 0;
    p.mirrorH = true;  // the engine cannot: mirrored here
    ASSERT_EQ(FrameConverter::Convert(im.frame, p), 1);
    ASSERT_TRUE(MirrorRaw(plain.raw16, true, false));
    EXPECT_TRUE(SameBytes(im.raw16, plain.raw16));
    ASSERT_TRUE(Demosaic(plain.raw16, plain.image48, BayerGains{2, 100, 100, 100}));
    EXPECT_TRUE(SameBytes(im.image48, plain.image48));
}

TEST(FrameConversion, GrayModeTwoReplacesSamplesByLuminance) {
    Images im;
    test::FillFlat(im.raw8, 120);
    ConversionParams p;
    p.colourMode = 8;
    p.filters.grayMode = 2;
    p.filters.bayerGainRed = 200;  // red doubled: (240 x 30 + 120 x 59 + 120 x 11) / 100
    ASSERT_EQ(FrameConverter::Convert(im.frame, p), 1);
    EXPECT_EQ(Channel(im.raw8, 0, 0, 0), (240u * 30 + 120 * 59 + 120 * 11) / 100);
    EXPECT_EQ(Channel(im.raw8, 23, 7, 0), (240u * 30 + 120 * 59 + 120 * 11) / 100);
}

TEST(FrameConversion, HooksRunFirstAndInOrder) {
    Images im;
    RecordingHooks hooks;
    ConversionParams p;
    p.colourMode = 16;
    ASSERT_EQ(FrameConverter::Convert(im.frame, p, &hooks), 1);
    EXPECT_TRUE(hooks.calls.empty());
    p.autoExposureMode = 1;
    p.filters.dotFilter = true;
    ASSERT_EQ(FrameConverter::Convert(im.frame, p, &hooks), 1);
    EXPECT_EQ(hooks.calls, (std::vector<std::string>{"exposure 16", "defects dot"}));
}

TEST(FrameConversion, MissingOrMismatchedImagesDoNothing) {
    Images im;
    ConversionParams p;
    p.colourMode = 32;
    DibImage empty;
    FrameImages frame = im.frame;
    frame.image32 = &empty;
    RecordingHooks hooks;
    p.autoExposureMode = 2;
    EXPECT_EQ(FrameConverter::Convert(frame, p, &hooks), 0);
    EXPECT_TRUE(hooks.calls.empty());
    DibImage small;
    ASSERT_TRUE(small.Create(8, 8, 32));
    frame.image32 = &small;
    EXPECT_EQ(FrameConverter::Convert(frame, p), 0);
    p.colourMode = 12;
    EXPECT_EQ(FrameConverter::Convert(im.frame, p), 0);
}

TEST(FrameConversion, GammaRunsBeforeContrast) {
    Images im;
    test::FillFlat(im.raw8, 150);
    ConversionParams p;
    p.colourMode = 8;
    p.filters.gamma = 50;      // 150 -> 255 x (150 / 255)^2 = 88
    p.filters.contrast = 100;  // 88 is below the cut at 100 -> 0
    ASSERT_EQ(FrameConverter::Convert(im.frame, p), 1);
    // The other order would give contrast 150 -> 228, then gamma 228 -> 203.
    EXPECT_EQ(Channel(im.raw8, 5, 5, 0), 0u);
}

TEST(FrameConversion, ColourAdjustmentsFollowTheDemosaicInOrder) {
    for (const int mode : {24, 64}) {
        Images im;
        FillRandom(im.raw8, 21);
        FillRandom(im.raw16, 22, true);
        DibImage work;
        DibImage* output = FrameConverter::OutputImage(im.frame, mode);
        ASSERT_TRUE(work.Create(output->Width(), output->Height(), mode));
        FrameImages frame = im.frame;
        frame.work = &work;
        ConversionParams p;
        p.colourMode = mode;
        p.filters.hue = 75;
        p.filters.saturation = 40;
        p.filters.gamma = 140;
        p.filters.contrast = 20;
        p.filters.sharpness = 12;
        p.filters.brightness = 30;
        ASSERT_EQ(FrameConverter::Convert(frame, p), 1);

        DibImage expected, scratch;
        ASSERT_TRUE(expected.Clone(output));
        ASSERT_TRUE(scratch.Clone(output));
        ASSERT_TRUE(Demosaic(*FrameConverter::RawImage(im.frame, mode), expected, BayerGains{}));
        ASSERT_TRUE(ApplyHueSaturation(expected, 75, 40));
        ASSERT_TRUE(ApplyGamma(expected, 140));
        ASSERT_TRUE(ApplyContrast(expected, 20));
        ASSERT_TRUE(ApplySharpness(expected, &scratch, 12));
        ASSERT_TRUE(ApplyBrightness(expected, 30));
        EXPECT_TRUE(SameBytes(*output, expected)) << mode;
    }
}

TEST(FrameConversion, GrayModeOneBalancesOnRequestAndCountsItDown) {
    Images im(16, 8);
    // Mode 0: even rows G1, R; odd rows B, G2.
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 16; ++x) {
            const int phase = (y & 1) * 2 + (x & 1);
            test::SetSample(im.raw8, x, y, std::array<uint32_t, 4>{100, 50, 80, 200}[phase]);
        }
    }
    ConversionParams p;
    p.colourMode = 8;
    p.filters.grayMode = 1;
    p.filters.autoGrayBalance = 1;
    ASSERT_EQ(FrameConverter::Convert(im.frame, p), 1);
    EXPECT_EQ(p.filters.autoGrayBalance, 0);
    EXPECT_EQ(p.filters.grayGainR, 256);
    EXPECT_EQ(p.filters.grayGainB, 160);
    EXPECT_EQ(p.filters.grayGainG2, 64);
    for (int x = 0; x < 2; ++x) {
        EXPECT_EQ(Channel(im.raw8, x, 0, 0), 100u);
        EXPECT_EQ(Channel(im.raw8, x, 1, 0), 100u);
    }
    // Without a request the gains stay and apply.
    test::FillFlat(im.raw8, 40);
    ASSERT_EQ(FrameConverter::Convert(im.frame, p), 1);
    EXPECT_EQ(p.filters.grayGainR, 256);
    EXPECT_EQ(Channel(im.raw8, 1, 0, 0), 80u);
    EXPECT_EQ(Channel(im.raw8, 0, 0, 0), 40u);
}

TEST(FrameConversion, AutomaticBayerGainUsesTheMirroredPhase) {
    Images im(16, 8);
    // Mode 0 as delivered: green 100, blue (even rows, odd columns) 200, red 50.
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 16; ++x) {
            const int phase = (y & 1) * 2 + (x & 1);
            test::SetSample(im.raw8, x, y, std::array<uint32_t, 4>{100, 200, 50, 100}[phase]);
        }
    }
    ConversionParams p;
    p.colourMode = 24;
    p.filters.bayerGainAuto = 1;
    ASSERT_EQ(FrameConverter::Convert(im.frame, p), 1);
    EXPECT_NEAR(p.filters.bayerGainRed, 200, 1);
    EXPECT_NEAR(p.filters.bayerGainBlue, 50, 1);
    EXPECT_EQ(p.filters.bayerGainAuto, 1) << "the flag stays set";
    // Read out mirrored by the sensor, the frame is mode 1: the former blue and red samples
    // are green (mean 125), the former greens are red and blue.
    p.mirrorV = p.mirrorVInHardware = true;
    ASSERT_EQ(FrameConverter::Convert(im.frame, p), 1);
    EXPECT_NEAR(p.filters.bayerGainRed, 125, 1);
    EXPECT_NEAR(p.filters.bayerGainBlue, 125, 1);
    // The demosaic used the new gains: red of an interior pixel is 100 x 1.25.
    EXPECT_NEAR(static_cast<int>(Channel(im.image24, 8, 4, 2)), 125, 2);
}

}  // namespace
}  // namespace velcor
