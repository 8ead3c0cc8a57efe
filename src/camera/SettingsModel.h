// The camera object's settings model: every value the frame conversion and the worker thread
// read (filter values, the analog values mirrored from the engine, the colour mode and the
// preview loop's wait time), behind one lock.
//
// Threads: application threads change the values under the lock; the worker thread takes one
// copy per frame and writes back, under the same lock, what automatic exposure and the
// automatic balances changed. A value the engine holds too is changed in the engine and here
// while the lock is held, so a reader on another thread sees both before or both after. Lock
// order: call lock, frame lock, mask lock, this lock, then the engine's own.
#pragma once

#include "engine/VelcorR3U2Base.h"
#include "imaging/FilterValues.h"
#include "platform/CriticalSection.h"
#include "platform/ThreadAnnotations.h"

namespace velcor {

// Bits per pixel of the colour modes, by colour-mode index.
inline constexpr int kColourModeBits[6] = {8, 16, 24, 32, 48, 64};

// Analog values mirrored from the engine.
struct AnalogValues {
    int globalGain = 0;
    int colourGainGreen1 = 0, colourGainRed = 0, colourGainBlue = 0, colourGainGreen2 = 0;
    int exposure = 0;  // engine units: 100 us for this camera's sensor
    int mirrorV = 0, mirrorH = 0;
    int autoExposureMode = 0;  // 0 off, 1 exposure, 2 gain
    int blackLevel = 0;
    int cooler = 0;
    int shortExposureMode = 0;
    int gainMode = 0;
    double exposureSeconds = 0.0;
    int realExposure = 0;
};

struct Settings {
    FilterValues filters;
    AnalogValues analog;
    int colourModeIndex = 0;  // into kColourModeBits; a running capture keeps its own
    int waitTimeMs = 10;      // the preview loop's pause before each frame wait
};

// Gives the engine the analog gains (global, then green 1, red, blue, green 2) and the exposure
// (in seconds where the camera takes seconds), as opening a camera and starting a capture both
// do at their place in their sequences.
void ApplyGainsAndExposure(CVelcorR3U2Base& engine, const AnalogValues& analog);

class SettingsModel {
  public:
    SettingsModel() = default;
    SettingsModel(const SettingsModel&) = delete;
    SettingsModel& operator=(const SettingsModel&) = delete;

    // The lock to hold while reading or changing Values().
    platform::CriticalSection& Lock() const VELCOR_RETURN_CAPABILITY(lock_) { return lock_; }
    Settings& Values() VELCOR_REQUIRES(lock_) { return settings_; }
    const Settings& Values() const VELCOR_REQUIRES(lock_) { return settings_; }

    // One consistent copy of all values (the worker's copy for a frame).
    Settings Copy() const VELCOR_EXCLUDES(lock_);

    // Keeps what a conversion's automatic balances left in the filter values: each Bayer
    // gain, gray gain and the automatic gray-balance request that differs between `before`
    // (the copy the conversion started from) and `after` is stored. Values the conversion did
    // not change are left alone, so one an application set meanwhile stays.
    void KeepBalances(const FilterValues& before, const FilterValues& after) VELCOR_EXCLUDES(lock_);

  private:
    mutable platform::CriticalSection lock_;
    Settings settings_ VELCOR_GUARDED_BY(lock_);
};

}  // namespace velcor
