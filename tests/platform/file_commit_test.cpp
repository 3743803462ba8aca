#include "platform/file_commit.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace tavo::platform {
namespace {

namespace fs = std::filesystem;

// A fresh folder below the system's temporary folder (on Windows too, where the scratch
// folders of the other tests need the Linux side), removed again at the end.
class Folder {
 public:
  Folder() {
    std::random_device seed;
    path_ = fs::temp_directory_path() / ("tavo-commit-" + std::to_string(seed()));
    fs::create_directory(path_);
  }
  ~Folder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

 private:
  fs::path path_;
};

void Write(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}
std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The final step of a download: with replace it gives way to nothing; without, anything that
// carries the name stops it and both files stay as they were.
TEST(FileCommit, MoveIntoPlaceReplacesOrNeverDoes) {
  struct Row {
    const char* name;
    const char* existing;  // DEST's content beforehand; nullptr: none
    bool replace;
    TFsResult result;
  };
  const Row rows[] = {
      {"replace an existing file", "old", true, TFsResult::frDone},
      {"replace nothing", nullptr, true, TFsResult::frDone},
      {"exclusive onto nothing", nullptr, false, TFsResult::frDone},
      {"exclusive onto a file", "old", false, TFsResult::frExists},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    Folder folder;
    const std::string from = folder / ".part", to = folder / "dest";
    std::string reason;
    ASSERT_EQ(CreateNewFile(from, reason), TFsResult::frDone) << reason;
    EXPECT_EQ(CreateNewFile(from, reason), TFsResult::frExists) << "made exclusively";
    Write(from, "new");
    if (r.existing != nullptr) Write(to, r.existing);
    EXPECT_EQ(MoveIntoPlace(from, to, r.replace, reason), r.result) << reason;
    const bool moved = r.result == TFsResult::frDone;
    EXPECT_EQ(Read(to), moved ? "new" : r.existing);
    EXPECT_EQ(PathEntryExists(from), !moved);
    EXPECT_EQ(PathKind(to), TPathKind::pkFile);
  }
}

TEST(FileCommit, PathKindTellsFilesFoldersAndTheRest) {
  Folder folder;
  Write(folder / "file", "x");
  EXPECT_EQ(PathKind(folder / "file"), TPathKind::pkFile);
  EXPECT_EQ(PathKind(folder / "missing"), TPathKind::pkMissing);
  EXPECT_FALSE(PathEntryExists(folder / "missing"));
  EXPECT_EQ(PathKind(folder / "."), TPathKind::pkFolder);
#ifdef _WIN32
  EXPECT_EQ(PathKind("NUL"), TPathKind::pkOther);
#else
  EXPECT_EQ(PathKind("/dev/null"), TPathKind::pkOther);
  std::string reason;
  ASSERT_EQ(CreateNewFile(folder / "new", reason), TFsResult::frDone);
  struct stat st {};
  ASSERT_EQ(::stat((folder / "new").c_str(), &st), 0);
  const mode_t mask = ::umask(0);
  ::umask(mask);
  EXPECT_EQ(st.st_mode & 0777, 0666u & ~mask) << "the access a new file gets";
  // A link to nothing leads nowhere, yet carries the name: an exclusive move does not pass it.
  fs::create_symlink(folder / "nowhere", folder / "dangling");
  EXPECT_EQ(PathKind(folder / "dangling"), TPathKind::pkMissing);
  EXPECT_TRUE(PathEntryExists(folder / "dangling"));
  EXPECT_EQ(MoveIntoPlace(folder / "new", folder / "dangling", false, reason), TFsResult::frExists);
  EXPECT_TRUE(fs::is_symlink(folder / "dangling"));
  EXPECT_FALSE(PathEntryExists(folder / "nowhere")) << "written through the link";
#endif
}

}  // namespace
}  // namespace tavo::platform
