// The socket handle through its public operations, on loopback.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>

#include "net/stack/idle_hook.h"
#include "net/stack/socket_handle.h"
#include "net/stack/stack.h"
#include "rtl/exception.h"
#include "stack_fixture.h"
#include "tests/support/thread_state.h"

namespace tavo::net::test {
namespace {

using namespace std::chrono_literals;

class SocketHandleTest : public LoopbackTest {
 protected:
  // A free port, as the system hands them out, not held by anyone afterwards.
  int32_t FreePort() {
    TIdSocketHandle probe;
    probe.OpenSocket();
    probe.SetIP("127.0.0.1");
    probe.Bind();
    return probe.Port();
  }
};

TEST_F(SocketHandleTest, LifecycleKeepsTheNumberUntilCleared) {
  TIdSocketHandle handle;
  EXPECT_FALSE(handle.Allocated());
  EXPECT_EQ(handle.Handle(), -1);
  EXPECT_EQ(handle.ClientPortMin(), 0);
  EXPECT_EQ(handle.ClientPortMax(), 0);
  handle.SetIP("127.0.0.1");
  handle.OpenSocket();
  EXPECT_TRUE(handle.Allocated());
  const int32_t number = handle.Handle();
  EXPECT_GE(number, 0);
  EXPECT_EQ(handle.IP(), "127.0.0.1");  // opening keeps the bindings
  handle.CloseSocket();
  EXPECT_FALSE(handle.Allocated());
  EXPECT_EQ(handle.Handle(), number);
  handle.CloseSocket();  // a second close does nothing
  handle.Clear(false);
  EXPECT_EQ(handle.Handle(), -1);
  EXPECT_EQ(handle.IP(), "127.0.0.1");
  handle.Clear(true);
  EXPECT_EQ(handle.IP(), "");
}

TEST_F(SocketHandleTest, BindToPortZeroReadsTheChosenPortBack) {
  TIdSocketHandle handle;
  handle.OpenSocket();
  handle.SetIP("127.0.0.1");
  handle.Bind();
  EXPECT_GT(handle.Port(), 0);
  EXPECT_EQ(handle.IP(), "127.0.0.1");
  // The port really is this socket's: a connection to it arrives.
  handle.Listen(1);
  TIdSocketHandle client;
  client.OpenSocket();
  client.SetPeerAddress("127.0.0.1", handle.Port());
  EXPECT_EQ(client.Connect(), 0);
  EXPECT_EQ(client.PeerPort(), handle.Port());
  EXPECT_EQ(client.PeerIP(), "127.0.0.1");
  EXPECT_GT(client.Port(), 0);
}

TEST_F(SocketHandleTest, BindToABusyPortRaisesCouldNotBind) {
  TIdSocketHandle holder;
  Listen(holder);
  TIdSocketHandle second;
  second.OpenSocket();
  second.SetIP("127.0.0.1");
  second.SetPort(holder.Port());
  try {
    second.Bind();
    FAIL() << "no exception";
  } catch (const EIdCouldNotBindSocket& e) {
    EXPECT_STREQ(e.what(),
                 "Socket konnte nicht gebunden werden. Adresse und Port werden bereits benutzt.");
  }
  EXPECT_TRUE(second.Allocated());  // the caller closes it
}

TEST_F(SocketHandleTest, BindToAForeignAddressRaisesTheSocketError) {
  TIdSocketHandle handle;
  handle.OpenSocket();
  handle.SetIP("192.0.2.1");  // not an address of this machine
  try {
    handle.Bind();
    FAIL() << "no exception";
  } catch (const EIdSocketError& e) {
    EXPECT_EQ(e.LastError(), 10049);
  }
}

TEST_F(SocketHandleTest, PortRangeTakesTheHighestFreePortAndSkipsBusyOnes) {
  // Three neighbouring ports known to be free: held by this test first, then the lower two
  // given back. Only finding such a triple is retried; the binding's choice is checked once.
  for (int attempt = 0; attempt < 20; ++attempt) {
    const int32_t top = FreePort();
    if (top < 1026) continue;
    TIdSocketHandle held[3];
    bool all_free = true;
    for (int i = 0; i < 3 && all_free; ++i) {
      held[i].OpenSocket();
      held[i].SetIP("127.0.0.1");
      held[i].SetPort(top - i);
      try {
        held[i].Bind();
      } catch (const EIdCouldNotBindSocket&) {
        all_free = false;  // a neighbour belongs to someone else: try another triple
      }
    }
    if (!all_free) continue;
    held[1].CloseSocket();
    held[2].CloseSocket();

    // The top port stays busy: the range must skip it and take the next one down, not the
    // lowest.
    TIdSocketHandle handle;
    handle.OpenSocket();
    handle.SetIP("127.0.0.1");
    handle.SetClientPortMin(top - 2);
    handle.SetClientPortMax(top);
    handle.Bind();
    EXPECT_EQ(handle.Port(), top - 1);

    // With the top port free again, it is the one taken.
    held[0].CloseSocket();
    TIdSocketHandle again;
    again.OpenSocket();
    again.SetIP("127.0.0.1");
    again.SetClientPortMin(top - 2);
    again.SetClientPortMax(top);
    again.Bind();
    EXPECT_EQ(again.Port(), top);
    return;
  }
  FAIL() << "no three neighbouring free ports found in 20 tries";
}

TEST_F(SocketHandleTest, FullyBusyRangeRaisesWithItsBounds) {
  TIdSocketHandle busy;
  Listen(busy);
  TIdSocketHandle handle;
  handle.OpenSocket();
  handle.SetIP("127.0.0.1");
  handle.SetClientPortMin(busy.Port());
  handle.SetClientPortMax(busy.Port());
  try {
    handle.Bind();
    FAIL() << "no exception";
  } catch (const EIdCanNotBindPortInRange& e) {
    EXPECT_EQ(e.Message(), "Port-Beriech (" + std::to_string(busy.Port()) + " - " +
                               std::to_string(busy.Port()) + ") kann nicht eingebunden werden");
  }
  EXPECT_EQ(handle.Port(), busy.Port());  // the lowest port tried
}

TEST_F(SocketHandleTest, InvertedRangeRaisesInvalidRange) {
  TIdSocketHandle handle;
  handle.OpenSocket();
  handle.SetClientPortMin(5002);
  handle.SetClientPortMax(5000);
  try {
    handle.Bind();
    FAIL() << "no exception";
  } catch (const EIdInvalidPortRange& e) {
    EXPECT_STREQ(e.what(), "Ungültiger Port-Bereich (5002 - 5000)");
  }
  EXPECT_EQ(handle.Port(), 0);
}

TEST_F(SocketHandleTest, AnExplicitPortIgnoresTheRange) {
  const int32_t port = FreePort();
  TIdSocketHandle handle;
  handle.OpenSocket();
  handle.SetIP("127.0.0.1");
  handle.SetPort(port);
  handle.SetClientPortMin(5002);
  handle.SetClientPortMax(5000);  // would be invalid, but is not consulted
  handle.Bind();
  EXPECT_EQ(handle.Port(), port);
}

TEST_F(SocketHandleTest, DataTravelsAndAClosedPeerReadsAsZero) {
  TIdSocketHandle listener, client, server;
  ConnectPair(listener, client, server);
  if (HasFatalFailure()) return;
  EXPECT_TRUE(server.Allocated());
  EXPECT_EQ(server.Port(), listener.Port());
  EXPECT_EQ(server.PeerPort(), client.Port());
  EXPECT_EQ(server.PeerIP(), "127.0.0.1");

  EXPECT_FALSE(server.WaitReadable(50));
  ASSERT_EQ(client.Send("hello", 5), 5);
  ASSERT_TRUE(server.WaitReadable(5000));
  char buffer[16] = {};
  ASSERT_EQ(server.Recv(buffer, sizeof(buffer)), 5);
  EXPECT_EQ(std::string(buffer, 5), "hello");

  client.CloseSocket();
  ASSERT_TRUE(server.WaitReadable(TimeoutInfinite));
  EXPECT_EQ(server.Recv(buffer, sizeof(buffer)), 0);
}

TEST_F(SocketHandleTest, WaitReadableWithoutSocketRaisesClosedGracefully) {
  TIdSocketHandle handle;
  try {
    handle.WaitReadable(10);
    FAIL() << "no exception";
  } catch (const EIdConnClosedGracefully& e) {
    EXPECT_STREQ(e.what(), "Die Verbindung wurde erfolgreich geschlossen.");
  }
  handle.OpenSocket();
  handle.CloseSocket();
  EXPECT_THROW(handle.WaitReadable(10), EIdConnClosedGracefully);
}

TEST_F(SocketHandleTest, AcceptOnAListenerClosedByAnotherThreadReturnsFalse) {
  TIdSocketHandle listener;
  Listen(listener);
  auto server = std::make_shared<TIdSocketHandle>();
  server->SetIP("stale");
  std::promise<bool> accepted;
  auto result = accepted.get_future();
  std::promise<pid_t> started;
  auto waiter_id = started.get_future();
  std::thread waiter([&accepted, &started, server, socket = listener.Handle()] {
    started.set_value(testsupport::ThisThreadId());
    try {
      accepted.set_value(server->Accept(socket));
    } catch (...) {
      accepted.set_exception(std::current_exception());
    }
  });
  // The close must reach an accept that is already blocked, not one that starts afterwards.
  const bool blocked =
      testsupport::WaitUntilBlockedIn(waiter_id.get(), testsupport::AcceptCalls(), 10000);
  EXPECT_TRUE(blocked) << "the other thread never blocked in accept";
  listener.CloseSocket();
  if (result.wait_for(10s) != std::future_status::ready) {
    waiter.detach();  // still blocked: the close did not reach it
    FAIL() << "Accept did not return after its listener was closed";
  }
  waiter.join();
  EXPECT_FALSE(result.get());
  EXPECT_FALSE(server->Allocated());
  EXPECT_EQ(server->Handle(), -1);
  EXPECT_EQ(server->IP(), "");
}

TEST_F(SocketHandleTest, AssignCopiesBindingsButNeverTheSocket) {
  TIdSocketHandle listener;
  Listen(listener);
  TIdSocketHandle client;
  client.OpenSocket();
  client.SetPeerAddress("127.0.0.1", listener.Port());
  ASSERT_EQ(client.Connect(), 0);

  TIdSocketHandle copy;
  copy.SetClientPortMin(7);
  copy.Assign(client);
  EXPECT_EQ(copy.IP(), client.IP());
  EXPECT_EQ(copy.Port(), client.Port());
  EXPECT_EQ(copy.PeerIP(), "127.0.0.1");
  EXPECT_EQ(copy.PeerPort(), listener.Port());
  EXPECT_FALSE(copy.Allocated());
  EXPECT_EQ(copy.Handle(), -1);
  EXPECT_EQ(copy.ClientPortMin(), 7);

  class TOther : public rtl::TPersistent {
   public:
    std::string ClassName() const override { return "TOther"; }
  } other;
  try {
    copy.Assign(other);
    FAIL() << "no exception";
  } catch (const rtl::EConvertAssignError& e) {
    EXPECT_STREQ(e.what(), "TOther kann nicht zu TIdSocketHandle zugewiesen werden");
  }
}

TEST_F(SocketHandleTest, WithoutStackTheHandleRaisesInsteadOfCrashing) {
  TIdStack* stack = GlobalStack;
  GlobalStack = nullptr;
  TIdSocketHandle handle;
  EXPECT_THROW(handle.OpenSocket(), EIdException);
  GlobalStack = stack;
}

// An idle hook that is in use and counts how often it was given the idle time.
struct CountingHook {
  static inline std::atomic<int> runs{0};
  static inline std::atomic<int> idle_runs{0};
  static bool InUse() { return true; }
  static int32_t TimeOut() { return 40; }
  static void Run(bool AIdle, bool) {
    ++runs;
    if (AIdle) ++idle_runs;
  }
};

TEST_F(SocketHandleTest, AnIdleHookCutsTheWaitIntoSlices) {
  TIdSocketHandle listener, client, server;
  ConnectPair(listener, client, server);
  if (HasFatalFailure()) return;

  CountingHook::runs = 0;
  CountingHook::idle_runs = 0;
  SetIdleHookAccess({&CountingHook::InUse, &CountingHook::TimeOut, &CountingHook::Run});
  const bool readable = server.WaitReadable(100);  // 20 ms, then two slices of 40
  const int runs = CountingHook::runs;
  SetIdleHookAccess({});
  EXPECT_FALSE(readable);
  EXPECT_EQ(runs, 3);
  EXPECT_EQ(CountingHook::idle_runs.load(), 3);

  ASSERT_EQ(client.Send("x", 1), 1);
  SetIdleHookAccess({&CountingHook::InUse, &CountingHook::TimeOut, &CountingHook::Run});
  const bool ready = server.WaitReadable(TimeoutInfinite);
  SetIdleHookAccess({});
  EXPECT_TRUE(ready);
}

}  // namespace
}  // namespace tavo::net::test
