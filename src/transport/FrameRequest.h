// The record in which the acquisition asks the controller for one frame.
#pragma once

#include <cstdint>
#include <cstring>

namespace velcor {

struct FrameRequest {
    uint8_t header[64];      // frame header as the device sends it
    uint16_t slot;           // copy of the header's 16-bit field at offset 32
    uint8_t* buffer;         // destination of the frame data
    uint32_t capacity;       // bytes the destination holds
    uint32_t expectedBytes;  // frame size the acquisition expects

    // The frame's byte count as the header announces it (offset 16).
    uint32_t HeaderByteCount() const {
        uint32_t count;
        std::memcpy(&count, header + 16, sizeof count);
        return count;
    }
};

}  // namespace velcor
