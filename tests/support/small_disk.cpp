#include "tests/support/small_disk.h"

#ifndef _WIN32
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

#include <filesystem>

namespace tavo::testsupport {

#ifdef _WIN32
SmallDisk::SmallDisk(size_t) : unavailable_("no tmpfs on Windows") {}
SmallDisk::~SmallDisk() = default;
#else
SmallDisk::SmallDisk(size_t bytes) {
  std::string folder = "/tmp/tavo-disk-XXXXXX";
  if (::mkdtemp(folder.data()) == nullptr) {
    unavailable_ = std::string("mkdtemp: ") + std::strerror(errno);
    return;
  }
  path_ = folder;
  if (::geteuid() != 0) {
    unavailable_ = "mounting a tmpfs needs root";
    return;
  }
  const std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
  if (::mount("tmpfs", path_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0) {
    unavailable_ = std::string("mount tmpfs: ") + std::strerror(errno);
    return;
  }
  mounted_ = true;
}

SmallDisk::~SmallDisk() {
  // Lazily, so that a file a failed test left open cannot keep the mount.
  if (mounted_) ::umount2(path_.c_str(), MNT_DETACH);
  std::error_code ignored;
  if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}
#endif

}  // namespace tavo::testsupport
