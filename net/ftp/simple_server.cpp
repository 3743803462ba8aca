#include "net/ftp/simple_server.h"

#include <algorithm>
#include <chrono>

#include "net/stack/socket_handle.h"
#include "net/tcp/iohandler.h"

namespace tavo::net {

TIdSimpleServer::TIdSimpleServer(rtl::TComponent* AOwner) : TIdTCPConnection(AOwner) {}

void TIdSimpleServer::ResetState() {
  TIdTCPConnection::ResetState();
  abort_requested_.store(false, std::memory_order_release);
  listening_ = false;
  FreeListenerHandler();
}

void TIdSimpleServer::FreeListenerHandler() {
  // The handler is owned by this connection, so replacing it with none frees it, and freeing
  // its socket handle closes whatever socket it still holds.
  SetIOHandler(nullptr);
  listen_socket_ = Id_INVALID_SOCKET;
}

TIdSocketHandle& TIdSimpleServer::Handle() { return *SocketIOHandler()->SocketHandle(); }

void TIdSimpleServer::StartListening() {
  if (SocketIOHandler() == nullptr || SocketIOHandler()->SocketHandle() == nullptr) {
    ResetState();
    // Owned by the listener.
    TIdIOHandlerSocket* handler =
        io_handler_factory_ ? io_handler_factory_(this) : new TIdIOHandlerSocket(this);
    SetIOHandler(handler);
    SetOwnsIOHandler(true);
    handler->Open();
  }
  try {
    if (listen_socket_ == Id_INVALID_SOCKET) BindListener();
    Handle().Listen(15);
    listening_ = true;
  } catch (...) {
    FreeListenerHandler();
    throw;
  }
}

void TIdSimpleServer::BindListener() {
  TIdSocketHandle& h = Handle();
  try {
    h.OpenSocket(Id_SOCK_STREAM, Id_IPPROTO_IP);
    listen_socket_ = h.Handle();
    h.SetIP(bound_ip_);
    h.SetPort(bound_port_);
    h.Bind();
  } catch (...) {
    listen_socket_ = Id_INVALID_SOCKET;
    throw;
  }
}

bool TIdSimpleServer::AcceptConnection() {
  if (!listening_) StartListening();
  TIdSocketHandle& h = Handle();

  // A real wait in every poll (never a spin), and a bound on the whole wait: a server that
  // accepted the transfer command but never connects must not hold the caller forever.
  const int32_t slice = accept_wait_ms_ > 0 ? accept_wait_ms_ : kAcceptPollSliceMs;
  const auto start = std::chrono::steady_clock::now();
  bool result = false;
  while (!result && !AbortRequested()) {
    int32_t wait = slice;
    if (accept_timeout_ != TimeoutInfinite) {
      const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::steady_clock::now() - start)
                             .count();
      const int64_t left = static_cast<int64_t>(std::max<int32_t>(accept_timeout_, 0)) - spent;
      if (left <= 0) break;
      wait = static_cast<int32_t>(std::min<int64_t>(slice, left));
    }
    result = h.WaitReadable(wait);
  }

  const TIdStackSocketHandle listener = listen_socket_;
  listen_socket_ = Id_INVALID_SOCKET;
  if (result) {
    // The same handle becomes the data connection; the listening socket is no longer needed.
    result = h.Accept(listener);
    GlobalStack->CloseSocket(listener);
  } else {
    // The handle still holds the listening socket: close it through the handle, so the handle
    // does not keep a number that the system may hand out again.
    h.CloseSocket();
  }
  return result;
}

}  // namespace tavo::net
