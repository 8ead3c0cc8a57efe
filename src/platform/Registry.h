// The current user's registry: a tree of keys under HKEY_CURRENT_USER, each holding named
// DWORD (32-bit) and BINARY values, with the Windows rules the settings store relies on: key
// and value names compare without regard to case, creating a key creates the keys above it,
// opening a missing key or reading a missing value fails without side effects.
//
// The tree lives in one text file in the registry export format (the format regedit reads and
// writes) at $XDG_CONFIG_HOME/velcor/registry.reg, ~/.config/velcor/registry.reg by default:
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_CURRENT_USER\Software\Moniva\VelcorTX403T2Sdk\Camera_00\Gain]
//   "Global"=dword:00000002
//   "ExposureEx"=hex:00,00,00,00,00,00,f0,3f
//
// Several processes share the file. Every read and every read-modify-write holds an exclusive
// lock on the lock file beside it and reads the file anew under that lock; a write replaces the
// file whole (temporary file, fsync, rename), so a reader never sees half a file and two
// processes saving at once keep each other's values. A file that cannot be read or parsed is
// renamed aside (registry.reg.damaged-<seconds since 1970>) and the tree starts empty.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velcor::platform {

struct RegistryValue {
    enum class Type { Dword, Binary };
    std::string name;
    Type type = Type::Dword;
    uint32_t dword = 0;
    std::vector<uint8_t> bytes;  // Binary only
};

// Bounds of what a registry file may hold; a file beyond them is damaged.
inline constexpr size_t kRegistryFileLimit = 4u << 20;
inline constexpr size_t kRegistryMaxKeys = 20000;
inline constexpr size_t kRegistryMaxValuesPerKey = 1024;
inline constexpr size_t kRegistryMaxNameLength = 255;  // a key name's part, a value name
inline constexpr size_t kRegistryMaxDepth = 32;        // parts of a key path
inline constexpr size_t kRegistryMaxBinaryBytes = 4096;

// One key of a tree: its path below HKEY_CURRENT_USER ("Software\Moniva") and its values in the
// order they were first written.
class RegistryKey {
  public:
    explicit RegistryKey(std::string path) : path_(std::move(path)) {}
    const std::string& Path() const { return path_; }
    const std::vector<RegistryValue>& Values() const { return values_; }

    // Missing, or of another type (or a BINARY value of another length): nullopt.
    std::optional<uint32_t> QueryDword(std::string_view name) const;
    std::optional<std::vector<uint8_t>> QueryBinary(std::string_view name) const;
    const RegistryValue* Find(std::string_view name) const;

    // Replaces a value of that name (its place in the order stays) or appends one.
    // False for a name the format cannot hold.
    bool SetDword(std::string_view name, uint32_t value);
    bool SetBinary(std::string_view name, const uint8_t* data, size_t size);

  private:
    bool Set(RegistryValue value);
    std::string path_;
    std::vector<RegistryValue> values_;
};

// A whole registry tree in memory, and its text form.
class RegistryTree {
  public:
    // The tree the text describes, or nullopt when the text is not a registry file this
    // facility wrote or could have written: anything it does not understand, or beyond the
    // bounds above.
    static std::optional<RegistryTree> Parse(std::string_view text);
    // The text of the tree; Parse gives the same tree back.
    std::string Serialise() const;

    // The key at `path` ("Software\Moniva\VelcorTX403T2Sdk"), or null when it does not exist.
    const RegistryKey* OpenKey(std::string_view path) const;
    RegistryKey* OpenKey(std::string_view path);
    // Opens the key, creating it and every missing key above it; null for a path the format
    // cannot hold (empty part, control characters, too long or too deep) or a full tree.
    RegistryKey* CreateKey(std::string_view path);
    // Names of the keys directly below `path`, in sorted order.
    std::vector<std::string> SubkeyNames(std::string_view path) const;
    size_t KeyCount() const { return keys_.size(); }
    bool Empty() const { return keys_.empty(); }

    // Each key in sorted order (a key before the keys below it).
    void ForEachKey(const std::function<void(const RegistryKey&)>& visit) const;

  private:
    // Case-folded path with the separator sorting before every name character, so that a map
    // in this order lists a key just before the keys below it.
    static std::string SortKey(std::string_view path);
    std::map<std::string, RegistryKey> keys_;
};

// True for a key path the format can hold: 1..kRegistryMaxDepth parts separated by '\', each
// 1..kRegistryMaxNameLength printable characters.
bool IsValidKeyPath(std::string_view path);

// The registry file and its lock, in a folder (the default one unless a test names another).
class Registry {
  public:
    // $XDG_CONFIG_HOME/velcor when XDG_CONFIG_HOME is an absolute path, else $HOME/.config/velcor
    // (the home folder from the user database when HOME is not set); empty when neither is known.
    static std::string DefaultFolder();

    Registry() : Registry(DefaultFolder()) {}
    explicit Registry(std::string folder) : folder_(std::move(folder)) {}

    // The tree as the file holds it now (empty when there is none). False when the folder is
    // unknown or the lock cannot be had; `tree` is then left empty.
    bool Read(RegistryTree& tree) const;
    // Reads the tree under the lock, lets `change` alter it and, when `change` answers true,
    // writes it back before the lock goes. False when the folder cannot be made, the lock
    // cannot be had, `change` answered false or the file could not be written.
    bool Update(const std::function<bool(RegistryTree&)>& change) const;

    const std::string& Folder() const { return folder_; }
    std::string FilePath() const { return folder_ + "/registry.reg"; }

  private:
    std::string folder_;
};

}  // namespace velcor::platform
