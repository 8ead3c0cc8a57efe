// The image filter values a camera object holds (filter ids 1-12, 19-28, 102 and 103): what
// the frame conversion reads for each frame. Bayer gains use 100 as unity, gray gains 128.
#pragma once

namespace velcor {

struct FilterValues {
    int brightness = 0, contrast = 0, hue = 0, saturation = 0, sharpness = 0;
    int bayerGainRed = 0, bayerGainGreen = 0, bayerGainBlue = 0;
    int gamma = 0, bayerMode = 0, grayMode = 0;
    int grayGainR = 0, grayGainG1 = 0, grayGainG2 = 0, grayGainB = 0;
    int grayOffsetR = 0, grayOffsetG1 = 0, grayOffsetG2 = 0, grayOffsetB = 0;
    int autoGrayBalance = 0;  // request count, decremented per balanced frame
    int bayerGainAuto = 0;
    int dotFilter = 0;   // dot correction on (filter id 102)
    int maskFilter = 0;  // pixel-mask correction on (filter id 103)

    // Values that leave a frame as the camera delivered it: unity gains, gamma 100, no offsets.
    static constexpr FilterValues Neutral() {
        FilterValues v;
        v.bayerGainRed = v.bayerGainGreen = v.bayerGainBlue = 100;
        v.gamma = 100;
        v.grayGainR = v.grayGainG1 = v.grayGainG2 = v.grayGainB = 128;
        return v;
    }
};

}  // namespace velcor
