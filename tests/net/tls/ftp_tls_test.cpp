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

using ftptest::Content;

const std::vector<std::pair<std::string, size_t>> kFiles = {
    {"empty.bin", 0}, {"one.bin", 1}, {"64k.bin", 64 * 1024}, {"3m.bin", 3 * 1024 * 1024}};

void WriteFiles(const std::string& root) { ftptest::WriteFiles(root, kFiles); }

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

}  // namespace
}  // namespace tavo::net
