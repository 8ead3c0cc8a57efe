#include "platform/SystemLanguage.h"

#include <windows.h>

namespace velcor::platform {

// The dialogs speak Japanese when the system's default language is Japanese (Japan) and
// English everywhere else, whatever language the user's own interface is set to.
int SystemDefaultLangId() {
    return ::GetSystemDefaultLangID() == kLangJapanese ? kLangJapanese : kLangEnglishUs;
}

}  // namespace velcor::platform
