// The FTP client's settings in the window's layout data have the forms the server account needs,
// and the window's FTP component carries them.

#include "resources/ftp_settings.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>

#include "app/form_main.h"

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

// Everything the layout does not name stays at the client's defaults (binary transfers).
TEST(FtpSettings, TheWindowsFtpComponentCarriesThem) {
  app::TFormMain form;
  const net::TIdFTP& ftp = *form.ftp;
  EXPECT_EQ(ftp.Name(), "ftp");
  EXPECT_EQ(ftp.Host(), kHost);
  EXPECT_EQ(ftp.Port(), kPort);
  EXPECT_EQ(ftp.Username(), kUsername);
  EXPECT_EQ(ftp.Password(), kPassword);
  EXPECT_TRUE(ftp.Passive());
  EXPECT_EQ(ftp.ReadTimeout(), 0);
  EXPECT_EQ(ftp.MaxLineAction(), net::maException);
  EXPECT_EQ(ftp.ProxySettings().ProxyType(), net::fpcmNone);
  EXPECT_EQ(ftp.ProxySettings().Port(), 0);
  EXPECT_EQ(ftp.TransferType(), net::ftBinary);
  EXPECT_EQ(ftp.UseTLS(), std::string(kUseTLS) == "utRequireTLS" ? net::utRequireTLS : net::utNoTLS);
  ASSERT_TRUE(ftp.OnStatus() != nullptr);
  ftp.OnStatus()(form.ftp, net::hsStatusText, "Verbunden.");
  EXPECT_EQ(form.StatusBar->SimpleText(), "Verbunden.");
}

}  // namespace
}  // namespace tavo::res::ftp_settings
