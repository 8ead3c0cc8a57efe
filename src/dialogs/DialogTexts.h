// The texts the dialogs show, one table per language (UTF-8): Japanese on a Japanese system,
// English elsewhere.
#pragma once

namespace velcor::dialogs {

struct DialogTexts {
    // ---- Frames and their buttons
    const char* title;
    const char* tabStreamFormat;
    const char* tabAnalogGain;
    const char* tabImageFilter;
    const char* tabGrayFilter;
    const char* ok;
    const char* cancel;
    const char* defaults;
    const char* apply;

    // ---- Stream format
    const char* outputFormat;
    const char* monochrome8;
    const char* monochromeWideFormat;  // printf format, the depth
    const char* colour24;
    const char* colour32;
    const char* colour48;
    const char* colour64;
    const char* size;
    const char* custom;
    const char* subSample;
    const char* clock;
    const char* clockNormal;
    const char* clockHalf;
    const char* clockHighFormat;  // printf format, the clock in MHz
    const char* hTotal;
    const char* vTotal;
    const char* hEffective;
    const char* vEffective;
    const char* hStart;
    const char* vStart;
    const char* waitTime;
    const char* wordTransferNote;

    // ---- Analog gain
    const char* globalGain;
    const char* exposure;
    const char* exposureSeconds;
    const char* blackLevel;
    const char* peltier;
    const char* shortExposureMode;
    const char* gainMode;
    const char* highGain;
    const char* lowGain;
    const char* autoIris;
    const char* autoIrisGain;
    const char* autoIrisExposure;
    const char* mirror;
    const char* mirrorV;
    const char* mirrorH;
    const char* colourGainGreen1;
    const char* colourGainRed;
    const char* colourGainBlue;
    const char* colourGainGreen2;

    // ---- Image filter
    const char* brightness;
    const char* contrast;
    const char* hue;
    const char* saturation;
    const char* sharpness;
    const char* gainRed;
    const char* gainGreen;
    const char* gainBlue;
    const char* gamma;
    const char* autoWhiteBalance;
    const char* once;
    const char* allFrames;
    const char* bayerMode;

    // ---- Gray filter
    const char* grayGain;
    const char* grayOffset;
    const char* red;
    const char* green1;
    const char* green2;
    const char* blue;
    const char* filterMode;
    const char* filterBayer;
    const char* filterBayerConvert;
    const char* filterGrayscale;
    const char* autoGain;
};

// The table for a Windows language identifier: Japanese for 1041, English for any other.
const DialogTexts& TextsFor(int langId);

// Exposure units, the same in both languages ("μs" with the Greek small letter mu).
inline constexpr const char* kExposureUnits[4] = {"ns", "\xCE\xBCs", "ms", "sec"};

}  // namespace velcor::dialogs
