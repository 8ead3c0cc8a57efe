// What a simulated camera is at power-on and the faults it can be told to produce: shared by
// its two parts, the bridge (SimBridge.h) and the camera model (SimCameraModel.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace velcor::sim {

// The camera's power-on state.
struct SimCameraConfig {
    uint16_t vendorId = 0x04B4;  // the bridge's USB vendor id
    uint16_t productId = 0x32C0;
    std::string serialNumber = "SIM0001";
    uint16_t fpgaVersion = 0x0125;
    uint16_t firmwareVersion = 0x0110;  // offset 24 of the first information block
    uint8_t startupIndicator = 9;       // FPGA register 0x13
    uint16_t frameWidth = 1280;         // FPGA registers 0x44/0x45
    uint16_t frameHeight = 1024;        // FPGA registers 0x40/0x41
    uint32_t slotSizeUnits = 0x2800;    // one frame slot in 256-byte units (2.5 MiB)
    uint32_t slotCount = 4;
    // Frame counters start a few frames before they wrap.
    uint8_t frameCounterStart = 0xFC;
    uint32_t frameNumberStart = 0xFFFFFFFC;
    // A device whose driver refuses opens (another program holds it exclusively).
    bool refuseOpen = false;
    // A simulated camera belongs to the process that attached it: it is listed in that
    // process's device table only. Set, it presents itself as a device of the whole machine
    // instead, so its entry goes to the table that processes share (where other processes see
    // the entry but cannot open the camera); for exercising that table's rules.
    bool machineWide = false;
    // Frames are finished as soon as they are requested instead of at the sensor's frame rate.
    bool fastFrames = true;
    // The ROZE9701 camera's scene is drawn from a picture made once per setting instead of
    // afresh for every frame (SimScene.h): a frame costs about a copy of its bytes.
    bool fastRender = false;
    // Start-up. The camera is up when the FPGA has configured the sensor: register 0x13 then
    // holds startupIndicator, register 0x21 holds 3 and the bridge reports ready (request
    // 0xC3). 0: up from power-on; n > 0: up after the n-th reset request (FPGA register 164
    // bit 1); < 0: never up.
    int readyAfterResets = 0;
    // The bridge answers this many ready-state requests with "not ready" before it tells the
    // truth.
    int notReadyPolls = 0;
    // Defective pixels of the sensor.
    int hotPixels = 12;
    int deadPixels = 6;
};

// Faults the camera can be told to produce; each applies to the next `count` occurrences.
enum class SimFault {
    ControlFails = 1,  // control requests fail as a stalled endpoint 0
    BulkStalls = 2,    // bulk transfers never complete until aborted
    BulkStatus = 3,    // bulk transfers complete with their data and a non-zero USB status
    I2cNack = 4,       // I2C transactions are not acknowledged
    FpgaBusy = 5,      // FPGA register 2 reads busy
    // Frames: the header transfer of each of the next `count` frames fails with a USB
    // transaction error and the frame is dropped. The controller retries a lost header 30
    // times before the engine counts one failure.
    HeaderLost = 6,
    ShortFrame = 7,         // the next `count` frames carry half the bytes their header announces
    UnplugAfterFrames = 8,  // the camera unplugs itself at the first request after `count` frames
};

// Trace lists keep the newest entries of a long run: at most 4096, which holds a camera's whole
// start-up and whatever a test asks for after it. The host sends a control request for every
// frame, so a larger list kept growing for as many frames as it holds while a camera streamed.
template <typename T>
void AppendToTrace(std::vector<T>& list, T entry) {
    constexpr size_t kLimit = 4096;
    // Its full size at once, so that a long stream of requests does not grow it step by step.
    if (list.capacity() < kLimit) list.reserve(kLimit);
    if (list.size() >= kLimit) list.erase(list.begin(), list.begin() + kLimit / 2);
    list.push_back(std::move(entry));
}

}  // namespace velcor::sim
