#include "dialogs/win32/Win32DialogView.h"

#include <commctrl.h>

#include <set>
#include <string>

#include "dialogs/win32/DialogResources.h"
#include "platform/SystemLanguage.h"

namespace velcor::dialogs {
namespace {

// Posted to the frame once it is set up; it arrives when the modal loop runs, with the frame
// on screen.
constexpr UINT kShownMessage = WM_APP + 0x40;
// The worker threads change controls while a dialog is open (automatic exposure shows its new
// gain): the view looks for such changes this often.
constexpr UINT kPollTimer = 1;
constexpr UINT kPollMs = 100;
constexpr int kStaticId = 0xFFFF;

std::wstring Wide(const std::string& text) {
    if (text.empty()) return {};
    const int length =
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                          length);
    return wide;
}

std::string Narrow(const std::wstring& wide) {
    if (wide.empty()) return {};
    const int length = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                             nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<size_t>(length), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(),
                          length, nullptr, nullptr);
    return text;
}

std::string TextOf(HWND window) {
    const int length = ::GetWindowTextLengthW(window);
    std::wstring wide(static_cast<size_t>(length) + 1, L'\0');
    wide.resize(static_cast<size_t>(::GetWindowTextW(window, wide.data(), length + 1)));
    return Narrow(wide);
}

void SetText(HWND window, const std::string& text) {
    ::SetWindowTextW(window, Wide(text).c_str());
}

// The dialog template of that identifier in that language; English when the language has none.
LPCDLGTEMPLATEW LoadTemplate(HMODULE module, int id, int langId) {
    for (const WORD language : {static_cast<WORD>(langId),
                                static_cast<WORD>(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US))}) {
        HRSRC found = ::FindResourceExW(module, MAKEINTRESOURCEW(5), MAKEINTRESOURCEW(id),
                                        language);  // 5: RT_DIALOG
        if (found == nullptr) continue;
        HGLOBAL loaded = ::LoadResource(module, found);
        if (loaded != nullptr) return static_cast<LPCDLGTEMPLATEW>(::LockResource(loaded));
    }
    return nullptr;
}

}  // namespace

DialogTemplates TemplatesFor(const DialogModel& model, int langId) {
    const bool japanese = langId == platform::kLangJapanese;
    std::set<int> ids;
    for (const Control& control : model.Snapshot(nullptr))
        ids.insert(control.id);
    auto has = [&](int id) { return ids.count(id) != 0; };
    auto pick = [&](int ja, int en) { return japanese ? ja : en; };
    DialogTemplates templates;
    if (has(1009)) {
        templates.frame = pick(VELCOR_DLG_CAMERA_JA, VELCOR_DLG_CAMERA_EN);
    } else if (has(1013)) {
        templates.frame = pick(VELCOR_DLG_ANALOG_FRAME_JA, VELCOR_DLG_ANALOG_FRAME_EN);
        templates.pages.push_back(
            has(1018) ? pick(VELCOR_DLG_ANALOG_COLOUR_JA, VELCOR_DLG_ANALOG_COLOUR_EN)
                      : pick(VELCOR_DLG_ANALOG_MONO_JA, VELCOR_DLG_ANALOG_MONO_EN));
    } else if (has(2001)) {
        templates.frame = pick(VELCOR_DLG_IMAGE_FRAME_JA, VELCOR_DLG_IMAGE_FRAME_EN);
        templates.pages.push_back(pick(VELCOR_DLG_IMAGE_PAGE_JA, VELCOR_DLG_IMAGE_PAGE_EN));
        if (model.Pages().size() > 1)
            templates.pages.push_back(pick(VELCOR_DLG_GRAY_PAGE_JA, VELCOR_DLG_GRAY_PAGE_EN));
    }
    return templates;
}

Win32DialogView::Win32DialogView(DialogModel& model, HMODULE module, int langId,
                                 const DialogViewHooks* hooks)
    : model_(model),
      module_(module),
      templates_(TemplatesFor(model, langId)),
      langId_(langId),
      hooks_(hooks) {}

int Win32DialogView::Run(HWND parent) {
    if (templates_.frame == 0) return 0;
    LPCDLGTEMPLATEW frame = LoadTemplate(module_, templates_.frame, langId_);
    if (frame == nullptr) return 0;
    const INITCOMMONCONTROLSEX classes{
        sizeof(INITCOMMONCONTROLSEX),
        ICC_BAR_CLASSES | ICC_TAB_CLASSES | ICC_UPDOWN_CLASS | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&classes);
    const INT_PTR result = ::DialogBoxIndirectParamW(module_, frame, parent, &FrameProc,
                                                     reinterpret_cast<LPARAM>(this));
    return result > 0 ? static_cast<int>(result) : 0;
}

INT_PTR CALLBACK Win32DialogView::FrameProc(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        ::SetWindowLongPtrW(window, DWLP_USER, lParam);
        auto* view = reinterpret_cast<Win32DialogView*>(lParam);
        if (!view->Open(window)) ::EndDialog(window, 0);
        return TRUE;
    }
    auto* view = reinterpret_cast<Win32DialogView*>(::GetWindowLongPtrW(window, DWLP_USER));
    return view != nullptr ? view->Handle(window, message, wParam, lParam) : FALSE;
}

INT_PTR CALLBACK Win32DialogView::PageProc(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        ::SetWindowLongPtrW(window, DWLP_USER, lParam);
        return FALSE;
    }
    auto* view = reinterpret_cast<Win32DialogView*>(::GetWindowLongPtrW(window, DWLP_USER));
    if (view == nullptr) return FALSE;
    // The frame's own messages stay with the frame.
    if (message == WM_CLOSE || message == WM_TIMER || message == kShownMessage) return FALSE;
    return view->Handle(window, message, wParam, lParam);
}

INT_PTR Win32DialogView::Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
            return TRUE;
        case WM_HSCROLL:
        case WM_VSCROLL:
            if (lParam == 0) return FALSE;
            OnScroll(reinterpret_cast<HWND>(lParam));
            return TRUE;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header->idFrom != VELCOR_IDC_TAB || header->code != TCN_SELCHANGE) return FALSE;
            ShowPage(static_cast<int>(::SendMessageW(header->hwndFrom, TCM_GETCURSEL, 0, 0)));
            return TRUE;
        }
        case WM_TIMER:
            if (wParam != kPollTimer) return FALSE;
            if (model_.Revision() != revision_) Sync();
            EndIfDone();
            return TRUE;
        case WM_CLOSE:
            model_.Close();
            EndIfDone();
            return TRUE;
        case WM_DESTROY:
            if (window == frame_) ::KillTimer(frame_, kPollTimer);
            return FALSE;
        case kShownMessage:
            // A modal dialog appears once its queue first runs empty; the hook may come first.
            if (!::IsWindowVisible(frame_)) ::ShowWindow(frame_, SW_SHOW);
            if (hooks_ != nullptr && hooks_->shown != nullptr) {
                hooks_->shown(hooks_->context,
                              static_cast<unsigned long>(reinterpret_cast<uintptr_t>(frame_)));
            }
            return TRUE;
        default:
            return FALSE;
    }
}

bool Win32DialogView::Open(HWND frame) {
    frame_ = frame;
    ::SetWindowTextW(frame_, Wide(model_.Title()).c_str());
    HWND tab = ::GetDlgItem(frame_, VELCOR_IDC_TAB);
    const std::vector<std::string> labels = model_.Pages();
    for (size_t i = 0; tab != nullptr && i < labels.size(); ++i) {
        std::wstring label = Wide(labels[i]);
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = label.data();
        ::SendMessageW(tab, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
    }
    if (templates_.pages.empty()) {
        pages_.push_back(frame_);
    } else {
        if (tab == nullptr || templates_.pages.size() != labels.size()) return false;
        RECT area;
        ::GetWindowRect(tab, &area);
        ::MapWindowPoints(nullptr, frame_, reinterpret_cast<POINT*>(&area), 2);
        ::SendMessageW(tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
        for (int id : templates_.pages) {
            LPCDLGTEMPLATEW page = LoadTemplate(module_, id, langId_);
            HWND window = page == nullptr
                              ? nullptr
                              : ::CreateDialogIndirectParamW(module_, page, frame_, &PageProc,
                                                             reinterpret_cast<LPARAM>(this));
            if (window == nullptr) return false;
            ::SetWindowPos(window, HWND_TOP, area.left, area.top, area.right - area.left,
                           area.bottom - area.top, SWP_NOACTIVATE);
            pages_.push_back(window);
        }
    }
    HideUnused();
    Sync();
    ShowPage(0);
    ::SetTimer(frame_, kPollTimer, kPollMs, nullptr);
    if (hooks_ != nullptr && hooks_->shown != nullptr) ::PostMessageW(frame_, kShownMessage, 0, 0);
    return true;
}

void Win32DialogView::OnCommand(int id, int code, HWND control) {
    if (syncing_ || ending_) return;
    if ((id == IDOK || id == IDCANCEL) && code == BN_CLICKED) {
        // Enter on an edit box presses OK: the number typed counts.
        if (id == IDOK) FlushEdit(::GetFocus());
        model_.Click(id == IDOK ? kDialogOk : kDialogCancel);
    } else if (const Control* shown = Shown(id); shown == nullptr || WindowOf(id) != control) {
        return;
    } else if (shown->kind == ControlKind::kEdit) {
        if (code != EN_KILLFOCUS) return;
        FlushEdit(control);
    } else if (shown->kind == ControlKind::kCombo) {
        if (code != CBN_SELCHANGE) return;
        model_.Select(id, static_cast<int>(::SendMessageW(control, CB_GETCURSEL, 0, 0)));
    } else if (code != BN_CLICKED) {
        return;
    } else if (shown->kind == ControlKind::kCheck) {
        model_.Check(id, ::SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED);
    } else if (shown->kind == ControlKind::kRadio) {
        model_.Check(id, true);
    } else if (shown->kind == ControlKind::kButton) {
        FlushEdit(::GetFocus());
        model_.Click(id);
    }
    Sync();
    EndIfDone();
}

void Win32DialogView::OnScroll(HWND control) {
    if (syncing_ || ending_) return;
    const int id = ::GetDlgCtrlID(control);
    auto shown = shown_.find(id);
    if (shown == shown_.end() || WindowOf(id) != control) return;
    int position;
    if (shown->second.kind == ControlKind::kTrackbar) {
        position = static_cast<int>(::SendMessageW(control, TBM_GETPOS, 0, 0));
    } else if (shown->second.kind == ControlKind::kUpDown) {
        position = static_cast<int>(::SendMessageW(control, UDM_GETPOS32, 0, 0));
    } else {
        return;
    }
    if (position == shown->second.position) return;
    // The window shows the new position now; should the model refuse it, the next Sync puts
    // the model's back.
    shown->second.position = position;
    model_.Scroll(id, position);
    Sync();
    EndIfDone();
}

void Win32DialogView::FlushEdit(HWND edit) {
    if (edit == nullptr) return;
    const int id = ::GetDlgCtrlID(edit);
    auto shown = shown_.find(id);
    if (shown == shown_.end() || shown->second.kind != ControlKind::kEdit || WindowOf(id) != edit) {
        return;
    }
    const std::string text = TextOf(edit);
    if (text == shown->second.text) return;
    // As with a slider: the edit holds the typed text until the model says otherwise.
    shown->second.text = text;
    model_.EditText(id, text);
}

void Win32DialogView::ShowPage(int index) {
    if (templates_.pages.empty()) return;
    for (size_t i = 0; i < pages_.size(); ++i)
        ::ShowWindow(pages_[i], static_cast<int>(i) == index ? SW_SHOW : SW_HIDE);
}

HWND Win32DialogView::WindowOf(int id) const {
    const Control* shown = Shown(id);
    if (shown == nullptr) return nullptr;
    const size_t page = static_cast<size_t>(shown->page);
    HWND parent = shown->page < 0 ? frame_ : page < pages_.size() ? pages_[page] : nullptr;
    return parent != nullptr ? ::GetDlgItem(parent, id) : nullptr;
}

HWND Win32DialogView::CaptionOf(int id) const {
    const Control* shown = Shown(id);
    if (shown == nullptr || id + VELCOR_CAPTION_OFFSET > 0xFFFF) return nullptr;
    const size_t page = static_cast<size_t>(shown->page);
    HWND parent = shown->page < 0 ? frame_ : page < pages_.size() ? pages_[page] : nullptr;
    return parent != nullptr ? ::GetDlgItem(parent, id + VELCOR_CAPTION_OFFSET) : nullptr;
}

const Control* Win32DialogView::Shown(int id) const {
    auto found = shown_.find(id);
    return found != shown_.end() ? &found->second : nullptr;
}

void Win32DialogView::HideUnused() {
    // What the model places on each window, with the captions of those controls.
    std::map<HWND, std::set<int>> used;
    for (const Control& control : model_.Snapshot(nullptr)) {
        const size_t page = static_cast<size_t>(control.page);
        HWND parent = control.page < 0 ? frame_ : page < pages_.size() ? pages_[page] : nullptr;
        used[parent].insert(control.id);
        used[parent].insert(control.id + VELCOR_CAPTION_OFFSET);
    }
    std::vector<HWND> windows = pages_;
    if (windows.front() != frame_) windows.push_back(frame_);
    for (HWND window : windows) {
        const std::set<int>& ids = used[window];
        for (HWND child = ::GetWindow(window, GW_CHILD); child != nullptr;
             child = ::GetWindow(child, GW_HWNDNEXT)) {
            const int id = ::GetDlgCtrlID(child) & 0xFFFF;
            if (id == 0 || id == kStaticId || id == VELCOR_IDC_TAB) continue;
            if (ids.count(id) == 0) ::ShowWindow(child, SW_HIDE);
        }
    }
}

void Win32DialogView::Sync() {
    syncing_ = true;
    uint64_t revision = 0;
    const std::vector<Control> controls = model_.Snapshot(&revision);
    for (const Control& control : controls) {
        // The window lookup needs the control's page, which shown_ holds after the first copy.
        auto [entry, added] = shown_.try_emplace(control.id, control);
        Control* before = added ? nullptr : &entry->second;
        if (before != nullptr) before->page = control.page;
        HWND window = WindowOf(control.id);
        HWND caption = CaptionOf(control.id);
        if (window == nullptr) {
            entry->second = control;
            continue;
        }
        const auto changed = [&](auto member) {
            return before == nullptr || before->*member != control.*member;
        };
        if (changed(&Control::visible)) {
            for (HWND w : {window, caption})
                if (w != nullptr) ::ShowWindow(w, control.visible ? SW_SHOWNA : SW_HIDE);
        }
        if (changed(&Control::enabled)) {
            for (HWND w : {window, caption})
                if (w != nullptr) ::EnableWindow(w, control.enabled);
        }
        switch (control.kind) {
            case ControlKind::kTrackbar: {
                const bool newRange = changed(&Control::min) || changed(&Control::max);
                if (newRange) {
                    ::SendMessageW(window, TBM_SETRANGEMIN, FALSE, control.min);
                    ::SendMessageW(window, TBM_SETRANGEMAX, FALSE, control.max);
                    // The trackbar places its thumb only when the position moves: through
                    // another value first, so the thumb lands where the new range puts it.
                    ::SendMessageW(window, TBM_SETPOS, FALSE,
                                   control.position != control.max ? control.max : control.min);
                }
                if (changed(&Control::pageSize))
                    ::SendMessageW(window, TBM_SETPAGESIZE, 0, control.pageSize);
                if (newRange || changed(&Control::position))
                    ::SendMessageW(window, TBM_SETPOS, TRUE, control.position);
                if (caption != nullptr && !control.label.empty() && changed(&Control::label))
                    SetText(caption, control.label);
                break;
            }
            case ControlKind::kUpDown:
                if (changed(&Control::min) || changed(&Control::max))
                    ::SendMessageW(window, UDM_SETRANGE32, control.min, control.max);
                if (changed(&Control::buddy)) {
                    HWND buddy = control.buddy != 0
                                     ? ::GetDlgItem(::GetParent(window), control.buddy)
                                     : nullptr;
                    ::SendMessageW(window, UDM_SETBUDDY, reinterpret_cast<WPARAM>(buddy), 0);
                }
                if (changed(&Control::position) || changed(&Control::max))
                    ::SendMessageW(window, UDM_SETPOS32, 0, control.position);
                break;
            case ControlKind::kEdit:
                if (changed(&Control::text)) SetText(window, control.text);
                break;
            case ControlKind::kCombo:
                if (changed(&Control::items)) {
                    ::SendMessageW(window, CB_RESETCONTENT, 0, 0);
                    for (const std::string& item : control.items) {
                        ::SendMessageW(window, CB_ADDSTRING, 0,
                                       reinterpret_cast<LPARAM>(Wide(item).c_str()));
                    }
                }
                if (changed(&Control::items) || changed(&Control::selection))
                    ::SendMessageW(window, CB_SETCURSEL, control.selection, 0);
                break;
            case ControlKind::kCheck:
            case ControlKind::kRadio:
                if (changed(&Control::position)) {
                    ::SendMessageW(window, BM_SETCHECK,
                                   control.position != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
                }
                if (!control.label.empty() && changed(&Control::label))
                    SetText(window, control.label);
                break;
            case ControlKind::kLabel:
                if (changed(&Control::label)) SetText(window, control.label);
                break;
            case ControlKind::kButton:
            case ControlKind::kGroup:
                if (!control.label.empty() && changed(&Control::label))
                    SetText(window, control.label);
                break;
        }
        entry->second = control;
    }
    revision_ = revision;
    syncing_ = false;
}

void Win32DialogView::EndIfDone() {
    if (ending_ || !model_.Ended()) return;
    ending_ = true;
    ::EndDialog(frame_, model_.Result());
}

}  // namespace velcor::dialogs
