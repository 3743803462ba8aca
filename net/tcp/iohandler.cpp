#include "net/tcp/iohandler.h"

#include <algorithm>
#include <chrono>
#include <vector>

#include "net/tcp/socks_info.h"
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

// A host as given in a URL or a setting: an IPv6 literal may come in brackets ("[::1]").
std::string Unbracketed(const std::string& AHost) {
  if (AHost.size() > 2 && AHost.front() == '[' && AHost.back() == ']')
    return AHost.substr(1, AHost.size() - 2);
  return AHost;
}

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
                                   int32_t ABoundPortLow, int32_t ABoundPortHigh,
                                   int32_t ATimeout) {
  CheckTimeout(ATimeout);
  if (!socket_handle_) Open();

  TIdSocksInfo* socks = SocksInfo();
  const bool via_proxy = socks->Version() != svNoSocks;
  const std::string target_host = Unbracketed(via_proxy ? socks->Host() : AHost);
  const int32_t target_port = via_proxy ? socks->Port() : APort;
  const TBinding binding{ABoundIP, ABoundPort, ABoundPortLow, ABoundPortHigh};

  if (address_family_ == afIPv4) {
    // One IPv4 address, as the components have always connected.
    OpenBound(binding, Id_PF_INET);
    if (!GlobalStack->IsDottedAddress(target_host)) ReportStatus(hsResolving, {target_host});
    SetPeer(GlobalStack->HostToAddress(target_host), target_port);
    ConnectOpened(ATimeout);
  } else {
    ConnectToAny(target_host, target_port, binding, ATimeout);
  }

  // Settings shared by several handlers are tied to the one that set them last; this
  // handshake must run over this handler's connection.
  socks->SetIOHandler(this);
  socks->Negotiate(Unbracketed(AHost), APort);
}

void TIdIOHandlerSocket::ConnectToAny(const std::string& AHost, int32_t APort,
                                      const TBinding& ABinding, int32_t ATimeout) {
  std::vector<std::string> addresses;
  if (GlobalStack->IsIPv6Address(AHost) || GlobalStack->IsDottedAddress(AHost)) {
    addresses.push_back(AHost);
  } else {
    ReportStatus(hsResolving, {AHost});
    addresses = GlobalStack->GetHostAddresses(AHost, address_family_);
  }
  // Each address in the resolver's order; a bound the caller chose is shared out among those
  // still to try, so one that never answers cannot take all of it.
  const bool bounded = ATimeout != TimeoutDefault && ATimeout != 0 && ATimeout != TimeoutInfinite;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(bounded ? ATimeout : 0);
  for (std::size_t i = 0; i < addresses.size(); ++i) {
    int32_t timeout = ATimeout;
    if (bounded) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      timeout = std::max<int32_t>(1, static_cast<int32_t>(left.count()) /
                                         static_cast<int32_t>(addresses.size() - i));
    }
    try {
      OpenBound(ABinding, GlobalStack->FamilyOf(addresses[i]));
      SetPeer(addresses[i], APort);
      ConnectOpened(timeout);
      return;
    } catch (const EIdException&) {
      if (i + 1 == addresses.size()) throw;
      Close();
    }
  }
}

void TIdIOHandlerSocket::OpenBound(const TBinding& ABinding, int32_t AFamily) {
  TIdSocketHandle& h = *socket_handle_;
  h.OpenSocket(Id_SOCK_STREAM, Id_IPPROTO_IP, AFamily);
  h.SetIP(ABinding.IP);
  h.SetPort(ABinding.Port);
  h.SetClientPortMin(ABinding.PortLow);
  h.SetClientPortMax(ABinding.PortHigh);
  h.Bind();
}

void TIdIOHandlerSocket::SetPeer(const std::string& AAddress, int32_t APort) {
  TIdSocketHandle& h = *socket_handle_;
  h.SetPeerAddress(AAddress, APort);
  if (!use_nagle_) {
    const int32_t one = 1;
    h.SetSockOpt(Id_IPPROTO_TCP, Id_TCP_NODELAY, &one, sizeof one);
  }
}

void TIdIOHandlerSocket::ConnectOpened(int32_t ATimeout) {
  TIdSocketHandle& h = *socket_handle_;
  ReportStatus(hsConnecting, {h.PeerIP()});
  if (ATimeout != TimeoutDefault && ATimeout != 0) {
    ConnectWithTimeout(ATimeout);
  } else if (IdleHookInUse()) {
    ConnectWithTimeout(kIdleHookConnectTimeout);
  } else {
    GlobalStack->CheckResult(h.Connect(h.Family()));
  }
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
    Close();
    thread.WaitFor();
    throw;
  }
  if (remaining > 0) thread.WaitFinished(remaining);

  if (!thread.Finished()) {
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
