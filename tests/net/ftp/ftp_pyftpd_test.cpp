// The FTP control session against a real server (pyftpdlib on loopback).

#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "net/ftp/ftp.h"
#include "net/stack/exceptions.h"
#include "tests/net/ftp/ftp_test_util.h"
#include "tests/support/expect_throw.h"
#include "tests/support/pyftpd.h"

namespace tavo::net {
namespace {

TEST(FtpWithPyftpd, LoginSystChangeDirAndAFailedChangeDirThatKeepsTheSession) {
  testsupport::PyFtpdOptions options;
  options.user = "k12345678";
  options.password = "pa$$w0rd:%s!";
  testsupport::PyFtpd server(options);
  std::filesystem::create_directories(std::filesystem::path(server.Root()) / "Software" /
                                      "111_85_272");

  ftptest::StatusLog status;
  TIdFTP ftp;
  ftp.SetOnStatus(status.Handler());
  ftp.SetHost("localhost");
  ftp.SetPort(server.Port());
  ftp.SetUsername(options.user);
  ftp.SetPassword(options.password);
  ftp.SetPassive(true);
  ftp.SetReadTimeout(15000);

  ftp.Connect();
  EXPECT_EQ(ftp.GreetingReply().NumericCode(), 220);
  EXPECT_EQ(ftp.LoginReply().NumericCode(), 230);
  EXPECT_EQ(ftp.SystemName(), "UNIX Type: L8");

  ftp.ChangeDir("Software/111_85_272");
  EXPECT_EQ(ftp.LastReply().NumericCode(), 250);
  const bool refused = testsupport::ExpectThrowWith<EIdProtocolReplyError>(
      [&] { ftp.ChangeDir("no/such/folder"); },
      [](const auto& e) {
        EXPECT_EQ(e.ReplyCode(), 550);
        EXPECT_NE(std::string(e.what()).find("\r\n"), std::string::npos);
      });
  if (!refused) std::cerr << "the server's log:\n" << server.Log();
  EXPECT_TRUE(ftp.Connected());
  EXPECT_EQ(ftp.SendRawCommand("PWD"), 257);
  EXPECT_NE(ftp.LastReply().Text()[0].find("/Software/111_85_272"), std::string::npos)
      << ftp.LastReply().Text()[0];
  ftp.ChangeDir("..");
  EXPECT_EQ(ftp.SendRawCommand("PWD"), 257);
  EXPECT_NE(ftp.LastReply().Text()[0].find("\"/Software\""), std::string::npos);

  ftp.Disconnect();
  EXPECT_FALSE(ftp.Connected());
  EXPECT_EQ(status.Texts(),
            (std::vector<std::string>{"Host-Name localhost wird aufgelöst.",
                                      "Verbinden mit 127.0.0.1.", "Verbunden.",
                                      "Verbindung hergestellt", "Verbindung wird getrennt.",
                                      "Verbindung aufgehoben."}));
  ASSERT_EQ(status.items.size(), 6u);
  EXPECT_EQ(status.items[0].first, hsResolving);
  EXPECT_EQ(status.items[1].first, hsConnecting);
  EXPECT_EQ(status.items[2].first, hsConnected);
  EXPECT_EQ(status.items[3].first, ftpReady);
  EXPECT_EQ(status.items[4].first, hsDisconnecting);
  EXPECT_EQ(status.items[5].first, hsDisconnected);
}

TEST(FtpWithPyftpd, WrongPasswordFailsWith530AndCanBeRetried) {
  testsupport::PyFtpd server;
  TIdFTP ftp;
  ftp.SetHost("127.0.0.1");
  ftp.SetPort(server.Port());
  ftp.SetReadTimeout(15000);
  ftp.SetUsername(server.Options().user);
  ftp.SetPassword("wrong");
  testsupport::ExpectThrowWith<EIdProtocolReplyError>(
      [&] { ftp.Connect(); }, [](const auto& e) { EXPECT_EQ(e.ReplyCode(), 530); });
  EXPECT_FALSE(ftp.Connected());

  ftp.SetPassword(server.Options().password);
  ftp.Connect();
  EXPECT_TRUE(ftp.Connected());
  EXPECT_EQ(ftp.LoginReply().NumericCode(), 230);
  ftp.Disconnect();
}

}  // namespace
}  // namespace tavo::net
