// Drives a dialog view module the way the library does: loads it with dlopen, runs a dialog
// model through its entry with a hook that runs once the dialog is on screen, and looks at and
// works the GTK widgets of the running dialog, found by their names (the control ids). The
// GTK functions come from the libraries the module brought in, so tests do not link GTK.
//
// Everything but loading runs on the dialog's thread, from the hook or from callbacks the
// hook scheduled with After() or Poll().
//
// The view keeps its X display open once it has opened one, as GTK programs do, and a server
// that goes away under it ends the process: a test process keeps one X server (XvfbDisplay)
// for all its dialogs.
#pragma once

#include <functional>
#include <string>

#include "dialogs/DialogView.h"

namespace velcor::test {

class DialogViewModule {
  public:
    // Loads the module; it stays loaded for the life of the process (GTK cannot be unloaded).
    explicit DialogViewModule(const std::string& path);

    bool Loaded() const { return run_ != nullptr; }
    const std::string& Error() const { return error_; }
    // A symbol of the module or of the libraries it depends on.
    void* Symbol(const char* name) const;

    // Runs the model as a modal dialog; shown (may be empty) gets the dialog's X11 window once
    // it is on screen. Answers the view's result.
    int Run(dialogs::DialogModel& model, std::function<void(unsigned long)> shown,
            unsigned long parentWindow = 0) const;

  private:
    void* handle_ = nullptr;
    dialogs::RunDialogFunction run_ = nullptr;
    std::string error_;
};

// The widgets of a running GTK dialog. Widgets are passed as opaque pointers.
class GtkProbe {
  public:
    explicit GtkProbe(const DialogViewModule& module);
    // Every function it needs was found.
    bool Ready() const { return ready_; }

    // The dialog whose X11 window is given (nullptr: none).
    void* Dialog(unsigned long window) const;
    // The widget named with the control id under root, or nullptr.
    void* Find(void* root, int id) const;
    // The first widget of the GTK type under root, or nullptr.
    void* FindType(void* root, const std::string& type) const;

    std::string TypeName(void* widget) const;
    std::string Title(void* window) const;
    bool Sensitive(void* widget) const;
    bool Visible(void* widget) const;
    // Labels, buttons, checks and radios with their "_" mnemonic marks, entries, frame titles.
    std::string Text(void* widget) const;
    // The label that names the widget through its mnemonic ("" for none).
    std::string MnemonicLabel(void* widget) const;
    // Sliders and spin controls.
    double Value(void* widget) const;
    double Lower(void* widget) const;
    double Upper(void* widget) const;
    double PageIncrement(void* widget) const;
    // Checks and radios.
    bool Active(void* widget) const;
    // Combo boxes: the selected item (-1: none), the items.
    int Selected(void* widget) const;
    int ItemCount(void* widget) const;
    std::string Item(void* widget, int index) const;
    // The notebook of the dialog.
    int PageCount(void* notebook) const;
    bool TabsShown(void* notebook) const;
    std::string TabLabel(void* notebook, int index) const;

    // What a user does; each change emits the widget's signals as a user's would.
    void SetValue(void* widget, double value) const;
    void SetText(void* entry, const std::string& text) const;
    void Activate(void* widget) const;
    void Select(void* combo, int index) const;
    void Click(void* button) const;
    void Focus(void* widget) const;
    // Closes the window as its frame's close button does.
    void CloseWindow(void* window) const;

    // Calls fn once after the delay, from the dialog's main loop.
    void After(int milliseconds, std::function<void()> fn) const;
    // Calls step every interval from the dialog's main loop until it answers true.
    void Poll(int milliseconds, std::function<bool()> step) const;

  private:
    template <typename Function>
    void Load(Function& function, const char* name, const DialogViewModule& module);
    bool IsA(void* widget, unsigned long (*type)()) const;
    void* Adjustment(void* widget) const;

    bool ready_ = true;
#define VELCOR_GTK_FUNCTION(result, name, ...) result (*name)(__VA_ARGS__) = nullptr
    VELCOR_GTK_FUNCTION(void*, gtk_window_list_toplevels, );
    VELCOR_GTK_FUNCTION(void, g_list_free, void*);
    VELCOR_GTK_FUNCTION(void*, gtk_widget_get_window, void*);
    VELCOR_GTK_FUNCTION(unsigned long, gdk_x11_window_get_xid, void*);
    VELCOR_GTK_FUNCTION(void, gtk_container_forall, void*, void (*)(void*, void*), void*);
    VELCOR_GTK_FUNCTION(int, g_type_check_instance_is_a, void*, unsigned long);
    VELCOR_GTK_FUNCTION(const char*, g_type_name_from_instance, void*);
    VELCOR_GTK_FUNCTION(unsigned long, gtk_container_get_type, );
    VELCOR_GTK_FUNCTION(unsigned long, gtk_entry_get_type, );
    VELCOR_GTK_FUNCTION(unsigned long, gtk_label_get_type, );
    VELCOR_GTK_FUNCTION(unsigned long, gtk_button_get_type, );
    VELCOR_GTK_FUNCTION(unsigned long, gtk_frame_get_type, );
    VELCOR_GTK_FUNCTION(unsigned long, gtk_range_get_type, );
    VELCOR_GTK_FUNCTION(unsigned long, gtk_spin_button_get_type, );
    VELCOR_GTK_FUNCTION(const char*, gtk_widget_get_name, void*);
    VELCOR_GTK_FUNCTION(const char*, gtk_window_get_title, void*);
    VELCOR_GTK_FUNCTION(int, gtk_widget_get_sensitive, void*);
    VELCOR_GTK_FUNCTION(int, gtk_widget_get_visible, void*);
    VELCOR_GTK_FUNCTION(const char*, gtk_entry_get_text, void*);
    VELCOR_GTK_FUNCTION(void, gtk_entry_set_text, void*, const char*);
    VELCOR_GTK_FUNCTION(const char*, gtk_label_get_label, void*);
    VELCOR_GTK_FUNCTION(const char*, gtk_button_get_label, void*);
    VELCOR_GTK_FUNCTION(const char*, gtk_frame_get_label, void*);
    VELCOR_GTK_FUNCTION(void*, gtk_widget_list_mnemonic_labels, void*);
    VELCOR_GTK_FUNCTION(void*, gtk_range_get_adjustment, void*);
    VELCOR_GTK_FUNCTION(void*, gtk_spin_button_get_adjustment, void*);
    VELCOR_GTK_FUNCTION(double, gtk_adjustment_get_value, void*);
    VELCOR_GTK_FUNCTION(double, gtk_adjustment_get_lower, void*);
    VELCOR_GTK_FUNCTION(double, gtk_adjustment_get_upper, void*);
    VELCOR_GTK_FUNCTION(double, gtk_adjustment_get_page_increment, void*);
    VELCOR_GTK_FUNCTION(void, gtk_range_set_value, void*, double);
    VELCOR_GTK_FUNCTION(void, gtk_spin_button_set_value, void*, double);
    VELCOR_GTK_FUNCTION(int, gtk_toggle_button_get_active, void*);
    VELCOR_GTK_FUNCTION(int, gtk_combo_box_get_active, void*);
    VELCOR_GTK_FUNCTION(void, gtk_combo_box_set_active, void*, int);
    VELCOR_GTK_FUNCTION(void*, gtk_combo_box_get_model, void*);
    VELCOR_GTK_FUNCTION(int, gtk_tree_model_iter_n_children, void*, void*);
    VELCOR_GTK_FUNCTION(int, gtk_tree_model_iter_nth_child, void*, void*, void*, int);
    VELCOR_GTK_FUNCTION(void, gtk_tree_model_get, void*, void*, ...);
    VELCOR_GTK_FUNCTION(int, gtk_notebook_get_n_pages, void*);
    VELCOR_GTK_FUNCTION(int, gtk_notebook_get_show_tabs, void*);
    VELCOR_GTK_FUNCTION(void*, gtk_notebook_get_nth_page, void*, int);
    VELCOR_GTK_FUNCTION(const char*, gtk_notebook_get_tab_label_text, void*, void*);
    VELCOR_GTK_FUNCTION(int, gtk_widget_activate, void*);
    VELCOR_GTK_FUNCTION(void, gtk_button_clicked, void*);
    VELCOR_GTK_FUNCTION(void, gtk_widget_grab_focus, void*);
    VELCOR_GTK_FUNCTION(void, gtk_window_close, void*);
    VELCOR_GTK_FUNCTION(void, g_free, void*);
    VELCOR_GTK_FUNCTION(unsigned, g_timeout_add_full, int, unsigned, int (*)(void*), void*,
                        void (*)(void*));
#undef VELCOR_GTK_FUNCTION
};

}  // namespace velcor::test
