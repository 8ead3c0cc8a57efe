#include "camera/EngineFactory.h"

#include <mutex>

namespace velcor {
namespace {

std::mutex factoryMutex;
CameraEngineFactory& TestFactory() {
    static CameraEngineFactory factory;
    return factory;
}

}  // namespace

std::unique_ptr<CVelcorR3U2Base> CreateCameraEngine() {
    {
        std::lock_guard lock(factoryMutex);
        if (TestFactory()) return TestFactory()();
    }
    // The engine comes with the device transport and the sensor drivers; until then a camera
    // object has none and every call that needs one answers error 1.
    return nullptr;
}

void SetCameraEngineFactoryForTesting(CameraEngineFactory factory) {
    std::lock_guard lock(factoryMutex);
    TestFactory() = std::move(factory);
}

}  // namespace velcor
