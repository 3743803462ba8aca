#include "tests/support/child_process.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace tavo::testsupport {
namespace {

namespace fs = std::filesystem;

enum class ChildState { kRunning, kExited, kGone };

// Waits up to `limit` for the child to end but leaves it unreaped: as a zombie it keeps its
// process-group id reserved, so signalling the group afterwards cannot reach a stranger that
// was handed the same number. kGone: someone else reaped it already.
ChildState ExitedWithin(pid_t pid, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  for (;;) {
    siginfo_t info{};
    const int r = ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT);
    if (r == 0 && info.si_pid == pid) return ChildState::kExited;
    if (r < 0 && errno == ECHILD) return ChildState::kGone;
    if (std::chrono::steady_clock::now() >= end) return ChildState::kRunning;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

// Waits for the child to end for at most `limit`; true when it was reaped.
bool ReapWithin(pid_t pid, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  for (;;) {
    int status = 0;
    const pid_t r = ::waitpid(pid, &status, WNOHANG);
    if (r == pid || (r < 0 && errno == ECHILD)) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace

ChildProcess::ChildProcess(std::vector<std::string> args, std::string stderr_file) {
  // Everything the child needs is prepared before fork: between fork and exec only
  // async-signal-safe calls are allowed (other test threads may hold locks).
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const int err_fd = ::open(stderr_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  const int null_fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  int out[2];
  if (err_fd < 0 || null_fd < 0 || ::pipe2(out, O_CLOEXEC) != 0) {
    if (err_fd >= 0) ::close(err_fd);
    if (null_fd >= 0) ::close(null_fd);
    throw std::runtime_error("cannot prepare the files of " + args[0]);
  }
  const pid_t parent = ::getpid();

  pid_ = ::fork();
  if (pid_ == 0) {
    ::setpgid(0, 0);
    // Dies with the test process, so a crashed test leaves no server.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(127);
    ::dup2(null_fd, 0);
    ::dup2(out[1], 1);
    ::dup2(err_fd, 2);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(out[1]);
  ::close(err_fd);
  ::close(null_fd);
  if (pid_ < 0) {
    ::close(out[0]);
    throw std::runtime_error("fork failed for " + args[0]);
  }
  ::setpgid(pid_, pid_);  // also from here, so the group exists before we might signal it
  out_fd_ = out[0];
}

ChildProcess::~ChildProcess() { Stop(); }

std::string ChildProcess::ReadLine(std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  size_t eol;
  while ((eol = pending_.find('\n')) == std::string::npos) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    if (left.count() <= 0 || out_fd_ < 0) throw std::runtime_error("no line from the server in time");
    pollfd p{out_fd_, POLLIN, 0};
    const int r = ::poll(&p, 1, static_cast<int>(left.count()));
    if (r <= 0) continue;
    char buf[256];
    const ssize_t n = ::read(out_fd_, buf, sizeof buf);
    if (n <= 0) throw std::runtime_error("the server closed its output");
    pending_.append(buf, static_cast<size_t>(n));
  }
  std::string line = pending_.substr(0, eol);
  pending_.erase(0, eol + 1);
  return line;
}

std::string ChildProcess::TakePending() {
  std::string rest;
  rest.swap(pending_);
  return rest;
}

int ChildProcess::Wait(std::chrono::steady_clock::time_point deadline) {
  while (pid_ > 0) {
    int status = 0;
    const pid_t r = ::waitpid(pid_, &status, WNOHANG);
    if (r == pid_) {
      pid_ = -1;
      return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    if (r < 0) break;
    if (std::chrono::steady_clock::now() >= deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  Stop();
  return -1;
}

bool ChildProcess::Running() const {
  return pid_ > 0 && ExitedWithin(pid_, std::chrono::milliseconds(0)) == ChildState::kRunning;
}

void ChildProcess::Stop() {
  if (out_fd_ >= 0) ::close(out_fd_);
  out_fd_ = -1;
  if (pid_ <= 0) return;
  ::kill(-pid_, SIGTERM);
  ChildState state = ExitedWithin(pid_, std::chrono::seconds(5));
  if (state == ChildState::kRunning) {
    ::kill(-pid_, SIGKILL);
    state = ExitedWithin(pid_, std::chrono::seconds(5));
  }
  // Anything the server itself started goes too. The leader is not reaped yet, so the group id
  // is still ours; once reaped, the number could belong to someone else's group.
  if (state != ChildState::kGone) ::kill(-pid_, SIGKILL);
  ReapWithin(pid_, std::chrono::seconds(5));
  pid_ = -1;
}

ProgramResult RunProgram(std::vector<std::string> args, std::chrono::milliseconds limit) {
  const std::string dir = MakeTempDir("tavo-run");
  const std::string out_file = dir + "/out";
  ProgramResult result;
  {
    // Standard output goes to a file (through the child's pipe, read here until it ends).
    ChildProcess child(std::move(args), dir + "/err");
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          end - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      try {
        result.out += child.ReadLine(left) + "\n";
      } catch (const std::runtime_error&) {
        break;  // output closed (the program ended) or the limit ran out
      }
    }
    result.out += child.TakePending();
    result.exit_code = child.Wait(end);
  }
  result.err = ReadWholeFile(dir + "/err");
  std::error_code ec;
  fs::remove_all(dir, ec);
  return result;
}

std::string MakeTempDir(const std::string& prefix) {
  std::string templ = (fs::temp_directory_path() / (prefix + "-XXXXXX")).string();
  if (!::mkdtemp(templ.data())) throw std::runtime_error("mkdtemp failed for " + prefix);
  return templ;
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

int FreeLoopbackPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  const bool ok = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
                  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0;
  if (fd >= 0) ::close(fd);
  if (!ok) throw std::runtime_error("no free loopback port");
  return ntohs(a.sin_port);
}

bool WaitUntilListening(int port, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port));
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(fd);
    if (ok) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

}  // namespace tavo::testsupport
