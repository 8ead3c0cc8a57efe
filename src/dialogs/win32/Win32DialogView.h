// Shows a dialog model with the Win32 dialog templates that the library carries as resources:
// the frame with its tab as a modal dialog, each tab page a child dialog inside the tab. The
// model decides everything; the view copies its controls into the template's controls of the
// same identifier and hands the user's actions back to it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <vector>

#include "dialogs/DialogModel.h"
#include "dialogs/DialogView.h"

namespace velcor::dialogs {

// The templates that show a model: the frame, and one page per tab (none when the frame is the
// page itself, as for the stream format).
struct DialogTemplates {
    int frame = 0;
    std::vector<int> pages;
};

// Chosen by the controls the model has, in the language given (1041 Japanese, else English);
// frame 0 when no template shows the model.
DialogTemplates TemplatesFor(const DialogModel& model, int langId);

class Win32DialogView {
  public:
    // module: the one that carries the templates.
    Win32DialogView(DialogModel& model, HMODULE module, int langId,
                    const DialogViewHooks* hooks = nullptr);
    Win32DialogView(const Win32DialogView&) = delete;
    Win32DialogView& operator=(const Win32DialogView&) = delete;

    // Runs the dialog modally over parent until the model has ended; answers its result, or 0
    // when the dialog could not be created.
    int Run(HWND parent);

  private:
    static INT_PTR CALLBACK FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static INT_PTR CALLBACK PageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // Messages of the frame and of the pages: TRUE when handled.
    INT_PTR Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    bool Open(HWND frame);
    void OnCommand(int id, int code, HWND control);
    void OnScroll(HWND control);
    // Hands a changed edit box to the model before a button acts.
    void FlushEdit(HWND edit);
    void ShowPage(int index);
    // Copies what changed in the model since the last call into the windows.
    void Sync();
    void HideUnused();
    void EndIfDone();

    HWND WindowOf(int id) const;
    HWND CaptionOf(int id) const;
    const Control* Shown(int id) const;

    DialogModel& model_;
    HMODULE module_;
    DialogTemplates templates_;
    int langId_;
    const DialogViewHooks* hooks_;
    HWND frame_ = nullptr;
    // By model page; the frame itself when it is the page.
    std::vector<HWND> pages_;
    // Each control as last copied into its window, by identifier.
    std::map<int, Control> shown_;
    uint64_t revision_ = 0;
    bool syncing_ = false;
    bool ending_ = false;
};

}  // namespace velcor::dialogs
