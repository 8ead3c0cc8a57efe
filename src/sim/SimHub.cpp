#include "sim/SimHub.h"

#include <strings.h>

#include <algorithm>
#include <chrono>

#include "platform/DeviceNotifications.h"
#include "platform/NoDestructor.h"
#include "protocol/FpgaRegisterMap.h"
#include "protocol/UsbProtocol.h"

namespace velcor::sim {

namespace {

// Stops the frame thread when the process's static objects go, unless the process is ending
// with its threads already gone (then there is nothing to stop, and its lock may never be free).
class FrameThreadStop {
  public:
    explicit FrameThreadStop(SimHub& hub) : hub_(hub) {}
    ~FrameThreadStop() {
        if (!platform::ProcessEnding()) hub_.StopFrameThread();
    }
    FrameThreadStop(const FrameThreadStop&) = delete;
    FrameThreadStop& operator=(const FrameThreadStop&) = delete;

  private:
    SimHub& hub_;
};

}  // namespace

// The hub itself is never torn down: the cameras' objects may still be in use by threads of
// the caller's while the process exits.
SimHub& SimHub::Instance() {
    static platform::NoDestructor<SimHub> hub;
    static const FrameThreadStop stop(hub.get());
    return hub.get();
}

SimHub::SimHub() : interfaceClass_(kFx3InterfaceClass) {
    platform::RegisterDriverBackend(this);
}

SimHub::~SimHub() {
    StopFrameThread();
}

void SimHub::StopFrameThread() {
    platform::UnregisterDriverBackend(this);
    {
        std::lock_guard lock(frameMutex_);
        frameStop_ = true;
    }
    frameWake_.notify_all();
    if (frameThread_.Joinable()) frameThread_.Join();
}

int SimHub::Attach(const SimCameraConfig& config) {
    const std::string& serial = config.serialNumber;
    if (serial.empty() || serial.size() > rom::kSerialNumberLength) return 0;
    for (char c : serial) {
        if (c < 0x20 || c > 0x7E) return 0;
    }
    std::shared_ptr<SimCamera> camera;
    platform::GUID interfaceClass;
    {
        std::lock_guard lock(mutex_);
        interfaceClass = interfaceClass_;
        const std::string path =
            SimCamera::MakePath(config.vendorId, config.productId, serial, interfaceClass);
        for (const auto& other : cameras_) {
            if (strcasecmp(other->Path().c_str(), path.c_str()) == 0) return 0;
        }
        camera = std::make_shared<SimCamera>(nextId_++, config, interfaceClass);
        cameras_.push_back(camera);
    }
    platform::BroadcastDeviceInterfaceChange(interfaceClass, true);
    return camera->Id();
}

bool SimHub::Detach(int id) {
    std::shared_ptr<SimCamera> camera;
    {
        std::lock_guard lock(mutex_);
        auto found = std::find_if(cameras_.begin(), cameras_.end(),
                                  [id](const auto& c) { return c->Id() == id; });
        if (found == cameras_.end()) return false;
        camera = *found;
        cameras_.erase(found);
    }
    camera->Unplug();
    platform::BroadcastDeviceInterfaceChange(camera->InterfaceClass(), false);
    return true;
}

void SimHub::DetachAll() {
    for (const auto& camera : Cameras())
        Detach(camera->Id());
}

std::shared_ptr<SimCamera> SimHub::Find(int id) const {
    std::lock_guard lock(mutex_);
    for (const auto& camera : cameras_) {
        if (camera->Id() == id) return camera;
    }
    return nullptr;
}

std::vector<std::shared_ptr<SimCamera>> SimHub::Cameras() const {
    std::lock_guard lock(mutex_);
    return cameras_;
}

void SimHub::CopyCameras(std::vector<std::shared_ptr<SimCamera>>& out) const {
    std::lock_guard lock(mutex_);
    out.assign(cameras_.begin(), cameras_.end());
}

void SimHub::SetInterfaceClass(const platform::GUID& interfaceClass) {
    std::lock_guard lock(mutex_);
    interfaceClass_ = interfaceClass;
}

std::vector<std::shared_ptr<platform::DriverDevice>> SimHub::PresentDevices(
    const platform::GUID& interfaceClass) {
    std::vector<std::shared_ptr<platform::DriverDevice>> devices;
    for (const auto& camera : Cameras()) {
        if (camera->InterfaceClass() == interfaceClass && camera->IsPresent()) {
            devices.push_back(camera);
        }
    }
    return devices;
}

std::shared_ptr<platform::DriverDevice> SimHub::FindPresentDevice(std::string_view path) {
    // Every control request of the host opens a handle and comes here: no copy of the list.
    // Paths are unique on the hub; the camera's presence is asked outside the hub's lock.
    std::shared_ptr<SimCamera> found;
    {
        std::lock_guard lock(mutex_);
        for (const auto& camera : cameras_) {
            const std::string& own = camera->Path();
            if (own.size() == path.size() &&
                strncasecmp(own.data(), path.data(), path.size()) == 0) {
                found = camera;
                break;
            }
        }
    }
    if (found == nullptr || !found->IsPresent()) return nullptr;
    return found;
}

void SimHub::Wake() {
    {
        std::lock_guard lock(frameMutex_);
        framePoke_ = true;
        if (!frameThread_.Joinable()) {
            frameThread_.Start([this] { FrameLoop(); }, platform::ThreadPriority::Normal,
                               "velcor-sim");
        }
    }
    frameWake_.notify_all();
}

void SimHub::FrameLoop() {
    using Clock = std::chrono::steady_clock;
    constexpr Clock::time_point kNever = Clock::time_point::max();
    Clock::time_point next = kNever;
    std::vector<std::shared_ptr<SimCamera>> cameras;
    for (;;) {
        {
            std::unique_lock lock(frameMutex_);
            auto ready = [this] { return frameStop_ || framePoke_; };
            if (next != kNever) {
                frameWake_.wait_until(lock, next, ready);
            } else {
                frameWake_.wait(lock, ready);
            }
            if (frameStop_) return;
            framePoke_ = false;
        }
        next = kNever;
        const auto now = Clock::now();
        CopyCameras(cameras);
        for (const auto& camera : cameras) {
            auto deadline = camera->RunHardware(now);
            if (deadline) next = std::min(next, *deadline);
        }
        cameras.clear();  // a detached camera goes now, not at the next frame
    }
}

}  // namespace velcor::sim
