// Waiting for the engine's next frame in tests that drive an engine directly.
#pragma once

#include <cstdint>

#include "engine/VelcorR3U2Base.h"
#include "platform/Clock.h"

namespace velcor::test {

// A wait ends early with nothing new when the frame event still stood for a frame already
// read; the camera object's loop waits again, and so does this, for up to `milliseconds` in
// all. Answers the last result of `WaitFrame`.
inline int WaitForNewFrame(CVelcorUSB3T2SimpleSdk& engine, uint32_t milliseconds) {
    const uint32_t start = platform::TimeGetTime();
    int result = kWaitFrameNothingNew;
    while (platform::TimeGetTime() - start < milliseconds) {
        result = engine.WaitFrame(milliseconds - (platform::TimeGetTime() - start));
        if (result != kWaitFrameNothingNew) return result;
    }
    return result;
}

}  // namespace velcor::test
