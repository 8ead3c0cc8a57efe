// The simulated camera's own hardware: the hub's frame thread makes the frames the host asks
// for, at normal priority whatever the host runs at, and only when the bridge's buffers have
// room for them.
#include <gtest/gtest.h>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "sim/SimTestSupport.h"
#include "support/CpuTime.h"
#include "support/ProcessThreads.h"
#include "transport/DevIz3Cam.h"

namespace velcor {
namespace {

using testing::SimTest;

constexpr uint8_t kFrames = 0x81;
constexpr uint32_t kFrameBytes = 1280 * 1024;

using test::ProcessCpuMs;
using test::ThreadCpuMs;

struct TaskInfo {
    pid_t tid;
    std::string name;
    int policy;
};

// The threads of this process with their names and scheduling policies.
std::vector<TaskInfo> Tasks() {
    std::vector<TaskInfo> tasks;
    for (const auto& thread : test::ThreadsOfThisProcess())
        tasks.push_back({thread.tid, thread.name, sched_getscheduler(thread.tid)});
    return tasks;
}

class FrameThread : public SimTest {
  protected:
    void SetUp() override {
        SimTest::SetUp();
        id_ = Attach(0x32C0, "SIM0001");
        sim_ = Camera(id_);
        cam_ = std::make_unique<CDevIz3Cam>();
        ASSERT_EQ(cam_->EnumerateDevices(), 1);
        ASSERT_EQ(cam_->Prepare(), 1);
        stream_ = cam_->OpenDevice(0, true);
        ASSERT_NE(stream_, nullptr);
    }
    void TearDown() override {
        CFx3Api::CloseDevice(stream_);
        cam_.reset();
        SimTest::TearDown();
    }
    bool Read(uint32_t bytes) {
        std::vector<uint8_t> buffer(bytes);
        uint32_t count = 0;
        return cam_->TransferWithTimeout(stream_, buffer.data(), bytes, kFrames, &count, 2000) &&
               count == bytes;
    }
    int id_ = 0;
    std::shared_ptr<sim::SimCamera> sim_;
    std::unique_ptr<CDevIz3Cam> cam_;
    HANDLE stream_ = nullptr;
};

TEST_F(FrameThread, MakesTheFramesTheHostAsksForOnItsOwnThread) {
    const double processBefore = ProcessCpuMs();
    const double hostBefore = ThreadCpuMs();
    for (int i = 0; i < 10; ++i) {
        ASSERT_EQ(cam_->RequestFrame(stream_), 1);
        ASSERT_TRUE(Read(64)) << "the frame is ready when the request is answered";
        ASSERT_TRUE(Read(kFrameBytes));
    }
    const double hostMs = ThreadCpuMs() - hostBefore;
    const double cameraMs = ProcessCpuMs() - processBefore - hostMs;
    EXPECT_EQ(sim_->Trace().framesSent, 10u);
    // Rendering a frame is the camera's work; the host only asks and moves the bytes.
    EXPECT_LT(hostMs * 2, cameraMs) << "host " << hostMs << " ms, camera " << cameraMs << " ms";
}

TEST_F(FrameThread, MakesAFrameOnlyWhenTheBridgesBuffersHaveRoom) {
    // 32 transfer units: 16 frames of a header and its data.
    for (int i = 0; i < 20; ++i)
        ASSERT_EQ(cam_->RequestFrame(stream_), 1) << i;
    EXPECT_EQ(sim_->Trace().framesRequested, 20u);
    EXPECT_EQ(sim_->Trace().framesSent, 16u) << "no frame is made into full buffers";
    EXPECT_EQ(sim_->QueuedUnits(kFrames), 32u);

    // Reading one frame makes room; the frame asked for while they were full follows.
    ASSERT_TRUE(Read(64));
    ASSERT_TRUE(Read(kFrameBytes));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (sim_->Trace().framesSent < 17 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(sim_->Trace().framesSent, 17u);
    EXPECT_EQ(sim_->QueuedUnits(kFrames), 32u);
}

TEST_F(FrameThread, IsNotRealTimeEvenWhenARealTimeThreadNeedsItFirst) {
    std::atomic<bool> raised{false};
    std::atomic<bool> framed{false};
    std::thread host([&] {
        sched_param param{};
        param.sched_priority = sched_get_priority_min(SCHED_RR);
        if (pthread_setschedparam(pthread_self(), SCHED_RR, &param) != 0) return;
        raised = true;
        // A read that may time out, then a frame request: both need the camera's hardware.
        std::vector<uint8_t> record(38 + 64, 0);
        record[8] = 5;  // seconds
        record[13] = kFrames;
        record[30] = 38;
        record[34] = 64;
        platform::Event event(platform::Event::Reset::Manual);
        platform::OVERLAPPED overlapped;
        overlapped.hEvent = &event;
        uint32_t bytes = 0;
        platform::DeviceIoControl(stream_, kIoctlBufferedBulk, record.data(),
                                  static_cast<uint32_t>(record.size()), record.data(),
                                  static_cast<uint32_t>(record.size()), &bytes, &overlapped);
        cam_->RequestFrame(stream_);
        framed =
            event.Wait(5000) && platform::GetOverlappedResult(stream_, &overlapped, &bytes, false);
    });
    host.join();
    if (!raised) GTEST_SKIP() << "this process may not use real-time scheduling";
    EXPECT_TRUE(framed);

    bool seen = false;
    for (const TaskInfo& task : Tasks()) {
        EXPECT_EQ(task.policy, SCHED_OTHER) << task.name << " (" << task.tid << ")";
        seen = seen || task.name == "velcor-sim";
    }
    EXPECT_TRUE(seen) << "the frame thread runs";
}

}  // namespace
}  // namespace velcor
