// The stack's operations on real loopback sockets.

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstring>
#include <fstream>
#include <future>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "net/stack/socket_handle.h"
#include "net/stack/socket_list.h"
#include "platform/ws2.h"
#include "stack_fixture.h"
#include "tests/support/child_process.h"

namespace tavo::net::test {
namespace {

using Clock = std::chrono::steady_clock;

// A list without the fixed list's 64-entry cap, to hand Select more than a set can take.
class UnboundedList : public TIdSocketList {
 public:
  TIdStackSocketHandle Items(int32_t AIndex) override { return items.at(AIndex); }
  void Add(TIdStackSocketHandle AHandle) override { items.push_back(AHandle); }
  void Remove(TIdStackSocketHandle AHandle) override {
    for (auto it = items.begin(); it != items.end(); ++it) {
      if (*it == AHandle) {
        items.erase(it);
        return;
      }
    }
  }
  int32_t Count() override { return static_cast<int32_t>(items.size()); }
  std::vector<TIdStackSocketHandle> items;
};

class StackLoopback : public LoopbackTest {};

TEST_F(StackLoopback, EachThreadKeepsItsOwnLastError) {
  // Two threads fail in turn, each with its own error, and read their last error only after
  // the other one failed too.
  // Promises rather than std::latch: the cross-built libstdc++ 12 can lose a latch's wake-up
  // on Windows and leave both threads waiting for good.
  std::promise<void> first_failed, second_failed;
  int32_t first_read = 0;
  int32_t second_read = 0;
  std::thread first([&] {
    Stack().CheckResult(Stack().CloseSocket(Id_INVALID_SOCKET), {Id_WSAENOTSOCK});
    first_failed.set_value();
    second_failed.get_future().wait();
    first_read = Stack().LastError();
  });
  std::thread second([&] {
    first_failed.get_future().wait();
    // A port beyond 16 bits is refused before the platform is asked.
    Stack().CheckResult(Stack().Bind(Id_INVALID_SOCKET, Id_PF_INET, "", 70000),
                        {Id_WSAEINVAL});
    second_failed.set_value();
    second_read = Stack().LastError();
  });
  first.join();
  second.join();
  EXPECT_EQ(first_read, Id_WSAENOTSOCK);
  EXPECT_EQ(second_read, Id_WSAEINVAL);
  EXPECT_EQ(Stack().LastError(), 0) << "this thread saw no failure";
}

// A label of 64 characters is refused by the resolver itself, so the test asks no name server
// (tests send nothing beyond loopback) and cannot depend on one being reachable.
const std::string kUnresolvableName = std::string(64, 'a') + ".invalid";

TEST_F(StackLoopback, UnresolvableNameRaisesHostNotFound) {
  try {
    Stack().HostToAddress(kUnresolvableName);
    FAIL() << "no exception";
  } catch (const EIdSocketError& e) {
    EXPECT_EQ(e.LastError(), 11001);
    const std::string tail = "Host nicht gefunden.";
    const std::string message = e.what();
    ASSERT_GE(message.size(), tail.size());
    EXPECT_EQ(message.substr(message.size() - tail.size()), tail);
    EXPECT_EQ(message, "Socket-Fehler # 11001\r\nHost nicht gefunden.");
    EXPECT_EQ(Stack().LastError(), 11001);
  }
}

// True when /etc/hosts names the host, so that looking it up asks no name server.
bool ListedInHostsFile(const std::string& AHost) {
  std::ifstream hosts("/etc/hosts");
  std::string line;
  while (std::getline(hosts, line)) {
    std::istringstream fields(line.substr(0, line.find('#')));
    std::string field;
    fields >> field;  // the address
    while (fields >> field)
      if (field == AHost) return true;
  }
  return false;
}

TEST_F(StackLoopback, NamesOfThisMachineResolve) {
  EXPECT_EQ(Stack().GetHostByName("127.0.0.1"), "127.0.0.1");
  const std::string host = Stack().GetHostName();
  ASSERT_FALSE(host.empty());
  // The local addresses come from a look-up of this machine's own name. Where /etc/hosts does
  // not list it (a bare build container), that look-up would go to the network's name server,
  // which tests never contact.
  if (!ListedInHostsFile(host))
    GTEST_SKIP() << "\"" << host << "\" is not in /etc/hosts; its look-up would leave this machine";
  const rtl::TStringList& addresses = Stack().LocalAddresses();
  ASSERT_GT(addresses.Count(), 0);
  EXPECT_TRUE(Stack().IsDottedAddress(addresses[0]));
  EXPECT_EQ(Stack().LocalAddress(), addresses[0]);
  // Refilled, not appended to, on every call.
  const int count = addresses.Count();
  EXPECT_EQ(Stack().LocalAddresses().Count(), count);
  EXPECT_EQ(&Stack().LocalAddresses(), &addresses);
}

// Only loopback is looked up: any other address would send a query to the name server, and
// tests send nothing beyond this machine.
TEST_F(StackLoopback, ReverseLookupNamesLoopback) {
  EXPECT_FALSE(Stack().GetHostByAddr("127.0.0.1").empty());
}

TEST_F(StackLoopback, IPv6LiteralsAndNamesByFamily) {
  std::array<uint8_t, 16> bytes{};
  ASSERT_TRUE(Stack().ParseIPv6Address("2001:db8::7", &bytes));
  EXPECT_EQ(bytes[0], 0x20);
  EXPECT_EQ(bytes[3], 0xb8);
  EXPECT_EQ(bytes[15], 7);
  for (const char* literal : {"::1", "::ffff:127.0.0.1", "FE80::1"})
    EXPECT_TRUE(Stack().IsIPv6Address(literal)) << literal;
  for (const char* other : {"[::1]", "127.0.0.1", "localhost", "::g", "1:2:3:4:5:6:7:8:9", ""})
    EXPECT_FALSE(Stack().IsIPv6Address(other)) << other;
  EXPECT_EQ(Stack().FamilyOf("::1"), Id_PF_INET6);
  EXPECT_EQ(Stack().FamilyOf("127.0.0.1"), Id_PF_INET);
  EXPECT_EQ(Stack().GetHostAddresses("127.0.0.1", afIPv4), std::vector<std::string>{"127.0.0.1"});
  EXPECT_EQ(Stack().GetHostAddresses("::1", afAny), std::vector<std::string>{"::1"});
  EXPECT_THROW(Stack().GetHostAddresses("::1", afIPv4), EIdSocketError);
}

TEST_F(StackLoopback, IPv6SocketsConnectAndNameTheirEndsInIPv6Text) {
  if (!testsupport::HasIPv6Loopback()) GTEST_SKIP() << "this machine has no ::1";
  TIdSocketHandle listener, client, server;
  listener.OpenSocket(Id_SOCK_STREAM, Id_IPPROTO_IP, Id_PF_INET6);
  listener.SetIP("::1");
  listener.Bind();
  listener.Listen(5);
  client.OpenSocket(Id_SOCK_STREAM, Id_IPPROTO_IP, Id_PF_INET6);
  client.SetPeerAddress("::1", listener.Port());
  ASSERT_EQ(client.Connect(client.Family()), 0);
  ASSERT_TRUE(server.Accept(listener.Handle()));
  EXPECT_EQ(server.Family(), Id_PF_INET6);
  EXPECT_EQ(server.PeerIP(), "::1");
  EXPECT_EQ(server.PeerPort(), client.Port());
  EXPECT_EQ(client.IP(), "::1");
  EXPECT_EQ(client.Send("v6", 2), 2);
  char got[2] = {};
  EXPECT_EQ(server.Recv(got, 2), 2);
  EXPECT_EQ(std::string(got, 2), "v6");
}

TEST_F(StackLoopback, ConnectToAClosedPortIsRefused) {
  // A port that was just free and has no listener.
  int32_t port = 0;
  {
    TIdSocketHandle probe;
    probe.OpenSocket();
    probe.SetIP("127.0.0.1");
    probe.Bind();
    port = probe.Port();
  }
  TIdSocketHandle client;
  client.OpenSocket();
  client.SetPeerAddress("127.0.0.1", port);
  const int32_t result = client.Connect();
  EXPECT_EQ(result, -1);
  try {
    Stack().CheckResult(result);
    FAIL() << "no exception";
  } catch (const EIdSocketError& e) {
    EXPECT_EQ(e.LastError(), 10061);
    EXPECT_STREQ(e.what(), "Socket-Fehler # 10061\r\nVerbindung abgelehnt.");
  }
}

TEST_F(StackLoopback, OutOfRangePortsAreRefusedNotTruncated) {
  TIdSocketHandle handle;
  handle.OpenSocket();
  EXPECT_EQ(Stack().Connect(handle.Handle(), 2, "127.0.0.1", 65536 + 21), -1);
  EXPECT_EQ(Stack().QueryLastError(), 10022);
  EXPECT_EQ(Stack().Bind(handle.Handle(), 2, "127.0.0.1", -1), -1);
  EXPECT_EQ(Stack().QueryLastError(), 10022);
}

TEST_F(StackLoopback, SelectRefusesMoreThan64SocketsBeforeWaiting) {
  UnboundedList read;
  for (int i = 0; i < 65; ++i) read.Add(1000 + i);
  try {
    Stack().Select(&read, nullptr, nullptr, TimeoutInfinite);
    FAIL() << "no exception";
  } catch (const EIdStackSetSizeExceeded& e) {
    EXPECT_STREQ(e.what(), "Mengengröße überschritten.");
  }
  // Nothing was waited on: the list was never refilled from a set.
  EXPECT_EQ(read.Count(), 65);

  UnboundedList small, errors;
  small.Add(1);
  for (int i = 0; i < 65; ++i) errors.Add(2000 + i);
  EXPECT_THROW(Stack().Select(&small, nullptr, &errors, 0), EIdStackSetSizeExceeded);
  EXPECT_EQ(small.Count(), 1);
}

TEST_F(StackLoopback, SelectKeepsOnlyReadySocketsAndHonoursTheTimeOut) {
  TIdSocketHandle listener, client, server;
  ConnectPair(listener, client, server);

  auto read = TIdSocketList::CreateSocketList();
  read->Add(server.Handle());
  const auto start = Clock::now();
  EXPECT_EQ(Stack().Select(read.get(), nullptr, nullptr, 1500), 0);
  const auto waited = Clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(1450));
  EXPECT_LT(waited, std::chrono::seconds(10));
  EXPECT_EQ(read->Count(), 0);

  ASSERT_EQ(client.Send("x", 1), 1);
  auto both = TIdSocketList::CreateSocketList();
  both->Add(client.Handle());
  both->Add(server.Handle());
  auto write = TIdSocketList::CreateSocketList();
  write->Add(client.Handle());
  EXPECT_EQ(Stack().Select(both.get(), write.get(), nullptr, 5000), 2);
  ASSERT_EQ(both->Count(), 1);
  EXPECT_EQ(both->Items(0), server.Handle());
  ASSERT_EQ(write->Count(), 1);
  EXPECT_EQ(write->Items(0), client.Handle());
}

TEST_F(StackLoopback, SendToAResetPeerFailsInsteadOfKillingTheProcess) {
  TIdSocketHandle listener, client, server;
  ConnectPair(listener, client, server);
  // Close the server side with a reset: no lingering, data discarded.
  const uint16_t linger[2] = {1, 0};
  server.SetSockOpt(Id_SOL_SOCKET, platform::ws2::kSoLinger, linger, sizeof(linger));
  GlobalStack->CloseSocket(server.Handle());

  char block[4096];
  std::memset(block, 'a', sizeof(block));
  int32_t result = 0;
  for (int i = 0; i < 100 && result >= 0; ++i) result = client.Send(block, sizeof(block));
  ASSERT_EQ(result, -1);
  // The send side's tolerated errors: the connection is gone, the process is not.
  EXPECT_TRUE(Stack().CheckResult(result, {10058, 10053, 10054}));
}

TEST_F(StackLoopback, PeerAndLocalNamesOfAConnection) {
  TIdSocketHandle listener, client, server;
  ConnectPair(listener, client, server);
  int32_t family = 0, port = 0;
  std::string ip;
  Stack().GetPeerName(client.Handle(), family, ip, port);
  EXPECT_EQ(family, 2);
  EXPECT_EQ(ip, "127.0.0.1");
  EXPECT_EQ(port, listener.Port());
  Stack().GetSockName(client.Handle(), family, ip, port);
  EXPECT_EQ(port, server.PeerPort());
  // A socket without a peer cannot name it.
  try {
    Stack().GetPeerName(listener.Handle(), family, ip, port);
    FAIL() << "no exception";
  } catch (const EIdSocketError& e) {
    EXPECT_EQ(e.LastError(), 10057);
  }
}

TEST_F(StackLoopback, NoDelayOptionIsAccepted) {
  TIdSocketHandle handle;
  handle.OpenSocket();
  const int32_t one = 1;
  handle.SetSockOpt(Id_IPPROTO_TCP, Id_TCP_NODELAY, &one, sizeof(one));
  int32_t value = 0, length = sizeof(value);
  ASSERT_EQ(Stack().GetSockOpt(handle.Handle(), Id_IPPROTO_TCP, Id_TCP_NODELAY, &value, length), 0);
  EXPECT_NE(value, 0);
#ifdef _WIN32
  // Winsock hands TCP_NODELAY back as a single byte; the length says so.
  EXPECT_TRUE(length == 1 || length == 4) << length;
#else
  EXPECT_EQ(length, 4);
#endif
  // An option this binding does not know is the platform's "bad option", raised by SetSockOpt.
  try {
    handle.SetSockOpt(Id_IPPROTO_TCP, 0x7777, &one, sizeof(one));
    FAIL() << "no exception";
  } catch (const EIdSocketError& e) {
    EXPECT_EQ(e.LastError(), 10042);
  }
}

TEST_F(StackLoopback, DatagramsCarryTheSendersAddress) {
  TIdSocketHandle receiver, sender;
  receiver.OpenSocket(Id_SOCK_DGRAM, 0);
  receiver.SetIP("127.0.0.1");
  receiver.Bind();
  sender.OpenSocket(Id_SOCK_DGRAM, 0);
  sender.SetIP("127.0.0.1");
  sender.Bind();
  ASSERT_EQ(Stack().SendTo(sender.Handle(), "ping", 4, 0, "127.0.0.1", receiver.Port()), 4);
  ASSERT_TRUE(receiver.WaitReadable(5000));
  char buffer[16] = {};
  std::string ip;
  int32_t port = 0;
  ASSERT_EQ(receiver.RecvFrom(buffer, sizeof(buffer), 0, ip, port), 4);
  EXPECT_EQ(std::string(buffer, 4), "ping");
  EXPECT_EQ(ip, "127.0.0.1");
  EXPECT_EQ(port, sender.Port());
}

}  // namespace
}  // namespace tavo::net::test
