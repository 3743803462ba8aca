#include "tests/support/socks_proxies.h"


#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

namespace tavo::testsupport {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr const char* kDanted = "/usr/sbin/danted";
constexpr const char* kPython = "/usr/bin/python3";     // Debian's, which has twisted
constexpr auto kStartLimit = std::chrono::seconds(20);  // dante's start
// Dante takes its port from its configuration; the one handed out can be taken by someone
// else before dante binds it, so a start that finds it in use tries another.
constexpr int kDanteStartTries = 5;


std::string DanteConfig(const DanteOptions& options, const std::string& log_file, int port) {
  std::string c;
  c += "logoutput: " + log_file + "\n";
  c += "internal: 127.0.0.1 port = " + std::to_string(port) + "\n";
  c += options.ipv6_external ? "external: ::1\n" : "external: 127.0.0.1\n";
  c += "clientmethod: none\n";
  c += std::string("socksmethod: ") + (options.username_method ? "username" : "none") + "\n";
  // As root dante drops to "nobody" where it can and needs root to read the password database.
  if (ServersRunAsRoot()) c += "user.privileged: root\nuser.unprivileged: nobody\n";
  // Clients from loopback only, and onward to loopback only.
  c += "client pass { from: 127.0.0.0/8 to: 127.0.0.0/8 log: connect disconnect error }\n";
  c += options.ipv6_external
           ? "socks pass { from: 127.0.0.0/8 to: ::1/128 log: connect disconnect error }\n"
           : "socks pass { from: 127.0.0.0/8 to: 127.0.0.0/8 log: connect disconnect error }\n";
  return c;
}

}  // namespace

// ---- dante ----------------------------------------------------------------------------------

std::string Dante::Unavailable(const DanteOptions& options) {
  if (!ServerProgramExists(kDanted))
    return "dante-server is not installed (no " + std::string(kDanted) + ")";
  if (options.username_method && !ServersRunAsRoot())
    return "dante checks user names and passwords against the system's accounts, which needs "
           "root";
  return {};
}

Dante::Dante(DanteOptions options) : ServerProcess("tavo-dante-") {
  if (const std::string why = Unavailable(options); !why.empty()) Fail("dante", why);
  const std::string conf_file = WorkFile("sockd.conf");
  const std::string log_file = WorkFile("sockd.log");

  std::string failure;
  for (int attempt = 0; attempt < kDanteStartTries && port_ == 0; ++attempt) {
    const int port = FreeLoopbackPort();
    fs::remove(log_file);
    std::ofstream(conf_file, std::ios::binary) << DanteConfig(options, log_file, port);
    // -N 1: one process of each kind is plenty for a test; no -D, so it stays in our group.
    ChildProcess& process =
        Start({kDanted, "-f", conf_file, "-p", WorkFile("sockd.pid"), "-N", "1"}, false);
    // Dante announces itself in its log only once it listens.
    const auto end = Clock::now() + kStartLimit;
    failure = "no start within the limit";
    while (Clock::now() < end) {
      const std::string log = ReadWholeFile(log_file);
      if (log.find(" running") != std::string::npos) {
        port_ = port;
        break;
      }
      if (!process.Running()) {
        failure = log;
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (port_ == 0) Stop();
    if (failure.find("Address already in use") == std::string::npos) break;
  }
  if (port_ == 0) Fail("dante did not start", failure);
}

std::string Dante::Log() const {
  return ReadWholeFile(WorkFile("sockd.log")) + ReadWholeFile(WorkFile("stderr.log"));
}

// ---- twisted's SOCKS 4 and 4A server --------------------------------------------------------

std::string Socks4Server::Unavailable() {
  static const std::string why = [] {
    if (!ServerProgramExists(kPython)) return std::string("no ") + kPython;
    const int status =
        RunProgram({kPython, "-c", "import twisted.protocols.socks"}, std::chrono::seconds(30))
            .exit_code;
    return status == 0 ? std::string()
                       : std::string("python3-twisted is not installed for ") + kPython;
  }();
  return why;
}

Socks4Server::Socks4Server(Socks4ServerOptions options) : ServerProcess("tavo-socks4-") {
  if (const std::string why = Unavailable(); !why.empty()) Fail("SOCKS 4 server", why);
  const std::string script = fs::path(__FILE__).parent_path().generic_string() + "/socks4_server.py";
  std::vector<std::string> args = {kPython, "-u", script, "--log-file", WorkFile("proxy.log")};
  args.insert(args.end(), {"--max-seconds", std::to_string(options.max_seconds)});
  for (const auto& [name, address] : options.aliases)
    args.insert(args.end(), {"--alias", name + "=" + address});
  StartReportingPort(std::move(args), "SOCKS 4 server did not start");
}

std::string Socks4Server::Log() const {
  return ReadWholeFile(WorkFile("proxy.log")) + ReadWholeFile(WorkFile("stderr.log"));
}

// ---- system account -------------------------------------------------------------------------

std::string ThrowAwaySystemUser::Unavailable() {
  if (!ServersRunAsRoot()) return "creating a system account needs root";
  if (!ServerProgramExists("/usr/sbin/useradd") || !ServerProgramExists("/usr/sbin/chpasswd"))
    return "useradd or chpasswd is missing";
  return {};
}

ThrowAwaySystemUser::ThrowAwaySystemUser() {
  if (const std::string why = Unavailable(); !why.empty()) throw std::runtime_error(why);
  const std::string id = std::to_string(::getpid());
  name_ = "tavosocks" + id;
  password_ = "Tv-" + id + "-q7!";
  constexpr auto kLimit = std::chrono::seconds(30);
  // No home, no group of its own, no login shell: the account exists only to be checked.
  if (RunProgram({"/usr/sbin/useradd", "-M", "-N", "-s", "/usr/sbin/nologin", name_}, kLimit)
          .exit_code != 0)
    throw std::runtime_error("useradd " + name_ + " failed");
  const std::string dir = MakeTempDir("tavo-user-");
  const std::string input = (fs::path(dir) / "chpasswd").string();
  std::ofstream(input, std::ios::binary) << name_ << ":" << password_ << "\n";
  const int status = RunProgram({"/usr/sbin/chpasswd"}, kLimit, input).exit_code;
  std::error_code ec;
  fs::remove_all(dir, ec);
  if (status != 0) {
    RunProgram({"/usr/sbin/userdel", name_}, kLimit);
    throw std::runtime_error("chpasswd for " + name_ + " failed");
  }
}

ThrowAwaySystemUser::~ThrowAwaySystemUser() {
  RunProgram({"/usr/sbin/userdel", name_}, std::chrono::seconds(30));
}

}  // namespace tavo::testsupport
