// The user's language as Windows language identifiers: the dialogs show Japanese texts on a
// Japanese system and English ones everywhere else.
#pragma once

namespace velcor::platform {

inline constexpr int kLangJapanese = 1041;
inline constexpr int kLangEnglishUs = 1033;

// 1041 when the locale that messages follow (the first non-empty of LC_ALL, LC_MESSAGES and
// LANG) names the language "ja" ("ja", "ja_JP.UTF-8", "ja@..."), else 1033.
int SystemDefaultLangId();

}  // namespace velcor::platform
