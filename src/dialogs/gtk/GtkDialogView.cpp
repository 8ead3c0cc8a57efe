#include "dialogs/gtk/GtkDialogView.h"

#include <gdk/gdkx.h>

#include <algorithm>
#include <cmath>

namespace velcor::dialogs {
namespace {

// How often the view looks for changes the library made from other threads.
constexpr guint kWatchIntervalMs = 50;

// Texts reach GTK as valid UTF-8 whatever the model holds; invalid bytes show as U+FFFD.
std::string Utf8(const std::string& text) {
    if (g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr)) return text;
    gchar* valid = g_utf8_make_valid(text.data(), static_cast<gssize>(text.size()));
    std::string result(valid);
    g_free(valid);
    return result;
}

// "&" marks a mnemonic in the dialog texts, "&&" a literal ampersand; GTK marks it with "_".
std::string Mnemonic(const std::string& text) {
    const std::string valid = Utf8(text);
    std::string result;
    result.reserve(valid.size() + 4);
    for (size_t i = 0; i < valid.size(); ++i) {
        const char c = valid[i];
        if (c == '&') {
            if (i + 1 < valid.size() && valid[i + 1] == '&') {
                result += '&';
                ++i;
            } else if (i + 1 < valid.size()) {
                result += '_';
            }
        } else if (c == '_') {
            result += "__";
        } else {
            result += c;
        }
    }
    return result;
}

// The text without its mnemonic mark, for places that cannot underline (group box titles).
std::string Plain(const std::string& text) {
    const std::string valid = Utf8(text);
    std::string result;
    result.reserve(valid.size());
    for (size_t i = 0; i < valid.size(); ++i) {
        if (valid[i] == '&') {
            if (i + 1 < valid.size() && valid[i + 1] == '&') {
                result += '&';
                ++i;
            }
            continue;
        }
        result += valid[i];
    }
    return result;
}

GtkWidget* NewLine() {
    GtkWidget* line = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 6);
    gtk_widget_show(line);
    return line;
}

void Pack(GtkWidget* box, GtkWidget* widget, bool expand = false) {
    gtk_box_pack_start(GTK_BOX(box), widget, expand, expand, 0);
}

// Runs a user's action on the model and brings the widgets up to date. Nothing thrown by the
// model may unwind through GTK's C frames; the widgets then show the model as it stands.
template <typename Action>
void Forward(GtkDialogView* view, Action&& action, void (GtkDialogView::*after)()) {
    try {
        action();
    } catch (...) {
    }
    try {
        (view->*after)();
    } catch (...) {
    }
}

}  // namespace

GtkDialogView::GtkDialogView(DialogModel& model, GdkDisplay* display, const DialogViewHooks* hooks)
    : model_(model), display_(display), hooks_(hooks) {}

GtkDialogView::~GtkDialogView() {
    if (timer_ != 0) g_source_remove(timer_);
    if (shownIdle_ != 0) g_source_remove(shownIdle_);
    // Taking the window down moves the focus out of an edit: that is no user's action, and
    // the model has ended.
    for (const auto& item : items_) {
        if (item->widget == nullptr) continue;
        g_signal_handlers_disconnect_matched(item->widget, G_SIGNAL_MATCH_DATA, 0, 0, nullptr,
                                             nullptr, item.get());
    }
    if (dialog_ != nullptr) gtk_widget_destroy(dialog_);
    if (loop_ != nullptr) g_main_loop_unref(loop_);
    if (parent_ != nullptr) g_object_unref(parent_);
}

int GtkDialogView::Run(unsigned long parentWindow) {
    Build();
    gtk_widget_realize(dialog_);
    if (parentWindow != 0) {
        // An id that names no window (any more) gives no parent; the dialog still shows.
        parent_ = gdk_x11_window_foreign_new_for_display(display_, parentWindow);
        if (parent_ != nullptr)
            gdk_window_set_transient_for(gtk_widget_get_window(dialog_), parent_);
    }
    Refresh();
    if (model_.Ended()) return model_.Result();

    timer_ = g_timeout_add(kWatchIntervalMs, OnTimer, this);
    gtk_widget_show(dialog_);
    loop_ = g_main_loop_new(nullptr, FALSE);
    g_main_loop_run(loop_);
    return model_.Result();
}

void GtkDialogView::Build() {
    uint64_t revision = 0;
    const std::vector<Control> controls = model_.Snapshot(&revision);
    revision_ = revision;
    int pageCount = 0;
    for (const Control& control : controls) {
        // Controls of no page are not drawn; a control listed twice keeps its first widget.
        if (control.page < -1 || byId_.count(control.id) != 0) continue;
        auto item = std::make_unique<Item>();
        item->view = this;
        item->control = control;
        byId_[control.id] = item.get();
        items_.push_back(std::move(item));
        pageCount = std::max(pageCount, control.page + 1);
    }
    const std::vector<std::string> pages = model_.Pages();
    pageCount = std::max(pageCount, static_cast<int>(pages.size()));

    dialog_ = gtk_dialog_new();
    gtk_window_set_screen(GTK_WINDOW(dialog_), gdk_display_get_default_screen(display_));
    gtk_window_set_title(GTK_WINDOW(dialog_), Utf8(model_.Title()).c_str());
    gtk_window_set_modal(GTK_WINDOW(dialog_), TRUE);
    gtk_window_set_position(GTK_WINDOW(dialog_), GTK_WIN_POS_CENTER);
    g_signal_connect(dialog_, "delete-event", G_CALLBACK(OnDelete), this);
    if (hooks_ != nullptr && hooks_->shown != nullptr) {
        g_signal_connect(dialog_, "map-event", G_CALLBACK(OnMapEvent), this);
        g_signal_connect_after(dialog_, "draw", G_CALLBACK(OnDrawn), this);
    }

    GtkWidget* content = gtk_dialog_get_content_area(GTK_DIALOG(dialog_));
    GtkWidget* notebook = gtk_notebook_new();
    Pack(content, notebook, true);
    GtkSizeGroup* captions = gtk_size_group_new(GTK_SIZE_GROUP_HORIZONTAL);
    for (int page = 0; page < pageCount; ++page) {
        const std::string label = page < static_cast<int>(pages.size()) ? pages[page] : "";
        GtkWidget* tab = gtk_label_new_with_mnemonic(Mnemonic(label).c_str());
        gtk_notebook_append_page(GTK_NOTEBOOK(notebook), BuildPage(page, captions), tab);
    }
    if (pageCount <= 1 && (pages.empty() || pages[0].empty())) {
        gtk_notebook_set_show_tabs(GTK_NOTEBOOK(notebook), FALSE);
        gtk_notebook_set_show_border(GTK_NOTEBOOK(notebook), FALSE);
    }
    gtk_widget_show(notebook);

    // The frame's own controls: push buttons in the button row, anything else under the pages.
    GtkWidget* frameLine = nullptr;
    for (const auto& item : items_) {
        if (item->control.page != -1) continue;
        if (item->control.kind == ControlKind::kButton) {
            AddControl(*item, nullptr, captions);
            gtk_dialog_add_action_widget(GTK_DIALOG(dialog_), item->widget, GTK_RESPONSE_NONE);
            if (item->control.id == kDialogOk) {
                gtk_widget_set_can_default(item->widget, TRUE);
                gtk_window_set_default(GTK_WINDOW(dialog_), item->widget);
            }
        } else {
            if (frameLine == nullptr) {
                frameLine = NewLine();
                Pack(content, frameLine);
            }
            AddControl(*item, frameLine, captions);
            if (item->control.kind == ControlKind::kRadio) {
                gtk_radio_button_join_group(
                    GTK_RADIO_BUTTON(item->widget),
                    GTK_RADIO_BUTTON(RadioSentinel(item->control, content)));
            }
        }
    }
    g_object_unref(captions);
}

GtkWidget* GtkDialogView::BuildPage(int page, GtkSizeGroup* captions) {
    GtkWidget* pageBox = gtk_box_new(GTK_ORIENTATION_VERTICAL, 6);
    gtk_container_set_border_width(GTK_CONTAINER(pageBox), 12);
    gtk_widget_show(pageBox);
    GtkWidget* container = pageBox;
    GtkWidget* line = nullptr;
    int lineRow = 0;
    GtkWidget* pendingLabel = nullptr;
    for (const auto& item : items_) {
        const Control& control = item->control;
        if (control.page != page) continue;
        if (control.kind == ControlKind::kGroup) {
            // The group box holds the rows that follow it, up to the next group box.
            item->widget = gtk_frame_new(Plain(control.label).c_str());
            item->inner = gtk_box_new(GTK_ORIENTATION_VERTICAL, 6);
            gtk_container_set_border_width(GTK_CONTAINER(item->inner), 6);
            gtk_container_add(GTK_CONTAINER(item->widget), item->inner);
            gtk_widget_show(item->inner);
            gtk_widget_set_name(item->widget, std::to_string(control.id).c_str());
            Pack(pageBox, item->widget);
            container = item->inner;
            line = nullptr;
            continue;
        }
        if (line == nullptr || control.row != lineRow) {
            line = NewLine();
            Pack(container, line);
            lineRow = control.row;
        }
        AddControl(*item, line, captions);
        if (control.kind == ControlKind::kRadio) {
            gtk_radio_button_join_group(GTK_RADIO_BUTTON(item->widget),
                                        GTK_RADIO_BUTTON(RadioSentinel(control, pageBox)));
        }
        // A static text's mnemonic moves the focus to the control after it.
        if (control.kind == ControlKind::kLabel) {
            pendingLabel = item->widget;
        } else if (pendingLabel != nullptr) {
            gtk_label_set_mnemonic_widget(GTK_LABEL(pendingLabel), item->widget);
            pendingLabel = nullptr;
        }
    }
    return pageBox;
}

void GtkDialogView::AddControl(Item& item, GtkWidget* line, GtkSizeGroup* captions) {
    const Control& control = item.control;
    switch (control.kind) {
        case ControlKind::kTrackbar: {
            item.caption = gtk_label_new_with_mnemonic(Mnemonic(control.label).c_str());
            gtk_label_set_xalign(GTK_LABEL(item.caption), 0.0f);
            gtk_size_group_add_widget(captions, item.caption);
            item.widget =
                gtk_scale_new(GTK_ORIENTATION_HORIZONTAL, gtk_adjustment_new(0, 0, 1, 1, 1, 0));
            gtk_scale_set_draw_value(GTK_SCALE(item.widget), FALSE);
            gtk_range_set_round_digits(GTK_RANGE(item.widget), 0);
            gtk_widget_set_size_request(item.widget, 200, -1);
            gtk_label_set_mnemonic_widget(GTK_LABEL(item.caption), item.widget);
            break;
        }
        case ControlKind::kEdit:
            item.widget = gtk_entry_new();
            gtk_entry_set_width_chars(GTK_ENTRY(item.widget), 8);
            break;
        case ControlKind::kUpDown:
            item.widget = gtk_spin_button_new(gtk_adjustment_new(0, 0, 1, 1, 1, 0), 1, 0);
            gtk_spin_button_set_numeric(GTK_SPIN_BUTTON(item.widget), TRUE);
            if (control.buddy != 0) {
                // The buddy edit shows the value: the spin control keeps only its arrows.
                gtk_entry_set_width_chars(GTK_ENTRY(item.widget), 0);
                gtk_editable_set_editable(GTK_EDITABLE(item.widget), FALSE);
                gtk_widget_set_can_focus(item.widget, FALSE);
                // Not tied to the item: formatting must go on while the handlers are blocked.
                g_signal_connect(item.widget, "input", G_CALLBACK(OnSpinInput), nullptr);
                g_signal_connect(item.widget, "output", G_CALLBACK(OnSpinOutput), nullptr);
            }
            break;
        case ControlKind::kCombo:
            item.widget = gtk_combo_box_text_new();
            break;
        case ControlKind::kCheck:
            item.widget = gtk_check_button_new_with_mnemonic(Mnemonic(control.label).c_str());
            break;
        case ControlKind::kRadio:
            item.widget =
                gtk_radio_button_new_with_mnemonic(nullptr, Mnemonic(control.label).c_str());
            break;
        case ControlKind::kButton:
            item.widget = gtk_button_new_with_mnemonic(Mnemonic(control.label).c_str());
            break;
        case ControlKind::kLabel:
            item.widget = gtk_label_new_with_mnemonic(Mnemonic(control.label).c_str());
            gtk_label_set_xalign(GTK_LABEL(item.widget), 0.0f);
            break;
        case ControlKind::kGroup:
            // Placed by the page; a group box on the frame itself draws as its caption.
            item.widget = gtk_label_new(Plain(control.label).c_str());
            break;
    }
    gtk_widget_set_name(item.widget, std::to_string(control.id).c_str());
    if (line != nullptr) {
        if (item.caption != nullptr) Pack(line, item.caption);
        Pack(line, item.widget, control.kind == ControlKind::kTrackbar);
    }
    Connect(item);
}

GtkWidget* GtkDialogView::RadioSentinel(const Control& control, GtkWidget* pageBox) {
    // Radios without a group stand alone: each gets a hidden partner of its own.
    const std::pair<int, int> key{control.page, control.group != 0 ? control.group : -control.id};
    auto found = radioGroups_.find(key);
    if (found != radioGroups_.end()) return found->second;
    GtkWidget* sentinel = gtk_radio_button_new(nullptr);
    gtk_widget_set_no_show_all(sentinel, TRUE);
    Pack(pageBox, sentinel);
    radioGroups_.emplace(key, sentinel);
    return sentinel;
}

void GtkDialogView::Connect(Item& item) {
    Item* data = &item;
    switch (item.control.kind) {
        case ControlKind::kTrackbar:
        case ControlKind::kUpDown:
            g_signal_connect(item.widget, "value-changed", G_CALLBACK(OnValueChanged), data);
            break;
        case ControlKind::kEdit:
            g_signal_connect(item.widget, "changed", G_CALLBACK(OnEditChanged), data);
            g_signal_connect(item.widget, "activate", G_CALLBACK(OnEditActivate), data);
            g_signal_connect(item.widget, "focus-out-event", G_CALLBACK(OnEditFocusOut), data);
            break;
        case ControlKind::kCombo:
            g_signal_connect(item.widget, "changed", G_CALLBACK(OnComboChanged), data);
            break;
        case ControlKind::kCheck:
        case ControlKind::kRadio:
            g_signal_connect(item.widget, "toggled", G_CALLBACK(OnToggled), data);
            break;
        case ControlKind::kButton:
            g_signal_connect(item.widget, "clicked", G_CALLBACK(OnClicked), data);
            break;
        case ControlKind::kLabel:
        case ControlKind::kGroup:
            break;
    }
}

void GtkDialogView::Refresh() {
    uint64_t revision = 0;
    const std::vector<Control> controls = model_.Snapshot(&revision);
    revision_ = revision;
    for (const auto& item : items_) {
        g_signal_handlers_block_matched(item->widget, G_SIGNAL_MATCH_DATA, 0, 0, nullptr, nullptr,
                                        item.get());
    }
    std::map<std::pair<int, int>, bool> groupChecked;
    for (const auto& [key, sentinel] : radioGroups_)
        groupChecked[key] = false;
    for (const Control& control : controls) {
        auto found = byId_.find(control.id);
        // Controls appear and go only with a new dialog; a kind that changed is left alone.
        if (found == byId_.end() || found->second->control.kind != control.kind) continue;
        Apply(*found->second, control);
        if (control.kind == ControlKind::kRadio && control.position != 0) {
            groupChecked[{control.page, control.group != 0 ? control.group : -control.id}] = true;
        }
    }
    for (const auto& [key, sentinel] : radioGroups_) {
        if (!groupChecked[key]) gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(sentinel), TRUE);
    }
    for (const auto& item : items_) {
        g_signal_handlers_unblock_matched(item->widget, G_SIGNAL_MATCH_DATA, 0, 0, nullptr, nullptr,
                                          item.get());
    }
}

void GtkDialogView::Apply(Item& item, const Control& control) {
    const Control& shown = item.control;
    GtkWidget* widget = item.widget;
    gtk_widget_set_sensitive(widget, control.enabled);
    gtk_widget_set_visible(widget, control.visible);
    if (item.caption != nullptr) {
        gtk_widget_set_sensitive(item.caption, control.enabled);
        gtk_widget_set_visible(item.caption, control.visible);
    }
    const bool relabel = control.label != shown.label;
    switch (control.kind) {
        case ControlKind::kTrackbar:
        case ControlKind::kUpDown: {
            GtkAdjustment* adjustment =
                control.kind == ControlKind::kTrackbar
                    ? gtk_range_get_adjustment(GTK_RANGE(widget))
                    : gtk_spin_button_get_adjustment(GTK_SPIN_BUTTON(widget));
            const double lower = control.min;
            const double upper = std::max(control.min, control.max);
            const double page = control.pageSize > 0 ? control.pageSize : 1;
            gtk_adjustment_configure(adjustment, control.position, lower, upper, 1, page, 0);
            if (relabel && item.caption != nullptr) {
                gtk_label_set_text_with_mnemonic(GTK_LABEL(item.caption),
                                                 Mnemonic(control.label).c_str());
            }
            break;
        }
        case ControlKind::kEdit: {
            // Text the user is typing stays until it is sent.
            const bool typing = item.edited && gtk_widget_has_focus(widget);
            const std::string text = Utf8(control.text);
            if (!typing && text != gtk_entry_get_text(GTK_ENTRY(widget))) {
                gtk_entry_set_text(GTK_ENTRY(widget), text.c_str());
            }
            if (!typing) item.edited = false;
            break;
        }
        case ControlKind::kCombo: {
            GtkComboBoxText* combo = GTK_COMBO_BOX_TEXT(widget);
            if (control.items != item.items) {
                gtk_combo_box_text_remove_all(combo);
                for (const std::string& entry : control.items) {
                    gtk_combo_box_text_append_text(combo, Utf8(entry).c_str());
                }
                item.items = control.items;
            }
            const bool listed =
                control.selection >= 0 && control.selection < static_cast<int>(item.items.size());
            gtk_combo_box_set_active(GTK_COMBO_BOX(combo), listed ? control.selection : -1);
            break;
        }
        case ControlKind::kCheck:
        case ControlKind::kRadio:
        case ControlKind::kButton:
            if (relabel) gtk_button_set_label(GTK_BUTTON(widget), Mnemonic(control.label).c_str());
            if (control.kind == ControlKind::kCheck) {
                gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(widget), control.position != 0);
            } else if (control.kind == ControlKind::kRadio && control.position != 0) {
                // Unchecking is done by checking another member of the group, or its hidden
                // one (Refresh).
                gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(widget), TRUE);
            }
            break;
        case ControlKind::kLabel:
            if (relabel) {
                gtk_label_set_text_with_mnemonic(GTK_LABEL(widget),
                                                 Mnemonic(control.label).c_str());
            }
            break;
        case ControlKind::kGroup:
            if (relabel) {
                if (GTK_IS_FRAME(widget)) {
                    gtk_frame_set_label(GTK_FRAME(widget), Plain(control.label).c_str());
                } else {
                    gtk_label_set_text(GTK_LABEL(widget), Plain(control.label).c_str());
                }
            }
            break;
    }
    item.control = control;
}

void GtkDialogView::AfterEvent() {
    if (model_.Ended()) {
        if (loop_ != nullptr) g_main_loop_quit(loop_);
        return;
    }
    // Always: the model may have refused the change, and the widget must show that.
    Refresh();
}

void GtkDialogView::CheckModel() {
    if (model_.Ended()) {
        if (loop_ != nullptr) g_main_loop_quit(loop_);
        return;
    }
    if (model_.Revision() != revision_) Refresh();
}

void GtkDialogView::SendEditText(Item& item) {
    const std::string text = gtk_entry_get_text(GTK_ENTRY(item.widget));
    item.edited = false;
    Forward(
        this, [&] { model_.EditText(item.control.id, text); }, &GtkDialogView::AfterEvent);
}

void GtkDialogView::OnValueChanged(GtkWidget* widget, gpointer data) {
    Item& item = *static_cast<Item*>(data);
    const double value = item.control.kind == ControlKind::kTrackbar
                             ? gtk_range_get_value(GTK_RANGE(widget))
                             : gtk_spin_button_get_value(GTK_SPIN_BUTTON(widget));
    const int position = static_cast<int>(std::lround(value));
    Forward(
        item.view, [&] { item.view->model_.Scroll(item.control.id, position); },
        &GtkDialogView::AfterEvent);
}

void GtkDialogView::OnEditChanged(GtkEditable*, gpointer data) {
    static_cast<Item*>(data)->edited = true;
}

void GtkDialogView::OnEditActivate(GtkEntry*, gpointer data) {
    Item& item = *static_cast<Item*>(data);
    item.view->SendEditText(item);
}

gboolean GtkDialogView::OnEditFocusOut(GtkWidget*, GdkEvent*, gpointer data) {
    Item& item = *static_cast<Item*>(data);
    if (item.edited) item.view->SendEditText(item);
    return FALSE;
}

gint GtkDialogView::OnSpinInput(GtkSpinButton* spin, gdouble* value, gpointer) {
    // The arrows alone move the value; the empty text means nothing.
    *value = gtk_adjustment_get_value(gtk_spin_button_get_adjustment(spin));
    return TRUE;
}

gboolean GtkDialogView::OnSpinOutput(GtkSpinButton* spin, gpointer) {
    if (gtk_entry_get_text(GTK_ENTRY(spin))[0] != '\0') gtk_entry_set_text(GTK_ENTRY(spin), "");
    return TRUE;
}

void GtkDialogView::OnComboChanged(GtkComboBox* combo, gpointer data) {
    Item& item = *static_cast<Item*>(data);
    const int index = gtk_combo_box_get_active(combo);
    if (index < 0) return;
    Forward(
        item.view, [&] { item.view->model_.Select(item.control.id, index); },
        &GtkDialogView::AfterEvent);
}

void GtkDialogView::OnToggled(GtkToggleButton* button, gpointer data) {
    Item& item = *static_cast<Item*>(data);
    const bool active = gtk_toggle_button_get_active(button);
    // A radio that another one of its group pushed out says nothing: the model unchecks it.
    if (item.control.kind == ControlKind::kRadio && !active) return;
    Forward(
        item.view, [&] { item.view->model_.Check(item.control.id, active); },
        &GtkDialogView::AfterEvent);
}

void GtkDialogView::OnClicked(GtkButton*, gpointer data) {
    Item& item = *static_cast<Item*>(data);
    Forward(
        item.view, [&] { item.view->model_.Click(item.control.id); }, &GtkDialogView::AfterEvent);
}

gboolean GtkDialogView::OnDelete(GtkWidget*, GdkEvent*, gpointer data) {
    auto* view = static_cast<GtkDialogView*>(data);
    Forward(
        view, [&] { view->model_.Close(); }, &GtkDialogView::AfterEvent);
    // The window stays until the model has ended.
    return TRUE;
}

gboolean GtkDialogView::OnMapEvent(GtkWidget* widget, GdkEvent*, gpointer data) {
    static_cast<GtkDialogView*>(data)->mapped_ = true;
    // The hook wants the dialog drawn: make sure a frame follows the mapping.
    gtk_widget_queue_draw(widget);
    return FALSE;
}

gboolean GtkDialogView::OnDrawn(GtkWidget*, cairo_t*, gpointer data) {
    auto* view = static_cast<GtkDialogView*>(data);
    if (view->mapped_ && !view->shownCalled_ && view->shownIdle_ == 0) {
        // After the frame is complete, not inside its drawing.
        view->shownIdle_ = g_idle_add_full(G_PRIORITY_LOW, OnShownIdle, view, nullptr);
    }
    return FALSE;
}

gboolean GtkDialogView::OnShownIdle(gpointer data) {
    auto* view = static_cast<GtkDialogView*>(data);
    view->shownIdle_ = 0;
    view->shownCalled_ = true;
    // The server has the drawn frame before anyone looks at it.
    gdk_display_sync(view->display_);
    const unsigned long window = gdk_x11_window_get_xid(gtk_widget_get_window(view->dialog_));
    Forward(
        view, [&] { view->hooks_->shown(view->hooks_->context, window); },
        &GtkDialogView::AfterEvent);
    return G_SOURCE_REMOVE;
}

gboolean GtkDialogView::OnTimer(gpointer data) {
    auto* view = static_cast<GtkDialogView*>(data);
    try {
        view->CheckModel();
    } catch (...) {
    }
    return G_SOURCE_CONTINUE;
}

}  // namespace velcor::dialogs
