#pragma once
// A program a test starts and must stop again: the real servers and proxies of the
// integration tests, and the system tools a test calls. The child runs in a process group of
// its own, so that Stop ends it together with everything it started; it also dies when the
// thread that created it ends (so a crashed test leaves nothing behind).

#include <sys/types.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace tavo::testsupport {

struct ChildOptions {
  std::vector<std::string> argv;  // argv[0] is the program's full path
  std::string stdin_file = "/dev/null";
  std::string stderr_file = "/dev/null";  // created or truncated
  // Keep the child's stdout on a pipe for ReadPortLine; otherwise it goes to stdout_file.
  bool capture_stdout = false;
  std::string stdout_file = "/dev/null";  // created or truncated
};

class ChildProcess {
 public:
  // Raises std::runtime_error when the child cannot be started.
  explicit ChildProcess(ChildOptions options);
  ~ChildProcess();  // Stop
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t Pid() const { return pid_; }
  // Waits up to `limit` for a first stdout line "PORT <n>" (capture_stdout) and returns n;
  // 0 with `failure` set when none came.
  int ReadPortLine(std::chrono::milliseconds limit, std::string& failure);
  // True while the child has not ended (it stays unreaped until Stop or WaitExit).
  bool Running() const;
  // Waits up to `limit` for the child to end by itself and returns its exit status (128 + the
  // signal when a signal ended it); -1 when it did not end in time (it is stopped then).
  int WaitExit(std::chrono::milliseconds limit);
  // Ends the child's whole process group (TERM, then KILL) and reaps the child. Idempotent.
  void Stop();

 private:
  pid_t pid_ = -1;
  int stdout_fd_ = -1;
};

// A server a test runs on 127.0.0.1: its process and a private work folder for its
// configuration and logs. The destructor stops the server and removes the folder, also when
// the test failed.
class ServerProcess {
 public:
  ~ServerProcess();
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  const std::string& Host() const { return host_; }
  int Port() const { return port_; }
  // Stops the server now; the destructor does nothing more afterwards.
  void Stop();

 protected:
  // Makes the work folder "<tmp>/<prefix>XXXXXX".
  explicit ServerProcess(const std::string& prefix);
  std::string WorkFile(const std::string& name) const;
  // Starts the server with its stderr in WorkFile("stderr.log").
  ChildProcess& Start(std::vector<std::string> argv, bool capture_stdout);
  // Starts a server that reports its port as its first stdout line "PORT <n>".
  void StartReportingPort(std::vector<std::string> argv, const std::string& what);
  // Stops the server, removes the work folder and raises std::runtime_error with
  // "<what>: <why>" and the server's stderr.
  [[noreturn]] void Fail(const std::string& what, const std::string& why);

  int port_ = 0;
  // The address the server listens on, 127.0.0.1 unless it listens on ::1.
  void SetHost(const std::string& AHost) { host_ = AHost; }

 private:
  std::string host_ = "127.0.0.1";
  std::string work_dir_;
  std::unique_ptr<ChildProcess> process_;
};

// Runs a program to its end (at most `limit`) with both outputs captured. exit_code is the
// exit status (128 + the signal when a signal ended it), -1 when it was stopped at the limit.
struct ProgramResult {
  int exit_code = -1;
  std::string out;
  std::string err;
};
ProgramResult RunProgram(const std::vector<std::string>& argv, std::chrono::milliseconds limit,
                         const std::string& stdin_file = "/dev/null");

// A loopback port that was free a moment ago, for servers that take their port from a
// configuration file (someone else may take it meanwhile: callers retry a failed start).
int FreeLoopbackPort();
// True once something accepts TCP connections on 127.0.0.1:port (or ::1:port with AIPv6), tried
// until `limit`.
bool WaitUntilListening(int port, std::chrono::milliseconds limit, bool AIPv6 = false);
// Whether this machine has the IPv6 loopback address (a container may lack it): the IPv6
// tests skip without it.
bool HasIPv6Loopback();

// Whether the servers a test starts run as root (on Windows: the Linux side's process host),
// and whether a program exists there to be run.
bool ServersRunAsRoot();
bool ServerProgramExists(const std::string& path);

// A symbolic link in a folder a server serves. Wine cannot make one, so the Windows tests have
// the Linux side make it.
void MakeServerSymlink(const std::string& target, const std::string& link);

// A fresh private folder under the system's temporary folder ("<tmp>/<prefix>XXXXXX").
std::string MakeTempDir(const std::string& prefix);
std::string ReadWholeFile(const std::string& path);

}  // namespace tavo::testsupport
