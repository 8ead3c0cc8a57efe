#include "imaging/PixelMask.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "imaging/ImagingTestSupport.h"

namespace velcor {
namespace {

using test::Channel;
using test::FillFlat;
using test::FillRandom;
using test::SetSample;

constexpr int kW = PixelMask::kWidth;
constexpr int kH = PixelMask::kHeight;

bool SamePixels(const DibImage& a, const DibImage& b) {
    return a.ByteSize() == b.ByteSize() && std::memcmp(a.Pixels(), b.Pixels(), a.ByteSize()) == 0;
}

// A whole-sensor frame of one value.
DibImage& FlatFrame(DibImage& image, int bits, uint32_t value) {
    image.Create(kW, kH, bits);
    FillFlat(image, value);
    return image;
}

class PixelMaskTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(mask_.Create()); }

    // Uniform references of one depth.
    void SetReferences(int bits, uint32_t dark, uint32_t bright) {
        DibImage frame;
        ASSERT_TRUE(mask_.UpdateReference(FlatFrame(frame, bits, dark), 0));
        ASSERT_TRUE(mask_.UpdateReference(FlatFrame(frame, bits, bright), 1));
    }

    // Random references at both depths, so every plane differs from every other.
    void SetRandomReferences(unsigned seed) {
        for (int bits : {8, 16}) {
            for (int kind : {0, 1}) {
                DibImage frame;
                frame.Create(kW, kH, bits);
                FillRandom(frame, seed++, bits == 16);
                ASSERT_TRUE(mask_.UpdateReference(frame, kind));
            }
        }
    }

    // Copies of all ten planes, to tell whether any changed.
    std::vector<std::vector<uint8_t>> Snapshot() const {
        std::vector<std::vector<uint8_t>> planes;
        for (int i = 0; i < kMaskPlaneCount; ++i) {
            const DibImage& p = mask_.Plane(static_cast<MaskPlane>(i));
            planes.emplace_back(p.Pixels(), p.Pixels() + p.ByteSize());
        }
        return planes;
    }

    PixelMask mask_;
};

// ---- Planes and maps -------------------------------------------------------------------------

TEST_F(PixelMaskTest, PlanesStartClearedAndAClearedMaskChangesNothing) {
    for (int i = 0; i < kMaskPlaneCount; ++i) {
        const DibImage& p = mask_.Plane(static_cast<MaskPlane>(i));
        EXPECT_EQ(p.Width(), kW);
        EXPECT_EQ(p.Height(), kH);
        EXPECT_EQ(p.Stride(), i < 5 ? 1280 : 2560);
        EXPECT_EQ(std::count(p.Pixels(), p.Pixels() + p.ByteSize(), 0),
                  static_cast<ptrdiff_t>(p.ByteSize()))
            << "plane " << i;
    }
    for (int bits : {8, 16}) {
        DibImage frame;
        frame.Create(kW, kH, bits);
        FillRandom(frame, 7);
        DibImage before;
        before.Create(kW, kH, bits);
        std::memcpy(before.Pixels(), frame.Pixels(), frame.ByteSize());
        mask_.CorrectFlatField(frame, 0, 0);
        EXPECT_TRUE(SamePixels(frame, before)) << bits;
    }
}

TEST_F(PixelMaskTest, MapsMarkHotAndDeadPixelsInsideATwoPixelBorder) {
    DibImage dark8, bright8;
    FlatFrame(dark8, 8, 0);
    FlatFrame(bright8, 8, 255);
    SetSample(dark8, 100, 100, 193);
    SetSample(dark8, 101, 100, 192);
    SetSample(dark8, 1, 500, 255);  // in the border: never marked
    SetSample(bright8, 200, 300, 63);
    SetSample(bright8, 201, 300, 64);
    SetSample(bright8, 500, kH - 2, 0);
    DibImage dark16, bright16;
    FlatFrame(dark16, 16, 0);
    FlatFrame(bright16, 16, 65535);
    SetSample(dark16, 10, 20, 3073);
    SetSample(dark16, 11, 20, 3072);
    SetSample(bright16, 30, 40, 1023);
    SetSample(bright16, 31, 40, 1024);
    SetSample(bright16, kW - 1, 40, 0);
    ASSERT_TRUE(mask_.UpdateReference(dark8, 0));
    ASSERT_TRUE(mask_.UpdateReference(bright8, 1));
    ASSERT_TRUE(mask_.UpdateReference(dark16, 0));
    ASSERT_TRUE(mask_.UpdateReference(bright16, 1));

    const DibImage& hot8 = mask_.Plane(MaskPlane::kHot8);
    const DibImage& dead8 = mask_.Plane(MaskPlane::kDead8);
    const DibImage& hot16 = mask_.Plane(MaskPlane::kHot16);
    const DibImage& dead16 = mask_.Plane(MaskPlane::kDead16);
    EXPECT_EQ(Channel(hot8, 100, 100, 0), 1u);
    EXPECT_EQ(Channel(hot8, 101, 100, 0), 0u);
    EXPECT_EQ(Channel(hot8, 1, 500, 0), 0u);
    EXPECT_EQ(Channel(dead8, 200, 300, 0), 1u);
    EXPECT_EQ(Channel(dead8, 201, 300, 0), 0u);
    EXPECT_EQ(Channel(dead8, 500, kH - 2, 0), 0u);
    EXPECT_EQ(Channel(hot16, 10, 20, 0), 1u);
    EXPECT_EQ(Channel(hot16, 11, 20, 0), 0u);
    EXPECT_EQ(Channel(dead16, 30, 40, 0), 1u);
    EXPECT_EQ(Channel(dead16, 31, 40, 0), 0u);
    EXPECT_EQ(Channel(dead16, kW - 1, 40, 0), 0u);
    // One mark each, nowhere else.
    for (const DibImage* map : {&hot8, &dead8}) {
        EXPECT_EQ(std::count(map->Pixels(), map->Pixels() + map->ByteSize(), 1), 1);
    }
}

TEST_F(PixelMaskTest, UpdateTakesOnlyWholeSensorFramesOfAKnownKind) {
    SetRandomReferences(3);
    const auto before = Snapshot();
    DibImage windowed;
    windowed.Create(640, 512, 8);
    FillFlat(windowed, 77);
    EXPECT_FALSE(mask_.UpdateReference(windowed, 1));
    DibImage whole;
    EXPECT_FALSE(mask_.UpdateReference(FlatFrame(whole, 8, 77), 2));
    EXPECT_FALSE(mask_.UpdateReference(whole, -1));
    DibImage colour;
    colour.Create(kW, kH, 24);
    EXPECT_FALSE(mask_.UpdateReference(colour, 0));
    EXPECT_EQ(Snapshot(), before);
}

// ---- Mask file -------------------------------------------------------------------------------

TEST_F(PixelMaskTest, SaveThenLoadReproducesEveryReferenceAndRebuildsTheMapsAlike) {
    SetRandomReferences(11);
    const std::vector<uint8_t> file = mask_.SaveFile();
    ASSERT_EQ(file.size(), 7'864'360u);
    EXPECT_EQ(std::memcmp(file.data(), "MONIVA MASK1000\0", 16), 0);
    const int32_t header[6] = {1280, 1024, 0x140000, 0x140000, 0x280000, 0x280000};
    EXPECT_EQ(std::memcmp(file.data() + 16, header, sizeof(header)), 0);
    // Plane 3 (16-bit dark) starts at 2 621 480, little endian.
    const uint32_t first16 = Channel(mask_.Plane(MaskPlane::kDark16), 0, 0, 0);
    EXPECT_EQ(file[2'621'480], first16 & 0xFF);
    EXPECT_EQ(file[2'621'481], first16 >> 8);

    PixelMask loaded;
    ASSERT_TRUE(loaded.Create());
    ASSERT_TRUE(loaded.LoadFile(file.data(), file.size()));
    for (MaskPlane p :
         {MaskPlane::kDark8, MaskPlane::kBright8, MaskPlane::kHot8, MaskPlane::kDead8,
          MaskPlane::kDark16, MaskPlane::kBright16, MaskPlane::kHot16, MaskPlane::kDead16}) {
        EXPECT_TRUE(SamePixels(loaded.Plane(p), mask_.Plane(p))) << static_cast<int>(p);
    }
    EXPECT_EQ(loaded.SaveFile(), file);
}

TEST_F(PixelMaskTest, DamagedHeadersAreRefusedWithNoPlaneChanged) {
    SetRandomReferences(21);
    std::vector<uint8_t> file = mask_.SaveFile();
    ASSERT_EQ(PixelMask::CheckFile(file.data(), file.size()), MaskFileCheck::kOk);
    PixelMask other;
    ASSERT_TRUE(other.Create());
    SetRandomReferences(40);  // the mask now differs from the file
    const auto before = Snapshot();

    // Each byte of the magic, its zero byte included, and each header value.
    std::vector<size_t> offsets;
    for (size_t i = 0; i < 16; ++i)
        offsets.push_back(i);
    for (size_t field = 16; field < 40; field += 4)
        offsets.push_back(field);
    for (size_t at : offsets) {
        std::vector<uint8_t> damaged = file;
        damaged[at] ^= 0x01;
        EXPECT_EQ(PixelMask::CheckFile(damaged.data(), damaged.size()), MaskFileCheck::kBadHeader)
            << at;
        EXPECT_FALSE(mask_.LoadFile(damaged.data(), damaged.size())) << at;
    }
    EXPECT_EQ(PixelMask::CheckFile(file.data(), 39), MaskFileCheck::kBadHeader);
    EXPECT_EQ(PixelMask::CheckFile(nullptr, 0), MaskFileCheck::kBadHeader);
    EXPECT_EQ(Snapshot(), before);
}

TEST_F(PixelMaskTest, ShortFilesAreRefusedWithNoPlaneChangedAndLongerOnesLoad) {
    SetRandomReferences(31);
    std::vector<uint8_t> file = mask_.SaveFile();
    SetRandomReferences(50);
    const auto before = Snapshot();
    for (size_t size : {size_t{40}, size_t{1'310'760}, file.size() - 1}) {
        EXPECT_EQ(PixelMask::CheckFile(file.data(), size), MaskFileCheck::kTruncated) << size;
        EXPECT_FALSE(mask_.LoadFile(file.data(), size)) << size;
    }
    EXPECT_EQ(Snapshot(), before);

    // Bytes after the last plane are not part of the mask: such a file loads.
    file.push_back(0x5A);
    EXPECT_EQ(PixelMask::CheckFile(file.data(), file.size()), MaskFileCheck::kOk);
    EXPECT_TRUE(mask_.LoadFile(file.data(), file.size()));
    file.pop_back();
    EXPECT_EQ(mask_.SaveFile(), file);
}

// ---- Flat field ------------------------------------------------------------------------------

TEST_F(PixelMaskTest, FlatFieldSpreadsEightBitSamplesBetweenTheReferences) {
    SetReferences(8, 10, 210);
    DibImage frame;
    FlatFrame(frame, 8, 110);
    SetSample(frame, 100, 100, 5);
    SetSample(frame, 101, 100, 250);
    SetSample(frame, 102, 100, 10);
    SetSample(frame, 103, 100, 210);
    mask_.CorrectFlatField(frame, 0, 0);
    EXPECT_EQ(Channel(frame, 50, 50, 0), 128u);  // 100 x 256 / 200
    EXPECT_EQ(Channel(frame, 100, 100, 0), 0u);
    EXPECT_EQ(Channel(frame, 101, 100, 0), 255u);
    EXPECT_EQ(Channel(frame, 102, 100, 0), 0u);
    EXPECT_EQ(Channel(frame, 103, 100, 0), 255u);

    // Equal references leave the pixel; falling ones still divide (signed).
    SetReferences(8, 90, 90);
    FlatFrame(frame, 8, 123);
    mask_.CorrectFlatField(frame, 0, 0);
    EXPECT_EQ(Channel(frame, 640, 512, 0), 123u);
    SetReferences(8, 200, 100);
    FlatFrame(frame, 8, 150);
    mask_.CorrectFlatField(frame, 0, 0);
    EXPECT_EQ(Channel(frame, 640, 512, 0), 128u);  // -50 x 256 / -100
}

TEST_F(PixelMaskTest, FlatFieldGivesSixteenBitSamplesTwelveBitsAtTheTop) {
    SetReferences(16, 1000, 3000);
    DibImage frame;
    FlatFrame(frame, 16, 2000);
    SetSample(frame, 10, 10, 500);
    SetSample(frame, 11, 10, 4000);
    SetSample(frame, 12, 10, 1001);
    mask_.CorrectFlatField(frame, 0, 0);
    EXPECT_EQ(Channel(frame, 600, 600, 0), 2048u * 16);
    EXPECT_EQ(Channel(frame, 10, 10, 0), 0u);
    EXPECT_EQ(Channel(frame, 11, 10, 0), 4095u * 16);
    EXPECT_EQ(Channel(frame, 12, 10, 0), 2u * 16);  // 4096 / 2000

    // Dark equal to or above bright: unchanged.
    for (uint32_t bright : {3000u, 2999u}) {
        SetReferences(16, 3000, bright);
        FlatFrame(frame, 16, 1234);
        mask_.CorrectFlatField(frame, 0, 0);
        EXPECT_EQ(Channel(frame, 600, 600, 0), 1234u) << bright;
    }
}

TEST_F(PixelMaskTest, FlatFieldKeepsATwoPixelMarginOnlyForFullWidthOrHeight) {
    SetReferences(8, 10, 210);
    struct Case {
        int width, height, xStart, yStart, margin;
    };
    for (const Case& c : {Case{1280, 1024, 0, 0, 2}, Case{1280, 512, 0, 100, 2},
                          Case{640, 1024, 320, 0, 2}, Case{640, 512, 320, 100, 0}}) {
        DibImage frame;
        frame.Create(c.width, c.height, 8);
        FillFlat(frame, 110);
        mask_.CorrectFlatField(frame, c.xStart, c.yStart);
        int wrong = 0;
        for (int y = 0; y < c.height; ++y) {
            for (int x = 0; x < c.width; ++x) {
                const bool inside = x >= c.margin && x < c.width - c.margin && y >= c.margin &&
                                    y < c.height - c.margin;
                wrong += Channel(frame, x, y, 0) != (inside ? 128u : 110u);
            }
        }
        EXPECT_EQ(wrong, 0) << c.width << " x " << c.height;
    }
}

TEST_F(PixelMaskTest, FlatFieldOfAWindowReachingPastTheSensorReadsOnlyTheSensor) {
    // References that tell columns and rows apart, for the window's place on the sensor.
    DibImage dark, bright;
    FlatFrame(dark, 8, 0);
    FlatFrame(bright, 8, 0);
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x)
            SetSample(bright, x, y, x >= 1260 || y >= 1010 ? 200 : 100);
    }
    ASSERT_TRUE(mask_.UpdateReference(dark, 0));
    ASSERT_TRUE(mask_.UpdateReference(bright, 1));
    for (int bits : {8, 16}) {
        DibImage frame;
        frame.Create(64, 32, bits);
        FillFlat(frame, 50);
        mask_.CorrectFlatField(frame, 1250, 1000);  // 34 columns and 8 rows beyond the sensor
        if (bits == 16) continue;                   // no 16-bit references: only the bounds
        EXPECT_EQ(Channel(frame, 0, 0, 0), 128u);   // 50 x 256 / 100
        EXPECT_EQ(Channel(frame, 20, 20, 0), 64u);  // 50 x 256 / 200
        EXPECT_EQ(Channel(frame, 29, 23, 0), 64u);
        EXPECT_EQ(Channel(frame, 30, 5, 0), 50u) << "column 1280 has no reference";
        EXPECT_EQ(Channel(frame, 5, 24, 0), 50u) << "row 1024 has no reference";
        EXPECT_EQ(Channel(frame, 63, 31, 0), 50u);
    }
}

// ---- Dot correction --------------------------------------------------------------------------

// A frame of w x h whose sample at (x, y) is 2x + y + 50 (8 bits) or 16 times that (16 bits):
// every pixel equals the mean of its four neighbours.
void Ramp(DibImage& frame, int w, int h, int bits) {
    frame.Create(w, h, bits);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x)
            SetSample(frame, x, y, (2u * x + y + 50) * (bits == 16 ? 16 : 1));
    }
}

TEST_F(PixelMaskTest, DotCorrectionReplacesAnOutlierByItsNeighboursMean) {
    for (int bits : {8, 16}) {
        const uint32_t scale = bits == 16 ? 16 : 1;
        DibImage frame;
        Ramp(frame, 64, 64, bits);
        const uint32_t base = (2 * 20 + 30 + 50) * scale;
        // Just at the threshold: marked. One below it, elsewhere: left alone.
        const uint32_t threshold = bits == 16 ? 480 : 30;
        SetSample(frame, 20, 30, base + threshold);
        SetSample(frame, 40, 40, (2 * 40 + 40 + 50) * scale - (threshold - 1));
        mask_.CorrectDots(frame, 0, 0);
        EXPECT_EQ(Channel(frame, 20, 30, 0), base) << bits;
        EXPECT_EQ(Channel(frame, 40, 40, 0), (2 * 40 + 40 + 50) * scale - (threshold - 1)) << bits;
        const MaskPlane dots = bits == 16 ? MaskPlane::kDot16 : MaskPlane::kDot8;
        EXPECT_EQ(Channel(mask_.Plane(dots), 20, 30, 0), 1u);
        EXPECT_EQ(Channel(mask_.Plane(dots), 19, 30, 0), 0u);
    }
}

TEST_F(PixelMaskTest, DotCorrectionTakesTheNearestUnmarkedPixelInEachDirection) {
    DibImage frame;
    frame.Create(32, 32, 8);
    FillFlat(frame, 100);
    // A horizontal run of three outliers, an unmarked 120 left of it and a marked 60 beyond:
    // each pixel of the run takes 120 from the left, 100 from the right, above and below.
    SetSample(frame, 7, 10, 60);
    SetSample(frame, 8, 10, 120);
    for (int x = 9; x <= 11; ++x)
        SetSample(frame, x, 10, 200);
    // The same vertically, with the unmarked 120 below.
    for (int y = 10; y <= 12; ++y)
        SetSample(frame, 20, y, 200);
    SetSample(frame, 20, 13, 120);
    mask_.CorrectDots(frame, 0, 0);
    for (int x = 9; x <= 11; ++x)
        EXPECT_EQ(Channel(frame, x, 10, 0), 105u) << x;
    for (int y = 10; y <= 12; ++y)
        EXPECT_EQ(Channel(frame, 20, y, 0), 105u) << y;
    EXPECT_EQ(Channel(frame, 7, 10, 0), 105u);  // (100 + 120 + 100 + 100) / 4
    EXPECT_EQ(Channel(frame, 8, 10, 0), 120u);
    EXPECT_EQ(Channel(frame, 20, 13, 0), 120u);
}

TEST_F(PixelMaskTest, DotCorrectionOfAFrameMarkedThroughoutReachesTheBands) {
    // Every pixel mapped hot: each one takes the unmarked pixels of the outer bands in its row
    // and column, however far away.
    DibImage dark;
    ASSERT_TRUE(mask_.UpdateReference(FlatFrame(dark, 8, 255), 0));
    DibImage frame, before;
    frame.Create(kW, kH, 8);
    before.Create(kW, kH, 8);
    FillRandom(frame, 12);
    std::memcpy(before.Pixels(), frame.Pixels(), frame.ByteSize());
    mask_.CorrectDots(frame, 0, 0);
    int wrong = 0;
    for (int y = 4; y < kH - 4; ++y) {
        for (int x = 4; x < kW - 4; ++x) {
            const uint32_t expected = (Channel(before, 3, y, 0) + Channel(before, kW - 4, y, 0) +
                                       Channel(before, x, 3, 0) + Channel(before, x, kH - 4, 0)) /
                                      4;
            wrong += Channel(frame, x, y, 0) != expected;
        }
    }
    EXPECT_EQ(wrong, 0);
}

TEST_F(PixelMaskTest, DotCorrectionNeverChangesTheOuterFourRowsAndColumns) {
    for (int bits : {8, 16}) {
        DibImage frame;
        frame.Create(48, 40, bits);
        FillRandom(frame, 5, true);
        DibImage before;
        before.Create(48, 40, bits);
        std::memcpy(before.Pixels(), frame.Pixels(), frame.ByteSize());
        // Hot pixels in the band as well.
        DibImage dark;
        FlatFrame(dark, bits, bits == 16 ? 65535 : 255);
        ASSERT_TRUE(mask_.UpdateReference(dark, 0));
        mask_.CorrectDots(frame, 0, 0);
        int changedInside = 0;
        for (int y = 0; y < 40; ++y) {
            for (int x = 0; x < 48; ++x) {
                const bool band = x < 4 || x >= 44 || y < 4 || y >= 36;
                const bool changed = Channel(frame, x, y, 0) != Channel(before, x, y, 0);
                if (band) {
                    EXPECT_FALSE(changed) << bits << ": " << x << ", " << y;
                } else {
                    changedInside += changed;
                }
            }
        }
        EXPECT_GT(changedInside, 0) << bits;
    }
}

TEST_F(PixelMaskTest, DotCorrectionReplacesMappedDefectsAtTheirSensorPosition) {
    DibImage dark;
    FlatFrame(dark, 8, 0);
    SetSample(dark, 120, 230, 255);  // hot at sensor (120, 230)
    ASSERT_TRUE(mask_.UpdateReference(dark, 0));
    DibImage frame;
    frame.Create(64, 64, 8);
    FillFlat(frame, 100);
    SetSample(frame, 20, 30, 110);  // no outlier, but mapped: the window starts at (100, 200)
    SetSample(frame, 21, 30, 110);  // an outlier neither
    mask_.CorrectDots(frame, 100, 200);
    EXPECT_EQ(Channel(frame, 20, 30, 0), (100u + 110u + 100u + 100u) / 4);
    EXPECT_EQ(Channel(frame, 21, 30, 0), 110u);
}

TEST_F(PixelMaskTest, DotCorrectionOfSmallFramesMarksNothingOutsideThem) {
    for (int size : {1, 4, 8}) {
        DibImage frame;
        frame.Create(size, size, 8);
        FillRandom(frame, 9);
        std::vector<uint8_t> before(frame.Pixels(), frame.Pixels() + frame.ByteSize());
        mask_.CorrectDots(frame, 0, 0);
        EXPECT_TRUE(std::equal(before.begin(), before.end(), frame.Pixels())) << size;
    }
    // 9 x 9 has one pixel to mark: the centre.
    DibImage frame;
    frame.Create(9, 9, 8);
    FillFlat(frame, 100);
    SetSample(frame, 4, 4, 0);
    mask_.CorrectDots(frame, 0, 0);
    EXPECT_EQ(Channel(frame, 4, 4, 0), 100u);
}

// ---- Vector kernels against the plain path -----------------------------------------------------

// Runs the correction once with the vector kernels and once with the plain ones, on copies of
// the frame, and wants the same bytes (and the same dot marks).
template <typename Correct>
void ExpectPathsAgree(PixelMask& mask, const DibImage& frame, Correct correct, const char* what) {
    DibImage vector, portable;
    ASSERT_TRUE(test::CopyImage(frame, vector));
    ASSERT_TRUE(test::CopyImage(frame, portable));
    const MaskPlane dotPlane = frame.Bits() == 8 ? MaskPlane::kDot8 : MaskPlane::kDot16;
    correct(vector);
    DibImage vectorDots;
    ASSERT_TRUE(test::CopyImage(mask.Plane(dotPlane), vectorDots));
    {
        test::PortableKernels plain;
        correct(portable);
    }
    EXPECT_TRUE(SamePixels(vector, portable)) << what << ", " << frame.Bits() << " bits";
    EXPECT_TRUE(SamePixels(vectorDots, mask.Plane(dotPlane)))
        << what << ", " << frame.Bits() << " bits: dot marks";
}

TEST_F(PixelMaskTest, FlatFieldKernelsAgreeForEveryEightBitReferencePair) {
    // Across the sensor every (dark, bright) pair occurs twenty times, each with another
    // random sample.
    DibImage dark, bright, frame;
    ASSERT_TRUE(dark.Create(kW, kH, 8) && bright.Create(kW, kH, 8) && frame.Create(kW, kH, 8));
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) {
            const uint32_t p = static_cast<uint32_t>(y * kW + x);
            SetSample(dark, x, y, p & 255);
            SetSample(bright, x, y, (p >> 8) & 255);
        }
    }
    ASSERT_TRUE(mask_.UpdateReference(dark, 0));
    ASSERT_TRUE(mask_.UpdateReference(bright, 1));
    for (unsigned seed : {1u, 2u}) {
        FillRandom(frame, seed);
        ExpectPathsAgree(
            mask_, frame, [&](DibImage& im) { mask_.CorrectFlatField(im, 0, 0); }, "flat field");
    }
    // A window off the sensor's origin, with a width that leaves tails.
    DibImage window;
    ASSERT_TRUE(window.Create(333, 51, 8));
    FillRandom(window, 3);
    ExpectPathsAgree(
        mask_, window, [&](DibImage& im) { mask_.CorrectFlatField(im, 1001, 17); }, "window");
}

TEST_F(PixelMaskTest, FlatFieldKernelsAgreeOnSixteenBitsWithClosePairs) {
    // Random references over the whole range, and references a few apart, where the
    // quotients come nearest to whole numbers.
    DibImage dark, bright, frame;
    ASSERT_TRUE(dark.Create(kW, kH, 16) && bright.Create(kW, kH, 16) && frame.Create(kW, kH, 16));
    FillRandom(dark, 11, true);
    FillRandom(bright, 12, true);
    for (int y = 0; y < kH; y += 2) {
        for (int x = 0; x < kW; ++x) {
            const uint32_t d = Channel(dark, x, y, 0) / 2;
            SetSample(dark, x, y, d);
            SetSample(bright, x, y, d + 1 + static_cast<uint32_t>(x % 97));
        }
    }
    ASSERT_TRUE(mask_.UpdateReference(dark, 0));
    ASSERT_TRUE(mask_.UpdateReference(bright, 1));
    FillRandom(frame, 13, true);
    ExpectPathsAgree(
        mask_, frame, [&](DibImage& im) { mask_.CorrectFlatField(im, 0, 0); }, "flat field");
    DibImage window;
    ASSERT_TRUE(window.Create(77, 40, 16));
    FillRandom(window, 14, true);
    ExpectPathsAgree(
        mask_, window, [&](DibImage& im) { mask_.CorrectFlatField(im, -5, 1000); }, "window");
}

TEST_F(PixelMaskTest, DotCorrectionKernelsAgreeOnTexturedFramesWithDefects) {
    for (const int bits : {8, 16}) {
        const uint32_t max = bits == 8 ? 255 : 4095;
        const uint32_t scale = bits == 8 ? 1 : 16;
        // Even references with a few hundred hot and dead pixels.
        for (int kind : {0, 1}) {
            DibImage reference;
            FlatFrame(reference, bits, (kind == 0 ? 10 : 200) * scale);
            std::mt19937 spots(static_cast<unsigned>(bits + kind));
            std::uniform_int_distribution<int> sx(0, kW - 1), sy(0, kH - 1);
            for (int i = 0; i < 400; ++i)
                SetSample(reference, sx(spots), sy(spots), (kind == 0 ? 250 : 5) * scale);
            ASSERT_TRUE(mask_.UpdateReference(reference, kind));
        }
        // Gentle texture (few outliers of its own), then scattered extremes and short runs.
        DibImage frame;
        ASSERT_TRUE(frame.Create(kW, kH, bits));
        std::mt19937 gen(bits);
        std::uniform_int_distribution<uint32_t> noise(0, max / 64);
        for (int y = 0; y < kH; ++y) {
            for (int x = 0; x < kW; ++x)
                SetSample(frame, x, y, max / 2 + (x + y) % 8 + noise(gen));
        }
        std::uniform_int_distribution<int> col(0, kW - 1), row(0, kH - 1);
        for (int i = 0; i < 3000; ++i) {
            const int x = col(gen), y = row(gen);
            for (int k = 0; k < 1 + i % 5 && x + k < kW; ++k)
                SetSample(frame, x + k, y, i % 2 == 0 ? max : 0);
        }
        ExpectPathsAgree(
            mask_, frame, [&](DibImage& im) { mask_.CorrectDots(im, 0, 0); }, "dots");
        DibImage window;
        ASSERT_TRUE(window.Create(301, 45, bits));
        for (int y = 0; y < 45; ++y) {
            for (int x = 0; x < 301; ++x)
                SetSample(window, x, y, Channel(frame, x + 500, y + 300, 0));
        }
        ExpectPathsAgree(
            mask_, window, [&](DibImage& im) { mask_.CorrectDots(im, 1100, -3); }, "window");
    }
}

}  // namespace
}  // namespace velcor
