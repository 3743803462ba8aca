#include "platform/locale.h"

#include <gtest/gtest.h>

#include "scratch.h"

#ifndef _WIN32
namespace tavo::platform {
namespace {

using test::EnvGuard;

TEST(LocaleAbbrev, GermanIsDeuOnlyInGermany) {
  EXPECT_EQ(LocaleAbbrevFromPosixName("de_DE"), "DEU");
  EXPECT_EQ(LocaleAbbrevFromPosixName("de_DE.UTF-8"), "DEU");
  EXPECT_EQ(LocaleAbbrevFromPosixName("de_DE@euro"), "DEU");
  EXPECT_EQ(LocaleAbbrevFromPosixName("de_AT.UTF-8"), "DEA");
  EXPECT_EQ(LocaleAbbrevFromPosixName("de_CH"), "DES");
  EXPECT_EQ(LocaleAbbrevFromPosixName("de_LU"), "DEL");
  EXPECT_EQ(LocaleAbbrevFromPosixName("de_LI"), "DEC");
  EXPECT_NE(LocaleAbbrevFromPosixName("de"), "DEU");
  EXPECT_NE(LocaleAbbrevFromPosixName("de_BE"), "DEU");
}

TEST(LocaleAbbrev, OtherLanguagesAndUnknownNames) {
  EXPECT_EQ(LocaleAbbrevFromPosixName("en_US.UTF-8"), "ENU");
  EXPECT_EQ(LocaleAbbrevFromPosixName("en_GB"), "ENG");
  EXPECT_EQ(LocaleAbbrevFromPosixName("fr_FR"), "FRA");
  EXPECT_EQ(LocaleAbbrevFromPosixName("C"), "IVL");
  EXPECT_EQ(LocaleAbbrevFromPosixName("C.UTF-8"), "IVL");
  EXPECT_EQ(LocaleAbbrevFromPosixName("POSIX"), "IVL");
  EXPECT_EQ(LocaleAbbrevFromPosixName("xx_YY"), "");
  EXPECT_EQ(LocaleAbbrevFromPosixName(""), "");
  EXPECT_EQ(LocaleAbbrevFromPosixName("DE_de"), "");  // names are case-sensitive
}

TEST(LocaleAbbrev, EnvironmentPrecedenceIsLcAllThenLcMessagesThenLang) {
  {
    EnvGuard all("LC_ALL", "de_DE.UTF-8");
    EnvGuard messages("LC_MESSAGES", "en_US.UTF-8");
    EnvGuard lang("LANG", "en_GB.UTF-8");
    EXPECT_EQ(GetLocaleAbbrevLangName(), "DEU");
  }
  {
    EnvGuard all("LC_ALL", std::nullopt);
    EnvGuard messages("LC_MESSAGES", "de_CH.UTF-8");
    EnvGuard lang("LANG", "de_DE.UTF-8");
    EXPECT_EQ(GetLocaleAbbrevLangName(), "DES");
  }
  {
    EnvGuard all("LC_ALL", "");  // empty counts as unset
    EnvGuard messages("LC_MESSAGES", std::nullopt);
    EnvGuard lang("LANG", "de_DE.UTF-8");
    EXPECT_EQ(GetLocaleAbbrevLangName(), "DEU");
  }
  {
    EnvGuard all("LC_ALL", std::nullopt);
    EnvGuard messages("LC_MESSAGES", std::nullopt);
    EnvGuard lang("LANG", std::nullopt);
    EXPECT_EQ(GetLocaleAbbrevLangName(), "IVL");
  }
}

}  // namespace
}  // namespace tavo::platform

#else

// Kept in the Windows test program so the skip and its reason show in its output.
TEST(PosixLocale, NotOnWindows) {
  GTEST_SKIP() << "the POSIX backend reads LC_ALL, LC_MESSAGES and LANG; the Win32 backend asks Windows for the language instead";
}

#endif
