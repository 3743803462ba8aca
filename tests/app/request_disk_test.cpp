// The retrieval request on a disk that cannot take the files: the error box, and nothing is
// launched. (Before, the launcher kept a truncated "CP210xRuntime.dll" and started the updater.)

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QTest>
#include <filesystem>
#include <fstream>

#include "../ui/gui_support.h"
#include "app/form_main.h"
#include "resources/ftp_settings.h"
#include "tests/support/pyftpd.h"
#include "tests/support/small_disk.h"

namespace tavo::app {
namespace {

TEST(RequestOnAFullDisk, ShowsTheErrorBoxAndLaunchesNothing) {
  test::ScratchDir scratch;
  testsupport::PyFtpdOptions options;
  options.user = res::ftp_settings::kUsername;
  options.password = res::ftp_settings::kPassword;
  options.max_seconds = 120;
  testsupport::PyFtpd server(options);
  const std::string served = server.Root() + "/Software/111_85_272/";
  std::filesystem::create_directories(served);
  // An updater that says when it is started, and the runtime library it would load.
  std::ofstream(served + "RookUpdate.exe", std::ios::binary)
      << "#!/bin/sh\necho started >> '" << scratch / "started" << "'\n" << std::string(200 * 1024, 'u');
  std::ofstream(served + "CP210xRuntime.dll", std::ios::binary) << std::string(64 * 1024, 'r');

  // The updater fits on the small disk, the library no longer does; without root, the library
  // goes to /dev/full, which takes nothing.
  testsupport::SmallDisk disk(256 * 1024);
  const bool tmpfs = disk.Unavailable().empty();
  const std::string tmp = tmpfs ? disk.Path() : scratch.Path();
  if (!tmpfs && ::mkdir((tmp + "/Tavo_Update").c_str(), 0700) == 0)
    ::symlink("/dev/full", (tmp + "/Tavo_Update/CP210xRuntime.dll").c_str());
  test::EnvGuard tmpdir("TMPDIR", tmp);
  TFormMain form;
  form.ftp->SetHost("127.0.0.1");
  form.ftp->SetPort(server.Port());
  form.Show();
  test::BoxWatcher boxes;
  QTest::mouseClick(test::Native(form.BtRookDownload), Qt::LeftButton);
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].text,
            "Request to Norrik Tavo Online not possible !\nAllow request to Internet and start again.");
  EXPECT_EQ(form.RequestState(), 0);
  EXPECT_TRUE(form.Visible());
  EXPECT_EQ(test::ReadFile(scratch / "started"), "") << "the updater was started";
}

}  // namespace
}  // namespace tavo::app
