#pragma once
// A nearly full disk: a tmpfs of the given size on a fresh folder, gone with the destructor.
// Mounting needs root (CI has it); elsewhere Unavailable() says why, and tests take an
// unprivileged way instead (a file-size limit, /dev/full).

#include <cstddef>
#include <string>

namespace tavo::testsupport {

struct SmallDisk {
  explicit SmallDisk(size_t bytes);
  ~SmallDisk();
  std::string Unavailable() const { return unavailable; }  // empty: Path() is one
  std::string Path() const { return path; }

  std::string path, unavailable;
};

}  // namespace tavo::testsupport
