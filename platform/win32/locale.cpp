#include "platform/locale.h"

#include <windows.h>

namespace tavo::platform {

std::string GetLocaleAbbrevLangName() {
  char buffer[255] = {};
  // 0x0800: the system's default locale.
  if (::GetLocaleInfoA(0x0800, LOCALE_SABBREVLANGNAME, buffer, 254) == 0) return {};
  return buffer;
}

}  // namespace tavo::platform
