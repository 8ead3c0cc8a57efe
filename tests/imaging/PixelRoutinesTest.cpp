#include "imaging/PixelRoutines.h"

#include <gtest/gtest.h>

#include <cstring>

#include "imaging/ImagingTestSupport.h"

namespace velcor {
namespace {

using test::Channel;
using test::PixelAt;

void SetWords(DibImage& image, int x, int y, std::initializer_list<uint16_t> words) {
    uint8_t* p = PixelAt(image, x, y);
    for (uint16_t w : words) {
        std::memcpy(p, &w, 2);
        p += 2;
    }
}

TEST(DibImageLayout, StridePadsEveryRowToFourBytes) {
    for (const auto& [w, bits, stride] :
         {std::tuple{5, 8, 8}, {3, 24, 12}, {7, 16, 16}, {1, 48, 8}, {3, 32, 12}}) {
        DibImage image;
        ASSERT_TRUE(image.Create(w, 3, bits));
        EXPECT_EQ(image.Stride(), stride) << w << "x" << bits;
        EXPECT_EQ(image.ByteSize(), static_cast<size_t>(stride) * 3);
        EXPECT_EQ(image.Info().header.biHeight, 3);  // bottom-up for the display
        EXPECT_EQ(image.Info().header.biBitCount, bits);
    }
    DibImage image;
    EXPECT_FALSE(image.Create(0, 3, 8));
    EXPECT_FALSE(image.Create(3, 3, 0));
    EXPECT_TRUE(image.Empty());
    EXPECT_EQ(image.Info().header.biSize, 40u);
}

TEST(DibImageLayout, CloneTakesTheFormatWithFreshPixels) {
    DibImage source, copy;
    ASSERT_TRUE(source.Create(6, 4, 8));
    const RgbQuad red{0, 0, 255, 0};
    source.SetColourTable(2, &red, 7, 1);
    source.FillBytes(9);
    ASSERT_TRUE(copy.Clone(&source));
    EXPECT_EQ(copy.Width(), 6);
    EXPECT_EQ(copy.Height(), 4);
    EXPECT_EQ(copy.Stride(), 8);
    EXPECT_EQ(copy.Info().colours[7].rgbRed, 255);
    EXPECT_EQ(copy.Pixels()[0], 0);
    DibImage empty;
    EXPECT_FALSE(copy.Clone(&empty));
    EXPECT_FALSE(copy.Clone(nullptr));
}

TEST(DibImageLayout, ColourTableEntriesStayInTheTable) {
    DibImage image;
    ASSERT_TRUE(image.Create(4, 4, 8));
    RgbQuad entries[8] = {};
    for (auto& e : entries)
        e = RgbQuad{1, 2, 3, 0};
    EXPECT_EQ(image.SetColourTable(2, entries, 252, 8), 1);  // only four fit
    EXPECT_EQ(image.Info().colours[255].rgbBlue, 1);
    EXPECT_EQ(image.Info().colours[251].rgbBlue, 251);
    EXPECT_EQ(image.SetColourTable(0, nullptr, 0, 0), 1);
    EXPECT_EQ(image.Info().colours[255].rgbBlue, 255);
}

TEST(DibImageLayout, BlitConvertsGrayThroughTheColourTable) {
    DibImage gray, colour;
    ASSERT_TRUE(gray.Create(3, 2, 8));
    ASSERT_TRUE(colour.Create(3, 2, 24));
    gray.Pixels()[0] = 17;
    gray.Pixels()[gray.Stride() + 2] = 200;
    ASSERT_TRUE(DibImage::Blit(colour, gray, 0, 0));
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(Channel(colour, 0, 0, c), 17u);
        EXPECT_EQ(Channel(colour, 2, 1, c), 200u);
    }
    // Display y counts from the bottom picture row: y = 1 lifts the source one row.
    DibImage tall;
    ASSERT_TRUE(tall.Create(3, 4, 24));
    ASSERT_TRUE(DibImage::Blit(tall, gray, 0, 1));
    EXPECT_EQ(Channel(tall, 0, 1, 0), 17u);
    EXPECT_EQ(Channel(tall, 2, 2, 0), 200u);
    DibImage wide;
    ASSERT_TRUE(wide.Create(3, 2, 48));
    EXPECT_FALSE(DibImage::Blit(wide, gray, 0, 0));
}

// 16-bit source 3 x 2 with known words; checks each reduction and the row order.
class Reductions : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(gray16.Create(3, 2, 16));
        SetWords(gray16, 0, 0, {0xABCD});
        SetWords(gray16, 2, 0, {0x0FF4});
        SetWords(gray16, 1, 1, {0x1234});
        ASSERT_TRUE(gray8.Create(3, 2, 8));
    }
    DibImage gray16, gray8;
};

TEST_F(Reductions, GrayHighByteKeepsRowsOrFlipsThem) {
    ASSERT_EQ(RectangleOperation(&gray8, routines::GrayHighByte, &gray16, nullptr, 0, 0), 1);
    EXPECT_EQ(Channel(gray8, 0, 0, 0), 0xABu);
    EXPECT_EQ(Channel(gray8, 1, 1, 0), 0x12u);
    ASSERT_EQ(RectangleOperation(&gray8, routines::GrayHighByteFlipped, &gray16, nullptr, 0, 0), 1);
    EXPECT_EQ(Channel(gray8, 0, 1, 0), 0xABu);
    EXPECT_EQ(Channel(gray8, 1, 0, 0), 0x12u);
}

TEST_F(Reductions, TenBitGrayTakesBitsTwoToNine) {
    ASSERT_EQ(RectangleOperation(&gray8, routines::Gray10BitFlipped, &gray16, nullptr, 0, 0), 1);
    EXPECT_EQ(Channel(gray8, 0, 1, 0), (0xABCDu >> 2) & 0xFF);
    EXPECT_EQ(Channel(gray8, 2, 1, 0), (0x0FF4u >> 2) & 0xFF);
}

TEST_F(Reductions, RoutinesRefuseDepthsTheyDoNotConvert) {
    EXPECT_EQ(RectangleOperation(&gray16, routines::GrayHighByte, &gray8, nullptr, 0, 0), 0);
    EXPECT_EQ(RectangleOperation(&gray8, routines::Luminance, &gray16, nullptr, 0, 0), 0);
    EXPECT_EQ(RectangleOperation(&gray8, routines::Scale24, &gray8, nullptr, nullptr), 0);
}

TEST(ColourRoutines, ExactBytesOfEveryReduction) {
    DibImage c64, c48, c32, c24, out;
    ASSERT_TRUE(c64.Create(2, 2, 64));
    ASSERT_TRUE(c48.Create(2, 2, 48));
    ASSERT_TRUE(c32.Create(2, 2, 32));
    ASSERT_TRUE(out.Create(2, 2, 24));
    SetWords(c64, 1, 0, {0x0123, 0x0FF0, 0xF00F, 0x7777});
    SetWords(c48, 0, 1, {0x0123, 0x0FF0, 0xF00F});
    std::memcpy(PixelAt(c32, 1, 1), "\x10\x20\x30\x40", 4);

    ASSERT_EQ(RectangleOperation(&out, routines::Colour12Bit, &c64, nullptr, 0, 0), 1);
    EXPECT_EQ(Channel(out, 1, 0, 0), 0x12u);
    EXPECT_EQ(Channel(out, 1, 0, 1), 0xFFu);
    EXPECT_EQ(Channel(out, 1, 0, 2), 0x00u);
    ASSERT_EQ(RectangleOperation(&out, routines::ColourHighByteFlipped, &c48, nullptr, 0, 0), 1);
    EXPECT_EQ(Channel(out, 0, 0, 0), 0x01u);
    EXPECT_EQ(Channel(out, 0, 0, 1), 0x0Fu);
    EXPECT_EQ(Channel(out, 0, 0, 2), 0xF0u);
    ASSERT_EQ(RectangleOperation(&out, routines::Colour32To24, &c32, nullptr, 0, 0), 1);
    EXPECT_EQ(Channel(out, 1, 1, 2), 0x30u);
    ASSERT_EQ(RectangleOperation(&out, routines::ColourCopyFlipped, &c32, nullptr, 0, 0), 1);
    EXPECT_EQ(Channel(out, 1, 0, 0), 0x10u);
    EXPECT_EQ(Channel(out, 1, 1, 0), 0x00u);

    ASSERT_EQ(RectangleOperation(&c32, routines::SwapToRgb, &c32, nullptr, 0, 0), 1);
    EXPECT_EQ(std::memcmp(PixelAt(c32, 1, 1), "\x30\x20\x10\x40", 4), 0);
    ASSERT_EQ(RectangleOperation(&c32, routines::AlphaInvert, &c32, nullptr, 0, 0), 1);
    EXPECT_EQ(std::memcmp(PixelAt(c32, 1, 1), "\x30\x20\x10\xBF", 4), 0);
    EXPECT_EQ(Channel(c32, 0, 0, 3), 255u);

    ASSERT_TRUE(c24.Create(2, 1, 24));
    std::memcpy(PixelAt(c24, 0, 0), "\x0A\x64\xC8", 3);  // B 10, G 100, R 200
    DibImage lum;
    ASSERT_TRUE(lum.Create(2, 1, 8));
    ASSERT_EQ(RectangleOperation(&lum, routines::Luminance, &c24, nullptr, 0, 0), 1);
    EXPECT_EQ(Channel(lum, 0, 0, 0), (200u * 30 + 100 * 59 + 10 * 11) / 100);
}

TEST(ColourRoutines, RowCopyFlippedCopiesPaddingWithinTheShorterRow) {
    DibImage a, b;
    ASSERT_TRUE(a.Create(3, 2, 8));
    ASSERT_TRUE(b.Create(3, 2, 8));
    std::memcpy(a.Pixels(), "\x01\x02\x03\x04\x05\x06\x07\x08", 8);
    ASSERT_EQ(RectangleOperation(&b, routines::RowCopyFlipped, &a, nullptr, 0, 0), 1);
    EXPECT_EQ(std::memcmp(b.Pixels(), "\x05\x06\x07\x08\x01\x02\x03\x04", 8), 0);
}

TEST(RectangleClipping, CutsTheRectangleToBothImages) {
    DibImage src, dst;
    ASSERT_TRUE(src.Create(4, 4, 8));
    ASSERT_TRUE(dst.Create(3, 3, 8));
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j)
            PixelAt(src, j, i)[0] = static_cast<uint8_t>(10 * i + j);
    }
    // Placed at (-1, 2): source column 1 lands on column 0; one row fits.
    const PixelRect r{0, 0, 4, 4};
    ASSERT_EQ(RectangleOperation(&dst, routines::GrayHighByte, &src, &r, 0, 0), 0);
    auto copy = [](uint8_t* d, const uint8_t* s, const PixelRect& rect, int dx, int dy, uint16_t,
                   uint16_t, int ds, int ss, void* seen, void*) {
        *static_cast<PixelRect*>(seen) = rect;
        for (int y = 0; y < rect.Height(); ++y) {
            for (int x = 0; x < rect.Width(); ++x)
                d[(dy + y) * ds + dx + x] = s[(rect.top + y) * ss + rect.left + x];
        }
        return 1;
    };
    PixelRect seen;
    ASSERT_EQ(RectangleOperation(&dst, copy, &src, &r, -1, 2, &seen), 1);
    EXPECT_EQ(seen.left, 1);
    EXPECT_EQ(seen.top, 0);
    EXPECT_EQ(seen.right, 4);
    EXPECT_EQ(seen.bottom, 1);
    EXPECT_EQ(Channel(dst, 0, 2, 0), 1u);
    EXPECT_EQ(Channel(dst, 2, 2, 0), 3u);
    // A rectangle partly outside the source, and one wholly outside the destination.
    const PixelRect outside{2, 2, 9, 9};
    ASSERT_EQ(RectangleOperation(&dst, copy, &src, &outside, 0, 0, &seen), 1);
    EXPECT_EQ(seen.right, 4);
    EXPECT_EQ(seen.bottom, 4);
    EXPECT_EQ(RectangleOperation(&dst, copy, &src, nullptr, 3, 0, &seen), 0);
    EXPECT_EQ(RectangleOperation(&dst, copy, &src, nullptr, 0, -4, &seen), 0);
    DibImage empty;
    EXPECT_EQ(RectangleOperation(&empty, copy, &src, nullptr, 0, 0, &seen), 0);
    EXPECT_EQ(RectangleOperation(&dst, RectRoutine{nullptr}, &src, nullptr, 0, 0), 0);
}

TEST(Scalers, NearestNeighbourTurnsThePictureOver) {
    DibImage src, dst;
    ASSERT_TRUE(src.Create(4, 2, 8));
    ASSERT_TRUE(dst.Create(2, 4, 8));
    std::memcpy(src.Pixels(), "\x01\x02\x03\x04\x05\x06\x07\x08", 8);
    ASSERT_EQ(RectangleOperation(&dst, routines::Scale8, &src, nullptr, nullptr), 1);
    // Columns 0 and 2 of the source; rows from the bottom up, each twice.
    const uint8_t expected[4][2] = {{5, 7}, {5, 7}, {1, 3}, {1, 3}};
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 2; ++x)
            EXPECT_EQ(Channel(dst, x, y, 0), expected[y][x]) << x << "," << y;
    }
}

TEST(Scalers, TwentyFourBitScalerMovesWholePixelsIntoTheRectangle) {
    DibImage src, dst;
    ASSERT_TRUE(src.Create(1, 1, 24));
    ASSERT_TRUE(dst.Create(5, 3, 24));
    std::memcpy(src.Pixels(), "\x11\x22\x33", 3);
    const PixelRect target{1, 1, 4, 3};
    ASSERT_EQ(RectangleOperation(&dst, routines::Scale24, &src, nullptr, &target), 1);
    EXPECT_EQ(Channel(dst, 0, 1, 0), 0u);
    EXPECT_EQ(Channel(dst, 1, 1, 2), 0x33u);
    EXPECT_EQ(Channel(dst, 3, 2, 1), 0x22u);
    EXPECT_EQ(Channel(dst, 4, 2, 0), 0u);
    EXPECT_EQ(Channel(dst, 2, 0, 0), 0u);
}

TEST(RowSpreading, MovesPackedRowsToTheStrideWithOddWidths) {
    for (const int bits : {8, 16}) {
        DibImage image;
        ASSERT_TRUE(image.Create(5, 3, bits));
        const int bpp = bits / 8;
        const int packed = 5 * bpp;
        for (int i = 0; i < packed * 3; ++i)
            image.Pixels()[i] = static_cast<uint8_t>(i + 1);
        ASSERT_TRUE(SpreadPackedRows(image));
        for (int y = 0; y < 3; ++y) {
            for (int i = 0; i < image.Stride(); ++i) {
                const uint8_t expected = i < packed ? static_cast<uint8_t>(y * packed + i + 1) : 0;
                ASSERT_EQ(image.Pixels()[y * image.Stride() + i], expected) << y << "," << i;
            }
        }
    }
    DibImage colour;
    ASSERT_TRUE(colour.Create(5, 3, 24));
    EXPECT_FALSE(SpreadPackedRows(colour));
}

TEST(SoftwareMirror, ReversesRowsAndColumnsAtTheStride) {
    for (const int bits : {8, 16}) {
        DibImage image;
        ASSERT_TRUE(image.Create(5, 3, bits));  // odd width: rows are padded
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 5; ++x)
                test::SetSample(image, x, y, static_cast<uint32_t>(10 * y + x));
        }
        ASSERT_TRUE(MirrorRaw(image, true, false));
        EXPECT_EQ(Channel(image, 0, 1, 0), 14u);
        EXPECT_EQ(Channel(image, 4, 2, 0), 20u);
        ASSERT_TRUE(MirrorRaw(image, false, true));
        EXPECT_EQ(Channel(image, 0, 0, 0), 24u);
        EXPECT_EQ(Channel(image, 4, 2, 0), 0u);
        ASSERT_TRUE(MirrorRaw(image, true, true));
        EXPECT_EQ(Channel(image, 0, 0, 0), 0u);
        EXPECT_EQ(Channel(image, 3, 1, 0), 13u);
        // The padding after each row is not part of the picture and stays zero.
        for (int y = 0; y < 3; ++y) {
            for (int i = 5 * (bits / 8); i < image.Stride(); ++i)
                ASSERT_EQ(image.Pixels()[y * image.Stride() + i], 0);
        }
    }
}

}  // namespace
}  // namespace velcor
