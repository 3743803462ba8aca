// The FTP client's settings in the window's layout data have the forms the server account needs.

#include "resources/ftp_settings.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>

namespace tavo::res::ftp_settings {
namespace {

TEST(FtpSettings, AccountHasTheRequiredForms) {
  const std::string user = kUsername;
  ASSERT_EQ(user.size(), 9u);
  EXPECT_TRUE(std::isalpha(static_cast<unsigned char>(user[0])));
  for (size_t i = 1; i < user.size(); ++i) EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(user[i])));

  const std::string password = kPassword;
  ASSERT_EQ(password.size(), 12u);
  bool letter = false, digit = false, punct = false;
  for (char c : password) {
    const auto u = static_cast<unsigned char>(c);
    EXPECT_TRUE(std::isprint(u) && u < 128 && c != ' ');
    letter |= std::isalpha(u) != 0;
    digit |= std::isdigit(u) != 0;
    punct |= std::ispunct(u) != 0;
  }
  EXPECT_TRUE(letter && digit && punct);
}

TEST(FtpSettings, ConnectionSettingsAndWebSite) {
  EXPECT_TRUE(kPassive);
  EXPECT_EQ(kReadTimeout, 0);
  EXPECT_STREQ(kMaxLineAction, "maException");
  EXPECT_STREQ(kProxyType, "fpcmNone");
  EXPECT_EQ(kProxyPort, 0);
  // Plain unless the build asked for TLS (TAVO_FTP_TLS).
  EXPECT_TRUE(std::string(kUseTLS) == "utNoTLS" || std::string(kUseTLS) == "utRequireTLS")
      << kUseTLS;
  EXPECT_GE(kPort, 1);
  EXPECT_LE(kPort, 65535);
  EXPECT_GT(std::strlen(kHost), 0u);
  EXPECT_EQ(std::string(kWebAddress).rfind("http://", 0), 0u);
}

}  // namespace
}  // namespace tavo::res::ftp_settings
