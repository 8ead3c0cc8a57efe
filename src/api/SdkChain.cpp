#include "api/SdkChain.h"

#include <cstdlib>

#include "camera/Velcor.h"
#include "platform/Clock.h"
#include "platform/NoDestructor.h"

namespace velcor {

void CSdkChain::Insert(const CSDKDATA& data) {
    CTRing<CSDKDATA>::Insert(data);
}

int CSdkChain::Register(std::shared_ptr<CVelcor> camera) {
    platform::CriticalSectionLock lock(lock_);
    uint32_t handle = 0;
    do {
        handle = platform::GetTickCount() + static_cast<uint32_t>(std::rand()) +
                 static_cast<uint32_t>(count_);
    } while (handle == 0 || ContainsLocked(static_cast<int>(handle)));
    InsertLocked(CSDKDATA{static_cast<int>(handle), std::move(camera)});
    return static_cast<int>(handle);
}

std::shared_ptr<CVelcor> CSdkChain::Lookup(int handle) {
    CSDKDATA found;
    if (!Find(handle, &found)) return nullptr;
    return found.camera;
}

std::shared_ptr<CVelcor> CSdkChain::Unregister(int handle) {
    CSDKDATA removed;
    if (!Remove(handle, &removed)) return nullptr;
    return removed.camera;
}

CSdkChain& SdkChain() {
    // Camera objects an application leaves open are not torn down when the process exits:
    // their threads may still run while the other static objects go away.
    static platform::NoDestructor<CSdkChain> chain;
    return chain.get();
}

}  // namespace velcor
