// Recording AVI films from the simulated camera's ramp through the C API: the frames in the
// file, the timing, the ways a recording ends (its duration, a stop, a close, a release, a
// full disk) and the starts that are refused. The picture's pixel in column x and row y is
// (x + 2y) & 0xFF at 8 bits and (x + 2y) & 0xFFF at 16 bits.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <velcor/VelcorErrors.h>
#include <velcor/VelcorSdk.h>
#include <velcor/VelcorSim.h>
#include <velcor/VelcorWin.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "sim/SimTestSupport.h"
#include "support/AllocationCounter.h"
#include "support/AviFileReader.h"
#include "support/ProcessThreads.h"
#include "support/Sanitizers.h"

namespace velcor {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

int CountThreads() {
    int count = 0;
    for (const auto& thread : test::ThreadsOfThisProcess())
        count += thread.name != "velcor-sim" ? 1 : 0;
    return count;
}

class Recording : public testing::SimTest {
  protected:
    void SetUp() override {
        testing::SimTest::SetUp();
        camera_ = VelcorSim_AttachCamera(0x32C0, "FILM0001");
        ASSERT_GT(camera_, 0);
        ASSERT_TRUE(VelcorSim_SetScene(camera_, VELCOR_SIM_SCENE_RAMP));
        window_ = VelcorWin_CreateMessageWindow();
        // ThreadSanitizer starts a thread of its own with the process's second thread.
        std::thread([] {}).join();
        threadsBefore_ = CountThreads();
        handle_ = Velcor_Initialize(window_);
        ASSERT_NE(handle_, 0);
        ASSERT_EQ(Velcor_GetLastError(handle_), 0);
        Velcor_SetPreviewWindow(handle_, nullptr, 0, 0, 0, 0);
        Velcor_SetWaitTime(handle_, 0);
        // The stored settings give the monochrome camera 16-bit output; films here start at 8.
        ASSERT_EQ(Velcor_SetColorMode(handle_, 8), TRUE);
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::replace(name.begin(), name.end(), '/', '-');
        path_ =
            ::testing::TempDir() + "recording-" + std::to_string(getpid()) + "-" + name + ".avi";
    }
    void TearDown() override {
        if (handle_ != 0) Velcor_Release(handle_);
        VelcorWin_DestroyWindow(window_);
        std::remove(path_.c_str());
        testing::SimTest::TearDown();
    }

    // Rows y0..y0+height-1 of the sensor, the whole width.
    void Window(int y0, int height) {
        y0_ = y0;
        ASSERT_EQ(Velcor_SetCaptureWindowEx(handle_, 1280, 0, 1280, 1024, y0, height), TRUE);
    }
    // The file once the recorder has finished it (its sizes are patched last).
    test::AviFile FinishedFile(int timeoutMs = test::kUnderSanitizer ? 30000 : 10000) {
        const auto deadline = Clock::now() + milliseconds(timeoutMs);
        test::AviFile avi = test::ReadAvi(path_);
        while (!avi.Valid() && Clock::now() < deadline) {
            std::this_thread::sleep_for(milliseconds(20));
            avi = test::ReadAvi(path_);
        }
        return avi;
    }
    // The next error posted to the notification window, 0 when none comes in time.
    int NextError(int timeoutMs) {
        VELCORMSG message{};
        if (!VelcorWin_GetMessage(&message, window_, VELCOR_WM_ERROR, VELCOR_WM_ERROR,
                                  static_cast<UINT>(timeoutMs))) {
            return 0;
        }
        return static_cast<int>(message.lParam);
    }
    // Every pixel of every frame is the ramp, reduced to 8 bits as the colour mode does.
    void ExpectRamp(const test::AviFile& avi, int bits) {
        int wrong = 0;
        for (size_t frame = 0; frame < avi.framePixels.size(); ++frame) {
            for (int y = 0; y < avi.height && wrong < 5; ++y) {
                for (int x = 0; x < avi.width && wrong < 5; ++x) {
                    const int ramp = x + 2 * (y0_ + y);
                    const int expected = bits == 8 ? ramp & 0xFF : ((ramp & 0xFFF) >> 2) & 0xFF;
                    const uint8_t* bgr = avi.Pixel(frame, x, y);
                    if (bgr[0] != expected || bgr[1] != expected || bgr[2] != expected) {
                        ADD_FAILURE() << "frame " << frame << " x " << x << " y " << y << ": "
                                      << int{bgr[0]} << "," << int{bgr[1]} << "," << int{bgr[2]}
                                      << " instead of " << expected;
                        ++wrong;
                    }
                }
            }
        }
    }

    int camera_ = 0;
    int handle_ = 0;
    HWND window_ = nullptr;
    int threadsBefore_ = 0;
    int y0_ = 0;
    std::string path_;
};

TEST_F(Recording, FramesHoldTheRampBottomRowFirstInBothGrayModes) {
    for (const int bits : {8, 16}) {
        ASSERT_EQ(Velcor_SetColorMode(handle_, bits), TRUE);
        ASSERT_NO_FATAL_FAILURE(Window(100, 240));
        ASSERT_EQ(Velcor_Record(handle_, path_.c_str(), 0, 0), TRUE);
        const test::AviFile avi = FinishedFile();
        ASSERT_TRUE(avi.Valid()) << avi.problem;
        EXPECT_EQ(avi.width, 1280);
        EXPECT_EQ(avi.height, 240);
        EXPECT_EQ(avi.bitCount, 24);
        EXPECT_EQ(avi.frameBytes, 1280u * 240 * 3);
        // A duration of 0 still gives a film: the first frame and one of a later millisecond.
        EXPECT_GE(avi.index.size(), 2u) << bits;
        for (const auto& entry : avi.index)
            EXPECT_EQ(entry.flags, 0x10u);
        // The measured rate sets the frame time; it cannot be the nominal 30 here, as the
        // frames come in a few milliseconds.
        EXPECT_NE(avi.microsecondsPerFrame, 33333u);
        EXPECT_EQ(avi.rate, 10000000u);
        EXPECT_EQ(avi.scale / 10, avi.microsecondsPerFrame) << "both from one rate";
        ExpectRamp(avi, bits);
        // The preview goes on after the recording; stopping it ends everything.
        EXPECT_EQ(Velcor_StopPreview(handle_), TRUE);
        EXPECT_EQ(Velcor_GetLastError(handle_), 0);
    }
}

TEST_F(Recording, DurationSetsTheLengthAndTheRate) {
    ASSERT_NO_FATAL_FAILURE(Window(0, 64));
    Velcor_SetWaitTime(handle_, 20);
    ASSERT_EQ(Velcor_Record(handle_, path_.c_str(), 400, 0), TRUE);
    const test::AviFile avi = FinishedFile();
    ASSERT_TRUE(avi.Valid()) << avi.problem;
    ASSERT_GE(avi.index.size(), 3u);
    // Frames at most as often as the recorder looks (every 10 ms). The rate is measured from
    // the first frame to the first one after the 400 ms: a little over 400 ms for all frames.
    EXPECT_LE(avi.index.size(), 45u);
    const double fps = 1e6 / avi.microsecondsPerFrame;
    const double frames = static_cast<double>(avi.index.size());
    EXPECT_LE(fps, frames / 0.4 + 0.1);
    if (!test::kUnderSanitizer) {
        EXPECT_GE(fps, frames / 0.7);
    }
    EXPECT_EQ(Velcor_Close(handle_), TRUE);
}

TEST_F(Recording, RecorderAllocatesNothingPerFrame) {
    ASSERT_NO_FATAL_FAILURE(Window(0, 64));
    // What a recorder allocates for a film of two frames and for one of many: the scratch
    // images when it starts, nothing per frame.
    uint64_t allocations[2] = {};
    size_t frames[2] = {};
    // Long enough for a busy sanitizer build to deliver several more frames.
    const int durations[2] = {0, test::kUnderSanitizer ? 1500 : 500};
    for (int i = 0; i < 2; ++i) {
        const uint64_t before = test::AllocationsOnThreadsNamed("velcor-recorder");
        ASSERT_EQ(Velcor_Record(handle_, path_.c_str(), durations[i], 0), TRUE);
        const test::AviFile avi = FinishedFile();
        ASSERT_TRUE(avi.Valid()) << avi.problem;
        EXPECT_EQ(Velcor_StopPreview(handle_), TRUE);
        allocations[i] = test::AllocationsOnThreadsNamed("velcor-recorder") - before;
        frames[i] = avi.index.size();
    }
    ASSERT_GT(frames[1], frames[0] + 5);
    EXPECT_GE(allocations[0], 3u) << "the three scratch images";
    EXPECT_EQ(allocations[1], allocations[0]) << frames[0] << " and " << frames[1] << " frames";
}

enum class Ending { kStopPreview, kClose, kRelease };

class RecordingEndedEarly : public Recording, public ::testing::WithParamInterface<Ending> {};

TEST_P(RecordingEndedEarly, LeavesAFinishedFileAndNoThread) {
    ASSERT_NO_FATAL_FAILURE(Window(0, 128));
    ASSERT_EQ(Velcor_Record(handle_, path_.c_str(), 60000, 0), TRUE);
    std::this_thread::sleep_for(milliseconds(300));
    const auto start = Clock::now();
    switch (GetParam()) {
        case Ending::kStopPreview:
            EXPECT_EQ(Velcor_StopPreview(handle_), TRUE);
            break;
        case Ending::kClose:
            EXPECT_EQ(Velcor_Close(handle_), TRUE);
            break;
        case Ending::kRelease:
            EXPECT_EQ(Velcor_Release(handle_), TRUE);
            handle_ = 0;
            break;
    }
    EXPECT_LT(Clock::now() - start, milliseconds(test::kUnderSanitizer ? 5000 : 1000));
    // The file is complete when the call returns.
    const test::AviFile avi = test::ReadAvi(path_);
    ASSERT_TRUE(avi.Valid()) << avi.problem;
    EXPECT_GE(avi.index.size(), 1u);
    ExpectRamp(avi, 8);
    if (handle_ != 0) {
        EXPECT_EQ(Velcor_GetLastError(handle_), 0);
        Velcor_Release(handle_);
        handle_ = 0;
    }
    EXPECT_EQ(CountThreads(), threadsBefore_) << "threads left behind";
}

std::string EndingName(const ::testing::TestParamInfo<Ending>& info) {
    const char* const names[] = {"StopPreview", "Close", "Release"};
    return names[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Endings, RecordingEndedEarly,
                         ::testing::Values(Ending::kStopPreview, Ending::kClose, Ending::kRelease),
                         EndingName);

TEST_F(Recording, RefusedStartsSayWhy) {
    EXPECT_EQ(Velcor_Record(handle_, nullptr, 100, 0), FALSE);
    EXPECT_EQ(Velcor_GetLastError(handle_), VELCOR_ERR_ARGUMENT);
    EXPECT_EQ(Velcor_Record(handle_, "", 100, 0), FALSE);
    EXPECT_EQ(Velcor_GetLastError(handle_), VELCOR_ERR_ARGUMENT);
    EXPECT_EQ(Velcor_RecordW(handle_, L"", 100, 0), FALSE);
    EXPECT_EQ(Velcor_GetLastError(handle_), VELCOR_ERR_ARGUMENT);

    // A file that cannot be created: error 12, and the preview it started is stopped again.
    const std::string missing = ::testing::TempDir() + "no-such-folder/film.avi";
    EXPECT_EQ(Velcor_Record(handle_, missing.c_str(), 100, 0), FALSE);
    EXPECT_EQ(Velcor_GetLastError(handle_), VELCOR_ERR_CONVERSION);
    EXPECT_EQ(Velcor_GetLastError(handle_), 0);
    EXPECT_EQ(Velcor_Capture(handle_), TRUE) << "the camera is idle";
    // Capture mode cannot turn into a preview: the recording does not start (error 1 of the
    // preview start, then 12).
    EXPECT_EQ(Velcor_Record(handle_, path_.c_str(), 100, 0), FALSE);
    EXPECT_EQ(Velcor_GetLastError(handle_), VELCOR_ERR_CONVERSION);
    EXPECT_EQ(Velcor_GetLastError(handle_), VELCOR_ERR_NO_CAMERA);

    // The library's preview window asked for where none can be shown: error 4.
    Velcor_SetPreviewWindow(handle_, nullptr, 0, 0, 640, 480);
    EXPECT_EQ(Velcor_Record(handle_, path_.c_str(), 100, 1), FALSE);
    EXPECT_EQ(Velcor_GetLastError(handle_), VELCOR_ERR_WINDOW);
    // Without the show flag the placement does not matter.
    ASSERT_NO_FATAL_FAILURE(Window(0, 64));
    EXPECT_EQ(Velcor_Record(handle_, path_.c_str(), 60000, 0), TRUE);
    // A second recording while one runs is refused; the first goes on to a valid file.
    const std::string other = path_ + ".second.avi";
    EXPECT_EQ(Velcor_Record(handle_, other.c_str(), 100, 0), FALSE);
    EXPECT_EQ(Velcor_GetLastError(handle_), VELCOR_ERR_CONVERSION);
    EXPECT_NE(access(other.c_str(), F_OK), 0);
    std::this_thread::sleep_for(milliseconds(100));
    EXPECT_EQ(Velcor_StopPreview(handle_), TRUE);
    const test::AviFile avi = test::ReadAvi(path_);
    EXPECT_TRUE(avi.Valid()) << avi.problem;
}

// A disk that fills up: the process's file size limit stands in for it. The recording ends
// with error 12 and a file of the frames that were written whole.
TEST_F(Recording, FullDiskEndsTheRecordingWithAValidFile) {
    ASSERT_NO_FATAL_FAILURE(Window(0, 32));
    const size_t chunk = 1280 * 32 * 3 + 8;
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const rlim_t limit = 232 + 3 * chunk + 100;
    if (saved.rlim_max != RLIM_INFINITY && saved.rlim_max < limit) GTEST_SKIP();
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit lowered = saved;
    lowered.rlim_cur = limit;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &lowered), 0);
    const int started = Velcor_Record(handle_, path_.c_str(), 60000, 0);
    const int error = started ? NextError(10000) : 0;
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    ASSERT_EQ(started, TRUE);
    EXPECT_EQ(error, VELCOR_ERR_CONVERSION);
    const test::AviFile avi = FinishedFile();
    ASSERT_TRUE(avi.Valid()) << avi.problem;
    EXPECT_EQ(avi.index.size(), 3u);
    ExpectRamp(avi, 8);
    // The preview goes on; the history holds the recording's error.
    EXPECT_EQ(Velcor_StopPreview(handle_), TRUE);
    EXPECT_EQ(Velcor_GetLastError(handle_), VELCOR_ERR_CONVERSION);
}

// Debian's ffprobe reads the film as a player would (skipped where it is not installed).
TEST_F(Recording, FfprobeReadsTheFilm) {
    if (std::system("command -v ffprobe > /dev/null 2>&1") != 0) GTEST_SKIP() << "no ffprobe";
    ASSERT_NO_FATAL_FAILURE(Window(0, 480));
    ASSERT_EQ(Velcor_Record(handle_, path_.c_str(), 0, 0), TRUE);
    const test::AviFile avi = FinishedFile();
    ASSERT_TRUE(avi.Valid()) << avi.problem;
    EXPECT_EQ(Velcor_StopPreview(handle_), TRUE);
    const std::string out = path_ + ".probe";
    const std::string command =
        "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
        "stream=codec_name,width,height,nb_read_frames -of csv=p=0 '" +
        path_ + "' > '" + out + "' 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::string probe;
    if (FILE* f = std::fopen(out.c_str(), "r")) {
        char line[256] = {};
        while (std::fgets(line, sizeof line, f) != nullptr)
            probe += line;
        std::fclose(f);
    }
    std::remove(out.c_str());
    EXPECT_EQ(probe, "rawvideo,1280,480," + std::to_string(avi.index.size()) + "\n");
}

}  // namespace
}  // namespace velcor
