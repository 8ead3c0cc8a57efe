// The configuration file: a sequence of little-endian 32-bit integer pairs, one pair per whole
// 8-byte group; bytes after the last whole group are ignored.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace velcor {

using ConfigurationPairs = std::vector<std::pair<int32_t, int32_t>>;

// The largest configuration file that is read: 1 MiB, 131072 pairs.
inline constexpr size_t kMaxConfigFileBytes = size_t{1} << 20;

// The pairs of the file's bytes.
ConfigurationPairs ParseConfigurationPairs(const uint8_t* bytes, size_t size);

}  // namespace velcor
