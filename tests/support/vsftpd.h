#pragma once
// A second real FTP server for integration tests: Debian's vsftpd, run in the foreground with
// a configuration of its own on 127.0.0.1 at an unprivileged port, serving one folder to
// anonymous users (passive and active mode). The constructor returns once it accepts
// connections; the destructor stops it with every session process it started.

#include <memory>
#include <string>

namespace tavo::testsupport {

class ChildProcess;

struct VsFtpdOptions {
  // Folder served as "/". Empty: a fresh folder below the server's work folder, removed by the
  // destructor. vsftpd refuses a served folder that its users could write to.
  std::string root;
  // Extra configuration lines (NAME=VALUE), appended after the defaults.
  std::string extra_config;
};

class VsFtpd {
 public:
  explicit VsFtpd(VsFtpdOptions options = {});
  ~VsFtpd();
  VsFtpd(const VsFtpd&) = delete;
  VsFtpd& operator=(const VsFtpd&) = delete;

  // vsftpd switches users and changes its root, which needs root rights.
  static bool CanRun();

  const std::string& Host() const { return host_; }
  int Port() const { return port_; }
  const std::string& Root() const { return root_; }
  // The server's log of commands and replies.
  std::string Log() const;
  void Stop();

 private:
  std::string host_ = "127.0.0.1";
  int port_ = 0;
  std::string work_dir_;
  std::string root_;
  std::unique_ptr<ChildProcess> process_;
};

}  // namespace tavo::testsupport
