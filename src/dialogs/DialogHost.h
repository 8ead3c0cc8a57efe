// Runs a dialog model in the view module, which is loaded only when the first dialog opens:
// the library itself needs no toolkit, and a machine without one shows no dialogs.
#pragma once

#include <velcor/VelcorTypes.h>

#include <functional>
#include <string>
#include <vector>

#include "dialogs/DialogModel.h"

namespace velcor::dialogs {

// The view module's file name, looked up beside the library, then by the loader's search.
inline constexpr char kDialogModuleName[] = "libVelcorSdk_TX40_gtk.so";
// Names the module's path instead.
inline constexpr char kDialogModuleVariable[] = "VELCOR_DIALOG_MODULE";

// Shows the model as a modal dialog over parent until it ends. Answers kDialogOk or
// kDialogCancel, or 0 when no dialog could be shown (no module, no entry, no display).
int RunDialog(DialogModel& model, HWND parent);

// Tests drive dialogs without a display: while a runner is set, RunDialog hands it the model
// instead of loading the view, and answers what it answers. An empty function goes back to
// the view.
using DialogRunner = std::function<int(DialogModel& model)>;
void SetDialogRunnerForTesting(DialogRunner runner);

// Tests look at and drive a dialog that the view shows: while a hook is set, the view calls it
// once on the dialog's thread when the dialog is on screen, with the X11 window of its frame.
using DialogShownHook = std::function<void(DialogModel& model, unsigned long frameWindow)>;
void SetDialogShownHookForTesting(DialogShownHook hook);

// Where RunDialog looks for the view module, in order.
std::vector<std::string> DialogModuleCandidates();

}  // namespace velcor::dialogs
