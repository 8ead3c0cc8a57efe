#include "platform/DriverPort.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/FileMapping.h"
#include "sim/SimTestSupport.h"
#include "transport/Fx3Api.h"

namespace velcor::platform {
namespace {

class DriverPort : public velcor::testing::SimTest {
  protected:
    void SetUp() override {
        SimTest::SetUp();
        id_ = Attach(0x32C0, "PORT1");
        path_ = Camera(id_)->Path();
    }
    HANDLE Open(bool overlapped) {
        return CreateFile(path_.c_str(), kGenericWrite, kFileShareWrite, kOpenExisting,
                          overlapped ? kFileFlagOverlapped : 0);
    }
    // A buffered read record of 64 bytes from 0x81.
    static std::vector<uint8_t> ReadRecord() {
        std::vector<uint8_t> record(38 + 64, 0);
        record[13] = 0x81;
        record[30] = 38;
        record[34] = 64;
        return record;
    }
    int id_ = 0;
    std::string path_;
};

TEST_F(DriverPort, EnumeratesPresentInterfacesWithTheirDetail) {
    Attach(0x3020, "PORT2");
    DeviceInterfaceSet set(kFx3InterfaceClass);
    EXPECT_TRUE(set.EnumInterface(1));
    EXPECT_FALSE(set.EnumInterface(2));
    EXPECT_EQ(GetLastError(), kErrorNoMoreItems);
    uint32_t required = 0;
    EXPECT_FALSE(set.GetInterfaceDetail(0, nullptr, 0, &required));
    EXPECT_EQ(GetLastError(), kErrorInsufficientBuffer);
    EXPECT_EQ(required, 4 + path_.size() + 1);
    std::vector<uint8_t> detail(required - 1);
    EXPECT_FALSE(set.GetInterfaceDetail(0, detail.data(), detail.size(), &required));
    detail.resize(required);
    ASSERT_TRUE(set.GetInterfaceDetail(0, detail.data(), detail.size(), &required));
    EXPECT_STREQ(reinterpret_cast<const char*>(detail.data() + 4), path_.c_str());
}

TEST_F(DriverPort, OpensPathsWithoutRegardToCase) {
    std::string upper = path_;
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    HANDLE handle = CreateFile(upper.c_str(), kGenericWrite, kFileShareWrite, kOpenExisting, 0);
    ASSERT_NE(handle, kInvalidHandleValue);
    EXPECT_TRUE(CloseHandle(handle));
    EXPECT_FALSE(CloseHandle(handle));
    EXPECT_EQ(GetLastError(), kErrorInvalidHandle);

    EXPECT_EQ(CreateFile("\\\\?\\usb#vid_04b4&pid_32c0#NONE#{x}", kGenericWrite, kFileShareWrite,
                         kOpenExisting, 0),
              kInvalidHandleValue);
    EXPECT_EQ(GetLastError(), kErrorFileNotFound);
}

TEST_F(DriverPort, UnknownHandleAndCodeFail) {
    uint32_t bytes = 0;
    EXPECT_FALSE(DeviceIoControl(reinterpret_cast<HANDLE>(0x12345), kIoctlResetPort, nullptr, 0,
                                 nullptr, 0, &bytes, nullptr));
    EXPECT_EQ(GetLastError(), kErrorInvalidHandle);
    HANDLE handle = Open(false);
    EXPECT_FALSE(DeviceIoControl(handle, 0x220099, nullptr, 0, nullptr, 0, &bytes, nullptr));
    EXPECT_EQ(GetLastError(), kErrorInvalidFunction);
    CloseHandle(handle);
}

TEST_F(DriverPort, OverlappedRequestPendsUntilDataArrives) {
    HANDLE handle = Open(true);
    std::vector<uint8_t> record = ReadRecord();
    Event event(Event::Reset::Manual, true);
    OVERLAPPED overlapped;
    overlapped.hEvent = &event;
    uint32_t bytes = 0;
    ASSERT_FALSE(DeviceIoControl(handle, kIoctlBufferedBulk, record.data(), record.size(),
                                 record.data(), record.size(), &bytes, &overlapped));
    EXPECT_EQ(GetLastError(), kErrorIoPending);
    EXPECT_FALSE(event.IsSignalled()) << "the event is cleared when the request starts";
    EXPECT_FALSE(GetOverlappedResult(handle, &overlapped, &bytes, false));
    EXPECT_EQ(GetLastError(), kErrorIoIncomplete);
    EXPECT_EQ(record[38], 0) << "buffered output reaches the caller only on completion";

    Camera(id_)->QueueIn(0x81, std::vector<uint8_t>(100, 0x7E));
    ASSERT_TRUE(GetOverlappedResult(handle, &overlapped, &bytes, true));
    EXPECT_TRUE(event.IsSignalled());
    EXPECT_EQ(bytes, 38u + 64u);
    EXPECT_EQ(record[38], 0x7E);
    EXPECT_EQ(Camera(id_)->QueuedUnits(0x81), 1u) << "36 bytes of the unit remain";
    CloseHandle(handle);
}

TEST_F(DriverPort, SynchronousHandleWaitsForCompletion) {
    HANDLE handle = Open(false);
    std::vector<uint8_t> record = ReadRecord();
    uint32_t bytes = 0;
    std::thread feeder([&] {
        while (Camera(id_)->PendingTransfers() == 0)
            std::this_thread::yield();
        Camera(id_)->QueueIn(0x81, std::vector<uint8_t>(10, 1));
    });
    EXPECT_TRUE(DeviceIoControl(handle, kIoctlBufferedBulk, record.data(), record.size(),
                                record.data(), record.size(), &bytes, nullptr));
    feeder.join();
    EXPECT_EQ(bytes, 38u + 10u) << "a short unit ends the read";
    CloseHandle(handle);
}

TEST_F(DriverPort, ClosingAHandleCancelsItsRequests) {
    HANDLE handle = Open(true);
    HANDLE other = Open(true);
    std::vector<uint8_t> record = ReadRecord();
    std::vector<uint8_t> otherRecord = ReadRecord();
    Event event(Event::Reset::Manual);
    Event otherEvent(Event::Reset::Manual);
    OVERLAPPED overlapped;
    OVERLAPPED otherOverlapped;
    overlapped.hEvent = &event;
    otherOverlapped.hEvent = &otherEvent;
    uint32_t bytes = 0;
    DeviceIoControl(handle, kIoctlBufferedBulk, record.data(), record.size(), record.data(),
                    record.size(), &bytes, &overlapped);
    DeviceIoControl(other, kIoctlBufferedBulk, otherRecord.data(), otherRecord.size(),
                    otherRecord.data(), otherRecord.size(), &bytes, &otherOverlapped);
    CloseHandle(handle);
    EXPECT_TRUE(event.IsSignalled());
    EXPECT_EQ(overlapped.Internal, kErrorOperationAborted);
    EXPECT_FALSE(otherEvent.IsSignalled()) << "another handle's request runs on";
    CloseHandle(other);
    EXPECT_TRUE(otherEvent.IsSignalled());
}

TEST_F(DriverPort, UnpluggedDeviceFailsNewRequestsOnOpenHandles) {
    HANDLE handle = Open(false);
    ASSERT_TRUE(Detach(id_));
    uint32_t bytes = 0;
    EXPECT_FALSE(DeviceIoControl(handle, kIoctlResetPort, nullptr, 0, nullptr, 0, &bytes, nullptr));
    EXPECT_EQ(GetLastError(), kErrorDeviceNotConnected);
    EXPECT_TRUE(CloseHandle(handle));
    EXPECT_EQ(Open(false), kInvalidHandleValue);
}

TEST(FileMapping, ExistsWhileHeldAndStartsZeroedAgain) {
    const std::string name = velcor::testing::UniqueTableName();
    bool existed = true;
    auto first = FileMapping::OpenOrCreate(name, 8584, &existed);
    ASSERT_NE(first, nullptr);
    EXPECT_FALSE(existed);
    static_cast<uint8_t*>(first->View())[100] = 42;
    {
        auto second = FileMapping::OpenOrCreate(name, 8584, &existed);
        ASSERT_NE(second, nullptr);
        EXPECT_TRUE(existed);
        EXPECT_EQ(static_cast<uint8_t*>(second->View())[100], 42);
    }
    first.reset();
    auto fresh = FileMapping::OpenOrCreate(name, 8584, &existed);
    ASSERT_NE(fresh, nullptr);
    EXPECT_FALSE(existed);
    EXPECT_EQ(static_cast<uint8_t*>(fresh->View())[100], 0);
}

}  // namespace
}  // namespace velcor::platform
