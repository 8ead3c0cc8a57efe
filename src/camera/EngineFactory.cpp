#include "camera/EngineFactory.h"

namespace velcor {

// The engine comes with the device transport and the sensor drivers; until then a camera
// object has none and every call that needs one answers error 1.
std::unique_ptr<CVelcorR3U2Base> CreateCameraEngine() { return nullptr; }

}  // namespace velcor
