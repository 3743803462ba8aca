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
    // The family of the address it is to listen on: an IPv6 control connection's local address
    // gets an IPv6 listener.
    h.OpenSocket(Id_SOCK_STREAM, Id_IPPROTO_IP,
                 bound_ip_.empty() ? Id_PF_INET : GlobalStack->FamilyOf(bound_ip_));
    listen_socket_ = h.Handle();
    h.SetIP(bound_ip_);
    h.SetPort(bound_port_);
    h.Bind();
  } catch (...) {
    listen_socket_ = Id_INVALID_SOCKET;
    throw;
  }
}

bool TIdSimpleServer::WaitForConnection(std::chrono::steady_clock::time_point AStart) {
  // A real wait in every poll (never a spin), and a bound on the whole wait: a server that
  // accepted the transfer command but never connects must not hold the caller forever.
  const int32_t slice = accept_wait_ms_ > 0 ? accept_wait_ms_ : kAcceptPollSliceMs;
  while (!AbortRequested()) {
    // Closed from another thread (an abort of the transfer): no connection will come.
    if (!Handle().Allocated()) {
      accept_error_ = Id_WSAENOTSOCK;
      return false;
    }
    int32_t wait = slice;
    if (accept_timeout_ != TimeoutInfinite) {
      const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::steady_clock::now() - AStart)
                             .count();
      const int64_t left = static_cast<int64_t>(std::max<int32_t>(accept_timeout_, 0)) - spent;
      if (left <= 0) {
        accept_timed_out_ = true;
        return false;
      }
      wait = static_cast<int32_t>(std::min<int64_t>(slice, left));
    }
    if (Handle().WaitReadable(wait)) return true;
  }
  return false;
}

bool TIdSimpleServer::AcceptConnection() {
  if (!listening_) StartListening();
  TIdSocketHandle& h = Handle();
  accept_timed_out_ = false;
  accept_error_ = 0;
  const TIdStackSocketHandle listener = listen_socket_;
  listen_socket_ = Id_INVALID_SOCKET;
  // The handle holds the listening socket while waiting and the accepted connection after;
  // the listening socket is closed however this ends.
  struct CloseListener {
    TIdSocketHandle& h;
    TIdStackSocketHandle listener;
    ~CloseListener() {
      // Still (or already closed) in the handle: through the handle, which closes only what
      // is open. Otherwise the handle took a connection, or lost the listener to a failed
      // accept, and the listener is closed here.
      if (h.Handle() == listener) {
        h.CloseSocket();
      } else if (GlobalStack) {
        GlobalStack->CloseSocket(listener);
      }
    }
  } close_listener{h, listener};

  const auto start = std::chrono::steady_clock::now();
  while (WaitForConnection(start)) {
    if (!h.Accept(listener)) {
      // Interrupted, or the listener closed under the wait: no connection, and not the bound.
      accept_error_ = GlobalStack->LastError();
      return false;
    }
    if (allowed_peer_ip_.empty() || h.PeerIP() == allowed_peer_ip_) return true;
    // Someone else found the port first: their bytes must not become the file.
    h.CloseSocket();
    h.Attach(listener);
  }
  return false;
}

}  // namespace tavo::net
