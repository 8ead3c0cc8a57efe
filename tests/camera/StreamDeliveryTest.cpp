// Callback preview delivers every frame the camera sends, in order, even when the worker is
// held up, and the SDK's threads allocate nothing per frame while frames stream.
#include <gtest/gtest.h>

#include <velcor/VelcorSdk.h>
#include <velcor/VelcorSim.h>
#include <velcor/VelcorWin.h>

#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "camera/CameraTestSupport.h"
#include "platform/Clock.h"
#include "support/AllocationCounter.h"
#include "support/Sanitizers.h"

namespace velcor {
namespace {

using testing::CameraOnSimulator;

constexpr int kPixels = 1280 * 1024;

class StreamDelivery : public CameraOnSimulator {
  protected:
    void StartFullFrame(int bits, bool sensorRate) {
        Open(1);
        ASSERT_EQ(Velcor_SetColorMode(handle_, bits), TRUE);
        ASSERT_EQ(VelcorSim_SetFastFrames(cameraIds_[0], sensorRate ? FALSE : TRUE), TRUE);
        Velcor_SetPreviewWindow(handle_, nullptr, 0, 0, 0, 0);
        ASSERT_EQ(Velcor_SetWaitTime(handle_, 0), TRUE);
        buffer_.assign(static_cast<size_t>(kPixels * bits / 8), 0);
        ASSERT_EQ(Velcor_CallBackPreview(handle_, window_, buffer_.data(),
                                         static_cast<int>(buffer_.size()), 1),
                  TRUE);
    }
    // Takes `count` frame messages; false at the first failure message or time-out.
    bool TakeFrames(int count) {
        for (int i = 0; i < count; ++i) {
            WPARAM w = 0;
            LPARAM l = 0;
            if (!NextFrame(&w, &l) || w == 0) return false;
            ++delivered_;
        }
        return true;
    }
    // The worker takes its pause at the start of each pass: one pass starts within a frame
    // time and pauses for `ms`, the passes after it do not pause.
    void HoldUpWorker(int ms) {
        ASSERT_EQ(Velcor_SetWaitTime(handle_, ms), TRUE);
        platform::Sleep(150);
        ASSERT_EQ(Velcor_SetWaitTime(handle_, 0), TRUE);
    }
    // Stops the preview and takes the frame messages still queued.
    VELCORSIM_FRAMECOUNTERS StopAndCount() {
        Velcor_StopPreview(handle_);
        WPARAM w = 0;
        LPARAM l = 0;
        while (NextFrame(&w, &l, 0)) {
            if (w != 0) ++delivered_;
        }
        VELCORSIM_FRAMECOUNTERS counters{};
        EXPECT_EQ(VelcorSim_GetFrameCounters(handle_, &counters), TRUE);
        return counters;
    }

    std::vector<BYTE> buffer_;
    uint64_t delivered_ = 0;
};

// The worker pauses for about 15 frame times once (the application's wait time), as a busy
// machine would hold it up. Every frame the camera finished reaches the application all the
// same: none dropped from the ring, one message for each frame read.
TEST_F(StreamDelivery, AWorkerHeldUpForHalfASecondLosesNoFrame) {
    if (test::kUnderSanitizer)
        GTEST_SKIP() << "a question of timing: the worker must catch up at the sensor's rate";
    for (const int bits : {8, 16}) {
        SCOPED_TRACE(bits);
        StartFullFrame(bits, true);
        ASSERT_TRUE(TakeFrames(3));
        HoldUpWorker(600);
        ASSERT_TRUE(TakeFrames(30));
        const VELCORSIM_FRAMECOUNTERS counters = StopAndCount();
        EXPECT_EQ(counters.dropped, 0u);
        EXPECT_GE(counters.read + 2, counters.finished) << "frames left unread at the stop";
        EXPECT_EQ(delivered_, counters.read);
        TearDown();
        delivered_ = 0;
        handle_ = 0;
        window_ = nullptr;
        cameraIds_.clear();
    }
}

// A worker held up for longer than the ring lasts loses the oldest frames, and the counters
// account for every one: what the camera finished was read, dropped or is still waiting.
TEST_F(StreamDelivery, ARingOverrunDropsTheOldestFramesAndCountsThem) {
    if (test::kUnderSanitizer)
        GTEST_SKIP() << "a question of timing: the camera must outrun the worker";
    StartFullFrame(8, false);
    ASSERT_TRUE(TakeFrames(3));
    HoldUpWorker(1500);
    ASSERT_TRUE(TakeFrames(40));
    const VELCORSIM_FRAMECOUNTERS counters = StopAndCount();
    EXPECT_GT(counters.dropped, 0u);
    EXPECT_EQ(delivered_, counters.read);
    EXPECT_LE(counters.read + counters.dropped, counters.finished);
    EXPECT_GE(counters.read + counters.dropped + 32, counters.finished);
}

// A worker that pauses after each frame while a fast camera laps the ring many times: the
// image GetImage reads in the pause is the frame the last message announced, row for row (the
// moving scene makes every frame differ from the ones around it).
TEST_F(StreamDelivery, TheImageAfterAFrameIsThatFrameWhileTheCameraRunsOn) {
    // The check reads the application's buffer inside the worker's pause; a sanitizer build can
    // outlast the pause, and the worker then writes the next frame while the test still reads.
    if (test::kUnderSanitizer) GTEST_SKIP() << "a question of timing: the read must fit the pause";
    StartFullFrame(8, false);
    ASSERT_TRUE(VelcorSim_SetFastRender(cameraIds_[0], TRUE));
    ASSERT_EQ(Velcor_SetWaitTime(handle_, 150), TRUE);
    ASSERT_TRUE(TakeFrames(2));
    std::vector<BYTE> image(buffer_.size());
    std::vector<BYTE> previous;
    // A loaded machine can hold this thread past the pause: the worker then copies the next
    // frame while the test still reads, and its message follows. Such a round proves nothing
    // and is taken again; a difference with no next frame behind it is a fault.
    int checked = 0;
    for (int round = 0; round < 12 && checked < 3; ++round) {
        ASSERT_TRUE(TakeFrames(1));
        // The message came right after the copy; the worker now pauses for 150 ms.
        ASSERT_EQ(Velcor_GetImage(handle_, image.data(), static_cast<int>(image.size()), 1), TRUE);
        if (image != buffer_) {
            WPARAM w = 0;
            LPARAM l = 0;
            if (NextFrame(&w, &l, 1000)) {
                if (w != 0) ++delivered_;
                continue;
            }
        }
        EXPECT_TRUE(image == buffer_) << "frame " << checked;
        EXPECT_FALSE(image == previous) << "frame " << checked << " is a new frame";
        previous = image;
        ++checked;
    }
    EXPECT_EQ(checked, 3) << "the pause was outlasted in every round";
    StopAndCount();
}

// 1000 full frames through the C API: after the first few (queues and pools reach their
// size), no thread allocates per frame: not the SDK's worker and acquisition threads, nor the
// simulated camera, whether on its own frame thread or on the acquisition thread that its bulk
// reads answer on.
TEST_F(StreamDelivery, AThousandFramesAllocateNothingOnAnyThread) {
    constexpr const char* kThreads[] = {"velcor-worker", "velcor-acquire", "velcor-sim"};
    for (const int bits : {8, 16}) {
        SCOPED_TRACE(bits);
        StartFullFrame(bits, false);
        ASSERT_TRUE(TakeFrames(10));
        // The sanitizers make each frame several times dearer; a fifth of the frames still
        // runs far past the pools' filling. A 16-bit frame takes the same paths with more
        // pieces per frame; fewer of them keep the test short.
        const int frames = (bits == 8 ? 1000 : 300) / (test::kUnderSanitizer ? 5 : 1);
        uint64_t before[std::size(kThreads)];
        for (size_t i = 0; i < std::size(kThreads); ++i)
            before[i] = test::AllocationsOnThreadsNamed(kThreads[i]);
        ASSERT_TRUE(TakeFrames(frames));
        for (size_t i = 0; i < std::size(kThreads); ++i) {
            const uint64_t made = test::AllocationsOnThreadsNamed(kThreads[i]) - before[i];
            EXPECT_EQ(made, 0u) << kThreads[i];
            RecordProperty(std::string(kThreads[i]) + "-allocations-" + std::to_string(bits),
                           static_cast<int>(made));
        }
        StopAndCount();
        TearDown();
        delivered_ = 0;
        handle_ = 0;
        window_ = nullptr;
        cameraIds_.clear();
    }
}

// Automatic exposure rewrites the sensor's shutter on every frame that is too bright: a dozen
// control requests per frame, each over a device handle opened for it alone. The natural
// scene of fast frames is too bright at any exposure; each time the application sets a long
// one, the worker cuts it back a quarter at a time. None of it allocates on any thread.
TEST_F(StreamDelivery, AutomaticExposureAtWorkAllocatesNothingOnAnyThread) {
    constexpr const char* kThreads[] = {"velcor-worker", "velcor-acquire", "velcor-sim"};
    constexpr int kLong = 20000;
    StartFullFrame(8, false);
    ASSERT_EQ(Velcor_SetAutoIris(handle_, 1), TRUE);
    ASSERT_TRUE(TakeFrames(10));
    uint64_t before[std::size(kThreads)];
    for (size_t i = 0; i < std::size(kThreads); ++i)
        before[i] = test::AllocationsOnThreadsNamed(kThreads[i]);
    for (int round = 0; round < 5; ++round) {
        ASSERT_EQ(Velcor_SetExposureTime(handle_, kLong), TRUE);
        // Frames already in the ring come first; the cut follows within a ring's depth.
        int ok = 0;
        int exposure = kLong;
        for (int frame = 0; frame < 100 && exposure >= kLong; ++frame) {
            ASSERT_TRUE(TakeFrames(1));
            exposure = Velcor_GetExposureTime(handle_, &ok);
        }
        EXPECT_LT(exposure, kLong) << "round " << round;
    }
    for (size_t i = 0; i < std::size(kThreads); ++i) {
        const uint64_t made = test::AllocationsOnThreadsNamed(kThreads[i]) - before[i];
        EXPECT_EQ(made, 0u) << kThreads[i];
        RecordProperty(std::string(kThreads[i]) + "-allocations-auto-exposure",
                       static_cast<int>(made));
    }
}

}  // namespace
}  // namespace velcor
