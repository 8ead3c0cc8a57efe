// What the simulator-backed fuzz targets share: a device table of the process's own, so no
// other process's cameras or table enter the run, and the simulated camera they talk to.
#pragma once

#include <unistd.h>

#include <memory>
#include <string>

#include "platform/Clock.h"
#include "sim/SimHub.h"
#include "transport/Fx3Api.h"

namespace velcor::fuzz {

// Frames the simulated camera makes on its own are this small, so making one costs little.
inline constexpr uint16_t kSimFrameWidth = 32;
inline constexpr uint16_t kSimFrameHeight = 16;

// Set up once per process: a private device table, and virtual time, so the transport's
// waits between retries pass at once.
inline void PrepareProcess() {
    static const bool prepared = [] {
        CFx3Api::SetTableNameForTesting("R3U2-MemMap-fuzz-" + std::to_string(::getpid()));
        return true;
    }();
    static platform::VirtualTimeScope virtualTime;
    (void)prepared;
}

// A simulated camera, detached when it goes; attached for one input, it gives every input a
// camera fresh from power-on, always at the same device path.
class AttachedCamera {
  public:
    AttachedCamera() {
        sim::SimCameraConfig config;
        config.serialNumber = "FUZZ0001";
        config.frameWidth = kSimFrameWidth;
        config.frameHeight = kSimFrameHeight;
        id_ = sim::SimHub::Instance().Attach(config);
        camera_ = sim::SimHub::Instance().Find(id_);
    }
    ~AttachedCamera() {
        camera_.reset();
        if (id_ > 0) sim::SimHub::Instance().Detach(id_);
    }
    AttachedCamera(const AttachedCamera&) = delete;
    AttachedCamera& operator=(const AttachedCamera&) = delete;

    sim::SimCamera* operator->() const { return camera_.get(); }
    explicit operator bool() const { return camera_ != nullptr; }

  private:
    int id_ = 0;
    std::shared_ptr<sim::SimCamera> camera_;
};

}  // namespace velcor::fuzz
