#include "sim/SimCamera.h"

#include <cctype>
#include <cstdio>

#include "sim/SimHub.h"

namespace velcor::sim {
namespace {

// The hub's frame thread is the camera's hardware: both parts call for it when they have work
// for it.
void WakeHardware() {
    SimHub::Instance().Wake();
}

}  // namespace

std::string SimCamera::MakePath(uint16_t vendorId, uint16_t productId, const std::string& serial,
                                const platform::GUID& interfaceClass) {
    std::string instance;
    for (char c : serial) {
        instance += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    }
    char prefix[40];
    std::snprintf(prefix, sizeof prefix, "\\\\?\\usb#vid_%04x&pid_%04x#", vendorId, productId);
    return prefix + instance + "#" + platform::GuidToString(interfaceClass);
}

SimCamera::SimCamera(int id, const SimCameraConfig& config, const platform::GUID& interfaceClass)
    : id_(id),
      config_(config),
      interfaceClass_(interfaceClass),
      path_(MakePath(config.vendorId, config.productId, config.serialNumber, interfaceClass)),
      model_(config, buffers_, WakeHardware),
      bridge_(config, model_, buffers_, WakeHardware) {}

SimCamera::~SimCamera() = default;

void SimCamera::StartIo(const std::shared_ptr<platform::IoRequest>& request) {
    bridge_.StartIo(request);
    // The camera pulled its own cable: it leaves the device list as a pulled cable does; a
    // camera the hub does not know only goes dark.
    if (bridge_.TakeUnplugRequest() && !SimHub::Instance().Detach(id_)) bridge_.Unplug();
}

bool SimCamera::InjectFault(SimFault fault, int count) {
    if (count < 0) return false;
    if (fault == SimFault::FpgaBusy) {
        model_.SetFpgaBusyReads(count);
        return true;
    }
    return bridge_.InjectFault(fault, count);
}

SimTrace SimCamera::Trace() const {
    SimTrace trace;
    static_cast<SimBridgeTrace&>(trace) = bridge_.Trace();
    static_cast<SimModelTrace&>(trace) = model_.Trace();
    return trace;
}

void SimCamera::ClearTrace() {
    bridge_.ClearTrace();
    model_.ClearTrace();
}

}  // namespace velcor::sim
