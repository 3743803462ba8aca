#include "net/tcp/connect_thread.h"

#include <exception>

#include "net/stack/socket_handle.h"
#include "net/stack/stack.h"

namespace tavo::net {

TIdConnectThread::~TIdConnectThread() { WaitFor(); }

void TIdConnectThread::Start() {
  if (!thread_.joinable()) thread_ = std::thread([this] { Execute(); });
}

void TIdConnectThread::WaitFor() {
  if (thread_.joinable()) thread_.join();
}

void TIdConnectThread::Execute() {
  try {
    // 10009 and 10038: the caller closed the socket under the connect after its time-out.
    GlobalStack->CheckResult(handle_->Connect(Id_PF_INET), {Id_WSAEBADF, Id_WSAENOTSOCK});
  } catch (const std::exception& e) {
    failure_text_ = e.what();
  }
  finished_.store(true, std::memory_order_release);
}

}  // namespace tavo::net
