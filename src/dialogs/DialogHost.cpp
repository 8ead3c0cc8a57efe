#include "dialogs/DialogHost.h"

#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <vector>

#include "dialogs/DialogView.h"
#include "platform/MessageWindows.h"

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
        void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (module == nullptr) continue;
        entry = reinterpret_cast<RunDialogFunction>(::dlsym(module, kDialogViewEntry));
        if (entry != nullptr) return entry;
        ::dlclose(module);
    }
    return nullptr;
}

}  // namespace

std::vector<std::string> DialogModuleCandidates() {
    if (const char* path = std::getenv(kDialogModuleVariable); path != nullptr && path[0] != '\0')
        return {path};
    std::vector<std::string> candidates;
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&RunDialog), &info) != 0 && info.dli_fname != nullptr) {
        const std::filesystem::path library(info.dli_fname);
        candidates.push_back((library.parent_path() / kDialogModuleName).string());
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
