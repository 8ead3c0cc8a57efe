// The simulated cameras of this process: attaching one makes its device interface appear
// behind the driver port (and posts the arrival to registered notification windows);
// detaching unplugs it. The cameras are devices of this process alone.
//
// The hub's frame thread is the cameras' own hardware: it finishes the frames they make on
// their own time and on request, and ends reads whose time-out passed. It runs at normal
// priority, whatever the thread that first needed it runs at.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string_view>
#include <vector>

#include "platform/DriverPort.h"
#include "platform/NoDestructor.h"
#include "platform/Thread.h"
#include "sim/SimCamera.h"

namespace velcor::sim {

class SimHub : public platform::DriverBackend {
  public:
    static SimHub& Instance();

    // A camera id > 0, or 0 when the serial number is empty, longer than 32 bytes or holds
    // other than printable ASCII, or when an attached camera has the same device path.
    int Attach(const SimCameraConfig& config);
    // Unplugs and forgets the camera; false for an unknown id.
    bool Detach(int id);
    void DetachAll();
    std::shared_ptr<SimCamera> Find(int id) const;
    std::vector<std::shared_ptr<SimCamera>> Cameras() const;
    // The same into `out`, whose storage is reused: the frame thread looks every frame.
    void CopyCameras(std::vector<std::shared_ptr<SimCamera>>& out) const;
    // The interface class the cameras expose; tests may move new cameras to another one.
    void SetInterfaceClass(const platform::GUID& interfaceClass);

    // A camera has work for the frame thread: a frame to make or a read with a time-out.
    void Wake();

    // DriverBackend
    std::vector<std::shared_ptr<platform::DriverDevice>> PresentDevices(
        const platform::GUID& interfaceClass) override;
    std::shared_ptr<platform::DriverDevice> FindPresentDevice(std::string_view path) override;

    // Ends the frame thread and takes the cameras off the driver port; at the end of the
    // process only.
    void StopFrameThread();

  private:
    friend class platform::NoDestructor<SimHub>;
    SimHub();
    ~SimHub() override;
    void FrameLoop();

    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<SimCamera>> cameras_;  // in attach order
    int nextId_ = 1;
    platform::GUID interfaceClass_;

    std::mutex frameMutex_;
    std::condition_variable frameWake_;
    bool frameStop_ = false;
    bool framePoke_ = false;
    platform::Thread frameThread_;
};

}  // namespace velcor::sim
