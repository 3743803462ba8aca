#pragma once
// The connect thread of a timed connect: it runs one blocking connect of a socket handle and
// records how it ended, while the caller waits in slices and may give up and close the socket
// under it. The caller must read FailureText only after Finished() returned true (or after the
// thread was joined): the flag is published with release ordering after the text is written.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace tavo::net {

class TIdSocketHandle;

class TIdConnectThread {
 public:
  // Created suspended, like a thread object that is started explicitly.
  explicit TIdConnectThread(TIdSocketHandle* ASocketHandle) : handle_(ASocketHandle) {}
  // Waits for the thread to end before the object goes.
  ~TIdConnectThread();
  TIdConnectThread(const TIdConnectThread&) = delete;
  TIdConnectThread& operator=(const TIdConnectThread&) = delete;

  void Start();
  // Set by the thread as its last act.
  bool Finished() const { return finished_.load(std::memory_order_acquire); }
  // Waits up to AMilliseconds, returning early once the thread has finished; true when it has.
  bool WaitFinished(int32_t AMilliseconds);
  void WaitFor();

  // Empty unless the connect failed; the failure's message.
  const std::string& FailureText() const { return failure_text_; }
  // The socket error number of that failure; 0 when it was none.
  int32_t FailureError() const { return failure_error_; }

 private:
  void Execute();

  TIdSocketHandle* handle_;  // not owned
  std::string failure_text_;
  int32_t failure_error_ = 0;
  std::atomic<bool> finished_{false};
  std::mutex mu_;
  std::condition_variable finished_cv_;
  std::thread thread_;
};

}  // namespace tavo::net
