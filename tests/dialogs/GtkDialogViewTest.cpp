// The GTK view module drawing and driving a small dialog model of the test's own on a private
// X server, one per process (CTest runs each test in a process of its own). The module is
// loaded from the build tree as the library loads it.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "dialogs/DialogModel.h"
#include "support/DialogViewDriver.h"
#include "support/X11Windows.h"
#include "support/XvfbDisplay.h"

namespace velcor::dialogs {
namespace {

using test::DialogViewModule;
using test::GtkProbe;
using test::XvfbDisplay;

// Control ids, as on the analog page.
constexpr int kDefault = 3;
constexpr int kGain = 1013;
constexpr int kGainEdit = 1015;
constexpr int kGainSpin = 1038;
constexpr int kGainMode = 2126;
constexpr int kPeltier = 2124;
constexpr int kShortExposure = 2125;
constexpr int kBayerBox = 1050;
constexpr int kBayer0 = 1030;
constexpr int kBayer1 = 1031;
constexpr int kWaitLabel = 1051;
constexpr int kWait = 1045;
constexpr int kSubSample = 1012;
constexpr int kRedGain = 2100;
constexpr int kRedEdit = 2101;
constexpr int kRedSpin = 2102;
constexpr int kNote = 1052;

constexpr int kGainMin = 2;
constexpr int kGainMax = 62;

// A dialog with one of each kind of control on two pages, behaving as the library's dialogs
// do in what a view relies on: a trio's three controls follow each other, positions stay in
// range, radios of a group exclude each other, Default restores, OK and Cancel end it. Every
// event is logged. Its controls may change from any thread.
class TestModel : public DialogModel {
  public:
    explicit TestModel(bool japanese) : japanese_(japanese) {
        const auto text = [&](const char* english, const char* japanese) {
            return std::string(japanese_ ? japanese : english);
        };
        Control* c = &Add(kGain, ControlKind::kTrackbar, 0, 0);
        c->label = text("&Global Gain", "グローバルゲイン(&G)");
        c->min = kGainMin;
        c->max = kGainMax;
        c->pageSize = (kGainMax - kGainMin) / 8;
        c->buddy = kGainEdit;
        Add(kGainEdit, ControlKind::kEdit, 0, 0);
        c = &Add(kGainSpin, ControlKind::kUpDown, 0, 0);
        c->min = kGainMin;
        c->max = kGainMax;
        c->buddy = kGainEdit;
        c = &Add(kGainMode, ControlKind::kCombo, 0, 1);
        c->items = {text("High Gain", "高ゲイン"), text("Low Gain", "低ゲイン")};
        c->selection = 0;
        c = &Add(kPeltier, ControlKind::kCheck, 0, 2);
        c->label = text("Peltier", "ペルチェ");
        c->position = 1;
        c = &Add(kShortExposure, ControlKind::kCheck, 0, 2);
        c->label = text("Short exposure mode", "短時間露光モード");
        c->visible = false;
        Add(kBayerBox, ControlKind::kGroup, 0, 3).label = text("Bayer Mode", "ベイヤーモード");
        c = &Add(kBayer0, ControlKind::kRadio, 0, 4);
        c->label = "GB";
        c->group = 1;
        c = &Add(kBayer1, ControlKind::kRadio, 0, 4);
        c->label = "RG";
        c->group = 1;
        c->position = 1;
        Add(kWaitLabel, ControlKind::kLabel, 0, 5).label = text("Wait Time(&T):", "待ち時間(&T):");
        Add(kWait, ControlKind::kEdit, 0, 5).text = "100";
        c = &Add(kSubSample, ControlKind::kCombo, 0, 6);
        c->items = {"1/1"};
        c->selection = 0;
        c->enabled = false;
        c = &Add(kRedGain, ControlKind::kTrackbar, 1, 0);
        c->label = text("&Red", "赤(&R)");
        c->max = 400;
        c->pageSize = 32;
        c->position = 128;
        c->buddy = kRedEdit;
        Add(kRedEdit, ControlKind::kEdit, 1, 0).text = "128";
        c = &Add(kRedSpin, ControlKind::kUpDown, 1, 0);
        c->max = 400;
        c->position = 128;
        c->buddy = kRedEdit;
        Add(kNote, ControlKind::kLabel, 1, 1).label =
            text("* Half clock in WORD mode", "※ WORD 転送ではクロックを半分に");
        Add(kDialogOk, ControlKind::kButton, -1, 0).label = "OK";
        Add(kDialogCancel, ControlKind::kButton, -1, 0).label = text("Cancel", "キャンセル");
        Add(kDefault, ControlKind::kButton, -1, 0).label = "Default(&D)";
        SetGain(10);
    }

    std::string Title() const override { return japanese_ ? "アナログ設定" : "Property"; }
    std::vector<std::string> Pages() const override {
        if (japanese_) return {"アナログゲイン", "グレーフィルター"};
        return {"Analog Gain", "Gray Filter"};
    }
    std::vector<Control> Snapshot(uint64_t* revision) const override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (revision != nullptr) *revision = revision_;
        return controls_;
    }
    uint64_t Revision() const override {
        std::lock_guard<std::mutex> lock(mutex_);
        return revision_;
    }

    void Scroll(int id, int position) override {
        Log("Scroll " + std::to_string(id) + " " + std::to_string(position));
        if (id == kGain || id == kGainSpin) SetGain(position);
    }
    void EditText(int id, const std::string& text) override {
        Log("EditText " + std::to_string(id) + " " + text);
        if (id == kGainEdit) SetGain(std::atoi(text.c_str()));
        if (id == kWait) Change(kWait, [&](Control& c) { c.text = text; });
    }
    void Select(int id, int index) override {
        Log("Select " + std::to_string(id) + " " + std::to_string(index));
        Change(id, [&](Control& c) { c.selection = index; });
    }
    void Check(int id, bool checked) override {
        Log("Check " + std::to_string(id) + " " + std::to_string(checked));
        std::lock_guard<std::mutex> lock(mutex_);
        Control* clicked = Find(id);
        if (clicked == nullptr) return;
        for (Control& c : controls_) {
            if (clicked->kind == ControlKind::kRadio && c.group == clicked->group) c.position = 0;
        }
        clicked->position = checked ? 1 : 0;
        ++revision_;
    }
    void Click(int id) override {
        Log("Click " + std::to_string(id));
        if (id == kDefault) SetGain(kGainMin);
        if (id == kDialogOk || id == kDialogCancel) End(id);
    }
    void Close() override {
        Log("Close");
        End(kDialogCancel);
    }
    bool Ended() const override {
        std::lock_guard<std::mutex> lock(mutex_);
        // A dialog that no test step ends must not hang the suite.
        if (!ended_ && std::chrono::steady_clock::now() > deadline_) {
            ended_ = true;
            result_ = kDialogCancel;
            timedOut_ = true;
        }
        return ended_;
    }
    int Result() const override {
        std::lock_guard<std::mutex> lock(mutex_);
        return result_;
    }

    // ---- What the library does to the controls.
    void SetGain(int gain) {
        gain = std::clamp(gain, kGainMin, kGainMax);
        std::lock_guard<std::mutex> lock(mutex_);
        Find(kGain)->position = gain;
        Find(kGainSpin)->position = gain;
        Find(kGainEdit)->text = std::to_string(gain);
        ++revision_;
    }
    template <typename Edit>
    void Change(int id, Edit&& edit) {
        std::lock_guard<std::mutex> lock(mutex_);
        edit(*Find(id));
        ++revision_;
    }
    Control Get(int id) const {
        std::lock_guard<std::mutex> lock(mutex_);
        return *const_cast<TestModel*>(this)->Find(id);
    }
    std::vector<std::string> Events() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return events_;
    }
    void ClearEvents() {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.clear();
    }
    bool TimedOut() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return timedOut_;
    }

  private:
    Control& Add(int id, ControlKind kind, int page, int row) {
        Control& control = controls_.emplace_back();
        control.id = id;
        control.kind = kind;
        control.page = page;
        control.row = row;
        return control;
    }
    Control* Find(int id) {
        for (Control& c : controls_) {
            if (c.id == id) return &c;
        }
        return nullptr;
    }
    void Log(std::string event) {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.push_back(std::move(event));
    }
    void End(int result) {
        std::lock_guard<std::mutex> lock(mutex_);
        ended_ = true;
        result_ = result;
        ++revision_;
    }

    const bool japanese_;
    mutable std::mutex mutex_;
    std::vector<Control> controls_;
    uint64_t revision_ = 1;
    std::vector<std::string> events_;
    mutable bool ended_ = false;
    mutable int result_ = 0;
    mutable bool timedOut_ = false;
    const std::chrono::steady_clock::time_point deadline_ =
        std::chrono::steady_clock::now() + std::chrono::seconds(20);
};

bool Logged(const TestModel& model, const std::string& event) {
    const auto events = model.Events();
    return std::find(events.begin(), events.end(), event) != events.end();
}

class GtkDialogViewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        VELCOR_REQUIRE_DISPLAY(Server());
        ASSERT_TRUE(Module().Loaded()) << Module().Error();
        probe_.emplace(Module());
        ASSERT_TRUE(probe_->Ready());
    }

    static const DialogViewModule& Module() {
        static const DialogViewModule module(VELCOR_GTK_VIEW_MODULE);
        return module;
    }
    const GtkProbe& Probe() const { return *probe_; }

    // Runs the model; check gets the dialog's widget and must end the dialog.
    int Show(TestModel& model, const std::function<void(void* dialog)>& check,
             unsigned long parent = 0) {
        bool shown = false;
        const int result = Module().Run(
            model,
            [&](unsigned long window) {
                shown = true;
                window_ = window;
                void* dialog = Probe().Dialog(window);
                EXPECT_NE(dialog, nullptr);
                if (dialog == nullptr) return model.Click(kDialogCancel);
                check(dialog);
            },
            parent);
        EXPECT_TRUE(shown);
        EXPECT_FALSE(model.TimedOut());
        return result;
    }

    // One server for all the dialogs of the process: GTK keeps its display connection, and
    // a server gone from under it ends the process.
    static XvfbDisplay& Server() {
        static XvfbDisplay server;
        return server;
    }

    std::optional<GtkProbe> probe_;
    unsigned long window_ = 0;
};

TEST_F(GtkDialogViewTest, DrawsEveryControlNamedWithItsId) {
    TestModel model(false);
    const int result = Show(model, [&](void* dialog) {
        const GtkProbe& p = Probe();
        EXPECT_EQ(p.Title(dialog), "Property");
        void* notebook = p.FindType(dialog, "GtkNotebook");
        ASSERT_NE(notebook, nullptr);
        EXPECT_EQ(p.PageCount(notebook), 2);
        EXPECT_TRUE(p.TabsShown(notebook));
        EXPECT_EQ(p.TabLabel(notebook, 1), "Gray Filter");

        void* gain = p.Find(dialog, kGain);
        EXPECT_EQ(p.TypeName(gain), "GtkScale");
        EXPECT_EQ(p.Lower(gain), kGainMin);
        EXPECT_EQ(p.Upper(gain), kGainMax);
        EXPECT_EQ(p.Value(gain), 10);
        EXPECT_EQ(p.PageIncrement(gain), (kGainMax - kGainMin) / 8);
        EXPECT_EQ(p.MnemonicLabel(gain), "_Global Gain");
        EXPECT_EQ(p.TypeName(p.Find(dialog, kGainEdit)), "GtkEntry");
        EXPECT_EQ(p.Text(p.Find(dialog, kGainEdit)), "10");
        void* spin = p.Find(dialog, kGainSpin);
        EXPECT_EQ(p.TypeName(spin), "GtkSpinButton");
        EXPECT_EQ(p.Upper(spin), kGainMax);
        EXPECT_EQ(p.Value(spin), 10);

        void* mode = p.Find(dialog, kGainMode);
        EXPECT_EQ(p.TypeName(mode), "GtkComboBoxText");
        EXPECT_EQ(p.ItemCount(mode), 2);
        EXPECT_EQ(p.Item(mode, 1), "Low Gain");
        EXPECT_EQ(p.Selected(mode), 0);
        EXPECT_FALSE(p.Sensitive(p.Find(dialog, kSubSample)));

        EXPECT_EQ(p.TypeName(p.Find(dialog, kPeltier)), "GtkCheckButton");
        EXPECT_TRUE(p.Active(p.Find(dialog, kPeltier)));
        EXPECT_FALSE(p.Visible(p.Find(dialog, kShortExposure)));
        EXPECT_TRUE(p.Visible(p.Find(dialog, kPeltier)));

        EXPECT_EQ(p.TypeName(p.Find(dialog, kBayerBox)), "GtkFrame");
        EXPECT_EQ(p.Text(p.Find(dialog, kBayerBox)), "Bayer Mode");
        // The radios sit inside their group box.
        EXPECT_NE(p.Find(p.Find(dialog, kBayerBox), kBayer0), nullptr);
        EXPECT_EQ(p.TypeName(p.Find(dialog, kBayer0)), "GtkRadioButton");
        EXPECT_FALSE(p.Active(p.Find(dialog, kBayer0)));
        EXPECT_TRUE(p.Active(p.Find(dialog, kBayer1)));

        EXPECT_EQ(p.Text(p.Find(dialog, kWaitLabel)), "Wait Time(_T):");
        EXPECT_EQ(p.MnemonicLabel(p.Find(dialog, kWait)), "Wait Time(_T):");
        EXPECT_EQ(p.Text(p.Find(dialog, kWait)), "100");

        void* red = p.Find(dialog, kRedGain);
        EXPECT_EQ(p.Upper(red), 400);
        EXPECT_EQ(p.Value(red), 128);

        EXPECT_EQ(p.Text(p.Find(dialog, kDialogOk)), "OK");
        EXPECT_EQ(p.Text(p.Find(dialog, kDialogCancel)), "Cancel");
        EXPECT_EQ(p.Text(p.Find(dialog, kDefault)), "Default(_D)");
        // Drawing the model reports nothing back to it.
        EXPECT_TRUE(model.Events().empty());
        model.Click(kDialogOk);
    });
    EXPECT_EQ(result, kDialogOk);
}

TEST_F(GtkDialogViewTest, OnePageWithoutLabelShowsNoTabs) {
    class SinglePage : public TestModel {
      public:
        SinglePage() : TestModel(false) {}
        std::vector<std::string> Pages() const override { return {""}; }
    } model;
    // The second page's controls move to the only page.
    for (const int id : {kRedGain, kRedEdit, kRedSpin, kNote}) {
        model.Change(id, [](Control& c) { c.page = 0; });
    }
    const int result = Show(model, [&](void* dialog) {
        void* notebook = Probe().FindType(dialog, "GtkNotebook");
        EXPECT_FALSE(Probe().TabsShown(notebook));
        model.Click(kDialogCancel);
    });
    EXPECT_EQ(result, kDialogCancel);
}

TEST_F(GtkDialogViewTest, ChangesOfTheModelReachTheWidgets) {
    TestModel model(false);
    std::thread library;
    const int result = Show(model, [&](void* dialog) {
        const GtkProbe& p = Probe();
        // A change made while the hook runs shows when it returns.
        model.SetGain(20);
        model.Change(kPeltier, [](Control& c) { c.visible = false; });
        model.Change(kGainMode, [](Control& c) {
            c.items = {"High", "Low", "Auto"};
            c.selection = 2;
        });
        p.After(0, [&, dialog] {
            EXPECT_EQ(p.Value(p.Find(dialog, kGain)), 20);
            EXPECT_FALSE(p.Visible(p.Find(dialog, kPeltier)));
            EXPECT_EQ(p.ItemCount(p.Find(dialog, kGainMode)), 3);
            EXPECT_EQ(p.Selected(p.Find(dialog, kGainMode)), 2);
            // Another thread's change (automatic exposure moving the gain) shows within the
            // view's watch interval.
            library = std::thread([&] {
                model.SetGain(40);
                model.Change(kBayer0, [](Control& c) { c.position = 1; });
                model.Change(kBayer1, [](Control& c) { c.position = 0; });
                model.Change(kWait, [](Control& c) {
                    c.text = "250";
                    c.enabled = false;
                });
            });
            const auto start = std::chrono::steady_clock::now();
            p.Poll(10, [&, dialog, start] {
                const bool done =
                    p.Value(p.Find(dialog, kGain)) == 40 && p.Text(p.Find(dialog, kWait)) == "250";
                if (!done && std::chrono::steady_clock::now() - start < std::chrono::seconds(5)) {
                    return false;
                }
                EXPECT_TRUE(done);
                EXPECT_EQ(p.Text(p.Find(dialog, kGainEdit)), "40");
                EXPECT_EQ(p.Value(p.Find(dialog, kGainSpin)), 40);
                EXPECT_TRUE(p.Active(p.Find(dialog, kBayer0)));
                EXPECT_FALSE(p.Active(p.Find(dialog, kBayer1)));
                EXPECT_FALSE(p.Sensitive(p.Find(dialog, kWait)));
                // Refreshing fed nothing back.
                EXPECT_TRUE(model.Events().empty());
                model.Click(kDialogOk);
                return true;
            });
        });
    });
    if (library.joinable()) library.join();
    EXPECT_EQ(result, kDialogOk);
}

TEST_F(GtkDialogViewTest, RadiosShowAGroupWithNoneChecked) {
    TestModel model(false);
    model.Change(kBayer1, [](Control& c) { c.position = 0; });
    const int result = Show(model, [&](void* dialog) {
        EXPECT_FALSE(Probe().Active(Probe().Find(dialog, kBayer0)));
        EXPECT_FALSE(Probe().Active(Probe().Find(dialog, kBayer1)));
        model.Click(kDialogOk);
    });
    EXPECT_EQ(result, kDialogOk);
}

TEST_F(GtkDialogViewTest, UserActionsReachTheModelAsEvents) {
    TestModel model(false);
    const int result = Show(model, [&](void* dialog) {
        const GtkProbe& p = Probe();
        p.SetValue(p.Find(dialog, kGain), 33);
        EXPECT_TRUE(Logged(model, "Scroll 1013 33"));
        EXPECT_EQ(model.Get(kGain).position, 33);
        // The trio follows the model at once.
        EXPECT_EQ(p.Text(p.Find(dialog, kGainEdit)), "33");
        EXPECT_EQ(p.Value(p.Find(dialog, kGainSpin)), 33);

        // Beyond the range: GTK holds the slider at its end, the model gets the end.
        p.SetValue(p.Find(dialog, kGainSpin), 80);
        EXPECT_TRUE(Logged(model, "Scroll 1038 62"));

        p.SetText(p.Find(dialog, kGainEdit), "17");
        p.Activate(p.Find(dialog, kGainEdit));
        EXPECT_TRUE(Logged(model, "EditText 1015 17"));
        EXPECT_EQ(p.Value(p.Find(dialog, kGain)), 17);

        // Leaving an edit sends what was typed; leaving it untouched sends nothing.
        p.Focus(p.Find(dialog, kWait));
        p.SetText(p.Find(dialog, kWait), "250");
        p.Focus(p.Find(dialog, kGain));
        EXPECT_TRUE(Logged(model, "EditText 1045 250"));
        model.ClearEvents();
        p.Focus(p.Find(dialog, kWait));
        p.Focus(p.Find(dialog, kGain));
        EXPECT_TRUE(model.Events().empty());

        p.Select(p.Find(dialog, kGainMode), 1);
        EXPECT_TRUE(Logged(model, "Select 2126 1"));
        p.Click(p.Find(dialog, kPeltier));
        EXPECT_TRUE(Logged(model, "Check 2124 0"));
        EXPECT_EQ(model.Get(kPeltier).position, 0);
        p.Click(p.Find(dialog, kBayer0));
        EXPECT_TRUE(Logged(model, "Check 1030 1"));
        EXPECT_FALSE(p.Active(p.Find(dialog, kBayer1)));
        EXPECT_EQ(model.Get(kBayer1).position, 0);
        // The radio pushed out of its group reports nothing: the model unchecked it.
        EXPECT_FALSE(Logged(model, "Check 1031 0"));

        p.Click(p.Find(dialog, kDefault));
        EXPECT_TRUE(Logged(model, "Click 3"));
        EXPECT_EQ(p.Value(p.Find(dialog, kGain)), kGainMin);
        EXPECT_EQ(p.Text(p.Find(dialog, kGainEdit)), std::to_string(kGainMin));

        // A dialog opened from inside this one on the same thread is refused.
        TestModel nested(false);
        EXPECT_EQ(Module().Run(nested, nullptr), 0);

        p.Click(p.Find(dialog, kDialogOk));
    });
    EXPECT_EQ(result, kDialogOk);
    EXPECT_TRUE(Logged(model, "Click 1"));
}

TEST_F(GtkDialogViewTest, ModelEventsEndTheDialog) {
    TestModel ok(false);
    EXPECT_EQ(Show(ok, [&](void*) { ok.Click(kDialogOk); }), kDialogOk);
    TestModel closed(false);
    EXPECT_EQ(Show(closed, [&](void*) { closed.Close(); }), kDialogCancel);
}

TEST_F(GtkDialogViewTest, EditsLeftUnfinishedAreNotSentAfterTheEnd) {
    TestModel model(false);
    const int result = Show(model, [&](void* dialog) {
        Probe().Focus(Probe().Find(dialog, kWait));
        Probe().SetText(Probe().Find(dialog, kWait), "999");
        model.Click(kDialogCancel);
    });
    EXPECT_EQ(result, kDialogCancel);
    EXPECT_FALSE(Logged(model, "EditText 1045 999"));
    EXPECT_EQ(model.Get(kWait).text, "100");
}

TEST_F(GtkDialogViewTest, ClosingTheWindowCancels) {
    TestModel model(false);
    EXPECT_EQ(Show(model, [&](void* dialog) { Probe().CloseWindow(dialog); }), kDialogCancel);
    EXPECT_TRUE(Logged(model, "Close"));
}

TEST_F(GtkDialogViewTest, DialogIsTransientForItsParentWindow) {
    test::X11TopWindow parent;
    ASSERT_NE(parent.Id(), 0u);
    TestModel model(false);
    const int result = Show(
        model,
        [&](void*) {
            EXPECT_EQ(test::TransientFor(window_), parent.Id());
            model.Click(kDialogOk);
        },
        parent.Id());
    EXPECT_EQ(result, kDialogOk);
}

TEST_F(GtkDialogViewTest, ParentThatIsNoWindowIsIgnored) {
    TestModel model(false);
    const unsigned long noWindow = 0x7ffffff;
    EXPECT_EQ(Show(
                  model, [&](void*) { model.Click(kDialogOk); }, noWindow),
              kDialogOk);
}

TEST_F(GtkDialogViewTest, SecondDialogDrawsAsTheFirst) {
    std::vector<test::Screenshot> shots;
    for (int run = 0; run < 2; ++run) {
        TestModel model(false);
        const std::string path = std::string(VELCOR_DIALOG_SCREENSHOTS) + "/test-dialog-run" +
                                 std::to_string(run + 1) + ".png";
        EXPECT_EQ(Show(model,
                       [&](void*) {
                           shots.push_back(test::SaveWindowPng(window_, path));
                           model.Click(kDialogOk);
                       }),
                  kDialogOk);
    }
    ASSERT_EQ(shots.size(), 2u);
    EXPECT_TRUE(shots[0].saved && shots[1].saved);
    EXPECT_EQ(shots[0].width, shots[1].width);
    EXPECT_EQ(shots[0].height, shots[1].height);
    EXPECT_TRUE(shots[0].rgb == shots[1].rgb) << "the second dialog is drawn differently";
}

TEST_F(GtkDialogViewTest, LeavesTheProcessLocaleAlone) {
    const std::string before = std::setlocale(LC_ALL, nullptr);
    const char* old = std::getenv("LC_ALL");
    const std::optional<std::string> saved = old ? std::optional<std::string>(old) : std::nullopt;
    ::setenv("LC_ALL", "C.UTF-8", 1);
    TestModel model(false);
    const int result = Show(model, [&](void*) { model.Click(kDialogOk); });
    if (saved) {
        ::setenv("LC_ALL", saved->c_str(), 1);
    } else {
        ::unsetenv("LC_ALL");
    }
    EXPECT_EQ(result, kDialogOk);
    EXPECT_EQ(std::setlocale(LC_ALL, nullptr), before);
}

TEST_F(GtkDialogViewTest, InvalidUtf8ShowsAsReplacementCharacters) {
    TestModel model(false);
    model.Change(kNote, [](Control& c) { c.label = "range: 1\xb5s"; });
    const int result = Show(model, [&](void* dialog) {
        EXPECT_EQ(Probe().Text(Probe().Find(dialog, kNote)), "range: 1\xef\xbf\xbds");
        model.Click(kDialogOk);
    });
    EXPECT_EQ(result, kDialogOk);
}

// Pictures of the dialog for a person to look at, in both languages.
TEST_F(GtkDialogViewTest, ScreenshotsInEnglishAndJapanese) {
    for (const bool japanese : {false, true}) {
        TestModel model(japanese);
        const std::string path = std::string(VELCOR_DIALOG_SCREENSHOTS) + "/test-dialog-" +
                                 (japanese ? "ja" : "en") + ".png";
        const int result = Show(model, [&](void* dialog) {
            if (japanese) {
                EXPECT_EQ(Probe().Title(dialog), "アナログ設定");
                EXPECT_EQ(Probe().MnemonicLabel(Probe().Find(dialog, kGain)),
                          "グローバルゲイン(_G)");
            }
            const test::Screenshot shot = test::SaveWindowPng(window_, path);
            EXPECT_TRUE(shot.saved) << shot.error;
            EXPECT_GT(shot.width, 200);
            EXPECT_GT(shot.height, 100);
            EXPECT_GT(shot.colours, 8) << "the dialog was not drawn";
            model.Click(kDialogOk);
        });
        EXPECT_EQ(result, kDialogOk);
    }
}

TEST(GtkDialogViewWithoutDisplay, AnswersZero) {
    static const DialogViewModule module(VELCOR_GTK_VIEW_MODULE);
    ASSERT_TRUE(module.Loaded()) << module.Error();
    const char* old = std::getenv("DISPLAY");
    const std::optional<std::string> saved = old ? std::optional<std::string>(old) : std::nullopt;
    ::unsetenv("DISPLAY");
    TestModel model(false);
    bool shown = false;
    const auto start = std::chrono::steady_clock::now();
    const int result = module.Run(model, [&](unsigned long) { shown = true; });
    const auto took = std::chrono::steady_clock::now() - start;
    if (saved) ::setenv("DISPLAY", saved->c_str(), 1);
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(shown);
    EXPECT_LT(took, std::chrono::seconds(2));
    EXPECT_TRUE(model.Events().empty());
}

}  // namespace
}  // namespace velcor::dialogs
