#pragma once
// Real SOCKS proxies for integration tests, each on 127.0.0.1 at a port of its own, started by
// the constructor (which returns once the proxy listens) and stopped by the destructor, also
// when the test failed. Both keep a log of the connections they pass on, so a test can show
// that its connection went through the proxy.
//
//   Dante: Debian's dante-server (/usr/sbin/danted), SOCKS 4 and 5, optionally with user-name
//   and password authentication against the system's accounts (root only).
//   Socks4Server: python3-twisted's SOCKS 4 and 4A server, run by Debian's /usr/bin/python3.
//
// Create them on a thread that lives at least as long as the proxy: the proxy is also killed
// when the creating thread ends.

#include <string>
#include <vector>

#include "tests/support/child_process.h"

namespace tavo::testsupport {

struct DanteOptions {
  // SOCKS 5 clients must log in with a system account's name and password ("socksmethod:
  // username"); checking those needs root. Otherwise no authentication.
  bool username_method = false;
  // Onward connections leave from ::1 to IPv6 targets (clients still come over 127.0.0.1).
  bool ipv6_external = false;
};

class Dante : public ServerProcess {
 public:
  explicit Dante(DanteOptions options = {});

  // Why dante cannot run here, or empty when it can (the test skips with that reason).
  static std::string Unavailable(const DanteOptions& options = {});

  // Dante's own log: one "tcp/accept" line per client and one "tcp/connect" line per onward
  // connection, "<client> <proxy> -> <proxy's own end> <target>" (addresses as a.b.c.d.port;
  // a client that logged in as "<method>%<user>@<client>").
  std::string Log() const;
};

struct Socks4ServerOptions {
  // Host names only this proxy resolves (name -> dotted address), for SOCKS 4A requests.
  std::vector<std::pair<std::string, std::string>> aliases;
  int max_seconds = 900;  // the proxy kills itself after this long in case nobody stops it
};

class Socks4Server : public ServerProcess {
 public:
  explicit Socks4Server(Socks4ServerOptions options = {});

  // Why the proxy cannot run here (python3-twisted missing), or empty when it can.
  static std::string Unavailable();

  // One line per event: "resolve <name>", "request <client> -> <target>:<port> user <id>",
  // "connected <client> via <proxy's own port> -> <address>:<port>".
  std::string Log() const;
};

// A system account for a test (dante's user-name check), removed again by the destructor.
// Needs root: Unavailable says why not.
class ThrowAwaySystemUser {
 public:
  ThrowAwaySystemUser();
  ~ThrowAwaySystemUser();
  ThrowAwaySystemUser(const ThrowAwaySystemUser&) = delete;
  ThrowAwaySystemUser& operator=(const ThrowAwaySystemUser&) = delete;

  static std::string Unavailable();

  const std::string& Name() const { return name_; }
  const std::string& Password() const { return password_; }

 private:
  std::string name_;
  std::string password_;
};

}  // namespace tavo::testsupport
