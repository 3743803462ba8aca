#include "tests/support/test_sockets.h"

#include <cstring>
#include <mutex>

namespace tavo::testsupport {

#ifdef _WIN32

namespace {
void StartWinsock() {
  static std::once_flag once;
  std::call_once(once, [] {
    WSADATA data;
    ::WSAStartup(MAKEWORD(2, 2), &data);
  });
}
}  // namespace

// Winsock's handles are small numbers in practice (wine hands out the same kind as Windows),
// so the peers keep them in an int like a POSIX descriptor.
int OpenTcpSocket(bool nonblocking, int AFamily) {
  StartWinsock();
  const SOCKET s = ::WSASocketW(AFamily, SOCK_STREAM, IPPROTO_TCP, nullptr, 0,
                                WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
  if (s == INVALID_SOCKET) return -1;
  if (nonblocking) MakeDontWait(static_cast<int>(s));
  return static_cast<int>(s);
}

int AcceptTcp(int listen_fd) {
  const SOCKET s = ::accept(static_cast<SOCKET>(listen_fd), nullptr, nullptr);
  return s == INVALID_SOCKET ? -1 : static_cast<int>(s);
}

void MakeDontWait(int fd) {
  u_long on = 1;
  ::ioctlsocket(static_cast<SOCKET>(fd), FIONBIO, &on);
}

void CloseSocket(int fd) { ::closesocket(static_cast<SOCKET>(fd)); }

int PollSockets(pollfd* fds, unsigned count, int timeout_ms) {
  return ::WSAPoll(fds, count, timeout_ms);
}

int SocketErrno() {
  switch (::WSAGetLastError()) {
    case WSAEWOULDBLOCK:
      // A non-blocking connect reports its handshake this way.
      return EAGAIN;
    case WSAEINPROGRESS:
      return EINPROGRESS;
    case WSAEINTR:
      return EINTR;
    case WSAECONNRESET:
    case WSAECONNABORTED:
      return ECONNRESET;
    default:
      return EIO;
  }
}

std::string SocketErrorText(int err) {
  return std::string(std::strerror(err)) + " (Winsock " + std::to_string(::WSAGetLastError()) +
         ")";
}

#else

int OpenTcpSocket(bool nonblocking, int AFamily) {
  return ::socket(AFamily, SOCK_STREAM | SOCK_CLOEXEC | (nonblocking ? SOCK_NONBLOCK : 0), 0);
}

int AcceptTcp(int listen_fd) { return ::accept4(listen_fd, nullptr, nullptr, SOCK_CLOEXEC); }

void MakeDontWait(int) {}

void CloseSocket(int fd) { ::close(fd); }

int PollSockets(pollfd* fds, unsigned count, int timeout_ms) {
  return ::poll(fds, count, timeout_ms);
}

int SocketErrno() { return errno; }

std::string SocketErrorText(int err) { return std::strerror(err); }

#endif

}  // namespace tavo::testsupport
