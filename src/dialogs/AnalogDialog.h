// The analog dialog: gains, exposure (in 0.1 ms or in seconds), black level, cooler, short
// exposure mode, gain mode, automatic exposure and mirrors, on the monochrome or the colour
// page by the sensor. Every change acts on the camera at once through the port; OK keeps the
// changes, any other end gives the camera back what it had when the dialog opened.
#pragma once

#include "dialogs/DialogBase.h"
#include "dialogs/DialogPorts.h"
#include "dialogs/DialogTexts.h"
#include "dialogs/ExposureText.h"

namespace velcor::dialogs {

namespace analog_ids {
inline constexpr SliderTrio kGlobalGain{1013, 1015, 1038};
inline constexpr SliderTrio kExposure{1026, 1027, 1043};
inline constexpr SliderTrio kColourGainGreen1{1018, 1019, 1039};
inline constexpr SliderTrio kColourGainRed{1020, 1021, 1040};
inline constexpr SliderTrio kColourGainBlue{1022, 1023, 1041};
inline constexpr SliderTrio kColourGainGreen2{1024, 1025, 1042};
inline constexpr SliderTrio kBlackLevel{2128, 2129, 2130};
inline constexpr int kExposureMs = 1049;
inline constexpr int kExposureSeconds = 2131;
inline constexpr int kExposureUnit = 2132;
inline constexpr int kExposureRange = 2133;
inline constexpr int kPeltier = 2124;
inline constexpr int kShortExposureMode = 2125;
inline constexpr int kGainMode = 2126;
inline constexpr int kAutoIrisGain = 1036;
inline constexpr int kAutoIrisExposure = 1037;
inline constexpr int kMirrorV = 1028;
inline constexpr int kMirrorH = 1029;
}  // namespace analog_ids

class AnalogDialog final : public DialogBase {
  public:
    // Reads the port's record; that record is what any end but OK restores.
    AnalogDialog(AnalogPort& port, const DialogTexts& texts);

    // Automatic exposure changed the gain (all gains) or the exposure (0.1 ms, and seconds)
    // meanwhile: shown in the controls without acting on the camera again. Any thread.
    void ShowAutoGain(int gain);
    void ShowAutoExposure(int exposure, double seconds);

  protected:
    void OnTrio(int trackbar, int value) override;
    void OnEditText(int id, const std::string& text) override;
    void OnSelect(int id, int index) override;
    void OnCheck(int id, bool checked) override;
    void OnClick(int id) override;
    void OnEnd(int result) override;

  private:
    void Build();
    // Shows the record in every control.
    void Refresh(const AnalogState& state);
    void ShowExposureMs(int exposure);
    void ShowExposureSeconds(double seconds);
    // The unit the unit combo has chosen.
    ExposureUnit ChosenUnit() const;
    void SetDefaults();

    AnalogPort& port_;
    const DialogTexts& texts_;
    const AnalogCapabilities caps_;
    // The record when the dialog opened.
    const AnalogState saved_;
    // The exposure in seconds the dialog shows.
    double exposureSeconds_ = 0.0;
    // The first unit the unit combo lists.
    ExposureUnit firstUnit_ = kNanoseconds;
};

}  // namespace velcor::dialogs
