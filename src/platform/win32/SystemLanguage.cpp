#include "platform/SystemLanguage.h"

#include <windows.h>

namespace velcor::platform {

// The dialogs speak Japanese on a Japanese user interface and English everywhere else.
int SystemDefaultLangId() {
    return PRIMARYLANGID(::GetUserDefaultUILanguage()) == LANG_JAPANESE ? kLangJapanese
                                                                        : kLangEnglishUs;
}

}  // namespace velcor::platform
