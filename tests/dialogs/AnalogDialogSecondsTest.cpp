// How the analog dialog shows and reads the exposure in seconds. The port only records what
// the dialog asks of the camera: these are checks of text and units alone (the dialog on a
// camera is in tests/camera/DialogsTest.cpp).
#include <gtest/gtest.h>

#include <vector>

#include "dialogs/AnalogDialog.h"
#include "platform/SystemLanguage.h"

namespace velcor::dialogs {
namespace {

using namespace analog_ids;

class RecordingPort : public AnalogPort {
  public:
    AnalogCapabilities caps;
    AnalogState state;
    std::vector<double> secondsSet;

    AnalogCapabilities Capabilities() override { return caps; }
    AnalogState Read() override { return state; }
    bool Set(AnalogSetting, int) override { return true; }
    bool SetExposureSeconds(double seconds) override {
        secondsSet.push_back(seconds);
        state.exposureSeconds = seconds;
        state.exposure = static_cast<int>(seconds * 10000);
        return true;
    }
    void Restore(const AnalogState& saved) override { state = saved; }
};

class AnalogSeconds : public ::testing::Test {
  protected:
    void SetUp() override {
        port_.caps.exposureSeconds = true;
        port_.caps.exposureSecondsMin = 0.00001;
        port_.caps.exposureSecondsMax = 2.0;
        port_.caps.exposureMax = 20000;
    }
    Control At(const AnalogDialog& dialog, int id) { return dialog.Find(id).value(); }
    std::string Unit(const AnalogDialog& dialog) {
        const Control unit = At(dialog, kExposureUnit);
        return unit.items.at(static_cast<size_t>(unit.selection));
    }

    RecordingPort port_;
    const DialogTexts& texts_ = TextsFor(platform::kLangEnglishUs);
};

TEST_F(AnalogSeconds, ShownInTheUnitThatFits) {
    port_.state.exposureSeconds = 0.00004;
    AnalogDialog micro(port_, texts_);
    EXPECT_EQ(At(micro, kExposureSeconds).text, "40");
    EXPECT_EQ(Unit(micro), "μs");

    port_.state.exposureSeconds = 1.5;
    AnalogDialog seconds(port_, texts_);
    EXPECT_EQ(At(seconds, kExposureSeconds).text, "1.500");
    EXPECT_EQ(Unit(seconds), "sec");
}

TEST_F(AnalogSeconds, UnitsFromTheMinimumsToTheMaximums) {
    AnalogDialog dialog(port_, texts_);
    EXPECT_EQ(At(dialog, kExposureUnit).items, (std::vector<std::string>{"μs", "ms", "sec"}));
    EXPECT_EQ(At(dialog, kExposureRange).label, "range: 10μs - 2sec");
    // The seconds replace the 0.1 ms slider and its label.
    EXPECT_TRUE(At(dialog, kExposureSeconds).visible);
    EXPECT_FALSE(At(dialog, kExposure.trackbar).visible);
    EXPECT_FALSE(At(dialog, kExposureMs).visible);
}

TEST_F(AnalogSeconds, ChangingTheUnitShowsTheSameTime) {
    port_.state.exposureSeconds = 0.0125;
    AnalogDialog dialog(port_, texts_);
    EXPECT_EQ(At(dialog, kExposureSeconds).text, "12.500");
    dialog.Select(kExposureUnit, 0);  // μs
    EXPECT_EQ(At(dialog, kExposureSeconds).text, "12500");
    EXPECT_TRUE(port_.secondsSet.empty());
}

TEST_F(AnalogSeconds, TypedNumberIsConvertedByTheUnitAndShownBack) {
    port_.state.exposureSeconds = 0.0125;
    AnalogDialog dialog(port_, texts_);
    dialog.EditText(kExposureSeconds, "250");  // ms
    ASSERT_EQ(port_.secondsSet.size(), 1u);
    EXPECT_DOUBLE_EQ(port_.secondsSet[0], 0.25);
    EXPECT_EQ(At(dialog, kExposure.edit).text, "2500");
    // Beyond the camera's range the time is held at its end; no number changes nothing.
    dialog.EditText(kExposureSeconds, "5000");
    EXPECT_DOUBLE_EQ(port_.secondsSet.back(), 2.0);
    dialog.EditText(kExposureSeconds, "soon");
    EXPECT_EQ(port_.secondsSet.size(), 2u);
    EXPECT_EQ(At(dialog, kExposureSeconds).text, "2000");
}

TEST_F(AnalogSeconds, MillisecondLabelWithoutSeconds) {
    port_.caps.exposureSeconds = false;
    port_.state.exposure = 125;
    AnalogDialog dialog(port_, texts_);
    EXPECT_EQ(At(dialog, kExposureMs).label, "=12.50ms");
    EXPECT_TRUE(At(dialog, kExposureMs).visible);
    EXPECT_FALSE(At(dialog, kExposureSeconds).visible);
    EXPECT_FALSE(At(dialog, kExposureUnit).visible);
}

}  // namespace
}  // namespace velcor::dialogs
