#include "platform/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include "scratch.h"

#ifndef _WIN32
namespace tavo::platform {
namespace {

using test::EnvGuard;
using test::ScratchDir;

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
}

TEST(TempPath, FollowsTmpdirAndAlwaysEndsInTheSeparator) {
  {
    EnvGuard tmpdir("TMPDIR", "/var/tmp");
    EXPECT_EQ(GetTempPath(), "/var/tmp/");
  }
  {
    EnvGuard tmpdir("TMPDIR", "/var/tmp/");
    EXPECT_EQ(GetTempPath(), "/var/tmp/");
  }
  {
    EnvGuard tmpdir("TMPDIR", std::nullopt);
    EXPECT_EQ(GetTempPath(), "/tmp/");
  }
  {
    EnvGuard tmpdir("TMPDIR", "");
    EXPECT_EQ(GetTempPath(), "/tmp/");
  }
  const std::string longDir = "/" + std::string(300, 'x');
  EnvGuard tmpdir("TMPDIR", longDir);
  EXPECT_EQ(GetTempPath(), longDir + "/");  // never cut
}

TEST(NativePathText, BackslashesBecomeTheSystemSeparator) {
  EXPECT_EQ(PathDelimiter(), '/');
  EXPECT_EQ(NativePath("/tmp/Tavo_Update\\"), "/tmp/Tavo_Update/");
  EXPECT_EQ(NativePath("a\\b\\c"), "a/b/c");
}

TEST(FilesAndFolders, ExistenceTestsTellFilesFromFolders) {
  ScratchDir dir;
  const std::string file = dir.Write("f.txt", "x", 0644);
  EXPECT_TRUE(DirectoryExists(dir.Path()));
  EXPECT_TRUE(DirectoryExists(dir.Path() + "/"));
  EXPECT_FALSE(DirectoryExists(file));
  EXPECT_FALSE(DirectoryExists(dir / "missing"));
  EXPECT_FALSE(DirectoryExists(""));
  EXPECT_TRUE(FileExists(file));
  EXPECT_FALSE(FileExists(dir.Path()));
  EXPECT_FALSE(FileExists(dir / "missing"));
  EXPECT_FALSE(FileExists(""));
}

TEST(FilesAndFolders, CreateDirMakesOneLevelOnly) {
  ScratchDir dir;
  EXPECT_TRUE(CreateDir(dir / "one"));
  EXPECT_TRUE(DirectoryExists(dir / "one"));
  EXPECT_FALSE(CreateDir(dir / "one"));  // exists already
  EXPECT_FALSE(CreateDir(dir / "two/three"));
  EXPECT_FALSE(DirectoryExists(dir / "two"));
  EXPECT_FALSE(CreateDir(""));
}

TEST(PrivateFolder, IsCreatedForTheOwnerAloneWhateverTheUmask) {
  ScratchDir dir;
  const mode_t old = ::umask(0);
  const bool created = ForcePrivateDirectory(dir / "Tavo_Update/");
  ::umask(0277);
  const bool createdUnderTightUmask = ForcePrivateDirectory(dir / "other");
  ::umask(old);
  ASSERT_TRUE(created);
  ASSERT_TRUE(createdUnderTightUmask);
  EXPECT_EQ(ModeOf(dir / "Tavo_Update"), 0700u);
  EXPECT_EQ(ModeOf(dir / "other"), 0700u);
  // A second request finds it and accepts it.
  EXPECT_TRUE(ForcePrivateDirectory(dir / "Tavo_Update/"));
  EXPECT_TRUE(ForcePrivateDirectory(dir / "Tavo_Update"));
}

TEST(PrivateFolder, AcceptsAnExistingFolderOthersCanOnlyRead) {
  ScratchDir dir;
  ASSERT_EQ(::mkdir((dir / "d").c_str(), 0755), 0);
  ::chmod((dir / "d").c_str(), 0755);
  EXPECT_TRUE(ForcePrivateDirectory(dir / "d/"));
}

TEST(PrivateFolder, RefusesWhatOthersCouldHaveReplacedOrCanWriteTo) {
  ScratchDir dir;
  ASSERT_EQ(::mkdir((dir / "target").c_str(), 0700), 0);
  ASSERT_EQ(::symlink((dir / "target").c_str(), (dir / "link").c_str()), 0);
  EXPECT_FALSE(ForcePrivateDirectory(dir / "link/"));  // the trailing separator must not hide it
  EXPECT_FALSE(ForcePrivateDirectory(dir / "link"));

  ASSERT_EQ(::mkdir((dir / "group").c_str(), 0700), 0);
  ::chmod((dir / "group").c_str(), 0770);
  EXPECT_FALSE(ForcePrivateDirectory(dir / "group/"));

  ASSERT_EQ(::mkdir((dir / "world").c_str(), 0700), 0);
  ::chmod((dir / "world").c_str(), 01777);
  EXPECT_FALSE(ForcePrivateDirectory(dir / "world/"));

  dir.Write("file", "x", 0600);
  EXPECT_FALSE(ForcePrivateDirectory(dir / "file/"));
  EXPECT_FALSE(ForcePrivateDirectory(dir / "missing/parent/"));
  EXPECT_FALSE(ForcePrivateDirectory(""));
}

TEST(PrivateFolder, RefusesAFolderOfAnotherUser) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to hand a folder to another user";
  ScratchDir dir;
  ASSERT_EQ(::mkdir((dir / "foreign").c_str(), 0700), 0);
  ASSERT_EQ(::chown((dir / "foreign").c_str(), 65534, 65534), 0);
  EXPECT_FALSE(ForcePrivateDirectory(dir / "foreign/"));
}

}  // namespace
}  // namespace tavo::platform

#else

// Kept in the Windows test program so the skip and its reason show in its output.
TEST(PosixFiles, NotOnWindows) {
  GTEST_SKIP() << "the POSIX backend: TMPDIR, permission bits, symbolic links and owners; the Win32 backend keeps its folder private with an ACL, which wine does not enforce";
}

#endif
