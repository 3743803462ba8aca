#include "platform/shell.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <signal.h>
#endif
#include <sys/stat.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/sleep.h"
#include "scratch.h"

#ifndef _WIN32
namespace tavo::platform {
namespace {

using test::EnvGuard;
using test::ReadFile;
using test::ScratchDir;

// Waits (bounded) for a file that a started program writes.
std::string AwaitFile(const std::string& file) {
  for (int i = 0; i < 1000; ++i) {
    std::string content = ReadFile(file);
    if (!content.empty() && content.back() == '\n') return content;
    Sleep(10);
  }
  return {};
}

// A stand-in for the desktop's opener that records its arguments and ends with `exitCode`.
std::string InstallRecordingOpener(const ScratchDir& dir, int exitCode) {
  const std::string bin = dir / "bin";
  std::filesystem::create_directory(bin);
  const std::string record = dir / "opener.log";
  std::ofstream(bin + "/xdg-open") << "#!/bin/sh\nprintf '%s\\n' \"$*\" >> '" << record
                                   << "'\nexit " << exitCode << "\n";
  ::chmod((bin + "/xdg-open").c_str(), 0755);
  return record;
}

TEST(ShellOpen, MissingFileAndMissingFolderGiveTheirCodes) {
  ScratchDir dir;
  EXPECT_EQ(ShellOpen(dir / "LumaxUpdater.exe"), kShellFileNotFound);
  EXPECT_EQ(ShellOpen(dir / "no-folder/LumaxUpdater.exe"), kShellPathNotFound);
  EXPECT_EQ(ShellOpen(""), kShellFileNotFound);
}

TEST(ShellOpen, StartsAScriptDetachedWithoutWaitingAndSetsItsExecuteBit) {
  ScratchDir dir;
  const std::string marker = dir / "marker";
  // The script records its process and session, then keeps running for a while.
  const std::string script = dir.Write(
      "updater.sh",
      "#!/bin/sh\nsid=$(cut -d' ' -f6 /proc/$$/stat)\necho \"$$ $sid\" > '" + marker +
          "'\nexec sleep 30\n",
      0644);

  const auto start = std::chrono::steady_clock::now();
  ASSERT_GT(ShellOpen(script), 32);
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_LT(took, std::chrono::seconds(5)) << "the launch must not wait for the program";

  const std::string content = AwaitFile(marker);
  ASSERT_FALSE(content.empty()) << "the script did not run";
  pid_t pid = 0;
  pid_t sid = 0;
  ASSERT_EQ(std::sscanf(content.c_str(), "%d %d", &pid, &sid), 2);
  EXPECT_NE(sid, ::getsid(0)) << "the program must run in a session of its own";
  EXPECT_EQ(::kill(pid, SIGTERM), 0);

  struct stat st {};
  ASSERT_EQ(::stat(script.c_str(), &st), 0);
  EXPECT_NE(st.st_mode & S_IXUSR, 0u);
}

TEST(ShellOpen, StartsANativeBinary) {
  ScratchDir dir;
  const std::string program = dir / "true-copy";
  std::filesystem::copy_file("/bin/true", program);
  ::chmod(program.c_str(), 0600);
  EXPECT_EQ(ShellOpen(program), kShellOk);
}

TEST(ShellOpen, ABrokenProgramIsNotAValidProgram) {
  ScratchDir dir;
  // Looks like a native program by its first bytes, but the system cannot load it.
  const std::string program = dir.Write("BrisaUpdate.exe", std::string("\x7f" "ELF") + "garbage", 0700);
  EXPECT_EQ(ShellOpen(program), 11);  // the shell's "not a valid program"
}

TEST(ShellOpen, AScriptWhoseInterpreterIsMissingIsAFailure) {
  ScratchDir dir;
  const std::string script = dir.Write("bad.sh", "#!/nonexistent/interpreter\n", 0755);
  EXPECT_EQ(ShellOpen(script), kShellFileNotFound);
}

TEST(ShellOpen, WebAddressesAndDocumentsGoToTheDesktopOpener) {
  ScratchDir dir;
  const std::string record = InstallRecordingOpener(dir, 0);
  EnvGuard path("PATH", dir / "bin" + ":" + (::getenv("PATH") ? ::getenv("PATH") : ""));
  const std::string document = dir.Write("readme.txt", "text", 0644);

  EXPECT_EQ(ShellOpen("http://ftp.norrik-tavo.example"), kShellOk);
  EXPECT_EQ(ShellOpen(document), kShellOk);
  EXPECT_EQ(ShellOpen(dir.Path()), kShellOk);
  EXPECT_EQ(ReadFile(record),
            "http://ftp.norrik-tavo.example\n" + document + "\n" + dir.Path() + "\n");
}

TEST(ShellOpen, OpenerFailuresMapToShellCodes) {
  {
    ScratchDir dir;
    InstallRecordingOpener(dir, 2);
    EnvGuard path("PATH", dir / "bin");
    EXPECT_EQ(ShellOpen("http://ftp.norrik-tavo.example/x"), kShellFileNotFound);
  }
  {
    ScratchDir dir;
    InstallRecordingOpener(dir, 3);
    EnvGuard path("PATH", dir / "bin");
    EXPECT_EQ(ShellOpen("http://ftp.norrik-tavo.example"), kShellNoAssociation);
  }
  {
    ScratchDir dir;  // no opener anywhere on PATH
    EnvGuard path("PATH", dir.Path());
    EXPECT_EQ(ShellOpen("http://ftp.norrik-tavo.example"), kShellNoAssociation);
  }
}

}  // namespace
}  // namespace tavo::platform

#else

// Kept in the Windows test program so the skip and its reason show in its output.
TEST(PosixShell, NotOnWindows) {
  GTEST_SKIP() << "the POSIX backend: execute bits, sessions and the desktop opener; the Win32 backend hands the file to ShellExecute, whose programs are not there under wine";
}

#endif
