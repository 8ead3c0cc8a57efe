// Velcor_SaveImage(W) through the C API on a simulated camera: the image-valid rule, and every
// format of the snapshot's output image read back.
#include <gtest/gtest.h>
#include <unistd.h>

#include <velcor/VelcorSdk.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "camera/CameraTestSupport.h"
#include "support/ImageFileReaders.h"

namespace velcor {
namespace {

class SaveImageOnSimulator : public testing::CameraOnSimulator {
  protected:
    void SetUp() override {
        CameraOnSimulator::SetUp();
        static int serial = 0;
        dir_ = std::filesystem::path(::testing::TempDir()) /
               ("velcor-save-image-" + std::to_string(getpid()) + "-" + std::to_string(++serial));
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
        ASSERT_TRUE(std::filesystem::create_directory(dir_));
    }
    void TearDown() override {
        CameraOnSimulator::TearDown();
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    std::vector<uint8_t> ReadBytes(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    std::filesystem::path dir_;
};

TEST_F(SaveImageOnSimulator, NoFrameYetIsErrorOneAndWritesNothing) {
    Open(1);
    EXPECT_EQ(Velcor_SaveImage(handle_, Path("a.bmp").c_str(), VELCOR_FILE_BMP), FALSE);
    EXPECT_EQ(LastError(), 1);
    EXPECT_FALSE(std::filesystem::exists(Path("a.bmp")));
    const std::string narrow = Path("w.bmp");
    const std::wstring wide(narrow.begin(), narrow.end());
    EXPECT_EQ(Velcor_SaveImageW(handle_, wide.c_str(), VELCOR_FILE_BMP), FALSE);
    EXPECT_EQ(LastError(), 1);

    // A snapshot makes the image valid; closing the camera object forgets it again.
    ASSERT_EQ(Velcor_SnapShot(handle_, nullptr, 0, 1), TRUE);
    EXPECT_EQ(Velcor_SaveImage(handle_, Path("a.bmp").c_str(), VELCOR_FILE_BMP), TRUE);
    EXPECT_EQ(Velcor_SaveImageW(handle_, wide.c_str(), VELCOR_FILE_RAW), TRUE);
    ASSERT_EQ(Velcor_Close(handle_), TRUE);
    EXPECT_EQ(Velcor_SaveImage(handle_, Path("b.bmp").c_str(), VELCOR_FILE_BMP), FALSE);
    EXPECT_EQ(LastError(), 1);
}

TEST_F(SaveImageOnSimulator, EveryFormatOfAGraySnapshotReadsBackAsTheImage) {
    Open(1);
    const int w = Velcor_Width(handle_);
    const int h = Velcor_Height(handle_);
    std::vector<BYTE> image(static_cast<size_t>(w) * h);
    ASSERT_EQ(Velcor_SnapShot(handle_, image.data(), static_cast<int>(image.size()), 1), TRUE);

    ASSERT_EQ(Velcor_SaveImage(handle_, Path("a.raw").c_str(), VELCOR_FILE_RAW), TRUE);
    EXPECT_EQ(ReadBytes(Path("a.raw")), image);

    ASSERT_EQ(Velcor_SaveImage(handle_, Path("a.bmp").c_str(), VELCOR_FILE_BMP), TRUE);
    const std::vector<uint8_t> bmp = ReadBytes(Path("a.bmp"));
    ASSERT_EQ(bmp.size(), 1078 + image.size());
    // Bottom row first.
    EXPECT_TRUE(std::equal(bmp.begin() + 1078, bmp.begin() + 1078 + w,
                           image.begin() + static_cast<ptrdiff_t>(h - 1) * w));

    ASSERT_EQ(Velcor_SaveImage(handle_, Path("a.png").c_str(), VELCOR_FILE_PNG), TRUE);
    const test::DecodedImage png = test::DecodePng(Path("a.png"));
    ASSERT_TRUE(png.ok);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), png.samples.begin()));

    ASSERT_EQ(Velcor_SaveImage(handle_, Path("a.tif").c_str(), VELCOR_FILE_TIFF), TRUE);
    const test::DecodedImage tiff = test::DecodeTiff(Path("a.tif"));
    ASSERT_TRUE(tiff.ok);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), tiff.samples.begin()));

    size_t previous = SIZE_MAX;
    for (int format : {VELCOR_FILE_JPEG, VELCOR_FILE_JPEG70, VELCOR_FILE_JPEG20}) {
        const std::string path = Path("a" + std::to_string(format) + ".jpg");
        ASSERT_EQ(Velcor_SaveImage(handle_, path.c_str(), format), TRUE);
        const test::DecodedImage jpeg = test::DecodeJpeg(path);
        ASSERT_TRUE(jpeg.ok);
        EXPECT_EQ(jpeg.width, w);
        EXPECT_EQ(jpeg.height, h);
        const size_t size = std::filesystem::file_size(path);
        if (test::JpegQualityReachesTheEncoder()) {
            EXPECT_LT(size, previous);
        } else {
            EXPECT_LE(size, previous);
        }
        previous = size;
    }

    EXPECT_EQ(Velcor_SaveImage(handle_, Path("seven").c_str(), 7), FALSE);
    EXPECT_FALSE(std::filesystem::exists(Path("seven")));
    EXPECT_EQ(LastError(), 0) << "an unknown format records nothing";
    EXPECT_EQ(Velcor_SaveImage(handle_, Path("no-such-folder/a.bmp").c_str(), VELCOR_FILE_BMP),
              FALSE);
    EXPECT_EQ(LastError(), 0);
}

TEST_F(SaveImageOnSimulator, SavesTheRunningPreviewsFramesBetweenFrames) {
    Open(1);
    Velcor_SetPreviewWindow(handle_, nullptr, 0, 0, 0, 0);
    ASSERT_EQ(Velcor_SetWaitTime(handle_, 0), TRUE);
    ASSERT_EQ(Velcor_CallBackPreview(handle_, window_, nullptr, 0, 1), TRUE);
    for (int i = 0; i < 3; ++i) {
        WPARAM w = 0;
        LPARAM l = 0;
        ASSERT_TRUE(NextFrame(&w, &l)) << i;
        const std::string path = Path("p" + std::to_string(i) + ".bmp");
        ASSERT_EQ(Velcor_SaveImage(handle_, path.c_str(), VELCOR_FILE_BMP), TRUE) << i;
        EXPECT_EQ(std::filesystem::file_size(path), 1078u + 1280u * 1024u);
    }
    EXPECT_EQ(Velcor_StopPreview(handle_), TRUE);
    // Stopping keeps the last frame; only closing forgets it.
    EXPECT_EQ(Velcor_SaveImage(handle_, Path("after.raw").c_str(), VELCOR_FILE_RAW), TRUE);
}

// The simulated ROZE9701 is monochrome: its deep mode is 16 bits (colour depths are covered
// by the writer's own tests).
TEST_F(SaveImageOnSimulator, SixteenBitSnapshotWritesEveryFormat) {
    Open(1);
    ASSERT_EQ(Velcor_SetColorMode(handle_, 16), TRUE);
    const int w = Velcor_Width(handle_);
    const int h = Velcor_Height(handle_);
    std::vector<uint16_t> image(static_cast<size_t>(w) * h);
    ASSERT_EQ(Velcor_SnapShot(handle_, reinterpret_cast<BYTE*>(image.data()),
                              static_cast<int>(image.size() * 2), 1),
              TRUE);
    const std::string stem = Path("s");
    ASSERT_EQ(Velcor_SaveImage(handle_, (stem + ".bmp").c_str(), VELCOR_FILE_BMP), TRUE);
    const std::vector<uint8_t> bmp = ReadBytes(stem + ".bmp");
    ASSERT_EQ(bmp.size(), 54u + image.size() * 2);
    EXPECT_EQ(bmp[28], 16);
    ASSERT_EQ(Velcor_SaveImage(handle_, (stem + ".raw").c_str(), VELCOR_FILE_RAW), TRUE);
    EXPECT_EQ(std::filesystem::file_size(stem + ".raw"), image.size() * 2);

    ASSERT_EQ(Velcor_SaveImage(handle_, (stem + ".png").c_str(), VELCOR_FILE_PNG), TRUE);
    const test::DecodedImage png = test::DecodePng(stem + ".png");
    ASSERT_TRUE(png.ok);
    EXPECT_EQ(png.bitDepth, 16);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), png.samples.begin()));
    ASSERT_EQ(Velcor_SaveImage(handle_, (stem + ".tif").c_str(), VELCOR_FILE_TIFF), TRUE);
    const test::DecodedImage tiff = test::DecodeTiff(stem + ".tif");
    ASSERT_TRUE(tiff.ok);
    EXPECT_EQ(tiff.bitDepth, 16);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), tiff.samples.begin()));
    ASSERT_EQ(Velcor_SaveImage(handle_, (stem + ".jpg").c_str(), VELCOR_FILE_JPEG70), TRUE);
    const test::DecodedImage jpeg = test::DecodeJpeg(stem + ".jpg");
    ASSERT_TRUE(jpeg.ok);
    EXPECT_EQ(jpeg.channels, 1);
    EXPECT_EQ(jpeg.width, w);
    EXPECT_EQ(jpeg.height, h);
}

}  // namespace
}  // namespace velcor
