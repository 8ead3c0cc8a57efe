// The per-camera settings kept in the current user's registry between runs, under
// HKEY_CURRENT_USER\Software\Moniva\VelcorTX403T2Sdk:
//
//   Size_NN           size presets that Velcor_SetCaptureWindow looks up (nothing writes them)
//   Camera_NN         one key per camera number: "Size", "Color", "SubSample", "WaitTime",
//                     "Clock"
//     Size_NN         the camera dialog's window table, numbered from 00 without gaps:
//                     "TH", "TV", "EH", "EV", "EHS", "EVS", "Buf"
//     Gain            analog settings
//     Filter          image adjustments
//     Gray            gray mode
//
// Every value is a DWORD but "ExposureEx", an 8-byte little-endian IEEE double. A load that
// cannot open its key answers false and fills the table's defaults (or leaves the record as it
// was, where that is the rule); a value missing inside an existing key loads its default. Each
// save is one read-modify-write of the registry, so saves of several processes never undo each
// other.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Registry.h"

namespace velcor::settings {

inline constexpr char kProductKey[] = "Software\\Moniva\\VelcorTX403T2Sdk";
inline constexpr int kMaxWindowEntries = 100;

// One "Size_NN" entry: a readout window and the total size it refers to.
struct WindowEntry {
    int totalWidth = 1280;   // "TH"
    int totalHeight = 1024;  // "TV"
    int width = 1280;        // "EH"
    int height = 1024;       // "EV"
    int xStart = 0;          // "EHS"
    int yStart = 0;          // "EVS"
    int buffer = 4;          // "Buf": stored and loaded, used by nothing else

    bool operator==(const WindowEntry&) const = default;
};

// What the colour rules need to know of the camera's sensor.
struct SensorOutput {
    bool colour = false;
    bool allows8Bit = false;
    bool allows16Bit = false;
};

// The values of "Camera_NN". "Color" is the colour-mode index 0-5 (8, 16, 24, 32, 48, 64 bits).
struct OutputSettings {
    int colour = 0;
    int subSample = 0;
    int waitTimeMs = 10;
    int clock = 0;

    bool operator==(const OutputSettings&) const = default;
};

// The "Gain" key, in the order of its values.
struct AnalogSettings {
    int globalGain = 0;
    int colourGainGreen1 = 0, colourGainRed = 0, colourGainBlue = 0, colourGainGreen2 = 0;
    int exposure = 0;  // 0.1 ms
    int mirrorV = 0, mirrorH = 0;
    int autoIris = 0;  // 0 off, 1 exposure, 2 gain
    int gainMode = 0;
    int blackLevel = 0;
    double exposureSeconds = 0.0;

    bool operator==(const AnalogSettings&) const = default;
};

// The "Filter" key. Bayer gains and gamma use 100 as unity.
struct FilterSettings {
    int brightness = 0, contrast = 0, hue = 0, saturation = 0, sharpness = 0;
    int gainRed = 100, gainGreen = 100, gainBlue = 100;
    int gamma = 100;
    int bayerMode = 3;

    bool operator==(const FilterSettings&) const = default;
};

// The "Gray" key. Gains use 128 as unity; the gray mode adds the offsets to every sample, so
// 0 is the neutral offset.
struct GraySettings {
    int mode = 0;
    int gainR1 = 128, gainG1 = 128, gainG2 = 128, gainB1 = 128;
    int offsetR1 = 0, offsetG1 = 0, offsetG2 = 0, offsetB1 = 0;

    bool operator==(const GraySettings&) const = default;
};

// What the camera dialog edits: the whole window table and the five values of "Camera_NN".
struct CameraDialogSettings {
    std::vector<WindowEntry> table;
    int selected = 0;  // "Size"
    OutputSettings output;
};

// The "Color" written on a first run: 2 (24 bits) for a colour sensor; a monochrome one gets 1
// (16 bits) when it has 16-bit output, else 0 (8 bits) when it has 8-bit output, else 2.
int DefaultColour(const SensorOutput& sensor);
// A stored "Color" made fit for the sensor: a depth it cannot deliver becomes one it can.
int CorrectColour(int colour, const SensorOutput& sensor);

class SettingsStore {
  public:
    // The store in the current user's registry file.
    SettingsStore() = default;
    // The store in a registry that a test or tool names.
    explicit SettingsStore(platform::Registry registry) : registry_(std::move(registry)) {}

    // "Camera_%02d".
    static std::string CameraKey(int camera);

    // On a first run (no product key) creates the product key, "Camera_NN" with its "Size_00"
    // default entry and the five defaults ("Color" by the sensor rule), leaves `window` as it
    // is and answers true. Otherwise reads the entry that "Size" selects into `window`;
    // anything missing leaves `window` as it was and answers false.
    bool LoadWindowSettings(int camera, const SensorOutput& sensor, WindowEntry& window) const;
    // Reads the five values but "Size" into `output`, "Color" corrected for the sensor. A
    // missing value, or a "Color" that is no colour mode, leaves its field as it was.
    bool LoadOutputSettings(int camera, const SensorOutput& sensor, OutputSettings& output) const;

    // Each load starts `settings` from `defaults` and reads what the key holds over it; false
    // when the key cannot be opened.
    bool LoadAnalogSettings(int camera, const AnalogSettings& defaults,
                            AnalogSettings& settings) const;
    bool SaveAnalogSettings(int camera, const AnalogSettings& settings) const;
    bool LoadFilterSettings(int camera, FilterSettings& settings) const;
    bool SaveFilterSettings(int camera, const FilterSettings& settings) const;
    bool LoadGraySettings(int camera, GraySettings& settings) const;
    bool SaveGraySettings(int camera, const GraySettings& settings) const;

    // The window table ("Size_00" upwards, up to the first missing number) and the five values.
    bool LoadCameraDialogSettings(int camera, CameraDialogSettings& settings) const;
    // Writes the table as "Size_00"... and the five values; entries past the table's length
    // that earlier runs wrote stay.
    bool SaveCameraDialogSettings(int camera, const CameraDialogSettings& settings) const;

    // The first size preset directly under the product key whose window is width x height.
    bool FindWindowEntry(int width, int height, WindowEntry& entry) const;

    const platform::Registry& Registry() const { return registry_; }

  private:
    platform::Registry registry_;
};

}  // namespace velcor::settings
