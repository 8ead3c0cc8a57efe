#include "dialogs/AnalogDialog.h"

#include <algorithm>
#include <cstdio>

namespace velcor::dialogs {
namespace {

using namespace analog_ids;

constexpr int kFirstStaticId = 5000;

}  // namespace

AnalogDialog::AnalogDialog(AnalogPort& port, const DialogTexts& texts)
    : DialogBase(texts.title, {texts.tabAnalogGain}),
      port_(port),
      texts_(texts),
      caps_(port.Capabilities()),
      saved_(port.Read()) {
    std::lock_guard lock(Mutex());
    Build();
    Refresh(saved_);
}

void AnalogDialog::Build() {
    int staticId = kFirstStaticId;
    const AnalogState& s = saved_;
    int row = 0;
    SetupSliderTrio(kGlobalGain, 0, row++, texts_.globalGain, caps_.globalGainMin,
                    caps_.globalGainMax, s.globalGain, true);
    if (caps_.colour) {
        const struct {
            SliderTrio trio;
            const char* label;
            int value;
        } colourGains[] = {
            {kColourGainGreen1, texts_.colourGainGreen1, s.colourGainGreen1},
            {kColourGainRed, texts_.colourGainRed, s.colourGainRed},
            {kColourGainBlue, texts_.colourGainBlue, s.colourGainBlue},
            {kColourGainGreen2, texts_.colourGainGreen2, s.colourGainGreen2},
        };
        for (const auto& gain : colourGains) {
            SetupSliderTrio(gain.trio, 0, row++, gain.label, caps_.colourGainMin,
                            caps_.colourGainMax, gain.value, true);
        }
    }

    // The exposure in 0.1 ms, or in seconds where the camera takes seconds.
    SetupSliderTrio(kExposure, 0, row, texts_.exposure, caps_.exposureMin, caps_.exposureMax,
                    s.exposure, true);
    Add(ControlSpec(kExposureMs, ControlKind::kLabel).Row(row++));
    for (int id : {kExposure.trackbar, kExposure.edit, kExposure.upDown, kExposureMs})
        SetVisible(id, !caps_.exposureSeconds);

    Control unit = ControlSpec(kExposureUnit, ControlKind::kCombo).Row(row);
    if (caps_.exposureSeconds) {
        firstUnit_ = UnitFor(caps_.exposureSecondsMin);
        const ExposureUnit last = std::max(firstUnit_, UnitFor(caps_.exposureSecondsMax));
        for (int u = firstUnit_; u <= last; ++u)
            unit.items.push_back(kExposureUnits[u]);
    }
    Add(ControlSpec(staticId++, ControlKind::kLabel)
            .Row(row)
            .Label(texts_.exposureSeconds)
            .Visible(caps_.exposureSeconds));
    Add(ControlSpec(kExposureSeconds, ControlKind::kEdit).Row(row).Visible(caps_.exposureSeconds));
    unit.visible = caps_.exposureSeconds;
    Add(std::move(unit));
    Add(ControlSpec(kExposureRange, ControlKind::kLabel)
            .Row(row++)
            .Label(caps_.exposureSeconds
                       ? FormatExposureRange(caps_.exposureSecondsMin, caps_.exposureSecondsMax)
                       : std::string())
            .Visible(caps_.exposureSeconds));
    if (caps_.exposureSeconds) {
        // The unit the value reads best in, among those listed.
        exposureSeconds_ = s.exposureSeconds;
        const int listed = static_cast<int>(Get(kExposureUnit)->items.size());
        SetSelection(kExposureUnit, std::clamp(UnitFor(exposureSeconds_) - firstUnit_, 0,
                                               std::max(0, listed - 1)));
    }

    SetupSliderTrio(kBlackLevel, 0, row++, texts_.blackLevel, caps_.blackLevelMin,
                    caps_.blackLevelMax, s.blackLevel, caps_.blackLevel);
    for (int id : {kBlackLevel.trackbar, kBlackLevel.edit, kBlackLevel.upDown})
        SetVisible(id, caps_.blackLevel);

    Add(ControlSpec(kPeltier, ControlKind::kCheck)
            .Row(row)
            .Label(texts_.peltier)
            .Visible(caps_.cooler));
    Add(ControlSpec(kShortExposureMode, ControlKind::kCheck)
            .Row(row++)
            .Label(texts_.shortExposureMode)
            .Visible(caps_.shortExposureMode));
    Add(ControlSpec(staticId++, ControlKind::kLabel)
            .Row(row)
            .Label(texts_.gainMode)
            .Visible(caps_.gainMode));
    Add(ControlSpec(kGainMode, ControlKind::kCombo)
            .Row(row++)
            .Items({texts_.highGain, texts_.lowGain})
            .Visible(caps_.gainMode));

    Add(ControlSpec(staticId++, ControlKind::kGroup).Row(row++).Label(texts_.autoIris));
    Add(ControlSpec(kAutoIrisGain, ControlKind::kCheck).Row(row).Label(texts_.autoIrisGain));
    Add(ControlSpec(kAutoIrisExposure, ControlKind::kCheck)
            .Row(row++)
            .Label(texts_.autoIrisExposure));
    Add(ControlSpec(staticId++, ControlKind::kGroup).Row(row++).Label(texts_.mirror));
    Add(ControlSpec(kMirrorV, ControlKind::kCheck).Row(row).Label(texts_.mirrorV));
    Add(ControlSpec(kMirrorH, ControlKind::kCheck).Row(row++).Label(texts_.mirrorH));

    Add(ControlSpec(kIdOk, ControlKind::kButton).Page(-1).Label(texts_.ok));
    Add(ControlSpec(kIdCancel, ControlKind::kButton).Page(-1).Label(texts_.cancel));
    Add(ControlSpec(kIdDefault, ControlKind::kButton).Page(-1).Label(texts_.defaults));
}

void AnalogDialog::Refresh(const AnalogState& s) {
    ShowTrioValue(kGlobalGain.trackbar, s.globalGain);
    if (caps_.colour) {
        ShowTrioValue(kColourGainGreen1.trackbar, s.colourGainGreen1);
        ShowTrioValue(kColourGainRed.trackbar, s.colourGainRed);
        ShowTrioValue(kColourGainBlue.trackbar, s.colourGainBlue);
        ShowTrioValue(kColourGainGreen2.trackbar, s.colourGainGreen2);
    }
    ShowExposureMs(s.exposure);
    if (caps_.exposureSeconds) ShowExposureSeconds(s.exposureSeconds);
    ShowTrioValue(kBlackLevel.trackbar, s.blackLevel);
    SetChecked(kPeltier, s.cooler != 0);
    SetChecked(kShortExposureMode, s.shortExposureMode != 0);
    SetSelection(kGainMode, s.gainMode == 1 ? 1 : 0);
    SetChecked(kAutoIrisGain, s.autoIris == 2);
    SetChecked(kAutoIrisExposure, s.autoIris == 1);
    SetChecked(kMirrorV, s.mirrorV != 0);
    SetChecked(kMirrorH, s.mirrorH != 0);
}

void AnalogDialog::ShowExposureMs(int exposure) {
    ShowTrioValue(kExposure.trackbar, exposure);
    char text[32];
    std::snprintf(text, sizeof text, "=%.2fms", exposure / 10.0);
    Get(kExposureMs)->label = text;
    Touch();
}

void AnalogDialog::ShowExposureSeconds(double seconds) {
    exposureSeconds_ = seconds;
    SetText(kExposureSeconds, FormatExposure(seconds, ChosenUnit()));
}

ExposureUnit AnalogDialog::ChosenUnit() const {
    const int selection = std::max(Get(kExposureUnit)->selection, 0);
    return static_cast<ExposureUnit>(std::min(firstUnit_ + selection, int{kSeconds}));
}

void AnalogDialog::ShowAutoGain(int gain) {
    std::lock_guard lock(Mutex());
    // Automatic exposure reports after every frame; only a change moves the revision.
    if (Get(kGlobalGain.trackbar)->position == gain) return;
    ShowTrioValue(kGlobalGain.trackbar, gain);
    if (!caps_.colour) return;
    for (const SliderTrio& trio :
         {kColourGainGreen1, kColourGainRed, kColourGainBlue, kColourGainGreen2}) {
        ShowTrioValue(trio.trackbar, gain);
    }
}

void AnalogDialog::ShowAutoExposure(int exposure, double seconds) {
    std::lock_guard lock(Mutex());
    if (Get(kExposure.trackbar)->position == exposure) return;
    ShowExposureMs(exposure);
    if (caps_.exposureSeconds) ShowExposureSeconds(seconds);
}

// ---- Events ----------------------------------------------------------------------------------

void AnalogDialog::OnTrio(int trackbar, int value) {
    const struct {
        int trackbar;
        AnalogSetting setting;
    } settings[] = {
        {kGlobalGain.trackbar, AnalogSetting::kGlobalGain},
        {kColourGainGreen1.trackbar, AnalogSetting::kColourGainGreen1},
        {kColourGainRed.trackbar, AnalogSetting::kColourGainRed},
        {kColourGainBlue.trackbar, AnalogSetting::kColourGainBlue},
        {kColourGainGreen2.trackbar, AnalogSetting::kColourGainGreen2},
        {kExposure.trackbar, AnalogSetting::kExposure},
        {kBlackLevel.trackbar, AnalogSetting::kBlackLevel},
    };
    for (const auto& s : settings) {
        if (s.trackbar == trackbar) port_.Set(s.setting, value);
    }
    // What the camera took, and what followed from it (the colour gains with the global gain,
    // the seconds with the exposure).
    Refresh(port_.Read());
}

void AnalogDialog::OnEditText(int id, const std::string& text) {
    if (id != kExposureSeconds || !caps_.exposureSeconds) return;
    if (std::optional<double> seconds = ParseExposure(text, ChosenUnit())) {
        port_.SetExposureSeconds(
            std::clamp(*seconds, caps_.exposureSecondsMin, caps_.exposureSecondsMax));
    }
    Refresh(port_.Read());
}

void AnalogDialog::OnSelect(int id, int index) {
    if (id == kExposureUnit) {
        ShowExposureSeconds(exposureSeconds_);
    } else if (id == kGainMode) {
        port_.Set(AnalogSetting::kGainMode, index);
        Refresh(port_.Read());
    }
}

void AnalogDialog::OnCheck(int id, bool checked) {
    switch (id) {
        case kAutoIrisGain:
        case kAutoIrisExposure: {
            // The two boxes exclude each other: gain (2), exposure (1) or neither (0).
            if (checked) SetChecked(id == kAutoIrisGain ? kAutoIrisExposure : kAutoIrisGain, false);
            const int mode = Get(kAutoIrisGain)->position != 0       ? 2
                             : Get(kAutoIrisExposure)->position != 0 ? 1
                                                                     : 0;
            port_.Set(AnalogSetting::kAutoIris, mode);
            break;
        }
        case kMirrorV:
            port_.Set(AnalogSetting::kMirrorV, checked ? 1 : 0);
            break;
        case kMirrorH:
            port_.Set(AnalogSetting::kMirrorH, checked ? 1 : 0);
            break;
        case kPeltier:
            port_.Set(AnalogSetting::kCooler, checked ? 1 : 0);
            break;
        case kShortExposureMode:
            port_.Set(AnalogSetting::kShortExposureMode, checked ? 1 : 0);
            break;
        default:
            return;
    }
    Refresh(port_.Read());
}

void AnalogDialog::OnClick(int id) {
    if (id == kIdDefault) SetDefaults();
}

void AnalogDialog::SetDefaults() {
    port_.Set(AnalogSetting::kGlobalGain, caps_.globalGainDefault);
    if (caps_.colour) {
        for (AnalogSetting gain :
             {AnalogSetting::kColourGainGreen1, AnalogSetting::kColourGainRed,
              AnalogSetting::kColourGainBlue, AnalogSetting::kColourGainGreen2}) {
            port_.Set(gain, caps_.colourGainDefault);
        }
    }
    if (caps_.exposureSeconds) {
        port_.SetExposureSeconds(caps_.exposureSecondsDefault);
    } else {
        port_.Set(AnalogSetting::kExposure, caps_.exposureDefault);
    }
    if (caps_.blackLevel) port_.Set(AnalogSetting::kBlackLevel, caps_.blackLevelDefault);
    if (caps_.cooler) port_.Set(AnalogSetting::kCooler, 1);
    if (caps_.shortExposureMode) port_.Set(AnalogSetting::kShortExposureMode, 0);
    if (caps_.gainMode) port_.Set(AnalogSetting::kGainMode, 0);
    const AnalogState now = port_.Read();
    if (caps_.exposureSeconds) {
        // The default reads best in its own unit.
        SetSelection(kExposureUnit,
                     std::clamp(UnitFor(now.exposureSeconds) - firstUnit_, 0,
                                static_cast<int>(Get(kExposureUnit)->items.size()) - 1));
    }
    Refresh(now);
}

void AnalogDialog::OnEnd(int result) {
    if (result != kDialogOk) port_.Restore(saved_);
}

}  // namespace velcor::dialogs
