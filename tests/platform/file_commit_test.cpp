#include "platform/file_commit.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

namespace tavo::platform {
namespace {

namespace fs = std::filesystem;

// A new file is made exclusively; the final move replaces DEST, or, exclusive, is stopped by
// anything that carries the name (a file made meanwhile, a link to nothing) and changes nothing.
TEST(FileCommit, NewFilesAreExclusiveAndTheFinalMoveReplacesOrNeverDoes) {
  const fs::path dir = fs::temp_directory_path() / ("tavo-commit-" + std::to_string(std::random_device()()));
  fs::create_directory(dir);
  const std::string part = (dir / ".part").string(), dest = (dir / "dest").string();
  std::string reason;
  ASSERT_EQ(CreateNewFile(part, reason), TFsResult::frDone) << reason;
  EXPECT_EQ(CreateNewFile(part, reason), TFsResult::frExists);
  std::ofstream(dest) << "old";
  EXPECT_EQ(MoveIntoPlace(part, dest, false, reason), TFsResult::frExists);
  EXPECT_EQ(fs::file_size(dest), 3u);
  EXPECT_EQ(MoveIntoPlace(part, dest, true, reason), TFsResult::frDone) << reason;
  EXPECT_EQ(fs::file_size(dest), 0u);
  EXPECT_FALSE(PathEntryExists(part));
#ifndef _WIN32  // wine cannot make a symbolic link
  fs::create_symlink(dir / "nowhere", dir / "link");
  EXPECT_EQ(MoveIntoPlace(dest, (dir / "link").string(), false, reason), TFsResult::frExists);
  EXPECT_FALSE(PathEntryExists((dir / "nowhere").string())) << "written through the link";
#endif
  fs::remove_all(dir);
}

}  // namespace
}  // namespace tavo::platform
