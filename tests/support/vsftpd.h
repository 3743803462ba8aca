#pragma once
// A second real FTP server for integration tests: Debian's vsftpd, run in the foreground with
// a configuration of its own on 127.0.0.1 at an unprivileged port, serving one folder to
// anonymous users (passive and active mode). The constructor returns once it accepts
// connections; the destructor stops it with every session process it started.

#include <string>

#include "tests/support/child_process.h"

namespace tavo::testsupport {

struct VsFtpdOptions {
  // Folder served as "/". Empty: a fresh folder in the server's work folder. vsftpd refuses a
  // served folder that its users could write to.
  std::string root;
  // Extra configuration lines (NAME=VALUE), appended after the defaults.
  std::string extra_config;
  // Listen on ::1 instead of 127.0.0.1 (see HasIPv6Loopback).
  bool ipv6 = false;
};

class VsFtpd : public ServerProcess {
 public:
  explicit VsFtpd(VsFtpdOptions options = {});

  // vsftpd switches users and changes its root, which needs root rights.
  static bool CanRun();

  const std::string& Root() const { return root_; }
  // The server's log of commands and replies.
  std::string Log() const;

 private:
  std::string root_;
};

}  // namespace tavo::testsupport
