#pragma once
// The one-shot listener of an active-mode data connection: it listens on one socket, takes the
// single connection the server opens to it, and from then on is that connection (buffered
// input and work events included). Listening, the accepted connection and the I/O handler that
// carries both live exactly as long as one transfer.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "net/stack/stack.h"
#include "net/tcp/connection.h"

namespace tavo::net {

class TIdSocketHandle;
class TIdIOHandlerSocket;

// Makes the listener's I/O handler, owned by AOwner.
using TIdIOHandlerSocketFactory = std::function<TIdIOHandlerSocket*(rtl::TComponent* AOwner)>;

class TIdSimpleServer : public TIdTCPConnection {
 public:
  // How long AcceptConnection waits for the server unless told otherwise. A server that has
  // promised a transfer connects within moments; a minute leaves room for a slow network.
  static constexpr int32_t kDefaultAcceptTimeout = 60000;
  // The pause between two looks at AbortRequested while waiting with AcceptWaitMs 0.
  static constexpr int32_t kAcceptPollSliceMs = 100;

  explicit TIdSimpleServer(rtl::TComponent* AOwner = nullptr);

  // The connection's own reset, then not listening, no abort pending, and the listener's I/O
  // handler (with any socket it holds) freed.
  void ResetState() override;

  // Opens, binds (BoundIP:BoundPort; port 0 lets the system choose) and listens with a backlog
  // of 15. A failure frees the handler again and passes on.
  void StartListening();
  void BindListener();
  // Waits for the incoming connection and takes it into the listener's socket handle; the
  // listening socket is closed in every case, also when accepting raises. A connection from
  // another address than AllowedPeerIP is closed unread and the wait goes on. False when the
  // wait ended without a connection: AbortRequested, AcceptTimeout ran out (AcceptTimedOut),
  // or the accept itself failed (AcceptError).
  bool AcceptConnection();
  // Ends a running accept wait at its next look (safe from another thread).
  void Abort() { abort_requested_.store(true, std::memory_order_release); }
  void StopListening() { ResetState(); }

  const std::string& BoundIP() const { return bound_ip_; }
  void SetBoundIP(const std::string& v) { bound_ip_ = v; }
  int32_t BoundPort() const { return bound_port_; }
  void SetBoundPort(int32_t v) { bound_port_ = v; }
  // Makes the handler StartListening creates (a plain socket handler when empty), e.g. one that
  // can start TLS on the accepted connection.
  const TIdIOHandlerSocketFactory& IOHandlerFactory() const { return io_handler_factory_; }
  void SetIOHandlerFactory(TIdIOHandlerSocketFactory v) { io_handler_factory_ = std::move(v); }
  TIdStackSocketHandle ListenSocket() const { return listen_socket_; }
  bool Listening() const { return listening_; }
  bool AbortRequested() const { return abort_requested_.load(std::memory_order_acquire); }
  // Milliseconds per readability poll while waiting; 0 takes kAcceptPollSliceMs, so the wait
  // never spins.
  int32_t AcceptWaitMs() const { return accept_wait_ms_; }
  void SetAcceptWaitMs(int32_t v) { accept_wait_ms_ = v; }
  // Bound of the whole accept wait in ms; TimeoutInfinite waits until aborted.
  int32_t AcceptTimeout() const { return accept_timeout_; }
  void SetAcceptTimeout(int32_t v) { accept_timeout_ = v; }
  // The only peer address whose connection is taken; empty (the default) takes any.
  const std::string& AllowedPeerIP() const { return allowed_peer_ip_; }
  void SetAllowedPeerIP(const std::string& v) { allowed_peer_ip_ = v; }
  // Why the last AcceptConnection returned False: the bound ran out, or the socket error
  // number of a failed accept (0 when none).
  bool AcceptTimedOut() const { return accept_timed_out_; }
  int32_t AcceptError() const { return accept_error_; }

 private:
  TIdSocketHandle& Handle();
  void FreeListenerHandler();
  // Waits until the listening socket has a connection waiting, the bound runs out or an abort
  // is asked for.
  bool WaitForConnection(std::chrono::steady_clock::time_point AStart);

  std::string bound_ip_;
  int32_t bound_port_ = 0;
  TIdStackSocketHandle listen_socket_ = Id_INVALID_SOCKET;
  bool listening_ = false;
  std::atomic<bool> abort_requested_{false};
  int32_t accept_wait_ms_ = 0;
  int32_t accept_timeout_ = kDefaultAcceptTimeout;
  std::string allowed_peer_ip_;
  bool accept_timed_out_ = false;
  int32_t accept_error_ = 0;
  TIdIOHandlerSocketFactory io_handler_factory_;
};

}  // namespace tavo::net
