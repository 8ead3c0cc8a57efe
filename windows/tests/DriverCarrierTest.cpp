// The Windows driver backend against the system: the request carrier (overlapped requests, the
// completion port and its thread, byte counts, errors, cancellation) on a named pipe whose
// server end the test answers, a driver device carrying requests over a handle of its own, and
// the SetupAPI enumeration of an interface class that nothing exposes.

// The port before <windows.h>, whose CreateFile macro would rename the port's CreateFile.
#include "platform/DriverPort.h"
// clang-format off
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "transport/win32/DeviceInterfaces.h"
#include "transport/win32/IoCarrier.h"
#include "transport/win32/SystemDriverBackend.h"
#include "transport/win32/SystemDriverDevice.h"
// clang-format on

#undef CreateFile

namespace velcor::transport {
namespace {

using platform::IoRequest;

// Sends the input as one message and reads the answer as one, on a message-mode pipe.
constexpr uint32_t kPipeTransceive = 0x11C017;
// Buffers handed to the system untouched, as the bulk reads do.
constexpr uint32_t kDirectCode = platform::CtlCode(0x22, 0x800, platform::kMethodNeither);

struct Outcome {
    bool complete = false;
    uint32_t error = 0;
    uint32_t bytes = 0;
};

// Waits up to two seconds for the request to complete.
Outcome WaitFor(const IoRequest& request) {
    Outcome outcome;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (!(outcome.complete = request.Result(&outcome.error, &outcome.bytes)) &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return outcome;
}

class RecordingObserver final : public IoCarrier::Observer {
  public:
    void Finished(uint32_t error) override {
        last.store(error);
        ++count;
    }
    std::atomic<uint32_t> last{0};
    std::atomic<int> count{0};
};

// A message-mode pipe: the test holds the server end, the carrier works on the client end.
class PipeCarrier : public ::testing::Test {
  protected:
    void SetUp() override {
        static int serial = 0;
        name_ = "\\\\.\\pipe\\velcor-carrier-" + std::to_string(::GetCurrentProcessId()) + "-" +
                std::to_string(++serial);
        server_ = ::CreateNamedPipeA(name_.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                     PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1, 4096,
                                     4096, 0, nullptr);
        ASSERT_NE(server_, INVALID_HANDLE_VALUE);
        client_ = ::CreateFileA(name_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
        ASSERT_NE(client_, INVALID_HANDLE_VALUE);
        DWORD mode = PIPE_READMODE_MESSAGE;
        ASSERT_TRUE(::SetNamedPipeHandleState(client_, &mode, nullptr, nullptr));
        ASSERT_TRUE(carrier_.Started());
        ASSERT_EQ(carrier_.Attach(client_), 0u);
    }
    void TearDown() override {
        if (client_ != INVALID_HANDLE_VALUE) {
            carrier_.Release(client_);
            ::CloseHandle(client_);
        }
        if (server_ != INVALID_HANDLE_VALUE) ::CloseHandle(server_);
    }

    // The server end's own blocking calls, through an event of their own.
    std::string ServerRead() {
        char buffer[256];
        DWORD bytes = 0;
        if (!Server(
                [&](OVERLAPPED* o) {
                    return ::ReadFile(server_, buffer, sizeof buffer, nullptr, o);
                },
                &bytes)) {
            return "<failed>";
        }
        return std::string(buffer, bytes);
    }
    bool ServerWrite(const std::string& message) {
        DWORD bytes = 0;
        return Server(
                   [&](OVERLAPPED* o) {
                       return ::WriteFile(server_, message.data(),
                                          static_cast<DWORD>(message.size()), nullptr, o);
                   },
                   &bytes) &&
               bytes == message.size();
    }
    template <typename Call>
    bool Server(Call call, DWORD* bytes) {
        OVERLAPPED overlapped{};
        overlapped.hEvent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
        BOOL ok = call(&overlapped);
        if (!ok && ::GetLastError() == ERROR_IO_PENDING) ok = TRUE;
        ok = ok && ::GetOverlappedResult(server_, &overlapped, bytes, TRUE);
        ::CloseHandle(overlapped.hEvent);
        return ok != FALSE;
    }

    static std::shared_ptr<IoRequest> Request(uint32_t code, void* input, uint32_t inputSize,
                                              void* output, uint32_t outputSize) {
        return std::make_shared<IoRequest>(1, code, input, inputSize, output, outputSize);
    }

    std::string name_;
    HANDLE server_ = INVALID_HANDLE_VALUE;
    HANDLE client_ = INVALID_HANDLE_VALUE;
    IoCarrier carrier_;
    RecordingObserver observer_;
};

TEST_F(PipeCarrier, ReadsAndWritesCompleteWithTheirByteCounts) {
    char out[] = "frame header";
    auto write = Request(kDirectCode, out, 12, nullptr, 0);
    EXPECT_EQ(carrier_.Submit(client_, IoCarrier::Operation::Write, write, &observer_), 0u);
    Outcome wrote = WaitFor(*write);
    ASSERT_TRUE(wrote.complete);
    EXPECT_EQ(wrote.error, 0u);
    EXPECT_EQ(wrote.bytes, 12u);
    EXPECT_EQ(ServerRead(), "frame header");

    // A read waits for its data: it stays under way until the other end writes.
    char in[64] = {};
    auto read = Request(kDirectCode, nullptr, 0, in, sizeof in);
    EXPECT_EQ(carrier_.Submit(client_, IoCarrier::Operation::Read, read, &observer_), 0u);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(read->IsComplete());
    EXPECT_EQ(carrier_.Pending(), 1u);
    ASSERT_TRUE(ServerWrite("0123456"));
    Outcome got = WaitFor(*read);
    ASSERT_TRUE(got.complete);
    EXPECT_EQ(got.error, 0u);
    EXPECT_EQ(got.bytes, 7u);
    EXPECT_EQ(std::string(in, 7), "0123456");
    EXPECT_EQ(observer_.count.load(), 2);
    EXPECT_EQ(carrier_.Pending(), 0u);
}

TEST_F(PipeCarrier, ControlRequestCarriesInputAndOutputThroughDeviceIoControl) {
    char command[] = "AU3R";
    char answer[64] = {};
    auto request = Request(kPipeTransceive, command, 4, answer, sizeof answer);
    EXPECT_EQ(carrier_.Submit(client_, IoCarrier::Operation::Control, request, &observer_), 0u);
    // The request runs until the server has answered it.
    EXPECT_EQ(ServerRead(), "AU3R");
    EXPECT_FALSE(request->IsComplete());
    ASSERT_TRUE(ServerWrite("piece of 16 MiB"));
    Outcome outcome = WaitFor(*request);
    ASSERT_TRUE(outcome.complete);
    EXPECT_EQ(outcome.error, 0u);
    EXPECT_EQ(outcome.bytes, 15u);
    EXPECT_EQ(std::string(answer, 15), "piece of 16 MiB");
}

TEST_F(PipeCarrier, ErrorsReachTheRequestAndTheObserver) {
    // A message longer than the buffer: the part that fit, and the warning.
    char small[4] = {};
    auto partial = Request(kDirectCode, nullptr, 0, small, sizeof small);
    ASSERT_TRUE(ServerWrite("longer than four"));
    carrier_.Submit(client_, IoCarrier::Operation::Read, partial, &observer_);
    Outcome cut = WaitFor(*partial);
    ASSERT_TRUE(cut.complete);
    EXPECT_EQ(cut.error, static_cast<uint32_t>(ERROR_MORE_DATA));
    EXPECT_EQ(observer_.last.load(), static_cast<uint32_t>(ERROR_MORE_DATA));
    EXPECT_EQ(std::string(small, 4), "long");
    // The rest of the message is still there for the next read.
    char rest[64] = {};
    auto next = Request(kDirectCode, nullptr, 0, rest, sizeof rest);
    carrier_.Submit(client_, IoCarrier::Operation::Read, next, &observer_);
    Outcome second = WaitFor(*next);
    ASSERT_TRUE(second.complete);
    EXPECT_EQ(second.error, 0u);
    EXPECT_EQ(std::string(rest, second.bytes), "er than four");

    // The other end goes away while a read waits.
    char in[16];
    auto read = Request(kDirectCode, nullptr, 0, in, sizeof in);
    carrier_.Submit(client_, IoCarrier::Operation::Read, read, &observer_);
    ::DisconnectNamedPipe(server_);
    Outcome broken = WaitFor(*read);
    ASSERT_TRUE(broken.complete);
    EXPECT_NE(broken.error, 0u);
    EXPECT_EQ(observer_.last.load(), broken.error);

    // Refused at once: the error comes back from Submit and the request is complete already.
    auto refused = Request(kDirectCode, nullptr, 0, in, sizeof in);
    const uint32_t error =
        carrier_.Submit(client_, IoCarrier::Operation::Read, refused, &observer_);
    EXPECT_NE(error, 0u);
    Outcome now = WaitFor(*refused);
    EXPECT_TRUE(now.complete);
    EXPECT_EQ(now.error, error);
    EXPECT_EQ(carrier_.Pending(), 0u);
}

TEST_F(PipeCarrier, HandleThatWasNeverAttachedIsRefused) {
    char in[8];
    auto request = Request(kDirectCode, nullptr, 0, in, sizeof in);
    EXPECT_EQ(carrier_.Submit(server_, IoCarrier::Operation::Read, request, &observer_),
              static_cast<uint32_t>(ERROR_INVALID_HANDLE));
    EXPECT_TRUE(request->IsComplete());
    EXPECT_EQ(observer_.last.load(), static_cast<uint32_t>(ERROR_INVALID_HANDLE));
}

TEST_F(PipeCarrier, ReleaseCancelsPendingRequestsAndReturnsOnlyOnceTheyCompleted) {
    char first[16];
    char second[16];
    auto a = Request(kDirectCode, nullptr, 0, first, sizeof first);
    auto b = Request(kDirectCode, nullptr, 0, second, sizeof second);
    carrier_.Submit(client_, IoCarrier::Operation::Read, a, &observer_);
    carrier_.Submit(client_, IoCarrier::Operation::Read, b, &observer_);
    EXPECT_EQ(carrier_.Pending(), 2u);

    carrier_.Release(client_);
    // Nothing is left for the system to write into once Release has returned.
    uint32_t error = 0;
    uint32_t bytes = 0;
    ASSERT_TRUE(a->Result(&error, &bytes));
    EXPECT_EQ(error, static_cast<uint32_t>(ERROR_OPERATION_ABORTED));
    ASSERT_TRUE(b->Result(&error, &bytes));
    EXPECT_EQ(error, static_cast<uint32_t>(ERROR_OPERATION_ABORTED));
    EXPECT_EQ(carrier_.Pending(), 0u);

    // A released handle takes no more requests.
    auto late = Request(kDirectCode, nullptr, 0, first, sizeof first);
    EXPECT_EQ(carrier_.Submit(client_, IoCarrier::Operation::Read, late, nullptr),
              static_cast<uint32_t>(ERROR_INVALID_HANDLE));
}

TEST_F(PipeCarrier, CarrierHoldsARequestOnlyWhileTheSystemHasIt) {
    char in[16];
    std::weak_ptr<IoRequest> watched;
    {
        auto request = Request(kDirectCode, nullptr, 0, in, sizeof in);
        watched = request;
        carrier_.Submit(client_, IoCarrier::Operation::Read, request, &observer_);
    }
    // The caller let go; the carrier keeps the request as long as its OVERLAPPED is out.
    EXPECT_FALSE(watched.expired());
    ASSERT_TRUE(ServerWrite("x"));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (!watched.expired() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_TRUE(watched.expired());
}

TEST_F(PipeCarrier, SteadyTrafficReusesItsOverlappedSlots) {
    char out[] = "AU3W";
    char in[16];
    for (int i = 0; i < 50; ++i) {
        auto read = Request(kDirectCode, nullptr, 0, in, sizeof in);
        carrier_.Submit(client_, IoCarrier::Operation::Read, read, nullptr);
        auto write = Request(kDirectCode, out, 4, nullptr, 0);
        carrier_.Submit(client_, IoCarrier::Operation::Write, write, nullptr);
        ASSERT_EQ(ServerRead(), "AU3W");
        ASSERT_TRUE(ServerWrite("ok"));
        ASSERT_TRUE(WaitFor(*read).complete);
        ASSERT_TRUE(WaitFor(*write).complete);
    }
    EXPECT_LE(carrier_.SlotCount(), 2u);
}

// A driver device over a handle of its own: the pipe stands in for the bridge's device.
class PipeDevice : public ::testing::Test {
  protected:
    void SetUp() override {
        name_ = "\\\\.\\pipe\\velcor-device-" + std::to_string(::GetCurrentProcessId());
        server_ = ::CreateNamedPipeA(name_.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_WAIT,
                                     1, 4096, 4096, 0, nullptr);
        ASSERT_NE(server_, INVALID_HANDLE_VALUE);
        ASSERT_TRUE(carrier_.Started());
    }
    void TearDown() override { ::CloseHandle(server_); }

    std::string name_;
    HANDLE server_ = INVALID_HANDLE_VALUE;
    IoCarrier carrier_;
};

TEST_F(PipeDevice, OpenCarryAndCloseThroughItsOwnHandle) {
    auto device = std::make_shared<SystemDriverDevice>(name_, carrier_);
    EXPECT_EQ(device->Path(), name_);
    ASSERT_EQ(device->Open(0x1000), 0u);

    // A request the object does not know fails at once, and the device stays present.
    uint8_t record[38] = {};
    auto unknown =
        std::make_shared<IoRequest>(0x1000, kDirectCode, record, sizeof record, nullptr, 0);
    device->StartIo(unknown);
    Outcome refused = WaitFor(*unknown);
    ASSERT_TRUE(refused.complete);
    EXPECT_NE(refused.error, 0u);
    EXPECT_TRUE(device->IsPresent());

    // A handle the device never opened.
    auto stray =
        std::make_shared<IoRequest>(0x2000, kDirectCode, record, sizeof record, nullptr, 0);
    device->StartIo(stray);
    EXPECT_EQ(WaitFor(*stray).error, static_cast<uint32_t>(ERROR_INVALID_HANDLE));

    // Closing the port handle closes the system's: the server end sees its client go.
    device->CancelIo(0x1000);
    char byte;
    DWORD bytes = 0;
    EXPECT_FALSE(::ReadFile(server_, &byte, 1, &bytes, nullptr));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_BROKEN_PIPE));
    auto after =
        std::make_shared<IoRequest>(0x1000, kDirectCode, record, sizeof record, nullptr, 0);
    device->StartIo(after);
    EXPECT_EQ(WaitFor(*after).error, static_cast<uint32_t>(ERROR_INVALID_HANDLE));
}

TEST_F(PipeDevice, DeviceThatCannotBeFoundCountsAsUnplugged) {
    auto device = std::make_shared<SystemDriverDevice>(
        "\\\\?\\usb#vid_04b4&pid_3020#5&0&0&1#{328184c5-93e6-49b7-94b8-2ada13aabb39}", carrier_);
    const uint32_t error = device->Open(0x1000);
    EXPECT_NE(error, 0u);
    EXPECT_EQ(error, static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(device->IsPresent());
    EXPECT_TRUE(SystemDriverDevice::IsUnplugError(ERROR_DEVICE_NOT_CONNECTED));
    EXPECT_FALSE(SystemDriverDevice::IsUnplugError(ERROR_OPERATION_ABORTED));
}

// An interface class no device exposes.
constexpr platform::GUID kNobodysClass = {
    0x5e1c0a11, 0x7d3b, 0x4c2e, {0x9a, 0x41, 0x0b, 0x6f, 0x2d, 0x83, 0x15, 0xc7}};

TEST(DeviceInterfaceEnumeration, ClassNobodyExposesGivesAnEmptySet) {
    EXPECT_TRUE(PresentDeviceInterfaces(kNobodysClass).empty());
    EXPECT_FALSE(DeviceInterfaceActive(
        "\\\\?\\usb#vid_04b4&pid_3020#none#{5e1c0a11-7d3b-4c2e-9a41-0b6f2d8315c7}"));

    // Through the driver port, beside whatever else is registered.
    SystemDriverBackend backend;
    platform::RegisterDriverBackend(&backend);
    const platform::DeviceInterfaceSet set(kNobodysClass);
    EXPECT_FALSE(set.EnumInterface(0));
    EXPECT_EQ(platform::GetLastError(), platform::kErrorNoMoreItems);
    EXPECT_EQ(platform::CreateFile(
                  "\\\\?\\usb#vid_04b4&pid_3020#none#{5e1c0a11-7d3b-4c2e-9a41-0b6f2d8315c7}",
                  platform::kGenericRead | platform::kGenericWrite,
                  platform::kFileShareRead | platform::kFileShareWrite, platform::kOpenExisting,
                  platform::kFileFlagOverlapped),
              platform::kInvalidHandleValue);
    EXPECT_EQ(platform::GetLastError(), platform::kErrorFileNotFound);
    platform::UnregisterDriverBackend(&backend);
}

}  // namespace
}  // namespace velcor::transport
