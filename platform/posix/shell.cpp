#include "platform/shell.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string_view>
#include <vector>

namespace tavo::platform {

namespace {

// How long the desktop's opener may take to say whether it could open something. Some openers
// hand over and return at once, others run the chosen program in the foreground; one still
// running after this long has found a program and counts as a success.
constexpr int kOpenerVerdictMs = 10000;

// Messages from the launching children to the caller, one tag byte and one int each.
constexpr char kTagExecFailed = 'E';
constexpr char kTagForkFailed = 'F';
constexpr char kTagExited = 'X';
constexpr char kTagRunning = 'R';

struct SpawnOutcome {
  bool started = false;   // the program replaced the child (exec succeeded)
  int error = 0;          // errno of a failed fork or exec
  bool exited = false;    // waited for: the program ended within the bound
  int waitStatus = 0;     // its status, as waitpid() reports it
};

// Only async-signal-safe calls are allowed between fork() and exec() in a threaded program.
void Report(int fd, char tag, int value) {
  char message[1 + sizeof(int)];
  message[0] = tag;
  std::memcpy(message + 1, &value, sizeof(int));
  ssize_t ignored = ::write(fd, message, sizeof message);
  (void)ignored;
}

// How often the caller's whileWaiting runs while the answer is awaited.
constexpr int kWaitSliceMs = 20;

// The program's own child: standard input from /dev/null, SIGPIPE back to its default, then
// exec; only a failed exec comes back here. Async-signal-safe calls only (see Report).
[[noreturn]] void ExecProgram(int reportFd, const std::vector<char*>& argv) {
  struct sigaction dfl {};
  dfl.sa_handler = SIG_DFL;
  ::sigaction(SIGPIPE, &dfl, nullptr);
  const int devnull = ::open("/dev/null", O_RDONLY);
  if (devnull >= 0) {
    ::dup2(devnull, STDIN_FILENO);
    if (devnull != STDIN_FILENO) ::close(devnull);
  }
  ::execv(argv[0], argv.data());
  Report(reportFd, kTagExecFailed, errno);
  ::_exit(127);
}

// Waits, bounded, for the program to end and reports its status, or that it is still running.
void ReportExitWithinBound(int reportFd, pid_t program) {
  const timespec tick{0, 10 * 1000 * 1000};
  for (int waited = 0; waited < kOpenerVerdictMs; waited += 10) {
    int status = 0;
    if (::waitpid(program, &status, WNOHANG) == program) {
      Report(reportFd, kTagExited, status);
      ::_exit(0);
    }
    ::nanosleep(&tick, nullptr);
  }
  Report(reportFd, kTagRunning, 0);
}

// The intermediate child: a new session with no signals blocked, the program forked off as
// its child, and with waitForExit its end awaited. Ends without returning.
[[noreturn]] void RunIntermediateChild(int reportFd, const std::vector<char*>& argv,
                                       bool waitForExit) {
  ::setsid();
  sigset_t none;
  sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  const pid_t program = ::fork();
  if (program < 0) {
    Report(reportFd, kTagForkFailed, errno);
    ::_exit(0);
  }
  if (program == 0) ExecProgram(reportFd, argv);
  if (waitForExit) ReportExitWithinBound(reportFd, program);
  ::_exit(0);
}

// Everything the children report until the pipe closes, running whileWaiting between slices.
// The pipe closes once the program has been exec'd (close-on-exec) and the intermediate child
// has ended; the bound only guards against a child that hangs for reasons of its own.
std::string ReadReports(int fd, const std::function<void()>& whileWaiting) {
  std::string received;
  const int boundMs = kOpenerVerdictMs + 5000;
  timespec start{};
  ::clock_gettime(CLOCK_MONOTONIC, &start);
  for (;;) {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    const long elapsedMs =
        (now.tv_sec - start.tv_sec) * 1000L + (now.tv_nsec - start.tv_nsec) / 1000000L;
    if (elapsedMs >= boundMs) break;
    const long leftMs = boundMs - elapsedMs;
    pollfd pfd{fd, POLLIN, 0};
    const long sliceMs = whileWaiting ? std::min<long>(leftMs, kWaitSliceMs) : leftMs;
    const int ready = ::poll(&pfd, 1, static_cast<int>(sliceMs));
    if (ready < 0 && errno == EINTR) continue;
    if (ready == 0 && whileWaiting) {
      whileWaiting();
      continue;
    }
    if (ready <= 0) break;
    char buffer[64];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    received.append(buffer, static_cast<size_t>(n));
  }
  return received;
}

// The outcome the reports tell; no report at all means the program was started.
SpawnOutcome DecodeReports(const std::string& received) {
  SpawnOutcome outcome;
  outcome.started = true;
  for (size_t pos = 0; pos + 1 + sizeof(int) <= received.size(); pos += 1 + sizeof(int)) {
    int value = 0;
    std::memcpy(&value, received.data() + pos + 1, sizeof(int));
    switch (received[pos]) {
      case kTagExecFailed:
      case kTagForkFailed:
        outcome.started = false;
        outcome.error = value;
        break;
      case kTagExited:
        outcome.exited = true;
        outcome.waitStatus = value;
        break;
      default:  // kTagRunning
        break;
    }
  }
  return outcome;
}

// Starts argv[0] in a new session as a grandchild, so that it outlives the launcher and never
// becomes a zombie of it. With waitForExit the intermediate child waits (bounded) for the
// program to end and passes on its exit status; whileWaiting runs between slices of that wait.
SpawnOutcome Spawn(const std::vector<std::string>& args, bool waitForExit,
                   const std::function<void()>& whileWaiting) {
  SpawnOutcome outcome;
  // Built before fork(): the children may not allocate.
  std::vector<char*> argv;
  for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);

  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    outcome.error = errno;
    return outcome;
  }
  const pid_t intermediate = ::fork();
  if (intermediate < 0) {
    outcome.error = errno;
    ::close(fds[0]);
    ::close(fds[1]);
    return outcome;
  }
  if (intermediate == 0) {
    ::close(fds[0]);
    RunIntermediateChild(fds[1], argv, waitForExit);
  }

  ::close(fds[1]);
  const std::string received = ReadReports(fds[0], whileWaiting);
  ::close(fds[0]);
  int ignored = 0;
  while (::waitpid(intermediate, &ignored, 0) < 0 && errno == EINTR) {
  }
  return DecodeReports(received);
}

int CodeForErrno(int error) {
  switch (error) {
    case ENOENT:
      return kShellFileNotFound;
    case ENOTDIR:
    case ELOOP:
    case ENAMETOOLONG:
      return kShellPathNotFound;
    case EACCES:
    case EPERM:
      return kShellAccessDenied;
    case ENOEXEC:
      return kShellBadFormat;
    case ENOMEM:
    case E2BIG:
    case EAGAIN:
      return kShellNotEnoughMemory;
    case ETXTBSY:
      return 26;  // sharing violation: the file is still open for writing
    default:
      return kShellNoAssociation;
  }
}

// "http://...", "mailto:..." and the like; at least two letters, so that no single-letter
// drive-like prefix is taken for a scheme.
bool IsWebAddress(std::string_view text) {
  const size_t colon = text.find(':');
  if (colon == std::string_view::npos || colon < 2) return false;
  for (size_t i = 0; i < colon; ++i) {
    const char c = text[i];
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    const bool other = (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
    if (!letter && !(i > 0 && other)) return false;
  }
  return true;
}

std::string FindOnPath(std::string_view program) {
  const char* path = std::getenv("PATH");
  if (path == nullptr) return {};
  std::string_view rest = path;
  for (;;) {
    const size_t sep = rest.find(':');
    std::string dir(rest.substr(0, sep));
    // assign(1, '.') rather than = ".": g++ 12 at -O3 warns falsely (-Wrestrict) about the latter.
    if (dir.empty()) dir.assign(1, '.');
    std::string candidate = dir;
    candidate += '/';
    candidate.append(program);
    struct stat st {};
    if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
        ::access(candidate.c_str(), X_OK) == 0) {
      return candidate;
    }
    if (sep == std::string_view::npos) return {};
    rest.remove_prefix(sep + 1);
  }
}

bool IsNativeProgram(const std::string& file) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char magic[4] = {};
  const ssize_t n = ::read(fd, magic, sizeof magic);
  ::close(fd);
  if (n >= 4 && std::memcmp(magic, "\x7f" "ELF", 4) == 0) return true;
  return n >= 2 && magic[0] == '#' && magic[1] == '!';
}

int OpenWithDesktop(const std::string& file, const std::function<void()>& whileWaiting) {
  const std::string opener = FindOnPath("xdg-open");
  if (opener.empty()) return kShellNoAssociation;
  const SpawnOutcome outcome = Spawn({opener, file}, true, whileWaiting);
  if (!outcome.started) return CodeForErrno(outcome.error);
  if (!outcome.exited) return kShellOk;  // still busy opening: it found something to open with
  if (!WIFEXITED(outcome.waitStatus)) return kShellNoAssociation;
  switch (WEXITSTATUS(outcome.waitStatus)) {
    case 0:
      return kShellOk;
    case 2:  // the file does not exist
      return kShellFileNotFound;
    default:  // no program for it, or the program failed to open it
      return kShellNoAssociation;
  }
}

int StartProgram(const std::string& file, const struct stat& st) {
  // Downloaded programs arrive without the execute bit; the user asked to run this one.
  if ((st.st_mode & S_IXUSR) == 0) {
    ::chmod(file.c_str(), (st.st_mode & 07777) | S_IXUSR);
  }
  const SpawnOutcome outcome = Spawn({file}, false, {});
  return outcome.started ? kShellOk : CodeForErrno(outcome.error);
}

}  // namespace

int ShellOpen(const std::string& file, std::uintptr_t /*ownerWindow*/,
              const std::function<void()>& whileWaiting) {
  if (file.empty()) return kShellFileNotFound;
  if (IsWebAddress(file)) return OpenWithDesktop(file, whileWaiting);

  struct stat st {};
  if (::stat(file.c_str(), &st) != 0) {
    const int error = errno;
    if (error != ENOENT) return CodeForErrno(error);
    // Tell a missing file from a missing folder, as the shell does.
    const size_t slash = file.find_last_of('/');
    const std::string folder =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : file.substr(0, slash));
    struct stat folderSt {};
    const bool folderExists = ::stat(folder.c_str(), &folderSt) == 0 && S_ISDIR(folderSt.st_mode);
    return folderExists ? kShellFileNotFound : kShellPathNotFound;
  }
  if (S_ISREG(st.st_mode) && IsNativeProgram(file)) return StartProgram(file, st);
  return OpenWithDesktop(file, whileWaiting);
}

}  // namespace tavo::platform
