#include "tests/support/pyftpd.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <vector>

namespace tavo::testsupport {
namespace {

namespace fs = std::filesystem;

constexpr const char* kPython = "/usr/bin/python3";  // Debian's, which has pyftpdlib
constexpr auto kStartLimit = std::chrono::seconds(20);

std::string MakeTempDir() {
  std::string templ = (fs::temp_directory_path() / "tavo-pyftpd-XXXXXX").string();
  std::vector<char> buf(templ.begin(), templ.end());
  buf.push_back('\0');
  if (!::mkdtemp(buf.data())) throw std::runtime_error("pyftpd: mkdtemp failed");
  return std::string(buf.data());
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

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

std::string PyFtpdScript() {
  return (fs::path(__FILE__).parent_path() / "pyftpd_server.py").string();
}

PyFtpd::PyFtpd(PyFtpdOptions options) : options_(std::move(options)) {
  work_dir_ = MakeTempDir();
  // A root of our own lives inside the work folder, so the destructor removes both.
  if (options_.root.empty()) {
    root_ = (fs::path(work_dir_) / "root").string();
    fs::create_directory(root_);
  } else {
    root_ = options_.root;
  }

  const std::string log_file = (fs::path(work_dir_) / "server.log").string();
  const std::string err_file = (fs::path(work_dir_) / "stderr.log").string();
  std::vector<std::string> args = {kPython, "-u", PyFtpdScript(), "--root", root_,
                                   "--perm", options_.permissions, "--log-file", log_file,
                                   "--max-seconds", std::to_string(options_.max_seconds)};
  if (!options_.user.empty()) {
    args.insert(args.end(), {"--user", options_.user, "--password", options_.password});
  }
  if (options_.anonymous) args.push_back("--anonymous");
  if (options_.passive_low > 0 && options_.passive_high > 0) {
    args.insert(args.end(), {"--passive-low", std::to_string(options_.passive_low),
                             "--passive-high", std::to_string(options_.passive_high)});
  }
  if (!options_.banner.empty()) args.insert(args.end(), {"--banner", options_.banner});
  if (!options_.handler_code.empty()) {
    const std::string handler_file = (fs::path(work_dir_) / "handler.py").string();
    std::ofstream(handler_file, std::ios::binary) << options_.handler_code;
    args.insert(args.end(), {"--handler-file", handler_file});
  }

  // Everything the child needs is prepared before fork: between fork and exec only
  // async-signal-safe calls are allowed (other test threads may hold locks).
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const int err_fd = ::open(err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  const int null_fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  int out[2];
  if (err_fd < 0 || null_fd < 0 || ::pipe2(out, O_CLOEXEC) != 0) {
    if (err_fd >= 0) ::close(err_fd);
    if (null_fd >= 0) ::close(null_fd);
    fs::remove_all(work_dir_);
    throw std::runtime_error("pyftpd: cannot prepare the child's files");
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
    ::execv(kPython, argv.data());
    ::_exit(127);
  }
  ::close(out[1]);
  ::close(err_fd);
  ::close(null_fd);
  if (pid_ < 0) {
    ::close(out[0]);
    fs::remove_all(work_dir_);
    throw std::runtime_error("pyftpd: fork failed");
  }
  ::setpgid(pid_, pid_);  // also from here, so the group exists before we might signal it

  std::string line;
  std::string failure;
  const auto end = std::chrono::steady_clock::now() + kStartLimit;
  while (line.find('\n') == std::string::npos) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      failure = "no port within the start limit";
      break;
    }
    pollfd p{out[0], POLLIN, 0};
    const int r = ::poll(&p, 1, static_cast<int>(left.count()));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) continue;
    char buf[256];
    const ssize_t n = ::read(out[0], buf, sizeof buf);
    if (n <= 0) {
      failure = "the server ended before it reported its port";
      break;
    }
    line.append(buf, static_cast<size_t>(n));
  }
  ::close(out[0]);
  if (failure.empty()) {
    if (line.rfind("PORT ", 0) == 0) port_ = std::atoi(line.c_str() + 5);
    if (port_ <= 0) failure = "unexpected first line: " + line;
  }
  if (!failure.empty()) {
    Stop();
    const std::string err = ReadFile(err_file);
    fs::remove_all(work_dir_);
    throw std::runtime_error("pyftpd: " + failure + "\n" + err);
  }
}

void PyFtpd::Stop() {
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

PyFtpd::~PyFtpd() {
  Stop();
  std::error_code ec;
  fs::remove_all(work_dir_, ec);
}

std::string PyFtpd::Log() const {
  return ReadFile((fs::path(work_dir_) / "server.log").string()) +
         ReadFile((fs::path(work_dir_) / "stderr.log").string());
}

}  // namespace tavo::testsupport
