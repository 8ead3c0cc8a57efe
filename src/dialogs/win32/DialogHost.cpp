// The Windows DLL shows its dialogs itself, from the templates it carries as resources: no view
// module is loaded. The shown hook gets the frame's HWND where the X11 view gives its window
// (window handles keep to 32 bits on 64-bit Windows too).
#include "dialogs/DialogHost.h"

#include <windows.h>

#include <mutex>

#include "dialogs/win32/Win32DialogView.h"
#include "platform/SystemLanguage.h"

namespace velcor::dialogs {
namespace {

std::mutex& HostMutex() {
    static std::mutex mutex;
    return mutex;
}

DialogRunner& TestRunner() {
    static DialogRunner runner;
    return runner;
}

DialogShownHook& ShownHook() {
    static DialogShownHook hook;
    return hook;
}

struct ShownContext {
    DialogModel* model;
    DialogShownHook hook;
};

void CallShownHook(void* context, unsigned long frameWindow) {
    auto* shown = static_cast<ShownContext*>(context);
    shown->hook(*shown->model, frameWindow);
}

// The module that holds this code holds the templates too: the DLL, or a program linked with
// the library's objects and its dialog resources.
HMODULE TemplateModule() {
    HMODULE module = nullptr;
    ::GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&TemplateModule), &module);
    return module;
}

}  // namespace

std::vector<std::string> DialogModuleCandidates() {
    return {};
}

void SetDialogRunnerForTesting(DialogRunner runner) {
    std::lock_guard lock(HostMutex());
    TestRunner() = std::move(runner);
}

void SetDialogShownHookForTesting(DialogShownHook hook) {
    std::lock_guard lock(HostMutex());
    ShownHook() = std::move(hook);
}

int RunDialog(DialogModel& model, HWND parent) {
    DialogRunner runner;
    ShownContext shown{&model, nullptr};
    {
        std::lock_guard lock(HostMutex());
        runner = TestRunner();
        shown.hook = ShownHook();
    }
    if (runner) return runner(model);
    DialogViewHooks hooks;
    if (shown.hook) {
        hooks.context = &shown;
        hooks.shown = &CallShownHook;
    }
    Win32DialogView view(model, TemplateModule(), platform::SystemDefaultLangId(), &hooks);
    return view.Run(parent);
}

}  // namespace velcor::dialogs
