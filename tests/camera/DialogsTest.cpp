// The settings dialogs on a simulated ROZE9701 camera, driven through the exports with the
// dialog host's test runner in place of a view: the runner looks at the model and acts as a
// user would.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "api/SdkChain.h"
#include "camera/CameraTestSupport.h"
#include "camera/DialogPorts.h"
#include "camera/Velcor.h"
#include "dialogs/AnalogDialog.h"
#include "dialogs/CameraDialog.h"
#include "dialogs/DialogHost.h"
#include "dialogs/ImageDialog.h"
#include "settings/SettingsStore.h"

namespace velcor::testing {
namespace {

using dialogs::Control;
using dialogs::DialogModel;
namespace cam = dialogs::camera_ids;
namespace ana = dialogs::analog_ids;
namespace img = dialogs::image_ids;

// One control of a model, found by identifier.
Control At(const DialogModel& model, int id) {
    for (const Control& c : model.Snapshot(nullptr)) {
        if (c.id == id) return c;
    }
    ADD_FAILURE() << "no control " << id;
    return Control{};
}
bool Has(const DialogModel& model, int id) {
    for (const Control& c : model.Snapshot(nullptr)) {
        if (c.id == id) return true;
    }
    return false;
}

class Dialogs : public CameraOnSimulator {
  protected:
    void SetUp() override {
        CameraOnSimulator::SetUp();
        for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
            if (const char* v = std::getenv(name)) savedLocale_.emplace_back(name, v);
            ::unsetenv(name);
        }
        Open(1);
    }
    void TearDown() override {
        dialogs::SetDialogRunnerForTesting(nullptr);
        for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"})
            ::unsetenv(name);
        for (const auto& [name, value] : savedLocale_)
            ::setenv(name.c_str(), value.c_str(), 1);
        CameraOnSimulator::TearDown();
    }
    // The next dialog runs `user` (on the calling thread) and answers what the model ended
    // with.
    void NextDialog(std::function<void(DialogModel&)> user) {
        dialogs::SetDialogRunnerForTesting([user](DialogModel& model) {
            user(model);
            return model.Result();
        });
    }
    CVelcor& Camera() { return *SdkChain().Lookup(handle_); }
    int Filter(int id) { return Velcor_GetFilterValue(handle_, id, nullptr); }

    std::vector<std::pair<std::string, std::string>> savedLocale_;
};

// ---- Stream format -----------------------------------------------------------------------

TEST_F(Dialogs, CameraDialogShowsWhatTheRoze9701Offers) {
    bool ran = false;
    NextDialog([&](DialogModel& m) {
        ran = true;
        EXPECT_EQ(m.Title(), "Property");
        EXPECT_EQ(m.Pages(), std::vector<std::string>{"Stream Format"});
        EXPECT_EQ(At(m, cam::kFormat).items,
                  (std::vector<std::string>{"Monochrome 8bit", "Monochrome 12bit *"}));
        // Only vertical windowing: the horizontal edits are disabled, the size combo is not.
        for (int id : {cam::kTotalWidth, cam::kWidth, cam::kXStart})
            EXPECT_FALSE(At(m, id).enabled) << id;
        for (int id : {cam::kTotalHeight, cam::kHeight, cam::kYStart, cam::kSize})
            EXPECT_TRUE(At(m, id).enabled) << id;
        EXPECT_EQ(At(m, cam::kSize).items, (std::vector<std::string>{"1280 x 1024", "Custom"}));
        EXPECT_EQ(At(m, cam::kHeight).text, "1024");
        EXPECT_EQ(At(m, cam::kSubSample).items, std::vector<std::string>{"1/1"});
        EXPECT_FALSE(At(m, cam::kSubSample).enabled);
        EXPECT_EQ(At(m, cam::kClock).selection, 2);
        EXPECT_EQ(At(m, cam::kClock).items.at(2), "High(37MHz)");
        EXPECT_FALSE(At(m, cam::kApply).enabled);
        m.EditText(cam::kWaitTime, "5");
        EXPECT_TRUE(At(m, cam::kApply).enabled);
        m.Click(dialogs::kIdCancel);
    });
    EXPECT_EQ(Velcor_SetCameraDlg(handle_, nullptr), TRUE);
    EXPECT_TRUE(ran);
    EXPECT_EQ(LastError(), 0);
}

TEST_F(Dialogs, CustomWindowAppliedTwiceAppendsTwoEntries) {
    NextDialog([&](DialogModel& m) {
        m.Select(cam::kSize, 1);  // Custom
        m.EditText(cam::kHeight, "512");
        m.EditText(cam::kYStart, "100");
        m.Click(cam::kApply);
        EXPECT_FALSE(At(m, cam::kApply).enabled);
        m.EditText(cam::kHeight, "256");
        m.Click(cam::kApply);
        EXPECT_EQ(At(m, cam::kSize).items,
                  (std::vector<std::string>{"1280 x 1024", "1280 x 512", "1280 x 256", "Custom"}));
        // OK with nothing changed since Apply adds nothing more.
        m.Click(dialogs::kIdOk);
    });
    ASSERT_EQ(Velcor_SetCameraDlg(handle_, nullptr), TRUE);

    settings::CameraDialogSettings stored;
    ASSERT_TRUE(settings::SettingsStore().LoadCameraDialogSettings(0, stored));
    ASSERT_EQ(stored.table.size(), 3u);
    EXPECT_EQ(stored.table[1].height, 512);
    EXPECT_EQ(stored.table[1].yStart, 100);
    EXPECT_EQ(stored.table[2].height, 256);
    // The stored selection names a window: the last one made, not "Custom".
    EXPECT_EQ(stored.selected, 2);
    // After OK the camera reads the chosen window.
    int tw = 0, x = 0, w = 0, th = 0, y = 0, h = 0;
    Velcor_GetCaptureWindowEx(handle_, &tw, &x, &w, &th, &y, &h);
    EXPECT_EQ(h, 256);
    EXPECT_EQ(y, 100);
}

TEST_F(Dialogs, CameraDialogPausesTriggerMode) {
    ASSERT_EQ(Velcor_SetPreviewWindow(handle_, nullptr, 0, 0, 0, 0), TRUE);
    ASSERT_EQ(Velcor_Trigger(handle_, window_, nullptr, 0, 1), TRUE);
    ASSERT_EQ(Camera().CaptureRunFlag(), 1);
    int during = -1;
    NextDialog([&](DialogModel& m) {
        during = Camera().CaptureRunFlag();
        m.Click(dialogs::kIdOk);
    });
    EXPECT_EQ(Velcor_SetCameraDlg(handle_, nullptr), TRUE);
    EXPECT_EQ(during, 2);
    EXPECT_EQ(Camera().CaptureRunFlag(), 1);
}

TEST_F(Dialogs, CameraDialogRestartsThePreview) {
    ASSERT_EQ(Velcor_SetPreviewWindow(handle_, nullptr, 0, 0, 0, 0), TRUE);
    ASSERT_EQ(Velcor_CallBackPreview(handle_, window_, nullptr, 0, 1), TRUE);
    WPARAM w = 0;
    LPARAM l = 0;
    ASSERT_TRUE(NextFrame(&w, &l));
    int during = -1;
    NextDialog([&](DialogModel& m) {
        during = Camera().CaptureRunFlag();
        m.Click(dialogs::kIdCancel);
    });
    EXPECT_EQ(Velcor_SetCameraDlg(handle_, nullptr), TRUE);
    EXPECT_EQ(during, 0);
    EXPECT_EQ(Camera().CaptureRunFlag(), 1);
    // Frames come again, to the same window.
    VELCORMSG m{};
    while (VelcorWin_PeekMessage(&m, window_, VELCOR_WM_FRAME, VELCOR_WM_FRAME, TRUE)) {
    }
    ASSERT_TRUE(NextFrame(&w, &l));
    EXPECT_NE(w, 0u);
    EXPECT_EQ(Velcor_StopPreview(handle_), TRUE);
}

// ---- Analog ------------------------------------------------------------------------------

TEST_F(Dialogs, AnalogDialogIsTheMonochromePageOfTheRoze9701) {
    NextDialog([&](DialogModel& m) {
        EXPECT_EQ(m.Pages(), std::vector<std::string>{"Analog Gain"});
        EXPECT_FALSE(Has(m, ana::kColourGainRed.trackbar));
        EXPECT_TRUE(At(m, ana::kBlackLevel.trackbar).visible);
        EXPECT_FALSE(At(m, ana::kPeltier).visible);
        EXPECT_TRUE(At(m, ana::kShortExposureMode).visible);
        EXPECT_TRUE(At(m, ana::kGainMode).visible);
        EXPECT_EQ(At(m, ana::kGainMode).items, (std::vector<std::string>{"High Gain", "Low Gain"}));
        const Control gain = At(m, ana::kGlobalGain.trackbar);
        EXPECT_EQ(gain.buddy, ana::kGlobalGain.edit);
        EXPECT_EQ(gain.pageSize, (gain.max - gain.min) / 8);
        m.Click(dialogs::kIdOk);
    });
    EXPECT_EQ(Velcor_SetAnalogDlg(handle_, nullptr), TRUE);
}

TEST_F(Dialogs, AnalogControlsActAtOnceAndCancelRestoresEverything) {
    const int gain = Filter(VELCOR_FILTER_GLOBAL_GAIN);
    const int exposure = Filter(VELCOR_FILTER_EXPOSURE);
    const int gainMode = Filter(VELCOR_FILTER_GAIN_MODE);
    const int blackLevel = Filter(VELCOR_FILTER_BLACK_LEVEL);
    NextDialog([&](DialogModel& m) {
        const Control g = At(m, ana::kGlobalGain.trackbar);
        const int newGain = g.position == g.max ? g.min : g.max;
        m.Scroll(ana::kGlobalGain.trackbar, newGain);
        EXPECT_EQ(At(m, ana::kGlobalGain.edit).text, std::to_string(newGain));
        EXPECT_EQ(At(m, ana::kGlobalGain.upDown).position, static_cast<int16_t>(newGain));
        EXPECT_EQ(Filter(VELCOR_FILTER_GLOBAL_GAIN), newGain);
        // The trio's edit moves the slider too.
        m.EditText(ana::kBlackLevel.edit, std::to_string(blackLevel + 1));
        EXPECT_EQ(At(m, ana::kBlackLevel.trackbar).position, blackLevel + 1);
        m.Select(ana::kGainMode, gainMode == 1 ? 0 : 1);
        m.Check(ana::kMirrorV, true);
        EXPECT_EQ(Velcor_GetMirrorV(handle_), 1);
        m.Check(ana::kAutoIrisGain, true);
        m.Check(ana::kAutoIrisExposure, true);
        EXPECT_EQ(At(m, ana::kAutoIrisGain).position, 0);
        EXPECT_EQ(Velcor_GetAutoIris(handle_, nullptr), 1);
        m.Close();
    });
    EXPECT_EQ(Velcor_SetAnalogDlg(handle_, nullptr), TRUE);
    EXPECT_EQ(Filter(VELCOR_FILTER_GLOBAL_GAIN), gain);
    EXPECT_EQ(Filter(VELCOR_FILTER_EXPOSURE), exposure);
    EXPECT_EQ(Filter(VELCOR_FILTER_GAIN_MODE), gainMode);
    EXPECT_EQ(Filter(VELCOR_FILTER_BLACK_LEVEL), blackLevel);
    EXPECT_EQ(Velcor_GetMirrorV(handle_), 0);
    EXPECT_EQ(Velcor_GetAutoIris(handle_, nullptr), 0);
}

TEST_F(Dialogs, AnalogDefaultSetsTheSensorDefaultsAndOkKeepsThem) {
    std::optional<int> defaultGain;
    NextDialog([&](DialogModel& m) {
        const Control g = At(m, ana::kGlobalGain.trackbar);
        m.Scroll(ana::kGlobalGain.trackbar, g.max);
        m.Select(ana::kGainMode, 1);
        m.Click(dialogs::kIdDefault);
        defaultGain = At(m, ana::kGlobalGain.trackbar).position;
        EXPECT_EQ(At(m, ana::kGainMode).selection, 0);
        m.Click(dialogs::kIdOk);
    });
    ASSERT_EQ(Velcor_SetAnalogDlg(handle_, nullptr), TRUE);
    ASSERT_TRUE(defaultGain);
    EXPECT_EQ(Filter(VELCOR_FILTER_GLOBAL_GAIN), *defaultGain);
    EXPECT_EQ(*defaultGain, CameraAnalogPort(Camera()).Capabilities().globalGainDefault);
    EXPECT_EQ(Filter(VELCOR_FILTER_GAIN_MODE), 0);
}

TEST_F(Dialogs, AutomaticExposureShowsItsGainInTheOpenDialog) {
    // A saturated picture makes automatic exposure lower the gain on every frame.
    ASSERT_EQ(Velcor_SetPreviewWindow(handle_, nullptr, 0, 0, 0, 0), TRUE);
    ASSERT_EQ(Velcor_SetAutoIris(handle_, 2), TRUE);
    NextDialog([&](DialogModel& m) {
        const Control g = At(m, ana::kGlobalGain.trackbar);
        m.Scroll(ana::kExposure.trackbar, At(m, ana::kExposure.trackbar).max);
        m.Scroll(ana::kGlobalGain.trackbar, g.max);
        ASSERT_EQ(Velcor_CallBackPreview(handle_, window_, nullptr, 0, 1), TRUE);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (At(m, ana::kGlobalGain.edit).text == std::to_string(g.max) &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        const Control shown = At(m, ana::kGlobalGain.trackbar);
        EXPECT_LT(shown.position, g.max);
        EXPECT_EQ(At(m, ana::kGlobalGain.edit).text, std::to_string(shown.position));
        Velcor_StopPreview(handle_);
        EXPECT_EQ(Filter(VELCOR_FILTER_GLOBAL_GAIN), At(m, ana::kGlobalGain.trackbar).position);
        m.Click(dialogs::kIdOk);
    });
    EXPECT_EQ(Velcor_SetAnalogDlg(handle_, nullptr), TRUE);
}

// ---- Image -------------------------------------------------------------------------------

TEST_F(Dialogs, ImageDialogInMonochromeHasTheGrayPage) {
    NextDialog([&](DialogModel& m) {
        EXPECT_EQ(m.Pages(), (std::vector<std::string>{"Image Filter", "Gray Filter"}));
        for (int id : {img::kBrightness.trackbar, img::kContrast.trackbar, img::kSharpness.trackbar,
                       img::kGamma.trackbar})
            EXPECT_TRUE(At(m, id).enabled) << id;
        for (int id : {img::kHue.trackbar, img::kSaturation.trackbar, img::kGainRed.edit,
                       img::kGainBlue.upDown})
            EXPECT_FALSE(At(m, id).enabled) << id;
        EXPECT_EQ(At(m, img::kHue.trackbar).pageSize, 90);
        EXPECT_EQ(At(m, img::kGrayGainRed.trackbar).page, 1);
        EXPECT_TRUE(At(m, img::kBalanceOnce).enabled);
        EXPECT_EQ(At(m, img::kBayerMode0 + 3).position, 1);
        // A disabled trio does not move.
        m.Scroll(img::kHue.trackbar, 100);
        EXPECT_EQ(At(m, img::kHue.trackbar).position, 0);
        m.Click(dialogs::kIdCancel);
    });
    EXPECT_EQ(Velcor_SetImageDlg(handle_, nullptr), TRUE);
}

TEST_F(Dialogs, SliderTrioTakesOnlyNumbersInItsRange) {
    NextDialog([&](DialogModel& m) {
        const uint64_t before = m.Revision();
        m.EditText(img::kGrayGainRed.edit, "999");
        EXPECT_GT(m.Revision(), before);
        // The gray gains end where the conversion's gain tables end.
        EXPECT_EQ(At(m, img::kGrayGainRed.trackbar).position, 255);
        EXPECT_EQ(Filter(VELCOR_FILTER_GRAY_GAIN_R), 255);
        m.EditText(img::kGrayGainRed.edit, "lots");
        EXPECT_EQ(At(m, img::kGrayGainRed.edit).text, "255");
        m.Scroll(img::kGrayGainRed.upDown, -4);
        EXPECT_EQ(At(m, img::kGrayGainRed.edit).text, "0");
        m.Click(dialogs::kIdOk);
        // An ended dialog takes no more events.
        m.Scroll(img::kGrayGainRed.trackbar, 64);
        EXPECT_EQ(At(m, img::kGrayGainRed.trackbar).position, 0);
        EXPECT_EQ(m.Result(), dialogs::kDialogOk);
    });
    ASSERT_EQ(Velcor_SetImageDlg(handle_, nullptr), TRUE);
    EXPECT_EQ(Filter(VELCOR_FILTER_GRAY_GAIN_R), 0);
}

TEST_F(Dialogs, ImageCancelRestoresAndDefaultResets) {
    ASSERT_EQ(Velcor_SetFilterValue(handle_, VELCOR_FILTER_GAMMA, 150), TRUE);
    NextDialog([&](DialogModel& m) {
        m.Scroll(img::kBrightness.trackbar, 50);
        EXPECT_EQ(Filter(VELCOR_FILTER_BRIGHTNESS), 50);  // at once
        m.EditText(img::kGrayOffsetRed.edit, "-20");
        m.Check(img::kFilterModeGrayscale, true);
        EXPECT_EQ(Filter(VELCOR_FILTER_GRAY_MODE), 2);
        m.Click(dialogs::kIdCancel);
    });
    ASSERT_EQ(Velcor_SetImageDlg(handle_, nullptr), TRUE);
    EXPECT_EQ(Filter(VELCOR_FILTER_BRIGHTNESS), 0);
    EXPECT_EQ(Filter(VELCOR_FILTER_GAMMA), 150);
    EXPECT_EQ(Filter(VELCOR_FILTER_GRAY_OFFSET_R), 0);
    EXPECT_EQ(Filter(VELCOR_FILTER_GRAY_MODE), 0);

    ASSERT_EQ(Velcor_SetFilterValue(handle_, VELCOR_FILTER_GRAY_GAIN_G2, 90), TRUE);
    NextDialog([&](DialogModel& m) {
        m.Scroll(img::kContrast.trackbar, 40);
        m.Click(dialogs::kIdDefault);
        EXPECT_EQ(At(m, img::kGamma.edit).text, "100");
        m.Click(dialogs::kIdOk);
    });
    ASSERT_EQ(Velcor_SetImageDlg(handle_, nullptr), TRUE);
    EXPECT_EQ(Filter(VELCOR_FILTER_CONTRAST), 0);
    EXPECT_EQ(Filter(VELCOR_FILTER_GAMMA), 100);
    EXPECT_EQ(Filter(VELCOR_FILTER_BAYER_MODE), 3);
    EXPECT_EQ(Filter(VELCOR_FILTER_GRAY_GAIN_G2), 128);
    // The gray offsets' neutral value is 0: the conversion adds them to every sample.
    EXPECT_EQ(Filter(VELCOR_FILTER_GRAY_OFFSET_R), 0);
}

// ---- Exports and texts -------------------------------------------------------------------

TEST_F(Dialogs, DialogThatCannotBeShownChangesNothingAndAnswersZero) {
    dialogs::SetDialogRunnerForTesting([](DialogModel&) { return 0; });
    const int gain = Filter(VELCOR_FILTER_GLOBAL_GAIN);
    EXPECT_EQ(Velcor_SetCameraDlg(handle_, nullptr), FALSE);
    EXPECT_EQ(LastError(), VELCOR_ERR_WINDOW);
    EXPECT_EQ(Velcor_SetAnalogDlg(handle_, nullptr), FALSE);
    EXPECT_EQ(LastError(), VELCOR_ERR_WINDOW);
    EXPECT_EQ(Velcor_SetImageDlg(handle_, nullptr), FALSE);
    EXPECT_EQ(LastError(), VELCOR_ERR_WINDOW);
    EXPECT_EQ(Filter(VELCOR_FILTER_GLOBAL_GAIN), gain);
}

TEST_F(Dialogs, ViewLeftWithoutAnEndCountsAsCancel) {
    const int brightness = Filter(VELCOR_FILTER_BRIGHTNESS);
    dialogs::SetDialogRunnerForTesting([](DialogModel& m) {
        m.Scroll(img::kBrightness.trackbar, 99);
        return dialogs::kDialogOk;  // but the model never saw OK
    });
    EXPECT_EQ(Velcor_SetImageDlg(handle_, nullptr), TRUE);
    EXPECT_EQ(Filter(VELCOR_FILTER_BRIGHTNESS), brightness);
}

TEST_F(Dialogs, JapaneseSystemGetsJapaneseTexts) {
    ::setenv("LANG", "ja_JP.UTF-8", 1);
    NextDialog([&](DialogModel& m) {
        EXPECT_EQ(m.Title(), "プロパティ");
        EXPECT_EQ(m.Pages(), std::vector<std::string>{"ストリーム形式"});
        EXPECT_EQ(At(m, cam::kFormat).items,
                  (std::vector<std::string>{"白黒 8bit", "白黒 12bit ※"}));
        EXPECT_EQ(At(m, cam::kSize).items.back(), "カスタム");
        EXPECT_EQ(At(m, cam::kClock).items,
                  (std::vector<std::string>{"標準(24MHz)", "ハーフ(12MHz)", "高速(37MHz)"}));
        m.Click(dialogs::kIdCancel);
    });
    EXPECT_EQ(Velcor_SetCameraDlg(handle_, nullptr), TRUE);
    NextDialog([&](DialogModel& m) {
        EXPECT_EQ(m.Pages(), (std::vector<std::string>{"Image Filter", "Gray Filter"}));
        m.Click(dialogs::kIdCancel);
    });
    EXPECT_EQ(Velcor_SetImageDlg(handle_, nullptr), TRUE);
}

}  // namespace
}  // namespace velcor::testing
