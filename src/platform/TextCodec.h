// Conversion between wide text (wchar_t, UTF-32 on Linux) and the narrow code page of the
// calling thread, which on Linux is UTF-8. The forms follow WideCharToMultiByte and
// MultiByteToWideChar with a terminated input: the result counts the terminator, and 0 means
// the text was malformed or did not fit (the output is then left terminated but incomplete).
#pragma once

#include <cstddef>
#include <string>

namespace velcor::platform {

// Longest narrow text the wide exports pass on, without its terminator.
inline constexpr size_t kMaxNarrowPath = 1023;

// Writes at most outBytes bytes including the terminator. Unpaired surrogates and values above
// U+10FFFF are malformed.
size_t WideToNarrow(const wchar_t* text, char* out, size_t outBytes);
// Writes at most outChars wide characters including the terminator. Invalid, overlong or
// truncated UTF-8 sequences are malformed.
size_t NarrowToWide(const char* text, wchar_t* out, size_t outChars);

// Convenience for the wide exports: false when malformed or longer than kMaxNarrowPath bytes.
bool WideToNarrowPath(const wchar_t* text, std::string& out);

}  // namespace velcor::platform
