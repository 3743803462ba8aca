#include "platform/files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace tavo::platform {

namespace {

// lstat() on "dir/" follows a symbolic link named "dir"; the checks below must see the link
// itself, so trailing separators go (but "/" stays "/").
std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

}  // namespace

char PathDelimiter() { return '/'; }

std::string NativePath(const std::string& path) {
  std::string result = path;
  for (char& c : result) {
    if (c == '\\') c = '/';
  }
  return result;
}

std::string GetTempPath() {
  std::string folder;
  if (const char* tmpdir = std::getenv("TMPDIR"); tmpdir != nullptr && *tmpdir != '\0') {
    folder = tmpdir;
  } else {
    folder = "/tmp";
  }
  if (folder.back() != '/') folder += '/';
  return folder;
}

bool DirectoryExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool CreateDir(const std::string& path) {
  return !path.empty() && ::mkdir(path.c_str(), 0777) == 0;
}

bool ForcePrivateDirectory(const std::string& path) {
  if (path.empty()) return false;
  const std::string dir = WithoutTrailingSlashes(path);
  struct stat st {};
  if (::lstat(dir.c_str(), &st) != 0) {
    if (errno != ENOENT) return false;
    if (::mkdir(dir.c_str(), 0700) != 0) {
      // Another process may have created it in between; it gets the same checks below.
      if (errno != EEXIST) return false;
    } else {
      // mkdir() honours the umask; a folder we cannot enter or write to is of no use.
      if (::chmod(dir.c_str(), 0700) != 0) return false;
    }
    if (::lstat(dir.c_str(), &st) != 0) return false;
  }
  // The shared temporary folder lets any local user place entries in it; only a real folder
  // that we own and nobody else can write to is safe to start downloaded programs from.
  if (!S_ISDIR(st.st_mode)) return false;
  if (st.st_uid != ::geteuid()) return false;
  if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0) return false;
  return true;
}

}  // namespace tavo::platform
