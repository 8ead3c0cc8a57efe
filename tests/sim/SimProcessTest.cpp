// Simulated cameras of two processes at once: each process attaches and uses its own, and
// neither sees the other's. The second process is the peer program (tests/peer), run beside the
// test on the test's own shared device table.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <velcor/VelcorSdk.h>
#include <velcor/VelcorSim.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/FileMapping.h"
#include "sim/SimPeerRun.h"
#include "sim/SimTestSupport.h"
#include "transport/Fx3Api.h"

namespace velcor {
namespace {

using testing::PeerRun;
using testing::RunPeer;
using testing::SharedTableNow;
using testing::SimTest;

int LinesStartingWith(const std::string& text, const std::string& start) {
    int count = 0;
    for (size_t at = 0; at < text.size();) {
        const size_t end = text.find('\n', at);
        if (text.compare(at, start.size(), start) == 0) ++count;
        if (end == std::string::npos) break;
        at = end + 1;
    }
    return count;
}

class TwoProcesses : public SimTest {
  protected:
    void TearDown() override {
        if (handle_ != 0) Velcor_Release(handle_);
        SimTest::TearDown();
    }
    int handle_ = 0;
};

TEST_F(TwoProcesses, EachStreamsItsOwnSIM0001) {
    ASSERT_GT(VelcorSim_AttachCamera(0x32C0, "SIM0001"), 0);
    handle_ = Velcor_Initialize(nullptr);
    ASSERT_NE(handle_, 0);
    char names[10][256];
    ASSERT_EQ(Velcor_EnumDevice(handle_, &names[0][0]), 1);
    Velcor_SetPreviewWindow(handle_, nullptr, 0, 0, 0, 0);
    ASSERT_EQ(Velcor_StartPreview(handle_), TRUE);
    VELCORSIM_FRAMECOUNTERS before{};
    ASSERT_EQ(VelcorSim_GetFrameCounters(handle_, &before), TRUE);

    // The other process attaches a camera of the same serial number while this one streams.
    const PeerRun peer = RunPeer({"--attach", "SIM0001", "--frames", "20"});
    EXPECT_EQ(peer.status, 0) << peer.output;
    EXPECT_EQ(LinesStartingWith(peer.output, "entry "), 1) << peer.output;
    EXPECT_NE(peer.output.find("entry 0 0 1 "), std::string::npos) << peer.output;
    EXPECT_EQ(LinesStartingWith(peer.output, "camera "), 1) << peer.output;
    EXPECT_NE(peer.output.find("serial SIM0001\n"), std::string::npos) << peer.output;
    EXPECT_NE(peer.output.find("streamed 20\n"), std::string::npos) << peer.output;

    // Neither camera entered the table the processes share.
    EXPECT_EQ(SharedTableNow().entryCount, 0);

    // This process streamed on throughout, from its own camera.
    VELCORSIM_FRAMECOUNTERS after{};
    ASSERT_EQ(VelcorSim_GetFrameCounters(handle_, &after), TRUE);
    EXPECT_GT(after.finished, before.finished);
    EXPECT_EQ(Velcor_StopPreview(handle_), TRUE);
    EXPECT_EQ(Velcor_EnumDevice(handle_, &names[0][0]), 1);
    EXPECT_EQ(CFx3Api::EntryCount(), 1);
    char serial[64] = "";
    ASSERT_EQ(Velcor_ReadSerialNumberA(handle_, serial, sizeof serial), TRUE);
    EXPECT_STREQ(serial, "SIM0001");
}

TEST_F(TwoProcesses, AnotherProcesssCameraDoesNotTakeDeviceZero) {
    ASSERT_GT(VelcorSim_AttachCamera(0x32C0, "OTHER001"), 0);
    handle_ = Velcor_Initialize(nullptr);
    ASSERT_NE(handle_, 0);

    const PeerRun peer = RunPeer({"--attach", "SIM0001", "--frames", "5"});
    EXPECT_EQ(peer.status, 0) << peer.output;
    EXPECT_NE(peer.output.find("camera 0 "), std::string::npos) << peer.output;
    EXPECT_NE(peer.output.find("serial SIM0001\n"), std::string::npos) << peer.output;
    EXPECT_EQ(peer.output.find("OTHER001"), std::string::npos) << peer.output;
}

TEST_F(TwoProcesses, CamerasGoneLongAgoLeaveRoomForAFreshProcess) {
    // A long-lived holder keeps the shared table alive, as any program using a camera would.
    CFx3Api holder;
    for (int cycle = 0; cycle < 40; ++cycle) {
        char serial[16];
        std::snprintf(serial, sizeof serial, "CYCLE%03d", cycle);
        const int id = VelcorSim_AttachCamera(0x32C0, serial);
        ASSERT_GT(id, 0) << cycle;
        CFx3Api api;
        EXPECT_GE(api.EnumerateDevices(), 1) << cycle;
        ASSERT_EQ(VelcorSim_DetachCamera(id), TRUE) << cycle;
    }
    const SharedDeviceTable shared = SharedTableNow();
    EXPECT_EQ(shared.entryCount, 0) << "no simulated camera is kept for other processes";

    const PeerRun peer = RunPeer({"--attach", "SIM0001", "--frames", "5"});
    EXPECT_EQ(peer.status, 0) << peer.output;
    EXPECT_EQ(LinesStartingWith(peer.output, "entry "), 1) << peer.output;
    EXPECT_NE(peer.output.find("streamed 5\n"), std::string::npos) << peer.output;
}

}  // namespace
}  // namespace velcor
