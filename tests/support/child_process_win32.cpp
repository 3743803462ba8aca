// GCC 12 warns of an overlapping copy inside std::string at -O3 here (a known false alarm).
#pragma GCC diagnostic ignored "-Wrestrict"
// ChildProcess for the Windows test programs under wine: the servers are Linux programs, which a
// Windows program cannot start, so the process host (process_host.py, run by scripts/wine-tests)
// starts them on the Linux side. One connection to the host per program; closing it ends the
// program's whole process group there.
#ifdef _WIN32

#include <cstdlib>
#include <deque>
#include <mutex>
#include <stdexcept>
#include <string>

#include "tests/support/child_process.h"
#include "tests/support/test_sockets.h"

namespace tavo::testsupport {
namespace {

using Clock = std::chrono::steady_clock;

std::string Hex(const std::string& s) {
  static const char* digits = "0123456789abcdef";
  std::string out(s.size() * 2, '0');
  for (size_t i = 0; i < s.size(); ++i) {
    const auto c = static_cast<unsigned char>(s[i]);
    out[2 * i] = digits[c >> 4];
    out[2 * i + 1] = digits[c & 15];
  }
  return out;
}

std::string Unhex(const std::string& s) {
  std::string out;
  for (size_t i = 0; i + 1 < s.size(); i += 2)
    out += static_cast<char>(std::stoi(s.substr(i, 2), nullptr, 16));
  return out;
}

// The Linux path of a path this program uses: wine's Z: is the Linux root, and a path that
// starts at the root of the current drive ("/tmp/...", also when std::filesystem joined a part
// with "\") is a Linux path already. Anything else (an option, a text) goes as it is.
std::string HostPath(std::string s) {
  if (s.size() >= 2 && (s[0] == 'Z' || s[0] == 'z') && s[1] == ':') s.erase(0, 2);
  if (!s.empty() && (s[0] == '/' || s[0] == '\\'))
    for (char& c : s)
      if (c == '\\') c = '/';
  return s;
}

int ConnectToHost() {
  const char* port = std::getenv("TAVO_PROCESS_HOST");
  if (port == nullptr || std::atoi(port) <= 0)
    throw std::runtime_error(
        "TAVO_PROCESS_HOST is not set: the Windows test programs start their servers through "
        "the process host that scripts/wine-tests runs");
  const int fd = OpenTcpSocket();
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(static_cast<uint16_t>(std::atoi(port)));
  if (fd < 0 || ::connect(static_cast<SOCKET>(fd), reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    if (fd >= 0) CloseSocket(fd);
    throw std::runtime_error("cannot reach the process host on port " + std::string(port));
  }
  return fd;
}

// The next line from the host within `limit`; false at the limit or when the host closed.
bool ReadHostLine(int fd, std::string& pending, std::string& line,
                  std::chrono::milliseconds limit) {
  const auto end = Clock::now() + limit;
  for (;;) {
    const size_t nl = pending.find('\n');
    if (nl != std::string::npos) {
      line = pending.substr(0, nl);
      pending.erase(0, nl + 1);
      return true;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
    if (left.count() < 0) return false;
    pollfd p = PollFor(fd, POLLIN);
    if (PollSockets(&p, 1, static_cast<int>(left.count())) <= 0) {
      if (left.count() == 0) return false;
      continue;
    }
    char buf[4096];
    const int n = ::recv(static_cast<SOCKET>(fd), buf, sizeof buf, 0);
    if (n <= 0) return false;
    pending.append(buf, static_cast<size_t>(n));
  }
}

struct HostChild {
  int fd = -1;
  std::string pending;
  std::vector<std::string> out_lines;
  int exit_status = -2;  // -2: still running as far as we know
};

// Takes in every line that is there already (or arrives within `limit`) until EXIT.
void Absorb(HostChild& c, std::chrono::milliseconds limit, bool until_exit) {
  const auto end = Clock::now() + limit;
  std::string line;
  while (c.exit_status == -2) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
    if (!ReadHostLine(c.fd, c.pending, line, left.count() > 0 ? left : std::chrono::milliseconds(0))) {
      return;
    }
    if (line.rfind("OUT ", 0) == 0) {
      c.out_lines.push_back(Unhex(line.substr(4)));
      if (!until_exit) return;
    } else if (line.rfind("EXIT ", 0) == 0) {
      c.exit_status = std::atoi(line.c_str() + 5);
    }
  }
}

// One entry per ChildProcess, never removed; pid_ holds its index. A deque keeps the entries
// where they are while other threads add theirs.
std::mutex children_mutex;
std::deque<HostChild>& Children() {
  static std::deque<HostChild> children;
  return children;
}

HostChild& Entry(pid_t index) {
  std::lock_guard<std::mutex> lock(children_mutex);
  return Children()[static_cast<size_t>(index)];
}

}  // namespace

ChildProcess::ChildProcess(ChildOptions options) {
  if (options.argv.empty()) throw std::runtime_error("child: no program");
  std::string request = "START ";
  request += options.capture_stdout ? "1" : "0";
  for (const auto& f : {options.stdin_file, options.stdout_file, options.stderr_file})
    request += " " + Hex(f == "/dev/null" ? f : HostPath(f));
  for (const auto& a : options.argv) request += " " + Hex(HostPath(a));
  request += "\n";

  HostChild child;
  child.fd = ConnectToHost();
  std::string line;
  if (::send(static_cast<SOCKET>(child.fd), request.data(), static_cast<int>(request.size()), 0) !=
          static_cast<int>(request.size()) ||
      !ReadHostLine(child.fd, child.pending, line, std::chrono::seconds(20)) ||
      line.rfind("STARTED ", 0) != 0) {
    CloseSocket(child.fd);
    const std::string why =
        line.rfind("ERROR ", 0) == 0 ? Unhex(line.substr(6)) : "no answer from the process host";
    throw std::runtime_error("child: cannot start " + options.argv[0] + ": " + why);
  }
  std::lock_guard<std::mutex> lock(children_mutex);
  Children().push_back(std::move(child));
  pid_ = static_cast<pid_t>(Children().size() - 1);
  stdout_fd_ = options.capture_stdout ? 1 : -1;
}

ChildProcess::~ChildProcess() { Stop(); }

int ChildProcess::ReadPortLine(std::chrono::milliseconds limit, std::string& failure) {
  if (stdout_fd_ < 0 || pid_ < 0) {
    failure = "stdout is not captured";
    return 0;
  }
  HostChild& c = Entry(pid_);
  Absorb(c, limit, false);
  if (c.out_lines.empty()) {
    failure = c.exit_status != -2 ? "the program ended before it reported its port"
                                  : "no port within the start limit";
    return 0;
  }
  const std::string& first = c.out_lines.front();
  const int port = first.rfind("PORT ", 0) == 0 ? std::atoi(first.c_str() + 5) : 0;
  if (port <= 0) failure = "unexpected first line: " + first;
  return port;
}

bool ChildProcess::Running() const {
  if (pid_ < 0) return false;
  HostChild& c = Entry(pid_);
  if (c.fd >= 0) Absorb(c, std::chrono::milliseconds(0), true);
  return c.exit_status == -2 && c.fd >= 0;
}

int ChildProcess::WaitExit(std::chrono::milliseconds limit) {
  if (pid_ < 0) return -1;
  HostChild& c = Entry(pid_);
  Absorb(c, limit, true);
  if (c.exit_status == -2) {
    Stop();
    return -1;
  }
  const int status = c.exit_status;
  Stop();  // the group may hold what the program left running
  return status;
}

void ChildProcess::Stop() {
  if (pid_ < 0) return;
  HostChild& c = Entry(pid_);
  if (c.fd >= 0) {
    static const char stop[] = "STOP\n";
    ::send(static_cast<SOCKET>(c.fd), stop, sizeof stop - 1, 0);
    Absorb(c, std::chrono::seconds(15), true);
    CloseSocket(c.fd);
    c.fd = -1;
  }
  pid_ = -1;
  stdout_fd_ = -1;
}

}  // namespace tavo::testsupport

#endif  // _WIN32
