// Windows has no emulated USB bus: the camera fixture's cameras always sit on the simulator's
// hub there, and a run that asks for the bus skips.
#include "support/UsbTestbed.h"

namespace velcor::testing {

struct UsbTestbed::Impl {};

bool UsbTestbed::Available() { return false; }

UsbTestbed& UsbTestbed::Shared() {
    static UsbTestbed testbed;
    return testbed;
}

UsbTestbed::UsbTestbed() = default;
UsbTestbed::~UsbTestbed() = default;

std::shared_ptr<sim::SimCamera> UsbTestbed::Plug(const sim::SimCameraConfig&, int) {
    return nullptr;
}

void UsbTestbed::Unplug(int) {}

void UsbTestbed::UnplugAll() {}

}  // namespace velcor::testing
