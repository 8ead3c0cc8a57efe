#include "settings/SettingsStore.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <utility>

namespace velcor::settings {
namespace {

using platform::RegistryKey;
using platform::RegistryTree;

// Colour-mode indices.
constexpr int kMono8 = 0, kMono16 = 1, kColour24 = 2, kColour32 = 3;
constexpr int kColourModes = 6;

constexpr std::array<const char*, 7> kWindowValueNames = {"TH",  "TV",  "EH", "EV",
                                                          "EHS", "EVS", "Buf"};

std::string SizeKeyName(int number) {
    char name[16];
    std::snprintf(name, sizeof name, "Size_%02d", number);
    return name;
}

std::string Join(const std::string& parent, const std::string& child) {
    return parent + "\\" + child;
}

std::string CameraPath(int camera) {
    return Join(kProductKey, SettingsStore::CameraKey(camera));
}

uint32_t AsDword(int value) {
    return static_cast<uint32_t>(value);
}

// Reads a DWORD into `field` when the key holds one of that name.
bool ReadInt(const RegistryKey& key, const char* name, int& field) {
    const std::optional<uint32_t> value = key.QueryDword(name);
    if (!value) return false;
    field = static_cast<int32_t>(*value);
    return true;
}

// The seven values of a window entry in their order, as pointers into the entry.
std::array<int*, 7> WindowFields(WindowEntry& entry) {
    return {&entry.totalWidth, &entry.totalHeight, &entry.width, &entry.height,
            &entry.xStart,     &entry.yStart,      &entry.buffer};
}

// The whole entry, or nothing when a value is missing.
std::optional<WindowEntry> ReadWindowEntry(const RegistryKey& key) {
    WindowEntry entry;
    const std::array<int*, 7> fields = WindowFields(entry);
    for (size_t i = 0; i < fields.size(); ++i) {
        if (!ReadInt(key, kWindowValueNames[i], *fields[i])) return std::nullopt;
    }
    return entry;
}

bool WriteWindowEntry(RegistryKey& key, WindowEntry entry) {
    const std::array<int*, 7> fields = WindowFields(entry);
    for (size_t i = 0; i < fields.size(); ++i) {
        if (!key.SetDword(kWindowValueNames[i], AsDword(*fields[i]))) return false;
    }
    return true;
}

// A named integer of a record, for the keys whose values are all DWORDs.
template <typename Record>
struct IntValue {
    const char* name;
    int Record::*field;
};

constexpr std::array<IntValue<FilterSettings>, 10> kFilterValues = {{
    {"Brightness", &FilterSettings::brightness},
    {"Contrast", &FilterSettings::contrast},
    {"Hue", &FilterSettings::hue},
    {"Saturation", &FilterSettings::saturation},
    {"Sharpness", &FilterSettings::sharpness},
    {"R_Gain", &FilterSettings::gainRed},
    {"G_Gain", &FilterSettings::gainGreen},
    {"B_Gain", &FilterSettings::gainBlue},
    {"Gamma", &FilterSettings::gamma},
    {"BayerMode", &FilterSettings::bayerMode},
}};

constexpr std::array<IntValue<GraySettings>, 9> kGrayValues = {{
    {"Mode", &GraySettings::mode},
    {"GainR1", &GraySettings::gainR1},
    {"GainG1", &GraySettings::gainG1},
    {"GainG2", &GraySettings::gainG2},
    {"GainB1", &GraySettings::gainB1},
    {"OffsetR1", &GraySettings::offsetR1},
    {"OffsetG1", &GraySettings::offsetG1},
    {"OffsetG2", &GraySettings::offsetG2},
    {"OffsetB1", &GraySettings::offsetB1},
}};

// "ExposureEx" follows "BlackLevel" as the last value of the key.
constexpr std::array<IntValue<AnalogSettings>, 11> kAnalogValues = {{
    {"Global", &AnalogSettings::globalGain},
    {"ColorG1", &AnalogSettings::colourGainGreen1},
    {"ColorR", &AnalogSettings::colourGainRed},
    {"ColorB", &AnalogSettings::colourGainBlue},
    {"ColorG2", &AnalogSettings::colourGainGreen2},
    {"Exposure", &AnalogSettings::exposure},
    {"V_Mirror", &AnalogSettings::mirrorV},
    {"H_Mirror", &AnalogSettings::mirrorH},
    {"AutoIris", &AnalogSettings::autoIris},
    {"GainMode", &AnalogSettings::gainMode},
    {"BlackLevel", &AnalogSettings::blackLevel},
}};
constexpr char kExposureSeconds[] = "ExposureEx";

// The key at `path` of the current tree, read into `record` over what it holds; false when the
// key does not exist or the registry cannot be read.
template <typename Record, size_t N>
bool LoadInts(const platform::Registry& registry, const std::string& path,
              const std::array<IntValue<Record>, N>& values, Record& record, RegistryTree& tree) {
    if (!registry.Read(tree)) return false;
    const RegistryKey* key = tree.OpenKey(path);
    if (key == nullptr) return false;
    for (const IntValue<Record>& value : values)
        ReadInt(*key, value.name, record.*value.field);
    return true;
}

template <typename Record, size_t N>
bool WriteInts(RegistryKey& key, const std::array<IntValue<Record>, N>& values,
               const Record& record) {
    for (const IntValue<Record>& value : values) {
        if (!key.SetDword(value.name, AsDword(record.*value.field))) return false;
    }
    return true;
}

// Creates the key at `path` (and those above it) and writes the record's values into it.
template <typename Record, size_t N>
bool SaveInts(const platform::Registry& registry, const std::string& path,
              const std::array<IntValue<Record>, N>& values, const Record& record) {
    return registry.Update([&](RegistryTree& tree) {
        RegistryKey* key = tree.CreateKey(path);
        return key != nullptr && WriteInts(*key, values, record);
    });
}

}  // namespace

int DefaultColour(const SensorOutput& sensor) {
    if (sensor.colour) return kColour24;
    if (sensor.allows16Bit) return kMono16;
    if (sensor.allows8Bit) return kMono8;
    return kColour24;
}

int CorrectColour(int colour, const SensorOutput& sensor) {
    if (!sensor.allows8Bit && (colour == kMono8 || colour == kColour32))
        colour = sensor.allows16Bit ? kMono16 : kColour24;
    // Every colour depth, not 24 bits alone: a monochrome sensor delivers none of them, and
    // the camera object refuses them when they are asked for.
    if (!sensor.colour && colour >= kColour24) colour = sensor.allows16Bit ? kMono16 : kMono8;
    if (!sensor.allows16Bit && colour == kMono16) colour = sensor.colour ? kColour24 : kMono8;
    return colour;
}

std::string SettingsStore::CameraKey(int camera) {
    char name[32];
    std::snprintf(name, sizeof name, "Camera_%02d", camera);
    return name;
}

bool SettingsStore::LoadWindowSettings(int camera, const SensorOutput& sensor,
                                       WindowEntry& window) const {
    RegistryTree tree;
    if (!registry_.Read(tree)) return false;
    if (tree.OpenKey(kProductKey) == nullptr) {
        // First run: the defaults of this camera, created once. Another process may have made
        // the product key meanwhile; then nothing is created here, as when it existed.
        return registry_.Update([&](RegistryTree& current) {
            if (current.OpenKey(kProductKey) != nullptr) return false;
            RegistryKey* cameraKey = current.CreateKey(CameraPath(camera));
            RegistryKey* entry = current.CreateKey(Join(CameraPath(camera), SizeKeyName(0)));
            if (cameraKey == nullptr || entry == nullptr) return false;
            const OutputSettings output;
            return WriteWindowEntry(*entry, WindowEntry{}) && cameraKey->SetDword("Size", 0) &&
                   cameraKey->SetDword("Color", AsDword(DefaultColour(sensor))) &&
                   cameraKey->SetDword("SubSample", AsDword(output.subSample)) &&
                   cameraKey->SetDword("WaitTime", 1) &&
                   cameraKey->SetDword("Clock", AsDword(output.clock));
        });
    }
    const RegistryKey* cameraKey = tree.OpenKey(CameraPath(camera));
    if (cameraKey == nullptr) return false;
    int selected = 0;
    if (!ReadInt(*cameraKey, "Size", selected) || selected < 0 || selected >= kMaxWindowEntries)
        return false;
    const RegistryKey* entryKey = tree.OpenKey(Join(CameraPath(camera), SizeKeyName(selected)));
    if (entryKey == nullptr) return false;
    const std::optional<WindowEntry> entry = ReadWindowEntry(*entryKey);
    if (!entry) return false;
    window = *entry;
    return true;
}

bool SettingsStore::LoadOutputSettings(int camera, const SensorOutput& sensor,
                                       OutputSettings& output) const {
    RegistryTree tree;
    if (!registry_.Read(tree)) return false;
    const RegistryKey* key = tree.OpenKey(CameraPath(camera));
    if (key == nullptr) return false;
    int colour = 0;
    // A code that is no colour mode would index past the six depths: it is not taken.
    if (ReadInt(*key, "Color", colour) && colour >= 0 && colour < kColourModes)
        output.colour = CorrectColour(colour, sensor);
    ReadInt(*key, "SubSample", output.subSample);
    ReadInt(*key, "WaitTime", output.waitTimeMs);
    ReadInt(*key, "Clock", output.clock);
    return true;
}

bool SettingsStore::LoadAnalogSettings(int camera, const AnalogSettings& defaults,
                                       AnalogSettings& settings) const {
    settings = defaults;
    RegistryTree tree;
    if (!LoadInts(registry_, Join(CameraPath(camera), "Gain"), kAnalogValues, settings, tree))
        return false;
    const RegistryKey* key = tree.OpenKey(Join(CameraPath(camera), "Gain"));
    const std::optional<std::vector<uint8_t>> bytes = key->QueryBinary(kExposureSeconds);
    if (bytes && bytes->size() == sizeof(double)) {
        uint64_t bits = 0;
        for (size_t i = 0; i < sizeof bits; ++i)
            bits |= static_cast<uint64_t>((*bytes)[i]) << (8 * i);
        double seconds = 0.0;
        std::memcpy(&seconds, &bits, sizeof seconds);
        // Not a number or an infinity is no exposure time: the default stays.
        if (std::isfinite(seconds)) settings.exposureSeconds = seconds;
    }
    return true;
}

bool SettingsStore::SaveAnalogSettings(int camera, const AnalogSettings& settings) const {
    return registry_.Update([&](RegistryTree& tree) {
        RegistryKey* key = tree.CreateKey(Join(CameraPath(camera), "Gain"));
        if (key == nullptr || !WriteInts(*key, kAnalogValues, settings)) return false;
        uint64_t bits = 0;
        std::memcpy(&bits, &settings.exposureSeconds, sizeof bits);
        uint8_t bytes[sizeof bits];
        for (size_t i = 0; i < sizeof bits; ++i)
            bytes[i] = static_cast<uint8_t>(bits >> (8 * i));
        return key->SetBinary(kExposureSeconds, bytes, sizeof bytes);
    });
}

bool SettingsStore::LoadFilterSettings(int camera, FilterSettings& settings) const {
    settings = FilterSettings{};
    RegistryTree tree;
    return LoadInts(registry_, Join(CameraPath(camera), "Filter"), kFilterValues, settings, tree);
}

bool SettingsStore::SaveFilterSettings(int camera, const FilterSettings& settings) const {
    return SaveInts(registry_, Join(CameraPath(camera), "Filter"), kFilterValues, settings);
}

bool SettingsStore::LoadGraySettings(int camera, GraySettings& settings) const {
    settings = GraySettings{};
    RegistryTree tree;
    return LoadInts(registry_, Join(CameraPath(camera), "Gray"), kGrayValues, settings, tree);
}

bool SettingsStore::SaveGraySettings(int camera, const GraySettings& settings) const {
    return SaveInts(registry_, Join(CameraPath(camera), "Gray"), kGrayValues, settings);
}

bool SettingsStore::LoadCameraDialogSettings(int camera, CameraDialogSettings& settings) const {
    RegistryTree tree;
    if (!registry_.Read(tree)) return false;
    const RegistryKey* key = tree.OpenKey(CameraPath(camera));
    if (tree.OpenKey(kProductKey) == nullptr || key == nullptr) return false;
    settings.table.clear();
    for (int number = 0; number < kMaxWindowEntries; ++number) {
        const RegistryKey* entryKey = tree.OpenKey(Join(CameraPath(camera), SizeKeyName(number)));
        if (entryKey == nullptr) break;
        // A value missing from an entry keeps the default entry's.
        WindowEntry entry;
        const std::array<int*, 7> fields = WindowFields(entry);
        for (size_t i = 0; i < fields.size(); ++i)
            ReadInt(*entryKey, kWindowValueNames[i], *fields[i]);
        settings.table.push_back(entry);
    }
    ReadInt(*key, "Size", settings.selected);
    int colour = 0;
    if (ReadInt(*key, "Color", colour) && colour >= 0 && colour < kColourModes)
        settings.output.colour = colour;
    ReadInt(*key, "SubSample", settings.output.subSample);
    ReadInt(*key, "WaitTime", settings.output.waitTimeMs);
    ReadInt(*key, "Clock", settings.output.clock);
    return true;
}

bool SettingsStore::SaveCameraDialogSettings(int camera,
                                             const CameraDialogSettings& settings) const {
    return registry_.Update([&](RegistryTree& tree) {
        RegistryKey* key = tree.CreateKey(CameraPath(camera));
        if (key == nullptr) return false;
        const size_t entries = std::min<size_t>(settings.table.size(), kMaxWindowEntries);
        for (size_t number = 0; number < entries; ++number) {
            RegistryKey* entryKey =
                tree.CreateKey(Join(CameraPath(camera), SizeKeyName(static_cast<int>(number))));
            if (entryKey == nullptr) break;
            if (!WriteWindowEntry(*entryKey, settings.table[number])) break;
        }
        // Keys are nodes of the tree's map: making the entries leaves `key` where it was.
        return key->SetDword("Size", AsDword(settings.selected)) &&
               key->SetDword("Color", AsDword(settings.output.colour)) &&
               key->SetDword("SubSample", AsDword(settings.output.subSample)) &&
               key->SetDword("WaitTime", AsDword(settings.output.waitTimeMs)) &&
               key->SetDword("Clock", AsDword(settings.output.clock));
    });
}

bool SettingsStore::FindWindowEntry(int width, int height, WindowEntry& entry) const {
    RegistryTree tree;
    if (!registry_.Read(tree) || tree.OpenKey(kProductKey) == nullptr) return false;
    for (int number = 0; number < kMaxWindowEntries; ++number) {
        const RegistryKey* key = tree.OpenKey(Join(kProductKey, SizeKeyName(number)));
        if (key == nullptr) break;
        // A preset is found by its window size, the two numbers the caller asks for.
        const std::optional<WindowEntry> preset = ReadWindowEntry(*key);
        if (preset && preset->width == width && preset->height == height) {
            entry = *preset;
            return true;
        }
    }
    return false;
}

}  // namespace velcor::settings
