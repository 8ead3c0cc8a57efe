#include "transport/SystemDriver.h"

#include <cstdlib>
#include <cstring>

#include "platform/NoDestructor.h"
#include "transport/win32/SystemDriverBackend.h"

namespace velcor::transport {

bool StartSystemDriver() {
    static const bool started = [] {
        const char* setting = std::getenv("VELCOR_DRIVER");
        if (setting != nullptr && std::strcmp(setting, "0") == 0) return false;
        // Never destroyed: handles may still be open while the process exits.
        static platform::NoDestructor<SystemDriverBackend> backend;
        platform::RegisterDriverBackend(&backend.get());
        return true;
    }();
    return started;
}

}  // namespace velcor::transport
