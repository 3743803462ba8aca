// The FTP client with TLS required, against real servers started by the test (pyftpdlib's TLS
// handler, vsftpd with ssl_enable) and a scripted peer: downloads byte-identical over TLS on
// both connections, certificates refused with clear errors, and servers that refuse TLS left
// before the password is sent.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "net/ftp/ftp.h"
#include "net/tls/tls.h"
#include "tests/net/ftp/ftp_test_util.h"
#include "tests/support/expect_throw.h"
#include "tests/support/pyftpd.h"
#include "tests/support/scratch.h"
#include "tests/support/scripted_peer.h"
#include "tests/support/tls_pki.h"
#include "tests/support/vsftpd.h"

namespace tavo::net {
namespace {

namespace fs = std::filesystem;

// Literal copies of the texts in resources/tls_texts.h.
constexpr const char kRefusedPrefix[] = "Der Server lehnt TLS ab (AUTH TLS: ";
constexpr const char kRefusedSuffix[] = "); ohne TLS werden keine Anmeldedaten gesendet.";
constexpr const char kCertificateRejected[] = "Das Zertifikat des Servers wurde abgelehnt: ";
constexpr const char kPlaintextAfterAuth[] =
    "Der Server hat nach AUTH TLS unverschlüsselte Daten gesendet; die Verbindung wird abgebrochen.";
constexpr const char kCaFileFailed[] = "Die CA-Datei \"";
constexpr const char kHandlerUnsuitable[] =
    "Der I/O-Handler der Verbindung kann kein TLS (TIdIOHandlerTLS erforderlich).";
constexpr const char kNotNegotiated[] =
    "TLS ist verlangt, aber die Steuerverbindung ist nicht verschlüsselt.";

using ftptest::Content;

const std::vector<std::pair<std::string, size_t>> kFiles = {
    {"empty.bin", 0}, {"one.bin", 1}, {"64k.bin", 64 * 1024}, {"3m.bin", 3 * 1024 * 1024}};

void WriteFiles(const std::string& root) { ftptest::WriteFiles(root, kFiles); }

// Whether a server's log shows that it received the command: pyftpdlib logs "<- USER x",
// vsftpd 'FTP command: Client "127.0.0.1", "USER x"'.
bool Received(const std::string& log, const std::string& command) {
  return log.find("<- " + command) != std::string::npos ||
         log.find(", \"" + command) != std::string::npos;
}

// The PKI of the whole suite, made once in a folder that vsftpd's unprivileged session
// processes can enter.
class FtpOverTls : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new test::ScratchDir();
    fs::permissions(dir_->Path(), fs::perms::owner_all | fs::perms::group_read |
                                      fs::perms::group_exec | fs::perms::others_read |
                                      fs::perms::others_exec);
    pki_ = new testsupport::TestPki(dir_->Path());
  }
  static void TearDownTestSuite() {
    delete pki_;
    delete dir_;
  }

  static testsupport::PyFtpdOptions TlsPyFtpd(const testsupport::CertAndKey& cert) {
    testsupport::PyFtpdOptions o;
    o.tls_cert = cert.cert;
    o.tls_key = cert.key;
    return o;
  }
  static std::string TlsVsFtpdConfig(const testsupport::CertAndKey& cert) {
    return "ssl_enable=YES\nallow_anon_ssl=YES\nforce_anon_logins_ssl=YES\n"
           "force_anon_data_ssl=YES\nrequire_ssl_reuse=YES\nssl_ciphers=HIGH\n"
           "rsa_cert_file=" + cert.cert + "\nrsa_private_key_file=" + cert.key + "\n";
  }

  // A started server with its account, and its log (complete once stopped); no server when it
  // cannot run here (vsftpd needs root rights).
  struct Started {
    std::shared_ptr<testsupport::ServerProcess> server;
    std::function<std::string()> log;
    std::string user;
    std::string password;
  };
  // pyftpdlib, with TLS when a certificate is given.
  static Started StartPyFtpd(const testsupport::CertAndKey* cert) {
    auto py = std::make_shared<testsupport::PyFtpd>(cert != nullptr ? TlsPyFtpd(*cert)
                                                                    : testsupport::PyFtpdOptions{});
    return Started{py, [py] { return py->Log(); }, py->Options().user, py->Options().password};
  }
  // vsftpd (anonymous), with TLS when a certificate is given.
  static Started StartVsFtpd(const testsupport::CertAndKey* cert) {
    if (!testsupport::VsFtpd::CanRun()) return Started{};
    testsupport::VsFtpdOptions options;
    if (cert != nullptr) options.extra_config = TlsVsFtpdConfig(*cert);
    auto vs = std::make_shared<testsupport::VsFtpd>(options);
    return Started{vs, [vs] { return vs->Log(); }, "anonymous", ""};
  }

  // The session ended after AUTH TLS: the server (stopped here, so its log is complete) never
  // received USER or PASS.
  static void ExpectLeftBeforeLogin(TIdFTP& ftp, const Started& started) {
    EXPECT_FALSE(ftp.Connected());
    started.server->Stop();
    const std::string log = started.log();
    EXPECT_TRUE(Received(log, "AUTH TLS")) << log;
    EXPECT_FALSE(Received(log, "USER")) << log;
    EXPECT_FALSE(Received(log, "PASS")) << log;
  }

  static TIdFTP& Aim(TIdFTP& ftp, const std::string& host, int port, const std::string& user,
                     const std::string& password) {
    ftp.SetHost(host);
    ftp.SetPort(port);
    ftp.SetUsername(user);
    ftp.SetPassword(password);
    ftp.SetReadTimeout(20000);
    ftp.SetUseTLS(utRequireTLS);
    ftp.TLSSettings().SetCAFile(pki_->CaFile());
    return ftp;
  }

  static test::ScratchDir* dir_;
  static testsupport::TestPki* pki_;
};
test::ScratchDir* FtpOverTls::dir_ = nullptr;
testsupport::TestPki* FtpOverTls::pki_ = nullptr;

// Fetches every file in passive and active mode over one TLS session and compares each; every
// data connection must have resumed the control connection's TLS session.
void FetchAllOverTls(TIdFTP& ftp, const std::string& log) {
  ftp.Connect();
  auto* control = dynamic_cast<TIdIOHandlerTLS*>(ftp.IOHandler());
  ASSERT_NE(control, nullptr);
  EXPECT_TRUE(control->TLSActive());
  test::ScratchDir dest;
  int data_connections = 0;
  int resumed = 0;
  ftp.SetOnWorkBegin([&](rtl::TComponent* sender, TWorkMode, int32_t) {
    // The work events of the data phase come from the data connection.
    auto* data = dynamic_cast<TIdTCPConnection*>(sender);
    auto* handler = data != nullptr ? dynamic_cast<TIdIOHandlerTLS*>(data->IOHandler()) : nullptr;
    if (handler == nullptr || !handler->TLSActive()) return;
    ++data_connections;
    if (handler->SessionReused()) ++resumed;
  });
  for (const bool passive : {true, false}) {
    ftp.SetPassive(passive);
    for (const auto& [name, size] : kFiles) {
      SCOPED_TRACE(name + (passive ? " passive" : " active"));
      ftp.Get(name, dest / name, true, false);
      EXPECT_EQ(fs::file_size(dest / name), size) << log;
      EXPECT_TRUE(test::ReadFile(dest / name) == Content(size)) << "content differs";
    }
  }
  EXPECT_EQ(data_connections, 2 * static_cast<int>(kFiles.size())) << "every transfer in TLS";
  EXPECT_EQ(resumed, data_connections) << "every data connection resumed the session";
  EXPECT_TRUE(ftp.Connected());
  ftp.Disconnect();
  // A new session after a disconnect starts TLS anew on a handler of its own.
  ftp.Connect();
  auto* again = dynamic_cast<TIdIOHandlerTLS*>(ftp.IOHandler());
  ASSERT_NE(again, nullptr);
  EXPECT_TRUE(again->TLSActive());
  ftp.Disconnect();
}

TEST_F(FtpOverTls, PyftpdPassiveAndActiveArriveByteIdentical) {
  testsupport::PyFtpd server(TlsPyFtpd(pki_->Server()));
  WriteFiles(server.Root());
  TIdFTP ftp;
  Aim(ftp, server.Host(), server.Port(), server.Options().user, server.Options().password);
  FetchAllOverTls(ftp, server.Log());
  const std::string log = server.Log();
  for (const char* command : {"AUTH TLS", "PBSZ 0", "PROT P", "PASV", "PORT 127,0,0,1,"})
    EXPECT_NE(log.find(command), std::string::npos) << command << "\n" << log;
}

TEST_F(FtpOverTls, VsftpdWithRequiredSessionReusePassiveAndActive) {
  if (!testsupport::VsFtpd::CanRun()) GTEST_SKIP() << "vsftpd needs root rights and the package";
  testsupport::VsFtpdOptions options;
  options.extra_config = TlsVsFtpdConfig(pki_->Server());
  testsupport::VsFtpd server(options);
  WriteFiles(server.Root());
  TIdFTP ftp;
  Aim(ftp, server.Host(), server.Port(), "anonymous", "");
  FetchAllOverTls(ftp, server.Log());
  const std::string log = server.Log();
  EXPECT_NE(log.find("\"AUTH TLS\""), std::string::npos) << log;
  EXPECT_NE(log.find("\"PROT P\""), std::string::npos) << log;
}

// The certificate check: each row serves one certificate and sets up the client's trust; a
// refused certificate ends Connect before USER, with the reason in the message.
TEST_F(FtpOverTls, CertificatesAreCheckedAgainstTheTrustAndTheHost) {
  struct Row {
    const char* name;
    const testsupport::CertAndKey& served;
    std::string ca_file;  // empty: the system's trust store
    bool insecure;
    std::string host;
    std::string reason;  // empty: the session must work
  };
  const std::vector<Row> rows = {
      {"our CA, our address", pki_->Server(), pki_->CaFile(), false, "127.0.0.1", ""},
      {"our CA, by name", pki_->Server(), pki_->CaFile(), false, "localhost", ""},
      {"a CA that signed nothing", pki_->Server(), pki_->OtherCaFile(), false, "127.0.0.1",
       "unable to get local issuer certificate"},
      {"the system's store does not know our CA", pki_->Server(), "", false, "127.0.0.1",
       "unable to get local issuer certificate"},
      {"expired", pki_->Expired(), pki_->CaFile(), false, "127.0.0.1", "certificate has expired"},
      {"issued for another name, reached by address", pki_->OtherName(), pki_->CaFile(), false,
       "127.0.0.1", "IP address mismatch"},
      {"issued for another name, reached by name", pki_->OtherName(), pki_->CaFile(), false,
       "localhost", "hostname mismatch"},
      {"no check at all, on request", pki_->OtherName(), pki_->OtherCaFile(), true, "127.0.0.1", ""},
  };
  for (const Row& row : rows) {
    for (const auto& start : {StartPyFtpd, StartVsFtpd}) {
      const Started started = start(&row.served);
      if (!started.server) continue;
      SCOPED_TRACE(std::string(row.name) + " / " + started.user);
      TIdFTP ftp;
      Aim(ftp, row.host, started.server->Port(), started.user, started.password);
      ftp.TLSSettings().SetCAFile(row.ca_file);
      ftp.TLSSettings().SetInsecureSkipCertificateCheck(row.insecure);
      if (row.reason.empty()) {
        ftp.Connect();
        EXPECT_TRUE(ftp.Connected());
        ftp.Disconnect();
        continue;
      }
      EXPECT_EQ(testsupport::ThrownMessage<EIdTLSCertificateError>([&] { ftp.Connect(); }),
                kCertificateRejected + row.reason);
      ExpectLeftBeforeLogin(ftp, started);
    }
  }
}

// Servers that cannot or will not protect the session: the client leaves before USER, so the
// password never leaves the machine (the servers log every command they receive).
TEST_F(FtpOverTls, ServersWithoutTlsAreLeftBeforeTheLogin) {
  const std::vector<std::pair<std::function<Started()>, int16_t>> servers = {
      {[] { return StartPyFtpd(nullptr); }, 500}, {[] { return StartVsFtpd(nullptr); }, 530}};
  for (const auto& [start, code] : servers) {
    const Started started = start();
    if (!started.server) continue;  // vsftpd needs root rights
    SCOPED_TRACE(started.user);
    TIdFTP ftp;
    Aim(ftp, started.server->Host(), started.server->Port(), started.user, "secret");
    testsupport::ExpectThrowWith<EIdFTPTLSRefused>(
        [&] { ftp.Connect(); },
        [&](const auto& e) {
          EXPECT_EQ(e.ReplyCode(), code);
          const std::string message = e.what();
          EXPECT_EQ(message.rfind(kRefusedPrefix + std::to_string(code), 0), 0u) << message;
          EXPECT_EQ(message.substr(message.size() - std::string(kRefusedSuffix).size()),
                    kRefusedSuffix);
        });
    ExpectLeftBeforeLogin(ftp, started);
  }
}

// Byte-exact refusals: what the scripted server answers, what the client must raise, and all
// the client may have sent.
TEST_F(FtpOverTls, RefusalsBeforeAnyCredentialIsSent) {
  struct Row {
    const char* name;
    std::function<void(testsupport::ScriptedPeer&)> script;
    std::function<void(TIdFTP&)> act;
    std::string message;
    std::string sent;
  };
  const auto connect = [](TIdFTP& ftp) { ftp.Connect(); };
  const std::vector<Row> rows = {
      {"AUTH TLS answered with 502",
       [](testsupport::ScriptedPeer& p) {
         p.Send("220 ready\r\n").ExpectLine("AUTH TLS").Send("502 not here\r\n");
       },
       connect, std::string(kRefusedPrefix) + "502 not here" + kRefusedSuffix, "AUTH TLS\r\n"},
      {"plain text pushed in behind the 234",
       [](testsupport::ScriptedPeer& p) {
         p.Send("220 ready\r\n").ExpectLine("AUTH TLS").Send("234 go ahead\r\n230 logged in\r\n");
       },
       connect, kPlaintextAfterAuth, "AUTH TLS\r\n"},
      {"a CA file that does not exist",
       [](testsupport::ScriptedPeer&) {},
       [&](TIdFTP& ftp) {
         ftp.TLSSettings().SetCAFile(dir_->Path() + "/missing.pem");
         ftp.Connect();
       },
       std::string(kCaFileFailed) + dir_->Path() + "/missing.pem\" kann nicht gelesen werden: "
           "No such file or directory",
       ""},
      {"TLS required after a plain connect",
       [](testsupport::ScriptedPeer& p) { p.Send("220 ready\r\n"); },
       [](TIdFTP& ftp) {
         ftp.SetUseTLS(utNoTLS);
         ftp.Connect(false);
         ftp.SetUseTLS(utRequireTLS);
         ftp.Login();
       },
       kNotNegotiated, ""},
      {"a handler set by the caller that cannot carry TLS",
       [](testsupport::ScriptedPeer&) {},
       [](TIdFTP& ftp) {
         ftp.SetIOHandler(new TIdIOHandlerSocket(&ftp));  // owned by the client
         ftp.Connect();
       },
       kHandlerUnsuitable, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    testsupport::ScriptedPeer peer;
    row.script(peer);
    peer.Start();
    TIdFTP ftp;
    ftptest::AimAt(ftp, peer);
    ftptest::SetLogin(ftp);
    ftp.SetUseTLS(utRequireTLS);
    EXPECT_EQ(testsupport::ThrownMessage<EIdException>([&] { row.act(ftp); }), row.message);
    ftp.Disconnect();
    peer.Stop();
    EXPECT_EQ(peer.Received(), row.sent);
  }
}

// A server that takes AUTH TLS but will not protect the data connections: the session ends
// before any data could flow in plain text.
TEST_F(FtpOverTls, AServerThatRefusesProtectedDataEndsTheSession) {
  testsupport::PyFtpdOptions options = TlsPyFtpd(pki_->Server());
  options.handler_code =
      "class Handler(FTPHandler):\n"
      "    def ftp_PROT(self, line):\n"
      "        self.respond('536 Requested PROT level not supported.')\n";
  testsupport::PyFtpd server(options);
  TIdFTP ftp;
  Aim(ftp, server.Host(), server.Port(), server.Options().user, server.Options().password);
  testsupport::ExpectThrowWith<EIdProtocolReplyError>(
      [&] { ftp.Connect(); }, [](const auto& e) { EXPECT_EQ(e.ReplyCode(), 536); });
  EXPECT_FALSE(ftp.Connected());
}

}  // namespace
}  // namespace tavo::net
