// The camera object as the analog and image dialogs see it: each change goes to the camera and
// the object's settings at once, under the settings lock, as the exported setters do.
#pragma once

#include "dialogs/DialogPorts.h"

namespace velcor {

class CVelcor;

class CameraAnalogPort final : public dialogs::AnalogPort {
  public:
    // The camera object has an engine and outlives the port.
    explicit CameraAnalogPort(CVelcor& camera) : camera_(camera) {}
    dialogs::AnalogCapabilities Capabilities() override;
    dialogs::AnalogState Read() override;
    bool Set(dialogs::AnalogSetting setting, int value) override;
    bool SetExposureSeconds(double seconds) override;
    void Restore(const dialogs::AnalogState& saved) override;

  private:
    CVelcor& camera_;
};

class CameraImagePort final : public dialogs::ImagePort {
  public:
    explicit CameraImagePort(CVelcor& camera) : camera_(camera) {}
    dialogs::ImageValues Read() override;
    void Write(const dialogs::ImageValues& values) override;
    void BalanceOnce(bool gray) override;

  private:
    CVelcor& camera_;
};

}  // namespace velcor
