#include "dialogs/DialogBase.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>

namespace velcor::dialogs {

std::optional<int> ParseInteger(const std::string& text) {
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(begin, &end, 10);
    if (end == begin || errno == ERANGE || value < INT_MIN || value > INT_MAX) return std::nullopt;
    while (*end == ' ' || *end == '\t')
        ++end;
    if (*end != '\0') return std::nullopt;
    return static_cast<int>(value);
}

DialogBase::DialogBase(std::string title, std::vector<std::string> pages)
    : title_(std::move(title)), pages_(std::move(pages)) {}

std::vector<Control> DialogBase::Snapshot(uint64_t* revision) const {
    std::lock_guard lock(mutex_);
    if (revision != nullptr) *revision = revision_;
    return controls_;
}

uint64_t DialogBase::Revision() const {
    std::lock_guard lock(mutex_);
    return revision_;
}

bool DialogBase::Ended() const {
    std::lock_guard lock(mutex_);
    return result_ != 0;
}

int DialogBase::Result() const {
    std::lock_guard lock(mutex_);
    return result_;
}

std::optional<Control> DialogBase::Find(int id) const {
    std::lock_guard lock(mutex_);
    const Control* control = Get(id);
    if (control == nullptr) return std::nullopt;
    return *control;
}

// ---- Events ----------------------------------------------------------------------------------

void DialogBase::Scroll(int id, int position) {
    std::lock_guard lock(mutex_);
    const Control* control = Get(id);
    const SliderTrio* trio = TrioOf(id);
    if (result_ != 0 || control == nullptr || trio == nullptr || !control->enabled) return;
    MoveTrio(*trio, position);
}

void DialogBase::EditText(int id, const std::string& text) {
    std::lock_guard lock(mutex_);
    Control* control = Get(id);
    if (result_ != 0 || control == nullptr || !control->enabled) return;
    if (const SliderTrio* trio = TrioOf(id)) {
        // Text that is no number puts back the value the trio holds.
        const std::optional<int> value = ParseInteger(text);
        MoveTrio(*trio, value ? *value : Get(trio->trackbar)->position);
        return;
    }
    control->text = text;
    Touch();
    OnEditText(id, text);
}

void DialogBase::Select(int id, int index) {
    std::lock_guard lock(mutex_);
    Control* control = Get(id);
    if (result_ != 0 || control == nullptr || !control->enabled || index < 0 ||
        index >= static_cast<int>(control->items.size())) {
        return;
    }
    control->selection = index;
    Touch();
    OnSelect(id, index);
}

void DialogBase::Check(int id, bool checked) {
    std::lock_guard lock(mutex_);
    Control* control = Get(id);
    if (result_ != 0 || control == nullptr || !control->enabled) return;
    if (control->kind != ControlKind::kCheck && control->kind != ControlKind::kRadio) return;
    // A radio button is only ever turned on by the user; its group's others go off.
    if (control->kind == ControlKind::kRadio && !checked) return;
    SetChecked(id, checked);
    OnCheck(id, checked);
}

void DialogBase::Click(int id) {
    std::lock_guard lock(mutex_);
    const Control* control = Get(id);
    if (result_ != 0 || control == nullptr || !control->enabled) return;
    if (id == kIdOk || id == kIdCancel) {
        End(id == kIdOk ? kDialogOk : kDialogCancel);
        return;
    }
    OnClick(id);
}

void DialogBase::Close() {
    std::lock_guard lock(mutex_);
    if (result_ == 0) End(kDialogCancel);
}

void DialogBase::End(int result) {
    OnEnd(result);
    result_ = result;
    Touch();
}

void DialogBase::OnEditText(int, const std::string&) {}
void DialogBase::OnSelect(int, int) {}
void DialogBase::OnCheck(int, bool) {}
void DialogBase::OnClick(int) {}

// ---- Controls --------------------------------------------------------------------------------

Control& DialogBase::Add(Control control) {
    controls_.push_back(std::move(control));
    Touch();
    return controls_.back();
}

Control* DialogBase::Get(int id) {
    auto it = std::find_if(controls_.begin(), controls_.end(),
                           [id](const Control& c) { return c.id == id; });
    return it == controls_.end() ? nullptr : &*it;
}

const Control* DialogBase::Get(int id) const {
    return const_cast<DialogBase*>(this)->Get(id);
}

const SliderTrio* DialogBase::TrioOf(int id) const {
    for (const SliderTrio& trio : trios_) {
        if (trio.trackbar == id || trio.edit == id || trio.upDown == id) return &trio;
    }
    return nullptr;
}

void DialogBase::SetupSliderTrio(const SliderTrio& trio, int page, int row,
                                 const std::string& label, int min, int max, int value,
                                 bool enabled, int pageSize) {
    if (TrioOf(trio.trackbar) == nullptr) {
        trios_.push_back(trio);
        Add(ControlSpec(trio.trackbar, ControlKind::kTrackbar)
                .Page(page)
                .Row(row)
                .Label(label)
                .Buddy(trio.edit));
        Add(ControlSpec(trio.edit, ControlKind::kEdit).Page(page).Row(row));
        Add(ControlSpec(trio.upDown, ControlKind::kUpDown).Page(page).Row(row).Buddy(trio.edit));
    }
    Control& trackbar = *Get(trio.trackbar);
    trackbar.min = min;
    trackbar.max = max;
    trackbar.pageSize = pageSize != 0 ? pageSize : (max - min) / 8;
    Control& upDown = *Get(trio.upDown);
    upDown.min = min;
    upDown.max = max;
    for (int id : {trio.trackbar, trio.edit, trio.upDown})
        Get(id)->enabled = enabled;
    ShowTrioValue(trio.trackbar, value);
}

void DialogBase::ShowTrioValue(int trackbar, int value) {
    const SliderTrio* trio = TrioOf(trackbar);
    if (trio == nullptr) return;
    Get(trio->trackbar)->position = value;
    // The up-down control carries a 16-bit position.
    Get(trio->upDown)->position = static_cast<int16_t>(value);
    Get(trio->edit)->text = std::to_string(value);
    Touch();
}

void DialogBase::MoveTrio(const SliderTrio& trio, int value) {
    const Control& trackbar = *Get(trio.trackbar);
    value = std::clamp(value, trackbar.min, std::max(trackbar.min, trackbar.max));
    ShowTrioValue(trio.trackbar, value);
    OnTrio(trio.trackbar, value);
}

void DialogBase::SetText(int id, const std::string& text) {
    if (Control* c = Get(id)) {
        c->text = text;
        Touch();
    }
}

void DialogBase::SetChecked(int id, bool checked) {
    Control* c = Get(id);
    if (c == nullptr) return;
    c->position = checked ? 1 : 0;
    if (checked && c->kind == ControlKind::kRadio && c->group != 0) {
        for (Control& other : controls_) {
            if (other.id != id && other.kind == ControlKind::kRadio && other.group == c->group)
                other.position = 0;
        }
    }
    Touch();
}

void DialogBase::SetEnabled(int id, bool enabled) {
    if (Control* c = Get(id)) {
        c->enabled = enabled;
        Touch();
    }
}

void DialogBase::SetVisible(int id, bool visible) {
    if (Control* c = Get(id)) {
        c->visible = visible;
        Touch();
    }
}

void DialogBase::SetSelection(int id, int index) {
    if (Control* c = Get(id)) {
        c->selection = index;
        Touch();
    }
}

}  // namespace velcor::dialogs
