#include "platform/locale.h"

#include <cstdlib>

namespace tavo::platform {

namespace {

// The locale name that decides message texts, with the precedence the C library gives these
// variables; "C" when none is set.
std::string MessagesLocale() {
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') return value;
  }
  return "C";
}

}  // namespace

std::string GetLocaleAbbrevLangName() { return LocaleAbbrevFromPosixName(MessagesLocale()); }

std::string UserLanguage() { return LanguageFromPosixName(MessagesLocale()); }

}  // namespace tavo::platform
