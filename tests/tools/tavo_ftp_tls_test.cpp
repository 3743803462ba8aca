// tavo-ftp with --tls, --cacert and --insecure, run as a user runs it, against pyftpdlib's TLS
// handler with a certificate of the test's own CA, and against a server without TLS.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/pyftpd.h"
#include "tests/support/scratch.h"
#include "tests/support/tls_pki.h"
#include "tests/tools/tavo_ftp_run.h"

namespace tavo::tool {
namespace {

namespace fs = std::filesystem;
using testsupport::ProgramResult;

constexpr const char kPassword[] = "s3cr:t@pw";
constexpr const char kEncodedPassword[] = "s3cr%3At%40pw";
constexpr const char kInsecureWarning[] =
    "tavo-ftp: warning: --insecure: the server's certificate is not checked; anyone on the path "
    "can read and change this session\n";

std::string Payload() {
  std::string s(300000, '\0');
  for (size_t i = 0; i < s.size(); ++i) s[i] = static_cast<char>((i * 40503) >> 5);
  return s;
}

class TavoFtpTls : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    pki_dir_ = new test::ScratchDir();
    pki_ = new testsupport::TestPki(pki_dir_->Path());
    testsupport::PyFtpdOptions options;
    options.user = "tech";
    options.password = kPassword;
    options.tls_cert = pki_->Server().cert;
    options.tls_key = pki_->Server().key;
    tls_server_ = new testsupport::PyFtpd(options);
    options.tls_cert.clear();
    options.tls_key.clear();
    plain_server_ = new testsupport::PyFtpd(options);
    for (const auto* server : {tls_server_, plain_server_}) {
      fs::create_directories(fs::path(server->Root()) / "fw");
      std::ofstream(fs::path(server->Root()) / "fw/u.exe", std::ios::binary) << Payload();
    }
  }
  static void TearDownTestSuite() {
    delete plain_server_;
    delete tls_server_;
    delete pki_;
    delete pki_dir_;
  }
  static std::string Url(const testsupport::PyFtpd& server, const std::string& path) {
    return "ftp://tech:" + std::string(kEncodedPassword) + "@127.0.0.1:" +
           std::to_string(server.Port()) + "/" + path;
  }

  static test::ScratchDir* pki_dir_;
  static testsupport::TestPki* pki_;
  static testsupport::PyFtpd* tls_server_;
  static testsupport::PyFtpd* plain_server_;
  test::ScratchDir dir;
};
test::ScratchDir* TavoFtpTls::pki_dir_ = nullptr;
testsupport::TestPki* TavoFtpTls::pki_ = nullptr;
testsupport::PyFtpd* TavoFtpTls::tls_server_ = nullptr;
testsupport::PyFtpd* TavoFtpTls::plain_server_ = nullptr;

// Each row: the arguments (DEST is a file in the scratch folder), the exit code, and what
// standard error must be (exactly, or contain) and the file hold.
TEST_F(TavoFtpTls, OptionsOutcomesAndMessages) {
  const std::string payload = Payload();
  struct Row {
    const char* name;
    std::function<std::vector<std::string>(const std::string& dest)> args;
    int exit_code;
    std::string err;  // standard error must contain this ("" : must be empty)
    bool file_arrives;
  };
  const std::string ca = pki_->CaFile();
  const std::vector<Row> rows = {
      {"passive with our CA",
       [&](const std::string& d) { return std::vector<std::string>{"get", "-q", "--tls", "--cacert", ca, Url(*tls_server_, "fw/u.exe"), d}; },
       0, "", true},
      {"active with our CA",
       [&](const std::string& d) { return std::vector<std::string>{"get", "-q", "--tls", "--active", "--cacert", ca, Url(*tls_server_, "fw/u.exe"), d}; },
       0, "", true},
      {"the system's store does not know our CA",
       [&](const std::string& d) { return std::vector<std::string>{"get", "--tls", Url(*tls_server_, "fw/u.exe"), d}; },
       1,
       ": The server's certificate was rejected: unable to get local issuer certificate\n",
       false},
      {"no check, with a warning even when quiet",
       [&](const std::string& d) { return std::vector<std::string>{"get", "-q", "--tls", "--insecure", Url(*tls_server_, "fw/u.exe"), d}; },
       0, kInsecureWarning, true},
      {"a server without TLS is left before the login",
       [&](const std::string& d) { return std::vector<std::string>{"get", "--tls", "--cacert", ca, Url(*plain_server_, "fw/u.exe"), d}; },
       1,
       ": The server refuses TLS (AUTH TLS: 500 Command \"AUTH\" not understood.); no login is "
       "sent without TLS.\n",
       false},
      {"a TLS server without --tls refuses the plain login",
       [&](const std::string& d) { return std::vector<std::string>{"get", Url(*tls_server_, "fw/u.exe"), d}; },
       4, "failed: 550 SSL/TLS required on the control channel.", false},
      {"--cacert without --tls",
       [&](const std::string& d) { return std::vector<std::string>{"get", "--cacert", ca, Url(*tls_server_, "fw/u.exe"), d}; },
       2, "tavo-ftp: --cacert and --insecure belong to --tls\n", false},
      {"--insecure without --tls",
       [&](const std::string& d) { return std::vector<std::string>{"get", "--insecure", Url(*tls_server_, "fw/u.exe"), d}; },
       2, "tavo-ftp: --cacert and --insecure belong to --tls\n", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string dest = dir / (std::string("out-") + std::to_string(&row - rows.data()));
    const ProgramResult r = TavoFtp(row.args(dest));
    EXPECT_EQ(r.exit_code, row.exit_code) << r.err;
    if (row.err.empty()) {
      EXPECT_EQ(r.err, "");
    } else {
      EXPECT_NE(r.err.find(row.err), std::string::npos) << r.err;
    }
    EXPECT_EQ(r.err.find(kPassword), std::string::npos) << "the password must never show";
    EXPECT_EQ(fs::exists(dest), row.file_arrives);
    if (row.file_arrives) {
      EXPECT_TRUE(test::ReadFile(dest) == payload) << "content differs";
    }
  }
  // The refused sessions never carried the password to the server without TLS.
  const std::string log = plain_server_->Log();
  EXPECT_NE(log.find("<- AUTH TLS"), std::string::npos) << log;
  EXPECT_EQ(log.find("<- PASS"), std::string::npos) << log;
}

TEST_F(TavoFtpTls, ListingOverTls) {
  const ProgramResult r =
      TavoFtp({"ls", "--tls", "--cacert", pki_->CaFile(), Url(*tls_server_, "fw/")});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.out.find(" 300000 "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("u.exe"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace tavo::tool
