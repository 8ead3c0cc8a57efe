// The configuration file's bytes into integer pairs: one pair per whole 8-byte group, each
// half a little-endian 32-bit integer; the tail is ignored.
#include <cstddef>
#include <cstdint>

#include "FuzzInput.h"
#include "camera/ConfigFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using velcor::fuzz::Fail;
    const velcor::ConfigurationPairs pairs = velcor::ParseConfigurationPairs(data, size);
    if (pairs.size() != size / 8) Fail();
    for (size_t i = 0; i < pairs.size(); ++i) {
        const uint8_t* group = data + i * 8;
        uint32_t first = 0;
        uint32_t second = 0;
        for (int b = 3; b >= 0; --b) {
            first = first << 8 | group[b];
            second = second << 8 | group[4 + b];
        }
        if (static_cast<uint32_t>(pairs[i].first) != first ||
            static_cast<uint32_t>(pairs[i].second) != second) {
            Fail();
        }
    }
    return 0;
}
