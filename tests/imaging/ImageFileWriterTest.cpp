#include "imaging/ImageFileWriter.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "imaging/ImagingTestSupport.h"
#include "support/ImageFileReaders.h"

namespace velcor {
namespace {

using test::DecodedImage;
using test::PixelAt;

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
uint16_t Le16(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}

uint16_t Word(const DibImage& image, int x, int y, int c) {
    return static_cast<uint16_t>(test::Channel(image, x, y, c));
}

// Every byte of the pixel memory (padding included) from a fixed seed.
void FillBytes(DibImage& image, unsigned seed) {
    uint32_t state = seed * 2654435761u + 1;
    for (size_t i = 0; i < image.ByteSize(); ++i) {
        state = state * 1664525u + 1013904223u;
        image.Pixels()[i] = static_cast<uint8_t>(state >> 24);
    }
}

// A picture a codec can compress: a different smooth ramp in each channel (across, down,
// diagonal), so a flipped or channel-swapped file is far from it, plus a little texture.
void FillPicture(DibImage& image) {
    const int channels = image.Bits() == 8 || image.Bits() == 16 ? 1 : 3;
    const bool words = image.Bits() == 16 || image.Bits() == 48 || image.Bits() == 64;
    const int w = image.Width();
    const int h = image.Height();
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            uint8_t* p = PixelAt(image, x, y);
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

class ImageFileWriterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/velcor-image-files-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
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

// ---- BMP and raw -----------------------------------------------------------------------------

TEST_F(ImageFileWriterTest, Bmp8BitHasGrayTableAndUprightRows) {
    // Width 6: rows of 6 bytes padded to a stride of 8.
    DibImage image;
    Make(image, 6, 3, 8);
    FillBytes(image, 1);
    ASSERT_EQ(SaveImageFile(Path("a.bmp").c_str(), image, kFileBmp), 1);
    const std::vector<uint8_t> b = ReadBytes(Path("a.bmp"));
    ASSERT_EQ(b.size(), 1078u + 3 * 8);
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    EXPECT_EQ(Le32(b, 2), b.size());
    EXPECT_EQ(Le32(b, 6), 0u);
    EXPECT_EQ(Le32(b, 10), 1078u);
    EXPECT_EQ(Le32(b, 14), 40u);
    EXPECT_EQ(static_cast<int32_t>(Le32(b, 18)), 6);
    EXPECT_EQ(static_cast<int32_t>(Le32(b, 22)), 3);  // bottom-up
    EXPECT_EQ(Le16(b, 26), 1);
    EXPECT_EQ(Le16(b, 28), 8);
    for (size_t at = 30; at < 54; at += 4)
        EXPECT_EQ(Le32(b, at), 0u) << at;
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(b[54 + 4 * i], i);
        ASSERT_EQ(b[55 + 4 * i], i);
        ASSERT_EQ(b[56 + 4 * i], i);
        ASSERT_EQ(b[57 + 4 * i], 0);
    }
    // The file's first row is the picture's bottom row.
    for (int row = 0; row < 3; ++row) {
        for (int i = 0; i < 8; ++i) {
            EXPECT_EQ(b[1078 + row * 8 + i], image.Pixels()[(2 - row) * 8 + i]) << row << ' ' << i;
        }
    }
}

TEST_F(ImageFileWriterTest, BmpOfEveryDepthCarriesItsBitCountAndFlippedRows) {
    for (int bits : {16, 24, 32, 48, 64}) {
        SCOPED_TRACE(bits);
        DibImage image;
        Make(image, 5, 4, bits);
        FillBytes(image, static_cast<unsigned>(bits));
        const std::string path = Path("d" + std::to_string(bits) + ".bmp");
        ASSERT_EQ(SaveImageFile(path.c_str(), image, kFileBmp), 1);
        const std::vector<uint8_t> b = ReadBytes(path);
        const size_t stride = static_cast<size_t>(image.Stride());
        ASSERT_EQ(b.size(), 54 + 4 * stride);
        EXPECT_EQ(Le32(b, 2), b.size());
        EXPECT_EQ(Le32(b, 10), 54u);
        EXPECT_EQ(Le16(b, 28), bits);
        EXPECT_EQ(Le32(b, 30), 0u);  // no compression
        for (size_t row = 0; row < 4; ++row) {
            EXPECT_TRUE(std::equal(b.begin() + 54 + row * stride,
                                   b.begin() + 54 + (row + 1) * stride,
                                   image.Pixels() + (3 - row) * stride));
        }
    }
}

TEST_F(ImageFileWriterTest, RawIsThePixelMemoryAsStored) {
    DibImage image;
    Make(image, 7, 5, 24);  // stride 24 for 21 bytes of pixels
    FillBytes(image, 7);
    ASSERT_EQ(SaveImageFile(Path("a.raw").c_str(), image, kFileRaw), 1);
    const std::vector<uint8_t> b = ReadBytes(Path("a.raw"));
    ASSERT_EQ(b.size(), image.ByteSize());
    EXPECT_TRUE(std::equal(b.begin(), b.end(), image.Pixels()));
}

// ---- JPEG ------------------------------------------------------------------------------------

double Psnr(const DecodedImage& decoded, const DibImage& image) {
    // The picture's samples as the JPEG holds them: R, G, B high bytes, or gray.
    double sum = 0;
    size_t n = 0;
    const bool words = image.Bits() == 16 || image.Bits() == 48 || image.Bits() == 64;
    for (int y = 0; y < image.Height(); ++y) {
        for (int x = 0; x < image.Width(); ++x) {
            for (int c = 0; c < decoded.channels; ++c) {
                const int source = decoded.channels == 3 ? 2 - c : 0;  // B, G, R in memory
                uint32_t v = test::Channel(image, x, y, source);
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

bool HasMarker(const std::vector<uint8_t>& b, uint8_t marker) {
    for (size_t i = 0; i + 1 < b.size(); ++i) {
        if (b[i] == 0xFF && b[i + 1] == marker) return true;
    }
    return false;
}

TEST_F(ImageFileWriterTest, JpegOfEveryDepthDecodesUprightInRgbOrder) {
    for (int bits : {8, 16, 24, 32, 48, 64}) {
        SCOPED_TRACE(bits);
        DibImage image;
        Make(image, 64, 48, bits);
        FillPicture(image);
        const std::string path = Path("p" + std::to_string(bits) + ".jpg");
        ASSERT_EQ(SaveImageFile(path.c_str(), image, kFileJpeg100), 1);
        bool progressive = false;
        const DecodedImage decoded = test::DecodeJpeg(path, &progressive);
        ASSERT_TRUE(decoded.ok);
        EXPECT_TRUE(progressive);
        EXPECT_EQ(decoded.width, 64);
        EXPECT_EQ(decoded.height, 48);
        EXPECT_EQ(decoded.channels, bits == 8 || bits == 16 ? 1 : 3);
        // Quality 100 keeps the picture close; a flipped or channel-swapped one is far off.
        EXPECT_GT(Psnr(decoded, image), 40.0);
    }
}

TEST_F(ImageFileWriterTest, JpegQualitiesGiveDecreasingSizesAllProgressive) {
    DibImage image;
    Make(image, 160, 120, 24);
    FillPicture(image);
    size_t previous = SIZE_MAX;
    for (int format : {kFileJpeg100, kFileJpeg70, kFileJpeg20}) {
        SCOPED_TRACE(format);
        const std::string path = Path("q" + std::to_string(format) + ".jpg");
        ASSERT_EQ(SaveImageFile(path.c_str(), image, format), 1);
        const std::vector<uint8_t> b = ReadBytes(path);
        EXPECT_LT(b.size(), previous);
        previous = b.size();
        EXPECT_TRUE(HasMarker(b, 0xC2));   // SOF2: progressive
        EXPECT_FALSE(HasMarker(b, 0xC0));  // no baseline frame
        const DecodedImage decoded = test::DecodeJpeg(path);
        ASSERT_TRUE(decoded.ok);
        EXPECT_GT(Psnr(decoded, image), 25.0);
    }
}

// ---- PNG -------------------------------------------------------------------------------------

TEST_F(ImageFileWriterTest, PngHoldsEveryDepthExactly) {
    struct Case {
        int bits;
        int channels;
        int bitDepth;
    };
    for (const Case& c : {Case{8, 1, 8}, Case{16, 1, 16}, Case{24, 3, 8}, Case{32, 4, 8},
                          Case{48, 3, 16}, Case{64, 4, 16}}) {
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
                    // Memory holds B, G, R(, A); the file R, G, B(, A).
                    const int source = ch < 3 && c.channels >= 3 ? 2 - ch : ch;
                    uint32_t want = test::Channel(image, x, y, source);
                    if (ch == 3) want = c.bitDepth == 8 ? 255 - want : 65535;
                    ASSERT_EQ(d.At(x, y, ch), want) << x << ',' << y << ',' << ch;
                }
            }
        }
    }
}

TEST_F(ImageFileWriterTest, Png16BitSamplesAreBigEndianAndUnusedAlphaIsOpaque) {
    DibImage gray;
    Make(gray, 4, 2, 16);
    gray.FillWords(0x0FFF);
    ASSERT_EQ(SaveImageFile(Path("g.png").c_str(), gray, kFilePng), 1);
    const DecodedImage g = test::DecodePng(Path("g.png"));
    ASSERT_TRUE(g.ok);
    EXPECT_EQ(g.At(3, 1, 0), 4095);

    // The conversion leaves the fourth byte of a 32-bit image 0.
    DibImage colour;
    Make(colour, 4, 2, 32);
    FillPicture(colour);
    ASSERT_EQ(SaveImageFile(Path("c.png").c_str(), colour, kFilePng), 1);
    const DecodedImage c = test::DecodePng(Path("c.png"));
    ASSERT_TRUE(c.ok);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(c.At(x, y, 3), 255);
    }

    DibImage deep;
    Make(deep, 4, 2, 64);
    FillPicture(deep);
    ASSERT_EQ(SaveImageFile(Path("d.png").c_str(), deep, kFilePng), 1);
    const DecodedImage d = test::DecodePng(Path("d.png"));
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.At(0, 0, 3), 65535);
    EXPECT_EQ(d.At(2, 1, 0), Word(deep, 2, 1, 2));
}

TEST_F(ImageFileWriterTest, PngSavesOnTwoThreadsAtOnceBothHold) {
    DibImage a;
    DibImage b;
    Make(a, 320, 240, 48);
    Make(b, 200, 100, 24);
    FillBytes(a, 11);
    FillBytes(b, 12);
    int resultA = 0;
    int resultB = 0;
    {
        std::jthread first([&] {
            for (int i = 0; i < 8 && (i == 0 || resultA == 1); ++i)
                resultA = SaveImageFile(Path("ta.png").c_str(), a, kFilePng);
        });
        std::jthread second([&] {
            for (int i = 0; i < 8 && (i == 0 || resultB == 1); ++i)
                resultB = SaveImageFile(Path("tb.png").c_str(), b, kFilePng);
        });
    }
    ASSERT_EQ(resultA, 1);
    ASSERT_EQ(resultB, 1);
    const DecodedImage da = test::DecodePng(Path("ta.png"));
    const DecodedImage db = test::DecodePng(Path("tb.png"));
    ASSERT_TRUE(da.ok && db.ok);
    EXPECT_EQ(da.width, 320);
    EXPECT_EQ(db.width, 200);
    EXPECT_EQ(da.At(319, 239, 0), Word(a, 319, 239, 2));
    EXPECT_EQ(db.At(199, 99, 2), test::Channel(b, 199, 99, 0));
}

// ---- TIFF ------------------------------------------------------------------------------------

TEST_F(ImageFileWriterTest, TiffHoldsRgbOrderAndPackedRows) {
    struct Case {
        int bits;
        int channels;
        int bitDepth;
        int photometric;
    };
    for (const Case& c : {Case{8, 1, 8, 1}, Case{16, 1, 16, 1}, Case{24, 3, 8, 2},
                          Case{32, 4, 8, 2}, Case{48, 3, 16, 2}, Case{64, 4, 16, 2}}) {
        SCOPED_TRACE(c.bits);
        DibImage image;
        // Width 5 pads the rows of 8, 16, 24 and 48 bits; the file's rows are packed.
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
        EXPECT_EQ(photometric, c.photometric);
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 5; ++x) {
                for (int ch = 0; ch < c.channels; ++ch) {
                    const int source = ch < 3 && c.channels >= 3 ? 2 - ch : ch;
                    uint32_t want = test::Channel(image, x, y, source);
                    if (ch == 3) want = c.bitDepth == 8 ? 0 : 65535;
                    ASSERT_EQ(d.At(x, y, ch), want) << x << ',' << y << ',' << ch;
                }
            }
        }
    }
}

// ---- Failures --------------------------------------------------------------------------------

TEST_F(ImageFileWriterTest, UnknownFormatsWriteNothing) {
    DibImage image;
    Make(image, 8, 8, 24);
    for (int format : {7, -1, 100}) {
        EXPECT_EQ(SaveImageFile(Path("x").c_str(), image, format), 0);
        EXPECT_FALSE(std::filesystem::exists(Path("x")));
    }
}

TEST_F(ImageFileWriterTest, UnwritablePathsFail) {
    DibImage image;
    Make(image, 8, 8, 24);
    for (int format = kFileBmp; format <= kFileTiff; ++format) {
        SCOPED_TRACE(format);
        EXPECT_EQ(SaveImageFile(Path("no-such-folder/x").c_str(), image, format), 0);
        EXPECT_EQ(SaveImageFile(dir_.c_str(), image, format), 0);  // a directory
        EXPECT_EQ(SaveImageFile("", image, format), 0);
        EXPECT_EQ(SaveImageFile(nullptr, image, format), 0);
    }
    DibImage empty;
    EXPECT_EQ(SaveImageFile(Path("e").c_str(), empty, kFileBmp), 0);
    EXPECT_FALSE(std::filesystem::exists(Path("e")));
}

TEST_F(ImageFileWriterTest, FullDeviceFailsEveryFormatAndStaysInPlace) {
    struct stat before {};
    if (::stat("/dev/full", &before) != 0 || !S_ISCHR(before.st_mode)) {
        GTEST_SKIP() << "no /dev/full";
    }
    DibImage image;
    Make(image, 256, 64, 24);
    FillBytes(image, 3);
    for (int format = kFileBmp; format <= kFileTiff; ++format) {
        EXPECT_EQ(SaveImageFile("/dev/full", image, format), 0) << format;
    }
    struct stat after {};
    ASSERT_EQ(::stat("/dev/full", &after), 0);
    EXPECT_TRUE(S_ISCHR(after.st_mode));
    EXPECT_EQ(after.st_rdev, before.st_rdev);
}

// A file size limit makes writes past it fail (EFBIG) as on a full disk. In a child process,
// so the limit stays there.
TEST_F(ImageFileWriterTest, WriteErrorsFailTheSaveAndLeaveNoFile) {
    DibImage image;
    Make(image, 256, 128, 24);
    FillBytes(image, 5);  // noise: every format is well past the limit
    for (int format = kFileBmp; format <= kFileTiff; ++format) {
        SCOPED_TRACE(format);
        const std::string path = Path("limited" + std::to_string(format));
        // An earlier file of that name is truncated and then goes too.
        std::ofstream(path) << "earlier";
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{4096, 4096};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(3);
            const int saved = SaveImageFile(path.c_str(), image, format);
            ::_exit(saved == 0 ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0) << "the save reported success";
        EXPECT_FALSE(std::filesystem::exists(path));
        // Without the limit the same save succeeds.
        EXPECT_EQ(SaveImageFile(path.c_str(), image, format), 1);
    }
}

}  // namespace
}  // namespace velcor
