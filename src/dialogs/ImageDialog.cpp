#include "dialogs/ImageDialog.h"

namespace velcor::dialogs {
namespace {

using namespace image_ids;

constexpr int kFirstStaticId = 5000;
constexpr int kImagePage = 0;
constexpr int kGrayPage = 1;
constexpr int kBayerGroup = 1;
constexpr int kFilterModeGroup = 2;

// One slider setting: its controls, range, page size and where its value lives.
struct TrioRow {
    SliderTrio trio;
    const char* DialogTexts::*label;
    int min;
    int max;
    int pageSize;
    int ImageValues::*value;
};

using T = DialogTexts;
using V = ImageValues;
constexpr TrioRow kImageTrios[9] = {
    {kBrightness, &T::brightness, -255, 255, 64, &V::brightness},
    {kContrast, &T::contrast, -127, 127, 32, &V::contrast},
    {kHue, &T::hue, -360, 360, 90, &V::hue},
    {kSaturation, &T::saturation, -255, 255, 64, &V::saturation},
    {kSharpness, &T::sharpness, 0, 30, 4, &V::sharpness},
    {kGainRed, &T::gainRed, 0, 400, 32, &V::gainRed},
    {kGainGreen, &T::gainGreen, 0, 400, 32, &V::gainGreen},
    {kGainBlue, &T::gainBlue, 0, 400, 32, &V::gainBlue},
    {kGamma, &T::gamma, 0, 200, 32, &V::gamma},
};
// The gray gains take what the frame conversion's gain tables take (128 is unity).
constexpr TrioRow kGrayTrios[8] = {
    {kGrayGainRed, &T::red, 0, 255, 32, &V::grayGainR},
    {kGrayGainGreen1, &T::green1, 0, 255, 32, &V::grayGainG1},
    {kGrayGainGreen2, &T::green2, 0, 255, 32, &V::grayGainG2},
    {kGrayGainBlue, &T::blue, 0, 255, 32, &V::grayGainB},
    {kGrayOffsetRed, &T::red, -255, 255, 32, &V::grayOffsetR},
    {kGrayOffsetGreen1, &T::green1, -255, 255, 32, &V::grayOffsetG1},
    {kGrayOffsetGreen2, &T::green2, -255, 255, 32, &V::grayOffsetG2},
    {kGrayOffsetBlue, &T::blue, -255, 255, 32, &V::grayOffsetB},
};

std::vector<std::string> PagesFor(const ImageDialogEnables& enables, const DialogTexts& texts) {
    if (enables.grayPage) return {texts.tabImageFilter, texts.tabGrayFilter};
    return {texts.tabImageFilter};
}

}  // namespace

ImageDialogEnables ImageDialogEnables::ForColourMode(int bits) {
    ImageDialogEnables enables;
    if (bits == 8 || bits == 16) {
        for (int trio : {0, 1, 4, 8})
            enables.trios[static_cast<size_t>(trio)] = true;
        enables.grayPage = true;
    } else {
        enables.trios.fill(true);
        enables.whiteBalance = enables.bayerMode = true;
    }
    return enables;
}

ImageDialog::ImageDialog(ImagePort& port, const ImageDialogEnables& enables,
                         const DialogTexts& texts)
    : DialogBase(texts.title, PagesFor(enables, texts)),
      port_(port),
      enables_(enables),
      texts_(texts),
      saved_(port.Read()),
      values_(saved_) {
    std::lock_guard lock(Mutex());
    Build();
}

void ImageDialog::Build() {
    int staticId = kFirstStaticId;
    int row = 0;
    for (size_t i = 0; i < std::size(kImageTrios); ++i) {
        const TrioRow& t = kImageTrios[i];
        SetupSliderTrio(t.trio, kImagePage, row++, texts_.*t.label, t.min, t.max, values_.*t.value,
                        enables_.trios[i], t.pageSize);
    }
    // The automatic balance and the Bayer mode sit on the gray page when there is one (where
    // they work on the gray gains), else on the image filter page.
    const int balancePage = enables_.grayPage ? kGrayPage : kImagePage;
    const bool balanceEnabled = enables_.grayPage || enables_.whiteBalance;
    const bool bayerEnabled = enables_.grayPage || enables_.bayerMode;

    if (enables_.grayPage) {
        int grayRow = 0;
        Add(ControlSpec(staticId++, ControlKind::kGroup)
                .Page(kGrayPage)
                .Row(grayRow++)
                .Label(texts_.grayGain));
        for (size_t i = 0; i < std::size(kGrayTrios); ++i) {
            if (i == 4) {
                Add(ControlSpec(staticId++, ControlKind::kGroup)
                        .Page(kGrayPage)
                        .Row(grayRow++)
                        .Label(texts_.grayOffset));
            }
            const TrioRow& t = kGrayTrios[i];
            SetupSliderTrio(t.trio, kGrayPage, grayRow++, texts_.*t.label, t.min, t.max,
                            values_.*t.value, true, t.pageSize);
        }
        Add(ControlSpec(staticId++, ControlKind::kGroup)
                .Page(kGrayPage)
                .Row(grayRow++)
                .Label(texts_.filterMode));
        const struct {
            int id;
            const char* label;
        } modes[] = {{kFilterModeBayer, texts_.filterBayer},
                     {kFilterModeBayerConvert, texts_.filterBayerConvert},
                     {kFilterModeGrayscale, texts_.filterGrayscale}};
        for (const auto& mode : modes) {
            Add(ControlSpec(mode.id, ControlKind::kRadio)
                    .Page(kGrayPage)
                    .Row(grayRow)
                    .Label(mode.label)
                    .Group(kFilterModeGroup));
        }
        row = grayRow + 1;
    }

    Add(ControlSpec(staticId++, ControlKind::kGroup)
            .Page(balancePage)
            .Row(row++)
            .Label(enables_.grayPage ? texts_.autoGain : texts_.autoWhiteBalance));
    Add(ControlSpec(kBalanceOnce, ControlKind::kButton)
            .Page(balancePage)
            .Row(row)
            .Label(texts_.once)
            .Enabled(balanceEnabled));
    Add(ControlSpec(kBalanceAllFrames, ControlKind::kCheck)
            .Page(balancePage)
            .Row(row++)
            .Label(texts_.allFrames)
            .Enabled(balanceEnabled));
    Add(ControlSpec(staticId++, ControlKind::kGroup)
            .Page(balancePage)
            .Row(row++)
            .Label(texts_.bayerMode));
    for (int mode = 0; mode < 4; ++mode) {
        Add(ControlSpec(kBayerMode0 + mode, ControlKind::kRadio)
                .Page(balancePage)
                .Row(row)
                .Label(std::to_string(mode))
                .Group(kBayerGroup)
                .Enabled(bayerEnabled));
    }

    Add(ControlSpec(kIdOk, ControlKind::kButton).Page(-1).Label(texts_.ok));
    Add(ControlSpec(kIdCancel, ControlKind::kButton).Page(-1).Label(texts_.cancel));
    Add(ControlSpec(kIdDefault, ControlKind::kButton).Page(-1).Label(texts_.defaults));
    Refresh();
}

void ImageDialog::Refresh() {
    for (const TrioRow& t : kImageTrios)
        ShowTrioValue(t.trio.trackbar, values_.*t.value);
    if (enables_.grayPage) {
        for (const TrioRow& t : kGrayTrios)
            ShowTrioValue(t.trio.trackbar, values_.*t.value);
        SetChecked(kFilterModeBayer + values_.grayMode, true);
    }
    SetChecked(kBalanceAllFrames, values_.bayerGainAuto != 0);
    SetChecked(kBayerMode0 + values_.bayerMode, true);
}

ImageValues ImageDialog::Values() const {
    std::lock_guard lock(Mutex());
    return values_;
}

void ImageDialog::OnTrio(int trackbar, int value) {
    for (const auto* rows : {std::data(kImageTrios), std::data(kGrayTrios)}) {
        const size_t count =
            rows == std::data(kImageTrios) ? std::size(kImageTrios) : std::size(kGrayTrios);
        for (size_t i = 0; i < count; ++i) {
            if (rows[i].trio.trackbar == trackbar) values_.*rows[i].value = value;
        }
    }
    port_.Write(values_);
}

void ImageDialog::OnCheck(int id, bool checked) {
    if (id == kBalanceAllFrames) {
        values_.bayerGainAuto = checked ? 1 : 0;
    } else if (id >= kBayerMode0 && id < kBayerMode0 + 4) {
        values_.bayerMode = id - kBayerMode0;
    } else if (id >= kFilterModeBayer && id <= kFilterModeGrayscale) {
        values_.grayMode = id - kFilterModeBayer;
    } else {
        return;
    }
    port_.Write(values_);
}

void ImageDialog::OnClick(int id) {
    if (id == kBalanceOnce) {
        port_.BalanceOnce(enables_.grayPage);
        values_ = port_.Read();
        Refresh();
    } else if (id == kIdDefault) {
        ImageValues defaults;
        // The defaults are neutral; what the dialog does not show stays.
        defaults.bayerGainAuto = values_.bayerGainAuto;
        defaults.grayMode = values_.grayMode;
        if (!enables_.grayPage) {
            defaults.grayGainR = values_.grayGainR, defaults.grayGainG1 = values_.grayGainG1;
            defaults.grayGainG2 = values_.grayGainG2, defaults.grayGainB = values_.grayGainB;
            defaults.grayOffsetR = values_.grayOffsetR,
            defaults.grayOffsetG1 = values_.grayOffsetG1;
            defaults.grayOffsetG2 = values_.grayOffsetG2,
            defaults.grayOffsetB = values_.grayOffsetB;
        }
        values_ = defaults;
        port_.Write(values_);
        Refresh();
    }
}

void ImageDialog::OnEnd(int result) {
    if (result != kDialogOk) port_.Write(saved_);
}

}  // namespace velcor::dialogs
