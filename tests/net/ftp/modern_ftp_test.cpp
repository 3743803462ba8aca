// FTP as servers speak it today, against real servers on loopback: IPv6 (pyftpdlib and vsftpd
// on ::1, SOCKS 5 through dante to an IPv6 target), EPSV and EPRT with their fallbacks, FEAT,
// OPTS UTF8, MLSD and MLST; and the defaults, which keep the launcher's sequence. Every IPv6
// case skips where the machine has no ::1.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "net/ftp/ftp.h"
#include "net/ftp/listing.h"
#include "net/tcp/socks_info.h"
#include "net/tcp/iohandler.h"
#include "rtl/streams.h"
#include "tests/net/ftp/ftp_test_util.h"
#include "tests/support/pyftpd.h"
#include "tests/support/scratch.h"
#include "tests/support/socks_proxies.h"
#include "tests/support/vsftpd.h"

namespace tavo::net {
namespace {

using Commands = std::vector<std::string>;

#define TAVO_NEED_IPV6()                                                        \
  if (!testsupport::HasIPv6Loopback()) GTEST_SKIP() << "this machine has no ::1"

// pyftpdlib serving f.bin and "Grüße.txt", recording every command word it receives and
// answering the ones in `refused` with 500, as a server that does not know them.
class Server {
 public:
  explicit Server(const std::string& host = "127.0.0.1", const std::string& refused = "")
      : server_([&] {
          testsupport::PyFtpdOptions options;
          options.host = host;
          options.user = "u";
          options.password = "p";
          options.handler_code = "LOG = r'''" + scratch_ / "commands" + "'''\nREFUSED = '" +
                                 refused + "'.split()\n" + kRecorder;
          return options;
        }()) {
    ftptest::WriteFiles(server_.Root(), {{"f.bin", 100000}, {"Grüße.txt", 12}});
  }
  // The client's family, host and login; the caller chooses passive or active.
  void Aim(TIdFTP& ftp, TIdAddressFamily family = afIPv4) const {
    ftptest::AimAtServer(ftp, server_.Host() == "::1" ? "[::1]" : server_.Host(), server_.Port(),
                         "u", "p", 15000);
    ftp.SetAddressFamily(family);
  }
  // The command words received so far, in order.
  Commands Received() const {
    Commands words;
    std::istringstream in(test::ReadFile(scratch_ / "commands"));
    for (std::string word; std::getline(in, word);) words.push_back(word);
    return words;
  }
  std::string Log() const { return server_.Log(); }

 private:
  static constexpr const char* kRecorder = R"(
class Handler(FTPHandler):
    def pre_process_command(self, line, cmd, arg):
        with open(LOG, 'a') as f:
            f.write(cmd + '\n')
        if cmd in REFUSED:
            self.respond('500 Command "%s" not understood.' % cmd)
            return
        FTPHandler.pre_process_command(self, line, cmd, arg)
)";
  test::ScratchDir scratch_;
  testsupport::PyFtpd server_;
};

// Gets f.bin into memory and checks every byte.
void GetAndCheck(TIdFTP& ftp) {
  rtl::TMemoryStream got;
  ftp.Get("f.bin", got);
  EXPECT_TRUE(got.DataString() == ftptest::Content(100000));
}

// The words of a session after the login (USER, PASS, TYPE, SYST).
Commands AfterLogin(Commands words) {
  const auto syst = std::find(words.begin(), words.end(), "SYST");
  return syst == words.end() ? words : Commands(syst + 1, words.end());
}

TEST(ModernFtp, OverIPv6EveryDataConnectionUsesTheExtendedCommands) {
  TAVO_NEED_IPV6();
  Server server("::1");
  ftptest::StatusLog status;
  TIdFTP ftp;
  ftp.SetOnStatus(status.Handler());
  server.Aim(ftp, afAny);
  ftp.Connect();
  GetAndCheck(ftp);  // passive
  ftp.SetPassive(false);
  GetAndCheck(ftp);  // active
  ftp.SetPassive(true);
  ftp.MachineList();
  ASSERT_EQ(ftp.ListingItems()->Count(), 2) << server.Log();
  for (int i = 0; i < 2; ++i) {
    const TIdFTPListItem& item = ftp.ListingItems()->Items(i);
    EXPECT_EQ(item.Size(), item.Name() == "f.bin" ? 100000 : 12) << item.Name();
    EXPECT_NE(item.ModifiedUTC(), 0);
  }
  TIdFTPListItem info;
  ftp.MachineFileInfo("f.bin", info);
  EXPECT_EQ(info.Size(), 100000);
  ftp.Disconnect();

  EXPECT_EQ(AfterLogin(server.Received()),
            (Commands{"EPSV", "RETR", "EPRT", "RETR", "EPSV", "MLSD", "MLST"}));
  EXPECT_NE(std::find(status.Texts().begin(), status.Texts().end(), "Verbinden mit ::1."),
            status.Texts().end());
}

// EPSV and EPRT where the client asks for them over IPv4; a server that answers 500 is asked
// once and then gets the old command for the rest of the session.
TEST(ModernFtp, ExtendedCommandsOverIPv4FallBackOnceWhenRefused) {
  struct Case {
    const char* refused;
    bool passive;
    Commands expected;
  };
  const Case cases[] = {
      {"", true, {"EPSV", "RETR", "EPSV", "RETR"}},
      {"EPSV", true, {"EPSV", "PASV", "RETR", "PASV", "RETR"}},
      {"", false, {"EPRT", "RETR", "EPRT", "RETR"}},
      {"EPRT", false, {"EPRT", "PORT", "RETR", "PORT", "RETR"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.passive ? "passive" : "active") + ", refusing " + c.refused);
    Server server("127.0.0.1", c.refused);
    TIdFTP ftp;
    server.Aim(ftp);
    ftp.SetPassive(c.passive);
    ftp.SetUseEPSV(true);
    ftp.SetUseEPRT(true);
    ftp.Connect();
    GetAndCheck(ftp);
    GetAndCheck(ftp);
    ftp.Disconnect();
    EXPECT_EQ(AfterLogin(server.Received()), c.expected);
  }
}

TEST(ModernFtp, FeaturesAreAskedOnceAndUtf8IsAskedForOnlyWhereListed) {
  for (const char* refused : {"", "FEAT"}) {
    SCOPED_TRACE(std::string("refusing ") + refused);
    Server server("127.0.0.1", refused);
    TIdFTP ftp;
    server.Aim(ftp);
    ftp.SetUseUTF8(true);
    ftp.Connect();
    const bool listed = std::string(refused).empty();
    EXPECT_EQ(ftp.SupportsFeature("UTF8"), listed);
    EXPECT_EQ(ftp.SupportsFeature("MLST"), listed);
    if (listed) {
      EXPECT_EQ(ftp.Features().at("MLST").find("type*"), 0u);
    }
    ftp.MachineList();
    std::vector<std::string> names;
    for (int i = 0; i < ftp.ListingItems()->Count(); ++i)
      names.push_back(ftp.ListingItems()->Items(i).Name());
    EXPECT_NE(std::find(names.begin(), names.end(), "Grüße.txt"), names.end());
    ftp.Disconnect();
    const Commands expected = listed ? Commands{"FEAT", "OPTS", "PASV", "MLSD"}
                                     : Commands{"FEAT", "PASV", "MLSD"};
    EXPECT_EQ(AfterLogin(server.Received()), expected);
  }
}

// The launcher sets none of the new properties: its server sees what it always has.
TEST(ModernFtp, TheDefaultsKeepTheLaunchersSequence) {
  Server server;
  ftptest::StatusLog status;
  TIdFTP ftp;
  ftp.SetOnStatus(status.Handler());
  server.Aim(ftp);
  ftp.Connect(true, -1);
  GetAndCheck(ftp);
  GetAndCheck(ftp);
  ftp.Disconnect();
  EXPECT_EQ(server.Received(),
            (Commands{"USER", "PASS", "TYPE", "SYST", "PASV", "RETR", "PASV", "RETR"}));
  EXPECT_EQ(status.Texts().at(0), "Verbinden mit 127.0.0.1.");
}

TEST(ModernFtp, VsftpdOnIPv6GivesTheFileThroughEpsv) {
  TAVO_NEED_IPV6();
  if (!testsupport::VsFtpd::CanRun()) GTEST_SKIP() << "vsftpd needs root here";
  testsupport::VsFtpdOptions options;
  options.ipv6 = true;
  testsupport::VsFtpd server(options);
  ftptest::WriteFiles(server.Root(), {{"f.bin", 100000}});
  TIdFTP ftp;
  ftptest::AimAtServer(ftp, "::1", server.Port(), "anonymous", "", 15000);
  ftp.SetAddressFamily(afIPv6);
  ftp.Connect();
  GetAndCheck(ftp);
  ftp.Disconnect();
  EXPECT_NE(server.Log().find("EPSV"), std::string::npos) << server.Log();
}

// Through a SOCKS 5 proxy the client may not know the server's family: the target goes to
// the proxy as its sixteen bytes, and EPSV, which names a port only, finds the data.
TEST(ModernFtp, Socks5CarriesAnIPv6TargetToTheProxy) {
  TAVO_NEED_IPV6();
  testsupport::DanteOptions proxy_options;
  proxy_options.ipv6_external = true;
  if (const std::string why = testsupport::Dante::Unavailable(proxy_options); !why.empty())
    GTEST_SKIP() << why;
  testsupport::Dante proxy(proxy_options);
  Server server("::1");
  TIdFTP ftp;
  auto* handler = new TIdIOHandlerSocket(&ftp);  // owned by ftp
  handler->SocksInfo()->SetVersion(svSocks5);
  handler->SocksInfo()->SetHost("127.0.0.1");
  handler->SocksInfo()->SetPort(proxy.Port());
  ftp.SetIOHandler(handler);
  server.Aim(ftp);
  ftp.SetHost("::1");
  ftp.SetUseEPSV(true);
  ftp.Connect();
  GetAndCheck(ftp);
  ftp.Disconnect();
  EXPECT_NE(proxy.Log().find("::1"), std::string::npos) << proxy.Log();
}

}  // namespace
}  // namespace tavo::net
