// What the three settings dialogs share: the controls, looked up by identifier, behind one
// lock; the revision that moves with every change; how the dialog ended; and the slider trio
// (trackbar, edit and up-down showing one number). A dialog describes its controls once and
// answers the user's events in the On* members, which run with the lock held.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "dialogs/DialogModel.h"

namespace velcor::dialogs {

// Frame buttons of every dialog.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdDefault = 3;

// The three controls of one numeric setting.
struct SliderTrio {
    int trackbar;
    int edit;
    int upDown;
};

// A control described field by field: ControlSpec(id, kind).Row(2).Label("Gain").
class ControlSpec {
  public:
    ControlSpec(int id, ControlKind kind) {
        control_.id = id;
        control_.kind = kind;
    }
    ControlSpec& Page(int page) { return control_.page = page, *this; }
    ControlSpec& Row(int row) { return control_.row = row, *this; }
    ControlSpec& Label(std::string label) { return control_.label = std::move(label), *this; }
    ControlSpec& Text(std::string text) { return control_.text = std::move(text), *this; }
    ControlSpec& Items(std::vector<std::string> items) {
        return control_.items = std::move(items), *this;
    }
    ControlSpec& Selection(int selection) { return control_.selection = selection, *this; }
    ControlSpec& Group(int group) { return control_.group = group, *this; }
    ControlSpec& Buddy(int buddy) { return control_.buddy = buddy, *this; }
    ControlSpec& Enabled(bool enabled) { return control_.enabled = enabled, *this; }
    ControlSpec& Visible(bool visible) { return control_.visible = visible, *this; }
    operator Control() const { return control_; }

  private:
    Control control_;
};

class DialogBase : public DialogModel {
  public:
    std::string Title() const override { return title_; }
    std::vector<std::string> Pages() const override { return pages_; }
    std::vector<Control> Snapshot(uint64_t* revision) const override;
    uint64_t Revision() const override;

    void Scroll(int id, int position) override;
    void EditText(int id, const std::string& text) override;
    void Select(int id, int index) override;
    void Check(int id, bool checked) override;
    void Click(int id) override;
    void Close() override;

    bool Ended() const override;
    int Result() const override;

    // A copy of one control (tests and the camera object look at single controls).
    std::optional<Control> Find(int id) const;

  protected:
    DialogBase(std::string title, std::vector<std::string> pages);

    // ---- Events, with the lock held and only while the dialog runs. A trio's new value has
    // been shown in all three of its controls before OnTrio is called.
    virtual void OnTrio(int trackbar, int value) = 0;
    virtual void OnEditText(int id, const std::string& text);
    virtual void OnSelect(int id, int index);
    virtual void OnCheck(int id, bool checked);
    // Buttons but OK and Cancel.
    virtual void OnClick(int id);
    // The dialog ends with result; OK and Cancel call it before the dialog counts as ended.
    virtual void OnEnd(int result) = 0;

    // ---- Building and changing controls (lock held, or before the dialog is shown)
    Control& Add(Control control);
    Control* Get(int id);
    const Control* Get(int id) const;
    // The trio's controls with min..max, value and the page size ((max - min) / 8 when 0),
    // made on their first setup; the trackbar carries the caption.
    void SetupSliderTrio(const SliderTrio& trio, int page, int row, const std::string& label,
                         int min, int max, int value, bool enabled, int pageSize = 0);
    // Shows value in the three controls of the trio whose trackbar is given.
    void ShowTrioValue(int trackbar, int value);
    void SetText(int id, const std::string& text);
    void SetChecked(int id, bool checked);
    void SetEnabled(int id, bool enabled);
    void SetVisible(int id, bool visible);
    void SetSelection(int id, int index);
    // Every change goes through here or ends with it.
    void Touch() { ++revision_; }
    std::mutex& Mutex() const { return mutex_; }

  private:
    // The trio (by its trackbar) that control id belongs to, if any.
    const SliderTrio* TrioOf(int id) const;
    void MoveTrio(const SliderTrio& trio, int value);
    void End(int result);

    mutable std::mutex mutex_;
    std::string title_;
    std::vector<std::string> pages_;
    std::vector<Control> controls_;
    std::vector<SliderTrio> trios_;
    uint64_t revision_ = 1;
    int result_ = 0;
};

// The value an edit holds as a signed integer; nothing when it holds none.
std::optional<int> ParseInteger(const std::string& text);

}  // namespace velcor::dialogs
