// Frames of the simulated ROZE9701 camera through the real engine, controller and driver: the
// ramp's truth through window, mirrors and depth, the natural scene's response to exposure,
// gain and black level, defect pixels, frame timing, trigger mode and the frame faults.
#include <gtest/gtest.h>
#include <velcor/VelcorSim.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/VelcorR3U2Base.h"
#include "platform/Clock.h"
#include "protocol/FpgaRegisterMap.h"
#include "sensors/SensorBase.h"
#include "sim/SimTestSupport.h"
#include "support/Sanitizers.h"
#include "transport/DevIz3Cam.h"

namespace velcor {
namespace {

using testing::SimTest;

constexpr uint16_t kProduct = 0x32C0;
constexpr int kWidth = 1280;
constexpr int kHeight = 1024;
constexpr int kTopRowFirst = 1;

// The engine, with a look at its ring so a test knows when a frame has really been published.
class Engine : public CVelcorUSB3T2SimpleSdk {
  public:
    int Published() const { return writeIndex_; }
};

class SimFrames : public SimTest {
  protected:
    void SetUp() override {
        SimTest::SetUp();
        id_ = Attach(kProduct, "FRAMES01", config_);
        ASSERT_GT(id_, 0);
        engine_ = std::make_unique<Engine>();
        engine_->SetProductId(kProduct);
        engine_->InitializeController(nullptr, nullptr);
        ASSERT_EQ(engine_->OpenDevice(0), 1);
    }
    void TearDown() override {
        engine_.reset();
        SimTest::TearDown();
    }

    int WindowHeight() const { return engine_->Sensor()->Info().windowHeight; }
    size_t FrameBytes() const { return size_t{kWidth} * WindowHeight() * bytes_; }
    void SetDepth(int bytes) {
        bytes_ = bytes;
        ASSERT_EQ(engine_->SetBitDepthMode(bytes == 2 ? 1 : 0), 1);
    }
    int Fpga(int reg) const { return VelcorSim_GetRegister(id_, VELCORSIM_SPACE_FPGA, reg); }

    // One frame in single-frame mode, as ReadFrame gives it. The frame event may already be
    // signalled when the transfer starts, so the ring itself tells when the frame is in.
    std::vector<uint8_t> Grab(int topRowFirst = kTopRowFirst) {
        std::vector<uint8_t> frame(FrameBytes());
        const int before = engine_->Published();
        EXPECT_EQ(engine_->StartTransfer(1), 1);
        for (int i = 0; i < 3 && engine_->Published() == before; ++i)
            EXPECT_EQ(engine_->WaitFrame(3000), 3);
        EXPECT_NE(engine_->Published(), before) << "no frame";
        engine_->ReadFrame(frame.data(), static_cast<int>(frame.size()), topRowFirst);
        return frame;
    }
    int Sample(const std::vector<uint8_t>& frame, int row, int column) const {
        const size_t i = size_t{static_cast<size_t>(row)} * kWidth + column;
        return bytes_ == 1 ? frame[i] : frame[2 * i] | frame[2 * i + 1] << 8;
    }
    double Mean(const std::vector<uint8_t>& frame) const {
        double sum = 0;
        const int rows = static_cast<int>(frame.size() / (size_t{kWidth} * bytes_));
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < kWidth; ++c)
                sum += Sample(frame, r, c);
        return sum / (double{kWidth} * rows);
    }
    // Output row r shows picture row `rowOf(r)`; output column j picture column 1279 - j when
    // mirrored. Returns the number of samples that break the ramp (first one reported).
    template <typename RowOf>
    int RampErrors(const std::vector<uint8_t>& frame, int rows, RowOf rowOf, bool mirrorH) {
        const int mask = bytes_ == 1 ? 0xFF : 0xFFF;
        int errors = 0;
        for (int r = 0; r < rows; ++r) {
            const int y = rowOf(r);
            for (int j = 0; j < kWidth; ++j) {
                const int x = mirrorH ? kWidth - 1 - j : j;
                const int expected = (x + 2 * y) & mask;
                const int actual = Sample(frame, r, j);
                if (actual != expected && errors++ == 0) {
                    ADD_FAILURE() << "row " << r << " column " << j << ": " << actual
                                  << " instead of " << expected;
                }
            }
        }
        return errors;
    }

    sim::SimCameraConfig config_;
    platform::VirtualTimeScope virtualTime_;
    int id_ = 0;
    int bytes_ = 1;
    std::unique_ptr<Engine> engine_;
};

// --- The ramp: geometry, depth, row order and mirrors ----------------------------------------

TEST_F(SimFrames, RampHoldsAtFullFrameAtBothDepths) {
    ASSERT_EQ(VelcorSim_SetScene(id_, VELCOR_SIM_SCENE_RAMP), TRUE);
    for (int bytes : {1, 2}) {
        SetDepth(bytes);
        EXPECT_EQ(Fpga(fpga::kPixelDepth), bytes);
        const auto frame = Grab();
        ASSERT_EQ(frame.size(), size_t{kWidth} * kHeight * bytes);
        EXPECT_EQ(RampErrors(
                      frame, kHeight, [](int r) { return r; }, false),
                  0)
            << bytes;
    }
}

TEST_F(SimFrames, RampSurvivesExposureAndGain) {
    ASSERT_EQ(VelcorSim_SetScene(id_, VELCOR_SIM_SCENE_RAMP), TRUE);
    ASSERT_EQ(engine_->SetExposure(20000), 1);
    ASSERT_EQ(engine_->SetGlobalGain(62), 1);
    ASSERT_EQ(engine_->SetBlackLevel(16383), 1);
    EXPECT_EQ(RampErrors(
                  Grab(), kHeight, [](int r) { return r; }, false),
              0);
}

TEST_F(SimFrames, RowsLeaveTheSensorBottomRowFirst) {
    ASSERT_EQ(VelcorSim_SetScene(id_, VELCOR_SIM_SCENE_RAMP), TRUE);
    const auto asDelivered = Grab(0);
    EXPECT_EQ(RampErrors(
                  asDelivered, kHeight, [](int r) { return kHeight - 1 - r; }, false),
              0);
}

TEST_F(SimFrames, RowWindowDeliversThosePictureRows) {
    ASSERT_EQ(VelcorSim_SetScene(id_, VELCOR_SIM_SCENE_RAMP), TRUE);
    for (int bytes : {1, 2}) {
        SetDepth(bytes);
        ASSERT_EQ(engine_->ApplyWindow(0, 100, kWidth, 200, 0), 1);
        const auto frame = Grab();
        ASSERT_EQ(frame.size(), size_t{kWidth} * 200 * bytes);
        EXPECT_EQ(Fpga(fpga::kHeightLow) | Fpga(fpga::kHeightHigh) << 8, 200);
        EXPECT_EQ(RampErrors(
                      frame, 200, [](int r) { return 100 + r; }, false),
                  0)
            << bytes;
        // Back to the full frame before the other depth.
        ASSERT_EQ(engine_->ApplyWindow(0, 0, kWidth, kHeight, 0), 1);
    }
    ASSERT_EQ(engine_->ApplyWindow(0, 1016, kWidth, 8, 0), 1);
    EXPECT_EQ(RampErrors(
                  Grab(), 8, [](int r) { return 1016 + r; }, false),
              0)
        << "bottom rows";
}

TEST_F(SimFrames, VerticalMirrorReversesTheRowsOfTheWindow) {
    ASSERT_EQ(VelcorSim_SetScene(id_, VELCOR_SIM_SCENE_RAMP), TRUE);
    ASSERT_EQ(engine_->SetMirrorV(1), 1);
    EXPECT_EQ(RampErrors(
                  Grab(), kHeight, [](int r) { return kHeight - 1 - r; }, false),
              0);
    ASSERT_EQ(engine_->ApplyWindow(0, 300, kWidth, 64, 0), 1);
    EXPECT_EQ(RampErrors(
                  Grab(), 64, [](int r) { return 300 + 63 - r; }, false),
              0);
}

TEST_F(SimFrames, HorizontalMirrorReversesEveryRow) {
    ASSERT_EQ(VelcorSim_SetScene(id_, VELCOR_SIM_SCENE_RAMP), TRUE);
    ASSERT_EQ(engine_->SetMirrorH(1), 1);
    for (int bytes : {1, 2}) {
        SetDepth(bytes);
        EXPECT_EQ(RampErrors(
                      Grab(), kHeight, [](int r) { return r; }, true),
                  0)
            << bytes;
    }
}

TEST_F(SimFrames, BothMirrorsWithAWindowAt16Bits) {
    ASSERT_EQ(VelcorSim_SetScene(id_, VELCOR_SIM_SCENE_RAMP), TRUE);
    SetDepth(2);
    ASSERT_EQ(engine_->SetMirrorV(1), 1);
    ASSERT_EQ(engine_->SetMirrorH(1), 1);
    ASSERT_EQ(engine_->ApplyWindow(0, 512, kWidth, 256, 0), 1);
    EXPECT_EQ(RampErrors(
                  Grab(), 256, [](int r) { return 512 + 255 - r; }, true),
              0);
}

TEST_F(SimFrames, OffsetRegistersPlaceThePictureInTheFrame) {
    ASSERT_EQ(VelcorSim_SetScene(id_, VELCOR_SIM_SCENE_RAMP), TRUE);
    Grab();  // the engine has configured the frame
    EXPECT_EQ(Fpga(fpga::kVerticalOffsetLow), 10);
    EXPECT_EQ(Fpga(fpga::kHorizontalOffsetLow), 32);
    // One column further into the sensor's lines: the picture moves one column left.
    ASSERT_EQ(engine_->WriteFpgaRegister(fpga::kHorizontalOffsetLow, 33), 1);
    const auto frame = Grab();
    EXPECT_EQ(Sample(frame, 0, 0), 1);
    EXPECT_EQ(Sample(frame, 5, 100), (101 + 10) & 0xFF);
    EXPECT_EQ(Sample(frame, 5, kWidth - 1), 0) << "beyond the sensor's line";
}

TEST_F(SimFrames, HeaderCarriesByteCountAndSlot) {
    SetDepth(2);
    Grab();
    CDevIz3Cam controller;
    ASSERT_EQ(controller.EnumerateDevices(), 1);
    ASSERT_EQ(controller.Prepare(), 1);
    std::vector<uint8_t> data(size_t{kWidth} * kHeight * 2);
    FrameRequest request{};
    request.buffer = data.data();
    request.capacity = static_cast<uint32_t>(data.size());
    ASSERT_EQ(controller.ReadFrameHeader(&request), 1);
    EXPECT_EQ(request.HeaderByteCount(), uint32_t{kWidth} * kHeight * 2);
    EXPECT_EQ(request.slot, Fpga(fpga::kNewestSlotLow));
    ASSERT_EQ(controller.ReadFrameData(&request, 3000), 1);
    // 12 significant bits in the low bits of each 16-bit sample.
    bool twelveBits = true;
    for (size_t i = 1; i < data.size(); i += 2)
        twelveBits = twelveBits && (data[i] & 0xF0) == 0;
    EXPECT_TRUE(twelveBits);
}

// --- The natural scene and the defect pixels -------------------------------------------------

TEST_F(SimFrames, NaturalSceneFollowsExposureGainAndBlackLevel) {
    ASSERT_EQ(engine_->SetExposure(100), 1);  // 10 ms
    const double base = Mean(Grab());
    EXPECT_GT(base, 5.0);
    EXPECT_LT(base, 200.0);
    ASSERT_EQ(engine_->SetExposure(200), 1);
    const double longer = Mean(Grab());
    EXPECT_GT(longer, base * 1.5);
    ASSERT_EQ(engine_->SetExposure(100), 1);
    ASSERT_EQ(engine_->SetGlobalGain(6), 1);
    const double gained = Mean(Grab());
    EXPECT_GT(gained, base * 2.0);
    ASSERT_EQ(engine_->SetGlobalGain(2), 1);
    ASSERT_EQ(engine_->SetBlackLevel(14000), 1);
    EXPECT_GT(Mean(Grab()), base + 30.0);
    ASSERT_EQ(engine_->SetBlackLevel(8983), 1);
    // Saturation: long exposure at the highest gain.
    ASSERT_EQ(engine_->SetExposure(2000), 1);
    ASSERT_EQ(engine_->SetGlobalGain(62), 1);
    EXPECT_GT(Mean(Grab()), 254.0);
}

TEST_F(SimFrames, NaturalSceneIsNoisyAndMovesSlowly) {
    SetDepth(2);
    const auto first = Grab();
    const auto second = Grab();
    int differing = 0;
    double largest = 0;
    for (int r = 0; r < kHeight; r += 7) {
        for (int c = 0; c < kWidth; c += 5) {
            const int d = Sample(first, r, c) - Sample(second, r, c);
            differing += d != 0;
            largest = std::max(largest, std::abs(static_cast<double>(d)));
        }
    }
    EXPECT_GT(differing, 1000) << "noise";
    EXPECT_LT(largest, 400.0) << "consecutive frames show the same scene";
    // Smooth: neighbouring pixels differ by little more than the noise.
    double step = 0;
    for (int c = 0; c + 1 < kWidth; ++c)
        step += std::abs(Sample(first, 500, c) - Sample(first, 500, c + 1));
    EXPECT_LT(step / kWidth, 100.0);
}

TEST_F(SimFrames, DarkAndFlatScenesShowTheDefectPixels) {
    ASSERT_EQ(VelcorSim_SetDefects(id_, 7, 5, 1234), TRUE);
    ASSERT_EQ(VelcorSim_SetScene(id_, VELCOR_SIM_SCENE_DARK), TRUE);
    auto frame = Grab();
    int hot = 0;
    for (uint8_t v : frame)
        hot += v == 255;
    EXPECT_EQ(hot, 7);
    EXPECT_LT(Mean(frame), 12.0);

    ASSERT_EQ(VelcorSim_SetScene(id_, VELCOR_SIM_SCENE_FLAT), TRUE);
    frame = Grab();
    int dead = 0;
    hot = 0;
    for (uint8_t v : frame) {
        dead += v == 0;
        hot += v == 255;
    }
    EXPECT_EQ(dead, 5);
    EXPECT_EQ(hot, 7);
    EXPECT_GT(Mean(frame), 40.0);

    // The same seed gives the same pixels; the ramp has none.
    const auto defects = Camera(id_)->Defects();
    ASSERT_EQ(VelcorSim_SetDefects(id_, 7, 5, 1234), TRUE);
    EXPECT_EQ(Camera(id_)->Defects().size(), defects.size());
    EXPECT_EQ(Camera(id_)->Defects()[3].x, defects[3].x);
    EXPECT_EQ(VelcorSim_SetDefects(id_, -1, 0, 1), FALSE);
    EXPECT_EQ(VelcorSim_SetDefects(id_, 81920, 1, 1), FALSE);
    EXPECT_EQ(VelcorSim_SetDefects(id_ + 100, 1, 1, 1), FALSE);
    EXPECT_EQ(VelcorSim_SetScene(id_, 4), FALSE);
    EXPECT_EQ(VelcorSim_SetScene(id_ + 100, VELCOR_SIM_SCENE_RAMP), FALSE);
}

// --- Timing and trigger mode -----------------------------------------------------------------

TEST_F(SimFrames, FreeRunningFramesComeAtTheSensorFrameRate) {
    if (test::kUnderSanitizer) GTEST_SKIP() << "a question of timing";
    ASSERT_EQ(VelcorSim_SetFastFrames(id_, FALSE), TRUE);
    // 1082 lines of 1344 clocks at 37.037 MHz: 39.3 ms per frame.
    auto camera = Camera(id_);
    ASSERT_EQ(engine_->StartTransfer(0), 1);
    ASSERT_EQ(engine_->WaitFrame(3000), 3);
    const uint32_t first = camera->Trace().framesSent;
    const auto start = std::chrono::steady_clock::now();
    while (camera->Trace().framesSent < first + 12) {
        ASSERT_NE(engine_->WaitFrame(3000), 1);
        std::vector<uint8_t> frame(FrameBytes());
        engine_->ReadFrame(frame.data(), static_cast<int>(frame.size()), kTopRowFirst);
    }
    const auto elapsed = std::chrono::steady_clock::now() - start;
    engine_->StopTransfer();
    // Frames held back while this thread was not scheduled may arrive together, so only half
    // the nominal time is certain on a loaded machine.
    EXPECT_GE(elapsed, std::chrono::milliseconds(12 * 39 / 2));
    EXPECT_LT(elapsed, std::chrono::milliseconds(4000));
}

TEST_F(SimFrames, TriggerModeGivesOneFramePerPulse) {
    ASSERT_EQ(VelcorSim_SetScene(id_, VELCOR_SIM_SCENE_RAMP), TRUE);
    auto camera = Camera(id_);
    const int counter = Fpga(fpga::kFrameCounter);
    ASSERT_EQ(VelcorSim_FireTrigger(id_), TRUE);
    EXPECT_EQ(Fpga(fpga::kFrameCounter), counter) << "free-running: the pulse is ignored";

    ASSERT_EQ(engine_->SetTriggerMode(1, 0), 1);
    EXPECT_EQ(VelcorSim_GetRegister(id_, VELCORSIM_SPACE_SENSOR, 0), 16);
    EXPECT_EQ(Fpga(fpga::kTriggerModeEnable), 1);
    // The counter starts just before its wrap: six pulses take it through 0.
    ASSERT_EQ(VelcorSim_SetRegister(id_, VELCORSIM_SPACE_FPGA, fpga::kFrameCounter, 0xFD), TRUE);
    ASSERT_EQ(engine_->LatchFrameCounter(), 1);
    for (int pulse = 1; pulse <= 6; ++pulse) {
        ASSERT_EQ(engine_->StartTransfer(2), 1);
        EXPECT_EQ(engine_->WaitFrame(50), 2) << "no frame before the pulse";
        const uint32_t sent = camera->Trace().framesSent;
        const int before = engine_->Published();
        ASSERT_EQ(VelcorSim_FireTrigger(id_), TRUE);
        ASSERT_EQ(engine_->WaitFrame(3000), 3) << pulse;
        EXPECT_NE(engine_->Published(), before);
        EXPECT_EQ(Fpga(fpga::kFrameCounter), (0xFD + pulse) & 0xFF);
        std::vector<uint8_t> frame(FrameBytes());
        engine_->ReadFrame(frame.data(), static_cast<int>(frame.size()), kTopRowFirst);
        EXPECT_EQ(RampErrors(
                      frame, kHeight, [](int r) { return r; }, false),
                  0);
        EXPECT_EQ(camera->Trace().framesSent, sent + 1);
    }
    engine_->StopTransfer();
    ASSERT_EQ(engine_->SetTriggerMode(0, 0), 1);
    EXPECT_EQ(VelcorSim_GetRegister(id_, VELCORSIM_SPACE_SENSOR, 0), 4);
    EXPECT_EQ(Fpga(fpga::kTriggerModeEnable), 0);
}

TEST_F(SimFrames, TriggeredFrameAtSensorTimingWaitsForExposureAndReadout) {
    ASSERT_EQ(VelcorSim_SetFastFrames(id_, FALSE), TRUE);
    ASSERT_EQ(engine_->SetTriggerMode(1, 0), 1);
    ASSERT_EQ(engine_->StartTransfer(2), 1);
    EXPECT_EQ(engine_->WaitFrame(50), 2);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(VelcorSim_FireTrigger(id_), TRUE);
    ASSERT_EQ(engine_->WaitFrame(3000), 3);
    // 1080 lines of exposure and 1024 lines of readout at the FPGA's 1375 clocks per line.
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(75));
    engine_->StopTransfer();
}

// --- Frame faults ----------------------------------------------------------------------------

TEST_F(SimFrames, LostHeadersAndShortFramesAreRecovered) {
    ASSERT_EQ(VelcorSim_SetScene(id_, VELCOR_SIM_SCENE_RAMP), TRUE);
    ASSERT_EQ(VelcorSim_InjectFault(id_, VELCORSIM_FAULT_HEADER_LOST, 40), TRUE);
    EXPECT_EQ(RampErrors(
                  Grab(), kHeight, [](int r) { return r; }, false),
              0);
    ASSERT_EQ(VelcorSim_InjectFault(id_, VELCORSIM_FAULT_SHORT_FRAME, 2), TRUE);
    EXPECT_EQ(RampErrors(
                  Grab(), kHeight, [](int r) { return r; }, false),
              0);
    EXPECT_GE(Camera(id_)->Trace().framesSent, 40u + 2u + 1u);
}

TEST_F(SimFrames, EndlessLostHeadersMakeTheEngineGiveUp) {
    ASSERT_EQ(VelcorSim_InjectFault(id_, VELCORSIM_FAULT_HEADER_LOST, 1000), TRUE);
    ASSERT_EQ(engine_->StartTransfer(0), 1);
    int result = 0;
    for (int i = 0; i < 100 && result != 1; ++i)
        result = engine_->WaitFrame(3000);
    EXPECT_EQ(result, 1);
    engine_->StopTransfer();
}

TEST_F(SimFrames, CameraUnplugsAfterTheGivenFrames) {
    ASSERT_EQ(VelcorSim_InjectFault(id_, VELCORSIM_FAULT_UNPLUG, 3), TRUE);
    auto camera = Camera(id_);
    ASSERT_EQ(engine_->StartTransfer(0), 1);
    int result = 0;
    for (int i = 0; i < 100 && result != 1; ++i) {
        result = engine_->WaitFrame(3000);
        if (result == 3) {
            std::vector<uint8_t> frame(FrameBytes());
            engine_->ReadFrame(frame.data(), static_cast<int>(frame.size()), kTopRowFirst);
        }
    }
    EXPECT_EQ(result, 1) << "the engine saw the camera go";
    EXPECT_EQ(camera->Trace().framesSent, 3u);
    EXPECT_FALSE(camera->IsPresent());
    EXPECT_EQ(Camera(id_), nullptr) << "it left the device list";
    engine_->StopTransfer();
}

// What the camera keeps of the host's requests (control requests, memory commands, FPGA
// writes) is for tests to look at; a camera that streams for hours keeps only the newest few
// thousand of each, so its memory stops growing within its first frames.
TEST_F(SimFrames, ALongStreamKeepsTheRequestListsShort) {
    constexpr uint64_t kFrames = 5000;
    constexpr size_t kMostKept = 4096;
    auto camera = Camera(id_);
    ASSERT_EQ(engine_->ApplyWindow(0, 0, kWidth, 8, 0), 1);  // small frames: a quick stream
    ASSERT_EQ(engine_->StartTransfer(0), 1);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (engine_->GetFrameCounters().finished < kFrames &&
           std::chrono::steady_clock::now() < deadline) {
        ASSERT_NE(engine_->WaitFrame(3000), 1) << "the camera went";
    }
    engine_->StopTransfer();
    ASSERT_GE(engine_->GetFrameCounters().finished, kFrames);
    const auto trace = camera->Trace();
    EXPECT_GE(trace.framesSent, kFrames);
    EXPECT_LE(trace.control.size(), kMostKept);
    EXPECT_LE(trace.memoryCommands.size(), kMostKept);
    EXPECT_LE(trace.fpgaWrites.size(), kMostKept);
    EXPECT_FALSE(trace.control.empty()) << "the newest requests are kept";
}

// A reader that falls behind by exactly the ring's four slots must still see a new frame; the
// three it never read are counted as dropped.
TEST_F(SimFrames, AReaderFourFramesBehindStillSeesANewFrame) {
    if (test::kUnderSanitizer) GTEST_SKIP() << "a question of timing";
    ASSERT_EQ(VelcorSim_SetFastFrames(id_, FALSE), TRUE);  // 39.3 ms between frames
    std::vector<uint8_t> frame(FrameBytes());
    const int size = static_cast<int>(frame.size());
    ASSERT_EQ(engine_->StartTransfer(0), 1);
    for (int round = 0; round < 3; ++round) {
        ASSERT_EQ(engine_->WaitFrame(3000), 3);
        ASSERT_EQ(engine_->ReadFrame(frame.data(), size, kTopRowFirst), 0);
        const FrameCounters read = engine_->GetFrameCounters();
        // Four more frames land; the next one is tens of milliseconds away.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        while (engine_->GetFrameCounters().finished < read.finished + 4 &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        const FrameCounters behind = engine_->GetFrameCounters();
        ASSERT_GE(behind.finished, read.finished + 4);
        EXPECT_EQ(engine_->WaitFrame(0), 3) << "round " << round;
        ASSERT_EQ(engine_->ReadFrame(frame.data(), size, kTopRowFirst), 0);
        const FrameCounters after = engine_->GetFrameCounters();
        EXPECT_EQ(after.read, read.read + 1);
        EXPECT_EQ(after.dropped - read.dropped, after.finished - read.finished - 1);
        EXPECT_EQ(engine_->WaitFrame(0), 2) << "nothing newer than what was read";
    }
    engine_->StopTransfer();
}

// The give-up of a transfer reaches a reader that is already waiting, and the next start
// forgets it.
TEST_F(SimFrames, AGiveUpWakesTheWaiterAndTheNextStartForgetsIt) {
    const platform::VirtualTimeScope instantRecovery;
    ASSERT_EQ(VelcorSim_InjectFault(id_, VELCORSIM_FAULT_HEADER_LOST, 150), TRUE);
    ASSERT_EQ(engine_->StartTransfer(1), 1);
    EXPECT_EQ(engine_->WaitFrame(60000), 1) << "the single frame never came";
    EXPECT_EQ(engine_->StartTransfer(1), 1);
    EXPECT_EQ(engine_->WaitFrame(3000), 3) << "a healthy start after the give-up";
    engine_->StopTransfer();
}

}  // namespace
}  // namespace velcor
