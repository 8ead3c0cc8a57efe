#include "dialogs/DialogHost.h"

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <vector>

#include "dialogs/DialogView.h"
#include "platform/MessageWindows.h"
#include "platform/Module.h"

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

// The view's entry; the module stays loaded once found (a toolkit cannot be unloaded safely).
RunDialogFunction LoadView() {
    static RunDialogFunction entry = nullptr;
    if (entry != nullptr) return entry;
    for (const std::string& path : DialogModuleCandidates()) {
        entry =
            reinterpret_cast<RunDialogFunction>(platform::LoadModuleEntry(path, kDialogViewEntry));
        if (entry != nullptr) return entry;
    }
    return nullptr;
}

}  // namespace

std::vector<std::string> DialogModuleCandidates() {
    if (const char* path = std::getenv(kDialogModuleVariable); path != nullptr && path[0] != '\0')
        return {path};
    std::vector<std::string> candidates;
    if (const std::string library =
            platform::ModuleFileOf(reinterpret_cast<const void*>(&RunDialog));
        !library.empty()) {
        candidates.push_back(
            (std::filesystem::path(library).parent_path() / kDialogModuleName).string());
    }
    candidates.push_back(kDialogModuleName);
    return candidates;
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
    RunDialogFunction entry = nullptr;
    DialogRunner runner;
    ShownContext shown{&model, nullptr};
    {
        std::lock_guard lock(HostMutex());
        runner = TestRunner();
        if (!runner) entry = LoadView();
        shown.hook = ShownHook();
    }
    if (runner) return runner(model);
    if (entry == nullptr) return 0;
    DialogViewHooks hooks;
    if (shown.hook) {
        hooks.context = &shown;
        hooks.shown = &CallShownHook;
    }
    return entry(&model, platform::X11WindowOf(parent), &hooks);
}

}  // namespace velcor::dialogs
