// Makes the camera engine of a camera object.
#pragma once

#include <functional>
#include <memory>

#include "engine/VelcorR3U2Base.h"

namespace velcor {

using CameraEngineFactory = std::function<std::unique_ptr<CVelcorR3U2Base>()>;

// The engine of this product.
std::unique_ptr<CVelcorR3U2Base> CreateCameraEngine();

// Replaces the engine that new camera objects get (an empty factory restores the default).
// For tests of the camera object that need an engine with given answers.
void SetCameraEngineFactoryForTesting(CameraEngineFactory factory);

}  // namespace velcor
