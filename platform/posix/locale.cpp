#include "platform/locale.h"

#include <cstdlib>

namespace tavo::platform {

std::string GetLocaleAbbrevLangName() {
  // The precedence the C library gives these variables for message texts.
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') return LocaleAbbrevFromPosixName(value);
  }
  return LocaleAbbrevFromPosixName("C");
}

}  // namespace tavo::platform
