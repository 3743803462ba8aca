#include "net/tcp/connect_thread.h"

#include <chrono>
#include <algorithm>
#include <exception>

#include "net/stack/exceptions.h"
#include "net/stack/socket_handle.h"
#include "net/stack/stack.h"

namespace tavo::net {

TIdConnectThread::~TIdConnectThread() { WaitFor(); }

void TIdConnectThread::Start() {
  if (!thread_.joinable()) thread_ = std::thread([this] { Execute(); });
}

bool TIdConnectThread::WaitFinished(int32_t AMilliseconds) {
  std::unique_lock<std::mutex> lock(mu_);
  return finished_cv_.wait_for(lock, std::chrono::milliseconds(std::max<int32_t>(AMilliseconds, 0)),
                               [this] { return Finished(); });
}

void TIdConnectThread::WaitFor() {
  if (thread_.joinable()) thread_.join();
}

void TIdConnectThread::Execute() {
  try {
    // 10009 and 10038: the caller closed the socket under the connect after its time-out.
    GlobalStack->CheckResult(handle_->Connect(handle_->Family()), {Id_WSAEBADF, Id_WSAENOTSOCK});
  } catch (const EIdSocketError& e) {
    failure_text_ = e.what();
    failure_error_ = e.LastError();
  } catch (const std::exception& e) {
    failure_text_ = e.what();
  }
  {
    // Under the lock, so a waiter cannot test the flag and then miss the notification.
    std::lock_guard<std::mutex> lock(mu_);
    finished_.store(true, std::memory_order_release);
  }
  finished_cv_.notify_all();
}

}  // namespace tavo::net
