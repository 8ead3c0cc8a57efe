// The registry file's text into a key tree: whatever the bytes, the parser answers without a
// crash, within its bounds, and a tree it accepts writes out to text that reads back as the
// same tree.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "FuzzInput.h"
#include "platform/Registry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using velcor::fuzz::Fail;
    using velcor::platform::RegistryTree;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::optional<RegistryTree> tree = RegistryTree::Parse(text);
    if (!tree) return 0;
    if (tree->KeyCount() > velcor::platform::kRegistryMaxKeys) Fail();
    const std::string written = tree->Serialise();
    const std::optional<RegistryTree> back = RegistryTree::Parse(written);
    if (!back || back->Serialise() != written) Fail();
    return 0;
}
