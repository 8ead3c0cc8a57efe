// The registry tree behind a settings store, as tests read and prepare it.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "settings/SettingsStore.h"

namespace velcor::test {

// The whole tree as it is stored now.
inline platform::RegistryTree StoredTree(const settings::SettingsStore& store) {
    platform::RegistryTree tree;
    EXPECT_TRUE(store.Registry().Read(tree));
    return tree;
}

// Writes DWORD values into the key at `path`, creating it.
inline void PutDwords(const settings::SettingsStore& store, const std::string& path,
                      const std::vector<std::pair<std::string, int>>& values) {
    ASSERT_TRUE(store.Registry().Update([&](platform::RegistryTree& tree) {
        platform::RegistryKey* key = tree.CreateKey(path);
        for (const auto& [name, value] : values)
            key->SetDword(name, static_cast<uint32_t>(value));
        return true;
    }));
}

}  // namespace velcor::test
