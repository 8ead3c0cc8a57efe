#include "transport/SystemDriver.h"

namespace velcor::transport {

bool StartSystemDriver() {
    return false;
}

}  // namespace velcor::transport
