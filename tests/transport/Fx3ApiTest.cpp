#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <set>
#include <string>
#include <thread>

#include "platform/Clock.h"
#include "platform/Event.h"
#include "sim/SimTestSupport.h"
#include "transport/DevIz3Cam.h"
#include "transport/Fx3Api.h"

namespace velcor {
namespace {

using testing::SharedTableNow;
using testing::SimTest;

class DeviceTable : public SimTest {};

std::string Serial(int n) {
    char text[16];
    std::snprintf(text, sizeof text, "SIM%04d", n);
    return text;
}

TEST_F(DeviceTable, EntriesCarryIdsFromThePathAndInstancesPerModel) {
    Attach(0x3020, "A1");
    Attach(0x32C0, "B1");
    Attach(0x3020, "A2");
    CFx3Api api;
    ASSERT_EQ(api.EnumerateDevices(), 3);

    DeviceTableEntry entry;
    ASSERT_TRUE(CFx3Api::GetEntry(0, &entry));
    EXPECT_EQ(entry.vendorId, 0x04B4);
    EXPECT_EQ(entry.productId, 0x3020);
    EXPECT_EQ(entry.instance, 0);
    EXPECT_STREQ(entry.path,
                 "\\\\?\\usb#vid_04b4&pid_3020#A1#{328184c5-93e6-49b7-94b8-2ada13aabb39}");
    ASSERT_TRUE(CFx3Api::GetEntry(1, &entry));
    EXPECT_EQ(entry.productId, 0x32C0);
    EXPECT_EQ(entry.instance, 0) << "instances count per model";
    ASSERT_TRUE(CFx3Api::GetEntry(2, &entry));
    EXPECT_EQ(entry.productId, 0x3020);
    EXPECT_EQ(entry.instance, 1);
    EXPECT_FALSE(CFx3Api::GetEntry(3, &entry));
}

TEST_F(DeviceTable, RediscoveryKeepsEntriesAndUnpluggedCamerasStay) {
    const int first = Attach(0x3020, "A1");
    CFx3Api api;
    ASSERT_EQ(api.EnumerateDevices(), 1);
    Attach(0x3020, "A2");
    ASSERT_EQ(api.EnumerateDevices(), 2);
    ASSERT_EQ(api.EnumerateDevices(), 2) << "a camera found again keeps its entry";

    ASSERT_TRUE(Detach(first));
    EXPECT_EQ(api.EnumerateDevices(), 2) << "an unplugged camera stays in the table";
    EXPECT_EQ(api.ProbeDevice(0), 0);
    EXPECT_EQ(api.OpenDevice(0, false), nullptr);
    EXPECT_EQ(api.ProbeDevice(1), 1);

    // Plugged in again it has its old path, so it takes its old entry and instance.
    Attach(0x3020, "A1");
    EXPECT_EQ(api.EnumerateDevices(), 2);
    EXPECT_EQ(api.ProbeDevice(0), 1);
    DeviceTableEntry entry;
    ASSERT_TRUE(CFx3Api::GetEntry(0, &entry));
    EXPECT_EQ(entry.instance, 0);
}

TEST_F(DeviceTable, HoldsAtMost32Entries) {
    for (int i = 0; i < 32; ++i)
        ASSERT_GT(Attach(0x32C0, Serial(i)), 0);
    CFx3Api api;
    EXPECT_EQ(api.EnumerateDevices(), 32);
    ASSERT_GT(Attach(0x32C0, Serial(99)), 0);
    EXPECT_EQ(api.EnumerateDevices(), 32);
    DeviceTableEntry entry;
    ASSERT_TRUE(CFx3Api::GetEntry(31, &entry));
    EXPECT_EQ(entry.instance, 31);
    EXPECT_EQ(api.OpenDevice(32, false), nullptr);
    EXPECT_EQ(api.ProbeDevice(32), 0);
    EXPECT_EQ(api.ProbeDevice(-1), 0);
}

TEST_F(DeviceTable, CameraThatCannotBeOpenedIsNotAdded) {
    sim::SimCameraConfig locked;
    locked.refuseOpen = true;
    Attach(0x32C0, "LOCKED", locked);
    Attach(0x32C0, "OPEN");
    CFx3Api api;
    ASSERT_EQ(api.EnumerateDevices(), 1);
    DeviceTableEntry entry;
    ASSERT_TRUE(CFx3Api::GetEntry(0, &entry));
    EXPECT_NE(std::strstr(entry.path, "#OPEN#"), nullptr);
    EXPECT_EQ(entry.instance, 0);
}

TEST_F(DeviceTable, OtherInterfaceClassesAreNotEnumerated) {
    Attach(0x32C0, "MINE");
    const platform::GUID other = {0x12345678, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
    CFx3Api api(other);
    EXPECT_EQ(api.EnumerateDevices(), 0);
}

TEST_F(DeviceTable, NamesFollowTheProductIdAndInstance) {
    Attach(0x3020, "A1");
    Attach(0x3020, "A2");
    Attach(0x3130, "C1");
    Attach(0x32C0, "R1");
    CFx3Api api;
    ASSERT_EQ(api.EnumerateDevices(), 4);
    char name[64];
    ASSERT_EQ(api.GetDeviceName(0, name, sizeof name), 1);
    EXPECT_STREQ(name, "Velcor-M3020-USB3-T2_00");
    ASSERT_EQ(api.GetDeviceName(1, name, sizeof name), 1);
    EXPECT_STREQ(name, "Velcor-M3020-USB3-T2_01");
    ASSERT_EQ(api.GetDeviceName(2, name, sizeof name), 1);
    EXPECT_STREQ(name, "Velcnv-M3130_00");

    std::strcpy(name, "untouched");
    EXPECT_EQ(api.GetDeviceName(3, name, sizeof name), 0) << "the ROZE9701 camera has no name";
    EXPECT_STREQ(name, "untouched");
    EXPECT_EQ(api.GetDeviceName(4, name, sizeof name), 0);
    char tiny[8];
    EXPECT_EQ(api.GetDeviceName(0, tiny, sizeof tiny), 0) << "a name that does not fit fails";
}

TEST_F(DeviceTable, LivesWhileAnObjectHoldsItAndStartsEmptyAfterTheLast) {
    Attach(0x32C0, "R1");
    auto first = std::make_unique<CFx3Api>();
    ASSERT_EQ(first->EnumerateDevices(), 1);
    {
        CFx3Api second;
        EXPECT_EQ(CFx3Api::EntryCount(), 1);
        first.reset();
        CFx3Api third;
        EXPECT_EQ(CFx3Api::EntryCount(), 1) << "second still holds the table";
    }
    CFx3Api fresh;
    EXPECT_EQ(CFx3Api::EntryCount(), 0);
}

// A child process that holds the table until told to go (or killed).
struct Holder {
    pid_t pid = -1;
    int toChild = -1;
    int fromChild = -1;

    static Holder Start() {
        int down[2];
        int up[2];
        EXPECT_EQ(pipe(down), 0);
        EXPECT_EQ(pipe(up), 0);
        Holder holder;
        holder.pid = fork();
        if (holder.pid == 0) {
            close(down[1]);
            close(up[0]);
            int32_t seen = -1;
            {
                CFx3Api api;
                seen = CFx3Api::EntryCount();
                (void)!write(up[1], &seen, sizeof seen);
                char go;
                (void)!read(down[0], &go, 1);
            }
            _exit(0);
        }
        close(down[0]);
        close(up[1]);
        holder.toChild = down[1];
        holder.fromChild = up[0];
        return holder;
    }
    int EntriesSeen() const {
        int32_t seen = -1;
        EXPECT_EQ(read(fromChild, &seen, sizeof seen), static_cast<ssize_t>(sizeof seen));
        return seen;
    }
    void Finish(bool kill) {
        if (kill) {
            ::kill(pid, SIGKILL);
        } else {
            (void)!write(toChild, "g", 1);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        close(toChild);
        close(fromChild);
    }
};

TEST_F(DeviceTable, IsSharedWithOtherProcessesAndEndsWithTheLastHolder) {
    AttachMachineWide(0x32C0, "R1");
    auto mine = std::make_unique<CFx3Api>();
    ASSERT_EQ(mine->EnumerateDevices(), 1);
    Holder other = Holder::Start();
    EXPECT_EQ(other.EntriesSeen(), 1) << "the other process sees this one's entries";

    mine.reset();
    { EXPECT_EQ((CFx3Api(), CFx3Api::EntryCount()), 1) << "the other process keeps it alive"; }
    other.Finish(false);
    CFx3Api fresh;
    EXPECT_EQ(CFx3Api::EntryCount(), 0);
}

TEST_F(DeviceTable, KilledHolderDoesNotKeepItAlive) {
    AttachMachineWide(0x32C0, "R1");
    auto mine = std::make_unique<CFx3Api>();
    ASSERT_EQ(mine->EnumerateDevices(), 1);
    Holder other = Holder::Start();
    ASSERT_EQ(other.EntriesSeen(), 1);
    mine.reset();
    other.Finish(true);  // dies without giving the table back; its count stays stored
    CFx3Api fresh;
    EXPECT_EQ(CFx3Api::EntryCount(), 0);
}

// Processes and threads enumerating at once, each holding and giving back the table many
// times, leave one entry per camera and a count that drops to zero after the last holder.
TEST_F(DeviceTable, ConcurrentEnumerationsAgreeOnOneEntryPerCamera) {
    for (const char* serial : {"R1", "R2", "R3"})
        AttachMachineWide(0x32C0, serial);
    constexpr int kRounds = 150;
    auto enumerate = [] {
        for (int round = 0; round < kRounds; ++round) {
            CFx3Api api;
            if (api.EnumerateDevices() != 3 || CFx3Api::EntryCount() != 3) return false;
        }
        return true;
    };
    std::vector<pid_t> children;
    for (int i = 0; i < 4; ++i) {
        const pid_t pid = fork();
        if (pid == 0) _exit(enumerate() ? 0 : 1);
        children.push_back(pid);
    }
    std::vector<std::thread> threads;
    std::atomic<int> disagreements{0};
    for (int i = 0; i < 2; ++i) {
        threads.emplace_back([&] {
            if (!enumerate()) ++disagreements;
        });
    }
    for (auto& thread : threads)
        thread.join();
    for (const pid_t pid : children) {
        int status = -1;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a child saw another count";
    }
    EXPECT_EQ(disagreements, 0);
    {
        CFx3Api api;
        ASSERT_EQ(api.EnumerateDevices(), 3);
        std::set<std::string> paths;
        for (int i = 0; i < 3; ++i) {
            DeviceTableEntry entry{};
            ASSERT_TRUE(CFx3Api::GetEntry(i, &entry));
            paths.insert(entry.path);
        }
        EXPECT_EQ(paths.size(), 3u) << "each camera once";
    }
    CFx3Api fresh;
    EXPECT_EQ(CFx3Api::EntryCount(), 0) << "every holder gave the table back";
}

TEST_F(DeviceTable, NamedTablesAreSeparate) {
    AttachMachineWide(0x32C0, "R1");
    CFx3Api api;
    ASSERT_EQ(api.EnumerateDevices(), 1);
    bool existed = true;
    auto other = platform::FileMapping::OpenOrCreate(testing::UniqueTableName(),
                                                     sizeof(SharedDeviceTable), &existed);
    ASSERT_NE(other, nullptr);
    EXPECT_FALSE(existed);
    bool shared = false;
    auto same = platform::FileMapping::OpenOrCreate(CFx3Api::TableName(), sizeof(SharedDeviceTable),
                                                    &shared);
    ASSERT_NE(same, nullptr);
    EXPECT_TRUE(shared);
    const auto* table = static_cast<const SharedDeviceTable*>(same->View());
    EXPECT_EQ(table->entryCount, 1);
    EXPECT_EQ(table->referenceCount, 1);
    EXPECT_EQ(table->entries[0].productId, 0x32C0);
    EXPECT_EQ(table->entries[1].instance, -1) << "free entries carry instance -1";
}

TEST_F(DeviceTable, SimulatedCamerasStayInTheProcessThatAttachedThem) {
    Attach(0x32C0, "SIM0001");
    CFx3Api api;
    ASSERT_EQ(api.EnumerateDevices(), 1);
    EXPECT_EQ(api.ProbeDevice(0), 1);

    const SharedDeviceTable shared = SharedTableNow();
    EXPECT_EQ(shared.referenceCount, 1);
    EXPECT_EQ(shared.entryCount, 0) << "the shared table holds the machine's devices only";
    for (const DeviceTableEntry& entry : shared.entries) {
        EXPECT_EQ(entry.productId, 0);
        EXPECT_EQ(entry.instance, -1);
    }

    Holder other = Holder::Start();
    EXPECT_EQ(other.EntriesSeen(), 0) << "another process does not see this one's camera";
    other.Finish(false);
    EXPECT_EQ(CFx3Api::EntryCount(), 1);
}

TEST_F(DeviceTable, OwnAndMachineCamerasShareOneViewOfStableIndices) {
    AttachMachineWide(0x32C0, "M1");
    Attach(0x32C0, "L1");
    AttachMachineWide(0x32C0, "M2");
    Attach(0x3020, "L2");
    CFx3Api api;
    ASSERT_EQ(api.EnumerateDevices(), 4);

    // One list in discovery order; instance numbers count what this process sees.
    const char* const serials[] = {"#M1#", "#L1#", "#M2#", "#L2#"};
    const int instances[] = {0, 1, 2, 0};
    for (int i = 0; i < 4; ++i) {
        DeviceTableEntry entry;
        ASSERT_TRUE(CFx3Api::GetEntry(i, &entry));
        EXPECT_NE(std::strstr(entry.path, serials[i]), nullptr) << i;
        EXPECT_EQ(entry.instance, instances[i]) << i;
        EXPECT_EQ(api.ProbeDevice(i), 1) << i;
    }

    // The shared table holds the machine's devices, numbered among themselves.
    const SharedDeviceTable shared = SharedTableNow();
    ASSERT_EQ(shared.entryCount, 2);
    EXPECT_NE(std::strstr(shared.entries[0].path, "#M1#"), nullptr);
    EXPECT_EQ(shared.entries[0].instance, 0);
    EXPECT_NE(std::strstr(shared.entries[1].path, "#M2#"), nullptr);
    EXPECT_EQ(shared.entries[1].instance, 1);

    // Another object reloads the shared table; nothing moves.
    CFx3Api second;
    EXPECT_EQ(second.EnumerateDevices(), 4);
    DeviceTableEntry entry;
    ASSERT_TRUE(CFx3Api::GetEntry(1, &entry));
    EXPECT_NE(std::strstr(entry.path, "#L1#"), nullptr);
    ASSERT_TRUE(CFx3Api::GetEntry(2, &entry));
    EXPECT_NE(std::strstr(entry.path, "#M2#"), nullptr);
}

// --- Driver requests -----------------------------------------------------------------------

class DriverRequests : public SimTest {
  protected:
    void SetUp() override {
        SimTest::SetUp();
        id_ = Attach(0x32C0, "R1");
        api_ = std::make_unique<CFx3Api>();
        ASSERT_EQ(api_->EnumerateDevices(), 1);
        handle_ = api_->OpenDevice(0, true);
        ASSERT_NE(handle_, nullptr);
    }
    void TearDown() override {
        CFx3Api::CloseDevice(handle_);
        api_.reset();
        SimTest::TearDown();
    }
    // Asks the firmware for a frame: a 64-byte header and the data appear on 0x81.
    void RequestFrame() {
        uint8_t request[102] = {0x42, 0xC2};
        request[6] = 102;
        request[30] = 38;
        request[34] = 64;
        uint32_t returned = 0;
        ASSERT_EQ(api_->ControlTransfer(handle_, request, sizeof request, &returned), 1);
        EXPECT_EQ(returned, 102u) << "the count includes the record";
    }

    int id_ = 0;
    std::unique_ptr<CFx3Api> api_;
    HANDLE handle_ = nullptr;
};

TEST_F(DriverRequests, NullHandleFailsWithoutARequest) {
    uint8_t record[102] = {};
    uint32_t returned = 7;
    HANDLE none = nullptr;
    EXPECT_EQ(api_->ControlTransfer(none, record, sizeof record, &returned), 0);
    EXPECT_EQ(api_->BufferedBulkTransfer(none, record, sizeof record, &returned), 0);
    EXPECT_EQ(api_->ResetPipe(none, 0x81), 0);
    EXPECT_EQ(api_->ResetPort(none), 0);
    EXPECT_EQ(api_->AbortPipe(none, 0x81), 0);
    uint32_t speed = 0;
    EXPECT_EQ(api_->GetDeviceSpeed(none, &speed), 0);
    platform::OVERLAPPED overlapped;
    EXPECT_EQ(api_->SubmitDirectTransfer(none, record, 4, 0x81, &overlapped), nullptr);
    EXPECT_TRUE(Camera(id_)->Trace().control.empty());
}

TEST_F(DriverRequests, SpeedPortAndPipe) {
    uint32_t speed = 0;
    EXPECT_EQ(api_->GetDeviceSpeed(handle_, &speed), 1);
    EXPECT_EQ(speed, 4u) << "SuperSpeed";
    EXPECT_EQ(api_->ResetPipe(handle_, 0x81), 1);
    EXPECT_EQ(api_->ResetPort(handle_), 1);
    EXPECT_EQ(api_->AbortPipe(handle_, 0x81), 1);
}

TEST_F(DriverRequests, BufferedBulkCountsTheRecordAndFailsOnABadStatus) {
    RequestFrame();
    std::vector<uint8_t> record(38 + 64, 0);
    record[13] = 0x81;
    record[30] = 38;
    record[34] = 64;
    uint32_t returned = 0;
    ASSERT_EQ(api_->BufferedBulkTransfer(handle_, record.data(), record.size(), &returned), 1);
    EXPECT_EQ(returned, 38u + 64u);
    uint32_t frameBytes;
    std::memcpy(&frameBytes, record.data() + 38 + 16, 4);
    EXPECT_EQ(frameBytes, 1280u * 1024u);

    ASSERT_TRUE(Camera(id_)->InjectFault(sim::SimFault::BulkStatus, 1));
    EXPECT_EQ(api_->BufferedBulkTransfer(handle_, record.data(), record.size(), &returned), 0)
        << "a complete transfer with a non-zero USB status failed";
    EXPECT_EQ(returned, 0u);
}

TEST_F(DriverRequests, DirectTransferCompletesLaterThroughTheEvent) {
    platform::Event event(platform::Event::Reset::Auto);
    platform::OVERLAPPED overlapped;
    overlapped.hEvent = &event;
    uint8_t header[64] = {};
    auto record = api_->SubmitDirectTransfer(handle_, header, sizeof header, 0x81, &overlapped);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(api_->LastError(), 997) << "nothing queued yet: the read pends";
    EXPECT_EQ(api_->WaitTransfer(&overlapped, 20), 0);
    RequestFrame();
    EXPECT_EQ(api_->WaitTransfer(&overlapped, 2000), 1);
    uint32_t returned = 0;
    EXPECT_EQ(api_->CompleteTransfer(handle_, std::move(record), &overlapped, &returned), 1);
    EXPECT_EQ(returned, 64u) << "direct counts hold no record";
    EXPECT_EQ(DirectTransferRecord::Live(), 0);
}

TEST_F(DriverRequests, DirectTransferWithANonZeroStatusFails) {
    RequestFrame();
    ASSERT_TRUE(Camera(id_)->InjectFault(sim::SimFault::BulkStatus, 1));
    platform::Event event(platform::Event::Reset::Auto);
    platform::OVERLAPPED overlapped;
    overlapped.hEvent = &event;
    uint8_t header[64] = {};
    auto record = api_->SubmitDirectTransfer(handle_, header, sizeof header, 0x81, &overlapped);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(api_->LastError(), 0) << "data was queued: completed at once";
    ASSERT_EQ(api_->WaitTransfer(&overlapped, 0), 1);
    uint32_t returned = 5;
    platform::VirtualTimeScope virtualTime;
    EXPECT_EQ(api_->CompleteTransfer(handle_, std::move(record), &overlapped, &returned), 0);
    EXPECT_EQ(returned, 0u);
    EXPECT_EQ(DirectTransferRecord::Live(), 0);
}

TEST_F(DriverRequests, FailedSubmissionIsRememberedAndNotWaitedFor) {
    ASSERT_TRUE(Detach(id_));
    platform::Event event(platform::Event::Reset::Auto);
    platform::OVERLAPPED overlapped;
    overlapped.hEvent = &event;
    uint8_t data[64];
    auto record = api_->SubmitDirectTransfer(handle_, data, sizeof data, 0x81, &overlapped);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(api_->LastError(), 1167);
    EXPECT_EQ(platform::GetLastError(), 0u) << "the thread's last error is cleared";
    EXPECT_EQ(api_->WaitTransfer(&overlapped, 1000), 0);
}

TEST_F(DriverRequests, DetachFailsAPendingBufferedRead) {
    std::vector<uint8_t> record(38 + 64, 0);
    record[13] = 0x81;
    record[30] = 38;
    record[34] = 64;
    int result = -1;
    std::thread reader([&] {
        uint32_t returned = 0;
        result = api_->BufferedBulkTransfer(handle_, record.data(), record.size(), &returned);
    });
    while (Camera(id_)->PendingTransfers() == 0)
        std::this_thread::yield();
    ASSERT_TRUE(Detach(id_));
    reader.join();
    EXPECT_EQ(result, 0);
}

TEST_F(DriverRequests, StalledBufferedReadIsAbortedAfterThreeSeconds) {
    RequestFrame();
    ASSERT_TRUE(Camera(id_)->InjectFault(sim::SimFault::BulkStalls, 1));
    std::vector<uint8_t> record(38 + 64, 0);
    record[13] = 0x81;
    record[30] = 38;
    record[34] = 64;
    uint32_t returned = 9;
    const uint32_t start = platform::TimeGetTime();
    EXPECT_EQ(api_->BufferedBulkTransfer(handle_, record.data(), record.size(), &returned), 0);
    EXPECT_GE(platform::TimeGetTime() - start, 3000u);
    EXPECT_EQ(returned, 0u);
    EXPECT_EQ(Camera(id_)->PendingTransfers(), 0u);
    EXPECT_GE(Camera(id_)->Trace().aborts, 1u);
}

}  // namespace
}  // namespace velcor
