// The camera object's pixel mask behind its mask lock. The frame conversion takes the lock
// inside the frame lock; load, save and the configuration list take it on application
// threads. Lock order: call lock, frame lock, this lock, settings lock.
#pragma once

#include "imaging/PixelMask.h"
#include "platform/CriticalSection.h"
#include "platform/ThreadAnnotations.h"

namespace velcor {

class PixelMaskStore {
  public:
    PixelMaskStore() = default;
    PixelMaskStore(const PixelMaskStore&) = delete;
    PixelMaskStore& operator=(const PixelMaskStore&) = delete;

    platform::CriticalSection& Lock() const VELCOR_RETURN_CAPABILITY(lock_) { return lock_; }
    PixelMask& Mask() VELCOR_REQUIRES(lock_) { return mask_; }
    const PixelMask& Mask() const VELCOR_REQUIRES(lock_) { return mask_; }

  private:
    mutable platform::CriticalSection lock_;
    PixelMask mask_ VELCOR_GUARDED_BY(lock_);
};

}  // namespace velcor
