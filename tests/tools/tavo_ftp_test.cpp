// tavo-ftp run as a user runs it: against pyftpdlib started by the test (and the scripted peer
// for a server that aborts), with its exit code, both outputs and the files it leaves.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <regex>
#include <sstream>
#include <algorithm>
#include <string>
#include <vector>

#include "tests/net/ftp/ftp_test_util.h"
#include "tests/support/child_process.h"
#include "tests/support/pyftpd.h"
#include "tests/support/scratch.h"
#include "tests/support/scripted_peer.h"
#include "tests/support/socks_proxies.h"

namespace tavo::tool {
namespace {

namespace fs = std::filesystem;
using testsupport::ProgramResult;

constexpr const char kPassword[] = "s3cr:t@pw";  // written %-encoded in URLs
constexpr const char kEncodedPassword[] = "s3cr%3At%40pw";

ProgramResult TavoFtp(std::vector<std::string> args) {
  args.insert(args.begin(), TAVO_FTP_PROGRAM);
#ifdef _WIN32
  // A Windows console program ends its text lines with CR LF; the checks read LF. A file
  // written to standard output ("-") is bytes, kept as they are.
  const bool bytes_out = std::find(args.begin(), args.end(), "-") != args.end();
  ProgramResult r = testsupport::RunProgram(std::move(args), std::chrono::seconds(60));
  const auto lf = [](std::string& text) {
    for (size_t at; (at = text.find("\r\n")) != std::string::npos;) text.erase(at, 1);
  };
  lf(r.err);
  if (!bytes_out) lf(r.out);
  return r;
#else
  return testsupport::RunProgram(std::move(args), std::chrono::seconds(60));
#endif
}

std::string Payload() {
  std::string s(200000, '\0');
  for (size_t i = 0; i < s.size(); ++i) s[i] = static_cast<char>((i * 7919) >> 3);
  return s;
}

class TavoFtpCommand : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    testsupport::PyFtpdOptions options;
    options.user = "tech";
    options.password = kPassword;
    server_ = new testsupport::PyFtpd(options);
    fs::create_directories(fs::path(server_->Root()) / "Software" / "111_85_272");
    std::ofstream(fs::path(server_->Root()) / "Software/111_85_272/u.exe", std::ios::binary)
        << Payload();
    const fs::path list = fs::path(server_->Root()) / "list";
    fs::create_directories(list / "a folder");
    std::ofstream(list / "file.txt", std::ios::binary) << "12345";
    std::ofstream(list / "two  blanks.txt", std::ios::binary) << "xy";
    testsupport::MakeServerSymlink("file.txt", (list / "link").generic_string());
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }
  static std::string Url(const std::string& path, const std::string& password = kEncodedPassword) {
    return "ftp://tech:" + password + "@127.0.0.1:" + std::to_string(server_->Port()) + "/" + path;
  }

  static testsupport::PyFtpd* server_;
  test::ScratchDir dir;
};
testsupport::PyFtpd* TavoFtpCommand::server_ = nullptr;

// Each row: the arguments (DEST given as a name in the scratch folder, "-" or none), what
// exists beforehand, and what must come out.
TEST_F(TavoFtpCommand, ExitCodesOutputsAndFiles) {
  const std::string payload = Payload();
  struct Row {
    const char* name;
    std::function<std::vector<std::string>(const std::string& dest)> args;
    std::string before;  // content of DEST beforehand ("" : no file)
    int exit_code;
    std::function<void(const ProgramResult&, const std::string& dest)> check;
  };
  const auto file_is = [](std::string expected) {
    return [expected](const ProgramResult&, const std::string& dest) {
      EXPECT_TRUE(test::ReadFile(dest) == expected) << fs::file_size(dest) << " bytes";
    };
  };
  const auto err_has = [](std::string part) {
    return [part](const ProgramResult& r, const std::string&) {
      EXPECT_NE(r.err.find(part), std::string::npos) << r.err;
    };
  };
  const std::vector<Row> rows = {
      {"plain get, quiet on a pipe",
       [](const std::string& d) { return std::vector<std::string>{"get", Url("Software/111_85_272/u.exe"), d}; },
       "", 0,
       [&](const ProgramResult& r, const std::string& d) {
         EXPECT_TRUE(test::ReadFile(d) == payload);
         EXPECT_EQ(r.err, "") << "no progress line when standard error is no terminal";
       }},
      {"standard output",
       [](const std::string&) { return std::vector<std::string>{"get", Url("Software/111_85_272/u.exe"), "-"}; },
       "", 0,
       [&](const ProgramResult& r, const std::string&) { EXPECT_TRUE(r.out == payload); }},
      {"active mode replaces an old file",
       [](const std::string& d) { return std::vector<std::string>{"get", "--active", Url("Software/111_85_272/u.exe"), d}; },
       "old content", 0, file_is(payload)},
      {"resume completes a file cut short",
       [](const std::string& d) { return std::vector<std::string>{"get", "--resume", Url("Software/111_85_272/u.exe"), d}; },
       payload.substr(0, 12345), 0, file_is(payload)},
      {"no-clobber leaves the file untouched",
       [](const std::string& d) { return std::vector<std::string>{"get", "--no-clobber", Url("Software/111_85_272/u.exe"), d}; },
       "keep me", 3, file_is("keep me")},
      {"refused login",
       [](const std::string& d) { return std::vector<std::string>{"get", Url("Software/111_85_272/u.exe", "wrong"), d}; },
       "", 1, err_has("EIdProtocolReplyError")},
      {"missing file leaves no file",
       [](const std::string& d) { return std::vector<std::string>{"get", Url("Software/111_85_272/none.exe"), d}; },
       "", 1,
       [](const ProgramResult& r, const std::string& d) {
         EXPECT_NE(r.err.find("550"), std::string::npos) << r.err;
         EXPECT_FALSE(fs::exists(d));
       }},
      {"missing file keeps an old DEST",
       [](const std::string& d) { return std::vector<std::string>{"get", Url("Software/111_85_272/none.exe"), d}; },
       "old", 1, file_is("old")},
      {"DEST in a folder that does not exist",
       [](const std::string& d) { return std::vector<std::string>{"get", Url("Software/111_85_272/u.exe"), d + "/no/such/folder/u.exe"}; },
       "", 3, err_has("kann nicht erstellt werden")},
      {"unknown option",
       [](const std::string& d) { return std::vector<std::string>{"get", "--fast", Url("u.exe"), d}; },
       "", 2, err_has("Usage: tavo-ftp get")},
      {"address without a file name",
       [](const std::string&) { return std::vector<std::string>{"get", Url("Software/")}; },
       "", 2, err_has("no file name")},
      {"verbose shows every status and never the password",
       [](const std::string& d) { return std::vector<std::string>{"get", "-v", Url("Software/111_85_272/u.exe"), d}; },
       "", 0,
       [](const ProgramResult& r, const std::string&) {
         EXPECT_NE(r.err.find("Verbinden mit 127.0.0.1.\nVerbunden.\nVerbindung hergestellt\n"
                              "FTP-Transfer wird gestartet\nTransfer abgeschlossen\n"
                              "Verbindung wird getrennt.\nVerbindung aufgehoben.\n"),
                   std::string::npos)
             << r.err;
       }},
      {"progress on request",
       [](const std::string& d) { return std::vector<std::string>{"get", "--progress", Url("Software/111_85_272/u.exe"), d}; },
       "", 0,
       [](const ProgramResult& r, const std::string&) {
         EXPECT_EQ(r.err.front(), '\r') << r.err;
         EXPECT_NE(r.err.find("195.3 KiB"), std::string::npos) << r.err;
         EXPECT_EQ(r.err.back(), '\n');
       }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    test::ScratchDir d;
    const std::string dest = d / "u.exe";
    if (!row.before.empty()) d.Write("u.exe", row.before, 0644);
    const ProgramResult r = TavoFtp(row.args(dest));
    EXPECT_EQ(r.exit_code, row.exit_code) << r.err;
    row.check(r, dest);
    for (const std::string& secret : {std::string(kPassword), std::string(kEncodedPassword)}) {
      EXPECT_EQ(r.err.find(secret), std::string::npos) << r.err;
      EXPECT_EQ(r.out.find(secret), std::string::npos);
    }
  }
}

// ls prints one line per entry: kind, size, time, name, and the target of a link.
TEST_F(TavoFtpCommand, LsListsAFolder) {
  const ProgramResult r = TavoFtp({"ls", Url("list/")});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  const std::regex entry(R"(^([-dl]) +(\d+) (\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d) (.*)$)");
  std::vector<std::string> entries;
  std::istringstream lines(r.out);
  for (std::string line; std::getline(lines, line);) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(line, m, entry)) << line;
    entries.push_back(m[1].str() + " " + (m[1] == "d" ? "" : m[2].str() + " ") + m[4].str());
  }
  std::sort(entries.begin(), entries.end());
  EXPECT_EQ(entries, (std::vector<std::string>{"- 2 two  blanks.txt", "- 5 file.txt",
                                               "d a folder", "l 8 link -> file.txt"}));

  const ProgramResult raw = TavoFtp({"ls", "--raw", Url("list")});
  EXPECT_EQ(raw.exit_code, 0);
  EXPECT_NE(raw.out.find(" two  blanks.txt\n"), std::string::npos) << raw.out;
  EXPECT_NE(raw.out.find("rwx"), std::string::npos) << raw.out;
  const ProgramResult names = TavoFtp({"ls", "--format", "names", Url("list")});
  EXPECT_EQ(names.exit_code, 0);
  EXPECT_EQ(names.out, raw.out) << "a names-only reading prints the lines as names";
  EXPECT_EQ(TavoFtp({"ls", "--format", "csv", Url("list")}).exit_code, 2);
  EXPECT_EQ(TavoFtp({"ls", Url("no-such-folder")}).exit_code, 1);
}

// Through real SOCKS proxies: dante for SOCKS 4 and 5, twisted's server for 4A.
TEST_F(TavoFtpCommand, ThroughSocksProxies) {
  struct Row {
    const char* option;
    std::function<int()> start;  // the proxy's port, or 0 when it cannot run here
    std::vector<std::string> extra;
  };
  std::unique_ptr<testsupport::Dante> dante;
  std::unique_ptr<testsupport::Socks4Server> twisted;
  const auto with_dante = [&] {
    if (!testsupport::Dante::Unavailable().empty()) return 0;
    if (!dante) dante = std::make_unique<testsupport::Dante>();
    return dante->Port();
  };
  const std::vector<Row> rows = {
      {"--socks4", with_dante, {"--socks-user", "tavo"}},
      {"--socks5", with_dante, {}},
      {"--socks4a",
       [&] {
         if (!testsupport::Socks4Server::Unavailable().empty()) return 0;
         twisted = std::make_unique<testsupport::Socks4Server>();
         return twisted->Port();
       },
       {"--socks-user", "tavo"}}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.option);
    const int port = row.start();
    if (port == 0) {
      std::printf("skipped %s: the proxy cannot run here\n", row.option);
      continue;
    }
    std::vector<std::string> args = {"get", row.option, "127.0.0.1:" + std::to_string(port)};
    args.insert(args.end(), row.extra.begin(), row.extra.end());
    args.insert(args.end(), {Url("Software/111_85_272/u.exe"), dir / "u.exe"});
    const ProgramResult r = TavoFtp(args);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_TRUE(test::ReadFile(dir / "u.exe") == Payload());
  }
  ASSERT_TRUE(dante || twisted) << "no SOCKS proxy could run";
  if (dante) {
    EXPECT_NE(dante->Log().find("tcp/connect"), std::string::npos) << dante->Log();
  }
  if (twisted) {
    EXPECT_NE(twisted->Log().find("connected"), std::string::npos) << twisted->Log();
  }
}

// A server that reports the transfer as aborted: the tool fails even though bytes arrived.
TEST(TavoFtpAbortedTransfer, IsAFailure) {
  testsupport::ScriptedPeer peer;
  peer.Send("220 ready\r\n")
      .ExpectLine("USER anonymous")
      .Send("331 password\r\n")
      .ReadLine()
      .Send("230 in\r\n")
      .ExpectLine("TYPE I")
      .Send("200 ok\r\n")
      .ExpectLine("SYST")
      .Send("215 UNIX\r\n");
  net::ftptest::ScriptPassiveTransfer(peer, "RETR f", "part", 1, "150 ok\r\n",
                                      "426 Connection closed; transfer aborted.\r\n226 ok\r\n");
  peer.ReadUntilClose();
  peer.Start();
  test::ScratchDir d;
  const ProgramResult r =
      TavoFtp({"get", "ftp://127.0.0.1:" + std::to_string(peer.Port()) + "/f", d / "f"});
  EXPECT_EQ(r.exit_code, 1) << r.err;
  EXPECT_NE(r.err.find("aborted the transfer"), std::string::npos) << r.err;
  EXPECT_TRUE(peer.WaitScriptDone(10000));
  EXPECT_EQ(peer.Failures(), std::vector<std::string>{});
}

}  // namespace
}  // namespace tavo::tool
