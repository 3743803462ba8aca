#pragma once
// A nearly full disk for tests: a tmpfs of a given size mounted on a fresh folder, unmounted
// and removed again by the destructor. Mounting needs root (CI runs as root); elsewhere
// Unavailable() says why, and tests take an unprivileged way instead (a file-size limit, or
// /dev/full).

#include <cstddef>
#include <string>

namespace tavo::testsupport {

class SmallDisk {
 public:
  explicit SmallDisk(size_t bytes);
  ~SmallDisk();
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;

  // Why no disk could be mounted; empty when Path() is one.
  const std::string& Unavailable() const { return unavailable_; }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  std::string unavailable_;
  bool mounted_ = false;
};

}  // namespace tavo::testsupport
