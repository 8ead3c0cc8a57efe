// The process-wide handle registry: records of {handle, camera object}.
//
// A lookup hands out shared ownership of the camera object, so Velcor_Release on one thread
// cannot free an object that another thread is still inside; the object goes when the last
// caller leaves it.
#pragma once

#include <memory>

#include "api/TRing.h"

namespace velcor {

class CVelcor;

struct CSDKDATA {
    int handle = 0;
    std::shared_ptr<CVelcor> camera;
};

class CSdkChain : public CTRing<CSDKDATA> {
  public:
    void Insert(const CSDKDATA& data) override;

    // Makes a handle for the camera object and registers it. The handle is the millisecond
    // tick plus a pseudo-random number plus the record count; a sum that is 0 or equal to a
    // live handle is drawn again.
    int Register(std::shared_ptr<CVelcor> camera);
    // The camera object of handle, or null when the handle is unknown.
    std::shared_ptr<CVelcor> Lookup(int handle);
    // Removes the record and hands back its camera object; null when the handle is unknown.
    std::shared_ptr<CVelcor> Unregister(int handle);
};

// The registry of this process.
CSdkChain& SdkChain();

}  // namespace velcor
