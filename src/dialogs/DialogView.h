// The entry of a dialog view module: the library loads the module (the GTK 3 view) only when a
// dialog opens, looks up kDialogViewEntry and runs the dialog through it.
#pragma once

#include "dialogs/DialogModel.h"

namespace velcor::dialogs {

// Calls a view makes while its dialog runs; tests use them to look at and drive the dialog.
struct DialogViewHooks {
    void* context = nullptr;
    // Once, on the dialog's thread, when the dialog is on screen: the X11 window of its frame.
    void (*shown)(void* context, unsigned long frameWindow) = nullptr;
};

// Runs the model as a modal dialog over parentWindow (an X11 window id; 0: none) on the
// calling thread until the model has ended. Answers the model's result (kDialogOk or
// kDialogCancel), or 0 when the dialog could not be shown (no display, no toolkit).
using RunDialogFunction = int (*)(DialogModel* model, unsigned long parentWindow,
                                  const DialogViewHooks* hooks);

inline constexpr char kDialogViewEntry[] = "VelcorDialogView_Run";

}  // namespace velcor::dialogs
