// FTP sessions through real SOCKS proxies: dante (SOCKS 4, 5, and 5 with a system account's
// name and password) and twisted's SOCKS 4A server, each in front of pyftpdlib, each with a
// complete download. The proof that a session went through the proxy is in the logs: the
// proxy logs our client port and the port of its own onward connection, and the FTP server
// logs that port, not ours; the proxy also logs the passive data connection it carried.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

#include "net/ftp/ftp.h"
#include "net/tcp/socks_info.h"
#include "net/stack/exceptions.h"
#include "net/stack/socket_handle.h"
#include "net/tcp/iohandler.h"
#include "rtl/streams.h"
#include "tests/support/pyftpd.h"
#include "tests/support/socks_proxies.h"

namespace tavo::net {
namespace {

using testsupport::Dante;
using testsupport::DanteOptions;
using testsupport::PyFtpd;
using testsupport::Socks4Server;
using testsupport::ThrowAwaySystemUser;

const std::string kData = std::string(100000, 'd') + "end";

struct Proxy {
  TSocksVersion version = svNoSocks;
  int port = 0;
  TSocksAuthentication authentication = saNoAuthentication;
  std::string username{};
  std::string password{};
};

// An FTP client whose connection goes through the proxy at 127.0.0.1.
class FtpThroughProxy {
 public:
  FtpThroughProxy(const PyFtpd& server, const std::string& target_host, const Proxy& proxy) {
    handler_ = new TIdIOHandlerSocket(&ftp_);
    TIdSocksInfo* socks = handler_->SocksInfo();
    socks->SetVersion(proxy.version);
    socks->SetHost("127.0.0.1");
    socks->SetPort(proxy.port);
    socks->SetAuthentication(proxy.authentication);
    socks->SetUsername(proxy.username);
    socks->SetPassword(proxy.password);
    ftp_.SetIOHandler(handler_);
    ftp_.SetHost(target_host);
    ftp_.SetPort(server.Port());
    ftp_.SetUsername(server.Options().user);
    ftp_.SetPassword(server.Options().password);
    ftp_.SetPassive(true);
    ftp_.SetReadTimeout(15000);
  }

  // Logs in, changes into "Software", fetches a file there (passive: the data connection
  // takes the control connection's proxy settings) and refuses active mode; returns our end's
  // port.
  int Session() {
    ftp_.Connect();
    EXPECT_EQ(ftp_.LoginReply().NumericCode(), 230);
    const int proxy_port = handler_->SocketHandle()->PeerPort();
    const int local_port = handler_->SocketHandle()->Port();
    ftp_.ChangeDir("Software");
    EXPECT_EQ(ftp_.LastReply().NumericCode(), 250);
    EXPECT_EQ(ftp_.SendRawCommand("PWD"), 257);
    EXPECT_NE(ftp_.LastReply().Text()[0].find("\"/Software\""), std::string::npos);
    rtl::TMemoryStream data;
    ftp_.Get("data.bin", data);
    EXPECT_EQ(data.DataString(), kData);
    ftp_.SetPassive(false);
    EXPECT_THROW(ftp_.Get("data.bin", data), EIdFTPDataConnectionError);
    ftp_.SetPassive(true);
    ftp_.Disconnect();
    EXPECT_EQ(proxy_port, handler_->SocksInfo()->Port()) << "not connected to the proxy";
    return local_port;
  }

  TIdFTP& Ftp() { return ftp_; }

 private:
  TIdFTP ftp_;
  TIdIOHandlerSocket* handler_;
};

std::unique_ptr<PyFtpd> FtpServer() {
  auto server = std::make_unique<PyFtpd>();
  const auto folder = std::filesystem::path(server->Root()) / "Software";
  std::filesystem::create_directories(folder);
  std::ofstream(folder / "data.bin", std::ios::binary) << kData;
  return server;
}

// The proxy carried a connection to the FTP server at a port other than the control port:
// the passive data connection. `pattern` has the target port as its one group.
void ExpectDataConnectionThroughProxy(const std::string& proxy_log, const std::string& pattern,
                                      const PyFtpd& server) {
  const std::regex re(pattern);
  int data_connections = 0;
  for (auto it = std::sregex_iterator(proxy_log.begin(), proxy_log.end(), re);
       it != std::sregex_iterator(); ++it)
    data_connections += (*it)[1].str() != std::to_string(server.Port());
  EXPECT_GE(data_connections, 1) << "no data connection through the proxy:\n" << proxy_log;
}

// The port the proxy's onward connection came from, found with `pattern` (one group) in the
// proxy's log; the FTP server must have served that port, and never ours.
void ExpectServedThroughProxy(const std::string& proxy_log, const std::string& pattern,
                              const PyFtpd& server, int local_port) {
  std::smatch m;
  ASSERT_TRUE(std::regex_search(proxy_log, m, std::regex(pattern)))
      << "no onward connection /" << pattern << "/ in the proxy's log:\n"
      << proxy_log;
  const std::string log = server.Log();
  EXPECT_NE(log.find("127.0.0.1:" + m[1].str() + "-[" + server.Options().user + "] USER"),
            std::string::npos)
      << "the FTP server did not serve the proxy's port " << m[1] << ":\n"
      << log;
  EXPECT_EQ(log.find("127.0.0.1:" + std::to_string(local_port) + "-"), std::string::npos)
      << "the FTP server saw our own port " << local_port << ":\n"
      << log;
}

// Dante's onward connections, with the target's port as the group.
const char kDanteTargetPort[] = "tcp/connect \\[: \\S+ \\S+ -> \\S+ 127\\.0\\.0\\.1\\.(\\d+)\\b";

// Dante logs "tcp/connect [: <client> <proxy> -> <its own end> <target>", a.b.c.d.port each;
// a client that logged in is "<method>%<user>@<client>".
std::string DanteOnward(int local_port, const Dante& dante, const PyFtpd& server) {
  return "tcp/connect \\[: (?:\\S+@)?127\\.0\\.0\\.1\\." + std::to_string(local_port) +
         " 127\\.0\\.0\\.1\\." + std::to_string(dante.Port()) + " -> 127\\.0\\.0\\.1\\.(\\d+) " +
         "127\\.0\\.0\\.1\\." + std::to_string(server.Port()) + "\\b";
}

TEST(SocksProxy, FtpSessionThroughDanteWithSocks4AndSocks5) {
  if (const std::string why = Dante::Unavailable(); !why.empty()) GTEST_SKIP() << why;
  Dante dante;
  auto server = FtpServer();
  // SOCKS 4 resolves "localhost" here; SOCKS 5 leaves even a dotted address to the proxy.
  for (const auto& [version, target] :
       {std::pair{svSocks4, "localhost"}, std::pair{svSocks5, "127.0.0.1"},
        std::pair{svSocks5, "localhost"}}) {
    SCOPED_TRACE(std::string("version ") + std::to_string(version) + " to " + target);
    FtpThroughProxy client(*server, target, {version, dante.Port()});
    const int local_port = client.Session();
    ExpectServedThroughProxy(dante.Log(), DanteOnward(local_port, dante, *server), *server,
                             local_port);
  }
  ExpectDataConnectionThroughProxy(dante.Log(), kDanteTargetPort, *server);
}

TEST(SocksProxy, FtpSessionThroughDanteWithASystemAccountsNameAndPassword) {
  const DanteOptions options{.username_method = true};
  if (const std::string why = Dante::Unavailable(options); !why.empty()) GTEST_SKIP() << why;
  if (const std::string why = ThrowAwaySystemUser::Unavailable(); !why.empty()) GTEST_SKIP() << why;
  ThrowAwaySystemUser account;
  Dante dante(options);
  auto server = FtpServer();

  FtpThroughProxy client(
      *server, "localhost",
      {svSocks5, dante.Port(), saUsernamePassword, account.Name(), account.Password()});
  const int local_port = client.Session();
  ExpectServedThroughProxy(dante.Log(), DanteOnward(local_port, dante, *server), *server,
                           local_port);
  EXPECT_NE(dante.Log().find("username%" + account.Name() + "@127.0.0.1." +
                             std::to_string(local_port) + " "),
            std::string::npos)
      << dante.Log();
  ExpectDataConnectionThroughProxy(dante.Log(), kDanteTargetPort, *server);

  // The same proxy refuses a wrong password, and a client that offers no authentication.
  FtpThroughProxy wrong(*server, "localhost",
                        {svSocks5, dante.Port(), saUsernamePassword, account.Name(), "wrong"});
  EXPECT_THROW(wrong.Ftp().Connect(), EIdSocksAuthError);
  FtpThroughProxy anonymous(*server, "localhost", {svSocks5, dante.Port()});
  EXPECT_THROW(anonymous.Ftp().Connect(), EIdSocksAuthMethodError);
  // SOCKS 4 has no passwords; this dante admits nobody without one.
  FtpThroughProxy socks4(*server, "localhost", {svSocks4, dante.Port()});
  EXPECT_THROW(socks4.Ftp().Connect(), EIdSocksRequestFailed);
}

TEST(SocksProxy, FtpSessionThroughTwistedWithSocks4AByANameOnlyTheProxyKnows) {
  if (const std::string why = Socks4Server::Unavailable(); !why.empty()) GTEST_SKIP() << why;
  // The resolver refuses a 64-character label without asking anyone, so only the proxy's own
  // table can turn this name into an address.
  const std::string name = std::string(64, 'f') + ".invalid";
  Socks4Server proxy({.aliases = {{name, "127.0.0.1"}}});
  auto server = FtpServer();

  FtpThroughProxy client(*server, name, {svSocks4A, proxy.Port(), saNoAuthentication, "tavo"});
  const int local_port = client.Session();
  const std::string log = proxy.Log();
  EXPECT_NE(log.find("resolve " + name + "\n"), std::string::npos) << log;
  EXPECT_NE(log.find("-> 127.0.0.1:" + std::to_string(server->Port()) + " user tavo\n"),
            std::string::npos)
      << log;
  ExpectServedThroughProxy(log,
                           "connected 127\\.0\\.0\\.1:" + std::to_string(local_port) +
                               " via (\\d+) -> 127\\.0\\.0\\.1:" + std::to_string(server->Port()) +
                               "\n",
                           *server, local_port);
  ExpectDataConnectionThroughProxy(log, "connected \\S+ via \\d+ -> 127\\.0\\.0\\.1:(\\d+)\n",
                                   *server);
}

// An FTP proxy reached through a SOCKS proxy: the data connection asks the SOCKS proxy for
// the host the control connection asked for (the FTP proxy, which serves the data too), never
// for the real server's name, which only the FTP proxy would know.
TEST(SocksProxy, DataConnectionGoesToTheFtpProxyTheControlConnectionReached) {
  if (const std::string why = Socks4Server::Unavailable(); !why.empty()) GTEST_SKIP() << why;
  const std::string ftp_proxy = std::string(64, 'p') + ".invalid";
  const std::string real_server = std::string(64, 's') + ".invalid";
  Socks4Server socks({.aliases = {{ftp_proxy, "127.0.0.1"}}});
  auto server = FtpServer();  // in the FTP proxy's place: it logs the user in and serves
  FtpThroughProxy client(*server, real_server, {svSocks4A, socks.Port(), saNoAuthentication, "tavo"});
  client.Ftp().ProxySettings().SetProxyType(fpcmTransparent);
  client.Ftp().ProxySettings().SetHost(ftp_proxy);
  client.Ftp().ProxySettings().SetPort(server->Port());
  client.Session();
  const std::string log = socks.Log();
  EXPECT_EQ(log.find(real_server), std::string::npos) << log;
  ExpectDataConnectionThroughProxy(log, "connected \\S+ via \\d+ -> 127\\.0\\.0\\.1:(\\d+)\n",
                                   *server);
}

}  // namespace
}  // namespace tavo::net
