// The frame header and data the transport reads from the camera on endpoint 0x81, through the
// simulated bridge: the camera's IN endpoint holds a header transfer of the input's length and
// contents and a data transfer, and the controller reads a frame as the acquisition does
// (ReadFrameHeader, then ReadFrameData into a buffer of the input's capacity).
//
// Input: header length (1 byte, 0..128), buffer capacity (16 bits), the header transfer's
// bytes, then the data transfer's bytes. A header transfer of other than 64 bytes is a lost
// header: the controller resynchronises and takes the camera's own next frame.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "FuzzInput.h"
#include "SimBench.h"
#include "protocol/UsbProtocol.h"
#include "transport/DevIz3Cam.h"
#include "transport/FrameRequest.h"

namespace {

using namespace velcor;
using fuzz::Fail;

constexpr size_t kMaxHeaderTransfer = 2 * usb::kFrameHeaderSize;
constexpr uint32_t kDataTimeoutMs = 1000;

uint16_t Get16(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// One camera and its controller for the run: attaching a camera costs more than a frame, and
// nothing of an input reaches the camera's state beyond the frame counters. Each input starts
// with the camera's frame endpoints emptied.
struct Bench {
    fuzz::AttachedCamera camera;
    CDevIz3Cam controller;

    Bench() {
        if (!camera || controller.EnumerateDevices() < 1 || !controller.SelectDevice(0) ||
            !controller.Prepare()) {
            Fail();
        }
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::PrepareProcess();
    static Bench bench;
    CDevIz3Cam* controller = &bench.controller;
    fuzz::AttachedCamera& camera = bench.camera;
    if (!controller->ResetEndpoints()) Fail();
    fuzz::FuzzInput input(data, size);
    const size_t headerLength = input.Byte() % (kMaxHeaderTransfer + 1);
    const uint32_t capacity = input.Le16();
    const std::vector<uint8_t> header = input.Bytes(headerLength);
    const std::vector<uint8_t> frameData = input.Rest();

    camera->QueueIn(usb::kEndpointFrames, header);
    camera->QueueIn(usb::kEndpointFrames, frameData);

    std::vector<uint8_t> buffer(capacity);
    FrameRequest request{};
    request.buffer = buffer.empty() ? nullptr : buffer.data();
    request.capacity = capacity;
    request.expectedBytes = capacity;
    if (controller->ReadFrameHeader(&request)) {
        if (request.slot != Get16(request.header + usb::kFrameHeaderSlot)) Fail();
        if (header.size() >= usb::kFrameHeaderSize &&
            std::memcmp(request.header, header.data(), usb::kFrameHeaderSize) != 0) {
            Fail();  // a whole header transfer is the one taken
        }
        if (controller->ReadFrameData(&request, kDataTimeoutMs) &&
            request.HeaderByteCount() > capacity) {
            Fail();  // more data accepted than the buffer holds
        }
    }
    controller->CloseStream();
    return 0;
}
