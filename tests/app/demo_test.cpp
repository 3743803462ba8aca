// scripts/demo as a user runs it, without a display: it builds its variant of the launcher,
// serves the bundled demo files, presses one family's button, and must end with the line of the
// demo updater the launcher started, leaving no server behind.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "tests/support/child_process.h"
#include "tests/support/scratch.h"

namespace tavo::app {
namespace {

// Whether a process runs with `text` in its command line.
bool ProcessWith(const std::string& text) {
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    std::string line = test::ReadFile(entry.path() / "cmdline");
    for (char& c : line) c = c == '\0' ? ' ' : c;
    if (line.find(text) != std::string::npos) return true;
  }
  return false;
}

TEST(Demo, HeadlessRunEndsWithTheDemoUpdatersLineAndLeavesNoServer) {
  test::ScratchDir tmp;
  test::EnvGuard tmpdir("TMPDIR", tmp.Path());  // the launcher's download folder goes there
  // The build under test is there already; configuring and building it again from here would
  // rewrite it under the tests that run beside this one.
  test::EnvGuard built("TAVO_DEMO_SKIP_SETUP", "1");
  const std::string source = TAVO_SOURCE_DIR;
  FILE* demo = ::popen((source + "/scripts/demo --headless Rook 2>&1").c_str(), "r");
  ASSERT_NE(demo, nullptr);
  std::string output;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, demo)) > 0;) output.append(buffer, n);
  const int status = ::pclose(demo);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << output;

  const std::string expected =
      "Demo updater RookUpdate.exe started from " + tmp.Path() + "/Tavo_Update with no arguments\n";
  ASSERT_GE(output.size(), expected.size());
  EXPECT_EQ(output.substr(output.size() - expected.size()), expected) << output;

  const std::string marker = "the server is on 127.0.0.1:";
  const size_t at = output.find(marker);
  ASSERT_NE(at, std::string::npos) << output;
  const int port = std::stoi(output.substr(at + marker.size()));
  EXPECT_FALSE(testsupport::WaitUntilListening(port, std::chrono::milliseconds(0)));
  EXPECT_FALSE(ProcessWith(source + "/demo/ftp_server.py"));
}

}  // namespace
}  // namespace tavo::app
