// The image dialog: the image filter page (brightness ... gamma, automatic white balance, Bayer
// mode) and, for the monochrome output modes, the gray filter page (gray gains and offsets,
// filter mode, automatic gain). Every change reaches the frame conversion at once through the
// port; OK keeps the values, any other end puts back those the dialog opened with.
#pragma once

#include <array>

#include "dialogs/DialogBase.h"
#include "dialogs/DialogPorts.h"
#include "dialogs/DialogTexts.h"

namespace velcor::dialogs {

namespace image_ids {
inline constexpr SliderTrio kBrightness{2001, 2002, 2004};
inline constexpr SliderTrio kContrast{2011, 2012, 2014};
inline constexpr SliderTrio kHue{2021, 2022, 2024};
inline constexpr SliderTrio kSaturation{2031, 2032, 2034};
inline constexpr SliderTrio kSharpness{2041, 2042, 2044};
inline constexpr SliderTrio kGainRed{2051, 2052, 2054};
inline constexpr SliderTrio kGainGreen{2061, 2062, 2063};
inline constexpr SliderTrio kGainBlue{2071, 2072, 2073};
inline constexpr SliderTrio kGamma{2081, 2082, 2084};
inline constexpr SliderTrio kGrayGainRed{2100, 2101, 2102};
inline constexpr SliderTrio kGrayGainGreen1{2103, 2104, 2105};
inline constexpr SliderTrio kGrayGainGreen2{2106, 2107, 2108};
inline constexpr SliderTrio kGrayGainBlue{2109, 2110, 2111};
inline constexpr SliderTrio kGrayOffsetRed{2112, 2113, 2114};
inline constexpr SliderTrio kGrayOffsetGreen1{2115, 2116, 2117};
inline constexpr SliderTrio kGrayOffsetGreen2{2118, 2119, 2120};
inline constexpr SliderTrio kGrayOffsetBlue{2121, 2122, 2123};
inline constexpr int kBalanceOnce = 2074;
inline constexpr int kBalanceAllFrames = 1035;
inline constexpr int kBayerMode0 = 1030;  // .. 1033 for Bayer modes 0-3
inline constexpr int kFilterModeBayer = 1046;
inline constexpr int kFilterModeBayerConvert = 1047;
inline constexpr int kFilterModeGrayscale = 1048;
}  // namespace image_ids

// Which image filter controls the output mode lets the user change, and whether the gray
// filter page is shown.
struct ImageDialogEnables {
    // Brightness, contrast, hue, saturation, sharpness, R, G, B gain, gamma.
    std::array<bool, 9> trios{};
    bool whiteBalance = false;  // 2074, 1035
    bool bayerMode = false;     // 1030-1033
    bool grayPage = false;

    // 8 and 16 bits: brightness, contrast, sharpness and gamma, and the gray page; the colour
    // modes: everything of the image filter page, no gray page.
    static ImageDialogEnables ForColourMode(int bits);
};

class ImageDialog final : public DialogBase {
  public:
    ImageDialog(ImagePort& port, const ImageDialogEnables& enables, const DialogTexts& texts);

    ImageValues Values() const;

  protected:
    void OnTrio(int trackbar, int value) override;
    void OnCheck(int id, bool checked) override;
    void OnClick(int id) override;
    void OnEnd(int result) override;

  private:
    void Build();
    void Refresh();

    ImagePort& port_;
    const ImageDialogEnables enables_;
    const DialogTexts& texts_;
    // The values when the dialog opened, and now.
    const ImageValues saved_;
    ImageValues values_;
};

}  // namespace velcor::dialogs
