// A 128-bit interface class identifier with the layout of a Win32 GUID.
#pragma once

#include <cstdint>

namespace velcor::platform {

struct Guid {
    uint32_t data1;
    uint16_t data2;
    uint16_t data3;
    uint8_t data4[8];

    friend bool operator==(const Guid&, const Guid&) = default;
};

}  // namespace velcor::platform
