#pragma once
// A real FTP server for integration tests: pyftpdlib run by Debian's /usr/bin/python3 on
// 127.0.0.1 at an ephemeral port. The constructor returns once the server listens; the
// destructor stops the server's whole process group, also when the test failed.

#include <string>

#include "tests/support/child_process.h"

namespace tavo::testsupport {

struct PyFtpdOptions {
  // The loopback address it listens on: "127.0.0.1", or "::1" (see HasIPv6Loopback).
  std::string host = "127.0.0.1";
  std::string user = "tester";  // empty: no named account
  std::string password = "secret";
  bool anonymous = false;
  // Folder served as "/". Empty: a fresh temporary folder, removed by the destructor.
  std::string root;
  // pyftpdlib permission letters for the accounts (e = change dir, l = list, r = retrieve, ...).
  std::string permissions = "elr";
  // Passive data ports; 0/0 leaves the choice to the system.
  int passive_low = 0;
  int passive_high = 0;
  // Greeting text after "220 " (empty: pyftpdlib's own).
  std::string banner;
  // Python source run before the server starts, with FTPHandler in scope. When it defines a
  // class Handler, that class serves sessions: override ftp_<COMMAND> or respond to inject
  // faults.
  std::string handler_code;
  // One of the named faults of pyftpd_faults.py ("no-greeting", "retr-426-after-part", ...),
  // committed on top of handler_code. Empty: none.
  std::string fault;
  // Explicit TLS (required on control and data connections) with this certificate and key;
  // empty: plain FTP only (AUTH TLS is refused).
  std::string tls_cert;
  std::string tls_key;
  // The server kills itself after this many seconds in case nobody stops it.
  int max_seconds = 900;
};

// Create it on a thread that lives at least as long as the server: the server is also killed
// when the creating thread ends (so a crashed test leaves no server behind).
class PyFtpd : public ServerProcess {
 public:
  explicit PyFtpd(PyFtpdOptions options = {});

  const std::string& Root() const { return root_; }
  const PyFtpdOptions& Options() const { return options_; }
  // The server's own log (commands and replies), for failure messages.
  std::string Log() const;

 private:
  PyFtpdOptions options_;
  std::string root_;
};

// Path of the server script beside this file.
std::string PyFtpdScript();

}  // namespace tavo::testsupport
