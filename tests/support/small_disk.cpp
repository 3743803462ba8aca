#include "tests/support/small_disk.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#ifndef _WIN32
#include <sys/mount.h>
#include <unistd.h>
#endif

namespace tavo::testsupport {

#ifdef _WIN32
SmallDisk::SmallDisk(size_t) : unavailable("no tmpfs on Windows") {}
SmallDisk::~SmallDisk() = default;
#else
SmallDisk::SmallDisk(size_t bytes) : path("/tmp/tavo-disk-XXXXXX") {
  const std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
  if (::mkdtemp(path.data()) == nullptr ||
      ::mount("tmpfs", path.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0)
    unavailable = std::string("no tmpfs: ") + std::strerror(errno);
}

SmallDisk::~SmallDisk() {
  // Lazily, so that a file a failed test left open cannot keep the mount.
  if (unavailable.empty()) ::umount2(path.c_str(), MNT_DETACH);
  std::error_code ignored;
  std::filesystem::remove_all(path, ignored);
}
#endif

}  // namespace tavo::testsupport
