// The FTP control session against a scripted peer: every byte the client sends is compared.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/ftp/ftp.h"
#include "net/stack/exceptions.h"
#include "net/tcp/reply.h"
#include "tests/net/ftp/ftp_test_util.h"
#include "tests/support/child_process.h"
#include "tests/support/expect_throw.h"
#include "tests/support/scripted_peer.h"
#include "tests/support/thread_state.h"

namespace tavo::net {
namespace {

using ftptest::kLoginBytes;
using ftptest::ScriptLogin;
using testsupport::ScriptedPeer;

// A loopback port that nobody listens on (bound once, then released).
int ClosedPort() { return testsupport::FreeLoopbackPort(); }

class FtpSession : public ::testing::Test {
 protected:
  void SetUp() override {
    ftptest::SetLogin(ftp);
    ftp.SetOnStatus(status.Handler());
  }
  void Start() {
    peer.Start();
    ftptest::AimAt(ftp, peer);
  }
  // The peer must have run its whole script without a complaint.
  void ExpectPeerDone() {
    EXPECT_TRUE(peer.WaitScriptDone(10000));
    EXPECT_EQ(peer.Failures(), std::vector<std::string>{});
  }

  ScriptedPeer peer;
  TIdFTP ftp;
  ftptest::StatusLog status;
};

TEST(FtpCreation, Defaults) {
  TIdFTP ftp;
  EXPECT_EQ(ftp.Port(), 21);
  EXPECT_FALSE(ftp.Passive());
  EXPECT_EQ(ftp.TransferType(), ftBinary);
  EXPECT_EQ(ftp.Username(), "");
  EXPECT_EQ(ftp.Password(), "");
  EXPECT_EQ(ftp.ProxySettings().ProxyType(), fpcmNone);
  EXPECT_EQ(ftp.ProxySettings().Host(), "");
  EXPECT_EQ(ftp.ProxySettings().UserName(), "");
  EXPECT_EQ(ftp.ProxySettings().Password(), "");
  EXPECT_EQ(ftp.ProxySettings().Port(), 0);
  EXPECT_EQ(ftp.LoginReply().NumericCode(), 0);
  EXPECT_EQ(ftp.LoginReply().Text().Count(), 0);
  EXPECT_EQ(ftp.SystemName(), "");
  EXPECT_FALSE(ftp.ResumeProbed());
  EXPECT_FALSE(ftp.ResumeSupported());
  EXPECT_EQ(ftp.DataConnection(), nullptr);
  EXPECT_EQ(ftp.ListLines().Count(), 0);
  EXPECT_FALSE(ftp.Connected());
}

// ftp.Connect(5000) must not compile: the number would become the login switch.
template <typename F>
concept ConnectsWithANumberAlone = requires(F& f) { f.Connect(5000); };
template <typename F>
concept ConnectsWithLoginSwitchAndTimeout = requires(F& f) { f.Connect(true, 5000); };
static_assert(!ConnectsWithANumberAlone<tavo::net::TIdFTP>);
static_assert(ConnectsWithLoginSwitchAndTimeout<tavo::net::TIdFTP>);

TEST(FtpCreation, ProxySettingsCopyAllFiveFieldsAndRefuseOtherClasses) {
  TIdFtpProxySettings s;
  s.SetProxyType(fpcmOpen);
  s.SetHost("proxy");
  s.SetUserName("pu");
  s.SetPassword("pp");
  s.SetPort(2121);
  TIdFTP ftp;
  ftp.SetProxySettings(s);
  s.SetHost("changed later");
  EXPECT_EQ(ftp.ProxySettings().ProxyType(), fpcmOpen);
  EXPECT_EQ(ftp.ProxySettings().Host(), "proxy");
  EXPECT_EQ(ftp.ProxySettings().UserName(), "pu");
  EXPECT_EQ(ftp.ProxySettings().Password(), "pp");
  EXPECT_EQ(ftp.ProxySettings().Port(), 2121);

  TIdRFCReply reply;
  EXPECT_EQ(testsupport::ThrownMessage<rtl::EConvertAssignError>(
                [&] { ftp.ProxySettings().Assign(reply); }),
            "TIdRFCReply kann nicht zu TIdFtpProxySettings zugewiesen werden");
  EXPECT_EQ(ftp.ProxySettings().Host(), "proxy");
}

TEST_F(FtpSession, MultiLineGreetingIsReadWholeBeforeUser) {
  peer.SetReaderThread(testsupport::ThisThreadId());
  peer.Send("220-Welcome\r\n", 4)
      .ExpectSilentReader("the greeting")
      .Send("220-second line\r\n")
      .ExpectSilentReader("the greeting")
      .Send("220 ready\r\n")
      .ExpectLine("USER u")
      .Send("331 password please\r\n")
      .ExpectLine("PASS p")
      .Send("230 logged in\r\n")
      .ExpectLine("TYPE I")
      .Send("200 type set\r\n")
      .ExpectLine("SYST")
      .Send("215 UNIX Type: L8\r\n")
      .ReadUntilClose();
  Start();
  ftp.Connect();
  EXPECT_EQ(ftp.GreetingReply().NumericCode(), 220);
  EXPECT_EQ(ftp.GreetingReply().Text().Items(),
            (std::vector<std::string>{"Welcome", "second line", "ready"}));
  EXPECT_EQ(ftp.LoginReply().NumericCode(), 230);
  EXPECT_EQ(ftp.LoginReply().Text().Items(), std::vector<std::string>{"logged in"});
  EXPECT_EQ(ftp.SystemName(), "UNIX Type: L8");
  EXPECT_TRUE(ftp.Connected());
  ftp.Disconnect();
  ExpectPeerDone();
  EXPECT_EQ(peer.Received(), kLoginBytes) << "and nothing at all on disconnect (no QUIT)";
  EXPECT_EQ(status.Texts(), (std::vector<std::string>{
                                "Verbinden mit 127.0.0.1.", "Verbunden.", "Verbindung hergestellt",
                                "Verbindung wird getrennt.", "Verbindung aufgehoben."}));
  EXPECT_EQ(status.items[2].first, ftpReady);
}

TEST_F(FtpSession, PreliminaryGreetingFailsTheConnectAndClosesTheConnection) {
  peer.Send("120 ready in 5 minutes\r\n").ReadUntilClose();
  Start();
  testsupport::ExpectThrowWith<EIdProtocolReplyError>(
      [&] { ftp.Connect(); },
      [](const auto& e) {
        EXPECT_EQ(e.ReplyCode(), 120);
        EXPECT_STREQ(e.what(), "ready in 5 minutes\r\n");
      });
  EXPECT_FALSE(ftp.Connected());
  ExpectPeerDone();
  EXPECT_EQ(peer.Received(), "");
  ASSERT_GE(status.items.size(), 2u);
  EXPECT_EQ(status.items[status.items.size() - 2].first, hsDisconnecting);
  EXPECT_EQ(status.items.back().first, hsDisconnected);
}

TEST_F(FtpSession, UserAnsweredWith230SendsNoPassword) {
  peer.Send("220 ready\r\n")
      .ExpectLine("USER u")
      .Send("230-no password needed\r\n230 welcome\r\n")
      .ExpectLine("TYPE I")
      .Send("200 ok\r\n")
      .ExpectLine("SYST")
      .Send("215 UNIX\r\n")
      .ReadUntilClose();
  Start();
  ftp.Connect();
  EXPECT_EQ(ftp.LoginReply().NumericCode(), 230);
  EXPECT_EQ(ftp.LoginReply().Text().Items(),
            (std::vector<std::string>{"no password needed", "welcome"}));
  ftp.Disconnect();
  ExpectPeerDone();
  EXPECT_EQ(peer.Received(), "USER u\r\nTYPE I\r\nSYST\r\n");
}

TEST_F(FtpSession, RefusedPasswordFailsWithTheServersCodeAndText) {
  peer.Send("220 ready\r\n")
      .ExpectLine("USER u")
      .Send("331 password please\r\n")
      .ExpectLine("PASS p")
      .Send("530 Login incorrect.\r\n")
      .ReadUntilClose();
  Start();
  testsupport::ExpectThrowWith<EIdProtocolReplyError>(
      [&] { ftp.Connect(); },
      [](const auto& e) {
        EXPECT_EQ(e.ReplyCode(), 530);
        EXPECT_STREQ(e.what(), "Login incorrect.\r\n");
      });
  EXPECT_FALSE(ftp.Connected());
  ExpectPeerDone();
  EXPECT_EQ(peer.Received(), "USER u\r\nPASS p\r\n");
}

TEST_F(FtpSession, Syst500GivesAnUnknownSystemAndTheSessionStands) {
  ScriptLogin(peer, "500 SYST not understood\r\n").ReadUntilClose();
  Start();
  ftp.Connect();
  EXPECT_EQ(ftp.SystemName(), "Unbekannt");
  EXPECT_TRUE(ftp.Connected());
  ftp.Disconnect();
  ExpectPeerDone();
  EXPECT_EQ(peer.Received(), kLoginBytes);
}

TEST_F(FtpSession, Syst502FailsTheConnect) {
  ScriptLogin(peer, "502 not implemented\r\n").ReadUntilClose();
  Start();
  testsupport::ExpectThrowWith<EIdProtocolReplyError>(
      [&] { ftp.Connect(); }, [](const auto& e) { EXPECT_EQ(e.ReplyCode(), 502); });
  EXPECT_FALSE(ftp.Connected());
  ExpectPeerDone();
  EXPECT_EQ(peer.Received(), kLoginBytes);
}

TEST_F(FtpSession, AfterClientLoginIsRaisedBetweenLoginAndType) {
  ScriptLogin(peer).ReadUntilClose();
  Start();
  std::vector<int> seen;
  ftp.SetOnAfterClientLogin([&](rtl::TComponent* sender) {
    EXPECT_EQ(sender, &ftp);
    seen.push_back(ftp.LastReply().NumericCode());
  });
  ftp.Connect();
  EXPECT_EQ(seen, std::vector<int>{230});
  ftp.Disconnect();
  ExpectPeerDone();
}

TEST_F(FtpSession, ConnectWithoutAutoLoginOnlyReadsTheGreeting) {
  peer.Send("220 hi\r\n").ReadUntilClose();
  Start();
  ftp.Connect(false);
  EXPECT_EQ(ftp.GreetingReply().Text().Items(), std::vector<std::string>{"hi"});
  EXPECT_EQ(ftp.LoginReply().NumericCode(), 0);
  EXPECT_EQ(status.Texts().back(), "Verbunden.") << "no ready status without login";
  ftp.Disconnect();
  ExpectPeerDone();
  EXPECT_EQ(peer.Received(), "");
}

TEST_F(FtpSession, ConnectWhileConnectedIsRefusedAndDisconnects) {
  ScriptLogin(peer).ReadUntilClose();
  Start();
  ftp.Connect();
  EXPECT_THROW(ftp.Connect(), EIdAlreadyConnected);
  EXPECT_FALSE(ftp.Connected());
  ExpectPeerDone();
  EXPECT_EQ(peer.Received(), kLoginBytes);
}

TEST_F(FtpSession, BlankLinesBeforeTheGreetingAreSkipped) {
  peer.Send("\r\n  \r\n\r\n220 ready\r\n").ReadUntilClose();
  Start();
  ftp.Connect(false);
  EXPECT_EQ(ftp.GreetingReply().NumericCode(), 220);
  ftp.Disconnect();
  ExpectPeerDone();
}

TEST_F(FtpSession, OverlongGreetingLineFailsTheConnect) {
  peer.Send("220 " + std::string(16381, 'x') + "\r\n").ReadUntilClose();
  Start();
  EXPECT_THROW(ftp.Connect(), EIdReadLnMaxLineLengthExceeded);
  EXPECT_FALSE(ftp.Connected());
  ExpectPeerDone();
  EXPECT_EQ(peer.Received(), "");
}

TEST_F(FtpSession, TransferTypeSetter) {
  // Disconnected: only stored, then sent by the next automatic login.
  ftp.SetTransferType(ftASCII);
  EXPECT_EQ(ftp.TransferType(), ftASCII);
  peer.Send("220 ready\r\n")
      .ExpectLine("USER u")
      .Send("230 ok\r\n")
      .ExpectLine("TYPE A")
      .Send("200 ok\r\n")
      .ExpectLine("SYST")
      .Send("215 UNIX\r\n")
      .ExpectLine("TYPE I")
      .Send("200 ok\r\n")
      .ReadUntilClose();
  Start();
  ftp.Connect();
  ftp.SetTransferType(ftASCII);  // unchanged: nothing sent
  ftp.SetTransferType(ftBinary);
  EXPECT_EQ(ftp.TransferType(), ftBinary);
  ftp.Disconnect();
  ftp.SetTransferType(ftASCII);  // disconnected again: nothing sent
  ExpectPeerDone();
  EXPECT_EQ(peer.Received(), "USER u\r\nTYPE A\r\nSYST\r\nTYPE I\r\n");
}

TEST_F(FtpSession, RefusedTypeFailsTheConnect) {
  peer.Send("220 ready\r\n")
      .ExpectLine("USER u")
      .Send("230 ok\r\n")
      .ExpectLine("TYPE I")
      .Send("504 no binary here\r\n")
      .ReadUntilClose();
  Start();
  EXPECT_THROW(ftp.Connect(), EIdProtocolReplyError);
  EXPECT_FALSE(ftp.Connected());
  ExpectPeerDone();
}

TEST_F(FtpSession, ChangeDirRawCommandAndRefusedLineBreaks) {
  ScriptLogin(peer)
      .ExpectLine("CWD Software/111_85_272")
      .Send("250 ok\r\n")
      .ExpectLine("CWD old")
      .Send("200 ok\r\n")
      .ExpectLine("CWD gone")
      .Send("550-No such\r\n550 directory.\r\n")
      .ExpectLine("NOOP")
      .Send("502 not implemented\r\n")
      .ReadUntilClose();
  Start();
  ftp.Connect();
  ftp.ChangeDir("Software/111_85_272");
  ftp.ChangeDir("old");
  testsupport::ExpectThrowWith<EIdProtocolReplyError>(
      [&] { ftp.ChangeDir("gone"); },
      [](const auto& e) {
        EXPECT_EQ(e.ReplyCode(), 550);
        EXPECT_STREQ(e.what(), "No such\r\ndirectory.\r\n");
      });
  EXPECT_TRUE(ftp.Connected());
  // A name carrying a line break would smuggle in a second command: refused, nothing sent.
  EXPECT_THROW(ftp.ChangeDir("x\r\nDELE important.dat"), EIdCommandLineBreak);
  EXPECT_THROW(ftp.SendRawCommand("NOOP\nQUIT"), EIdCommandLineBreak);
  EXPECT_EQ(ftp.SendRawCommand("NOOP"), 502);
  ftp.Disconnect();
  ExpectPeerDone();
  EXPECT_EQ(peer.Received(), std::string(kLoginBytes) +
                                 "CWD Software/111_85_272\r\nCWD old\r\nCWD gone\r\nNOOP\r\n");
}

TEST_F(FtpSession, ProbeResumeRunsOnceInTheComponentsLife) {
  ScriptLogin(peer)
      .ExpectLine("REST 1")
      .Send("350 Restarting at 1.\r\n")
      .ExpectLine("REST 0")
      .Send("350 Restarting at 0.\r\n")
      .ReadUntilClose()
      .Accept()
      .Send("220 again\r\n")
      .ReadUntilClose();
  Start();
  ftp.Connect();
  EXPECT_TRUE(ftp.ProbeResume());
  EXPECT_TRUE(ftp.ProbeResume());
  EXPECT_TRUE(ftp.ResumeProbed());
  EXPECT_TRUE(ftp.ResumeSupported());
  ftp.Disconnect();
  ftp.Connect(false);
  EXPECT_TRUE(ftp.ProbeResume()) << "the result survives a reconnect";
  ftp.Disconnect();
  ExpectPeerDone();
  EXPECT_EQ(peer.Received(0), std::string(kLoginBytes) + "REST 1\r\nREST 0\r\n");
  EXPECT_EQ(peer.Received(1), "");
}

TEST_F(FtpSession, ProbeResumeIsFalseUnless350) {
  ScriptLogin(peer)
      .ExpectLine("REST 1")
      .Send("502 no restarts\r\n")
      .ExpectLine("REST 0")
      .Send("502 no restarts\r\n")
      .ReadUntilClose();
  Start();
  ftp.Connect();
  EXPECT_FALSE(ftp.ProbeResume());
  EXPECT_FALSE(ftp.ProbeResume());
  EXPECT_TRUE(ftp.ResumeProbed());
  ftp.Disconnect();
  ExpectPeerDone();
  EXPECT_EQ(peer.Received(), std::string(kLoginBytes) + "REST 1\r\nREST 0\r\n");
}

// SIZE and MDTM in one session: what each reply gives (a size; a time as days since 1899-12-30
// in UTC), or that it raises.
TEST_F(FtpSession, RemoteSizeAndModificationTime) {
  const double jan2 = 45293, at_3_4_5 = (3 * 3600 + 4 * 60 + 5) / 86400.0, second = 1 / 86400.0;
  const struct {
    const char* command;
    const char* reply;
    double expected;
    bool raises = false;
  } rows[] = {
      {"SIZE", "213 123456789012", 123456789012.0}, {"SIZE", "550 Could not get file size.", -1},
      {"SIZE", "502 Command not implemented.", -1}, {"SIZE", "213 0x10", 0, true},
      {"SIZE", "530 Not logged in.", 0, true},       {"MDTM", "213 20240102030405", jan2 + at_3_4_5},
      {"MDTM", "213 20240102030405.25", jan2 + at_3_4_5 + 0.25 * second},
      {"MDTM", "213 20240102030460", jan2 + at_3_4_5 + 54 * second},  // a leap second reads :59
      {"MDTM", "213 20241302030405", 0},             {"MDTM", "213 191000102030405", 0},
      {"MDTM", "550 No such file.", 0},
  };
  ScriptLogin(peer);
  for (const auto& r : rows) peer.ExpectLine(std::string(r.command) + " f").Send(std::string(r.reply) + "\r\n");
  peer.ReadUntilClose();
  Start();
  ftp.Connect();
  for (const auto& r : rows) {
    SCOPED_TRACE(r.reply);
    if (r.raises) {
      EXPECT_THROW(ftp.RemoteSize("f"), EIdException);
    } else {
      const double got = r.command[0] == 'S' ? static_cast<double>(ftp.RemoteSize("f")) : ftp.RemoteModified("f");
      EXPECT_NEAR(got, r.expected, 0.0001 * second);
    }
  }
  ftp.Disconnect();
  ExpectPeerDone();
}

TEST(FtpCommandDisplay, ThePasswordOfPassIsHiddenWhateverItIs) {
  EXPECT_EQ(TIdFTP::CommandForDisplay("PASS a"), "PASS ***");
  EXPECT_EQ(TIdFTP::CommandForDisplay("pass s3cr:t@pw with blanks"), "pass ***");
  for (const char* shown : {"PASS", "USER a", "PASSWORD a"}) EXPECT_EQ(TIdFTP::CommandForDisplay(shown), shown);
}

TEST_F(FtpSession, AbortSendsAborWithoutReadingAReply) {
  ScriptLogin(peer).ExpectLine("ABOR").Send("226 nothing to abort\r\n").ReadUntilClose();
  Start();
  ftp.Connect();
  ftp.Abort();
  EXPECT_TRUE(ftp.Connected());
  EXPECT_EQ(ftp.LastReply().NumericCode(), 215) << "ABOR's reply is left for the caller";
  ftp.CloseDataConnection();  // no transfer: nothing to close
  ftp.Disconnect();
  ftp.Abort();  // not connected: sends nothing
  ExpectPeerDone();
  EXPECT_EQ(peer.Received(), std::string(kLoginBytes) + "ABOR\r\n");
}

// --- proxy logins -----------------------------------------------------------------------------

struct ProxyCase {
  TIdFtpProxyType type;
  const char* proxy_user;
  const char* proxy_password;
  // client lines and the peer's answers, in order
  std::vector<std::pair<std::string, std::string>> exchange;
};

std::string ProxyCaseName(const ::testing::TestParamInfo<ProxyCase>& info) {
  static const char* const names[] = {"None",     "UserSite",    "Site",
                                      "Open",     "UserPass",    "Transparent",
                                      "HttpProxyWithFtp"};
  return std::string(names[info.param.type]) + std::to_string(info.index);
}

class FtpProxyLogin : public FtpSession, public ::testing::WithParamInterface<ProxyCase> {};

TEST_P(FtpProxyLogin, SendsTheTypesCommandLinesInOrder) {
  const ProxyCase& c = GetParam();
  // The proxy host is set, so the TCP connection goes to it; the FTP server named by Host
  // appears only inside the login lines and is never resolved.
  peer.Send("220 proxy ready\r\n");
  std::string expected;
  for (const auto& [line, answer] : c.exchange) {
    peer.ExpectLine(line).Send(answer);
    expected += line + "\r\n";
  }
  peer.ExpectLine("TYPE I").Send("200 ok\r\n").ExpectLine("SYST").Send("215 UNIX\r\n");
  peer.ReadUntilClose();
  expected += "TYPE I\r\nSYST\r\n";
  peer.Start();
  ftp.SetHost("ftp.server.test");
  ftp.SetPort(2100);
  ftp.SetReadTimeout(10000);
  ftp.ProxySettings().SetProxyType(c.type);
  ftp.ProxySettings().SetHost("127.0.0.1");
  ftp.ProxySettings().SetPort(peer.Port());
  ftp.ProxySettings().SetUserName(c.proxy_user);
  ftp.ProxySettings().SetPassword(c.proxy_password);
  ftp.Connect();
  EXPECT_EQ(ftp.Host(), "ftp.server.test") << "the real server's name is back";
  EXPECT_EQ(ftp.Port(), 2100);
  EXPECT_EQ(ftp.LoginReply().NumericCode(), 230);
  EXPECT_EQ(ftp.LoginReply().Text().Items(), std::vector<std::string>{"final"});
  ftp.Disconnect();
  ExpectPeerDone();
  EXPECT_EQ(peer.Received(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    AllTypes, FtpProxyLogin,
    ::testing::Values(
        ProxyCase{fpcmUserSite,
                  "pu",
                  "pp",
                  {{"USER pu", "331 pw\r\n"},
                   {"PASS pp", "230 proxy ok\r\n"},
                   {"USER u@ftp.server.test", "331 pw\r\n"},
                   {"PASS p", "230 final\r\n"}}},
        ProxyCase{fpcmUserSite, "", "pp", {{"USER u@ftp.server.test", "230 final\r\n"}}},
        ProxyCase{fpcmSite,
                  "pu",
                  "pp",
                  {{"USER pu", "230 proxy ok\r\n"},
                   {"SITE ftp.server.test", "500 whatever\r\n"},
                   {"USER u", "331 pw\r\n"},
                   {"PASS p", "230 final\r\n"}}},
        ProxyCase{fpcmOpen,
                  "",
                  "",
                  {{"OPEN ftp.server.test", "421 any code is taken\r\n"},
                   {"USER u", "331 pw\r\n"},
                   {"PASS p", "230 final\r\n"}}},
        ProxyCase{fpcmUserPass,
                  "pu",
                  "pp",
                  {{"USER u@pu@ftp.server.test", "331 pw\r\n"}, {"PASS p@pp", "230 final\r\n"}}},
        ProxyCase{fpcmUserPass,
                  "pu",
                  "",
                  {{"USER u@pu@ftp.server.test", "331 pw\r\n"}, {"PASS p", "230 final\r\n"}}},
        ProxyCase{fpcmTransparent,
                  "pu",
                  "pp",
                  {{"USER pu", "331 pw\r\n"},
                   {"PASS pp", "230 proxy ok\r\n"},
                   {"USER u", "331 pw\r\n"},
                   {"PASS p", "230 final\r\n"}}}),
    ProxyCaseName);

TEST_F(FtpSession, NoProxyTypeIgnoresTheProxySettings) {
  ScriptLogin(peer).ReadUntilClose();
  Start();
  ftp.ProxySettings().SetHost("127.0.0.1");
  ftp.ProxySettings().SetPort(ClosedPort());  // would fail the connect if it were used
  ftp.ProxySettings().SetUserName("pu");
  ftp.ProxySettings().SetPassword("pp");
  ftp.Connect();
  ftp.Disconnect();
  ExpectPeerDone();
  EXPECT_EQ(peer.Received(), kLoginBytes);
}

TEST_F(FtpSession, ProxyTypeWithoutProxyHostConnectsToTheServerItself) {
  peer.Send("220 ready\r\n")
      .ExpectLine("USER u@127.0.0.1")
      .Send("230 final\r\n")
      .ExpectLine("TYPE I")
      .Send("200 ok\r\n")
      .ExpectLine("SYST")
      .Send("215 UNIX\r\n")
      .ReadUntilClose();
  Start();
  ftp.ProxySettings().SetProxyType(fpcmUserSite);
  ftp.ProxySettings().SetPort(1);  // ignored without a proxy host
  ftp.Connect();
  ftp.Disconnect();
  ExpectPeerDone();
}

TEST_F(FtpSession, ProxyHostAndPortAreRestoredWhenTheConnectFails) {
  ftp.SetHost("ftp.server.test");
  ftp.SetPort(2100);
  ftp.SetReadTimeout(10000);
  ftp.ProxySettings().SetProxyType(fpcmSite);
  ftp.ProxySettings().SetHost("127.0.0.1");
  ftp.ProxySettings().SetPort(ClosedPort());
  EXPECT_THROW(ftp.Connect(), EIdSocketError);
  EXPECT_EQ(ftp.Host(), "ftp.server.test");
  EXPECT_EQ(ftp.Port(), 2100);
  EXPECT_FALSE(ftp.Connected());
}

TEST_F(FtpSession, HttpProxyTypeIsNotSupported) {
  peer.Send("220 ready\r\n").ReadUntilClose();
  Start();
  ftp.ProxySettings().SetProxyType(fpcmHttpProxyWithFtp);
  testsupport::ExpectThrowWith<EIdException>(
      [&] { ftp.Connect(); },
      [](const EIdException& e) {
        EXPECT_EQ(dynamic_cast<const EIdProtocolReplyError*>(&e), nullptr) << "wrong class";
        EXPECT_STREQ(e.what(), "Anweisung nicht unterstützt");
      });
  EXPECT_FALSE(ftp.Connected());
  ExpectPeerDone();
  EXPECT_EQ(peer.Received(), "");
}

}  // namespace
}  // namespace tavo::net

namespace tavo::net {
namespace {

// Stands in for a running transfer: the data connection exists, as between its creation and
// release by the retrieval.
class FtpWithTransfer : public TIdFTP {
 public:
  TIdTCPClient* BeginTransfer() {
    data_connection_ = std::make_unique<TIdTCPClient>();
    return static_cast<TIdTCPClient*>(data_connection_.get());
  }
  void EndTransfer() { data_connection_.reset(); }
};

TEST(FtpTransferState, TypeChangesAreDroppedWhileATransferRunsAndAbortClosesTheData) {
  ScriptedPeer control;
  ScriptLogin(control).ExpectLine("ABOR").ExpectLine("TYPE A").Send("200 ok\r\n").ReadUntilClose();
  ScriptedPeer data;
  data.ReadUntilClose();
  control.Start();
  data.Start();

  FtpWithTransfer ftp;
  ftptest::SetLogin(ftp);
  ftptest::AimAt(ftp, control);
  ftp.Connect();

  TIdTCPClient* dc = ftp.BeginTransfer();
  ftptest::AimAt(*dc, data);
  dc->Connect();
  EXPECT_EQ(ftp.DataConnection(), dc);

  ftp.SetTransferType(ftASCII);
  EXPECT_EQ(ftp.TransferType(), ftBinary) << "dropped, not deferred";

  ftp.Abort();
  EXPECT_FALSE(dc->Connected()) << "the data connection's transport is closed";
  EXPECT_TRUE(data.WaitScriptDone(10000)) << "the data peer saw the close";
  ftp.EndTransfer();

  ftp.SetTransferType(ftASCII);  // no transfer now: stored and sent
  EXPECT_EQ(ftp.TransferType(), ftASCII);
  ftp.Disconnect();
  EXPECT_TRUE(control.WaitScriptDone(10000));
  EXPECT_EQ(control.Failures(), std::vector<std::string>{});
  EXPECT_EQ(control.Received(), std::string(kLoginBytes) + "ABOR\r\nTYPE A\r\n")
      << "no TYPE while the transfer ran";
}

}  // namespace
}  // namespace tavo::net
