#pragma once
// A server process started by a test: its own process group (so everything it starts can be
// stopped with it), standard input from /dev/null, standard output through a pipe that the
// test can read lines from, standard error into a file. It dies with the test process (also
// when the test crashes), and Stop() or the destructor ends the whole group.

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace tavo::testsupport {

class ChildProcess {
 public:
  // args[0] is the program's full path. Raises std::runtime_error when it cannot be started.
  ChildProcess(std::vector<std::string> args, std::string stderr_file);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // The next line of the child's standard output, without its LF. Raises std::runtime_error
  // when none comes within `limit` or the child closed its output.
  std::string ReadLine(std::chrono::milliseconds limit);
  // What the child wrote after its last complete line.
  std::string TakePending();
  // Waits for the child to end by itself until `deadline` and returns its exit code; -1 when it
  // was killed instead (by a signal, or by Stop() at the deadline).
  int Wait(std::chrono::steady_clock::time_point deadline);
  // True while the child has not ended.
  bool Running() const;
  // SIGTERM to the group, SIGKILL when it does not end within a few seconds; then reaped.
  void Stop();
  pid_t Pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  int out_fd_ = -1;
  std::string pending_;
};

// Runs a program to its end with standard input from /dev/null and both outputs captured;
// killed (exit code -1) when it runs longer than `limit`.
struct ProgramResult {
  int exit_code = -1;
  std::string out;
  std::string err;
};
ProgramResult RunProgram(std::vector<std::string> args, std::chrono::milliseconds limit);

// A fresh folder below the system's temporary folder, for a server's files.
std::string MakeTempDir(const std::string& prefix);
std::string ReadWholeFile(const std::string& path);
// A loopback port that was free a moment ago, for servers that cannot report the port they
// chose themselves. (Another process may take it meanwhile; callers retry on a failed start.)
int FreeLoopbackPort();
// True once something accepts TCP connections on 127.0.0.1:port, polled up to `limit`.
bool WaitUntilListening(int port, std::chrono::milliseconds limit);

}  // namespace tavo::testsupport
