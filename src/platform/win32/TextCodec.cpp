// Conversion between wide text (UTF-16) and the ANSI code page of the calling thread.
#include "platform/TextCodec.h"

#include <windows.h>

namespace velcor::platform {

size_t WideToNarrow(const wchar_t* text, char* out, size_t outBytes) {
    if (text == nullptr || out == nullptr || outBytes == 0) return 0;
    const int capacity = outBytes > INT_MAX ? INT_MAX : static_cast<int>(outBytes);
    // A character the code page cannot hold is malformed here rather than a silent '?'.
    BOOL lossy = FALSE;
    const int written =
        ::WideCharToMultiByte(CP_THREAD_ACP, 0, text, -1, out, capacity, nullptr, &lossy);
    if (written <= 0 || lossy) {
        out[0] = '\0';
        return 0;
    }
    return static_cast<size_t>(written);
}

size_t NarrowToWide(const char* text, wchar_t* out, size_t outChars) {
    if (text == nullptr || out == nullptr || outChars == 0) return 0;
    const int capacity = outChars > INT_MAX ? INT_MAX : static_cast<int>(outChars);
    const int written =
        ::MultiByteToWideChar(CP_THREAD_ACP, MB_ERR_INVALID_CHARS, text, -1, out, capacity);
    if (written <= 0) {
        out[0] = L'\0';
        return 0;
    }
    return static_cast<size_t>(written);
}

bool WideToNarrowPath(const wchar_t* text, std::string& out) {
    char buffer[kMaxNarrowPath + 1];
    if (WideToNarrow(text, buffer, sizeof buffer) == 0) return false;
    out.assign(buffer);
    return true;
}

}  // namespace velcor::platform
