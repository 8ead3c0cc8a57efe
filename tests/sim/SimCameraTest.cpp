#include <gtest/gtest.h>

#include <velcor/VelcorSim.h>
#include <chrono>

#include <cstring>
#include <set>
#include <string>

#include "platform/DeviceNotifications.h"
#include "platform/MessageWindows.h"
#include "protocol/FpgaRegisterMap.h"
#include "sim/SimTestSupport.h"
#include "transport/DevIz3Cam.h"

namespace velcor {
namespace {

using testing::SimTest;

// The register numbers as the camera's FPGA design fixes them.
TEST(FpgaRegisterMap, HoldsTheRegistersOfTheFpgaDesign) {
    const std::pair<uint8_t, uint8_t> documented[] = {
        {fpga::kIoPort, 0x07},
        {fpga::kFrameCounter, 0x08},
        {fpga::kVersionLow, 0x10},
        {fpga::kVersionHigh, 0x11},
        {fpga::kStartupIndicator, 0x13},
        {fpga::kTriggerEnable24, 0x24},
        {fpga::kTriggerEnable30, 0x30},
        {fpga::kStartupControl38, 0x38},
        {fpga::kPixelDepth, 0x3C},
        {fpga::kPixelDepthMode, 0x3D},
        {fpga::kStartupControl3E, 0x3E},
        {fpga::kMemoryReadPrepare, 0x3F},
        {fpga::kHeightLow, 0x40},
        {fpga::kHeightHigh, 0x41},
        {fpga::kWidthLow, 0x44},
        {fpga::kWidthHigh, 0x45},
        {fpga::kVerticalOffsetLow, 0x48},
        {fpga::kVerticalOffsetHigh, 0x49},
        {fpga::kHorizontalOffsetLow, 0x4C},
        {fpga::kHorizontalOffsetHigh, 0x4D},
        {fpga::kTransferReset, 0x68},
        {fpga::kFrameRelease, 0x6C},
        {fpga::kPixelDepth6E, 0x6E},
        {fpga::kNewestSlotLow, 0x72},
        {fpga::kNewestSlotHigh, 0x73},
        {fpga::kSlotSize0, 0x78},
        {fpga::kSlotSize3, 0x7B},
        {fpga::kSerialLink, 0x81},
        {fpga::kPowerSwitch, 0x90},
        {fpga::kFrameReleaseAlt, 0x96},
        {fpga::kHeightLowAlt, 0x9A},
        {fpga::kWidthHighAlt, 0x9D},
        {fpga::kPixelDepthAlt, 0xA3},
        {fpga::kValue16Low, 0xD0},
        {fpga::kSwitchD1, 0xD1},
        {fpga::kValue16High, 0xD2},
        {fpga::kShutdownClearE0, 0xE0},
    };
    for (const auto& [constant, number] : documented) {
        EXPECT_EQ(constant, number);
        EXPECT_NE(fpga::FindRegister(number), nullptr) << int{number};
    }
    for (uint8_t reg = 0x1F; reg <= 0x25; ++reg)
        EXPECT_NE(fpga::FindRegister(reg), nullptr);
    std::set<uint8_t> seen;
    for (const auto& info : fpga::kRegisterMap) {
        EXPECT_TRUE(seen.insert(info.number).second) << "register listed twice: " << info.name;
    }
    const uint8_t readOnly[] = {0x08, 0x10, 0x11, 0x13, 0x72, 0x73, 0x78, 0x79, 0x7A, 0x7B};
    for (uint8_t reg : readOnly)
        EXPECT_EQ(fpga::FindRegister(reg)->access, fpga::kRead);
    EXPECT_EQ(fpga::FindRegister(0x6C)->access, fpga::kWrite);
    EXPECT_EQ(fpga::FindRegister(0x81)->access, fpga::kReadWrite);
    EXPECT_EQ(fpga::FindRegister(0x01), nullptr);
}

class SimulatedCamera : public SimTest {
  protected:
    void SetUp() override {
        SimTest::SetUp();
        id_ = Attach(0x32C0, "SIM0001");
        sim_ = Camera(id_);
        cam_ = std::make_unique<CDevIz3Cam>();
        ASSERT_EQ(cam_->EnumerateDevices(), 1);
        ASSERT_EQ(cam_->Prepare(), 1);
    }
    void TearDown() override {
        cam_.reset();
        SimTest::TearDown();
    }
    int id_ = 0;
    std::shared_ptr<sim::SimCamera> sim_;
    std::unique_ptr<CDevIz3Cam> cam_;
};

TEST_F(SimulatedCamera, FpgaOwnsItsReadOnlyRegisters) {
    const uint8_t counter = sim_->FpgaRegister(fpga::kFrameCounter);
    ASSERT_EQ(cam_->WriteFpgaRegister(fpga::kFrameCounter, 0x33), 1);
    ASSERT_EQ(cam_->WriteFpgaRegister(fpga::kVersionLow, 0x33), 1);
    EXPECT_EQ(sim_->FpgaRegister(fpga::kFrameCounter), counter);
    EXPECT_EQ(sim_->FpgaRegister(fpga::kVersionLow), 0x25);
    ASSERT_EQ(cam_->WriteFpgaRegister(0x01, 0x44), 1) << "a register outside the map";
    uint8_t value = 0;
    ASSERT_EQ(cam_->ReadFpgaRegister(0x01, &value), 1);
    EXPECT_EQ(value, 0x44);
    ASSERT_EQ(cam_->ReadFpgaRegister(fpga::kSerialLink, &value), 1);
    EXPECT_NE(value & fpga::kSerialLinkReady, 0) << "the serial link is ready";
    ASSERT_EQ(cam_->ReadFpgaRegister(fpga::kSensorBusStatus, &value), 1);
    EXPECT_EQ(value, 0) << "the sensor bus is idle";
}

TEST_F(SimulatedCamera, FrameCountersStartNearTheirWrap) {
    EXPECT_EQ(sim_->FpgaRegister(fpga::kFrameCounter), 0xFC);
    FrameRequest request{};
    std::vector<uint8_t> frame(1280 * 1024);
    request.buffer = frame.data();
    request.capacity = static_cast<uint32_t>(frame.size());
    uint32_t numbers[6];
    for (uint32_t& number : numbers) {
        ASSERT_EQ(cam_->ReadFrameHeader(&request), 1);
        ASSERT_EQ(cam_->ReadFrameData(&request, 3000), 1);
        std::memcpy(&number, request.header, 4);
    }
    EXPECT_EQ(numbers[0], 0xFFFFFFFCu);
    EXPECT_EQ(numbers[4], 0u) << "the header's frame number wraps";
    EXPECT_EQ(numbers[5], 1u);
    EXPECT_EQ(sim_->FpgaRegister(fpga::kFrameCounter), 0x02) << "register 8 wraps at 256";
}

TEST_F(SimulatedCamera, FrameSizeFollowsTheFpgaGeometry) {
    ASSERT_EQ(cam_->WriteFpgaRegister(fpga::kHeightLow, 0x00), 1);
    ASSERT_EQ(cam_->WriteFpgaRegister(fpga::kHeightHigh, 0x02), 1);  // 512 lines
    ASSERT_EQ(cam_->WriteFpgaRegister(fpga::kPixelDepth, 2), 1);     // 16 bits
    FrameRequest request{};
    ASSERT_EQ(cam_->ReadFrameHeader(&request), 1);
    EXPECT_EQ(request.HeaderByteCount(), 1280u * 512u * 2u);
}

TEST_F(SimulatedCamera, PendingReadEndsWhenItsRecordTimeOutExpires) {
    HANDLE handle = cam_->OpenDevice(0, true);
    ASSERT_NE(handle, nullptr);
    std::vector<uint8_t> record(38 + 64, 0);
    record[8] = 1;  // seconds
    record[13] = 0x81;
    record[30] = 38;
    record[34] = 64;
    platform::Event event(platform::Event::Reset::Manual);
    platform::OVERLAPPED overlapped;
    overlapped.hEvent = &event;
    uint32_t bytes = 0;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_FALSE(platform::DeviceIoControl(handle, kIoctlBufferedBulk, record.data(), record.size(),
                                           record.data(), record.size(), &bytes, &overlapped));
    ASSERT_EQ(platform::GetLastError(), platform::kErrorIoPending);
    ASSERT_TRUE(event.Wait(3000));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(950))
        << "the record allows a second";
    EXPECT_FALSE(platform::GetOverlappedResult(handle, &overlapped, &bytes, false));
    EXPECT_EQ(platform::GetLastError(), platform::kErrorSemTimeout);
    CFx3Api::CloseDevice(handle);
}

TEST_F(SimulatedCamera, SameSerialGivesTheSamePath) {
    EXPECT_EQ(sim_->Path(),
              sim::SimCamera::MakePath(0x04B4, 0x32C0, "SIM0001", kFx3InterfaceClass));
    EXPECT_EQ(sim::SimCamera::MakePath(0x04B4, 0x32C0, "A#B", kFx3InterfaceClass),
              "\\\\?\\usb#vid_04b4&pid_32c0#A_B#{328184c5-93e6-49b7-94b8-2ada13aabb39}")
        << "the instance text cannot break the path apart";
}

class SimControl : public SimTest {};

TEST_F(SimControl, AttachValidatesTheSerialNumber) {
    const int first = VelcorSim_AttachCamera(0x32C0, "SIM0001");
    EXPECT_GT(first, 0);
    EXPECT_EQ(VelcorSim_AttachCamera(0x32C0, "SIM0001"), 0) << "already attached";
    const int other = VelcorSim_AttachCamera(0x3020, "SIM0001");
    EXPECT_GT(other, 0) << "another product may carry the same serial";
    EXPECT_NE(other, first);
    EXPECT_EQ(VelcorSim_AttachCamera(0x32C0, nullptr), 0);
    EXPECT_EQ(VelcorSim_AttachCamera(0x32C0, ""), 0);
    EXPECT_EQ(VelcorSim_AttachCamera(0x32C0, std::string(33, 'A').c_str()), 0);
    EXPECT_GT(VelcorSim_AttachCamera(0x32C0, std::string(32, 'A').c_str()), 0);
    EXPECT_EQ(VelcorSim_AttachCamera(0x32C0, "tab\there"), 0);

    EXPECT_EQ(VelcorSim_DetachCamera(first), TRUE);
    EXPECT_EQ(VelcorSim_DetachCamera(first), FALSE);
    EXPECT_EQ(VelcorSim_DetachCamera(0), FALSE);
    const int again = VelcorSim_AttachCamera(0x32C0, "SIM0001");
    EXPECT_GT(again, 0);
    EXPECT_NE(again, first) << "ids are not reused";
}

TEST_F(SimControl, InjectFaultChecksItsArguments) {
    const int camera = VelcorSim_AttachCamera(0x32C0, "SIM0001");
    for (int fault = VELCORSIM_FAULT_CONTROL_FAIL; fault <= VELCORSIM_FAULT_UNPLUG; ++fault) {
        EXPECT_EQ(VelcorSim_InjectFault(camera, fault, 1), TRUE) << fault;
        EXPECT_EQ(VelcorSim_InjectFault(camera, fault, 0), TRUE) << fault;
    }
    EXPECT_EQ(VelcorSim_InjectFault(camera, 0, 1), FALSE);
    EXPECT_EQ(VelcorSim_InjectFault(camera, VELCORSIM_FAULT_UNPLUG + 1, 1), FALSE);
    EXPECT_EQ(VelcorSim_InjectFault(camera, VELCORSIM_FAULT_I2C_NACK, -1), FALSE);
    EXPECT_EQ(VelcorSim_InjectFault(camera + 100, VELCORSIM_FAULT_I2C_NACK, 1), FALSE);
}

TEST_F(SimControl, WithdrawnFaultNoLongerApplies) {
    const int camera = VelcorSim_AttachCamera(0x32C0, "SIM0001");
    CDevIz3Cam cam;
    ASSERT_EQ(cam.EnumerateDevices(), 1);
    ASSERT_EQ(VelcorSim_InjectFault(camera, VELCORSIM_FAULT_I2C_NACK, 5), TRUE);
    uint8_t value = 0;
    EXPECT_EQ(cam.ReadFpgaRegister(fpga::kIoPort, &value), 0);
    ASSERT_EQ(VelcorSim_InjectFault(camera, VELCORSIM_FAULT_I2C_NACK, 0), TRUE);
    EXPECT_EQ(cam.ReadFpgaRegister(fpga::kIoPort, &value), 1);
}

TEST_F(SimControl, ListDevicesReportsThisProcesssTable) {
    EXPECT_EQ(VelcorSim_ListDevices(nullptr, 0), 0);
    const int a = VelcorSim_AttachCamera(0x32C0, "SIM0001");
    VelcorSim_AttachCamera(0x32C0, "SIM0002");
    VELCORSIM_DEVICE devices[4] = {};
    ASSERT_EQ(VelcorSim_ListDevices(devices, 1), 2) << "the count, whatever the capacity";
    EXPECT_EQ(devices[1].productId, 0) << "only one entry copied";
    ASSERT_EQ(VelcorSim_ListDevices(devices, 4), 2);
    EXPECT_EQ(devices[0].productId, 0x32C0);
    EXPECT_EQ(devices[1].instance, 1);
    EXPECT_EQ(devices[0].present, 1);
    EXPECT_NE(std::strstr(devices[1].path, "#SIM0002#"), nullptr);
    // Within one table's life a detached camera stays listed, no longer present.
    CFx3Api holder;
    ASSERT_EQ(VelcorSim_ListDevices(devices, 4), 2);
    VelcorSim_DetachCamera(a);
    ASSERT_EQ(VelcorSim_ListDevices(devices, 4), 2);
    EXPECT_EQ(devices[0].present, 0);
}

TEST_F(SimControl, AttachAndDetachNotifyRegisteredWindows) {
    HWND window = platform::CreateMessageWindow();
    HWND elsewhere = platform::CreateMessageWindow();
    const platform::GUID other = {1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
    platform::HDEVNOTIFY registration =
        platform::RegisterDeviceNotification(window, kFx3InterfaceClass);
    platform::HDEVNOTIFY otherClass = platform::RegisterDeviceNotification(elsewhere, other);
    ASSERT_NE(registration, nullptr);
    EXPECT_EQ(platform::RegisterDeviceNotification(nullptr, kFx3InterfaceClass), nullptr);

    const int camera = VelcorSim_AttachCamera(0x32C0, "SIM0001");
    platform::MSG message{};
    ASSERT_TRUE(platform::GetMessage(&message, window, 0, 0, 1000));
    EXPECT_EQ(message.message, 0x0219u);
    EXPECT_EQ(message.wParam, 0x8000u);
    EXPECT_EQ(message.lParam, 0);
    VelcorSim_DetachCamera(camera);
    ASSERT_TRUE(platform::GetMessage(&message, window, 0, 0, 1000));
    EXPECT_EQ(message.wParam, 0x8004u);
    EXPECT_FALSE(platform::PeekMessage(&message, elsewhere, 0, 0, true))
        << "a window registered for another class hears nothing";

    EXPECT_TRUE(platform::UnregisterDeviceNotification(registration));
    EXPECT_FALSE(platform::UnregisterDeviceNotification(registration));
    VelcorSim_AttachCamera(0x32C0, "SIM0002");
    EXPECT_FALSE(platform::PeekMessage(&message, window, 0, 0, true));
    platform::UnregisterDeviceNotification(otherClass);
    platform::DestroyWindow(window);
    platform::DestroyWindow(elsewhere);
}

}  // namespace
}  // namespace velcor
