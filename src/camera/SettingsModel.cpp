#include "camera/SettingsModel.h"

namespace velcor {

Settings SettingsModel::Copy() const {
    platform::CriticalSectionLock lock(lock_);
    return settings_;
}

void SettingsModel::KeepBalances(const FilterValues& before, const FilterValues& after) {
    platform::CriticalSectionLock lock(lock_);
    FilterValues& stored = settings_.filters;
    auto keep = [](int& target, int was, int now) {
        if (now != was) target = now;
    };
    keep(stored.bayerGainRed, before.bayerGainRed, after.bayerGainRed);
    keep(stored.bayerGainGreen, before.bayerGainGreen, after.bayerGainGreen);
    keep(stored.bayerGainBlue, before.bayerGainBlue, after.bayerGainBlue);
    keep(stored.grayGainR, before.grayGainR, after.grayGainR);
    keep(stored.grayGainG1, before.grayGainG1, after.grayGainG1);
    keep(stored.grayGainG2, before.grayGainG2, after.grayGainG2);
    keep(stored.grayGainB, before.grayGainB, after.grayGainB);
    keep(stored.autoGrayBalance, before.autoGrayBalance, after.autoGrayBalance);
}

void ApplyGainsAndExposure(CVelcorR3U2Base& engine, const AnalogValues& analog) {
    engine.SetGlobalGain(analog.globalGain);
    engine.SetColourGainGreen1(analog.colourGainGreen1);
    engine.SetColourGainRed(analog.colourGainRed);
    engine.SetColourGainBlue(analog.colourGainBlue);
    engine.SetColourGainGreen2(analog.colourGainGreen2);
    if (engine.IsExposureSecondsSupported()) {
        engine.SetExposureSeconds(analog.exposureSeconds);
    } else {
        engine.SetExposure(static_cast<uint32_t>(analog.exposure));
    }
}

}  // namespace velcor
