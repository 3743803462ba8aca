#pragma once
// The few BSD socket calls the test peers make, for both builds of the tests: POSIX sockets on
// Linux, Winsock in the Windows test programs that run under wine. The library under test has
// its own socket layer; the peers stay independent of it on purpose, so a fault there cannot
// hide itself by breaking both ends the same way.

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <string>

namespace tavo::testsupport {

#ifdef _WIN32
// Winsock knows neither flag. Peer sockets are non-blocking there instead (see
// MakeDontWait), which gives every receive and send the MSG_DONTWAIT behaviour, and a send to a
// closed peer raises no signal on Windows in the first place.
inline constexpr int kMsgNoSignal = 0;
inline constexpr int kMsgDontWait = 0;
inline constexpr int kShutWrite = SD_SEND;
#else
inline constexpr int kMsgNoSignal = MSG_NOSIGNAL;
inline constexpr int kMsgDontWait = MSG_DONTWAIT;
inline constexpr int kShutWrite = SHUT_WR;
#endif

// A poll entry for a peer socket (Winsock's holds a SOCKET, POSIX's an int).
inline pollfd PollFor(int fd, short events) {
  pollfd p{};
#ifdef _WIN32
  p.fd = static_cast<SOCKET>(fd);
#else
  p.fd = fd;
#endif
  p.events = events;
  return p;
}

// A TCP socket (IPv4, or IPv6 with AFamily AF_INET6), not inherited by programs the test
// starts; -1 on failure.
int OpenTcpSocket(bool nonblocking = false, int AFamily = AF_INET);
// accept() with the same inheritance rule; -1 on failure.
int AcceptTcp(int listen_fd);
// Where MSG_DONTWAIT does not exist, makes the socket non-blocking; elsewhere nothing.
void MakeDontWait(int fd);
void CloseSocket(int fd);
int PollSockets(pollfd* fds, unsigned count, int timeout_ms);
// The errno value of the last failed socket call (Winsock's codes mapped to theirs: EAGAIN,
// EINTR, ECONNRESET, EINPROGRESS). A non-blocking connect still in its handshake gives
// EINPROGRESS on POSIX and EAGAIN on Winsock.
int SocketErrno();
std::string SocketErrorText(int err);

}  // namespace tavo::testsupport
