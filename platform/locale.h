#pragma once
// The abbreviated language name of the system's default locale, three upper-case letters such as
// "DEU" (German as used in Germany), "DEA" (Austria), "DES" (Switzerland), "ENU" (United States)
// or "ENG" (United Kingdom). German texts are chosen for "DEU" alone.

#include <string>

namespace tavo::platform {

// Empty when the locale cannot be determined or is not one the table knows.
std::string GetLocaleAbbrevLangName();

// The language the user reads messages in, as its two-letter ISO 639 code in lower case ("de",
// "en"); empty when the system names none (the C and POSIX locales) or cannot say. POSIX: the
// first set of LC_ALL, LC_MESSAGES and LANG; Windows: the user's interface language.
std::string UserLanguage();

// The abbreviation for a POSIX locale name ("de_DE.UTF-8", "en_GB@euro", "C", ...); the same
// rules as above. Exposed so that every locale name can be checked without changing the
// process's environment.
std::string LocaleAbbrevFromPosixName(const std::string& name);
// The language of a POSIX locale name ("de_AT.UTF-8" -> "de"); empty for C and POSIX.
std::string LanguageFromPosixName(const std::string& name);

}  // namespace tavo::platform
