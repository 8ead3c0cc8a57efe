// One settings dialog drawn with GTK 3 from a dialog model: a modal GtkDialog whose notebook
// holds the model's pages, one widget per control, each named with its control id in decimal.
// User actions go to the model as events; the widgets follow the model's snapshot after every
// event and whenever its revision moves (checked every 50 ms, since the library may change
// controls from other threads). Refreshing blocks the widgets' handlers, so it never feeds
// events back to the model.
//
// Everything here runs on the thread that runs the dialog, with GTK initialised and no other
// thread using GTK.
#pragma once

#include <gtk/gtk.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "dialogs/DialogView.h"

namespace velcor::dialogs {

class GtkDialogView {
  public:
    GtkDialogView(DialogModel& model, GdkDisplay* display, const DialogViewHooks* hooks);
    ~GtkDialogView();
    GtkDialogView(const GtkDialogView&) = delete;
    GtkDialogView& operator=(const GtkDialogView&) = delete;

    // Shows the dialog over parentWindow (an X11 window id, 0: none) and runs the main loop
    // until the model has ended; answers the model's result.
    int Run(unsigned long parentWindow);

  private:
    // A control's widgets and what was last shown in them.
    struct Item {
        GtkDialogView* view = nullptr;
        Control control;
        GtkWidget* widget = nullptr;   // named with the control id
        GtkWidget* caption = nullptr;  // trackbar caption in front of the slider
        GtkWidget* inner = nullptr;    // group box: the box its controls go into
        std::vector<std::string> items;
        bool edited = false;  // edit: the user typed since the text was last sent or shown
    };

    void Build();
    GtkWidget* BuildPage(int page, GtkSizeGroup* captions);
    void AddControl(Item& item, GtkWidget* line, GtkSizeGroup* captions);
    GtkWidget* RadioSentinel(const Control& control, GtkWidget* pageBox);
    void Connect(Item& item);

    void Refresh();
    void Apply(Item& item, const Control& control);
    void AfterEvent();
    void CheckModel();

    // Signal handlers; data is the Item.
    static void OnValueChanged(GtkWidget* widget, gpointer data);
    static void OnEditChanged(GtkEditable* editable, gpointer data);
    static void OnEditActivate(GtkEntry* entry, gpointer data);
    static gboolean OnEditFocusOut(GtkWidget* widget, GdkEvent* event, gpointer data);
    static gint OnSpinInput(GtkSpinButton* spin, gdouble* value, gpointer data);
    static gboolean OnSpinOutput(GtkSpinButton* spin, gpointer data);
    static void OnComboChanged(GtkComboBox* combo, gpointer data);
    static void OnToggled(GtkToggleButton* button, gpointer data);
    static void OnClicked(GtkButton* button, gpointer data);
    static gboolean OnDelete(GtkWidget* widget, GdkEvent* event, gpointer data);
    static gboolean OnMapEvent(GtkWidget* widget, GdkEvent* event, gpointer data);
    static gboolean OnDrawn(GtkWidget* widget, cairo_t* cr, gpointer data);
    static gboolean OnShownIdle(gpointer data);
    static gboolean OnTimer(gpointer data);

    void SendEditText(Item& item);

    DialogModel& model_;
    GdkDisplay* display_;
    const DialogViewHooks* hooks_;
    GtkWidget* dialog_ = nullptr;
    GMainLoop* loop_ = nullptr;
    GdkWindow* parent_ = nullptr;
    guint timer_ = 0;
    guint shownIdle_ = 0;
    bool mapped_ = false;
    bool shownCalled_ = false;
    uint64_t revision_ = 0;
    std::vector<std::unique_ptr<Item>> items_;
    std::map<int, Item*> byId_;
    // Radio groups keyed by page and group: a hidden member that is active while none of the
    // visible ones is checked (a GTK radio group always has one active button).
    std::map<std::pair<int, int>, GtkWidget*> radioGroups_;
};

}  // namespace velcor::dialogs
