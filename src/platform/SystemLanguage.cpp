#include "platform/SystemLanguage.h"

#include <cstdlib>
#include <string_view>

namespace velcor::platform {

int SystemDefaultLangId() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value == nullptr || value[0] == '\0') continue;
        // The language is what comes before the territory, the code set and the modifier.
        const std::string_view locale(value);
        const std::string_view language = locale.substr(0, locale.find_first_of("_.@"));
        return language == "ja" ? kLangJapanese : kLangEnglishUs;
    }
    return kLangEnglishUs;
}

}  // namespace velcor::platform
