// Windows Sockets semantics over BSD sockets.
//
// Three things need more than a pass-through:
//  - error numbers: errno and resolver codes are translated to the Windows numbers in one
//    table (ErrnoToWsa, ResolverToWsa), and kept per thread like WSAGetLastError;
//  - closing a socket wakes calls blocked on it in other threads on Windows, while a plain
//    close() on POSIX leaves them blocked. closesocket therefore shuts the socket down first,
//    and a call that fails because its socket was closed under it reports 10038 ("not a
//    socket"), which is what Windows reports and what the stack's callers tolerate;
//  - select works on socket lists, not on FD_SETSIZE bitmaps, so it is built on poll() and
//    no socket number can write outside a set.
// A send never raises SIGPIPE: MSG_NOSIGNAL where it exists, SO_NOSIGPIPE elsewhere.

#include "platform/ws2.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <limits>
#include <mutex>
#include <system_error>
#include <unordered_map>

namespace tavo::platform::ws2 {
namespace {

thread_local int32_t t_last_error = 0;

// What Windows reports for a failure it has no closer number for.
constexpr int32_t kWsaSysCallFailure = 10107;

// errno values and the Windows numbers they translate to, in both directions: a socket error
// travels in the Windows numbering, and its text for a person comes from the errno it stands
// for (the first row of a number is its text's source).
struct TErrnoRow {
  int Errno;
  int32_t Wsa;
};
constexpr TErrnoRow kErrnoTable[] = {
    {EINTR, 10004}, {EBADF, 10009}, {EACCES, 10013}, {EPERM, 10013}, {EFAULT, 10014},
    {EINVAL, 10022}, {EMFILE, 10024}, {ENFILE, 10024}, {EAGAIN, 10035},
#if EWOULDBLOCK != EAGAIN
    {EWOULDBLOCK, 10035},
#endif
    {EINPROGRESS, 10036}, {EALREADY, 10037}, {ENOTSOCK, 10038}, {EDESTADDRREQ, 10039},
    {EMSGSIZE, 10040}, {EPROTOTYPE, 10041}, {ENOPROTOOPT, 10042}, {EPROTONOSUPPORT, 10043},
    {ESOCKTNOSUPPORT, 10044}, {EOPNOTSUPP, 10045},
#if defined(ENOTSUP) && ENOTSUP != EOPNOTSUPP
    {ENOTSUP, 10045},
#endif
    {EPFNOSUPPORT, 10046}, {EAFNOSUPPORT, 10047}, {EADDRINUSE, 10048}, {EADDRNOTAVAIL, 10049},
    {ENETDOWN, 10050}, {ENETUNREACH, 10051}, {ENETRESET, 10052}, {ECONNABORTED, 10053},
#ifdef EPROTO
    {EPROTO, 10053},
#endif
    {ECONNRESET, 10054}, {ENOBUFS, 10055}, {ENOMEM, 10055}, {EISCONN, 10056},
    {ENOTCONN, 10057},
    // Sending on a socket whose sending side is gone, by us or by the peer.
    {ESHUTDOWN, 10058}, {EPIPE, 10058},
    {ETOOMANYREFS, 10059}, {ETIMEDOUT, 10060}, {ECONNREFUSED, 10061}, {ELOOP, 10062},
    {ENAMETOOLONG, 10063}, {EHOSTDOWN, 10064}, {EHOSTUNREACH, 10065}, {ENOTEMPTY, 10066},
};

int32_t ErrnoToWsa(int AErrno) {
  for (const TErrnoRow& row : kErrnoTable) {
    if (row.Errno == AErrno) return row.Wsa;
  }
  return kWsaSysCallFailure;
}

int32_t ResolverToWsa(int ACode, int AErrno) {
  switch (ACode) {
    case EAI_NONAME: return Id_WSAHOST_NOT_FOUND;
    case EAI_AGAIN: return kWsaTryAgain;
    case EAI_FAIL: return kWsaNoRecovery;
#ifdef EAI_NODATA
    case EAI_NODATA: return kWsaNoData;
#endif
#ifdef EAI_ADDRFAMILY
    case EAI_ADDRFAMILY: return kWsaNoData;
#endif
    case EAI_MEMORY: return kWsaENoBufs;
    case EAI_SYSTEM: return ErrnoToWsa(AErrno);
    default: return kWsaNoRecovery;
  }
}

int32_t Fail(int32_t AError) {
  t_last_error = AError;
  return Id_SOCKET_ERROR;
}

// Which socket numbers are open through this binding, and how often each was closed. A call
// that finds its socket's close count changed, or its socket closed, was cut off by
// closesocket rather than by the network.
struct TSocketState {
  uint64_t Closes = 0;
  bool Open = false;
};
std::mutex g_sockets_lock;
std::unordered_map<int, TSocketState> g_sockets;

void MarkOpen(int AFd) {
  std::lock_guard<std::mutex> lock(g_sockets_lock);
  g_sockets[AFd].Open = true;
}

uint64_t CloseCount(int AFd) {
  std::lock_guard<std::mutex> lock(g_sockets_lock);
  auto it = g_sockets.find(AFd);
  return it == g_sockets.end() ? 0 : it->second.Closes;
}

// False when AFd is not a socket open through this binding; then nothing is marked.
bool MarkClosed(int AFd) {
  std::lock_guard<std::mutex> lock(g_sockets_lock);
  auto it = g_sockets.find(AFd);
  if (it == g_sockets.end() || !it->second.Open) return false;
  ++it->second.Closes;
  it->second.Open = false;
  return true;
}

// The error of a failed call on AFd, which had been closed ACloseCount times when it began.
int32_t SocketFail(int AFd, uint64_t ACloseCount, int AErrno) {
  {
    std::lock_guard<std::mutex> lock(g_sockets_lock);
    auto it = g_sockets.find(AFd);
    if (it != g_sockets.end() && (it->second.Closes != ACloseCount || !it->second.Open)) {
      return Fail(Id_WSAENOTSOCK);
    }
  }
  return Fail(ErrnoToWsa(AErrno));
}

// Runs ACall on ASocket again whenever a signal interrupted it while the socket stayed open
// (Windows never reports such interruptions); a call whose socket was closed under it fails
// with 10038. Returns the call's result, or -1 with the calling thread's error set.
template <class TCall>
auto RetryInterrupted(TSocket ASocket, TCall ACall) -> decltype(ACall()) {
  const uint64_t closes = CloseCount(ASocket);
  for (;;) {
    const auto result = ACall();
    if (result >= 0) return result;
    const int error = errno;
    if (error == EINTR && CloseCount(ASocket) == closes) continue;
    SocketFail(ASocket, closes, error);
    return -1;
  }
}

void SetCloseOnExecAndNoSigPipe(int AFd) {
#ifndef SOCK_CLOEXEC
  ::fcntl(AFd, F_SETFD, ::fcntl(AFd, F_GETFD) | FD_CLOEXEC);
#endif
#ifdef SO_NOSIGPIPE
  int one = 1;
  ::setsockopt(AFd, SOL_SOCKET, SO_NOSIGPIPE, &one, sizeof(one));
#endif
  (void)AFd;
}

// A socket address in the system's form; false for a family neither IPv4 nor IPv6.
bool ToNative(const TSockAddr& AAddr, sockaddr_storage& ANative, socklen_t& ALength) {
  std::memset(&ANative, 0, sizeof(ANative));
  if (AAddr.Family == Id_PF_INET) {
    sockaddr_in in{};
    in.sin_family = AF_INET;
    in.sin_port = AAddr.Port;
    in.sin_addr.s_addr = AAddr.Addr;
    std::memcpy(&ANative, &in, sizeof(in));
    ALength = sizeof(in);
    return true;
  }
  if (AAddr.Family == Id_PF_INET6) {
    sockaddr_in6 in6{};
    in6.sin6_family = AF_INET6;
    in6.sin6_port = AAddr.Port;
    std::memcpy(&in6.sin6_addr, AAddr.Addr6, sizeof(AAddr.Addr6));
    in6.sin6_scope_id = AAddr.ScopeId;
    std::memcpy(&ANative, &in6, sizeof(in6));
    ALength = sizeof(in6);
    return true;
  }
  return false;
}

void FromNative(const sockaddr_storage& ANative, TSockAddr& AAddr) {
  AAddr = TSockAddr{};
  if (ANative.ss_family == AF_INET) {
    sockaddr_in in;
    std::memcpy(&in, &ANative, sizeof(in));
    AAddr.Family = static_cast<int16_t>(Id_PF_INET);
    AAddr.Port = in.sin_port;
    AAddr.Addr = in.sin_addr.s_addr;
  } else if (ANative.ss_family == AF_INET6) {
    sockaddr_in6 in6;
    std::memcpy(&in6, &ANative, sizeof(in6));
    AAddr.Family = static_cast<int16_t>(Id_PF_INET6);
    AAddr.Port = in6.sin6_port;
    std::memcpy(AAddr.Addr6, &in6.sin6_addr, sizeof(AAddr.Addr6));
    AAddr.ScopeId = in6.sin6_scope_id;
  } else {
    AAddr.Family = static_cast<int16_t>(ANative.ss_family);
  }
}

int NativeFlags(int32_t AFlags, bool& AOk) {
  AOk = (AFlags & ~(kMsgOob | kMsgPeek)) == 0;
  int flags = 0;
  if (AFlags & kMsgOob) flags |= MSG_OOB;
  if (AFlags & kMsgPeek) flags |= MSG_PEEK;
  return flags;
}

#ifdef MSG_NOSIGNAL
constexpr int kNoSigPipe = MSG_NOSIGNAL;
#else
constexpr int kNoSigPipe = 0;
#endif

// Option translation. Values of Boolean and integer options are 32-bit on both sides; the
// linger pair and the time-outs have other shapes on Windows and are converted.
enum class TOptKind { kInt, kLinger, kTimeout, kError, kType };
struct TNativeOpt {
  int Level;
  int Name;
  TOptKind Kind;
};

bool TranslateOption(int32_t ALevel, int32_t AName, TNativeOpt& AOpt, int32_t& AError) {
  if (ALevel == Id_SOL_SOCKET) {
    switch (AName) {
      case kSoDebug: AOpt = {SOL_SOCKET, SO_DEBUG, TOptKind::kInt}; return true;
      case kSoReuseAddr: AOpt = {SOL_SOCKET, SO_REUSEADDR, TOptKind::kInt}; return true;
      case kSoKeepAlive: AOpt = {SOL_SOCKET, SO_KEEPALIVE, TOptKind::kInt}; return true;
      case kSoDontRoute: AOpt = {SOL_SOCKET, SO_DONTROUTE, TOptKind::kInt}; return true;
      case kSoBroadcast: AOpt = {SOL_SOCKET, SO_BROADCAST, TOptKind::kInt}; return true;
      case kSoOobInline: AOpt = {SOL_SOCKET, SO_OOBINLINE, TOptKind::kInt}; return true;
      case kSoSndBuf: AOpt = {SOL_SOCKET, SO_SNDBUF, TOptKind::kInt}; return true;
      case kSoRcvBuf: AOpt = {SOL_SOCKET, SO_RCVBUF, TOptKind::kInt}; return true;
      case Id_SO_RCVLOWAT: AOpt = {SOL_SOCKET, SO_RCVLOWAT, TOptKind::kInt}; return true;
      case kSoLinger: AOpt = {SOL_SOCKET, SO_LINGER, TOptKind::kLinger}; return true;
      case kSoSndTimeo: AOpt = {SOL_SOCKET, SO_SNDTIMEO, TOptKind::kTimeout}; return true;
      case kSoRcvTimeo: AOpt = {SOL_SOCKET, SO_RCVTIMEO, TOptKind::kTimeout}; return true;
      case kSoError: AOpt = {SOL_SOCKET, SO_ERROR, TOptKind::kError}; return true;
      case kSoType: AOpt = {SOL_SOCKET, SO_TYPE, TOptKind::kType}; return true;
      default: AError = kWsaENoProtoOpt; return false;
    }
  }
  if (ALevel == Id_IPPROTO_TCP) {
    if (AName == Id_TCP_NODELAY) {
      AOpt = {IPPROTO_TCP, TCP_NODELAY, TOptKind::kInt};
      return true;
    }
    AError = kWsaENoProtoOpt;
    return false;
  }
  if (ALevel == kIpProtoIpv6) {
    if (AName == kIpv6V6Only) {
      AOpt = {IPPROTO_IPV6, IPV6_V6ONLY, TOptKind::kInt};
      return true;
    }
    AError = kWsaENoProtoOpt;
    return false;
  }
  AError = Id_WSAEINVAL;
  return false;
}

// Windows' linger pair: two unsigned 16-bit values.
struct TWinLinger {
  uint16_t OnOff;
  uint16_t Linger;
};

TStubErrorHandler g_stub_error_handler = nullptr;

}  // namespace

int32_t WSAStartup(uint16_t) { return 0; }
int32_t WSACleanup() { return 0; }
void UnloadLibrary() {}

TSocket socket(int32_t AFamily, int32_t AType, int32_t AProtocol) {
  if (AFamily != Id_PF_INET && AFamily != Id_PF_INET6) return Fail(kWsaEAfNoSupport);
  int type;
  if (AType == Id_SOCK_STREAM) {
    type = SOCK_STREAM;
  } else if (AType == Id_SOCK_DGRAM) {
    type = SOCK_DGRAM;
  } else {
    return Fail(kWsaESocktNoSupport);
  }
#ifdef SOCK_CLOEXEC
  type |= SOCK_CLOEXEC;
#endif
  const int fd = ::socket(AFamily == Id_PF_INET6 ? AF_INET6 : AF_INET, type, AProtocol);
  if (fd < 0) return Fail(ErrnoToWsa(errno));
  SetCloseOnExecAndNoSigPipe(fd);
  MarkOpen(fd);
  return fd;
}

TSocket accept(TSocket ASocket, TSockAddr* AAddr) {
  sockaddr_storage peer;
  socklen_t len = 0;
  const int fd = RetryInterrupted(ASocket, [&] {
    len = sizeof(peer);
#if defined(SOCK_CLOEXEC) && defined(__linux__)
    return ::accept4(ASocket, reinterpret_cast<sockaddr*>(&peer), &len, SOCK_CLOEXEC);
#else
    return ::accept(ASocket, reinterpret_cast<sockaddr*>(&peer), &len);
#endif
  });
  if (fd < 0) return Id_INVALID_SOCKET;
  SetCloseOnExecAndNoSigPipe(fd);
  MarkOpen(fd);
  if (AAddr) FromNative(peer, *AAddr);
  return fd;
}

int32_t bind(TSocket ASocket, const TSockAddr& AAddr) {
  sockaddr_storage native;
  socklen_t length = 0;
  if (!ToNative(AAddr, native, length)) return Fail(kWsaEAfNoSupport);
  if (::bind(ASocket, reinterpret_cast<const sockaddr*>(&native), length) != 0) {
    return SocketFail(ASocket, CloseCount(ASocket), errno);
  }
  return 0;
}

int32_t connect(TSocket ASocket, const TSockAddr& AAddr) {
  sockaddr_storage native;
  socklen_t length = 0;
  if (!ToNative(AAddr, native, length)) return Fail(kWsaEAfNoSupport);
  const uint64_t closes = CloseCount(ASocket);
  if (::connect(ASocket, reinterpret_cast<const sockaddr*>(&native), length) == 0) {
    return 0;
  }
  if (errno != EINTR) return SocketFail(ASocket, closes, errno);
  // An interrupted connect goes on in the background; wait for its outcome instead of failing.
  for (;;) {
    pollfd p{ASocket, POLLOUT, 0};
    const int r = ::poll(&p, 1, -1);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return SocketFail(ASocket, closes, errno);
    int err = 0;
    socklen_t len = sizeof(err);
    if (::getsockopt(ASocket, SOL_SOCKET, SO_ERROR, &err, &len) != 0) {
      return SocketFail(ASocket, closes, errno);
    }
    if (err != 0) return SocketFail(ASocket, closes, err);
    return 0;
  }
}

int32_t listen(TSocket ASocket, int32_t ABacklog) {
  if (::listen(ASocket, ABacklog) != 0) return SocketFail(ASocket, CloseCount(ASocket), errno);
  return 0;
}

int32_t recv(TSocket ASocket, void* ABuffer, int32_t ALength, int32_t AFlags) {
  if (ALength < 0 || (ALength > 0 && ABuffer == nullptr)) return Fail(kWsaEFault);
  bool ok;
  const int flags = NativeFlags(AFlags, ok);
  if (!ok) return Fail(kWsaEOpNotSupp);
  const ssize_t n = RetryInterrupted(ASocket, [&] {
    return ::recv(ASocket, ABuffer, static_cast<size_t>(ALength), flags);
  });
  return n < 0 ? Id_SOCKET_ERROR : static_cast<int32_t>(n);
}

int32_t send(TSocket ASocket, const void* ABuffer, int32_t ALength, int32_t AFlags) {
  if (ALength < 0 || (ALength > 0 && ABuffer == nullptr)) return Fail(kWsaEFault);
  bool ok;
  const int flags = NativeFlags(AFlags, ok) | kNoSigPipe;
  if (!ok) return Fail(kWsaEOpNotSupp);
  const ssize_t n = RetryInterrupted(ASocket, [&] {
    return ::send(ASocket, ABuffer, static_cast<size_t>(ALength), flags);
  });
  return n < 0 ? Id_SOCKET_ERROR : static_cast<int32_t>(n);
}

int32_t recvfrom(TSocket ASocket, void* ABuffer, int32_t ALength, int32_t AFlags,
                 TSockAddr* AFrom) {
  if (ALength < 0 || (ALength > 0 && ABuffer == nullptr)) return Fail(kWsaEFault);
  bool ok;
  const int flags = NativeFlags(AFlags, ok);
  if (!ok) return Fail(kWsaEOpNotSupp);
  sockaddr_storage from;
  socklen_t len = 0;
  const ssize_t n = RetryInterrupted(ASocket, [&] {
    len = sizeof(from);
    std::memset(&from, 0, sizeof(from));
    return ::recvfrom(ASocket, ABuffer, static_cast<size_t>(ALength), flags,
                      reinterpret_cast<sockaddr*>(&from), &len);
  });
  if (n < 0) return Id_SOCKET_ERROR;
  if (AFrom) FromNative(from, *AFrom);
  return static_cast<int32_t>(n);
}

int32_t sendto(TSocket ASocket, const void* ABuffer, int32_t ALength, int32_t AFlags,
               const TSockAddr& ATo) {
  if (ALength < 0 || (ALength > 0 && ABuffer == nullptr)) return Fail(kWsaEFault);
  bool ok;
  const int flags = NativeFlags(AFlags, ok) | kNoSigPipe;
  if (!ok) return Fail(kWsaEOpNotSupp);
  sockaddr_storage native;
  socklen_t length = 0;
  if (!ToNative(ATo, native, length)) return Fail(kWsaEAfNoSupport);
  const ssize_t n = RetryInterrupted(ASocket, [&] {
    return ::sendto(ASocket, ABuffer, static_cast<size_t>(ALength), flags,
                    reinterpret_cast<const sockaddr*>(&native), length);
  });
  return n < 0 ? Id_SOCKET_ERROR : static_cast<int32_t>(n);
}

namespace {

using SelectSets = TFdSet* const[3];  // read, write, except; null where not asked

// One poll entry per distinct socket, watching for everything its sets ask. 0, or the error
// select() reports.
int32_t ToPollEntries(SelectSets& sets, pollfd* fds, nfds_t& count) {
  const short watch[3] = {POLLIN, POLLOUT, POLLPRI};
  count = 0;
  for (int s = 0; s < 3; ++s) {
    if (!sets[s]) continue;
    if (sets[s]->Count > static_cast<uint32_t>(Id_SOCKETS_PER_SET)) return Id_WSAEINVAL;
    for (uint32_t i = 0; i < sets[s]->Count; ++i) {
      const TSocket fd = sets[s]->Sockets[i];
      // poll() skips negative numbers silently, so a set holding only -1 would wait out its
      // whole time-out (for ever without one); Windows refuses such a set as "not a socket".
      if (fd < 0) return Id_WSAENOTSOCK;
      nfds_t j = 0;
      while (j < count && fds[j].fd != fd) ++j;
      if (j == count) fds[count++] = pollfd{fd, 0, 0};
      fds[j].events = static_cast<short>(fds[j].events | watch[s]);
    }
  }
  return 0;
}

// poll() until something is ready or the deadline has passed, resumed after a signal with the
// time that is left; poll's result (errno set where negative).
int PollUntil(pollfd* fds, nfds_t count, bool forever,
              std::chrono::steady_clock::time_point deadline) {
  for (;;) {
    int wait_ms = -1;
    if (!forever) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      const auto capped = std::min<int64_t>(std::max<int64_t>(left.count(), 0),
                                            std::numeric_limits<int>::max());
      wait_ms = static_cast<int>(capped);
    }
    const int r = ::poll(fds, count, wait_ms);
    if (r >= 0 || errno != EINTR) return r;
  }
}

// Leaves in each set only its sockets that are ready; the number left in all sets.
int32_t KeepReady(SelectSets& sets, const pollfd* fds) {
  int32_t ready = 0;
  for (int s = 0; s < 3; ++s) {
    if (!sets[s]) continue;
    TFdSet kept;
    for (uint32_t i = 0; i < sets[s]->Count; ++i) {
      const TSocket fd = sets[s]->Sockets[i];
      nfds_t j = 0;
      while (fds[j].fd != fd) ++j;
      const short ev = fds[j].revents;
      bool hit = false;
      if (s == 0) hit = (ev & (POLLIN | POLLHUP | POLLERR)) != 0;
      if (s == 1) hit = (ev & (POLLOUT | POLLHUP | POLLERR)) != 0;
      if (s == 2) hit = (ev & (POLLPRI | POLLERR)) != 0;
      if (hit) kept.Sockets[kept.Count++] = fd;
    }
    ready += static_cast<int32_t>(kept.Count);
    *sets[s] = kept;
  }
  return ready;
}

}  // namespace

int32_t select(TFdSet* ARead, TFdSet* AWrite, TFdSet* AExcept, const TTimeVal* ATimeout) {
  SelectSets sets = {ARead, AWrite, AExcept};
  pollfd fds[3 * Id_SOCKETS_PER_SET];
  nfds_t count = 0;
  if (const int32_t error = ToPollEntries(sets, fds, count); error != 0) return Fail(error);
  // Windows refuses a select on nothing at all.
  if (count == 0) return Fail(Id_WSAEINVAL);

  const bool forever = ATimeout == nullptr;
  std::chrono::steady_clock::time_point deadline{};
  if (!forever) {
    if (ATimeout->Sec < 0 || ATimeout->USec < 0) return Fail(Id_WSAEINVAL);
    deadline = std::chrono::steady_clock::now() + std::chrono::seconds(ATimeout->Sec) +
               std::chrono::microseconds(ATimeout->USec);
  }
  if (PollUntil(fds, count, forever, deadline) < 0) return Fail(ErrnoToWsa(errno));
  for (nfds_t j = 0; j < count; ++j) {
    if (fds[j].revents & POLLNVAL) return Fail(Id_WSAENOTSOCK);
  }
  return KeepReady(sets, fds);
}

int32_t shutdown(TSocket ASocket, int32_t AHow) {
  int how;
  switch (AHow) {
    case Id_SD_Recv: how = SHUT_RD; break;
    case Id_SD_Send: how = SHUT_WR; break;
    case Id_SD_Both: how = SHUT_RDWR; break;
    default: return Fail(Id_WSAEINVAL);
  }
  if (::shutdown(ASocket, how) != 0) return SocketFail(ASocket, CloseCount(ASocket), errno);
  return 0;
}

int32_t closesocket(TSocket ASocket) {
  // Only sockets made here are closed: a stale or foreign number (a file, the terminal) is
  // "not a socket", as on Windows, and stays untouched.
  // The close is recorded first, so that a call it wakes up sees that its socket went away.
  if (!MarkClosed(ASocket)) return Fail(Id_WSAENOTSOCK);
  // Wakes accept, connect, recv and poll blocked on it in other threads; the result does not
  // matter (an unconnected socket has nothing to shut down).
  ::shutdown(ASocket, SHUT_RDWR);
  if (::close(ASocket) != 0 && errno != EINTR) return Fail(ErrnoToWsa(errno));
  return 0;
}

int32_t setsockopt(TSocket ASocket, int32_t ALevel, int32_t AOptName, const void* AOptVal,
                   int32_t AOptLen) {
  TNativeOpt opt;
  int32_t error = 0;
  if (!TranslateOption(ALevel, AOptName, opt, error)) return Fail(error);
  if (AOptVal == nullptr) return Fail(kWsaEFault);
  int r;
  switch (opt.Kind) {
    case TOptKind::kInt: {
      if (AOptLen < static_cast<int32_t>(sizeof(int32_t))) return Fail(kWsaEFault);
      int32_t value;
      std::memcpy(&value, AOptVal, sizeof(value));
      int native = value;
      r = ::setsockopt(ASocket, opt.Level, opt.Name, &native, sizeof(native));
      break;
    }
    case TOptKind::kLinger: {
      if (AOptLen < static_cast<int32_t>(sizeof(TWinLinger))) return Fail(kWsaEFault);
      TWinLinger win;
      std::memcpy(&win, AOptVal, sizeof(win));
      linger native{win.OnOff != 0 ? 1 : 0, win.Linger};
      r = ::setsockopt(ASocket, opt.Level, opt.Name, &native, sizeof(native));
      break;
    }
    case TOptKind::kTimeout: {
      if (AOptLen < static_cast<int32_t>(sizeof(uint32_t))) return Fail(kWsaEFault);
      uint32_t ms;
      std::memcpy(&ms, AOptVal, sizeof(ms));
      timeval native{static_cast<time_t>(ms / 1000), static_cast<suseconds_t>((ms % 1000) * 1000)};
      r = ::setsockopt(ASocket, opt.Level, opt.Name, &native, sizeof(native));
      break;
    }
    default:
      return Fail(kWsaENoProtoOpt);  // read-only options
  }
  if (r != 0) return SocketFail(ASocket, CloseCount(ASocket), errno);
  return 0;
}

int32_t getsockopt(TSocket ASocket, int32_t ALevel, int32_t AOptName, void* AOptVal,
                   int32_t* AOptLen) {
  TNativeOpt opt;
  int32_t error = 0;
  if (!TranslateOption(ALevel, AOptName, opt, error)) return Fail(error);
  if (AOptVal == nullptr || AOptLen == nullptr) return Fail(kWsaEFault);
  switch (opt.Kind) {
    case TOptKind::kLinger: {
      if (*AOptLen < static_cast<int32_t>(sizeof(TWinLinger))) return Fail(kWsaEFault);
      linger native{};
      socklen_t len = sizeof(native);
      if (::getsockopt(ASocket, opt.Level, opt.Name, &native, &len) != 0) {
        return SocketFail(ASocket, CloseCount(ASocket), errno);
      }
      const TWinLinger win{static_cast<uint16_t>(native.l_onoff != 0),
                           static_cast<uint16_t>(native.l_linger)};
      std::memcpy(AOptVal, &win, sizeof(win));
      *AOptLen = sizeof(win);
      return 0;
    }
    case TOptKind::kTimeout: {
      if (*AOptLen < static_cast<int32_t>(sizeof(uint32_t))) return Fail(kWsaEFault);
      timeval native{};
      socklen_t len = sizeof(native);
      if (::getsockopt(ASocket, opt.Level, opt.Name, &native, &len) != 0) {
        return SocketFail(ASocket, CloseCount(ASocket), errno);
      }
      const uint32_t ms = static_cast<uint32_t>(native.tv_sec * 1000 + native.tv_usec / 1000);
      std::memcpy(AOptVal, &ms, sizeof(ms));
      *AOptLen = sizeof(ms);
      return 0;
    }
    default: {
      if (*AOptLen < static_cast<int32_t>(sizeof(int32_t))) return Fail(kWsaEFault);
      int native = 0;
      socklen_t len = sizeof(native);
      if (::getsockopt(ASocket, opt.Level, opt.Name, &native, &len) != 0) {
        return SocketFail(ASocket, CloseCount(ASocket), errno);
      }
      int32_t value = native;
      if (opt.Kind == TOptKind::kError && native != 0) value = ErrnoToWsa(native);
      if (opt.Kind == TOptKind::kType) {
        value = native == SOCK_STREAM ? Id_SOCK_STREAM : native == SOCK_DGRAM ? Id_SOCK_DGRAM : native;
      }
      std::memcpy(AOptVal, &value, sizeof(value));
      *AOptLen = sizeof(value);
      return 0;
    }
  }
}

int32_t getpeername(TSocket ASocket, TSockAddr& AAddr) {
  sockaddr_storage native{};
  socklen_t len = sizeof(native);
  if (::getpeername(ASocket, reinterpret_cast<sockaddr*>(&native), &len) != 0) {
    return SocketFail(ASocket, CloseCount(ASocket), errno);
  }
  FromNative(native, AAddr);
  return 0;
}

int32_t getsockname(TSocket ASocket, TSockAddr& AAddr) {
  sockaddr_storage native{};
  socklen_t len = sizeof(native);
  if (::getsockname(ASocket, reinterpret_cast<sockaddr*>(&native), &len) != 0) {
    return SocketFail(ASocket, CloseCount(ASocket), errno);
  }
  FromNative(native, AAddr);
  return 0;
}

bool gethostbyname(const std::string& AName, THostEnt& AResult) {
  AResult = THostEnt{};
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_CANONNAME;
  addrinfo* list = nullptr;
  const int r = ::getaddrinfo(AName.c_str(), nullptr, &hints, &list);
  if (r != 0) {
    Fail(ResolverToWsa(r, errno));
    return false;
  }
  for (addrinfo* ai = list; ai; ai = ai->ai_next) {
    if (ai->ai_canonname && AResult.Name.empty()) AResult.Name = ai->ai_canonname;
    if (ai->ai_family != AF_INET || ai->ai_addr == nullptr) continue;
    sockaddr_in in;
    std::memcpy(&in, ai->ai_addr, sizeof(in));
    bool seen = false;
    for (uint32_t a : AResult.Addresses) seen = seen || a == in.sin_addr.s_addr;
    if (!seen) AResult.Addresses.push_back(in.sin_addr.s_addr);
  }
  ::freeaddrinfo(list);
  if (AResult.Name.empty()) AResult.Name = AName;
  if (AResult.Addresses.empty()) {
    Fail(kWsaNoData);
    return false;
  }
  return true;
}

bool gethostbyaddr(uint32_t AAddr, int32_t AFamily, THostEnt& AResult) {
  AResult = THostEnt{};
  if (AFamily != Id_PF_INET) {
    Fail(kWsaEAfNoSupport);
    return false;
  }
  sockaddr_in in{};
  in.sin_family = AF_INET;
  in.sin_addr.s_addr = AAddr;
  char host[NI_MAXHOST];
  const int r = ::getnameinfo(reinterpret_cast<const sockaddr*>(&in), sizeof(in), host,
                              sizeof(host), nullptr, 0, NI_NAMEREQD);
  if (r != 0) {
    Fail(ResolverToWsa(r, errno));
    return false;
  }
  AResult.Name = host;
  AResult.Addresses.push_back(AAddr);
  return true;
}

int32_t gethostname(char* ABuffer, int32_t ALength) {
  if (ABuffer == nullptr || ALength <= 0) return Fail(kWsaEFault);
  if (::gethostname(ABuffer, static_cast<size_t>(ALength)) != 0) {
    ABuffer[0] = '\0';
    return Fail(ErrnoToWsa(errno) == 10063 ? kWsaEFault : ErrnoToWsa(errno));
  }
  // POSIX may leave a truncated name unterminated.
  ABuffer[ALength - 1] = '\0';
  return 0;
}

namespace {
// The services database functions share one static result; copy it out under a lock.
std::mutex g_serv_lock;

void CopyServEnt(const servent& AEnt, TServEnt& AResult) {
  AResult.Name = AEnt.s_name ? AEnt.s_name : "";
  for (char** alias = AEnt.s_aliases; alias && *alias; ++alias) AResult.Aliases.push_back(*alias);
  AResult.Port = static_cast<uint16_t>(AEnt.s_port);
  AResult.Proto = AEnt.s_proto ? AEnt.s_proto : "";
}
}  // namespace

bool getservbyname(const std::string& AName, const char* AProto, TServEnt& AResult) {
  AResult = TServEnt{};
  std::lock_guard<std::mutex> lock(g_serv_lock);
  const servent* ent = ::getservbyname(AName.c_str(), AProto);
  if (!ent) {
    Fail(kWsaNoData);
    return false;
  }
  CopyServEnt(*ent, AResult);
  return true;
}

bool getservbyport(uint16_t APortNet, const char* AProto, TServEnt& AResult) {
  AResult = TServEnt{};
  std::lock_guard<std::mutex> lock(g_serv_lock);
  const servent* ent = ::getservbyport(APortNet, AProto);
  if (!ent) {
    Fail(kWsaNoData);
    return false;
  }
  CopyServEnt(*ent, AResult);
  return true;
}

uint32_t inet_addr(const std::string& AText) { return ::inet_addr(AText.c_str()); }

bool getaddrinfo(const std::string& AName, int32_t AFamily, bool ANumericOnly,
                 std::vector<TSockAddr>& AResult) {
  AResult.clear();
  addrinfo hints{};
  hints.ai_family = AFamily == Id_PF_INET ? AF_INET : AFamily == Id_PF_INET6 ? AF_INET6 : AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = ANumericOnly ? AI_NUMERICHOST : 0;
  addrinfo* list = nullptr;
  const int r = ::getaddrinfo(AName.c_str(), nullptr, &hints, &list);
  if (r != 0) {
    Fail(ResolverToWsa(r, errno));
    return false;
  }
  for (addrinfo* ai = list; ai; ai = ai->ai_next) {
    if (ai->ai_addr == nullptr || ai->ai_addrlen > sizeof(sockaddr_storage)) continue;
    if (ai->ai_family != AF_INET && ai->ai_family != AF_INET6) continue;
    sockaddr_storage native{};
    std::memcpy(&native, ai->ai_addr, ai->ai_addrlen);
    TSockAddr address;
    FromNative(native, address);
    AddAddressOnce(AResult, address);
  }
  ::freeaddrinfo(list);
  if (AResult.empty()) {
    Fail(kWsaNoData);
    return false;
  }
  return true;
}

std::string AddressText(const TSockAddr& AAddr) {
  char text[INET6_ADDRSTRLEN] = {};
  const bool ok = AAddr.Family == Id_PF_INET
                      ? ::inet_ntop(AF_INET, &AAddr.Addr, text, sizeof(text)) != nullptr
                  : AAddr.Family == Id_PF_INET6
                      ? ::inet_ntop(AF_INET6, AAddr.Addr6, text, sizeof(text)) != nullptr
                      : false;
  return ok ? std::string(text) : std::string();
}

// The C library turns these names into macros when optimising; the parentheses keep our
// definitions from being expanded (the calls inside may use the macros).
uint16_t(htons)(uint16_t AValue) { return ::htons(AValue); }
uint16_t(ntohs)(uint16_t AValue) { return ::ntohs(AValue); }
uint32_t(htonl)(uint32_t AValue) { return ::htonl(AValue); }
uint32_t(ntohl)(uint32_t AValue) { return ::ntohl(AValue); }

int32_t WSAGetLastError() { return t_last_error; }
void WSASetLastError(int32_t AError) { t_last_error = AError; }

int32_t ioctlsocket(TSocket ASocket, int32_t ACommand, uint32_t& AArgument) {
  if (ACommand != Id_FIONREAD) return Fail(Id_WSAEINVAL);
  int waiting = 0;
  if (::ioctl(ASocket, FIONREAD, &waiting) != 0)
    return SocketFail(ASocket, CloseCount(ASocket), errno);
  AArgument = static_cast<uint32_t>(waiting);
  return 0;
}

std::string SystemErrorText(uint32_t AErrorNumber) {
  return std::system_category().message(static_cast<int>(AErrorNumber));
}

std::string SocketErrorText(int32_t AErrorNumber) {
  // The resolver's failures have texts of their own.
  switch (AErrorNumber) {
    case Id_WSAHOST_NOT_FOUND: return ::gai_strerror(EAI_NONAME);
    case kWsaTryAgain: return ::gai_strerror(EAI_AGAIN);
    case kWsaNoRecovery: return ::gai_strerror(EAI_FAIL);
#ifdef EAI_NODATA
    case kWsaNoData: return ::gai_strerror(EAI_NODATA);
#endif
    default: break;
  }
  for (const TErrnoRow& row : kErrnoTable) {
    if (row.Wsa == AErrorNumber) return SystemErrorText(static_cast<uint32_t>(row.Errno));
  }
  // 10107 and numbers no errno stands for: what the system says about a failure as such.
  return SystemErrorText(static_cast<uint32_t>(EIO));
}

void SetStubErrorHandler(TStubErrorHandler AHandler) { g_stub_error_handler = AHandler; }

TFileSendProc FileSendHook() { return nullptr; }

}  // namespace tavo::platform::ws2
