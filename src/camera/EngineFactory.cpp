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
    return std::make_unique<CVelcorUSB3T2SimpleSdk>();
}

void SetCameraEngineFactoryForTesting(CameraEngineFactory factory) {
    std::lock_guard lock(factoryMutex);
    TestFactory() = std::move(factory);
}

}  // namespace velcor
