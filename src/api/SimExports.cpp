// Exported control of the simulated cameras and the diagnostics beside them (VelcorSim.h).
#include <velcor/VelcorSim.h>

#include <algorithm>
#include <cstring>

#include "api/SdkChain.h"
#include "camera/Velcor.h"
#include "engine/VelcorR3U2Base.h"
#ifndef VELCOR_WITHOUT_SIMULATOR
#include "sim/SimHub.h"
#endif

extern "C" {

#ifdef VELCOR_WITHOUT_SIMULATOR

// Built without the simulated cameras: there is never one to attach, and every camera id is
// unknown.
VELCOR_API int VELCOR_CALL VelcorSim_AttachCamera(unsigned short, const char*) {
    return 0;
}
VELCOR_API VELCOR_BOOL VELCOR_CALL VelcorSim_DetachCamera(int) {
    return FALSE;
}
VELCOR_API VELCOR_BOOL VELCOR_CALL VelcorSim_InjectFault(int, int, int) {
    return FALSE;
}
VELCOR_API int VELCOR_CALL VelcorSim_GetRegister(int, int, int) {
    return -1;
}
VELCOR_API VELCOR_BOOL VELCOR_CALL VelcorSim_SetRegister(int, int, int, int) {
    return FALSE;
}
VELCOR_API VELCOR_BOOL VELCOR_CALL VelcorSim_SetScene(int, int) {
    return FALSE;
}
VELCOR_API VELCOR_BOOL VELCOR_CALL VelcorSim_FireTrigger(int) {
    return FALSE;
}
VELCOR_API VELCOR_BOOL VELCOR_CALL VelcorSim_SetDefects(int, int, int, unsigned) {
    return FALSE;
}
VELCOR_API VELCOR_BOOL VELCOR_CALL VelcorSim_SetFastFrames(int, VELCOR_BOOL) {
    return FALSE;
}
VELCOR_API VELCOR_BOOL VELCOR_CALL VelcorSim_SetFastRender(int, VELCOR_BOOL) {
    return FALSE;
}

#else

VELCOR_API int VELCOR_CALL VelcorSim_AttachCamera(unsigned short productId,
                                                  const char* serialNumber) {
    if (serialNumber == nullptr) return 0;
    try {
        velcor::sim::SimCameraConfig config;
        config.productId = productId;
        config.serialNumber = serialNumber;
        return velcor::sim::SimHub::Instance().Attach(config);
    } catch (...) {
        return 0;
    }
}

VELCOR_API VELCOR_BOOL VELCOR_CALL VelcorSim_DetachCamera(int camera) {
    try {
        return velcor::sim::SimHub::Instance().Detach(camera) ? TRUE : FALSE;
    } catch (...) {
        return FALSE;
    }
}

VELCOR_API VELCOR_BOOL VELCOR_CALL VelcorSim_InjectFault(int camera, int fault, int count) {
    if (fault < VELCORSIM_FAULT_CONTROL_FAIL || fault > VELCORSIM_FAULT_UNPLUG) return FALSE;
    auto simulated = velcor::sim::SimHub::Instance().Find(camera);
    if (simulated == nullptr) return FALSE;
    return simulated->InjectFault(static_cast<velcor::sim::SimFault>(fault), count) ? TRUE : FALSE;
}

namespace {

bool ToSpace(int space, velcor::sim::RegisterSpace* out) {
    switch (space) {
        case VELCORSIM_SPACE_FPGA:
        case VELCORSIM_SPACE_SENSOR:
        case VELCORSIM_SPACE_EEPROM:
            *out = static_cast<velcor::sim::RegisterSpace>(space);
            return true;
        default:
            return false;
    }
}

}  // namespace

VELCOR_API int VELCOR_CALL VelcorSim_GetRegister(int camera, int space, int address) {
    velcor::sim::RegisterSpace which{};
    if (!ToSpace(space, &which)) return -1;
    auto simulated = velcor::sim::SimHub::Instance().Find(camera);
    if (simulated == nullptr) return -1;
    return simulated->GetRegister(which, address).value_or(-1);
}

VELCOR_API VELCOR_BOOL VELCOR_CALL VelcorSim_SetRegister(int camera, int space, int address,
                                                         int value) {
    velcor::sim::RegisterSpace which{};
    if (!ToSpace(space, &which)) return FALSE;
    auto simulated = velcor::sim::SimHub::Instance().Find(camera);
    if (simulated == nullptr) return FALSE;
    return simulated->SetRegister(which, address, value) ? TRUE : FALSE;
}

VELCOR_API VELCOR_BOOL VELCOR_CALL VelcorSim_SetScene(int camera, int scene) {
    if (scene < VELCOR_SIM_SCENE_NATURAL || scene > VELCOR_SIM_SCENE_FLAT) return FALSE;
    auto simulated = velcor::sim::SimHub::Instance().Find(camera);
    if (simulated == nullptr) return FALSE;
    simulated->SetScene(static_cast<velcor::sim::SceneKind>(scene));
    return TRUE;
}

VELCOR_API VELCOR_BOOL VELCOR_CALL VelcorSim_FireTrigger(int camera) {
    auto simulated = velcor::sim::SimHub::Instance().Find(camera);
    if (simulated == nullptr) return FALSE;
    return simulated->FireTrigger() ? TRUE : FALSE;
}

VELCOR_API VELCOR_BOOL VELCOR_CALL VelcorSim_SetDefects(int camera, int hot, int dead,
                                                        unsigned seed) {
    auto simulated = velcor::sim::SimHub::Instance().Find(camera);
    if (simulated == nullptr) return FALSE;
    try {
        return simulated->SetDefects(hot, dead, seed) ? TRUE : FALSE;
    } catch (...) {
        return FALSE;
    }
}

VELCOR_API VELCOR_BOOL VELCOR_CALL VelcorSim_SetFastFrames(int camera, VELCOR_BOOL fast) {
    auto simulated = velcor::sim::SimHub::Instance().Find(camera);
    if (simulated == nullptr) return FALSE;
    simulated->SetFastFrames(fast != FALSE);
    return TRUE;
}

VELCOR_API VELCOR_BOOL VELCOR_CALL VelcorSim_SetFastRender(int camera, VELCOR_BOOL fast) {
    auto simulated = velcor::sim::SimHub::Instance().Find(camera);
    if (simulated == nullptr) return FALSE;
    try {
        simulated->SetFastRender(fast != FALSE);
    } catch (...) {
        return FALSE;  // no memory for the picture
    }
    return TRUE;
}

#endif  // VELCOR_WITHOUT_SIMULATOR

// The device table and the frame counters serve real cameras as well.
VELCOR_API int VELCOR_CALL VelcorSim_ListDevices(VELCORSIM_DEVICE* devices, int capacity) {
    try {
        const std::vector<velcor::DeviceListing> listing =
            velcor::CVelcorR3U2Base::ListDeviceTable();
        const int count = static_cast<int>(listing.size());
        for (int i = 0; i < count && i < capacity && devices != nullptr; ++i) {
            const velcor::DeviceListing& entry = listing[static_cast<size_t>(i)];
            VELCORSIM_DEVICE& out = devices[i];
            out.vendorId = entry.vendorId;
            out.productId = entry.productId;
            out.instance = entry.instance;
            out.present = entry.present ? 1 : 0;
            const size_t length = std::min(entry.path.size(), sizeof out.path - 1);
            std::memcpy(out.path, entry.path.data(), length);
            out.path[length] = '\0';
        }
        return count;
    } catch (...) {
        return 0;
    }
}

VELCOR_API VELCOR_BOOL VELCOR_CALL VelcorSim_GetFrameCounters(int handle,
                                                              VELCORSIM_FRAMECOUNTERS* counters) {
    if (counters == nullptr) return FALSE;
    std::shared_ptr<velcor::CVelcor> camera = velcor::SdkChain().Lookup(handle);
    if (!camera) return FALSE;
    const velcor::FrameCounters counts = camera->GetFrameCounters();
    counters->finished = counts.finished;
    counters->read = counts.read;
    counters->dropped = counts.dropped;
    return TRUE;
}

}  // extern "C"
