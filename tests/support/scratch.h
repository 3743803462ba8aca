#pragma once
// Scratch folders and environment guards shared by the platform, window and launcher tests.

#include <stdlib.h>
#include <sys/stat.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>

#ifdef _WIN32
#include "tests/support/child_process.h"
#endif

namespace tavo::test {

// A fresh folder below /tmp, removed with everything in it when the test ends.
class ScratchDir {
 public:
  ScratchDir() {
#ifdef _WIN32
    // Below Linux's /tmp as the servers' folders are (see MakeTempDir).
    path_ = testsupport::MakeTempDir("tavo-test-");
#else
    std::string templ = "/tmp/tavo-test-XXXXXX";
    if (::mkdtemp(templ.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = templ;
#endif
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::string& Path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  // Writes a file with the given content and permission bits; returns its path.
  std::string Write(const std::string& name, const std::string& content, mode_t mode) const {
    const std::string file = *this / name;
    std::ofstream(file, std::ios::binary) << content;
    ::chmod(file.c_str(), mode);
    return file;
  }

 private:
  std::string path_;
};

// Sets (or, with nullopt, removes) an environment variable and puts the old value back.
#ifdef _WIN32
inline void SetEnv(const char* name, const char* value) { ::_putenv_s(name, value); }
inline void UnsetEnv(const char* name) { ::_putenv_s(name, ""); }  // "" removes it there
#else
inline void SetEnv(const char* name, const char* value) { ::setenv(name, value, 1); }
inline void UnsetEnv(const char* name) { ::unsetenv(name); }
#endif
class EnvGuard {
 public:
  EnvGuard(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = ::getenv(name)) old_ = old;
    if (value) {
      SetEnv(name, value->c_str());
    } else {
      UnsetEnv(name);
    }
  }
  ~EnvGuard() {
    if (old_) {
      SetEnv(name_, old_->c_str());
    } else {
      UnsetEnv(name_);
    }
  }
  EnvGuard(const EnvGuard&) = delete;
  EnvGuard& operator=(const EnvGuard&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

inline std::string ReadFile(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace tavo::test
