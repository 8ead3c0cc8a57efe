#include "camera/DialogPorts.h"

#include "camera/Velcor.h"
#include "imaging/GrayAdjustments.h"
#include "imaging/PixelRoutines.h"

namespace velcor {
namespace {

dialogs::AnalogState ToDialog(const AnalogValues& a) {
    dialogs::AnalogState s;
    s.globalGain = a.globalGain;
    s.colourGainGreen1 = a.colourGainGreen1;
    s.colourGainRed = a.colourGainRed;
    s.colourGainBlue = a.colourGainBlue;
    s.colourGainGreen2 = a.colourGainGreen2;
    s.exposure = a.exposure;
    s.exposureSeconds = a.exposureSeconds;
    s.mirrorV = a.mirrorV;
    s.mirrorH = a.mirrorH;
    s.autoIris = a.autoExposureMode;
    s.blackLevel = a.blackLevel;
    s.cooler = a.cooler;
    s.shortExposureMode = a.shortExposureMode;
    s.gainMode = a.gainMode;
    return s;
}

// The record takes the dialog's values; what the dialog does not show stays.
void FromDialog(const dialogs::AnalogState& s, AnalogValues& a) {
    a.globalGain = s.globalGain;
    a.colourGainGreen1 = s.colourGainGreen1;
    a.colourGainRed = s.colourGainRed;
    a.colourGainBlue = s.colourGainBlue;
    a.colourGainGreen2 = s.colourGainGreen2;
    a.exposure = s.exposure;
    a.exposureSeconds = s.exposureSeconds;
    a.mirrorV = s.mirrorV;
    a.mirrorH = s.mirrorH;
    a.autoExposureMode = s.autoIris;
    a.blackLevel = s.blackLevel;
    a.cooler = s.cooler;
    a.shortExposureMode = s.shortExposureMode;
    a.gainMode = s.gainMode;
}

}  // namespace

// ---- Analog ----------------------------------------------------------------------------------

dialogs::AnalogCapabilities CameraAnalogPort::Capabilities() {
    CVelcorR3U2Base& e = *camera_.engine_;
    dialogs::AnalogCapabilities c;
    c.colour = e.IsColourSensor() != 0;
    c.globalGainMin = e.GetGlobalGainMin();
    c.globalGainMax = e.GetGlobalGainMax();
    c.globalGainDefault = e.GetGlobalGainDefault();
    c.colourGainMin = e.GetColourGainMin();
    c.colourGainMax = e.GetColourGainMax();
    c.colourGainDefault = e.GetColourGainDefault();
    c.exposureMin = e.GetExposureMin();
    c.exposureMax = e.GetExposureMax();
    c.exposureDefault = e.GetExposureDefault();
    c.exposureSeconds = e.IsExposureSecondsSupported() != 0 &&
                        e.GetExposureSecondsMin(&c.exposureSecondsMin) &&
                        e.GetExposureSecondsMax(&c.exposureSecondsMax);
    if (c.exposureSeconds) e.GetExposureSecondsDefault(&c.exposureSecondsDefault);
    c.blackLevel = e.IsBlackLevelSupported() != 0;
    c.blackLevelMin = e.GetBlackLevelMin();
    c.blackLevelMax = e.GetBlackLevelMax();
    c.blackLevelDefault = e.GetBlackLevelDefault();
    c.cooler = e.IsCoolerSupported() != 0;
    c.shortExposureMode = e.IsFixedExposureSupported() != 0;
    c.gainMode = e.IsGainModeSupported() != 0 && e.GetGainMode() != -1;
    return c;
}

dialogs::AnalogState CameraAnalogPort::Read() {
    platform::CriticalSectionLock lock(camera_.settings_.Lock());
    return ToDialog(camera_.settings_.Values().analog);
}

bool CameraAnalogPort::Set(dialogs::AnalogSetting setting, int value) {
    using dialogs::AnalogSetting;
    CVelcorR3U2Base& e = *camera_.engine_;
    platform::CriticalSectionLock lock(camera_.settings_.Lock());
    AnalogValues& a = camera_.settings_.Values().analog;
    // A value the camera refuses is not kept: the record must match the camera.
    auto keep = [&](int result, int& field) {
        if (result) field = value;
        return result != 0;
    };
    switch (setting) {
        case AnalogSetting::kGlobalGain:
            if (!e.SetGlobalGain(value)) return false;
            // The camera's global gain sets its colour gains too.
            a.globalGain = a.colourGainGreen1 = a.colourGainRed = a.colourGainBlue =
                a.colourGainGreen2 = value;
            return true;
        case AnalogSetting::kColourGainGreen1:
            return keep(e.SetColourGainGreen1(value), a.colourGainGreen1);
        case AnalogSetting::kColourGainRed:
            return keep(e.SetColourGainRed(value), a.colourGainRed);
        case AnalogSetting::kColourGainBlue:
            return keep(e.SetColourGainBlue(value), a.colourGainBlue);
        case AnalogSetting::kColourGainGreen2:
            return keep(e.SetColourGainGreen2(value), a.colourGainGreen2);
        case AnalogSetting::kExposure:
            return camera_.SetExposureUnits(value) != 0;
        case AnalogSetting::kBlackLevel:
            return e.IsBlackLevelSupported() && keep(e.SetBlackLevel(value), a.blackLevel);
        case AnalogSetting::kCooler:
            return e.IsCoolerSupported() && keep(e.SetCooler(value), a.cooler);
        case AnalogSetting::kShortExposureMode:
            return e.IsFixedExposureSupported() &&
                   keep(e.SetFixedExposure(value), a.shortExposureMode);
        case AnalogSetting::kGainMode:
            return e.IsGainModeSupported() && keep(e.SetGainMode(value), a.gainMode);
        case AnalogSetting::kAutoIris:
            if (value < 0 || value > 2) return false;
            a.autoExposureMode = value;
            return true;
        case AnalogSetting::kMirrorV:
            return keep(e.SetMirrorV(value), a.mirrorV);
        case AnalogSetting::kMirrorH:
            return keep(e.SetMirrorH(value), a.mirrorH);
    }
    return false;
}

bool CameraAnalogPort::SetExposureSeconds(double seconds) {
    CVelcorR3U2Base& e = *camera_.engine_;
    platform::CriticalSectionLock lock(camera_.settings_.Lock());
    AnalogValues& a = camera_.settings_.Values().analog;
    if (!e.IsExposureSecondsSupported() || !e.SetExposureSeconds(seconds)) return false;
    // What the camera made of it, in seconds and in 0.1 ms.
    double taken = seconds;
    a.exposureSeconds = e.GetExposureSeconds(&taken) ? taken : seconds;
    a.exposure = e.GetExposure();
    return true;
}

void CameraAnalogPort::Restore(const dialogs::AnalogState& saved) {
    CVelcorR3U2Base& e = *camera_.engine_;
    platform::CriticalSectionLock lock(camera_.settings_.Lock());
    AnalogValues& a = camera_.settings_.Values().analog;
    FromDialog(saved, a);
    ApplyGainsAndExposure(e, a);
    e.SetMirrorV(a.mirrorV);
    e.SetMirrorH(a.mirrorH);
    // The dialog changed these in the camera too; the record names them again, so the camera
    // must have them again.
    if (e.IsBlackLevelSupported()) e.SetBlackLevel(a.blackLevel);
    if (e.IsCoolerSupported()) e.SetCooler(a.cooler);
    if (e.IsFixedExposureSupported()) e.SetFixedExposure(a.shortExposureMode);
    if (e.IsGainModeSupported()) e.SetGainMode(a.gainMode);
}

// ---- Image -----------------------------------------------------------------------------------

dialogs::ImageValues CameraImagePort::Read() {
    platform::CriticalSectionLock lock(camera_.settings_.Lock());
    const FilterValues& f = camera_.settings_.Values().filters;
    dialogs::ImageValues v;
    v.brightness = f.brightness;
    v.contrast = f.contrast;
    v.hue = f.hue;
    v.saturation = f.saturation;
    v.sharpness = f.sharpness;
    v.gainRed = f.bayerGainRed;
    v.gainGreen = f.bayerGainGreen;
    v.gainBlue = f.bayerGainBlue;
    v.gamma = f.gamma;
    v.bayerMode = f.bayerMode;
    v.bayerGainAuto = f.bayerGainAuto;
    v.grayMode = f.grayMode;
    v.grayGainR = f.grayGainR;
    v.grayGainG1 = f.grayGainG1;
    v.grayGainG2 = f.grayGainG2;
    v.grayGainB = f.grayGainB;
    v.grayOffsetR = f.grayOffsetR;
    v.grayOffsetG1 = f.grayOffsetG1;
    v.grayOffsetG2 = f.grayOffsetG2;
    v.grayOffsetB = f.grayOffsetB;
    return v;
}

void CameraImagePort::Write(const dialogs::ImageValues& v) {
    platform::CriticalSectionLock lock(camera_.settings_.Lock());
    FilterValues& f = camera_.settings_.Values().filters;
    const FilterValues before = f;
    f.brightness = v.brightness;
    f.contrast = v.contrast;
    f.hue = v.hue;
    f.saturation = v.saturation;
    f.sharpness = v.sharpness;
    f.bayerGainRed = v.gainRed;
    f.bayerGainGreen = v.gainGreen;
    f.bayerGainBlue = v.gainBlue;
    f.gamma = v.gamma;
    f.bayerMode = v.bayerMode;
    f.bayerGainAuto = v.bayerGainAuto != 0 ? 1 : 0;
    f.grayMode = v.grayMode;
    f.grayGainR = v.grayGainR;
    f.grayGainG1 = v.grayGainG1;
    f.grayGainG2 = v.grayGainG2;
    f.grayGainB = v.grayGainB;
    f.grayOffsetR = v.grayOffsetR;
    f.grayOffsetG1 = v.grayOffsetG1;
    f.grayOffsetG2 = v.grayOffsetG2;
    f.grayOffsetB = v.grayOffsetB;
    // The conversion indexes its tables with these: a value outside what the filter setters
    // take keeps the one before.
    CVelcor::KeepAcceptedFilters(f, before);
}

void CameraImagePort::BalanceOnce(bool gray) {
    if (gray) {
        // The next converted frame balances the gray gains once.
        platform::CriticalSectionLock lock(camera_.settings_.Lock());
        camera_.settings_.Values().filters.autoGrayBalance = 1;
        return;
    }
    // White balance from the frame the camera delivered last, as the conversion does it on
    // every frame when "All frames" is on.
    camera_.session_->LendRawFrame([&](const DibImage* raw) {
        if (raw == nullptr || raw->Pixels() == nullptr) return;
        platform::CriticalSectionLock lock(camera_.settings_.Lock());
        FilterValues& f = camera_.settings_.Values().filters;
        const AnalogValues& a = camera_.settings_.Values().analog;
        const int bayerMode = MirroredBayerMode(f.bayerMode, a.mirrorV != 0, a.mirrorH != 0);
        AutoBayerGain(*raw, bayerMode, f);
    });
}

}  // namespace velcor
