// The retrieval request on a disk that cannot take the files: the error box, and nothing is
// launched, whichever file the disk refuses and however it refuses. (Before, the launcher kept
// a truncated "CP210xRuntime.dll" and started the updater.)

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QTest>
#include <filesystem>
#include <fstream>
#include <functional>

#include "../ui/gui_support.h"
#include "app/form_main.h"
#include "resources/ftp_settings.h"
#include "tests/support/pyftpd.h"
#include "tests/support/small_disk.h"

namespace tavo::app {
namespace {

using test::ScratchDir;

// A limit on the size of every file this process writes, for the length of one press; the
// signal it would raise is ignored, so the write fails as on a full disk.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &old_);
    old_handler_ = ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{bytes, old_.rlim_max};
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &old_);
    ::signal(SIGXFSZ, old_handler_);
  }

 private:
  rlimit old_{};
  sighandler_t old_handler_;
};

TEST(RequestOnAFullDisk, ShowsTheErrorBoxAndLaunchesNothing) {
  ScratchDir scratch;
  const std::string marker = scratch / "started";
  testsupport::PyFtpdOptions options;
  options.user = res::ftp_settings::kUsername;
  options.password = res::ftp_settings::kPassword;
  options.max_seconds = 120;
  testsupport::PyFtpd server(options);
  const std::string served = server.Root() + "/Software/111_85_272/";
  std::filesystem::create_directories(served);
  // An updater that says when it is started, and a runtime library it would load.
  std::ofstream(served + "RookUpdate.exe", std::ios::binary)
      << "#!/bin/sh\necho started >> '" << marker << "'\nexit 0\n" << std::string(200 * 1024, 'u');
  std::ofstream(served + "CP210xRuntime.dll", std::ios::binary) << std::string(64 * 1024, 'r');
  ::chmod((served + "RookUpdate.exe").c_str(), 0755);

  testsupport::SmallDisk disk(256 * 1024);  // the updater fits, the library no longer does
  struct Row {
    const char* name;
    std::string unavailable;
    std::string tmp;                    // the temporary folder the launcher is given
    std::function<void()> arrange = {}; // before the press
    rlim_t size_limit = 0;              // for the press; 0: none
  };
  ScratchDir full, limited;
  const Row rows[] = {
      {"a nearly full disk (tmpfs)", disk.Unavailable(), disk.Path()},
      {"a library that goes to a device that takes nothing", "", full.Path(),
       [&] {
         ::mkdir((full / "Tavo_Update").c_str(), 0700);
         ::symlink("/dev/full", (full / "Tavo_Update/CP210xRuntime.dll").c_str());
       }},
      {"a file-size limit below the updater's size", "", limited.Path(), {}, 128 * 1024},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    if (!row.unavailable.empty()) {
      std::printf("skipped %s: %s\n", row.name, row.unavailable.c_str());
      continue;
    }
    test::EnvGuard tmpdir("TMPDIR", row.tmp);
    if (row.arrange) row.arrange();
    TFormMain form;
    form.ftp->SetHost("127.0.0.1");
    form.ftp->SetPort(server.Port());
    form.show();
    test::BoxWatcher boxes;
    {
      std::unique_ptr<FileSizeLimit> limit;
      if (row.size_limit > 0) limit = std::make_unique<FileSizeLimit>(row.size_limit);
      QTest::mouseClick(form.BtRookDownload, Qt::LeftButton);
    }
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text,
              "Request to Norrik Tavo Online not possible !\nAllow request to Internet and start again.");
    EXPECT_EQ(form.RequestState(), 0);
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(form.ftp->Connected());
    EXPECT_EQ(test::ReadFile(marker), "") << "the updater was started";
  }
}

}  // namespace
}  // namespace tavo::app
