#include "camera/StoredSettings.h"

namespace velcor {

settings::AnalogSettings ToStored(const AnalogValues& analog) {
    settings::AnalogSettings s;
    s.globalGain = analog.globalGain;
    s.colourGainGreen1 = analog.colourGainGreen1;
    s.colourGainRed = analog.colourGainRed;
    s.colourGainBlue = analog.colourGainBlue;
    s.colourGainGreen2 = analog.colourGainGreen2;
    s.exposure = analog.exposure;
    s.mirrorV = analog.mirrorV;
    s.mirrorH = analog.mirrorH;
    s.autoIris = analog.autoExposureMode;
    s.gainMode = analog.gainMode;
    s.blackLevel = analog.blackLevel;
    s.exposureSeconds = analog.exposureSeconds;
    return s;
}

settings::FilterSettings ToStoredFilters(const FilterValues& filters) {
    settings::FilterSettings s;
    s.brightness = filters.brightness;
    s.contrast = filters.contrast;
    s.hue = filters.hue;
    s.saturation = filters.saturation;
    s.sharpness = filters.sharpness;
    s.gainRed = filters.bayerGainRed;
    s.gainGreen = filters.bayerGainGreen;
    s.gainBlue = filters.bayerGainBlue;
    s.gamma = filters.gamma;
    s.bayerMode = filters.bayerMode;
    return s;
}

settings::GraySettings ToStoredGray(const FilterValues& filters) {
    settings::GraySettings s;
    s.mode = filters.grayMode;
    s.gainR1 = filters.grayGainR;
    s.gainG1 = filters.grayGainG1;
    s.gainG2 = filters.grayGainG2;
    s.gainB1 = filters.grayGainB;
    s.offsetR1 = filters.grayOffsetR;
    s.offsetG1 = filters.grayOffsetG1;
    s.offsetG2 = filters.grayOffsetG2;
    s.offsetB1 = filters.grayOffsetB;
    return s;
}

void FromStored(const settings::AnalogSettings& stored, AnalogValues& analog) {
    analog.globalGain = stored.globalGain;
    analog.colourGainGreen1 = stored.colourGainGreen1;
    analog.colourGainRed = stored.colourGainRed;
    analog.colourGainBlue = stored.colourGainBlue;
    analog.colourGainGreen2 = stored.colourGainGreen2;
    analog.exposure = stored.exposure;
    analog.mirrorV = stored.mirrorV;
    analog.mirrorH = stored.mirrorH;
    analog.autoExposureMode = stored.autoIris;
    analog.gainMode = stored.gainMode;
    analog.blackLevel = stored.blackLevel;
    analog.exposureSeconds = stored.exposureSeconds;
}

void FromStored(const settings::FilterSettings& stored, FilterValues& filters) {
    filters.brightness = stored.brightness;
    filters.contrast = stored.contrast;
    filters.hue = stored.hue;
    filters.saturation = stored.saturation;
    filters.sharpness = stored.sharpness;
    filters.bayerGainRed = stored.gainRed;
    filters.bayerGainGreen = stored.gainGreen;
    filters.bayerGainBlue = stored.gainBlue;
    filters.gamma = stored.gamma;
    filters.bayerMode = stored.bayerMode;
}

void FromStored(const settings::GraySettings& stored, FilterValues& filters) {
    filters.grayMode = stored.mode;
    filters.grayGainR = stored.gainR1;
    filters.grayGainG1 = stored.gainG1;
    filters.grayGainG2 = stored.gainG2;
    filters.grayGainB = stored.gainB1;
    filters.grayOffsetR = stored.offsetR1;
    filters.grayOffsetG1 = stored.offsetG1;
    filters.grayOffsetG2 = stored.offsetG2;
    filters.grayOffsetB = stored.offsetB1;
}

}  // namespace velcor
