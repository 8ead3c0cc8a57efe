// How the analog and image dialogs reach the camera: the camera object implements these ports,
// so the dialogs act on the camera at once without knowing the engine or the camera object.
// A port is called on the dialog's thread while the dialog's lock is held; it must not call
// back into the dialog.
#pragma once

namespace velcor::dialogs {

// ---- Analog settings ------------------------------------------------------------------------

// What the camera offers: ranges, defaults and which controls apply.
struct AnalogCapabilities {
    bool colour = false;
    int globalGainMin = 0, globalGainMax = 0, globalGainDefault = 0;
    int colourGainMin = 0, colourGainMax = 0, colourGainDefault = 0;
    int exposureMin = 0, exposureMax = 0, exposureDefault = 0;  // 0.1 ms
    bool exposureSeconds = false;
    double exposureSecondsMin = 0.0, exposureSecondsMax = 0.0, exposureSecondsDefault = 0.0;
    bool blackLevel = false;
    int blackLevelMin = 0, blackLevelMax = 0, blackLevelDefault = 0;
    bool cooler = false;
    bool shortExposureMode = false;
    // Shown only when the camera has a gain mode it can report.
    bool gainMode = false;
};

// The camera object's analog record as the dialog shows it.
struct AnalogState {
    int globalGain = 0;
    int colourGainGreen1 = 0, colourGainRed = 0, colourGainBlue = 0, colourGainGreen2 = 0;
    int exposure = 0;  // 0.1 ms
    double exposureSeconds = 0.0;
    int mirrorV = 0, mirrorH = 0;
    int autoIris = 0;  // 0 off, 1 exposure, 2 gain
    int blackLevel = 0;
    int cooler = 0;
    int shortExposureMode = 0;
    int gainMode = 0;
};

enum class AnalogSetting {
    kGlobalGain,
    kColourGainGreen1,
    kColourGainRed,
    kColourGainBlue,
    kColourGainGreen2,
    kExposure,
    kBlackLevel,
    kCooler,
    kShortExposureMode,
    kGainMode,
    kAutoIris,
    kMirrorV,
    kMirrorH,
};

class AnalogPort {
  public:
    virtual ~AnalogPort() = default;
    virtual AnalogCapabilities Capabilities() = 0;
    // The record, as the camera holds it now.
    virtual AnalogState Read() = 0;
    // Sets one value in the camera and the record; false when the camera refused it.
    virtual bool Set(AnalogSetting setting, int value) = 0;
    virtual bool SetExposureSeconds(double seconds) = 0;
    // Gives the camera back the gains, the exposure and the mirrors of `saved` and makes it
    // the whole record again (a dialog that did not end with OK).
    virtual void Restore(const AnalogState& saved) = 0;
};

// ---- Image filter and gray filter ---------------------------------------------------------

struct ImageValues {
    int brightness = 0, contrast = 0, hue = 0, saturation = 0, sharpness = 0;
    int gainRed = 100, gainGreen = 100, gainBlue = 100;
    int gamma = 100;
    int bayerMode = 3;
    int bayerGainAuto = 0;  // automatic white balance on every frame
    int grayMode = 0;       // 0 Bayer, 1 Bayer convert, 2 grayscale
    int grayGainR = 128, grayGainG1 = 128, grayGainG2 = 128, grayGainB = 128;
    int grayOffsetR = 0, grayOffsetG1 = 0, grayOffsetG2 = 0, grayOffsetB = 0;

    bool operator==(const ImageValues&) const = default;
};

class ImagePort {
  public:
    virtual ~ImagePort() = default;
    virtual ImageValues Read() = 0;
    // The frame conversion uses these values from the next frame on.
    virtual void Write(const ImageValues& values) = 0;
    // One automatic white balance (colour modes) or gray balance (gray page) on the next frame.
    virtual void BalanceOnce(bool gray) = 0;
};

}  // namespace velcor::dialogs
