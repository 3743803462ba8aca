#include "tests/support/thread_state.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/syscall.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <chrono>
#include <fstream>
#include <string>
#include <thread>

namespace tavo::testsupport {

#ifdef _WIN32

// Windows has no public way to see which call another thread is blocked in, and under wine
// the Linux thread behind it waits inside wine's own machinery. So the Windows test programs
// pace by time: the other thread is given kPaceMs to reach its wait, which is plenty on an
// idle machine and the one place where these programs may be slower than their Linux twins.
namespace {
constexpr int kPaceMs = 100;
}  // namespace

pid_t ThisThreadId() { return static_cast<pid_t>(::GetCurrentThreadId()); }
std::vector<long> WaitCalls() { return {}; }
std::vector<long> ReceiveCalls() { return {}; }
std::vector<long> AcceptCalls() { return {}; }
long SleepCount(pid_t) { return -1; }

bool WaitUntilBlockedIn(pid_t, const std::vector<long>&, int ATimeoutMs,
                        const std::atomic<bool>* AStop, long) {
  const auto end = std::chrono::steady_clock::now() +
                   std::chrono::milliseconds(std::min(kPaceMs, ATimeoutMs));
  while (std::chrono::steady_clock::now() < end) {
    if (AStop != nullptr && AStop->load()) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

#else

namespace {

// The call thread ATid sleeps in; -1 when it runs or is woken, -2 when nothing can be read.
long BlockedIn(pid_t ATid) {
  std::ifstream file("/proc/self/task/" + std::to_string(ATid) + "/syscall");
  std::string first;
  if (!(file >> first)) return -2;
  if (first == "running") return -1;
  try {
    return std::stol(first);
  } catch (...) {
    return -2;
  }
}

}  // namespace

long SleepCount(pid_t ATid) {
  std::ifstream file("/proc/self/task/" + std::to_string(ATid) + "/status");
  const std::string key = "voluntary_ctxt_switches:";
  std::string line;
  while (std::getline(file, line)) {
    if (line.compare(0, key.size(), key) != 0) continue;
    try {
      return std::stol(line.substr(key.size()));
    } catch (...) {
      return -1;
    }
  }
  return -1;
}

pid_t ThisThreadId() { return static_cast<pid_t>(::syscall(SYS_gettid)); }

std::vector<long> WaitCalls() {
  return {
#ifdef SYS_poll
      SYS_poll,
#endif
#ifdef SYS_select
      SYS_select,
#endif
      SYS_ppoll, SYS_pselect6};
}

std::vector<long> ReceiveCalls() {
  return {
#ifdef SYS_recv
      SYS_recv,
#endif
      SYS_recvfrom, SYS_recvmsg, SYS_read};
}

std::vector<long> AcceptCalls() {
  return {
#ifdef SYS_accept
      SYS_accept,
#endif
      SYS_accept4};
}

bool WaitUntilBlockedIn(pid_t ATid, const std::vector<long>& ACalls, int ATimeoutMs,
                        const std::atomic<bool>* AStop, long ASleptMoreThan) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ATimeoutMs);
  for (;;) {
    const long call = BlockedIn(ATid);
    if (call == -2) return false;
    if (std::find(ACalls.begin(), ACalls.end(), call) != ACalls.end()) {
      if (ASleptMoreThan < 0) return true;
      const long sleeps = SleepCount(ATid);
      if (sleeps < 0) return false;
      if (sleeps > ASleptMoreThan) return true;
    }
    if ((AStop != nullptr && AStop->load()) || std::chrono::steady_clock::now() > deadline)
      return false;
    // Looking again at once would only burn the core the other thread needs.
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

#endif

}  // namespace tavo::testsupport
