// Retrieval against real servers on loopback: pyftpdlib and vsftpd, passive and active, files
// from empty to several MiB, each compared byte for byte.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "net/ftp/ftp.h"
#include "tests/net/ftp/ftp_test_util.h"
#include "tests/support/pyftpd.h"
#include "tests/support/scratch.h"
#include "tests/support/vsftpd.h"

namespace tavo::net {
namespace {

namespace fs = std::filesystem;

using ftptest::AimAtServer;
using ftptest::Content;

const std::vector<std::pair<std::string, size_t>> kFiles = {
    {"empty.bin", 0}, {"one.bin", 1}, {"64k.bin", 64 * 1024}, {"8m.bin", 8 * 1024 * 1024}};

void WriteFiles(const std::string& root) { ftptest::WriteFiles(root, kFiles); }

// Logs in, fetches the files into a fresh folder, and compares each with what was served.
void FetchAll(const std::string& host, int port, const std::string& user,
              const std::string& password, bool passive,
              const std::vector<std::pair<std::string, size_t>>& files, const std::string& log) {
  TIdFTP ftp;
  AimAtServer(ftp, host, port, user, password, 20000, passive);
  ftp.Connect();
  test::ScratchDir dest;
  for (const auto& [name, size] : files) {
    SCOPED_TRACE(name + (passive ? " passive" : " active"));
    ftp.Get(name, dest / name, true, false);
    EXPECT_EQ(fs::file_size(dest / name), size) << log;
    EXPECT_TRUE(test::ReadFile(dest / name) == Content(size)) << "content differs";
  }
  EXPECT_TRUE(ftp.Connected());
  ftp.Disconnect();
}

TEST(RetrievalWithPyftpd, PassiveAndActiveFilesArriveByteIdentical) {
  testsupport::PyFtpd server;
  WriteFiles(server.Root());
  for (const bool passive : {true, false})
    FetchAll(server.Host(), server.Port(), server.Options().user, server.Options().password,
             passive, kFiles, server.Log());
}

TEST(RetrievalWithPyftpd, ResumeCompletesAFileCutShort) {
  testsupport::PyFtpd server;
  WriteFiles(server.Root());
  const std::string full = Content(64 * 1024);
  test::ScratchDir dest;
  dest.Write("64k.bin", full.substr(0, 1000), 0644);

  TIdFTP ftp;
  AimAtServer(ftp, server.Host(), server.Port(), server.Options().user,
              server.Options().password, 20000);
  ftp.Connect();
  ftp.Get("64k.bin", dest / "64k.bin", false, true);
  ftp.Disconnect();
  EXPECT_TRUE(ftp.ResumeSupported());
  EXPECT_TRUE(test::ReadFile(dest / "64k.bin") == full) << server.Log();
  // Only the missing part travelled.
  EXPECT_NE(server.Log().find("bytes=" + std::to_string(full.size() - 1000)), std::string::npos)
      << server.Log();
}

TEST(RetrievalWithVsftpd, PassiveAndActiveAgree) {
  if (!testsupport::VsFtpd::CanRun()) GTEST_SKIP() << "vsftpd needs root rights and the package";
  testsupport::VsFtpd server;
  WriteFiles(server.Root());
  const std::vector<std::pair<std::string, size_t>> big = {kFiles.back()};
  for (const bool passive : {true, false})
    FetchAll(server.Host(), server.Port(), "anonymous", "", passive, big, server.Log());
  const std::string log = server.Log();
  EXPECT_NE(log.find("\"PASV\""), std::string::npos) << log;
  EXPECT_NE(log.find("\"PORT 127,0,0,1,"), std::string::npos) << log;
}

// A folder with a file, a folder, a symbolic link and a name with two blanks in a row, listed
// by both servers and parsed.
TEST(ListingFromRealServers, EntriesOfEveryKind) {
  const auto fill = [](const std::string& root) {
    const fs::path dir = fs::path(root) / "pub";
    fs::create_directories(dir / "a folder");
    std::ofstream(dir / "file.txt", std::ios::binary) << "12345";
    std::ofstream(dir / "two  blanks.txt", std::ios::binary) << "xy";
    testsupport::MakeServerSymlink("file.txt", (dir / "link").generic_string());
    for (const auto& p : {dir, dir / "a folder"}) fs::permissions(p, fs::perms::owner_all |
        fs::perms::group_read | fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
  };
  const auto check = [](const std::string& host, int port, const std::string& user,
                        const std::string& password, const std::string& log) {
    TIdFTP ftp;
    AimAtServer(ftp, host, port, user, password, 20000);
    ftp.Connect();
    ftp.ChangeDir("pub");
    ftp.List();
    ftp.Disconnect();
    TIdFTPListItems& items = *ftp.ListingItems();
    EXPECT_EQ(items.ListFormat(), flfUnix) << log;
    std::map<std::string, std::string> got;
    for (int i = 0; i < items.Count(); ++i) {
      const TIdFTPListItem& it = items.Items(i);
      got[it.Name()] = std::to_string(it.Kind()) + " " + std::to_string(it.Size()) +
                       (it.LinkTarget().empty() ? "" : " -> " + it.LinkTarget());
    }
    EXPECT_EQ(got["file.txt"], std::to_string(KindFile) + " 5");
    EXPECT_EQ(got["two  blanks.txt"], std::to_string(KindFile) + " 2");
    EXPECT_EQ(got["a folder"].substr(0, 1), std::to_string(KindDirectory));
    EXPECT_EQ(got["link"].substr(0, 1), std::to_string(KindLink));
    EXPECT_NE(got["link"].find("-> file.txt"), std::string::npos) << got["link"];
    EXPECT_EQ(got.size(), 4u) << ftp.ListLines().Text();
  };
  {
    testsupport::PyFtpd server;
    fill(server.Root());
    check(server.Host(), server.Port(), server.Options().user, server.Options().password,
          server.Log());
  }
  if (testsupport::VsFtpd::CanRun()) {
    testsupport::VsFtpd server;
    fill(server.Root());
    check(server.Host(), server.Port(), "anonymous", "", server.Log());
  }
}

}  // namespace
}  // namespace tavo::net
