#include "net/tcp/iohandler.h"

#include <algorithm>

#include "net/socks/socks_info.h"
#include "net/stack/exceptions.h"
#include "net/stack/socket_handle.h"
#include "net/stack/stack.h"
#include "net/tcp/antifreeze.h"
#include "net/tcp/connect_thread.h"
#include "resources/tcp_texts.h"
#include "rtl/format.h"

namespace tavo::net {

namespace {

constexpr int32_t kConnectSliceMs = 125;
// The bound of a connect while an idle hook wants the caller's thread back regularly.
constexpr int32_t kIdleHookConnectTimeout = 120000;

void CheckTimeout(int32_t ATimeout) {
  if (ATimeout < TimeoutInfinite)
    throw EIdException(rtl::Format(res::kTcpInvalidTimeout, {ATimeout}));
}

}  // namespace

TIdIOHandler::~TIdIOHandler() {
  // A subclass has closed its transport in its own destructor already; the base's Close is
  // the last word for handlers that have nothing of their own to tear down.
  TIdIOHandler::Close();
}

void TIdIOHandler::ConnectTo(const std::string&, int32_t, const std::string&, int32_t, int32_t,
                             int32_t, int32_t) {}

// ---------------------------------------------------------------------------------------------

TIdIOHandlerSocket::TIdIOHandlerSocket(rtl::TComponent* AOwner) : TIdIOHandler(AOwner) {}

TIdIOHandlerSocket::~TIdIOHandlerSocket() {
  BeginDestruction();  // settings objects that point at us forget us now
  socks_info_ = nullptr;
  own_socks_info_.reset();
  socket_handle_.reset();  // closes the socket
}

void TIdIOHandlerSocket::Open() {
  if (!socket_handle_) {
    socket_handle_ = std::make_unique<TIdSocketHandle>();
    return;
  }
  // Clearing forgets the socket number; a socket still open would be lost, not closed.
  socket_handle_->CloseSocket();
  socket_handle_->Clear(true);
}

void TIdIOHandlerSocket::Close() {
  if (socket_handle_) socket_handle_->CloseSocket();
}

bool TIdIOHandlerSocket::Connected() { return socket_handle_ && socket_handle_->Allocated(); }

bool TIdIOHandlerSocket::WaitReadable(int32_t ATimeout) {
  // Without a handle there is no socket, which the handle itself would report the same way.
  if (!socket_handle_) throw EIdConnClosedGracefully(res::kTcpConnClosedGracefully);
  return socket_handle_->WaitReadable(ATimeout);
}

int32_t TIdIOHandlerSocket::Recv(void* ABuffer, int32_t ALength) {
  if (!Connected()) throw EIdClosedSocket(res::kTcpClosedSocket);
  return socket_handle_->Recv(ABuffer, ALength, 0);
}

int32_t TIdIOHandlerSocket::Send(const void* ABuffer, int32_t ALength) {
  if (!Connected()) throw EIdClosedSocket(res::kTcpClosedSocket);
  return socket_handle_->Send(ABuffer, ALength, 0);
}

void TIdIOHandlerSocket::ConnectTo(const std::string& AHost, int32_t APort,
                                   const std::string& ABoundIP, int32_t ABoundPort,
                                   int32_t ABoundPortMin, int32_t ABoundPortMax,
                                   int32_t ATimeout) {
  CheckTimeout(ATimeout);
  if (!socket_handle_) Open();

  TIdSocksInfo* socks = SocksInfo();
  const bool via_proxy = socks->Version() != svNoSocks;
  const std::string target_host = via_proxy ? socks->Host() : AHost;
  const int32_t target_port = via_proxy ? socks->Port() : APort;

  TIdSocketHandle& h = *socket_handle_;
  h.OpenSocket(Id_SOCK_STREAM, Id_IPPROTO_IP);
  h.SetIP(ABoundIP);
  h.SetPort(ABoundPort);
  h.SetClientPortMin(ABoundPortMin);
  h.SetClientPortMax(ABoundPortMax);
  h.Bind();

  if (!GlobalStack->IsDottedAddress(target_host)) ReportStatus(hsResolving, {target_host});
  h.SetPeerAddress(GlobalStack->HostToAddress(target_host), target_port);

  if (!use_nagle_) {
    const int32_t one = 1;
    h.SetSockOpt(Id_IPPROTO_TCP, Id_TCP_NODELAY, &one, sizeof one);
  }

  ReportStatus(hsConnecting, {h.PeerIP()});

  if (ATimeout != TimeoutDefault && ATimeout != 0) {
    ConnectWithTimeout(ATimeout);
  } else if (IdleHookInUse()) {
    ConnectWithTimeout(kIdleHookConnectTimeout);
  } else {
    GlobalStack->CheckResult(h.Connect(Id_PF_INET));
  }

  // Settings shared by several handlers are tied to the one that set them last; this
  // handshake must run over this handler's connection.
  socks->SetIOHandler(this);
  socks->Negotiate(AHost, APort);
}

void TIdIOHandlerSocket::ConnectWithTimeout(int32_t ATimeout) {
  CheckTimeout(ATimeout);
  TIdConnectThread thread(socket_handle_.get());
  thread.Start();

  int32_t slice = kConnectSliceMs;
  if (IdleHookInUse()) slice = std::min(slice, IdleHook()->IdleTimeOut());
  slice = std::max<int32_t>(slice, 1);
  const bool infinite = ATimeout == TimeoutInfinite;
  int32_t remaining = infinite ? slice + 1 : ATimeout;

  // Each slice ends early when the connect does: a connect that succeeds at once returns at
  // once, while the idle hook still runs once per slice of a longer wait.
  try {
    while (slice < remaining) {
      const bool finished = thread.WaitFinished(slice);
      remaining = infinite ? slice + 1 : remaining - slice;
      RunIdleHook(true, false);
      if (finished || thread.Finished()) {
        remaining = 0;
        break;
      }
    }
  } catch (...) {
    // The idle hook failed. The thread's destructor joins it, and a connect nobody answers
    // blocks for as long as the platform allows; closing the socket ends it now.
    thread.Terminate();
    Close();
    thread.WaitFor();
    throw;
  }
  if (remaining > 0) thread.WaitFinished(remaining);

  if (!thread.Finished()) {
    thread.Terminate();
    // Closing the socket makes the blocked connect return; the thread then ends by itself.
    Close();
    thread.WaitFor();
    throw EIdConnectTimeout(res::kTcpConnectTimeout);
  }
  if (!thread.FailureText().empty())
    throw EIdConnectException(thread.FailureText(), thread.FailureError());
}

// ---------------------------------------------------------------------------------------------

TIdSocksInfo* TIdIOHandlerSocket::SocksInfo() {
  if (socks_info_ == nullptr) {
    if (!own_socks_info_) own_socks_info_ = std::make_unique<TIdSocksInfo>();
    socks_info_ = own_socks_info_.get();
    socks_info_->SetIOHandler(this);
  }
  return socks_info_;
}

void TIdIOHandlerSocket::SetSocksInfo(TIdSocksInfo* AValue) {
  if (AValue == socks_info_ && AValue != nullptr) return;
  // Drop a reference to somebody else's object first; it is no longer tied to us. (The
  // destruction notice stays registered: the runtime links both directions, and withdrawing
  // ours could silence one that object relies on. A stale notice is ignored.)
  if (socks_info_ != nullptr && socks_info_ != own_socks_info_.get()) {
    if (socks_info_->IOHandler() == this) socks_info_->SetIOHandler(nullptr);
    socks_info_ = nullptr;
  }
  if (AValue == nullptr) {
    socks_info_ = nullptr;
    own_socks_info_.reset();
    return;
  }
  if (AValue->Owner() != nullptr) {
    own_socks_info_.reset();
    socks_info_ = AValue;
    FreeNotification(AValue);
    AValue->SetIOHandler(this);
  } else {
    TIdSocksInfo* own = SocksInfo();
    own->Assign(*AValue);
  }
}

void TIdIOHandlerSocket::Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) {
  if (Operation == rtl::opRemove && AComponent != nullptr &&
      AComponent == static_cast<rtl::TComponent*>(socks_info_) &&
      socks_info_ != own_socks_info_.get())
    socks_info_ = nullptr;
  TIdIOHandler::Notification(AComponent, Operation);
}

}  // namespace tavo::net
