// The I/O control records of the driver port, fed to the simulated camera through the same
// DeviceIoControl path the transport takes: 38-byte control transfer records (with their
// vendor requests and the I2C, register, device-information and frame requests they carry),
// buffered and direct bulk records, pipe and port controls, the device-speed request and
// unknown codes, with arbitrary contents and buffer sizes, synchronous or overlapped.
//
// Input: a sequence of operations, each an operation byte, then
//   - an I/O control: flags (1 byte), input size and output size (16 bits each), a raw code
//     (32 bits) for the codes beyond the driver's own, then the input buffer's bytes (as many
//     as the input size, as far as the input goes; the rest is 0) and, with the flag for it,
//     the output buffer's first contents;
//   - a transfer unit the camera queues on an IN endpoint: endpoint choice (1 byte), length
//     (16 bits), the unit's bytes.
// Requests that are still running when the input ends are cancelled by closing the handle.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "FuzzInput.h"
#include "SimBench.h"
#include "platform/DriverPort.h"
#include "platform/Event.h"
#include "protocol/UsbProtocol.h"

namespace {

using namespace velcor;
using fuzz::Fail;

constexpr uint32_t kCodes[] = {kIoctlControlTransfer, kIoctlBufferedBulk, kIoctlResetPipe,
                               kIoctlResetPort,       kIoctlAbortPipe,    kIoctlDirectTransfer,
                               kIoctlDeviceSpeed};
constexpr size_t kCodeCount = sizeof kCodes / sizeof kCodes[0];
constexpr uint8_t kQueueUnit = 0xFF;
constexpr uint8_t kInEndpoints[] = {usb::kEndpointFrames, usb::kEndpointFrames83};
// Operations per input: enough for a request sequence, few enough to keep an input quick.
constexpr int kMaxOperations = 16;

enum Flags : uint8_t {
    kNullInput = 1,
    kNullOutput = 2,
    // Waits for the answer as the transport's endpoint-0 requests do. Only for codes that the
    // bridge answers without waiting for data: a read that finds no data would wait for ever.
    kSynchronous = 4,
    // The output buffer starts with bytes of the input (a direct OUT transfer sends them).
    kOutputFromInput = 8,
};

// One request and the buffers it may use until it completes.
struct Request {
    std::vector<uint8_t> input;
    std::vector<uint8_t> output;
    platform::Event event{platform::Event::Reset::Manual};
    platform::OVERLAPPED overlapped;
    uint32_t outputSize = 0;
    bool started = false;
};

bool MayWait(uint32_t code) {
    return code != kIoctlBufferedBulk && code != kIoctlDirectTransfer;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::PrepareProcess();
    fuzz::FuzzInput input(data, size);
    fuzz::AttachedCamera camera;
    if (!camera) Fail();
    platform::HANDLE device = platform::CreateFile(
        camera->Path().c_str(), platform::kGenericWrite, platform::kFileShareWrite,
        platform::kOpenExisting, platform::kFileFlagOverlapped);
    if (device == platform::kInvalidHandleValue) Fail();

    std::deque<std::unique_ptr<Request>> requests;
    for (int operation = 0; operation < kMaxOperations && !input.Empty(); ++operation) {
        const uint8_t kind = input.Byte();
        if (kind == kQueueUnit) {
            const uint8_t endpoint = kInEndpoints[input.Byte() % 2];
            camera->QueueIn(endpoint, input.Bytes(input.Le16()));
            continue;
        }
        const uint8_t flags = input.Byte();
        auto request = std::make_unique<Request>();
        const uint16_t inputSize = input.Le16();
        request->outputSize = input.Le16();
        const uint32_t code =
            kind % (kCodeCount + 1) < kCodeCount ? kCodes[kind % (kCodeCount + 1)] : input.Le32();
        request->input = input.Bytes(inputSize);
        request->input.resize(inputSize);
        if ((flags & kOutputFromInput) != 0) request->output = input.Bytes(request->outputSize);
        request->output.resize(request->outputSize, 0xA5);
        request->overlapped.hEvent = &request->event;
        void* in = (flags & kNullInput) != 0 ? nullptr : request->input.data();
        void* out = (flags & kNullOutput) != 0 ? nullptr : request->output.data();
        if (out == nullptr) request->outputSize = 0;
        const bool synchronous = (flags & kSynchronous) != 0 && MayWait(code);
        uint32_t bytes = 0;
        const bool ok =
            platform::DeviceIoControl(device, code, in, inputSize, out, request->outputSize, &bytes,
                                      synchronous ? nullptr : &request->overlapped);
        if (ok && bytes > request->outputSize) Fail();  // more answered than the buffer holds
        request->started =
            synchronous ? false : ok || platform::GetLastError() == platform::kErrorIoPending;
        requests.push_back(std::move(request));
    }

    // Closing the handle ends what still runs; every overlapped request then completes.
    platform::CloseHandle(device);
    for (const auto& request : requests) {
        if (!request->started) continue;
        if (!request->event.Wait(10000)) Fail();  // a request outlived its handle
        if (request->overlapped.Internal == platform::kErrorSuccess &&
            request->overlapped.InternalHigh > request->outputSize) {
            Fail();
        }
    }
    return 0;
}
