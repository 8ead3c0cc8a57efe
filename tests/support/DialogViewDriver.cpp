#include "support/DialogViewDriver.h"

#include <dlfcn.h>

#include <memory>
#include <utility>
#include <vector>

namespace velcor::test {
namespace {

// GLib's list cell and GTK's tree iterator, as laid out by the C libraries.
struct ListCell {
    void* data;
    ListCell* next;
    ListCell* prev;
};
struct TreeIter {
    int stamp;
    void* userData[3];
};

void CallShown(void* context, unsigned long window) {
    auto& shown = *static_cast<std::function<void(unsigned long)>*>(context);
    if (shown) shown(window);
}

int CallOnce(void* data) {
    (*static_cast<std::function<void()>*>(data))();
    return 0;  // G_SOURCE_REMOVE
}
void DeleteOnce(void* data) {
    delete static_cast<std::function<void()>*>(data);
}

int CallStep(void* data) {
    return (*static_cast<std::function<bool()>*>(data))() ? 0 : 1;  // remove when done
}
void DeleteStep(void* data) {
    delete static_cast<std::function<bool()>*>(data);
}

}  // namespace

DialogViewModule::DialogViewModule(const std::string& path) {
    handle_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        error_ = ::dlerror();
        return;
    }
    run_ =
        reinterpret_cast<dialogs::RunDialogFunction>(::dlsym(handle_, dialogs::kDialogViewEntry));
    if (run_ == nullptr) error_ = std::string("no ") + dialogs::kDialogViewEntry;
}

void* DialogViewModule::Symbol(const char* name) const {
    return handle_ != nullptr ? ::dlsym(handle_, name) : nullptr;
}

int DialogViewModule::Run(dialogs::DialogModel& model, std::function<void(unsigned long)> shown,
                          unsigned long parentWindow) const {
    dialogs::DialogViewHooks hooks;
    hooks.context = &shown;
    hooks.shown = CallShown;
    return run_(&model, parentWindow, &hooks);
}

template <typename Function>
void GtkProbe::Load(Function& function, const char* name, const DialogViewModule& module) {
    function = reinterpret_cast<Function>(module.Symbol(name));
    if (function == nullptr) ready_ = false;
}

GtkProbe::GtkProbe(const DialogViewModule& module) {
#define VELCOR_LOAD(name) Load(name, #name, module)
    VELCOR_LOAD(gtk_window_list_toplevels);
    VELCOR_LOAD(g_list_free);
    VELCOR_LOAD(gtk_widget_get_window);
    VELCOR_LOAD(gdk_x11_window_get_xid);
    VELCOR_LOAD(gtk_container_forall);
    VELCOR_LOAD(g_type_check_instance_is_a);
    VELCOR_LOAD(g_type_name_from_instance);
    VELCOR_LOAD(gtk_container_get_type);
    VELCOR_LOAD(gtk_entry_get_type);
    VELCOR_LOAD(gtk_label_get_type);
    VELCOR_LOAD(gtk_button_get_type);
    VELCOR_LOAD(gtk_frame_get_type);
    VELCOR_LOAD(gtk_range_get_type);
    VELCOR_LOAD(gtk_spin_button_get_type);
    VELCOR_LOAD(gtk_widget_get_name);
    VELCOR_LOAD(gtk_window_get_title);
    VELCOR_LOAD(gtk_widget_get_sensitive);
    VELCOR_LOAD(gtk_widget_get_visible);
    VELCOR_LOAD(gtk_entry_get_text);
    VELCOR_LOAD(gtk_entry_set_text);
    VELCOR_LOAD(gtk_label_get_label);
    VELCOR_LOAD(gtk_button_get_label);
    VELCOR_LOAD(gtk_frame_get_label);
    VELCOR_LOAD(gtk_widget_list_mnemonic_labels);
    VELCOR_LOAD(gtk_range_get_adjustment);
    VELCOR_LOAD(gtk_spin_button_get_adjustment);
    VELCOR_LOAD(gtk_adjustment_get_value);
    VELCOR_LOAD(gtk_adjustment_get_lower);
    VELCOR_LOAD(gtk_adjustment_get_upper);
    VELCOR_LOAD(gtk_adjustment_get_page_increment);
    VELCOR_LOAD(gtk_range_set_value);
    VELCOR_LOAD(gtk_spin_button_set_value);
    VELCOR_LOAD(gtk_toggle_button_get_active);
    VELCOR_LOAD(gtk_combo_box_get_active);
    VELCOR_LOAD(gtk_combo_box_set_active);
    VELCOR_LOAD(gtk_combo_box_get_model);
    VELCOR_LOAD(gtk_tree_model_iter_n_children);
    VELCOR_LOAD(gtk_tree_model_iter_nth_child);
    VELCOR_LOAD(gtk_tree_model_get);
    VELCOR_LOAD(gtk_notebook_get_n_pages);
    VELCOR_LOAD(gtk_notebook_get_show_tabs);
    VELCOR_LOAD(gtk_notebook_get_nth_page);
    VELCOR_LOAD(gtk_notebook_get_tab_label_text);
    VELCOR_LOAD(gtk_widget_activate);
    VELCOR_LOAD(gtk_button_clicked);
    VELCOR_LOAD(gtk_widget_grab_focus);
    VELCOR_LOAD(gtk_window_close);
    VELCOR_LOAD(g_free);
    VELCOR_LOAD(g_timeout_add_full);
#undef VELCOR_LOAD
}

bool GtkProbe::IsA(void* widget, unsigned long (*type)()) const {
    return widget != nullptr && g_type_check_instance_is_a(widget, type()) != 0;
}

void* GtkProbe::Dialog(unsigned long window) const {
    auto* list = static_cast<ListCell*>(gtk_window_list_toplevels());
    void* found = nullptr;
    for (ListCell* cell = list; cell != nullptr; cell = cell->next) {
        void* gdkWindow = gtk_widget_get_window(cell->data);
        if (gdkWindow != nullptr && gdk_x11_window_get_xid(gdkWindow) == window) found = cell->data;
    }
    g_list_free(list);
    return found;
}

void* GtkProbe::Find(void* root, int id) const {
    const std::string name = std::to_string(id);
    struct Search {
        const GtkProbe* probe;
        const std::string& name;
        void* found;
        static void Visit(void* widget, void* data) {
            auto& search = *static_cast<Search*>(data);
            if (search.found != nullptr) return;
            if (search.name == search.probe->gtk_widget_get_name(widget)) {
                search.found = widget;
            } else if (search.probe->IsA(widget, search.probe->gtk_container_get_type)) {
                search.probe->gtk_container_forall(widget, Visit, data);
            }
        }
    } search{this, name, nullptr};
    if (root != nullptr) Search::Visit(root, &search);
    return search.found;
}

void* GtkProbe::FindType(void* root, const std::string& type) const {
    struct Search {
        const GtkProbe* probe;
        const std::string& type;
        void* found;
        static void Visit(void* widget, void* data) {
            auto& search = *static_cast<Search*>(data);
            if (search.found != nullptr) return;
            if (search.type == search.probe->g_type_name_from_instance(widget)) {
                search.found = widget;
            } else if (search.probe->IsA(widget, search.probe->gtk_container_get_type)) {
                search.probe->gtk_container_forall(widget, Visit, data);
            }
        }
    } search{this, type, nullptr};
    if (root != nullptr) Search::Visit(root, &search);
    return search.found;
}

std::string GtkProbe::TypeName(void* widget) const {
    return widget != nullptr ? g_type_name_from_instance(widget) : "";
}

std::string GtkProbe::Title(void* window) const {
    const char* title = gtk_window_get_title(window);
    return title != nullptr ? title : "";
}

bool GtkProbe::Sensitive(void* widget) const {
    return gtk_widget_get_sensitive(widget) != 0;
}
bool GtkProbe::Visible(void* widget) const {
    return gtk_widget_get_visible(widget) != 0;
}

std::string GtkProbe::Text(void* widget) const {
    const char* text = nullptr;
    if (IsA(widget, gtk_entry_get_type)) {
        text = gtk_entry_get_text(widget);
    } else if (IsA(widget, gtk_label_get_type)) {
        text = gtk_label_get_label(widget);
    } else if (IsA(widget, gtk_button_get_type)) {
        text = gtk_button_get_label(widget);
    } else if (IsA(widget, gtk_frame_get_type)) {
        text = gtk_frame_get_label(widget);
    }
    return text != nullptr ? text : "";
}

std::string GtkProbe::MnemonicLabel(void* widget) const {
    auto* list = static_cast<ListCell*>(gtk_widget_list_mnemonic_labels(widget));
    const std::string text = list != nullptr ? Text(list->data) : "";
    g_list_free(list);
    return text;
}

void* GtkProbe::Adjustment(void* widget) const {
    if (IsA(widget, gtk_spin_button_get_type)) return gtk_spin_button_get_adjustment(widget);
    if (IsA(widget, gtk_range_get_type)) return gtk_range_get_adjustment(widget);
    return nullptr;
}

double GtkProbe::Value(void* widget) const {
    void* adjustment = Adjustment(widget);
    return adjustment != nullptr ? gtk_adjustment_get_value(adjustment) : -1e9;
}
double GtkProbe::Lower(void* widget) const {
    void* adjustment = Adjustment(widget);
    return adjustment != nullptr ? gtk_adjustment_get_lower(adjustment) : -1e9;
}
double GtkProbe::Upper(void* widget) const {
    void* adjustment = Adjustment(widget);
    return adjustment != nullptr ? gtk_adjustment_get_upper(adjustment) : -1e9;
}
double GtkProbe::PageIncrement(void* widget) const {
    void* adjustment = Adjustment(widget);
    return adjustment != nullptr ? gtk_adjustment_get_page_increment(adjustment) : -1e9;
}

bool GtkProbe::Active(void* widget) const {
    return gtk_toggle_button_get_active(widget) != 0;
}
int GtkProbe::Selected(void* widget) const {
    return gtk_combo_box_get_active(widget);
}

int GtkProbe::ItemCount(void* widget) const {
    return gtk_tree_model_iter_n_children(gtk_combo_box_get_model(widget), nullptr);
}

std::string GtkProbe::Item(void* widget, int index) const {
    void* model = gtk_combo_box_get_model(widget);
    TreeIter iter{};
    if (gtk_tree_model_iter_nth_child(model, &iter, nullptr, index) == 0) return "";
    char* text = nullptr;
    // The text combo box keeps its texts in column 0.
    gtk_tree_model_get(model, &iter, 0, &text, -1);
    std::string result = text != nullptr ? text : "";
    g_free(text);
    return result;
}

int GtkProbe::PageCount(void* notebook) const {
    return gtk_notebook_get_n_pages(notebook);
}
bool GtkProbe::TabsShown(void* notebook) const {
    return gtk_notebook_get_show_tabs(notebook) != 0;
}
std::string GtkProbe::TabLabel(void* notebook, int index) const {
    const char* text =
        gtk_notebook_get_tab_label_text(notebook, gtk_notebook_get_nth_page(notebook, index));
    return text != nullptr ? text : "";
}

void GtkProbe::SetValue(void* widget, double value) const {
    if (IsA(widget, gtk_spin_button_get_type)) {
        gtk_spin_button_set_value(widget, value);
    } else {
        gtk_range_set_value(widget, value);
    }
}

void GtkProbe::SetText(void* entry, const std::string& text) const {
    gtk_entry_set_text(entry, text.c_str());
}
void GtkProbe::Activate(void* widget) const {
    gtk_widget_activate(widget);
}
void GtkProbe::Select(void* combo, int index) const {
    gtk_combo_box_set_active(combo, index);
}
void GtkProbe::Click(void* button) const {
    gtk_button_clicked(button);
}
void GtkProbe::Focus(void* widget) const {
    gtk_widget_grab_focus(widget);
}
void GtkProbe::CloseWindow(void* window) const {
    gtk_window_close(window);
}

void GtkProbe::After(int milliseconds, std::function<void()> fn) const {
    auto owned = std::make_unique<std::function<void()>>(std::move(fn));
    g_timeout_add_full(0, static_cast<unsigned>(milliseconds), CallOnce, owned.release(),
                       DeleteOnce);
}

void GtkProbe::Poll(int milliseconds, std::function<bool()> step) const {
    auto owned = std::make_unique<std::function<bool()>>(std::move(step));
    g_timeout_add_full(0, static_cast<unsigned>(milliseconds), CallStep, owned.release(),
                       DeleteStep);
}

}  // namespace velcor::test
