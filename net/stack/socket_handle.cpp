#include "net/stack/socket_handle.h"

#include <algorithm>
#include <cstdint>

#include "net/stack/idle_hook.h"
#include "net/stack/socket_list.h"
#include "platform/ws2.h"
#include "resources/stack_texts.h"
#include "resources/tcp_texts.h"
#include "rtl/format.h"

namespace tavo::net {

namespace {

// With a receive low-water mark a wait goes in slices this long: bytes fewer than the mark
// wait at most a slice before the reader gets them.
constexpr int32_t kLowWaterSliceMs = 50;

TIdStack& Stack() {
  if (!GlobalStack) throw EIdException(res::kNoSocketStack);
  return *GlobalStack;
}

}  // namespace

TIdSocketHandle::TIdSocketHandle() {
  Clear(true);
  client_port_min_ = 0;
  client_port_max_ = 0;
}

TIdSocketHandle::~TIdSocketHandle() {
  try {
    CloseSocket();
  } catch (...) {
    // A destructor has no one to report to; the socket is gone either way.
  }
}

void TIdSocketHandle::CloseSocket() {
  if (!allocated_) return;
  allocated_ = false;
  if (GlobalStack) {
    GlobalStack->Shutdown(handle_, Id_SD_Send);
    GlobalStack->CloseSocket(handle_);
  } else {
    // The stack went before its last handle; the socket must not outlive it regardless.
    platform::ws2::shutdown(handle_, Id_SD_Send);
    platform::ws2::closesocket(handle_);
  }
}

int32_t TIdSocketHandle::Connect(int32_t AFamily) {
  const int32_t result = Stack().Connect(handle_, AFamily, peer_ip_, peer_port_);
  if (result != Id_SOCKET_ERROR) {
    RefreshLocal();
    RefreshPeer();
  }
  return result;
}

int32_t TIdSocketHandle::RecvFrom(void* ABuffer, int32_t ALength, int32_t AFlags,
                                  std::string& AIP, int32_t& APort) {
  return Stack().RecvFrom(handle_, ABuffer, ALength, AFlags, AIP, APort);
}

void TIdSocketHandle::OpenSocket(int32_t ASocketType, int32_t AProtocol, int32_t AFamily) {
  CloseSocket();
  handle_ = Stack().NewSocket(ASocketType, AProtocol, AFamily);
  family_ = AFamily;
  allocated_ = true;
  low_water_ = recv_limit_ = 0;
}

void TIdSocketHandle::Bind() {
  if (port_ != 0 || client_port_min_ == 0 || client_port_max_ == 0) {
    if (!BindOnce()) throw EIdCouldNotBindSocket(res::kCouldNotBindSocket);
    return;
  }
  if (client_port_min_ > client_port_max_) {
    throw EIdInvalidPortRange(
        rtl::Format(res::kInvalidPortRange, {client_port_min_, client_port_max_}));
  }
  if (!BindInRange()) {
    throw EIdCanNotBindPortInRange(
        rtl::Format(res::kCannotBindRange, {client_port_min_, client_port_max_}));
  }
}

bool TIdSocketHandle::BindOnce() {
  TIdStack& stack = Stack();
  if (stack.CheckResult(stack.Bind(handle_, family_, ip_, port_), {Id_WSAEADDRINUSE})) {
    return false;
  }
  RefreshLocal();
  return true;
}

bool TIdSocketHandle::BindInRange() {
  // Highest port first; a 64-bit counter so that a range ending at the lowest int32 ends.
  for (int64_t port = client_port_max_; port >= client_port_min_; --port) {
    port_ = static_cast<int32_t>(port);
    if (BindOnce()) return true;
  }
  return false;
}

void TIdSocketHandle::Listen(int32_t AQueueCount) {
  TIdStack& stack = Stack();
  stack.CheckResult(stack.Listen(handle_, AQueueCount));
}

bool TIdSocketHandle::Accept(TIdStackSocketHandle ASocket) {
  TIdStack& stack = Stack();
  Clear(true);
  std::string ip;
  int32_t port = 0;
  const TIdStackSocketHandle accepted = stack.Accept(ASocket, ip, port);
  // 10004: the call was interrupted; 10038: the listener was closed by someone else; 995: the
  // same close, where Winsock cancels the blocked call instead.
  if (stack.CheckResult(accepted, {Id_WSAEINTR, Id_WSAENOTSOCK, Id_WSA_OPERATION_ABORTED}))
    return false;
  handle_ = accepted;
  allocated_ = true;
  RefreshLocal();
  RefreshPeer();
  return true;
}

void TIdSocketHandle::Attach(TIdStackSocketHandle ASocket) {
  CloseSocket();
  Clear(true);
  handle_ = ASocket;
  allocated_ = true;
  RefreshLocal();
}

bool TIdSocketHandle::WaitReadable(int32_t AMSec) {
  if (!allocated_) throw EIdConnClosedGracefully(res::kTcpConnClosedGracefully);
  const TIdIdleHookAccess& hook = IdleHookAccess();
  const bool in_use = hook.InUse && hook.IdleTimeOut && hook.InUse();
  const int32_t slice = in_use ? hook.IdleTimeOut() : 0;
  // Without a hook (or with a slice that cannot cut anything) the wait is one Select.
  if (!in_use || slice <= 0) return WaitOnce(AMSec);
  if (AMSec == TimeoutInfinite) {
    while (!WaitOnce(slice)) {
    }
    return true;
  }
  // A limit longer than one slice: what does not fill a whole slice first, then whole
  // slices, with the hook run after each.
  if (AMSec > slice) {
    int32_t remaining = AMSec;
    int32_t first = remaining % slice;
    if (first == 0) first = slice;
    if (WaitOnce(first)) return true;
    remaining -= first;
    while (remaining > slice) {
      if (WaitOnce(slice)) return true;
      remaining -= slice;
    }
    return WaitOnce(slice);
  }
  return WaitOnce(AMSec);
}

bool TIdSocketHandle::WaitOnce(int32_t AMSec) {
  // Checked before every slice: the idle hook may have closed the socket meanwhile, and an
  // endless wait must not go on polling a socket that is gone.
  if (!allocated_) throw EIdConnClosedGracefully(res::kTcpConnClosedGracefully);
  auto list = TIdSocketList::CreateSocketList();
  bool readable = false;
  for (int32_t remaining = AMSec;;) {
    // Without a low-water mark one Select is the whole wait.
    const int32_t slice = low_water_ < 2 || (remaining >= 0 && remaining <= kLowWaterSliceMs)
                              ? remaining
                              : kLowWaterSliceMs;
    list->Remove(handle_);  // a Select keeps only the ready sockets
    list->Add(handle_);
    readable = Stack().Select(list.get(), nullptr, nullptr, slice) == 1;
    if (readable || low_water_ < 2) break;
    // Fewer bytes than the mark wait: they are readable too, but the next receive must take
    // no more than these, or it would wait for the mark itself. A query that fails counts as
    // readable: the receive then reports what is wrong with the socket.
    uint32_t waiting = 0;
    if (Stack().IOControl(handle_, Id_FIONREAD, waiting) != 0 || waiting > 0) {
      recv_limit_ = static_cast<int32_t>(std::min<uint32_t>(waiting, INT32_MAX));
      readable = true;
      break;
    }
    if (remaining != TimeoutInfinite && (remaining -= slice) <= 0) break;
  }
  const TIdIdleHookAccess& hook = IdleHookAccess();
  if (hook.InUse && hook.Run && hook.InUse()) hook.Run(!readable, false);
  return readable;
}

int32_t TIdSocketHandle::Recv(void* ABuffer, int32_t ABufferLength, int32_t AFlags) {
  if (recv_limit_ > 0) {
    ABufferLength = std::min(ABufferLength, recv_limit_);
    recv_limit_ = 0;
  }
  return Stack().Recv(handle_, ABuffer, ABufferLength, AFlags);
}

void TIdSocketHandle::SetReceiveLowWater(int32_t ABytes) {
  if (ABytes < 2 || !allocated_) return;
  // Refused (Windows has no such option for TCP): the waits stay as they are.
  if (Stack().SetSockOpt(handle_, Id_SOL_SOCKET, Id_SO_RCVLOWAT, &ABytes, sizeof ABytes) == 0)
    low_water_ = ABytes;
}

int32_t TIdSocketHandle::Send(const void* ABuffer, int32_t ABufferLength, int32_t AFlags) {
  return Stack().Send(handle_, ABuffer, ABufferLength, AFlags);
}

void TIdSocketHandle::SetSockOpt(int32_t ALevel, int32_t AOptName, const void* AOptVal,
                                 int32_t AOptLen) {
  TIdStack& stack = Stack();
  stack.CheckResult(stack.SetSockOpt(handle_, ALevel, AOptName, AOptVal, AOptLen));
}

void TIdSocketHandle::SetPeerAddress(const std::string& AIP, int32_t APort) {
  peer_ip_ = AIP;
  peer_port_ = APort;
}

void TIdSocketHandle::RefreshLocal() {
  int32_t family = 0;
  Stack().GetSockName(handle_, family, ip_, port_);
  // An accepted or attached socket has the family its listener had.
  if (family == Id_PF_INET || family == Id_PF_INET6) family_ = family;
}

void TIdSocketHandle::RefreshPeer() {
  int32_t family = 0;
  Stack().GetPeerName(handle_, family, peer_ip_, peer_port_);
}

void TIdSocketHandle::Clear(bool AIncludeLocal) {
  allocated_ = false;
  low_water_ = recv_limit_ = 0;
  handle_ = Id_INVALID_SOCKET;
  if (AIncludeLocal) {
    ip_.clear();
    port_ = 0;
  }
  peer_ip_.clear();
  peer_port_ = 0;
}

void TIdSocketHandle::Assign(const rtl::TPersistent& ASource) {
  const auto* source = dynamic_cast<const TIdSocketHandle*>(&ASource);
  if (!source) {
    rtl::TPersistent::Assign(ASource);  // refuses with the framework's assignment error
    return;
  }
  ip_ = source->ip_;
  port_ = source->port_;
  peer_ip_ = source->peer_ip_;
  peer_port_ = source->peer_port_;
}

}  // namespace tavo::net
