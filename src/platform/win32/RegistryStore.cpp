// The registry store on Windows: the library's keys under HKEY_CURRENT_USER, read into a tree and
// written back as the difference between the tree before and after a change. A named mutex
// keeps the read-change-write of one process from interleaving with another's.
#include <windows.h>

#include <cstring>

#include "platform/Registry.h"

namespace velcor::platform {
namespace {

// Every key this library keeps lies below the vendor's key; nothing else of the user's hive is
// read or touched.
constexpr std::string_view kVendorKey = "Software\\Moniva";
constexpr char kDefaultRoot[] = "HKEY_CURRENT_USER";

// Null: the user's hive itself. Otherwise a sandbox key of its own (for a store made on a
// folder name other than the default), whose subtree looks like the hive to the tree.
class RootKey {
  public:
    explicit RootKey(const std::string& folder) {
        if (folder == kDefaultRoot) {
            key_ = HKEY_CURRENT_USER;
            return;
        }
        std::string path = "Software\\VelcorSandbox\\";
        for (char c : folder)
            path.push_back(c == '\\' || c == '/' || c == ':' ? '_' : c);
        if (::RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key_, nullptr) != ERROR_SUCCESS) {
            key_ = nullptr;
        } else {
            owned_ = true;
        }
    }
    ~RootKey() {
        if (owned_) ::RegCloseKey(key_);
    }
    RootKey(const RootKey&) = delete;
    RootKey& operator=(const RootKey&) = delete;
    HKEY Get() const { return key_; }
    bool Sandbox() const { return owned_; }

  private:
    HKEY key_ = nullptr;
    bool owned_ = false;
};

class StoreLock {
  public:
    StoreLock() : mutex_(::CreateMutexA(nullptr, FALSE, "VelcorRegistryStore")) {
        if (mutex_ != nullptr) (void)::WaitForSingleObject(mutex_, INFINITE);
    }
    ~StoreLock() {
        if (mutex_ != nullptr) {
            ::ReleaseMutex(mutex_);
            ::CloseHandle(mutex_);
        }
    }
    StoreLock(const StoreLock&) = delete;
    StoreLock& operator=(const StoreLock&) = delete;
    bool Locked() const { return mutex_ != nullptr; }

  private:
    HANDLE mutex_;
};

bool ReadSubkeys(HKEY key, const std::string& path, RegistryTree& tree, size_t depth);

// Reads the values and subkeys of `key` (at `path` of the tree) into the tree.
bool ReadKey(HKEY key, const std::string& path, RegistryTree& tree, size_t depth) {
    if (depth > kRegistryMaxDepth || tree.KeyCount() >= kRegistryMaxKeys) return false;
    RegistryKey* entry = tree.CreateKey(path);
    if (entry == nullptr) return false;
    char name[kRegistryMaxNameLength + 1];
    std::vector<uint8_t> data(kRegistryMaxBinaryBytes);
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = sizeof name;
        DWORD type = 0;
        DWORD size = static_cast<DWORD>(data.size());
        const LONG status =
            ::RegEnumValueA(key, index, name, &nameLength, nullptr, &type, data.data(), &size);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status != ERROR_SUCCESS) continue;  // a value too long for the store is left alone
        if (type == REG_DWORD && size == sizeof(DWORD)) {
            DWORD value = 0;
            std::memcpy(&value, data.data(), sizeof value);
            entry->SetDword(name, value);
        } else if (type == REG_BINARY) {
            entry->SetBinary(name, data.data(), size);
        }
    }
    return ReadSubkeys(key, path, tree, depth);
}

bool ReadSubkeys(HKEY key, const std::string& path, RegistryTree& tree, size_t depth) {
    char name[kRegistryMaxNameLength + 1];
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = sizeof name;
        const LONG status =
            ::RegEnumKeyExA(key, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) return true;
        if (status != ERROR_SUCCESS) continue;
        HKEY child = nullptr;
        if (::RegOpenKeyExA(key, name, 0, KEY_READ, &child) != ERROR_SUCCESS) continue;
        const bool read =
            ReadKey(child, path.empty() ? std::string(name) : path + "\\" + name, tree, depth + 1);
        ::RegCloseKey(child);
        if (!read) return false;
    }
}

// The user's hive is read below the vendor's key only; a sandbox is the store's alone and is
// read whole.
bool Load(const RootKey& root, RegistryTree& tree) {
    tree = RegistryTree();
    if (root.Sandbox()) return ReadSubkeys(root.Get(), "", tree, 0);
    HKEY vendor = nullptr;
    const std::string vendorPath(kVendorKey);
    const LONG status = ::RegOpenKeyExA(root.Get(), vendorPath.c_str(), 0, KEY_READ, &vendor);
    if (status == ERROR_FILE_NOT_FOUND) return true;  // nothing stored yet
    if (status != ERROR_SUCCESS) return false;
    const bool read = ReadKey(vendor, vendorPath, tree, 2);
    ::RegCloseKey(vendor);
    return read;
}

bool IsBelowVendorKey(const std::string& path) {
    return path.size() >= kVendorKey.size() &&
           _strnicmp(path.c_str(), kVendorKey.data(), kVendorKey.size()) == 0 &&
           (path.size() == kVendorKey.size() || path[kVendorKey.size()] == '\\');
}

bool WriteKey(HKEY root, const RegistryKey& wanted, const RegistryKey* before) {
    HKEY key = nullptr;
    if (::RegCreateKeyExA(root, wanted.Path().c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                          nullptr) != ERROR_SUCCESS) {
        return false;
    }
    bool ok = true;
    for (const RegistryValue& value : wanted.Values()) {
        const RegistryValue* old = before != nullptr ? before->Find(value.name) : nullptr;
        if (old != nullptr && old->type == value.type && old->dword == value.dword &&
            old->bytes == value.bytes) {
            continue;
        }
        LONG status;
        if (value.type == RegistryValue::Type::Dword) {
            const DWORD dword = value.dword;
            status = ::RegSetValueExA(key, value.name.c_str(), 0, REG_DWORD,
                                      reinterpret_cast<const BYTE*>(&dword), sizeof dword);
        } else {
            status = ::RegSetValueExA(key, value.name.c_str(), 0, REG_BINARY, value.bytes.data(),
                                      static_cast<DWORD>(value.bytes.size()));
        }
        ok = ok && status == ERROR_SUCCESS;
    }
    if (before != nullptr) {
        for (const RegistryValue& value : before->Values()) {
            if (wanted.Find(value.name) == nullptr) {
                ok = ok && ::RegDeleteValueA(key, value.name.c_str()) == ERROR_SUCCESS;
            }
        }
    }
    ::RegCloseKey(key);
    return ok;
}

}  // namespace

std::string Registry::DefaultFolder() {
    return kDefaultRoot;
}

bool Registry::Read(RegistryTree& tree) const {
    tree = RegistryTree();
    if (folder_.empty()) return false;
    const RootKey root(folder_);
    const StoreLock lock;
    if (root.Get() == nullptr || !lock.Locked()) return false;
    return Load(root, tree);
}

bool Registry::Update(const std::function<bool(RegistryTree&)>& change) const {
    if (folder_.empty()) return false;
    const RootKey root(folder_);
    const StoreLock lock;
    if (root.Get() == nullptr || !lock.Locked()) return false;
    RegistryTree before;
    if (!Load(root, before)) return false;
    RegistryTree after = before;
    if (!change(after)) return false;
    bool ok = true;
    after.ForEachKey([&](const RegistryKey& key) {
        // In the user's hive the store keeps the library's keys only.
        if (!root.Sandbox() && !IsBelowVendorKey(key.Path())) {
            ok = false;
            return;
        }
        ok = WriteKey(root.Get(), key, before.OpenKey(key.Path())) && ok;
    });
    before.ForEachKey([&](const RegistryKey& key) {
        if (after.OpenKey(key.Path()) == nullptr) {
            const LONG status = ::RegDeleteTreeA(root.Get(), key.Path().c_str());
            ok = ok && (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND);
        }
    });
    return ok;
}

}  // namespace velcor::platform
