// What a settings dialog is, independent of any toolkit: a title, tab pages and a list of
// controls addressed by their control identifiers, and the events a user can cause. The dialog
// behaviour (ranges, enable and visibility rules, what a change does to the camera, Default,
// OK and Cancel) lives behind this interface in the library; a view only draws the controls as
// the model describes them and forwards the user's actions.
//
// The view may live in a module loaded at run time, so the interface is abstract and every
// type it passes is defined in this header.
//
// Threads: the view calls every member on the thread that runs the dialog. The library may
// change controls from other threads too (automatic exposure shows its new gain while the
// analog dialog is open); Revision() moves with every change, so a view that polls it sees
// them. Snapshot() and the events are safe from any thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velcor::dialogs {

enum class ControlKind : int {
    kTrackbar,  // slider: min..max, position, page size
    kEdit,      // text entry: text
    kUpDown,    // spin arrows next to their buddy edit: min..max, position
    kCombo,     // drop-down list: items, selection
    kCheck,     // check box: label, position 0/1
    kRadio,     // radio button of a group: label, position 0/1
    kButton,    // push button: label
    kLabel,     // static text: label
    kGroup,     // group box around the controls that follow it on its page: label
};

struct Control {
    int id = 0;
    ControlKind kind = ControlKind::kLabel;
    // Index into Pages(); -1 for the frame's own controls (OK, Cancel, Default).
    int page = 0;
    // Layout: controls of one page with the same row sit on one line, in list order.
    int row = 0;
    // UTF-8 caption of buttons, checks, radios, labels and group boxes, and the caption in
    // front of a slider trio (carried by its trackbar); "&" marks the mnemonic.
    std::string label;
    int min = 0;
    int max = 0;
    int pageSize = 0;
    // Trackbar and up-down position; checks and radios: 1 when checked.
    int position = 0;
    // Edit contents.
    std::string text;
    std::vector<std::string> items;
    int selection = -1;
    // Radio group (radios of one group exclude each other); 0 for none.
    int group = 0;
    // Trackbar and up-down: the edit that shows their value (0: none).
    int buddy = 0;
    bool enabled = true;
    bool visible = true;
};

// How the dialog ended.
inline constexpr int kDialogOk = 1;
inline constexpr int kDialogCancel = 2;

class DialogModel {
  public:
    virtual ~DialogModel() = default;

    // Frame caption (UTF-8) and tab labels; a model with one page and no tab label shows no
    // tabs.
    virtual std::string Title() const = 0;
    virtual std::vector<std::string> Pages() const = 0;
    // A copy of every control, in layout order, with the revision it belongs to.
    virtual std::vector<Control> Snapshot(uint64_t* revision) const = 0;
    // Moves whenever any control changes.
    virtual uint64_t Revision() const = 0;

    // ---- Events a user causes; each acts as the dialog does and updates the controls.
    // A trackbar or up-down moved to position.
    virtual void Scroll(int id, int position) = 0;
    // The user finished editing an edit box (focus left it or Enter was pressed).
    virtual void EditText(int id, const std::string& text) = 0;
    // A combo box item chosen.
    virtual void Select(int id, int index) = 0;
    // A check box or radio button clicked to the given state.
    virtual void Check(int id, bool checked) = 0;
    // A push button pressed: kDialogOk and kDialogCancel end the dialog, others act.
    virtual void Click(int id) = 0;
    // The window was closed by its frame: as Cancel.
    virtual void Close() = 0;

    // The dialog has ended, and how (kDialogOk or kDialogCancel).
    virtual bool Ended() const = 0;
    virtual int Result() const = 0;
};

}  // namespace velcor::dialogs
