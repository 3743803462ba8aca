#include "platform/file_commit.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tavo::platform {

TPathKind PathKind(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return TPathKind::pkMissing;
  if (S_ISREG(st.st_mode)) return TPathKind::pkFile;
  if (S_ISDIR(st.st_mode)) return TPathKind::pkFolder;
  return TPathKind::pkOther;
}

bool PathEntryExists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

TFsResult CreateNewFile(const std::string& path, std::string& reason) {
  // 0666: the umask takes away what a new file of this user should not have.
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) {
    reason = std::strerror(errno);
    return errno == EEXIST ? TFsResult::frExists : TFsResult::frFailed;
  }
  ::close(fd);
  return TFsResult::frDone;
}

TFsResult MoveIntoPlace(const std::string& from, const std::string& to, bool replace,
                        std::string& reason) {
  if (replace) {
    if (::rename(from.c_str(), to.c_str()) == 0) return TFsResult::frDone;
    reason = std::strerror(errno);
    return TFsResult::frFailed;
  }
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
    return TFsResult::frDone;
  if (errno != EINVAL && errno != ENOSYS) {
    reason = std::strerror(errno);
    return errno == EEXIST ? TFsResult::frExists : TFsResult::frFailed;
  }
  // A file system (or kernel) without the exclusive rename: a second name fails just as
  // surely when the name is taken, and the temporary one then goes.
  if (::link(from.c_str(), to.c_str()) != 0) {
    reason = std::strerror(errno);
    return errno == EEXIST ? TFsResult::frExists : TFsResult::frFailed;
  }
  ::unlink(from.c_str());
  return TFsResult::frDone;
}

bool RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

}  // namespace tavo::platform
