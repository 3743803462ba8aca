// Connecting: direct and timed connects, refused and stalled servers, bad time-outs.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "net/stack/exceptions.h"
#include "net/tcp/socks_info.h"
#include "net/stack/socket_handle.h"
#include "net/tcp/antifreeze.h"
#include "net/tcp/connection.h"
#include "net/tcp/iohandler.h"
#include "tests/net/tcp/tcp_test_util.h"
#include "tests/support/scripted_peer.h"

namespace tavo::net {
namespace {

using testsupport::ScriptedPeer;
using testsupport::StalledListener;
using tcptest::AimAt;
using tcptest::EventLog;
using tcptest::MillisSince;
using Clock = std::chrono::steady_clock;

// A loopback port with nobody listening: bound once, then released.
int32_t ClosedPort() {
  ScriptedPeer probe;
  probe.Start();
  const int32_t port = probe.Port();
  probe.Stop();
  return port;
}

// What a caller relies on: a server that accepts at once is connected to at once, well inside
// the bound, whether the bound is shorter or longer than one wait slice.
TEST(TcpConnect, TimedConnectToAnAcceptingServerReturnsWhenConnected) {
  ScriptedPeer peer;
  peer.Start();
  TIdTCPClient client;
  AimAt(client, peer);
  for (const int32_t bound : {100, 5000}) {
    const auto t0 = Clock::now();
    client.Connect(bound);
    EXPECT_LT(MillisSince(t0), bound == 100 ? 100 : 2500) << "bound " << bound;
    EXPECT_TRUE(client.Connected());
    client.Disconnect();
  }
}

// A client that may use either family tries each address of the name in the resolver's order
// until one connects, with and without a bound shared among them. The name's addresses come
// from a stack of the test's own: ::1, where nobody listens on the peer's port, then 127.0.0.1.
TEST(TcpConnect, EachAddressOfTheNameInTurnUntilOneConnects) {
  struct TwoAddresses : TIdStackWindows {
    std::vector<std::string> GetHostAddresses(const std::string& AHost, TIdAddressFamily) override {
      return AHost == "twofold.test" ? std::vector<std::string>{"::1", "127.0.0.1"}
                                     : std::vector<std::string>{};
    }
  };
  SetStackClass([]() -> TIdStack* { return new TwoAddresses; });
  {
    ScriptedPeer peer;
    peer.Start();
    TIdTCPClient client;
    client.SetHost("twofold.test");
    client.SetPort(peer.Port());
    client.SetAddressFamily(afAny);
    for (const int32_t bound : {TimeoutDefault, 5000}) {
      EventLog log;
      log.Attach(client);
      client.Connect(bound);
      EXPECT_TRUE(client.Connected());
      const std::string connecting = "status " + std::to_string(hsConnecting) + " Verbinden mit ";
      EXPECT_EQ(log.Count("status " + std::to_string(hsResolving) +
                          " Host-Name twofold.test wird aufgelöst."), 1);
      EXPECT_EQ(log.Count(connecting + "::1."), 1);
      EXPECT_EQ(log.Count(connecting + "127.0.0.1."), 1);
      client.Disconnect();
    }
  }
  SetStackClass(nullptr);
}

TEST(TcpConnect, TimedConnectToAStalledListenerTimesOutAndClosesTheSocket) {
  StalledListener stalled;
  TIdTCPClient client;
  client.SetHost("127.0.0.1");
  client.SetPort(stalled.Port());
  EventLog log;
  log.Attach(client);
  const auto t0 = Clock::now();
  try {
    client.Connect(1000);
    FAIL() << "connected to a full queue";
  } catch (const EIdConnectTimeout& e) {
    EXPECT_STREQ(e.what(), "Zeitüberschreitung der Verbindung.");
  }
  const auto took = MillisSince(t0);
  EXPECT_GE(took, 1000);
  EXPECT_LT(took, 5000);
  ASSERT_NE(client.IOHandler(), nullptr);  // kept for the next try
  EXPECT_FALSE(client.IOHandler()->Connected());
  EXPECT_FALSE(client.SocketIOHandler()->SocketHandle()->Allocated());
  EXPECT_TRUE(client.PeerClosed());
  // A failed connect reports neither hsDisconnected nor OnDisconnected by itself.
  EXPECT_EQ(log.items, (std::vector<std::string>{"status 1 Verbinden mit 127.0.0.1."}));
}

TEST(TcpConnect, ShortTimeoutAgainstAStalledListenerEndsAfterTheTimeout) {
  StalledListener stalled;
  TIdTCPClient client;
  client.SetHost("127.0.0.1");
  client.SetPort(stalled.Port());
  const auto t0 = Clock::now();
  EXPECT_THROW(client.Connect(100), EIdConnectTimeout);
  EXPECT_GE(MillisSince(t0), 100);
  EXPECT_LT(MillisSince(t0), 3000);
}

TEST(TcpConnect, RefusedConnectRaisesTheSocketErrorDirectlyOrFromTheThread) {
  const int32_t port = ClosedPort();
  TIdTCPClient client;
  client.SetHost("127.0.0.1");
  client.SetPort(port);
  try {
    client.Connect();
    FAIL() << "connected to a closed port";
  } catch (const EIdSocketError& e) {
    EXPECT_EQ(e.LastError(), 10061);
    EXPECT_STREQ(e.what(), "Socket-Fehler # 10061\r\nVerbindung abgelehnt.");
  }
  EXPECT_FALSE(client.Connected());

  // The connect thread's failure comes back as its own exception with the same text and number.
  try {
    client.Connect(500);
    FAIL() << "connected to a closed port";
  } catch (const EIdConnectException& e) {
    EXPECT_STREQ(e.what(), "Socket-Fehler # 10061\r\nVerbindung abgelehnt.");
    EXPECT_EQ(e.LastError(), 10061);
  }

  // The kept handler serves the next connect.
  ScriptedPeer peer;
  peer.Start();
  AimAt(client, peer);
  client.Connect();
  EXPECT_TRUE(client.Connected());
}

TEST(TcpConnect, TimeoutBelowInfiniteIsRefusedBeforeAnythingChanges) {
  ScriptedPeer peer;
  peer.Start();
  TIdTCPClient client;
  AimAt(client, peer);
  EventLog log;
  log.Attach(client);
  try {
    client.Connect(-3);
    FAIL() << "accepted -3";
  } catch (const EIdException& e) {
    EXPECT_STREQ(e.what(), "Ungültige Zeitüberschreitung (-3 ms).");
  }
  EXPECT_EQ(client.IOHandler(), nullptr);
  EXPECT_TRUE(log.items.empty());
  // The two special values are fine.
  client.Connect(TimeoutInfinite);
  EXPECT_TRUE(client.Connected());
}

TEST(TcpConnect, LocalBindingAndNagleSwitch) {
  ScriptedPeer peer;
  peer.Start();
  TIdTCPClient client;
  AimAt(client, peer);
  client.SetBoundIP("127.0.0.1");
  client.Connect();
  auto* handle = client.SocketIOHandler()->SocketHandle();
  EXPECT_EQ(handle->IP(), "127.0.0.1");
  EXPECT_GT(handle->Port(), 0);
  EXPECT_EQ(handle->PeerPort(), peer.Port());
  client.Disconnect();

  auto no_delay = [&] {
    int32_t v = 0;
    int32_t len = sizeof v;
    GlobalStack->GetSockOpt(client.SocketIOHandler()->SocketHandle()->Handle(), Id_IPPROTO_TCP,
                            Id_TCP_NODELAY, &v, len);
    return v != 0;
  };
  client.Connect();
  EXPECT_FALSE(no_delay());  // Nagle stays on by default
  client.Disconnect();

  auto* handler = new TIdIOHandlerSocket(&client);
  handler->SetUseNagle(false);
  client.SetIOHandler(handler);
  client.Connect();
  EXPECT_TRUE(client.Connected());
  EXPECT_TRUE(no_delay());
}

TEST(TcpConnect, SocksSettingsAreOwnOrReferencedAndCopied) {
  TIdIOHandlerSocket handler;
  TIdSocksInfo* own = handler.SocksInfo();
  ASSERT_NE(own, nullptr);
  EXPECT_EQ(own->Version(), svNoSocks);
  EXPECT_EQ(own->Port(), 1080);
  EXPECT_EQ(own->IOHandler(), &handler);

  // An unowned object's settings are copied into the handler's own.
  TIdSocksInfo loose;
  loose.SetHost("proxy");
  loose.SetVersion(svSocks5);
  handler.SetSocksInfo(&loose);
  EXPECT_EQ(handler.SocksInfo(), own);
  EXPECT_EQ(own->Host(), "proxy");
  EXPECT_EQ(own->Version(), svSocks5);

  // An owned one is referenced, and forgotten when it goes.
  rtl::TComponent owner;
  auto* owned = new TIdSocksInfo(&owner);
  handler.SetSocksInfo(owned);
  EXPECT_EQ(handler.SocksInfo(), owned);
  EXPECT_EQ(owned->IOHandler(), &handler);
  delete owned;
  TIdSocksInfo* fresh = handler.SocksInfo();
  EXPECT_NE(fresh, nullptr);
  EXPECT_EQ(fresh->Version(), svNoSocks);
}

TEST(TcpConnect, LocalPortRangeIsHandedToTheSocketHandle) {
  ScriptedPeer peer;
  peer.Start();
  const int32_t local = ClosedPort();
  TIdTCPClient client;
  AimAt(client, peer);
  client.SetBoundPortLow(local);
  client.SetBoundPortHigh(local);
  client.Connect();
  EXPECT_EQ(client.SocketIOHandler()->SocketHandle()->Port(), local);
}

TEST(TcpConnect, FailingHandlerInsideConnectClosesAndPassesTheErrorOn) {
  ScriptedPeer peer;
  peer.Start();
  TIdTCPClient client;
  AimAt(client, peer);
  int disconnected = 0;
  client.SetOnDisconnected([&](rtl::TComponent*) { ++disconnected; });
  client.SetOnConnected([](rtl::TComponent*) { throw EIdException("handler failed"); });
  try {
    client.Connect();
    FAIL() << "no error";
  } catch (const EIdException& e) {
    EXPECT_STREQ(e.what(), "handler failed");
  }
  ASSERT_NE(client.IOHandler(), nullptr);
  EXPECT_FALSE(client.IOHandler()->Connected());
  EXPECT_EQ(disconnected, 0);

  // The kept handler is reused as it is.
  TIdIOHandler* kept = client.IOHandler();
  client.SetOnConnected(nullptr);
  client.Connect();
  EXPECT_EQ(client.IOHandler(), kept);
  EXPECT_TRUE(client.Connected());
}

struct CountingHook : TIdAntiFreezeBase {
  int calls = 0;
  void ProcessPending() override { ++calls; }
};

TEST(TcpConnect, IdleHookIsGivenTimeWhileConnectAndReadWait) {
  CountingHook hook;
  hook.SetIdleTimeOut(50);
  {
    StalledListener stalled;
    TIdTCPClient client;
    client.SetHost("127.0.0.1");
    client.SetPort(stalled.Port());
    // A hook in use makes even a connect without time-out a timed one, in hook-sized slices.
    const auto t0 = Clock::now();
    EXPECT_THROW(client.Connect(400), EIdConnectTimeout);
    EXPECT_GE(MillisSince(t0), 400);
    EXPECT_GE(hook.calls, 4);
  }
  hook.calls = 0;
  ScriptedPeer peer;
  peer.Start();
  TIdTCPClient client;
  AimAt(client, peer);
  client.Connect();
  client.SetReadTimeout(400);
  EXPECT_THROW(client.ReadLn(), EIdReadTimeout);
  EXPECT_GE(hook.calls, 4);
}

struct FailingHook : TIdAntiFreezeBase {
  void ProcessPending() override { throw EIdException("hook failed"); }
};

TEST(TcpConnect, FailingIdleHookEndsATimedConnectWithoutWaitingForThePlatform) {
  FailingHook hook;
  hook.SetIdleTimeOut(50);
  StalledListener stalled;
  TIdTCPClient client;
  client.SetHost("127.0.0.1");
  client.SetPort(stalled.Port());
  const auto t0 = Clock::now();
  try {
    client.Connect(5000);
    FAIL() << "connected to a full queue";
  } catch (const EIdException& e) {
    EXPECT_STREQ(e.what(), "hook failed");
  }
  // The connect thread is stopped by closing its socket, not waited out (that would take
  // as long as the platform lets a connect hang, minutes here).
  EXPECT_LT(MillisSince(t0), 3000);
  ASSERT_NE(client.IOHandler(), nullptr);
  EXPECT_FALSE(client.IOHandler()->Connected());
}

TEST(TcpConnect, SharedSocksSettingsNeverDangle) {
  rtl::TComponent owner;
  auto* shared = new TIdSocksInfo(&owner);
  auto a = std::make_unique<TIdIOHandlerSocket>();
  auto b = std::make_unique<TIdIOHandlerSocket>();
  a->SetSocksInfo(shared);
  b->SetSocksInfo(shared);
  EXPECT_EQ(shared->IOHandler(), b.get());
  b.reset();  // the settings forget the handler that goes
  EXPECT_EQ(shared->IOHandler(), nullptr);
  delete shared;  // and the remaining handler forgets the settings
  EXPECT_EQ(a->SocksInfo()->Version(), svNoSocks);
}

}  // namespace
}  // namespace tavo::net
