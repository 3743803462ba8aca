#pragma once
// What a failure means to whoever runs tavo-ftp: the one line that says what failed (connect,
// log in, change folder, retrieve, list), where (host:port or the path) and why (the server's
// reply, the system's words for a socket error, the library's message), never a class name;
// the exit code; and whether trying again may help.

#include <exception>
#include <stdexcept>
#include <string>

namespace tavo::tool {

enum ExitCode {
  kSuccess = 0,
  kFailure = 1,  // any other network or protocol failure
  kUsage = 2,
  kLocalFile = 3,
  kLoginRefused = 4,
  kRemoteMissing = 5,
  kTimeout = 6,  // connect, read, --max-time, --speed-limit
  kCannotConnect = 7,
};

// The step a session was in when something failed.
enum class TStep { stConnect, stLogin, stChangeDir, stRetrieve, stList };

// What the step worked on: the server (host:port), the login name, the path.
struct StepSubject {
  std::string server;
  std::string user;
  std::string path;
};

// Failures tavo-ftp finds itself, with their message and exit code: a local refusal, a run that
// ran out of time, a transfer the server reported aborted.
class ToolError : public std::runtime_error {
 public:
  ToolError(int ACode, const std::string& AMessage, bool ATransient = false)
      : std::runtime_error(AMessage), code_(ACode), transient_(ATransient) {}
  int Code() const { return code_; }
  bool Transient() const { return transient_; }

 private:
  int code_;
  bool transient_;
};

struct Failure {
  int code = kFailure;
  std::string line;  // without the "tavo-ftp: " in front
  bool transient = false;
};

Failure Classify(const std::exception& AError, TStep AStep, const StepSubject& ASubject);

}  // namespace tavo::tool
