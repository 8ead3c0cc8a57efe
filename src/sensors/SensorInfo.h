// The description record that every sensor driver fills in its constructor: sizes, the window
// in force, ranges, current values and defaults of each setting, and the pixel clock.
//
// The record is 344 bytes and is copied whole to callers (GetSensorInfo), so its layout is
// fixed; the camera engine also reads the size, window, mirror and orientation fields directly.
#pragma once

#include <cstddef>
#include <cstdint>

namespace velcor {

struct SensorInfo {
    int32_t fullWidth;
    int32_t fullHeight;
    // The readout window that Initialize programs.
    int32_t defaultX;
    int32_t defaultY;
    int32_t defaultWidth;
    int32_t defaultHeight;
    // 1 where the window may be narrowed horizontally / vertically.
    int32_t hWindowSupported;
    int32_t vWindowSupported;
    // The window in force; written only by SetWindow.
    int32_t windowX;
    int32_t windowY;
    int32_t windowWidth;
    int32_t windowHeight;
    int32_t lineLength;  // pixel clocks per sensor line
    int32_t frameLines;  // lines per frame
    int32_t windowMode;  // readout mode of the last SetWindow
    int32_t defaultWindowMode;
    int32_t windowModeFlag;

    // Setting groups: minimum, maximum, current, default, supported.
    int32_t gainMin, gainMax, gain, gainDefault, gainSupported;
    int32_t linesMin, linesMax, lines, linesDefault, linesSupported;
    int32_t colourGainMin, colourGainMax, colourGainRed, colourGainDefault, colourGainSupported;
    int32_t colourGainGreen1Min, colourGainGreen1Max, colourGainGreen1, colourGainGreen1Default,
        colourGainGreen1Supported;
    int32_t colourGainGreen2Min, colourGainGreen2Max, colourGainGreen2, colourGainGreen2Default,
        colourGainGreen2Supported;
    int32_t colourGainBlueMin, colourGainBlueMax, colourGainBlue, colourGainBlueDefault,
        colourGainBlueSupported;
    // Exposure in tenths of a millisecond.
    int32_t exposureMin, exposureMax, exposure, exposureDefault, exposureSupported;
    int32_t blackLevelMin, blackLevelMax, blackLevel, blackLevelDefault, blackLevelSupported;
    int32_t gainStepMin, gainStepMax, gainStep, gainStepDefault, gainStepSupported;

    // Exposure in seconds.
    double exposureSecondsMin;
    double exposureSecondsMax;
    double exposureSeconds;
    double exposureSecondsDefault;
    int32_t exposureSecondsSupported;

    double fixedExposureSeconds;  // the exposure of the fixed short-exposure mode
    int32_t fixedExposureMode;    // 1 while that mode is on

    int32_t mirrorV;
    int32_t mirrorVDefault;
    int32_t mirrorVHardware;  // 0: the image is mirrored in software
    int32_t mirrorH;
    int32_t mirrorHDefault;
    int32_t mirrorHHardware;

    int32_t bitDepth;     // 8 or 16 bits per delivered pixel
    int32_t clockKHz;     // pixel clock; every time/lines conversion uses it
    int32_t orientation;  // 1..4: 2 and 4 reverse each row, 3 and 4 reverse the row order

    uint16_t reserved[4];
};

static_assert(sizeof(SensorInfo) == 344);
static_assert(offsetof(SensorInfo, fullWidth) == 0);
static_assert(offsetof(SensorInfo, hWindowSupported) == 24);
static_assert(offsetof(SensorInfo, windowX) == 32);
static_assert(offsetof(SensorInfo, windowHeight) == 44);
static_assert(offsetof(SensorInfo, lineLength) == 48);
static_assert(offsetof(SensorInfo, windowMode) == 56);
static_assert(offsetof(SensorInfo, gainMin) == 68);
static_assert(offsetof(SensorInfo, linesMin) == 88);
static_assert(offsetof(SensorInfo, colourGainMin) == 108);
static_assert(offsetof(SensorInfo, exposureMin) == 188);
static_assert(offsetof(SensorInfo, blackLevelMin) == 208);
static_assert(offsetof(SensorInfo, gainStepMin) == 228);
static_assert(offsetof(SensorInfo, exposureSecondsMin) == 248);
static_assert(offsetof(SensorInfo, exposureSecondsSupported) == 280);
static_assert(offsetof(SensorInfo, fixedExposureSeconds) == 288);
static_assert(offsetof(SensorInfo, fixedExposureMode) == 296);
static_assert(offsetof(SensorInfo, mirrorV) == 300);
static_assert(offsetof(SensorInfo, mirrorH) == 312);
static_assert(offsetof(SensorInfo, bitDepth) == 324);
static_assert(offsetof(SensorInfo, clockKHz) == 328);
static_assert(offsetof(SensorInfo, orientation) == 332);
static_assert(offsetof(SensorInfo, reserved) == 336);

}  // namespace velcor
