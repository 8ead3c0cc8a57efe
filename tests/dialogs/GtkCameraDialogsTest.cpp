// The three settings dialogs of a simulated ROZE9701 camera, opened through the exports and
// shown by the GTK view on a private X server: a user's change on a widget reaches the camera,
// OK keeps it and Cancel restores it. Each dialog leaves a screenshot in English and in
// Japanese under the build folder for a person to look at.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "camera/CameraTestSupport.h"
#include "dialogs/AnalogDialog.h"
#include "dialogs/CameraDialog.h"
#include "dialogs/DialogHost.h"
#include "dialogs/ImageDialog.h"
#include "support/DialogViewDriver.h"
#include "support/X11Windows.h"
#include "support/XvfbDisplay.h"

namespace velcor::testing {
namespace {

using dialogs::DialogModel;
using test::DialogViewModule;
using test::GtkProbe;
using test::XvfbDisplay;

// Names the language of the dialogs that open next.
class Language {
  public:
    explicit Language(const char* lang) {
        for (const char* name : {"LC_ALL", "LC_MESSAGES"})
            ::unsetenv(name);
        const char* old = std::getenv("LANG");
        if (old != nullptr) saved_ = old;
        had_ = old != nullptr;
        ::setenv("LANG", lang, 1);
    }
    ~Language() {
        if (had_) {
            ::setenv("LANG", saved_.c_str(), 1);
        } else {
            ::unsetenv("LANG");
        }
    }
    Language(const Language&) = delete;
    Language& operator=(const Language&) = delete;

  private:
    std::string saved_;
    bool had_ = false;
};

class GtkDialogViewOnCamera : public CameraOnSimulator {
  protected:
    void SetUp() override {
        VELCOR_REQUIRE_DISPLAY(Server());
        ASSERT_TRUE(Module().Loaded()) << Module().Error();
        ::setenv(dialogs::kDialogModuleVariable, VELCOR_GTK_VIEW_MODULE, 1);
        CameraOnSimulator::SetUp();
        Open(1);
    }
    void TearDown() override {
        dialogs::SetDialogShownHookForTesting(nullptr);
        ::unsetenv(dialogs::kDialogModuleVariable);
        CameraOnSimulator::TearDown();
    }
    static const DialogViewModule& Module() {
        static const DialogViewModule module(VELCOR_GTK_VIEW_MODULE);
        return module;
    }
    // One server for the whole process: GTK keeps its display connection.
    static XvfbDisplay& Server() {
        static XvfbDisplay server;
        return server;
    }

    // The next dialog runs user(probe, dialog widget, model) once it is on screen, after a
    // screenshot saved as name.png; user must end the dialog.
    void NextDialog(const std::string& name,
                    std::function<void(const GtkProbe&, void*, DialogModel&)> user) {
        dialogs::SetDialogShownHookForTesting(
            [this, name, user](DialogModel& model, unsigned long window) {
                frameWindow_ = window;
                GtkProbe probe(Module());
                void* dialog = probe.Ready() ? probe.Dialog(window) : nullptr;
                if (dialog == nullptr) {
                    ADD_FAILURE() << "the dialog's window is not a GTK dialog";
                    model.Click(dialogs::kDialogCancel);
                    return;
                }
                const auto shot = test::SaveWindowPng(
                    window, std::string(VELCOR_DIALOG_SCREENSHOTS) + "/" + name + ".png");
                EXPECT_TRUE(shot.saved) << shot.error;
                EXPECT_GT(shot.colours, 4) << "the dialog was not drawn";
                user(probe, dialog, model);
            });
    }

    // The X11 window of the dialog on screen.
    unsigned long frameWindow_ = 0;
};

TEST_F(GtkDialogViewOnCamera, AnalogDialogGainFromTheSliderOkKeepsCancelRestores) {
    namespace ids = dialogs::analog_ids;
    const int before = Velcor_GetGlobalGain(handle_, nullptr);
    const int changed = before + 3;
    {
        Language english("en_US.UTF-8");
        // Over an application's X11 window: the dialog is that window's transient.
        test::X11TopWindow application;
        ASSERT_NE(application.Id(), 0u);
        unsigned long frame = 0;
        NextDialog("analog-en", [&](const GtkProbe& p, void* dialog, DialogModel&) {
            frame = test::TransientFor(frameWindow_);
            EXPECT_EQ(p.Title(dialog), "Property");
            EXPECT_FALSE(p.Visible(p.Find(dialog, ids::kPeltier)));
            EXPECT_TRUE(p.Visible(p.Find(dialog, ids::kShortExposureMode)));
            p.SetValue(p.Find(dialog, ids::kGlobalGain.trackbar), changed);
            // The slider acts on the camera at once, while the dialog is open.
            EXPECT_EQ(Velcor_GetGlobalGain(handle_, nullptr), changed);
            EXPECT_EQ(p.Text(p.Find(dialog, ids::kGlobalGain.edit)), std::to_string(changed));
            p.Click(p.Find(dialog, dialogs::kDialogOk));
        });
        EXPECT_EQ(Velcor_SetAnalogDlg(handle_, VelcorWin_FromX11Window(application.Id())), TRUE);
        EXPECT_EQ(Velcor_GetGlobalGain(handle_, nullptr), changed);
        EXPECT_EQ(frame, application.Id());
    }
    Language japanese("ja_JP.UTF-8");
    NextDialog("analog-ja", [&](const GtkProbe& p, void* dialog, DialogModel&) {
        EXPECT_NE(p.Title(dialog), "Property");
        p.SetValue(p.Find(dialog, ids::kGlobalGain.trackbar), before);
        EXPECT_EQ(Velcor_GetGlobalGain(handle_, nullptr), before);
        p.Click(p.Find(dialog, dialogs::kDialogCancel));
    });
    EXPECT_EQ(Velcor_SetAnalogDlg(handle_, nullptr), TRUE);
    EXPECT_EQ(Velcor_GetGlobalGain(handle_, nullptr), changed);
}

TEST_F(GtkDialogViewOnCamera, ImageDialogBrightnessOkKeepsCancelRestores) {
    namespace ids = dialogs::image_ids;
    {
        Language english("en_US.UTF-8");
        NextDialog("image-en", [&](const GtkProbe& p, void* dialog, DialogModel&) {
            void* notebook = p.FindType(dialog, "GtkNotebook");
            ASSERT_NE(notebook, nullptr);
            // Monochrome output: the gray filter page is there.
            EXPECT_EQ(p.PageCount(notebook), 2);
            EXPECT_EQ(p.TabLabel(notebook, 1), "Gray Filter");
            EXPECT_FALSE(p.Sensitive(p.Find(dialog, ids::kHue.trackbar)));
            p.SetValue(p.Find(dialog, ids::kBrightness.trackbar), 40);
            p.Click(p.Find(dialog, dialogs::kDialogOk));
        });
        EXPECT_EQ(Velcor_SetImageDlg(handle_, nullptr), TRUE);
        EXPECT_EQ(Velcor_GetBrightness(handle_, nullptr), 40);
    }
    Language japanese("ja_JP.UTF-8");
    NextDialog("image-ja", [&](const GtkProbe& p, void* dialog, DialogModel&) {
        p.SetValue(p.Find(dialog, ids::kBrightness.trackbar), -20);
        EXPECT_EQ(Velcor_GetBrightness(handle_, nullptr), -20);
        p.Click(p.Find(dialog, dialogs::kDialogCancel));
    });
    EXPECT_EQ(Velcor_SetImageDlg(handle_, nullptr), TRUE);
    EXPECT_EQ(Velcor_GetBrightness(handle_, nullptr), 40);
}

TEST_F(GtkDialogViewOnCamera, CameraDialogWaitTimeOkStoresCancelLeaves) {
    namespace ids = dialogs::camera_ids;
    const int before = Velcor_GetWaitTime(handle_);
    {
        Language english("en_US.UTF-8");
        NextDialog("camera-en", [&](const GtkProbe& p, void* dialog, DialogModel&) {
            void* format = p.Find(dialog, ids::kFormat);
            ASSERT_NE(format, nullptr);
            EXPECT_EQ(p.Item(format, 0), "Monochrome 8bit");
            EXPECT_EQ(p.Item(format, 1), "Monochrome 12bit *");
            EXPECT_FALSE(p.Sensitive(p.Find(dialog, ids::kWidth)));
            EXPECT_FALSE(p.Sensitive(p.Find(dialog, ids::kApply)));
            void* wait = p.Find(dialog, ids::kWaitTime);
            p.SetText(wait, std::to_string(before + 5));
            p.Activate(wait);
            EXPECT_TRUE(p.Sensitive(p.Find(dialog, ids::kApply)));
            p.Click(p.Find(dialog, dialogs::kDialogOk));
        });
        EXPECT_EQ(Velcor_SetCameraDlg(handle_, nullptr), TRUE);
        EXPECT_EQ(Velcor_GetWaitTime(handle_), before + 5);
    }
    Language japanese("ja_JP.UTF-8");
    NextDialog("camera-ja", [&](const GtkProbe& p, void* dialog, DialogModel&) {
        EXPECT_EQ(p.Item(p.Find(dialog, ids::kFormat), 0), "白黒 8bit");
        void* wait = p.Find(dialog, ids::kWaitTime);
        p.SetText(wait, "1");
        p.Activate(wait);
        p.Click(p.Find(dialog, dialogs::kDialogCancel));
    });
    EXPECT_EQ(Velcor_SetCameraDlg(handle_, nullptr), TRUE);
    EXPECT_EQ(Velcor_GetWaitTime(handle_), before + 5);
}

}  // namespace
}  // namespace velcor::testing
