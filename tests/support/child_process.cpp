#include "tests/support/child_process.h"

#ifdef _WIN32
#include <process.h>
#else
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "tests/support/test_sockets.h"

namespace tavo::testsupport {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

}  // namespace

// The Windows test programs start their servers through the process host
// (child_process_win32.cpp); everything from ServerProcess on is shared.
#ifndef _WIN32
namespace {

enum class ChildState { kRunning, kExited, kGone };

// Waits up to `limit` for the child to end but leaves it unreaped: as a zombie it keeps its
// process-group id reserved, so signalling the group afterwards cannot reach a stranger that
// was handed the same number. kGone: someone else reaped it already.
ChildState ExitedWithin(pid_t pid, std::chrono::milliseconds limit) {
  const auto end = Clock::now() + limit;
  for (;;) {
    siginfo_t info{};
    const int r = ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT);
    if (r == 0 && info.si_pid == pid) return ChildState::kExited;
    if (r < 0 && errno == ECHILD) return ChildState::kGone;
    if (Clock::now() >= end) return ChildState::kRunning;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

// Waits for the child to end for at most `limit`; its exit status, or -1.
int ReapWithin(pid_t pid, std::chrono::milliseconds limit) {
  const auto end = Clock::now() + limit;
  for (;;) {
    int status = 0;
    const pid_t r = ::waitpid(pid, &status, WNOHANG);
    if (r == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (r < 0 && errno == ECHILD) return -1;
    if (Clock::now() >= end) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace

ChildProcess::ChildProcess(ChildOptions options) {
  if (options.argv.empty()) throw std::runtime_error("child: no program");
  // Everything the child needs is prepared before fork: between fork and exec only
  // async-signal-safe calls are allowed (other test threads may hold locks).
  std::vector<char*> argv;
  for (auto& a : options.argv) argv.push_back(a.data());
  argv.push_back(nullptr);
  const int in_fd = ::open(options.stdin_file.c_str(), O_RDONLY | O_CLOEXEC);
  const int err_fd =
      ::open(options.stderr_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  const int null_fd =
      ::open(options.stdout_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  int out[2] = {-1, -1};
  const bool piped = !options.capture_stdout || ::pipe2(out, O_CLOEXEC) == 0;
  if (in_fd < 0 || err_fd < 0 || null_fd < 0 || !piped) {
    for (int fd : {in_fd, err_fd, null_fd, out[0], out[1]})
      if (fd >= 0) ::close(fd);
    throw std::runtime_error("child: cannot prepare the files of " + options.argv[0]);
  }
  const int out_fd = options.capture_stdout ? out[1] : null_fd;
  const pid_t parent = ::getpid();

  pid_ = ::fork();
  if (pid_ == 0) {
    ::setpgid(0, 0);
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(127);
    ::dup2(in_fd, 0);
    ::dup2(out_fd, 1);
    ::dup2(err_fd, 2);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  for (int fd : {in_fd, err_fd, null_fd, out[1]})
    if (fd >= 0) ::close(fd);
  if (pid_ < 0) {
    if (out[0] >= 0) ::close(out[0]);
    throw std::runtime_error("child: fork failed");
  }
  ::setpgid(pid_, pid_);  // also from here, so the group exists before we might signal it
  stdout_fd_ = out[0];
}

ChildProcess::~ChildProcess() { Stop(); }

int ChildProcess::ReadPortLine(std::chrono::milliseconds limit, std::string& failure) {
  if (stdout_fd_ < 0) {
    failure = "stdout is not captured";
    return 0;
  }
  std::string line;
  const auto end = Clock::now() + limit;
  while (line.find('\n') == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
    if (left.count() <= 0) {
      failure = "no port within the start limit";
      return 0;
    }
    pollfd p{stdout_fd_, POLLIN, 0};
    const int r = ::poll(&p, 1, static_cast<int>(left.count()));
    if (r <= 0) continue;  // EINTR or time-out: the loop decides
    char buf[256];
    const ssize_t n = ::read(stdout_fd_, buf, sizeof buf);
    if (n <= 0) {
      failure = "the program ended before it reported its port";
      return 0;
    }
    line.append(buf, static_cast<size_t>(n));
  }
  const int port = line.rfind("PORT ", 0) == 0 ? std::atoi(line.c_str() + 5) : 0;
  if (port <= 0) failure = "unexpected first line: " + line;
  return port;
}

bool ChildProcess::Running() const {
  return pid_ > 0 && ExitedWithin(pid_, std::chrono::milliseconds(0)) == ChildState::kRunning;
}

int ChildProcess::WaitExit(std::chrono::milliseconds limit) {
  if (pid_ <= 0) return -1;
  if (ExitedWithin(pid_, limit) == ChildState::kRunning) {
    Stop();
    return -1;
  }
  // The group may hold what the child left running; it goes before the leader is reaped.
  ::kill(-pid_, SIGKILL);
  const int status = ReapWithin(pid_, std::chrono::seconds(5));
  pid_ = -1;
  if (stdout_fd_ >= 0) ::close(stdout_fd_);
  stdout_fd_ = -1;
  return status;
}

void ChildProcess::Stop() {
  if (stdout_fd_ >= 0) ::close(stdout_fd_);
  stdout_fd_ = -1;
  if (pid_ <= 0) return;
  ::kill(-pid_, SIGTERM);
  ChildState state = ExitedWithin(pid_, std::chrono::seconds(5));
  if (state == ChildState::kRunning) {
    ::kill(-pid_, SIGKILL);
    state = ExitedWithin(pid_, std::chrono::seconds(5));
  }
  // Anything the child itself started goes too. The leader is not reaped yet, so the group id
  // is still ours; once reaped, the number could belong to someone else's group.
  if (state != ChildState::kGone) ::kill(-pid_, SIGKILL);
  ReapWithin(pid_, std::chrono::seconds(5));
  pid_ = -1;
}

#endif  // !_WIN32

ServerProcess::ServerProcess(const std::string& prefix) : work_dir_(MakeTempDir(prefix)) {}

namespace {
// Removes a server's folder. Under wine the Linux side does it: a symbolic link whose target
// has gone already cannot be removed from there, and the runtime's remove_all keeps trying.
void RemoveTree(const std::string& dir) {
#ifdef _WIN32
  RunProgram({"/bin/rm", "-rf", dir}, std::chrono::seconds(60));
#else
  std::error_code ec;
  fs::remove_all(dir, ec);
#endif
}
}  // namespace

ServerProcess::~ServerProcess() {
  Stop();
  RemoveTree(work_dir_);
}

void ServerProcess::Stop() {
  if (process_) process_->Stop();
}

std::string ServerProcess::WorkFile(const std::string& name) const {
  // With "/" on Windows too: the name may go to a server on the Linux side (wine-tests).
  return work_dir_ + "/" + name;
}

ChildProcess& ServerProcess::Start(std::vector<std::string> argv, bool capture_stdout) {
  process_ = std::make_unique<ChildProcess>(ChildOptions{.argv = std::move(argv),
                                                         .stderr_file = WorkFile("stderr.log"),
                                                         .capture_stdout = capture_stdout});
  return *process_;
}

void ServerProcess::StartReportingPort(std::vector<std::string> argv, const std::string& what) {
  constexpr auto kStartLimit = std::chrono::seconds(20);
  std::string failure;
  try {
    port_ = Start(std::move(argv), true).ReadPortLine(kStartLimit, failure);
  } catch (const std::exception& e) {
    failure = e.what();
  }
  if (port_ <= 0) Fail(what, failure);
}

void ServerProcess::Fail(const std::string& what, const std::string& why) {
  Stop();
  const std::string err = ReadWholeFile(WorkFile("stderr.log"));
  RemoveTree(work_dir_);
  throw std::runtime_error(what + ": " + why + "\n" + err);
}

ProgramResult RunProgram(const std::vector<std::string>& argv, std::chrono::milliseconds limit,
                         const std::string& stdin_file) {
  const std::string dir = MakeTempDir("tavo-run-");
  ChildOptions options;
  options.argv = argv;
  options.stdin_file = stdin_file;
  options.stdout_file = dir + "/out";
  options.stderr_file = dir + "/err";
  ProgramResult result;
  {
    ChildProcess child(options);
    result.exit_code = child.WaitExit(limit);
  }
  result.out = ReadWholeFile(options.stdout_file);
  result.err = ReadWholeFile(options.stderr_file);
  std::error_code ec;
  fs::remove_all(dir, ec);
  return result;
}

int FreeLoopbackPort() {
  const int fd = OpenTcpSocket();
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  int port = 0;
  if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
    port = ntohs(a.sin_port);
  if (fd >= 0) CloseSocket(fd);
  if (port == 0) throw std::runtime_error("no free loopback port");
  return port;
}

namespace {

// Connects once to the loopback address of the family at `port`.
bool ConnectsToLoopback(int port, bool AIPv6) {
  const int fd = OpenTcpSocket(false, AIPv6 ? AF_INET6 : AF_INET);
  if (fd < 0) return false;
  bool ok;
  if (AIPv6) {
    sockaddr_in6 a{};
    a.sin6_family = AF_INET6;
    a.sin6_addr = in6addr_loopback;
    a.sin6_port = htons(static_cast<uint16_t>(port));
    ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  } else {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port));
    ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  }
  CloseSocket(fd);
  return ok;
}

}  // namespace

bool WaitUntilListening(int port, std::chrono::milliseconds limit, bool AIPv6) {
  const auto end = Clock::now() + limit;
  while (Clock::now() < end) {
    if (ConnectsToLoopback(port, AIPv6)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

bool HasIPv6Loopback() {
  const int fd = OpenTcpSocket(false, AF_INET6);
  if (fd < 0) return false;
  sockaddr_in6 a{};
  a.sin6_family = AF_INET6;
  a.sin6_addr = in6addr_loopback;
  const bool ok = ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  CloseSocket(fd);
  return ok;
}

#ifdef _WIN32
// Below Linux's /tmp, which the Windows program sees as \tmp of its drive (wine's Z:), so that
// a server the process host starts on Linux can be handed the same path.
std::string MakeTempDir(const std::string& prefix) {
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string dir = "/tmp/" + prefix + std::to_string(::_getpid()) + "-" +
                            std::to_string(counter++);
    std::error_code ec;
    if (fs::create_directory(dir, ec)) return dir;
  }
  throw std::runtime_error("cannot make a folder for " + prefix + " below /tmp");
}
#else
std::string MakeTempDir(const std::string& prefix) {
  std::string templ = (fs::temp_directory_path() / (prefix + "XXXXXX")).string();
  std::vector<char> buf(templ.begin(), templ.end());
  buf.push_back('\0');
  if (!::mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed for " + templ);
  return std::string(buf.data());
}
#endif

#ifdef _WIN32
bool ServersRunAsRoot() {
  static const bool root = RunProgram({"/usr/bin/id", "-u"}, std::chrono::seconds(30)).out == "0\n";
  return root;
}
// Wine shows the Linux root as a drive, so the file is there to be seen; whether it may be run
// is the Linux side's business.
bool ServerProgramExists(const std::string& path) { return fs::exists(path); }
#else
bool ServersRunAsRoot() { return ::geteuid() == 0; }
bool ServerProgramExists(const std::string& path) { return ::access(path.c_str(), X_OK) == 0; }
#endif

void MakeServerSymlink(const std::string& target, const std::string& link) {
#ifdef _WIN32
  if (RunProgram({"/bin/ln", "-s", target, link}, std::chrono::seconds(30)).exit_code != 0)
    throw std::runtime_error("cannot make the link " + link);
#else
  fs::create_symlink(target, link);
#endif
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace tavo::testsupport
