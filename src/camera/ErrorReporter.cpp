#include "camera/ErrorReporter.h"

#include "platform/MessageWindows.h"

namespace velcor {

void ErrorReporter::Record(int code) {
    history_.Push(code);
    Post(code);
}

void ErrorReporter::Post(int code) const {
    const HWND window = notifyWindow_.load();
    if (window != nullptr) {
        platform::PostMessage(window, VELCOR_WM_ERROR, 0, static_cast<LPARAM>(code));
    }
}

}  // namespace velcor
