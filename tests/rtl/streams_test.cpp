#include "rtl/streams.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "rtl/exception.h"
#include "rtl/paths.h"

using namespace tavo::rtl;

namespace {
std::string TempPath(const char* name) {
  return (std::filesystem::temp_directory_path() /
          (std::string("tavo_rtl_") + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + name))
      .string();
}
}  // namespace

TEST(StreamsTest, MemoryStreamReadsWritesAndSeeks) {
  TMemoryStream m;
  m.WriteBuffer("hello world", 11);
  EXPECT_EQ(m.Size(), 11);
  EXPECT_EQ(m.Position(), 11);
  m.SetPosition(6);
  char buf[8] = {};
  EXPECT_EQ(m.Read(buf, 8), 5);
  EXPECT_EQ(std::string(buf, 5), "world");
  EXPECT_EQ(m.Read(buf, 8), 0);
  m.SetPosition(5);
  m.WriteBuffer("!", 1);
  EXPECT_EQ(m.DataString(), "hello!world");
  m.Seek(0, TSeekOrigin::soEnd);
  EXPECT_THROW(m.ReadBuffer(buf, 1), EReadError);
  m.SetSize(5);
  EXPECT_EQ(m.DataString(), "hello");
  EXPECT_EQ(m.Position(), 5);
}

TEST(StreamsTest, FileStreamCreateReplacesAndOpenKeeps) {
  const std::string path = TempPath("a.bin");
  {
    TFileStream f(path, fmCreate);
    f.WriteBuffer("0123456789", 10);
  }
  {
    TFileStream f(path, fmCreate);  // replaced from its start, never appended to
    f.WriteBuffer("abc", 3);
    EXPECT_EQ(f.Size(), 3);
  }
  {
    TFileStream f(path, fmOpenReadWrite);
    f.Seek(0, TSeekOrigin::soEnd);
    f.WriteBuffer("de", 2);
  }
  TMemoryStream m;
  m.LoadFromFile(path);
  EXPECT_EQ(m.DataString(), "abcde");
  {
    TFileStream f(path, fmOpenRead);
    char c = 0;
    f.SetPosition(4);
    f.ReadBuffer(&c, 1);
    EXPECT_EQ(c, 'e');
    EXPECT_EQ(f.Write("x", 1), 0) << "a read-only stream writes nothing";
  }
  std::filesystem::remove(path);
}

TEST(StreamsTest, FileStreamErrorsNameTheFullPathAndTheReason) {
  try {
    TFileStream f("/nonexistent-dir/x.bin", fmCreate);
    FAIL() << "created a file in a missing folder";
  } catch (const EFCreateError& e) {
    // The full path as the system spells it (on Windows with its drive and backslashes).
    const std::string full =
        std::filesystem::absolute("/nonexistent-dir/x.bin").make_preferred().string();
    EXPECT_EQ(std::string(e.what()),
              "Datei \"" + full + "\" kann nicht erstellt werden. No such file or directory");
  }
  try {
    TFileStream f("no-such-file.bin", fmOpenWrite);
    FAIL() << "opened a missing file";
  } catch (const EFOpenError& e) {
    const std::string full = (std::filesystem::current_path() / "no-such-file.bin").string();
    EXPECT_EQ(std::string(e.what()),
              "Datei " + full + " kann nicht geöffnet werden. No such file or directory");
  }
}

#ifndef _WIN32
// A refused write raises where it is found out, with the file's full path and the system's
// reason: a large write at once, buffered bytes at the close, a file-size limit (in a child,
// SIGXFSZ ignored) at the write past it.
TEST(StreamsTest, RefusedWritesRaiseWithTheFileAndTheReason) {
  const std::string big(100000, 'x'), path = TempPath("limited.bin");
  const auto error_of = [](const std::function<void()>& action) {
    try {
      action();
    } catch (const EWriteError& e) {
      return std::string(e.what());
    }
    return std::string();
  };
  const std::string full = "Datei \"/dev/full\" kann nicht geschrieben werden. No space left on device";
  EXPECT_EQ(error_of([&] { TFileStream("/dev/full", fmCreate).WriteBuffer(big.data(), 100000); }), full);
  EXPECT_EQ(error_of([&] {
              TFileStream f("/dev/full", fmCreate);
              f.WriteBuffer("abc", 3);  // buffered
              f.Close();
            }),
            full);
  if (const pid_t child = ::fork(); child == 0) {
    const rlimit small{1000, 1000};
    ::signal(SIGXFSZ, SIG_IGN);
    ::setrlimit(RLIMIT_FSIZE, &small);
    const std::string expected = "Datei \"" + path + "\" kann nicht geschrieben werden. File too large";
    ::_exit(error_of([&] { TFileStream(path, fmCreate).WriteBuffer(big.data(), 100000); }) == expected ? 0 : 1);
  } else {
    int status = 1;
    ::waitpid(child, &status, 0);
    EXPECT_EQ(status, 0) << "no EWriteError past the file-size limit";
  }
  std::filesystem::remove(path);
}
#endif

TEST(StreamsTest, CopyFromCopiesAllOrACount) {
  TMemoryStream src;
  std::string big(200000, 'q');
  big[123456] = 'Z';
  src.WriteBuffer(big.data(), static_cast<int64_t>(big.size()));
  TMemoryStream dst;
  EXPECT_EQ(dst.CopyFrom(src, 0), 200000);
  EXPECT_EQ(dst.DataString(), big);
  src.SetPosition(123456);
  TMemoryStream part;
  part.CopyFrom(src, 1);
  EXPECT_EQ(part.DataString(), "Z");
  src.SetPosition(199999);
  EXPECT_THROW(part.CopyFrom(src, 2), EReadError);
}

TEST(StreamsTest, FileNamesAreUtf8WhateverTheSystemCodePage) {
  // "Ł" lies outside the Western code page: a narrow open would name another file.
  const std::string name = "tavo_rtl_\xC5\x81x \xC3\x84y.bin";
  const std::filesystem::path dir = std::filesystem::temp_directory_path();
  const std::string path = Utf8FromPath(dir / PathFromUtf8(name));
  {
    TFileStream f(path, fmCreate);
    f.WriteBuffer("umlaut", 6);
  }
  bool found = false;
  for (const auto& entry : std::filesystem::directory_iterator(dir))
    found = found || Utf8FromPath(entry.path().filename()) == name;
  EXPECT_TRUE(found) << "no directory entry named " << name;
  TMemoryStream m;
  m.LoadFromFile(path);
  EXPECT_EQ(m.DataString(), "umlaut");
  std::filesystem::remove(PathFromUtf8(path));
}
