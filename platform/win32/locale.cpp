#include "platform/locale.h"

#include "platform/win32/utf16.h"

namespace tavo::platform {

std::string GetLocaleAbbrevLangName() {
  wchar_t buffer[255] = {};
  // 0x0800: the system's default locale. The answer is three letters; the wide form is the one
  // every Windows answers the same whatever its code page.
  if (::GetLocaleInfoW(0x0800, LOCALE_SABBREVLANGNAME, buffer, 254) == 0) return {};
  return win32::Narrow(std::wstring(buffer));
}

std::string UserLanguage() {
  wchar_t buffer[16] = {};
  const LCID user = MAKELCID(::GetUserDefaultUILanguage(), SORT_DEFAULT);
  if (::GetLocaleInfoW(user, LOCALE_SISO639LANGNAME, buffer, 15) == 0) return {};
  return win32::Narrow(std::wstring(buffer));
}

}  // namespace tavo::platform
