// One camera of a product of the family, opened through the camera engine alone, and the
// simulated cameras of that product it may be given. The simulated cameras belong to this
// view's own simulator: the C API's simulator in the shared library never sees them.
//
// Frames come from the engine's ring as the acquisition thread finishes them; ReadFrame turns
// the engine's packed rows into an image of the window in force, top row first.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/VelcorR3U2Base.h"
#include "imaging/DibImage.h"

namespace velcor::tool {

class ProductCamera {
  public:
    explicit ProductCamera(int productId);
    ~ProductCamera();
    ProductCamera(const ProductCamera&) = delete;
    ProductCamera& operator=(const ProductCamera&) = delete;

    // Attaches `count` simulated cameras of the product, serial numbers SIM0001, SIM0002, ...
    // False, with the reason printed, when one cannot be attached.
    bool AttachSimulated(int count);
    // Opens camera `device` of the product and starts it up. False, with the reason printed.
    bool Open(int device);

    CVelcorR3U2Base& Engine() { return *engine_; }
    int ProductId() const { return productId_; }
    // The driver class the engine drives the camera with.
    const char* SensorClassName() const;

    // The pixel depth of the frames (8 or 16); false, with the reason printed, when the
    // product does not deliver it.
    bool SelectDepth(int bits);
    // The depth the product delivers by default: 8 bits where it offers them.
    int DefaultDepth();

    // Continuous frames into the engine's ring. False, with the reason printed.
    bool StartStreaming();
    void StopStreaming();

    enum class Wait { kNewFrame, kNothingNew, kLost };
    // Waits up to `milliseconds` for a frame newer than the last one read.
    Wait WaitNewFrame(uint32_t milliseconds);
    // Copies the newest frame into `raw` (made to the window in force at the selected depth).
    // False when the engine had no frame to give.
    bool ReadFrame(DibImage& raw);
    // The engine's wait for one frame: its frame time-out and a second for the transfer.
    uint32_t FrameWaitMs() const { return engine_->FrameTimeout() + 1000; }

  private:
    int productId_;
    int bits_ = 8;
    std::vector<int> simulated_;  // ids of the simulated cameras attached here
    std::unique_ptr<CVelcorUSB3T2SimpleSdk> engine_;
    std::vector<uint8_t> frame_;  // one frame as the engine copies it, planes and all
};

}  // namespace velcor::tool
