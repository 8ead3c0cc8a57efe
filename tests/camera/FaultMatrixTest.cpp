// Every fault the simulated camera can produce, against every way of capturing, at the moments
// it can strike. Each row checks the result and error the application sees and how long it
// took to see it, that the camera works again once the fault is withdrawn (or the camera is
// plugged in again), that stopping and closing return promptly afterwards, and that nothing
// is left behind: no thread, no descriptor (memory is the sanitizer runs' part).
#include <gtest/gtest.h>

#include <velcor/VelcorErrors.h>
#include <velcor/VelcorSdk.h>
#include <velcor/VelcorSim.h>
#include <velcor/VelcorWin.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "camera/CameraTestSupport.h"
#include "platform/Clock.h"
#include "sim/SimTestSupport.h"
#include "support/AviFileReader.h"
#include "support/ProcessThreads.h"
#include "support/Sanitizers.h"

namespace velcor {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// A whole frame at 16 bits, the colour mode this camera stores on its first initialisation.
constexpr int kFrameBytes = 1280 * 1024 * 2;
constexpr int kForever = 1000000;  // occurrences: a fault that lasts until withdrawn
constexpr int kDelivers = 0;       // expected outcome: frames keep coming

enum class Fault {
    kControlFail,
    kBulkStall,
    kBulkStatus,
    kI2cNack,
    kFpgaBusy,
    kHeaderLost1,
    kHeaderLost4,
    kHeaderLost5,
    kHeaderLost30,
    kHeaderLost150,
    kShortFrames,
    kUnplug,
    kDetach,
    kNeverReady,
};
enum class Mode { kSnapshot, kCapture, kCallbackPreview, kPreview, kTrigger };
enum class Moment { kStartUp, kIdle, kMidStream, kMidTransfer, kRegisterWrite };

struct Row {
    Mode mode;
    Moment moment;
    Fault fault;
    int expect;   // kDelivers, or the error that ends the capture or fails the snapshot
    int boundMs;  // time from the fault to the outcome
};

const char* FaultName(Fault f) {
    static const char* const names[] = {
        "ControlFail", "BulkStall",    "BulkStatus",   "I2cNack",       "FpgaBusy",
        "1LostHeader", "4LostHeaders", "5LostHeaders", "30LostHeaders", "150LostHeaders",
        "ShortFrames", "Unplug",       "Detach",       "NeverReady"};
    return names[static_cast<int>(f)];
}
const char* ModeName(Mode m) {
    static const char* const names[] = {"Snapshot", "CaptureMode", "CallbackPreview", "Preview",
                                        "Trigger"};
    return names[static_cast<int>(m)];
}
const char* MomentName(Moment m) {
    static const char* const names[] = {"AtStartUp", "WhenIdle", "MidStream", "MidTransfer",
                                        "DuringRegisterWrite"};
    return names[static_cast<int>(m)];
}

bool Streams(Mode m) {
    return m == Mode::kCallbackPreview || m == Mode::kPreview || m == Mode::kTrigger;
}

// The rows. Start-up faults act on opening the camera; the others strike an opened camera
// before the capture starts (idle), while frames flow (mid-stream; for the snapshot modes:
// between two shots), or while the application writes a setting during capture.
std::vector<Row> Rows() {
    std::vector<Row> rows;
    const Mode modes[] = {Mode::kSnapshot, Mode::kCapture, Mode::kCallbackPreview, Mode::kPreview,
                          Mode::kTrigger};
    for (const Mode mode : modes) {
        const bool streams = Streams(mode);
        const bool trigger = mode == Mode::kTrigger;
        // A failed snapshot answers error 8; a stream that fails ends with error 13 (camera
        // stopped), as the engine gives the camera up after five failed frames in a row.
        const int failed = streams ? VELCOR_ERR_STOPPED : VELCOR_ERR_ACQUISITION;
        for (const Moment moment : {Moment::kIdle, Moment::kMidStream}) {
            // A camera that is gone before a capture starts fails the start (error 2); every
            // start but capture mode's snapshots checks for it. Once frames flow, its loss
            // fails the transfer in flight.
            const bool checksPresence = moment == Moment::kIdle || mode == Mode::kSnapshot;
            const int gone = checksPresence ? VELCOR_ERR_NOT_PRESENT : failed;
            rows.push_back({mode, moment, Fault::kControlFail, failed, 12000});
            rows.push_back({mode, moment, Fault::kBulkStatus, failed, 12000});
            // The trigger loop watches the frame counter in the FPGA behind the I2C bus: a
            // counter that cannot be read for the frame time-out means the camera is lost.
            rows.push_back({mode, moment, Fault::kI2cNack, trigger ? failed : kDelivers, 15000});
            rows.push_back({mode, moment, Fault::kFpgaBusy, kDelivers, 15000});
            rows.push_back({mode, moment, Fault::kHeaderLost150, failed, 12000});
            rows.push_back({mode, moment, Fault::kDetach, gone, 12000});
            // The unplug comes with the next frame request, always in flight.
            rows.push_back({mode, moment, Fault::kUnplug, failed, 12000});
        }
        for (const Fault f : {Fault::kHeaderLost1, Fault::kHeaderLost4, Fault::kHeaderLost5,
                              Fault::kHeaderLost30, Fault::kShortFrames}) {
            rows.push_back({mode, Moment::kMidStream, f, kDelivers, 12000});
        }
        for (const Fault f : {Fault::kControlFail, Fault::kI2cNack, Fault::kDetach}) {
            const bool delivers = f == Fault::kI2cNack && !trigger;
            const int gone = mode == Mode::kSnapshot ? VELCOR_ERR_NOT_PRESENT : failed;
            rows.push_back({mode, Moment::kRegisterWrite, f,
                            delivers ? kDelivers : (f == Fault::kDetach ? gone : failed), 15000});
        }
    }
    // A stalled pipe: a snapshot fails when its frame wait ends. A stream waits out the time-out
    // of every retry of the header (thirty for each of the five failures that give the camera
    // up), half a minute; the preview and trigger loops share the callback preview's engine
    // path, so one of each kind of loop stands for all.
    for (const Mode mode : {Mode::kSnapshot, Mode::kCapture}) {
        rows.push_back({mode, Moment::kIdle, Fault::kBulkStall, VELCOR_ERR_ACQUISITION, 12000});
        rows.push_back(
            {mode, Moment::kMidStream, Fault::kBulkStall, VELCOR_ERR_ACQUISITION, 12000});
    }
    rows.push_back(
        {Mode::kCallbackPreview, Moment::kMidStream, Fault::kBulkStall, VELCOR_ERR_STOPPED, 45000});
    rows.push_back(
        {Mode::kTrigger, Moment::kMidStream, Fault::kBulkStall, VELCOR_ERR_STOPPED, 45000});
    // Mid-transfer: frames at the sensor's own rate, and the fault strikes while the capture
    // waits for a frame on its way.
    for (const Fault f : {Fault::kControlFail, Fault::kBulkStall, Fault::kBulkStatus,
                          Fault::kUnplug, Fault::kDetach}) {
        rows.push_back({Mode::kSnapshot, Moment::kMidTransfer, f, VELCOR_ERR_ACQUISITION, 12000});
    }
    for (const Fault f : {Fault::kControlFail, Fault::kBulkStatus, Fault::kDetach}) {
        rows.push_back(
            {Mode::kCallbackPreview, Moment::kMidTransfer, f, VELCOR_ERR_STOPPED, 12000});
    }
    // Opening: a camera that cannot be programmed is reported at start-up (error 2) and can be
    // opened by number once it answers again.
    for (const Fault f : {Fault::kControlFail, Fault::kI2cNack, Fault::kFpgaBusy,
                          Fault::kNeverReady, Fault::kDetach}) {
        rows.push_back({Mode::kSnapshot, Moment::kStartUp, f, VELCOR_ERR_NOT_PRESENT, 5000});
        rows.push_back({Mode::kCallbackPreview, Moment::kStartUp, f, VELCOR_ERR_NOT_PRESENT, 5000});
    }
    if (test::kUnderSanitizer) {
        // The sanitizer runs look for races, leaks and undefined behaviour on the fault paths,
        // not for the timing the default suite checks: each fault once at start-up, mid-stream
        // and mid-transfer, in one mode of each loop (capture mode and preview share the
        // snapshot's and the callback preview's paths), without the half-minute stalls.
        std::erase_if(rows, [](const Row& row) {
            const bool loopOfItsOwn = row.mode == Mode::kSnapshot ||
                                      row.mode == Mode::kCallbackPreview ||
                                      row.mode == Mode::kTrigger;
            const bool moment = row.moment == Moment::kMidStream ||
                                row.moment == Moment::kMidTransfer ||
                                (row.moment == Moment::kStartUp && row.mode == Mode::kSnapshot);
            const bool halfMinute = row.fault == Fault::kBulkStall && Streams(row.mode);
            return !loopOfItsOwn || !moment || halfMinute;
        });
    }
    return rows;
}

// Threads of this process, but for those that live as long as the process: the simulator's,
// and the USB side's event thread and libusb's device monitor.
int CountThreads() {
    int count = 0;
    for (const auto& thread : test::ThreadsOfThisProcess()) {
        const bool processWide = thread.name == "velcor-sim" || thread.name == "velcor-usb" ||
                                 thread.name == "libusb_event";
        count += processWide ? 0 : 1;
    }
    return count;
}

long MillisecondsSince(Clock::time_point start) {
    return static_cast<long>(
        std::chrono::duration_cast<milliseconds>(Clock::now() - start).count());
}

// The camera is FAULT001, camera 0 of the fixture: on the simulator's hub, or on the emulated
// USB bus when the run puts the fixture's cameras there.
class FaultMatrix : public testing::CameraOnSimulator, public ::testing::WithParamInterface<Row> {
  protected:
    void Strike(Fault f) {
        switch (f) {
            case Fault::kControlFail:
                Inject(VELCORSIM_FAULT_CONTROL_FAIL, kForever);
                break;
            case Fault::kBulkStall:
                Inject(VELCORSIM_FAULT_BULK_STALL, kForever);
                break;
            case Fault::kBulkStatus:
                Inject(VELCORSIM_FAULT_BULK_STATUS, kForever);
                break;
            case Fault::kI2cNack:
                Inject(VELCORSIM_FAULT_I2C_NACK, kForever);
                break;
            case Fault::kFpgaBusy:
                Inject(VELCORSIM_FAULT_FPGA_BUSY, kForever);
                break;
            case Fault::kHeaderLost1:
                Inject(VELCORSIM_FAULT_HEADER_LOST, 1);
                break;
            case Fault::kHeaderLost4:
                Inject(VELCORSIM_FAULT_HEADER_LOST, 4);
                break;
            case Fault::kHeaderLost5:
                Inject(VELCORSIM_FAULT_HEADER_LOST, 5);
                break;
            case Fault::kHeaderLost30:
                Inject(VELCORSIM_FAULT_HEADER_LOST, 30);
                break;
            case Fault::kHeaderLost150:
                Inject(VELCORSIM_FAULT_HEADER_LOST, 150);
                break;
            case Fault::kShortFrames:
                Inject(VELCORSIM_FAULT_SHORT_FRAME, 3);
                break;
            case Fault::kUnplug:
                Inject(VELCORSIM_FAULT_UNPLUG, 1);
                break;
            case Fault::kDetach:
                ASSERT_TRUE(Unplug(0));
                break;
            case Fault::kNeverReady:
                SetRegister(0, VELCORSIM_SPACE_FPGA, 0x13, 0);
                SetRegister(0, VELCORSIM_SPACE_FPGA, 0x21, 0);
                break;
        }
    }
    void Inject(int fault, int count) { ASSERT_TRUE(InjectFault(0, fault, count)); }
    // Takes the fault away; a camera that left is plugged in again and opened by number, as an
    // application does on the arrival notification.
    void Withdraw(Fault f) {
        if (f == Fault::kUnplug || f == Fault::kDetach) {
            Unplug(0);
            ASSERT_TRUE(Plug(0, "FAULT001"));
            ASSERT_TRUE(Announced(notify_, VELCOR_DBT_DEVICEARRIVAL)) << "the camera is announced";
        } else if (f == Fault::kNeverReady) {
            SetRegister(0, VELCORSIM_SPACE_FPGA, 0x13, 9);
        } else {
            for (int fault = VELCORSIM_FAULT_CONTROL_FAIL; fault <= VELCORSIM_FAULT_SHORT_FRAME;
                 ++fault)
                Inject(fault, 0);
        }
        if (f == Fault::kUnplug || f == Fault::kDetach || GetParam().moment == Moment::kStartUp) {
            char names[10][256];
            Velcor_EnumDevice(handle_, &names[0][0]);
            ASSERT_EQ(Velcor_SetDeviceNumber(handle_, 0), TRUE) << "error " << TakeHistory();
        }
    }

    bool Start(Mode m) {
        Velcor_SetPreviewWindow(handle_, nullptr, 0, 0, 0, 0);
        switch (m) {
            case Mode::kSnapshot:
                return true;
            case Mode::kCapture:
                return Velcor_Capture(handle_) == TRUE;
            case Mode::kCallbackPreview:
                return Velcor_CallBackPreview(handle_, frames_, image_.data(), kFrameBytes, 1) ==
                       TRUE;
            case Mode::kPreview:
                return Velcor_StartPreview(handle_) == TRUE;
            case Mode::kTrigger:
                return Velcor_Trigger(handle_, frames_, image_.data(), kFrameBytes, 1) == TRUE;
        }
        return false;
    }

    // The next frame in the mode: 1 when it came, 0 when nothing came by the deadline, or
    // minus the error code that failed it.
    int NextFrame(Mode m, Clock::time_point deadline) {
        switch (m) {
            case Mode::kSnapshot:
            case Mode::kCapture:
                if (!Velcor_SnapShot(handle_, image_.data(), kFrameBytes, 1))
                    return -Velcor_GetLastError(handle_);
                if (m == Mode::kCapture && !Velcor_GetImage(handle_, image_.data(), kFrameBytes, 1))
                    return -Velcor_GetLastError(handle_);
                return 1;
            case Mode::kCallbackPreview:
            case Mode::kTrigger:
                while (Clock::now() < deadline) {
                    if (m == Mode::kTrigger) FireTrigger(0);
                    VELCORMSG message{};
                    if (VelcorWin_GetMessage(&message, frames_, VELCOR_WM_FRAME, VELCOR_WM_FRAME,
                                             m == Mode::kTrigger ? 20 : 100)) {
                        return message.wParam != 0 ? 1 : -static_cast<int>(message.lParam);
                    }
                }
                return 0;
            case Mode::kPreview: {
                // No frame messages: frames show in the handle's counters, the end of the
                // preview in the error notifications (a failed setting's error 6 is no end).
                VELCORSIM_FRAMECOUNTERS before{};
                VelcorSim_GetFrameCounters(handle_, &before);
                while (Clock::now() < deadline) {
                    VELCORSIM_FRAMECOUNTERS now{};
                    VelcorSim_GetFrameCounters(handle_, &now);
                    if (now.read > before.read) return 1;
                    VELCORMSG message{};
                    if (VelcorWin_GetMessage(&message, notify_, VELCOR_WM_ERROR, VELCOR_WM_ERROR,
                                             10) &&
                        message.lParam != 0 && message.lParam != VELCOR_ERR_DEVICE) {
                        return -static_cast<int>(message.lParam);
                    }
                }
                return 0;
            }
        }
        return 0;
    }
    // Three frames in a row, or the outcome that came instead.
    // Under a sanitizer the retries of many lost headers can outlast a snapshot's frame wait:
    // a snapshot that fails with error 8 is then taken again, within the same bound.
    int ThreeFrames(Mode m, int boundMs) {
        const auto deadline = Clock::now() + milliseconds(boundMs);
        const bool retrySlowSnapshots = test::kUnderSanitizer && !Streams(m);
        int frames = 0;
        while (frames < 3) {
            const int outcome = NextFrame(m, deadline);
            if (outcome == 1) {
                ++frames;
            } else if (!(retrySlowSnapshots && outcome == -VELCOR_ERR_ACQUISITION &&
                         Clock::now() < deadline)) {
                return outcome;
            }
        }
        return 1;
    }
    // The first failure within the bound; frames before it are fine.
    int FirstFailure(Mode m, int boundMs) {
        const auto deadline = Clock::now() + milliseconds(boundMs);
        int outcome = 1;
        while (outcome == 1 && Clock::now() < deadline)
            outcome = NextFrame(m, deadline);
        return outcome;
    }
    std::string TakeHistory() {
        std::string history;
        for (int e = Velcor_GetLastError(handle_); e != 0; e = Velcor_GetLastError(handle_))
            history += std::to_string(e) + " ";
        return history;
    }
    void DrainMessages() {
        VELCORMSG message{};
        while (VelcorWin_PeekMessage(&message, frames_, 0, 0xFFFF, 1)) {
        }
        while (VelcorWin_PeekMessage(&message, notify_, 0, 0xFFFF, 1)) {
        }
    }

    HWND notify_ = nullptr;
    HWND frames_ = nullptr;
    std::vector<BYTE> image_ = std::vector<BYTE>(kFrameBytes);
};

TEST_P(FaultMatrix, ReportsRecoversAndLeavesNothingBehind) {
    const Row row = GetParam();
    ASSERT_TRUE(Plug(0, "FAULT001"));
    notify_ = VelcorWin_CreateMessageWindow();
    frames_ = VelcorWin_CreateMessageWindow();
    // ThreadSanitizer starts a thread of its own with the process's second thread.
    std::thread([] {}).join();
    const int threadsBefore = CountThreads();
    const int descriptorsBefore = test::OpenDescriptorsOfThisProcess();
    // The sanitizers slow the library, not the camera's time-outs: a margin for their overhead,
    // which grows with the requests a row makes.
    // The bounds hold on a quiet machine; a busy one (other test processes, a camera streaming
    // beside the suite) may stretch the retries' real time up to twice.
    const int margin = test::kUnderSanitizer ? 3 * row.boundMs + 10000 : row.boundMs;

    if (row.moment == Moment::kStartUp) {
        ASSERT_NO_FATAL_FAILURE(Strike(row.fault));
        // Opening polls the camera for half a minute before it gives up: virtual time lets
        // the polls see that time pass at once.
        const platform::VirtualTimeScope instantPolls;
        const auto start = Clock::now();
        handle_ = Velcor_Initialize(notify_);
        ASSERT_NE(handle_, 0);
        EXPECT_LT(MillisecondsSince(start), row.boundMs + margin);
        const std::string history = TakeHistory();
        if (row.fault == Fault::kDetach) {
            EXPECT_EQ(history, "") << "no camera attached is no failure";
            EXPECT_EQ(Velcor_SetDeviceNumber(handle_, 0), FALSE);
            EXPECT_EQ(TakeHistory(), "2 ");
        } else {
            EXPECT_EQ(history, std::to_string(row.expect) + " ");
        }
    } else {
        // The engine polls a busy bus and retries failed register writes with pauses: virtual
        // time lets those pauses pass at once, while transfers keep their real time-outs.
        const platform::VirtualTimeScope instantPauses;
        handle_ = Velcor_Initialize(notify_);
        ASSERT_NE(handle_, 0);
        ASSERT_EQ(TakeHistory(), "");
        if (row.moment == Moment::kIdle) {
            ASSERT_NO_FATAL_FAILURE(Strike(row.fault));
        }
        if (row.moment == Moment::kMidTransfer) SetFastFrames(0, false);
        const bool started = Start(row.mode);
        if (row.moment != Moment::kIdle) {
            ASSERT_TRUE(started);
            ASSERT_EQ(ThreeFrames(row.mode, 5000 + margin), 1) << "error " << TakeHistory();
        }
        if (row.moment == Moment::kMidStream || row.moment == Moment::kRegisterWrite) {
            ASSERT_NO_FATAL_FAILURE(Strike(row.fault));
            if (row.moment == Moment::kRegisterWrite) {
                // Settings written during capture go to the sensor over the bus at once; each
                // of these faults keeps the write from arriving.
                // The stream may have failed first, so the write's error need not be the newest.
                EXPECT_EQ(Velcor_SetGlobalGain(handle_, 20), FALSE);
                EXPECT_NE((" " + TakeHistory()).find(" 6 "), std::string::npos);
            }
        }
        const auto start = Clock::now();
        if (row.moment == Moment::kMidTransfer) {
            std::thread striker([&] {
                std::this_thread::sleep_for(milliseconds(15));
                Strike(row.fault);
            });
            const int outcome = FirstFailure(row.mode, row.boundMs + margin);
            striker.join();
            // A camera unplugged while a snapshot prepares is found missing before its frame
            // is asked for.
            const bool missing = row.fault == Fault::kDetach && row.mode == Mode::kSnapshot &&
                                 outcome == -VELCOR_ERR_NOT_PRESENT;
            if (!missing) {
                EXPECT_EQ(outcome, -row.expect) << "history " << TakeHistory();
            }
        } else if (row.expect == kDelivers) {
            EXPECT_TRUE(started);
            EXPECT_EQ(ThreeFrames(row.mode, row.boundMs + margin), 1) << "error " << TakeHistory();
        } else if (started) {
            EXPECT_EQ(FirstFailure(row.mode, row.boundMs + margin), -row.expect)
                << "after " << MillisecondsSince(start) << " ms, history " << TakeHistory();
        } else {
            EXPECT_NE(TakeHistory().find(std::to_string(row.expect)), std::string::npos);
        }
        EXPECT_LT(MillisecondsSince(start), row.boundMs + margin);
    }

    ASSERT_NO_FATAL_FAILURE(Withdraw(row.fault));
    const int promptly = test::kUnderSanitizer ? 3000 : 1000;
    auto start = Clock::now();
    EXPECT_EQ(Velcor_StopPreview(handle_), TRUE);
    EXPECT_LT(MillisecondsSince(start), promptly) << "stopping after the fault";
    DrainMessages();
    TakeHistory();
    ASSERT_TRUE(Start(row.mode)) << "error " << TakeHistory();
    EXPECT_EQ(ThreeFrames(row.mode, 5000 + margin), 1) << "recovery: error " << TakeHistory();
    start = Clock::now();
    EXPECT_EQ(Velcor_Close(handle_), TRUE);
    EXPECT_LT(MillisecondsSince(start), promptly) << "closing after the fault";

    EXPECT_EQ(Velcor_Release(handle_), TRUE);
    handle_ = 0;
    Unplug(0);
    // A thread that an earlier case left winding down may end meanwhile: only growth is a leak.
    EXPECT_LE(CountThreads(), threadsBefore) << "threads left behind";
    // Over USB the process holds descriptors of its own from the first open on (libusb's event
    // and monitor descriptors, the camera's usbfs node until the bus is scanned again): the
    // runs on the simulator's hub check the library's.
    if (!OverUsb()) {
        EXPECT_EQ(test::OpenDescriptorsOfThisProcess(), descriptorsBefore)
            << "descriptors left behind";
    }
}

std::string RowName(const ::testing::TestParamInfo<Row>& info) {
    return std::string(ModeName(info.param.mode)) + "_" + FaultName(info.param.fault) + "_" +
           MomentName(info.param.moment);
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultMatrix, ::testing::ValuesIn(Rows()), RowName);

// A recording runs while the stream fails: the loss is reported (error 13), the recording
// ends by itself with its file finished, and stopping and releasing leave nothing behind.
// The recorder shares the preview's worker, so the faults that end a stream stand for all.
class RecordingFaults : public testing::SimTest, public ::testing::WithParamInterface<Fault> {
  protected:
    void TearDown() override {
        if (handle_ != 0) Velcor_Release(handle_);
        if (notify_ != nullptr) VelcorWin_DestroyWindow(notify_);
        std::remove(path_.c_str());
        testing::SimTest::TearDown();
    }

    int camera_ = 0;
    int handle_ = 0;
    HWND notify_ = nullptr;
    std::string path_;
};

TEST_P(RecordingFaults, EndWithAFinishedFileAndNoThread) {
    path_ = ::testing::TempDir() + "fault-film-" + std::to_string(getpid()) + "-" +
            FaultName(GetParam()) + ".avi";
    camera_ = VelcorSim_AttachCamera(0x32C0, "FAULT001");
    ASSERT_GT(camera_, 0);
    notify_ = VelcorWin_CreateMessageWindow();
    std::thread([] {}).join();
    const int threadsBefore = CountThreads();
    const int descriptorsBefore = test::OpenDescriptorsOfThisProcess();
    const int margin = test::kUnderSanitizer ? 30000 : 0;

    handle_ = Velcor_Initialize(notify_);
    ASSERT_NE(handle_, 0);
    Velcor_SetPreviewWindow(handle_, nullptr, 0, 0, 0, 0);
    ASSERT_EQ(Velcor_SetCaptureWindowEx(handle_, 1280, 0, 1280, 1024, 0, 480), TRUE);
    ASSERT_EQ(Velcor_Record(handle_, path_.c_str(), 60000, 0), TRUE);
    // Frames flow into the film before the fault.
    const auto flowing = Clock::now() + milliseconds(5000 + margin);
    VELCORSIM_FRAMECOUNTERS counters{};
    while (counters.read < 3 && Clock::now() < flowing) {
        std::this_thread::sleep_for(milliseconds(10));
        VelcorSim_GetFrameCounters(handle_, &counters);
    }
    ASSERT_GE(counters.read, 3u);

    switch (GetParam()) {
        case Fault::kUnplug:
            ASSERT_EQ(VelcorSim_InjectFault(camera_, VELCORSIM_FAULT_UNPLUG, 1), TRUE);
            break;
        case Fault::kDetach:
            ASSERT_EQ(VelcorSim_DetachCamera(camera_), TRUE);
            break;
        case Fault::kBulkStatus:
            ASSERT_EQ(VelcorSim_InjectFault(camera_, VELCORSIM_FAULT_BULK_STATUS, kForever), TRUE);
            break;
        default:
            FAIL() << "not a row of this matrix";
    }
    const auto struck = Clock::now();
    int error = 0;
    VELCORMSG message{};
    while (error != VELCOR_ERR_STOPPED && Clock::now() < struck + milliseconds(12000 + margin)) {
        if (VelcorWin_GetMessage(&message, notify_, VELCOR_WM_ERROR, VELCOR_WM_ERROR, 100))
            error = static_cast<int>(message.lParam);
    }
    EXPECT_EQ(error, VELCOR_ERR_STOPPED) << "the lost camera is reported";
    // The recorder gives up with the worker and finishes the film without a stop.
    test::AviFile avi = test::ReadAvi(path_);
    const auto finishing = Clock::now() + milliseconds(2000 + margin);
    while (!avi.Valid() && Clock::now() < finishing) {
        std::this_thread::sleep_for(milliseconds(10));
        avi = test::ReadAvi(path_);
    }
    EXPECT_TRUE(avi.Valid()) << avi.problem;
    EXPECT_GE(avi.index.size(), 1u);

    const auto stopping = Clock::now();
    EXPECT_EQ(Velcor_StopPreview(handle_), TRUE);
    EXPECT_LT(MillisecondsSince(stopping), test::kUnderSanitizer ? 3000 : 1000);
    EXPECT_EQ(Velcor_Release(handle_), TRUE);
    handle_ = 0;
    VelcorSim_DetachCamera(camera_);
    // A thread that an earlier case left winding down may end meanwhile: only growth is a leak.
    EXPECT_LE(CountThreads(), threadsBefore) << "threads left behind";
    EXPECT_EQ(test::OpenDescriptorsOfThisProcess(), descriptorsBefore) << "descriptors left behind";
}

std::vector<Fault> RecordingFaultRows() {
    if (test::kUnderSanitizer) return {Fault::kUnplug};
    return {Fault::kUnplug, Fault::kDetach, Fault::kBulkStatus};
}

INSTANTIATE_TEST_SUITE_P(Faults, RecordingFaults, ::testing::ValuesIn(RecordingFaultRows()),
                         [](const ::testing::TestParamInfo<Fault>& info) {
                             return std::string(FaultName(info.param)) + "_MidRecording";
                         });

}  // namespace
}  // namespace velcor
