// JPEG, PNG and TIFF files of the Windows build, written through the system's encoders and
// read back through its decoders: every depth of PNG and TIFF sample for sample, JPEG close to
// the picture at each quality, the tags the files carry, and the calling thread's COM left as
// the application had it.
#include <gtest/gtest.h>
// clang-format off
#include <windows.h>
#include <objbase.h>
// clang-format on
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "imaging/ImageFileWriter.h"
#include "imaging/ImagingTestSupport.h"
#include "support/ImageFileReaders.h"

namespace velcor {
namespace {

using test::DecodedImage;

// Every byte of the pixel memory (padding included) from a fixed seed.
void FillBytes(DibImage& image, unsigned seed) {
    uint32_t state = seed * 2654435761u + 1;
    for (size_t i = 0; i < image.ByteSize(); ++i) {
        state = state * 1664525u + 1013904223u;
        image.Pixels()[i] = static_cast<uint8_t>(state >> 24);
    }
}

// Smooth ramps, a different one per channel (across, down, diagonal), plus a little texture:
// compressible, and far from a flipped or channel-swapped copy of itself.
void FillPicture(DibImage& image) {
    const int channels = image.Bits() == 8 || image.Bits() == 16 ? 1 : 3;
    const bool words = image.Bits() == 16 || image.Bits() == 48 || image.Bits() == 64;
    const int w = image.Width();
    const int h = image.Height();
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            uint8_t* p = test::PixelAt(image, x, y);
            for (int c = 0; c < channels; ++c) {
                const int ramp = c == 0   ? 10 + x * 200 / w
                                 : c == 1 ? 10 + y * 200 / h
                                          : 10 + (x + y) * 200 / (w + h);
                const int v = ramp + (x * 7 + y * 13) % 5 * 4;
                if (words) {
                    const auto word = static_cast<uint16_t>(v << 8 | v);
                    std::memcpy(p + 2 * c, &word, 2);
                } else {
                    p[c] = static_cast<uint8_t>(v);
                }
            }
        }
    }
}

// The picture's samples as a JPEG holds them (R, G, B high bytes, or gray) against the decoded
// ones.
double Psnr(const DecodedImage& decoded, const DibImage& image) {
    double sum = 0;
    size_t n = 0;
    const bool words = image.Bits() == 16 || image.Bits() == 48 || image.Bits() == 64;
    for (int y = 0; y < image.Height(); ++y) {
        for (int x = 0; x < image.Width(); ++x) {
            for (int c = 0; c < decoded.channels; ++c) {
                uint32_t v = test::Channel(image, x, y, decoded.channels == 3 ? 2 - c : 0);
                if (words) v >>= 8;
                const double d = static_cast<double>(v) - decoded.At(x, y, c);
                sum += d * d;
                ++n;
            }
        }
    }
    const double mse = sum / static_cast<double>(n);
    return mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
}

class WicImageFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        static int serial = 0;
        dir_ = std::filesystem::path(::testing::TempDir()) /
               ("velcor-wic-files-" + std::to_string(getpid()) + "-" + std::to_string(++serial));
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
        ASSERT_TRUE(std::filesystem::create_directory(dir_));
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    static DibImage& Make(DibImage& image, int width, int height, int bits) {
        EXPECT_TRUE(image.Create(width, height, bits));
        return image;
    }

    std::filesystem::path dir_;
};

struct DepthCase {
    int bits;
    int channels;
    int bitDepth;
};

constexpr DepthCase kDepths[] = {{8, 1, 8},  {16, 1, 16}, {24, 3, 8},
                                 {32, 4, 8}, {48, 3, 16}, {64, 4, 16}};

// Memory holds B, G, R(, fourth); the files R, G, B(, fourth).
int SourceChannel(int channel, int channels) {
    return channel < 3 && channels >= 3 ? 2 - channel : channel;
}

TEST_F(WicImageFileTest, PngHoldsEveryDepthExactly) {
    for (const DepthCase& c : kDepths) {
        SCOPED_TRACE(c.bits);
        DibImage image;
        Make(image, 5, 3, c.bits);  // rows padded for 8, 16, 24 and 48 bits
        FillBytes(image, static_cast<unsigned>(c.bits));
        const std::string path = Path("e" + std::to_string(c.bits) + ".png");
        ASSERT_EQ(SaveImageFile(path.c_str(), image, kFilePng), 1);
        const DecodedImage d = test::DecodePng(path);
        ASSERT_TRUE(d.ok);
        ASSERT_EQ(d.width, 5);
        ASSERT_EQ(d.height, 3);
        ASSERT_EQ(d.channels, c.channels);
        ASSERT_EQ(d.bitDepth, c.bitDepth);
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 5; ++x) {
                for (int ch = 0; ch < c.channels; ++ch) {
                    uint32_t want = test::Channel(image, x, y, SourceChannel(ch, c.channels));
                    // The converted image's fourth byte is inverted into an opaque alpha;
                    // the fourth word is made opaque.
                    if (ch == 3) want = c.bitDepth == 8 ? 255 - want : 65535;
                    ASSERT_EQ(d.At(x, y, ch), want) << x << ',' << y << ',' << ch;
                }
            }
        }
    }
}

TEST_F(WicImageFileTest, Png16BitSamplesAreStoredMostSignificantByteFirst) {
    DibImage gray;
    Make(gray, 4, 2, 16);
    gray.FillWords(0x0FFF);
    ASSERT_EQ(SaveImageFile(Path("g.png").c_str(), gray, kFilePng), 1);
    const DecodedImage g = test::DecodePng(Path("g.png"));
    ASSERT_TRUE(g.ok);
    EXPECT_EQ(g.At(3, 1, 0), 4095);
    // The header's bit depth (byte 24) and colour type (byte 25): 16-bit gray.
    const std::vector<uint8_t> b = test::detail::FileBytes(Path("g.png"));
    ASSERT_GT(b.size(), 26u);
    EXPECT_EQ(b[24], 16);
    EXPECT_EQ(b[25], 0);
}

TEST_F(WicImageFileTest, TiffHoldsEveryDepthUncompressedInOneStripInRgbOrder) {
    for (const DepthCase& c : kDepths) {
        SCOPED_TRACE(c.bits);
        DibImage image;
        Make(image, 5, 3, c.bits);
        FillBytes(image, static_cast<unsigned>(c.bits) + 100);
        const std::string path = Path("t" + std::to_string(c.bits) + ".tif");
        ASSERT_EQ(SaveImageFile(path.c_str(), image, kFileTiff), 1);
        int photometric = 0;
        const DecodedImage d = test::DecodeTiff(path, &photometric);
        ASSERT_TRUE(d.ok);
        ASSERT_EQ(d.width, 5);
        ASSERT_EQ(d.height, 3);
        ASSERT_EQ(d.channels, c.channels);
        ASSERT_EQ(d.bitDepth, c.bitDepth);
        EXPECT_EQ(photometric, c.channels == 1 ? 1 : 2);
        EXPECT_EQ(test::TiffTag(path, 259), 1) << "compression";
        EXPECT_EQ(test::TiffTag(path, 277), c.channels) << "samples per pixel";
        EXPECT_EQ(test::TiffTag(path, 258), c.bitDepth) << "bits per sample";
        EXPECT_EQ(test::TiffTag(path, 278), 3) << "one strip: rows per strip";
        EXPECT_EQ(test::TiffTag(path, 338), -1) << "no extra samples declared";
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 5; ++x) {
                for (int ch = 0; ch < c.channels; ++ch) {
                    uint32_t want = test::Channel(image, x, y, SourceChannel(ch, c.channels));
                    // The conversion's fourth byte stays 0; the fourth word is made 65535.
                    if (ch == 3) want = c.bitDepth == 8 ? 0 : 65535;
                    ASSERT_EQ(d.At(x, y, ch), want) << x << ',' << y << ',' << ch;
                }
            }
        }
    }
}

TEST_F(WicImageFileTest, JpegOfEveryDepthDecodesUprightInRgbOrder) {
    for (const DepthCase& c : kDepths) {
        SCOPED_TRACE(c.bits);
        DibImage image;
        Make(image, 64, 48, c.bits);
        FillPicture(image);
        const std::string path = Path("p" + std::to_string(c.bits) + ".jpg");
        ASSERT_EQ(SaveImageFile(path.c_str(), image, kFileJpeg100), 1);
        const DecodedImage decoded = test::DecodeJpeg(path);
        ASSERT_TRUE(decoded.ok);
        EXPECT_EQ(decoded.width, 64);
        EXPECT_EQ(decoded.height, 48);
        EXPECT_EQ(decoded.channels, c.channels == 1 ? 1 : 3);
        // Quality 100 keeps the picture close (Wine's encoder keeps its default quality); a
        // flipped or channel-swapped one is far off.
        EXPECT_GT(Psnr(decoded, image), test::JpegQualityReachesTheEncoder() ? 40.0 : 30.0);
    }
}

TEST_F(WicImageFileTest, JpegQualitiesGiveDecreasingSizesWhereTheEncoderTakesThem) {
    DibImage image;
    Make(image, 160, 120, 24);
    FillPicture(image);
    size_t previousSize = SIZE_MAX;
    double previousPsnr = 100.0;
    for (int format : {kFileJpeg100, kFileJpeg70, kFileJpeg20}) {
        SCOPED_TRACE(format);
        const std::string path = Path("q" + std::to_string(format) + ".jpg");
        ASSERT_EQ(SaveImageFile(path.c_str(), image, format), 1);
        const size_t size = std::filesystem::file_size(path);
        const DecodedImage decoded = test::DecodeJpeg(path);
        ASSERT_TRUE(decoded.ok);
        const double psnr = Psnr(decoded, image);
        EXPECT_GT(psnr, 25.0);
        if (test::JpegQualityReachesTheEncoder()) {
            EXPECT_LT(size, previousSize);
            EXPECT_LT(psnr, previousPsnr);
        } else {
            EXPECT_EQ(size, previousSize == SIZE_MAX ? size : previousSize);
        }
        previousSize = size;
        previousPsnr = psnr;
        // WIC writes baseline JPEG only.
        EXPECT_FALSE(test::JpegIsProgressive(path));
    }
}

TEST_F(WicImageFileTest, FailedSavesLeaveNoFile) {
    DibImage image;
    Make(image, 8, 8, 24);
    for (int format : {kFileJpeg70, kFilePng, kFileTiff}) {
        SCOPED_TRACE(format);
        EXPECT_EQ(SaveImageFile(Path("no-such-folder/x").c_str(), image, format), 0);
        EXPECT_EQ(SaveImageFile(dir_.string().c_str(), image, format), 0);  // a directory
        EXPECT_EQ(SaveImageFile("", image, format), 0);
    }
    // JPEG holds at most 65500 pixels a row: the encoder fails, and its file goes.
    DibImage wide;
    Make(wide, 70000, 2, 24);
    EXPECT_EQ(SaveImageFile(Path("wide.jpg").c_str(), wide, kFileJpeg100), 0);
    EXPECT_TRUE(std::filesystem::is_empty(dir_));
}

// ---- COM on the calling thread ---------------------------------------------------------------

// What CoInitializeEx with the given model answers on this thread now, undone again.
HRESULT ProbeApartment(DWORD model) {
    const HRESULT result = CoInitializeEx(nullptr, model);
    if (SUCCEEDED(result)) CoUninitialize();
    return result;
}

TEST_F(WicImageFileTest, SavesLeaveTheCallersComAsItWas) {
    DibImage image;
    Make(image, 16, 8, 24);
    FillPicture(image);
    auto saveAll = [&](const std::string& stem) {
        for (int format : {kFileJpeg70, kFilePng, kFileTiff}) {
            const std::string path = Path(stem + std::to_string(format));
            if (SaveImageFile(path.c_str(), image, format) != 1) return false;
        }
        return true;
    };

    // A thread without COM is without it afterwards: a later single-threaded apartment is new.
    std::thread([&] {
        EXPECT_TRUE(saveAll("none"));
        EXPECT_EQ(ProbeApartment(COINIT_APARTMENTTHREADED), S_OK);
    }).join();

    // A thread in the application's single-threaded apartment stays in it.
    std::thread([&] {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
        EXPECT_TRUE(saveAll("sta"));
        EXPECT_EQ(ProbeApartment(COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
        EXPECT_EQ(ProbeApartment(COINIT_APARTMENTTHREADED), S_FALSE);
        CoUninitialize();
        EXPECT_EQ(ProbeApartment(COINIT_MULTITHREADED), S_OK) << "the thread's COM is balanced";
    }).join();

    // A thread in the multi-threaded apartment stays in it.
    std::thread([&] {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        EXPECT_TRUE(saveAll("mta"));
        EXPECT_EQ(ProbeApartment(COINIT_APARTMENTTHREADED), RPC_E_CHANGED_MODE);
        CoUninitialize();
        EXPECT_EQ(ProbeApartment(COINIT_APARTMENTTHREADED), S_OK);
    }).join();
}

TEST_F(WicImageFileTest, SavesOnTwoThreadsAtOnceBothHold) {
    DibImage a;
    DibImage b;
    Make(a, 320, 240, 48);
    Make(b, 200, 100, 24);
    FillBytes(a, 11);
    FillBytes(b, 12);
    int resultA = 0;
    int resultB = 0;
    {
        std::thread first([&] {
            for (int i = 0; i < 4 && (i == 0 || resultA == 1); ++i)
                resultA = SaveImageFile(Path("ta.png").c_str(), a, kFilePng);
        });
        std::thread second([&] {
            for (int i = 0; i < 4 && (i == 0 || resultB == 1); ++i)
                resultB = SaveImageFile(Path("tb.tif").c_str(), b, kFileTiff);
        });
        first.join();
        second.join();
    }
    ASSERT_EQ(resultA, 1);
    ASSERT_EQ(resultB, 1);
    const DecodedImage da = test::DecodePng(Path("ta.png"));
    const DecodedImage db = test::DecodeTiff(Path("tb.tif"));
    ASSERT_TRUE(da.ok && db.ok);
    EXPECT_EQ(da.width, 320);
    EXPECT_EQ(db.width, 200);
    EXPECT_EQ(da.At(319, 239, 0), test::Channel(a, 319, 239, 2));
    EXPECT_EQ(db.At(199, 99, 2), test::Channel(b, 199, 99, 0));
}

}  // namespace
}  // namespace velcor
