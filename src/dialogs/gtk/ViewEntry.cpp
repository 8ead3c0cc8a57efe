// The module's entry: runs one dialog at a time with GTK 3 on X11.
//
// The dialog runs on the calling thread, in a main loop of its own on GLib's default context.
// Runs from several threads take turns; while one runs, no other thread of the process may use
// GTK (GTK is not thread-safe). A dialog opened from inside another one's main loop on the same
// thread is refused (answer 0) rather than deadlocking on the turn.
//
// The dialog opens on the X display that DISPLAY names at the time (none: answer 0). GTK starts
// on the first dialog unless the process started it already, without touching the process's
// locale (the library formats numbers with the C locale). Displays stay open once opened, as
// in any GTK program: GTK keeps resources of a display in caches that outlive it, and a
// display opened again after closing draws some widgets no more.
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <type_traits>

#include "dialogs/DialogView.h"
#include "dialogs/gtk/GtkDialogView.h"

namespace {

using velcor::dialogs::DialogModel;
using velcor::dialogs::DialogViewHooks;

std::mutex& RunTurn() {
    static std::mutex turn;
    return turn;
}

thread_local bool tRunning = false;

// The first run has prepared GTK (the locale setting counts only before GTK starts).
bool gPrepared = false;

// The open display of that name, opened now when there is none.
GdkDisplay* OpenDisplay(const char* name) {
    GdkDisplayManager* manager = gdk_display_manager_get();
    GSList* displays = gdk_display_manager_list_displays(manager);
    GdkDisplay* found = nullptr;
    for (GSList* cell = displays; cell != nullptr; cell = cell->next) {
        auto* display = static_cast<GdkDisplay*>(cell->data);
        if (found == nullptr && std::strcmp(gdk_display_get_name(display), name) == 0) {
            found = display;
        }
    }
    g_slist_free(displays);
    return found != nullptr ? found : gdk_display_open(name);
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int VelcorDialogView_Run(
    DialogModel* model, unsigned long parentWindow, const DialogViewHooks* hooks);

static_assert(std::is_same_v<decltype(&VelcorDialogView_Run), velcor::dialogs::RunDialogFunction>);

extern "C" int VelcorDialogView_Run(DialogModel* model, unsigned long parentWindow,
                                    const DialogViewHooks* hooks) {
    if (model == nullptr || tRunning) return 0;
    std::lock_guard<std::mutex> turn(RunTurn());
    tRunning = true;
    struct Reset {
        ~Reset() { tRunning = false; }
    } reset;
    try {
        const char* name = std::getenv("DISPLAY");
        if (name == nullptr || name[0] == '\0') return 0;
        if (!gPrepared && gdk_display_get_default() == nullptr) {
            // Before GTK starts: GTK would otherwise set the locale from the environment for
            // the whole process, and might choose another windowing system than X11.
            gtk_disable_setlocale();
            gdk_set_allowed_backends("x11");
        }
        gPrepared = true;
        if (!gtk_init_check(nullptr, nullptr)) return 0;
        GdkDisplay* display = OpenDisplay(name);
        if (display == nullptr || !GDK_IS_X11_DISPLAY(display)) return 0;
        int result = 0;
        {
            velcor::dialogs::GtkDialogView view(*model, display, hooks);
            result = view.Run(parentWindow);
        }
        // The dialog leaves the screen now, not when GTK next runs.
        gdk_display_flush(display);
        return result;
    } catch (...) {
        return 0;
    }
}
