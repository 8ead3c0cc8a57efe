// Frames are neither lost nor invented on their way from the ring to the application: a
// snapshot after a stopped preview, a camera that gives up, device numbers with gaps, format
// changes while frames flow, and a camera lost in trigger mode.
#include <gtest/gtest.h>

#include <velcor/VelcorSdk.h>
#include <velcor/VelcorSim.h>
#include <velcor/VelcorWin.h>

#include <algorithm>
#include <vector>

#include "camera/CameraTestSupport.h"
#include "platform/Clock.h"
#include "support/Sanitizers.h"

namespace velcor {
namespace {

using testing::CameraOnSimulator;

constexpr int kFrameBytes8 = 1280 * 1024;

class FrameDelivery : public CameraOnSimulator {
  protected:
    // Callback preview, the worker pausing waitMs between frames.
    void StartCallbackPreview(BYTE* buffer = nullptr, int size = 0, int waitMs = 0) {
        Velcor_SetPreviewWindow(handle_, nullptr, 0, 0, 0, 0);
        Velcor_SetWaitTime(handle_, waitMs);
        ASSERT_EQ(Velcor_CallBackPreview(handle_, window_, buffer, size, 1), TRUE);
    }
    // The frame record of the next delivered frame, or null when a failure came instead.
    const VELCORFRAMEINFO* NextDelivered() {
        WPARAM w = 0;
        LPARAM l = 0;
        if (!NextFrame(&w, &l)) return nullptr;
        EXPECT_NE(w, 0u) << "frame failed with error " << l;
        return reinterpret_cast<const VELCORFRAMEINFO*>(w);
    }
    bool AllBytesZero(const std::vector<BYTE>& image) {
        return std::all_of(image.begin(), image.end(), [](BYTE b) { return b == 0; });
    }

    std::vector<BYTE> buffer_;
};

// With the default pause the camera runs ahead of the worker, so any number of frames stays
// unread in the ring when the preview stops; the snapshot must still find its own frame.
TEST_F(FrameDelivery, SnapshotAfterAStoppedPreviewFindsItsFrame) {
    Open(1);
    std::vector<BYTE> image(kFrameBytes8);
    for (int round = 0; round < 12; ++round) {
        StartCallbackPreview(nullptr, 0, 10);
        for (int i = 0; i < 1 + round % 3; ++i)
            ASSERT_NE(NextDelivered(), nullptr) << round;
        ASSERT_EQ(Velcor_StopPreview(handle_), TRUE);
        ASSERT_EQ(Velcor_SnapShot(handle_, image.data(), kFrameBytes8, 1), TRUE)
            << "round " << round << ", error " << LastError();
    }
}

TEST_F(FrameDelivery, AFirstAcquisitionThatGivesUpFailsTheSnapshot) {
    Open(1);
    const platform::VirtualTimeScope instantRecovery;
    // 150 lost headers are five lost frames: the engine gives the camera up.
    ASSERT_TRUE(InjectFault(0, VELCORSIM_FAULT_HEADER_LOST, 150));
    std::vector<BYTE> image(kFrameBytes8);
    EXPECT_EQ(Velcor_SnapShot(handle_, image.data(), kFrameBytes8, 1), FALSE);
    EXPECT_EQ(LastError(), VELCOR_ERR_ACQUISITION);
    EXPECT_TRUE(AllBytesZero(image)) << "a failed snapshot writes nothing";
}

TEST_F(FrameDelivery, ASnapshotAfterARecoveredGiveUpSucceeds) {
    Open(1);
    const platform::VirtualTimeScope instantRecovery;
    std::vector<BYTE> image(kFrameBytes8);
    for (int round = 0; round < (test::kUnderSanitizer ? 2 : 5); ++round) {
        ASSERT_TRUE(InjectFault(0, VELCORSIM_FAULT_HEADER_LOST, 150));
        EXPECT_EQ(Velcor_SnapShot(handle_, image.data(), kFrameBytes8, 1), FALSE) << round;
        EXPECT_EQ(LastError(), VELCOR_ERR_ACQUISITION);
        // A slow build may end the snapshot's wait before the engine used up every lost
        // header; what is left must not fail the healthy snapshot.
        ASSERT_TRUE(InjectFault(0, VELCORSIM_FAULT_HEADER_LOST, 0));
        EXPECT_EQ(Velcor_SnapShot(handle_, image.data(), kFrameBytes8, 1), TRUE)
            << "round " << round << ": the earlier give-up failed a healthy snapshot";
        EXPECT_EQ(LastError(), 0);
    }
}

TEST_F(FrameDelivery, TheOneCameraLeftAfterAnUnplugIsOpenedAndNamedByItsNumber) {
    ASSERT_TRUE(Plug(0, "SIM0001"));
    ASSERT_TRUE(Plug(1, "SIM0002"));
    // Both cameras enter the device table while this handle lives; then the first goes.
    window_ = VelcorWin_CreateMessageWindow();
    const int keeper = Velcor_Initialize(window_);
    ASSERT_NE(keeper, 0);
    ASSERT_TRUE(Unplug(0));
    ASSERT_TRUE(Announced(window_, VELCOR_DBT_DEVICEREMOVECOMPLETE));

    handle_ = Velcor_Initialize(window_);
    EXPECT_EQ(LastError(), 0) << "the one camera present is opened";
    ASSERT_EQ(Velcor_SetColorMode(handle_, 8), TRUE);
    EXPECT_EQ(Serial(), "SIM0002");
    char names[10][256];
    ASSERT_EQ(Velcor_EnumDevice(handle_, &names[0][0]), 1);
    EXPECT_STREQ(names[0], "VelcorTX40_02") << "the name carries the number that opens it";
    char name[32];
    EXPECT_EQ(Velcor_GetDeviceName(handle_, 1, name, sizeof name), TRUE);
    EXPECT_STREQ(name, names[0]);
    Velcor_Release(keeper);
}

TEST_F(FrameDelivery, EnumerationListsEveryPresentCameraAcrossGaps) {
    Open(3);
    ASSERT_TRUE(Unplug(1));
    ASSERT_TRUE(Announced(window_, VELCOR_DBT_DEVICEREMOVECOMPLETE));
    char names[10][256];
    ASSERT_EQ(Velcor_EnumDevice(handle_, &names[0][0]), 2);
    EXPECT_STREQ(names[0], "VelcorTX40_01");
    EXPECT_STREQ(names[1], "VelcorTX40_03");
    EXPECT_STREQ(names[2], "");
    ASSERT_EQ(Velcor_SetDeviceNumber(handle_, 2), TRUE);
    EXPECT_EQ(Serial(), "SIM0003");
    EXPECT_EQ(Velcor_SetDeviceNumber(handle_, 1), FALSE);
    EXPECT_EQ(LastError(), VELCOR_ERR_NOT_PRESENT);
}

TEST_F(FrameDelivery, ARunningPreviewKeepsItsColourModeAndWindowUntilTheNextStart) {
    Open(1);
    // The worker writes into the buffer until the preview stops: it lives with the fixture.
    buffer_.assign(kFrameBytes8 * 2, 0);
    StartCallbackPreview(buffer_.data(), kFrameBytes8);
    ASSERT_NE(NextDelivered(), nullptr);
    ASSERT_EQ(Velcor_SetColorMode(handle_, 16), TRUE);
    // This sensor windows rows only.
    ASSERT_EQ(Velcor_SetCaptureWindowEx(handle_, 1280, 0, 1280, 1024, 100, 480), TRUE);
    for (int i = 0; i < 5; ++i) {
        const VELCORFRAMEINFO* info = NextDelivered();
        ASSERT_NE(info, nullptr) << i;
        EXPECT_EQ(info->bitsPerPixel, 8);
        EXPECT_EQ(info->width, 1280);
        EXPECT_EQ(info->height, 1024);
    }
    EXPECT_EQ(LastError(), 0);
    ASSERT_EQ(Velcor_StopPreview(handle_), TRUE);
    VELCORMSG stale{};
    while (VelcorWin_PeekMessage(&stale, window_, VELCOR_WM_FRAME, VELCOR_WM_FRAME,
                                 VELCOR_PM_REMOVE)) {
    }

    StartCallbackPreview(buffer_.data(), static_cast<int>(buffer_.size()));
    const VELCORFRAMEINFO* info = NextDelivered();
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->bitsPerPixel, 16);
    EXPECT_EQ(info->width, 1280);
    EXPECT_EQ(info->height, 480);
    EXPECT_EQ(Velcor_StopPreview(handle_), TRUE);
}

TEST_F(FrameDelivery, ACameraLostInTriggerModeEndsTriggerModeWithErrorThirteen) {
    Open(1);
    Velcor_SetPreviewWindow(handle_, nullptr, 0, 0, 0, 0);
    ASSERT_EQ(Velcor_Trigger(handle_, window_, nullptr, 0, 1), TRUE);
    WPARAM w = 0;
    LPARAM l = 0;
    bool delivered = false;
    for (int i = 0; i < 100 && !delivered; ++i) {
        FireTrigger(0);
        delivered = NextFrame(&w, &l, 100) && w != 0;
    }
    ASSERT_TRUE(delivered) << "a pulse gives a frame";
    ASSERT_TRUE(Unplug(0));
    EXPECT_TRUE(WaitForFrameFailure(VELCOR_ERR_STOPPED, 20000));
    EXPECT_EQ(Velcor_StopPreview(handle_), TRUE);
    EXPECT_TRUE(HistoryHolds(VELCOR_ERR_STOPPED));
}

}  // namespace
}  // namespace velcor
