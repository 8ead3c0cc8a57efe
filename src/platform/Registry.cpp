#include "platform/Registry.h"

#include <cstdio>

namespace velcor::platform {
namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kRoot = "HKEY_CURRENT_USER";
// A logical line of the file, continuation lines of a long hex value included.
constexpr size_t kMaxLogicalLine = 64 * 1024;

char Fold(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (Fold(a[i]) != Fold(b[i])) return false;
    }
    return true;
}

bool IsPrintable(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 0x20 && u != 0x7F;
}

bool IsValidValueName(std::string_view name) {
    if (name.empty() || name.size() > kRegistryMaxNameLength) return false;
    for (char c : name) {
        if (!IsPrintable(c)) return false;
    }
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// "dword:" followed by 1..8 hex digits and nothing else.
std::optional<uint32_t> ParseDword(std::string_view text) {
    if (text.empty() || text.size() > 8) return std::nullopt;
    uint32_t value = 0;
    for (char c : text) {
        const int digit = HexDigit(c);
        if (digit < 0) return std::nullopt;
        value = value << 4 | static_cast<uint32_t>(digit);
    }
    return value;
}

// Comma-separated pairs of hex digits (continuation backslashes already joined away); an
// empty text is an empty value.
std::optional<std::vector<uint8_t>> ParseHexBytes(std::string_view text) {
    std::vector<uint8_t> bytes;
    size_t at = 0;
    while (at < text.size()) {
        while (at < text.size() && text[at] == ' ')
            ++at;
        if (at + 2 > text.size()) return std::nullopt;
        const int high = HexDigit(text[at]);
        const int low = HexDigit(text[at + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        if (bytes.size() == kRegistryMaxBinaryBytes) return std::nullopt;
        bytes.push_back(static_cast<uint8_t>(high << 4 | low));
        at += 2;
        while (at < text.size() && text[at] == ' ')
            ++at;
        if (at == text.size()) break;
        if (text[at] != ',') return std::nullopt;
        ++at;
        if (at == text.size()) return std::nullopt;  // a trailing comma
    }
    return bytes;
}

// `"name"=` at the front of `line`: the unescaped name, and `line` advanced past the '='.
std::optional<std::string> ParseValueName(std::string_view& line) {
    if (line.empty() || line[0] != '"') return std::nullopt;
    std::string name;
    size_t at = 1;
    for (;;) {
        if (at >= line.size()) return std::nullopt;
        const char c = line[at++];
        if (c == '"') break;
        if (c == '\\') {
            if (at >= line.size() || (line[at] != '\\' && line[at] != '"')) return std::nullopt;
            name.push_back(line[at++]);
        } else {
            name.push_back(c);
        }
        if (name.size() > kRegistryMaxNameLength) return std::nullopt;
    }
    if (!IsValidValueName(name) || at >= line.size() || line[at] != '=') return std::nullopt;
    line.remove_prefix(at + 1);
    return name;
}

void AppendQuoted(std::string& out, std::string_view name) {
    out.push_back('"');
    for (char c : name) {
        if (c == '\\' || c == '"') out.push_back('\\');
        out.push_back(c);
    }
    out.push_back('"');
}

// Splits the text into logical lines: the line break is "\n" or "\r\n", and a hex value's line
// that ends in a backslash goes on in the next line (whose leading spaces are dropped). False
// for a line past the bound or a stray carriage return or NUL.
bool SplitLines(std::string_view text, std::vector<std::string>& lines) {
    std::string pending;
    bool continuing = false;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        for (char c : line) {
            if (c == '\r' || c == '\0') return false;
        }
        if (continuing) {
            while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
                line.remove_prefix(1);
        }
        if (pending.size() + line.size() > kMaxLogicalLine) return false;
        pending.append(line);
        continuing = !pending.empty() && pending.back() == '\\' && pending.front() == '"';
        if (continuing) {
            pending.pop_back();
        } else {
            lines.push_back(std::move(pending));
            pending.clear();
        }
    }
    if (continuing) return false;
    return true;
}

}  // namespace

// ---- RegistryKey ---------------------------------------------------------------------------

const RegistryValue* RegistryKey::Find(std::string_view name) const {
    for (const RegistryValue& value : values_) {
        if (SameName(value.name, name)) return &value;
    }
    return nullptr;
}

std::optional<uint32_t> RegistryKey::QueryDword(std::string_view name) const {
    const RegistryValue* value = Find(name);
    if (value == nullptr || value->type != RegistryValue::Type::Dword) return std::nullopt;
    return value->dword;
}

std::optional<std::vector<uint8_t>> RegistryKey::QueryBinary(std::string_view name) const {
    const RegistryValue* value = Find(name);
    if (value == nullptr || value->type != RegistryValue::Type::Binary) return std::nullopt;
    return value->bytes;
}

bool RegistryKey::Set(RegistryValue value) {
    if (!IsValidValueName(value.name)) return false;
    for (RegistryValue& existing : values_) {
        if (SameName(existing.name, value.name)) {
            existing = std::move(value);
            return true;
        }
    }
    if (values_.size() == kRegistryMaxValuesPerKey) return false;
    values_.push_back(std::move(value));
    return true;
}

bool RegistryKey::SetDword(std::string_view name, uint32_t value) {
    RegistryValue v;
    v.name = std::string(name);
    v.type = RegistryValue::Type::Dword;
    v.dword = value;
    return Set(std::move(v));
}

bool RegistryKey::SetBinary(std::string_view name, const uint8_t* data, size_t size) {
    if (size > kRegistryMaxBinaryBytes || (data == nullptr && size != 0)) return false;
    RegistryValue v;
    v.name = std::string(name);
    v.type = RegistryValue::Type::Binary;
    if (size != 0) v.bytes.assign(data, data + size);
    return Set(std::move(v));
}

// ---- RegistryTree ----------------------------------------------------------------------------

bool IsValidKeyPath(std::string_view path) {
    size_t parts = 0;
    while (true) {
        const size_t end = path.find('\\');
        const std::string_view part = path.substr(0, end);
        if (part.empty() || part.size() > kRegistryMaxNameLength) return false;
        for (char c : part) {
            if (!IsPrintable(c)) return false;
        }
        if (++parts > kRegistryMaxDepth) return false;
        if (end == std::string_view::npos) return true;
        path.remove_prefix(end + 1);
    }
}

std::string RegistryTree::SortKey(std::string_view path) {
    std::string key(path);
    for (char& c : key)
        c = c == '\\' ? '\x01' : Fold(c);
    return key;
}

const RegistryKey* RegistryTree::OpenKey(std::string_view path) const {
    const auto found = keys_.find(SortKey(path));
    return found == keys_.end() ? nullptr : &found->second;
}

RegistryKey* RegistryTree::OpenKey(std::string_view path) {
    const auto found = keys_.find(SortKey(path));
    return found == keys_.end() ? nullptr : &found->second;
}

RegistryKey* RegistryTree::CreateKey(std::string_view path) {
    if (!IsValidKeyPath(path)) return nullptr;
    RegistryKey* key = nullptr;
    size_t end = 0;
    do {
        end = path.find('\\', end == 0 ? 0 : end + 1);
        const std::string_view upTo = path.substr(0, end);
        std::string sortKey = SortKey(upTo);
        auto found = keys_.find(sortKey);
        if (found == keys_.end()) {
            if (keys_.size() >= kRegistryMaxKeys) return nullptr;
            found = keys_.emplace(std::move(sortKey), RegistryKey(std::string(upTo))).first;
        }
        key = &found->second;
    } while (end != std::string_view::npos);
    return key;
}

std::vector<std::string> RegistryTree::SubkeyNames(std::string_view path) const {
    std::string prefix = SortKey(path);
    if (!prefix.empty()) prefix.push_back('\x01');
    std::vector<std::string> names;
    for (auto it = keys_.lower_bound(prefix); it != keys_.end(); ++it) {
        const std::string& sortKey = it->first;
        if (sortKey.compare(0, prefix.size(), prefix) != 0) break;
        if (sortKey.find('\x01', prefix.size()) != std::string::npos) continue;
        names.push_back(it->second.Path().substr(prefix.size()));
    }
    return names;
}

void RegistryTree::ForEachKey(const std::function<void(const RegistryKey&)>& visit) const {
    for (const auto& [sortKey, key] : keys_)
        visit(key);
}

std::optional<RegistryTree> RegistryTree::Parse(std::string_view text) {
    if (text.size() > kRegistryFileLimit) return std::nullopt;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    std::vector<std::string> lines;
    if (!SplitLines(text, lines)) return std::nullopt;

    RegistryTree tree;
    bool headerSeen = false;
    RegistryKey* key = nullptr;
    for (const std::string& whole : lines) {
        std::string_view line = whole;
        if (line.empty() || line[0] == ';') continue;
        if (!headerSeen) {
            if (line != kHeader) return std::nullopt;
            headerSeen = true;
            continue;
        }
        if (line[0] == '[') {
            if (line.back() != ']') return std::nullopt;
            line = line.substr(1, line.size() - 2);
            if (line == kRoot) {
                key = nullptr;  // the hive itself holds no values here
                continue;
            }
            if (line.size() <= kRoot.size() + 1 || line.substr(0, kRoot.size()) != kRoot ||
                line[kRoot.size()] != '\\') {
                return std::nullopt;
            }
            key = tree.CreateKey(line.substr(kRoot.size() + 1));
            if (key == nullptr) return std::nullopt;
            continue;
        }
        if (key == nullptr) return std::nullopt;
        const std::optional<std::string> name = ParseValueName(line);
        if (!name) return std::nullopt;
        bool set = false;
        if (line.substr(0, 6) == "dword:") {
            const std::optional<uint32_t> value = ParseDword(line.substr(6));
            set = value && key->SetDword(*name, *value);
        } else if (line.substr(0, 4) == "hex:") {
            const std::optional<std::vector<uint8_t>> bytes = ParseHexBytes(line.substr(4));
            set = bytes && key->SetBinary(*name, bytes->data(), bytes->size());
        }
        if (!set) return std::nullopt;
    }
    if (!headerSeen) return std::nullopt;
    return tree;
}

std::string RegistryTree::Serialise() const {
    std::string out(kHeader);
    out += "\n\n";
    char hex[32];
    for (const auto& [sortKey, key] : keys_) {
        out += '[';
        out += kRoot;
        out += '\\';
        out += key.Path();
        out += "]\n";
        for (const RegistryValue& value : key.Values()) {
            AppendQuoted(out, value.name);
            if (value.type == RegistryValue::Type::Dword) {
                std::snprintf(hex, sizeof hex, "=dword:%08x\n", value.dword);
                out += hex;
            } else {
                out += "=hex:";
                for (size_t i = 0; i < value.bytes.size(); ++i) {
                    std::snprintf(hex, sizeof hex, i == 0 ? "%02x" : ",%02x", value.bytes[i]);
                    out += hex;
                }
                out += '\n';
            }
        }
        out += '\n';
    }
    return out;
}

}  // namespace velcor::platform
