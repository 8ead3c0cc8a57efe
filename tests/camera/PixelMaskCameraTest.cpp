// The pixel mask through the C API on a simulated camera: references taken from dark and
// flat frames, mask files saved and loaded, and the corrections of the frame conversion.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <velcor/VelcorSdk.h>
#include <velcor/VelcorSim.h>
#include <velcor/VelcorWin.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "api/SdkChain.h"
#include "camera/Velcor.h"
#include "sim/SimTestSupport.h"

namespace velcor {
namespace {

constexpr int kW = 1280;
constexpr int kH = 1024;

class MaskCamera : public testing::SimTest {
  protected:
    void SetUp() override {
        testing::SimTest::SetUp();
        camera_ = VelcorSim_AttachCamera(0x32C0, "MASK0001");
        ASSERT_GT(camera_, 0);
        window_ = VelcorWin_CreateMessageWindow();
        handle_ = Velcor_Initialize(window_);
        ASSERT_NE(handle_, 0);
        ASSERT_EQ(Velcor_GetLastError(handle_), 0);
        Velcor_SetPreviewWindow(handle_, nullptr, 0, 0, 0, 0);
        Velcor_SetWaitTime(handle_, 0);
        char pattern[] = "/tmp/velcor-mask-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        directory_ = pattern;
    }
    void TearDown() override {
        Velcor_Release(handle_);
        VelcorWin_DestroyWindow(window_);
        std::error_code ignored;
        std::filesystem::remove_all(directory_, ignored);
        testing::SimTest::TearDown();
    }

    std::vector<BYTE> Snap(int bits, int width = kW, int height = kH) {
        const int size = width * height * (bits / 8);
        std::vector<BYTE> buffer(static_cast<size_t>(size));
        EXPECT_EQ(Velcor_SnapShot(handle_, buffer.data(), size, 1), TRUE);
        EXPECT_EQ(Velcor_GetLastError(handle_), 0);
        return buffer;
    }

    // Copies of the ten correction planes.
    std::vector<std::vector<uint8_t>> Planes() {
        auto camera = SdkChain().Lookup(handle_);
        std::vector<std::vector<uint8_t>> planes;
        for (int i = 0; i < kMaskPlaneCount; ++i) {
            const DibImage* p = camera->CorrectionPlane(i);
            planes.emplace_back(p->Pixels(), p->Pixels() + p->ByteSize());
        }
        return planes;
    }

    // Takes a dark reference in the dark scene and a bright one in the flat scene.
    void TakeReferences(int bits) {
        ASSERT_EQ(Velcor_SetColorMode(handle_, bits), TRUE);
        ASSERT_TRUE(VelcorSim_SetScene(camera_, VELCOR_SIM_SCENE_DARK));
        Snap(bits);  // a frame already under way may still show the scene before
        Snap(bits);
        ASSERT_EQ(Velcor_UpdateMaskData(handle_, 0), TRUE);
        ASSERT_TRUE(VelcorSim_SetScene(camera_, VELCOR_SIM_SCENE_FLAT));
        Snap(bits);
        Snap(bits);
        ASSERT_EQ(Velcor_UpdateMaskData(handle_, 1), TRUE);
    }

    std::string Path(const std::string& name) const { return (directory_ / name).string(); }

    int camera_ = 0;
    HWND window_ = nullptr;
    int handle_ = 0;
    std::filesystem::path directory_;
};

uint32_t SampleAt(const std::vector<BYTE>& frame, int bits, int x, int y) {
    if (bits == 8) return frame[static_cast<size_t>(y) * kW + x];
    uint16_t v;
    std::memcpy(&v, &frame[(static_cast<size_t>(y) * kW + x) * 2], 2);
    return v;
}

TEST_F(MaskCamera, DefectsOfTheSensorAreGoneWithMaskAndDotFiltersOn) {
    ASSERT_TRUE(VelcorSim_SetDefects(camera_, 40, 40, 1234));
    const auto defects = Camera(camera_)->Defects();
    ASSERT_EQ(defects.size(), 80u);
    for (int bits : {8, 16}) {
        SCOPED_TRACE(::testing::Message() << bits << " bits");
        ASSERT_EQ(Velcor_SetMaskFilter(handle_, 0), TRUE);
        ASSERT_EQ(Velcor_SetDotFilter(handle_, 0), TRUE);
        TakeReferences(bits);

        // The maps found the defects of the references.
        auto camera = SdkChain().Lookup(handle_);
        const int first = bits == 8 ? 0 : 5;
        const DibImage& hot = *camera->CorrectionPlane(first + 2);
        const DibImage& dead = *camera->CorrectionPlane(first + 3);
        for (const auto& d : defects) {
            if (d.x < 2 || d.x >= kW - 2 || d.y < 2 || d.y >= kH - 2) continue;
            const DibImage& map = d.hot ? hot : dead;
            const uint8_t* at = map.Pixels() + static_cast<size_t>(d.y) * map.Stride() +
                                static_cast<size_t>(d.x) * map.BytesPerPixel();
            EXPECT_EQ(at[0], 1) << d.x << ", " << d.y << (d.hot ? " hot" : " dead");
        }

        // Half the reference's light: the flat field puts the picture at half the scale.
        int ok = 0;
        const double exposure = Velcor_GetExposureTimeEx(handle_, &ok);
        ASSERT_EQ(ok, TRUE);
        ASSERT_EQ(Velcor_SetExposureTimeEx(handle_, exposure / 2), TRUE);
        ASSERT_EQ(Velcor_SetMaskFilter(handle_, 1), TRUE);
        ASSERT_EQ(Velcor_SetDotFilter(handle_, 1), TRUE);
        Snap(bits);
        const std::vector<BYTE> frame = Snap(bits);
        ASSERT_EQ(Velcor_SetExposureTimeEx(handle_, exposure), TRUE);

        const uint32_t full = bits == 8 ? 255 : 4095 * 16;
        int stuck = 0;
        for (int y = 4; y < kH - 4; ++y) {
            for (int x = 4; x < kW - 4; ++x) {
                const uint32_t v = SampleAt(frame, bits, x, y);
                stuck += v == 0 || v >= full;
            }
        }
        EXPECT_EQ(stuck, 0) << "pixels at 0 or full scale inside the frame";
        int checked = 0;
        for (const auto& d : defects) {
            if (d.x < 4 || d.x >= kW - 4 || d.y < 4 || d.y >= kH - 4) continue;
            const uint32_t v = SampleAt(frame, bits, d.x, d.y);
            const double half = bits == 8 ? 128.0 : 2048.0 * 16;
            EXPECT_NEAR(v, half, half / 3) << d.x << ", " << d.y << (d.hot ? " hot" : " dead");
            ++checked;
        }
        EXPECT_GT(checked, 70);
    }
}

TEST_F(MaskCamera, UpdateRefusesAWindowedFrameAndAnUnknownKind) {
    TakeReferences(8);
    const auto before = Planes();
    ASSERT_EQ(Velcor_SetCaptureWindowEx(handle_, 1280, 0, 1280, 1024, 256, 512), TRUE);
    Snap(8, 1280, 512);
    EXPECT_EQ(Velcor_UpdateMaskData(handle_, 1), FALSE);
    EXPECT_EQ(Velcor_GetLastError(handle_), 12);
    EXPECT_EQ(Velcor_UpdateMaskData(handle_, 0), FALSE);
    EXPECT_EQ(Velcor_GetLastError(handle_), 12);
    ASSERT_EQ(Velcor_SetCaptureWindowEx(handle_, 1280, 0, 1280, 1024, 0, 1024), TRUE);
    Snap(8);
    EXPECT_EQ(Velcor_UpdateMaskData(handle_, 2), FALSE);
    EXPECT_EQ(Velcor_GetLastError(handle_), 12);
    EXPECT_EQ(Planes(), before);
}

TEST_F(MaskCamera, MaskFilesRoundTripInBothPathForms) {
    ASSERT_TRUE(VelcorSim_SetDefects(camera_, 10, 10, 99));
    TakeReferences(8);
    TakeReferences(16);
    const auto taken = Planes();
    const std::string narrow = Path("taken.msk");
    ASSERT_EQ(Velcor_SaveMaskFile(handle_, narrow.c_str()), TRUE);
    EXPECT_EQ(std::filesystem::file_size(narrow), 7'864'360u);
    const std::string wideName = Path("wide.msk");
    const std::wstring wide(wideName.begin(), wideName.end());
    ASSERT_EQ(Velcor_SaveMaskFileW(handle_, wide.c_str()), TRUE);

    // A second camera object loads what the first one saved.
    const int other = Velcor_Initialize(nullptr);
    ASSERT_NE(other, 0);
    ASSERT_EQ(Velcor_LoadMaskFile(other, narrow.c_str()), TRUE);
    auto otherCamera = SdkChain().Lookup(other);
    for (int i : {0, 1, 2, 3, 5, 6, 7, 8}) {
        const DibImage* p = otherCamera->CorrectionPlane(i);
        EXPECT_EQ(std::vector<uint8_t>(p->Pixels(), p->Pixels() + p->ByteSize()), taken[i])
            << "plane " << i;
    }
    Velcor_Release(other);

    // Loading over a different mask brings the saved one back.
    TakeReferences(8);
    ASSERT_NE(Planes()[0], taken[0]);
    ASSERT_EQ(Velcor_LoadMaskFileW(handle_, wide.c_str()), TRUE);
    const auto loaded = Planes();
    for (int i : {0, 1, 2, 3, 5, 6, 7, 8})
        EXPECT_EQ(loaded[i], taken[i]) << "plane " << i;
}

TEST_F(MaskCamera, BrokenMaskFilesAreRefusedWithErrorFourteenAndNoPlaneChanged) {
    TakeReferences(8);
    const std::string good = Path("good.msk");
    ASSERT_EQ(Velcor_SaveMaskFile(handle_, good.c_str()), TRUE);
    std::vector<char> bytes;
    {
        std::ifstream in(good, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    ASSERT_EQ(bytes.size(), 7'864'360u);
    auto write = [&](const std::string& name, const std::vector<char>& content) {
        std::ofstream(Path(name), std::ios::binary).write(content.data(), content.size());
        return Path(name);
    };
    std::vector<char> badMagic = bytes;
    badMagic[3] = 'X';
    std::vector<char> badHeader = bytes;
    badHeader[21] = 5;  // height 1024 -> 1280
    const std::vector<char> truncated(bytes.begin(), bytes.begin() + 3'000'000);
    std::vector<char> longer = bytes;
    longer.push_back(0);

    // A file of other references, so that a partial load would show.
    std::vector<char> zeros(bytes.begin(), bytes.begin() + 40);
    zeros.resize(bytes.size(), 0);
    ASSERT_EQ(Velcor_LoadMaskFile(handle_, write("zeros.msk", zeros).c_str()), TRUE);
    const auto before = Planes();

    const std::string paths[] = {write("magic.msk", badMagic), write("header.msk", badHeader),
                                 write("short.msk", truncated), Path("missing.msk"),
                                 directory_.string()};
    for (const std::string& path : paths) {
        EXPECT_EQ(Velcor_LoadMaskFile(handle_, path.c_str()), FALSE) << path;
        EXPECT_EQ(Velcor_GetLastError(handle_), 14) << path;
    }
    EXPECT_EQ(Velcor_LoadMaskFile(handle_, nullptr), FALSE);
    EXPECT_EQ(Velcor_GetLastError(handle_), 14);
    EXPECT_EQ(Planes(), before);

    // Bytes after the last plane are not part of the mask: the file loads.
    EXPECT_EQ(Velcor_LoadMaskFile(handle_, write("long.msk", longer).c_str()), TRUE);
    EXPECT_NE(Planes(), before);
}

TEST_F(MaskCamera, SavesThatCannotBeWrittenAnswerErrorFourteenAndLeaveNoFile) {
    const std::string inMissingFolder = Path("no-such-folder/mask.msk");
    EXPECT_EQ(Velcor_SaveMaskFile(handle_, inMissingFolder.c_str()), FALSE);
    EXPECT_EQ(Velcor_GetLastError(handle_), 14);
    const std::wstring wide(inMissingFolder.begin(), inMissingFolder.end());
    EXPECT_EQ(Velcor_SaveMaskFileW(handle_, wide.c_str()), FALSE);
    EXPECT_EQ(Velcor_GetLastError(handle_), 14);
    EXPECT_EQ(Velcor_SaveMaskFile(handle_, directory_.c_str()), FALSE);
    EXPECT_EQ(Velcor_GetLastError(handle_), 14);
    // A device is no mask file: refused, and left in place.
    EXPECT_EQ(Velcor_SaveMaskFile(handle_, "/dev/full"), FALSE);
    EXPECT_EQ(Velcor_GetLastError(handle_), 14);
    EXPECT_TRUE(std::filesystem::exists("/dev/full"));

    // A file size limit below the mask file's: the writes fail part way (SIGXFSZ ignored, so
    // write answers EFBIG), in a child process that carries the limit alone.
    const std::string limited = Path("limited.msk");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{1 << 20, 1 << 20};
        setrlimit(RLIMIT_FSIZE, &limit);
        const int saved = Velcor_SaveMaskFile(handle_, limited.c_str());
        const int error = Velcor_GetLastError(handle_);
        _exit(saved == FALSE && error == 14 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the save must fail with error 14";
    EXPECT_FALSE(std::filesystem::exists(limited)) << "the partial file must be removed";
}

}  // namespace
}  // namespace velcor
