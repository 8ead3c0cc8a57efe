// Makes the camera engine of a camera object.
#pragma once

#include <memory>

#include "engine/VelcorR3U2Base.h"

namespace velcor {

// The engine of this product; null while the library is built without one.
std::unique_ptr<CVelcorR3U2Base> CreateCameraEngine();

}  // namespace velcor
