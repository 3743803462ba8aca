// The BSD-socket backend of the ws2 binding: Windows error numbers and Windows closing
// behaviour where the two platforms differ.

#include <gtest/gtest.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <chrono>
#include <cstring>
#include <future>
#include <thread>

#include "platform/ws2.h"
#include "tests/support/thread_state.h"

#ifndef _WIN32
namespace tavo::platform::ws2::test {
namespace {

using namespace std::chrono_literals;

TSockAddr Loopback(uint16_t APort) {
  TSockAddr addr;
  addr.Family = Id_PF_INET;
  addr.Port = htons(APort);
  addr.Addr = inet_addr("127.0.0.1");
  return addr;
}

// A listening socket on a free loopback port.
TSocket Listener(uint16_t& APort) {
  const TSocket s = socket(Id_PF_INET, Id_SOCK_STREAM, 0);
  EXPECT_GE(s, 0);
  EXPECT_EQ(bind(s, Loopback(0)), 0);
  EXPECT_EQ(listen(s, 4), 0);
  TSockAddr name;
  EXPECT_EQ(getsockname(s, name), 0);
  APort = ntohs(name.Port);
  return s;
}

TEST(Ws2Posix, ClosingAForeignNumberLeavesItAlone) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  EXPECT_EQ(closesocket(fds[1]), -1);
  EXPECT_EQ(WSAGetLastError(), Id_WSAENOTSOCK);
  // The pipe is still open and working.
  EXPECT_EQ(::write(fds[1], "x", 1), 1);
  char c = 0;
  EXPECT_EQ(::read(fds[0], &c, 1), 1);
  ::close(fds[0]);
  ::close(fds[1]);
  // Neither is a socket for the other calls.
  EXPECT_EQ(closesocket(-1), -1);
  EXPECT_EQ(WSAGetLastError(), Id_WSAENOTSOCK);
}

TEST(Ws2Posix, CallsOnAClosedSocketReportNotASocket) {
  const TSocket s = socket(Id_PF_INET, Id_SOCK_STREAM, 0);
  ASSERT_GE(s, 0);
  ASSERT_EQ(closesocket(s), 0);
  char buffer[4];
  EXPECT_EQ(recv(s, buffer, sizeof(buffer), 0), -1);
  EXPECT_EQ(WSAGetLastError(), Id_WSAENOTSOCK);
  EXPECT_EQ(closesocket(s), -1);
  EXPECT_EQ(WSAGetLastError(), Id_WSAENOTSOCK);
}

TEST(Ws2Posix, ErrnoBecomesTheWindowsNumber) {
  uint16_t port = 0;
  const TSocket listener = Listener(port);
  const TSocket other = socket(Id_PF_INET, Id_SOCK_STREAM, 0);
  EXPECT_EQ(bind(other, Loopback(port)), -1);
  EXPECT_EQ(WSAGetLastError(), Id_WSAEADDRINUSE);
  EXPECT_EQ(recv(other, nullptr, 0, 0), -1);
  EXPECT_EQ(WSAGetLastError(), kWsaENotConn);
  char buffer[4];
  EXPECT_EQ(recv(other, buffer, -1, 0), -1);
  EXPECT_EQ(WSAGetLastError(), kWsaEFault);
  EXPECT_EQ(socket(Id_PF_INET, 77, 0), Id_INVALID_SOCKET);
  EXPECT_EQ(WSAGetLastError(), kWsaESocktNoSupport);
  // 17: NetBIOS, a Windows family the binding has no counterpart for.
  EXPECT_EQ(socket(17, Id_SOCK_STREAM, 0), Id_INVALID_SOCKET);
  EXPECT_EQ(WSAGetLastError(), kWsaEAfNoSupport);
  // The last error belongs to the thread that failed.
  std::thread([] { EXPECT_EQ(WSAGetLastError(), 0); }).join();
  closesocket(other);
  closesocket(listener);
}

TEST(Ws2Posix, SelectWithoutSocketsOrWithABadTimeOutIsInvalid) {
  TFdSet empty;
  const TTimeVal zero{0, 0};
  EXPECT_EQ(select(&empty, nullptr, nullptr, &zero), -1);
  EXPECT_EQ(WSAGetLastError(), Id_WSAEINVAL);
  EXPECT_EQ(select(nullptr, nullptr, nullptr, &zero), -1);
  uint16_t port = 0;
  const TSocket listener = Listener(port);
  TFdSet set;
  set.Sockets[set.Count++] = listener;
  const TTimeVal negative{0, -1000};
  EXPECT_EQ(select(&set, nullptr, nullptr, &negative), -1);
  EXPECT_EQ(WSAGetLastError(), Id_WSAEINVAL);
  closesocket(listener);
}

TEST(Ws2Posix, SelectOnAClosedSocketReportsNotASocket) {
  const TSocket s = socket(Id_PF_INET, Id_SOCK_STREAM, 0);
  closesocket(s);
  TFdSet set;
  set.Sockets[set.Count++] = s;
  const TTimeVal zero{0, 0};
  EXPECT_EQ(select(&set, nullptr, nullptr, &zero), -1);
  EXPECT_EQ(WSAGetLastError(), Id_WSAENOTSOCK);
}

TEST(Ws2Posix, SelectOnAnInvalidNumberReportsNotASocketInsteadOfWaiting) {
  TFdSet set;
  set.Sockets[set.Count++] = Id_INVALID_SOCKET;
  const TTimeVal zero{0, 0};
  EXPECT_EQ(select(&set, nullptr, nullptr, &zero), -1);
  EXPECT_EQ(WSAGetLastError(), Id_WSAENOTSOCK);
}

TEST(Ws2Posix, ClosingWakesABlockedReceiveInAnotherThread) {
  uint16_t port = 0;
  const TSocket listener = Listener(port);
  const TSocket client = socket(Id_PF_INET, Id_SOCK_STREAM, 0);
  ASSERT_EQ(connect(client, Loopback(port)), 0);
  const TSocket server = accept(listener, nullptr);
  ASSERT_GE(server, 0);

  std::promise<pid_t> started;
  auto receiver = started.get_future();
  auto received = std::async(std::launch::async, [server, &started] {
    started.set_value(testsupport::ThisThreadId());
    char buffer[8];
    const int32_t n = recv(server, buffer, sizeof(buffer), 0);
    return std::make_pair(n, WSAGetLastError());
  });
  // The close must wake a receive that is already blocked, not one that starts afterwards.
  EXPECT_TRUE(testsupport::WaitUntilBlockedIn(receiver.get(), testsupport::ReceiveCalls(), 10000))
      << "the other thread never blocked in its receive";
  ASSERT_EQ(closesocket(server), 0);
  const std::future_status woken = received.wait_for(10s);
  // Still blocked: the peer's close ends the receive, so the test can end.
  if (woken != std::future_status::ready) closesocket(client);
  ASSERT_EQ(woken, std::future_status::ready) << "the close did not wake the receive";
  const auto [n, error] = received.get();
  // Either the socket is reported gone, or the receive ended as at a close.
  if (n == -1) {
    EXPECT_EQ(error, Id_WSAENOTSOCK);
  } else {
    EXPECT_EQ(n, 0);
  }
  closesocket(client);
  closesocket(listener);
}

TEST(Ws2Posix, LookupsAndAddressText) {
  THostEnt host;
  ASSERT_TRUE(gethostbyname("127.0.0.1", host));
  ASSERT_FALSE(host.Addresses.empty());
  EXPECT_EQ(host.Addresses[0], inet_addr("127.0.0.1"));
  EXPECT_EQ(inet_addr("not an address"), kInAddrNone);
  char name[250];
  EXPECT_EQ(gethostname(name, sizeof(name)), 0);
  EXPECT_GT(std::strlen(name), 0u);
  // Network order is most significant byte first in memory, whatever the machine's order.
  const uint32_t net_long = htonl(0x01020304u);
  const uint16_t net_short = htons(0x0102);
  EXPECT_EQ(std::memcmp(&net_long, "\x01\x02\x03\x04", 4), 0);
  EXPECT_EQ(std::memcmp(&net_short, "\x01\x02", 2), 0);
  EXPECT_EQ(ntohl(net_long), 0x01020304u);
  EXPECT_EQ(ntohs(net_short), 0x0102);
  EXPECT_EQ(FileSendHook(), nullptr);
}

}  // namespace
}  // namespace tavo::platform::ws2::test

#else

// Kept in the Windows test program so the skip and its reason show in its output.
TEST(Ws2Posix, NotOnWindows) {
  GTEST_SKIP() << "the BSD-socket stand-in for WS2_32.DLL; the Windows program loads the real "
                  "one, which the loopback and connection tests exercise";
}

#endif
