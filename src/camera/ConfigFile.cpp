#include "camera/ConfigFile.h"

namespace velcor {
namespace {

int32_t ReadLe32(const uint8_t* p) {
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                                static_cast<uint32_t>(p[2]) << 16 |
                                static_cast<uint32_t>(p[3]) << 24);
}

}  // namespace

ConfigurationPairs ParseConfigurationPairs(const uint8_t* bytes, size_t size) {
    ConfigurationPairs pairs;
    if (bytes == nullptr) return pairs;
    const size_t count = size / 8;
    pairs.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* group = bytes + i * 8;
        pairs.emplace_back(ReadLe32(group), ReadLe32(group + 4));
    }
    return pairs;
}

}  // namespace velcor
