// Connection lifecycle, statuses, lines and writes against the scripted loopback peer.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "net/stack/exceptions.h"
#include "net/tcp/connection.h"
#include "net/tcp/intercept.h"
#include "net/tcp/iohandler.h"
#include "tests/net/tcp/tcp_test_util.h"
#include "tests/support/scripted_peer.h"
#include "tests/support/thread_state.h"

namespace tavo::net {
namespace {

using testsupport::Gate;
using testsupport::ScriptedPeer;
using tcptest::AimAt;
using tcptest::EventLog;
using tcptest::MillisSince;
using Clock = std::chrono::steady_clock;

const std::string kConnecting = "status 1 Verbinden mit 127.0.0.1.";
const std::string kConnected = "status 2 Verbunden.";
const std::string kDisconnecting = "status 3 Verbindung wird getrennt.";
const std::string kDisconnected = "status 4 Verbindung aufgehoben.";

// ---- lifecycle and statuses ---------------------------------------------------------------

TEST(TcpLifecycle, ConnectAndDisconnectReportStatusesInOrder) {
  ScriptedPeer peer;
  peer.Start();
  TIdTCPClient client;
  EventLog log;
  log.Attach(client);
  AimAt(client, peer);

  client.Connect();
  EXPECT_TRUE(client.Connected());
  EXPECT_TRUE(client.OwnsIOHandler());
  ASSERT_NE(client.SocketIOHandler(), nullptr);
  EXPECT_EQ(static_cast<TIdIOHandler*>(client.SocketIOHandler()), client.IOHandler());
  EXPECT_EQ(log.items, (std::vector<std::string>{kConnecting, kConnected, "connected"}));

  log.items.clear();
  client.Disconnect();
  EXPECT_EQ(log.items, (std::vector<std::string>{kDisconnecting, "disconnected", kDisconnected}));
  EXPECT_EQ(client.IOHandler(), nullptr);
  EXPECT_FALSE(client.OwnsIOHandler());
  EXPECT_FALSE(client.Connected());
}

TEST(TcpLifecycle, HostNameIsResolvedWithItsOwnStatusFromTheHandler) {
  ScriptedPeer peer;
  peer.Start();
  TIdTCPClient client;
  std::vector<std::pair<rtl::TComponent*, std::string>> seen;
  client.SetOnStatus([&](rtl::TComponent* s, TIdStatus, const std::string& t) {
    seen.emplace_back(s, t);
  });
  client.SetHost("localhost");
  client.SetPort(peer.Port());
  client.Connect();
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0].second, "Host-Name localhost wird aufgelöst.");
  EXPECT_EQ(seen[1].second, "Verbinden mit 127.0.0.1.");
  EXPECT_EQ(seen[2].second, "Verbunden.");
  // The handler raises the first two itself; the client raises the third.
  EXPECT_EQ(seen[0].first, static_cast<rtl::TComponent*>(client.IOHandler()));
  EXPECT_EQ(seen[1].first, static_cast<rtl::TComponent*>(client.IOHandler()));
  EXPECT_EQ(seen[2].first, static_cast<rtl::TComponent*>(&client));
}

TEST(TcpLifecycle, PeerCloseIsReportedOnceByTheReadThatSeesIt) {
  ScriptedPeer peer;
  peer.Send("bye\r\n").Close();
  peer.Start();
  TIdTCPClient client;
  EventLog log;
  AimAt(client, peer);
  client.Connect();
  log.Attach(client);

  EXPECT_EQ(client.ReadLn(), "bye");
  EXPECT_THROW(client.ReadLn(), EIdConnClosedGracefully);
  EXPECT_EQ(log.items, (std::vector<std::string>{kDisconnected, "disconnected"}));
  EXPECT_TRUE(client.PeerClosed());

  // Later queries find the connection closed and raise nothing further.
  EXPECT_FALSE(client.Connected());
  EXPECT_FALSE(client.Connected());
  EXPECT_EQ(log.items.size(), 2u);

  // An explicit disconnect afterwards still reports and raises its event again.
  log.items.clear();
  client.Disconnect();
  EXPECT_EQ(log.items, (std::vector<std::string>{kDisconnecting, "disconnected", kDisconnected}));
}

TEST(TcpLifecycle, ConnectTwiceRaisesAndConnectAfterDisconnectWorksAgain) {
  ScriptedPeer peer;
  peer.Accept();  // room for the second connection
  peer.Start();
  TIdTCPClient client;
  EventLog log;
  AimAt(client, peer);
  client.Connect();
  TIdIOHandler* first = client.IOHandler();

  log.Attach(client);
  try {
    client.Connect();
    FAIL() << "second Connect did not raise";
  } catch (const EIdAlreadyConnected& e) {
    EXPECT_STREQ(e.what(), "Verbindung besteht bereits.");
  }
  EXPECT_TRUE(log.items.empty());
  EXPECT_EQ(client.IOHandler(), first);
  EXPECT_TRUE(client.Connected());

  client.Disconnect();
  log.items.clear();
  // The new handler takes the client's OnStatus of this moment.
  client.Connect();
  EXPECT_EQ(log.items, (std::vector<std::string>{kConnecting, kConnected, "connected"}));
  EXPECT_TRUE(client.Connected());
  ASSERT_TRUE(peer.WaitScriptDone(5000));
  EXPECT_EQ(peer.Connections(), 2);
}

TEST(TcpLifecycle, DisconnectWithoutConnectStillReports) {
  TIdTCPClient client;
  EventLog log;
  log.Attach(client);
  client.Disconnect();
  EXPECT_EQ(log.items, (std::vector<std::string>{kDisconnecting, "disconnected", kDisconnected}));
}

TEST(TcpLifecycle, DestructionIsSilentAndClosesTheSocket) {
  ScriptedPeer peer;
  peer.ReadUntilClose();
  peer.Start();
  EventLog log;
  {
    TIdTCPClient client;
    AimAt(client, peer);
    client.Connect();
    client.WriteLn("last words");
    log.Attach(client);
  }
  EXPECT_TRUE(log.items.empty());
  EXPECT_TRUE(peer.WaitScriptDone(5000));
  EXPECT_EQ(peer.Received(), "last words\r\n");
  EXPECT_TRUE(peer.Failures().empty());
}

TEST(TcpLifecycle, ExternalHandlerIsKeptAndForgottenWhenDestroyed) {
  ScriptedPeer peer;
  peer.Start();
  TIdTCPClient client;
  AimAt(client, peer);
  auto* handler = new TIdIOHandlerSocket(&client);  // owned by the client as a component only
  client.SetIOHandler(handler);
  client.SetIOHandler(handler);  // setting the same one again changes nothing
  client.Connect();
  EXPECT_FALSE(client.OwnsIOHandler());
  client.Disconnect();
  EXPECT_EQ(client.IOHandler(), handler);  // not owned, so Disconnect keeps it
  delete handler;
  EXPECT_EQ(client.IOHandler(), nullptr);
  EXPECT_EQ(client.SocketIOHandler(), nullptr);
}

TEST(TcpLifecycle, ReplacingAnOwnedHandlerFreesIt) {
  ScriptedPeer peer;
  peer.Start();
  TIdTCPClient client;
  AimAt(client, peer);
  client.Connect();
  ASSERT_TRUE(client.OwnsIOHandler());
  struct Watcher : rtl::TComponent {
    rtl::TComponent* gone = nullptr;
    void Notification(rtl::TComponent* c, rtl::TOperation op) override {
      if (op == rtl::opRemove) gone = c;
      rtl::TComponent::Notification(c, op);
    }
  } watcher;
  rtl::TComponent* owned = client.IOHandler();
  watcher.FreeNotification(owned);
  auto replacement = std::make_unique<TIdIOHandlerSocket>();
  client.SetIOHandler(replacement.get());
  EXPECT_EQ(watcher.gone, owned);
  EXPECT_FALSE(client.OwnsIOHandler());
  EXPECT_EQ(client.SocketIOHandler(), replacement.get());
  client.SetIOHandler(nullptr);
  EXPECT_EQ(client.SocketIOHandler(), nullptr);
}

TEST(TcpLifecycle, CheckClosedWithholdsTheCloseWhileBytesAreBuffered) {
  ScriptedPeer peer;
  peer.Send("12345").Close();
  peer.Start();
  TIdTCPClient client;
  AimAt(client, peer);
  client.Connect();
  ASSERT_TRUE(peer.WaitScriptDone(5000));
  // Read until the close has been seen; the five bytes stay buffered.
  while (client.Connected()) client.FillInputBuffer(false);
  EXPECT_EQ(client.InboundBuffer().VisibleSize(), 5);
  EXPECT_NO_THROW(client.CheckClosed(true, false));
  EXPECT_THROW(client.CheckClosed(true, true), EIdConnClosedGracefully);
  EXPECT_EQ(client.ReadAvailable(), "12345");
}

// ---- lines ----------------------------------------------------------------------------------

// Every chunk the client receives, as its intercept sees it.
struct ReceiveLog {
  ReceiveLog() {
    intercept.SetOnReceive([this](rtl::TComponent*, rtl::TStream& s) {
      std::string chunk(static_cast<size_t>(s.Size()), '\0');
      s.SetPosition(0);
      s.ReadBuffer(chunk.data(), s.Size());
      chunks.push_back(chunk);
    });
  }
  TIdConnectionIntercept intercept;
  std::vector<std::string> chunks;
};

TEST(TcpReadLn, LinesArriveWholeWhateverTheChunks) {
  ScriptedPeer peer;
  peer.SetReaderThread(testsupport::ThisThreadId());
  peer.SendChunks("220 hello\r\n", {7, 4})  // split over two receives
      .Send("only lf\n")
      .Send("cr cr lf\r\r\n")
      .SendChunks("abc\r\ndef\r\nrest", {4, 10});  // CR LF straddling two receives
  peer.Start();
  ReceiveLog received;
  TIdTCPClient client;
  AimAt(client, peer);
  client.SetIntercept(&received.intercept);
  client.Connect();
  EXPECT_EQ(client.ReadLn(), "220 hello");
  EXPECT_EQ(client.ReadLn(), "only lf");
  EXPECT_EQ(client.ReadLn(), "cr cr lf\r");
  EXPECT_EQ(client.ReadLn("\r\n"), "abc");
  EXPECT_EQ(client.ReadLn("\r\n"), "def");
  // The bytes after the terminator stay buffered for the next read.
  while (client.InboundBuffer().VisibleSize() < 4) client.FillInputBuffer();
  EXPECT_EQ(client.InboundBuffer().TakeString(4), "rest");
  // The splits happened where the test needs them.
  ASSERT_FALSE(received.chunks.empty());
  EXPECT_EQ(received.chunks.front(), "220 hel");
  EXPECT_EQ(received.chunks.back(), "\ndef\r\nrest");
  EXPECT_EQ(received.chunks[received.chunks.size() - 2].back(), '\r');
  EXPECT_EQ(peer.Failures(), std::vector<std::string>{});
}

TEST(TcpReadLn, MaximumLineLengthWithBothActions) {
  const std::string exact(16384, 'a');
  const std::string over(16385, 'b');
  Gate refused;
  ScriptedPeer peer;
  peer.SetReaderThread(testsupport::ThisThreadId());
  peer.Send(exact + "\n", 4000)   // exactly the maximum: accepted
      .Send(over + "\n", 4000)    // one more: split in two lines
      .Send(over, 4000)           // no LF at all: over-long before any LF arrives
      .Await(refused)             // the LF only after the line was refused
      .Send("\n");
  peer.Start();
  TIdTCPClient client;
  AimAt(client, peer);
  client.SetReadTimeout(10000);  // a read that waited for the LF would end here, not hang
  client.Connect();
  EXPECT_EQ(client.ReadLn(), exact);

  client.SetMaxLineAction(maSplit);
  EXPECT_EQ(client.ReadLn(), std::string(16384, 'b'));
  EXPECT_EQ(client.ReadLn(), "b");

  client.SetMaxLineAction(maException);
  try {
    client.ReadLn();
    FAIL() << "over-long line accepted";
  } catch (const EIdReadLnMaxLineLengthExceeded& e) {
    EXPECT_STREQ(e.what(), "Max. Zeilenlänge überschritten.");
  }
  refused.Open();
  EXPECT_EQ(client.InboundBuffer().VisibleSize(), 16385);  // the bytes stay buffered

  // With no limit the same bytes make one line once the LF comes.
  EXPECT_EQ(client.ReadLn("", TimeoutDefault, 0), over);
  EXPECT_EQ(peer.Failures(), std::vector<std::string>{});
}

TEST(TcpReadLn, PartialLineAtCloseGivesOneEmptyLineThenTheCloseError) {
  ScriptedPeer peer;
  peer.Send("no end").Close();
  peer.Start();
  TIdTCPClient client;
  AimAt(client, peer);
  client.Connect();
  EXPECT_EQ(client.ReadLn(), "");
  try {
    client.ReadLn();
    FAIL() << "no close error";
  } catch (const EIdConnClosedGracefully& e) {
    EXPECT_STREQ(e.what(), "Die Verbindung wurde erfolgreich geschlossen.");
  }
}

TEST(TcpReadLn, SkipBlankEndsWithTheCloseErrorAfterAPartialLine) {
  ScriptedPeer peer;
  peer.Send("\r\n  \t \r\n  230 ok  \r\npartial").Close();
  peer.Start();
  TIdTCPClient client;
  AimAt(client, peer);
  client.Connect();
  EXPECT_EQ(client.ReadLnSkipBlank(), "230 ok");
  EXPECT_THROW(client.ReadLnSkipBlank(), EIdConnClosedGracefully);
}

TEST(TcpReadLn, ReadTimeoutRaisesAndKeepsConnectionAndBytes) {
  ScriptedPeer peer;
  peer.Send("abc");  // then silence; the connection stays open
  peer.Start();
  TIdTCPClient client;
  AimAt(client, peer);
  client.SetReadTimeout(300);
  client.Connect();

  auto t0 = Clock::now();
  try {
    client.ReadLn();
    FAIL() << "no time-out";
  } catch (const EIdReadTimeout& e) {
    EXPECT_STREQ(e.what(), "Zeitüberschreitung beim Lesen");
  }
  EXPECT_GE(MillisSince(t0), 250);
  EXPECT_LT(MillisSince(t0), 5000);
  EXPECT_TRUE(client.Connected());
  EXPECT_EQ(client.InboundBuffer().VisibleSize(), 3);

  // An explicit time-out ends the same way, also without a default one.
  client.SetReadTimeout(0);
  t0 = Clock::now();
  EXPECT_THROW(client.ReadLn("\n", 200), EIdReadTimeout);
  EXPECT_GE(MillisSince(t0), 150);
  EXPECT_THROW(client.ReadLn("\n", -3), EIdException);  // below "infinite": refused
  EXPECT_EQ(client.InboundBuffer().VisibleSize(), 3);
}

TEST(TcpReadLn, ReadTimeoutZeroWaitsWithoutLimit) {
  ScriptedPeer peer;
  peer.Pause(700).Send("late\r\n");
  peer.Start();
  TIdTCPClient client;
  AimAt(client, peer);
  client.Connect();
  const auto t0 = Clock::now();
  EXPECT_EQ(client.ReadLn(), "late");
  EXPECT_GE(MillisSince(t0), 600);
}

// ---- writes ---------------------------------------------------------------------------------

TEST(TcpWrite, WriteLnSendsTheTextAndCrLfOnly) {
  ScriptedPeer peer;
  peer.ReadBytes(6).ReadBytes(4).ReadUntilClose();
  peer.Start();
  TIdTCPClient client;
  AimAt(client, peer);
  client.Connect();
  std::vector<int32_t> written;
  client.SetOnWork([&](rtl::TComponent*, TWorkMode m, int32_t n) {
    if (m == wmWrite) written.push_back(n);
  });
  client.WriteLn("ABOR");
  client.WriteBytes("x", 0);  // nothing sent
  client.WriteInt32(0x01020304);
  client.Disconnect();
  ASSERT_TRUE(peer.WaitScriptDone(5000));
  EXPECT_EQ(peer.Received(), std::string("ABOR\r\n\x01\x02\x03\x04", 10));
  EXPECT_TRUE(written.empty());  // no WorkBegin around plain writes: nothing counted
}

TEST(TcpWrite, WritingWithoutConnectionRaises) {
  TIdTCPClient client;
  EXPECT_NO_THROW(client.WriteBytes("x", 0));  // a count of 0 checks nothing
  try {
    client.Write("x");
    FAIL() << "no error";
  } catch (const EIdNotConnected& e) {
    EXPECT_STREQ(e.what(), "Nicht verbunden");
  }

  ScriptedPeer peer;
  peer.Close();
  peer.Start();
  AimAt(client, peer);
  client.Connect();
  ASSERT_TRUE(peer.WaitScriptDone(5000));
  client.ProbeClosed();  // notices the close
  EXPECT_THROW(client.Write("x"), EIdConnClosedGracefully);
  EXPECT_THROW(client.ReadLn(), EIdConnClosedGracefully);
}

TEST(TcpWrite, ClosedHandlerRefusesRawReceiveAndSend) {
  TIdIOHandlerSocket handler;
  char c = 0;
  try {
    handler.Recv(&c, 1);
    FAIL() << "no error";
  } catch (const EIdClosedSocket& e) {
    EXPECT_STREQ(e.what(), "Verbindung aufgehoben.");
  }
  EXPECT_THROW(handler.Send(&c, 1), EIdClosedSocket);
}

TEST(TcpRead, ResetByPeerRaisesTheSocketError) {
#ifdef _WIN32
  GTEST_SKIP() << "the peer cannot reset under wine: its closesocket ignores an abortive linger "
                  "and closes gracefully";
#endif
  Gate connected;
  ScriptedPeer peer;
  // Only once the connect is done: a reset before the client's connect has read back its
  // addresses would fail the connect itself.
  peer.Await(connected).Reset();
  peer.Start();
  TIdTCPClient client;
  AimAt(client, peer);
  client.Connect();
  connected.Open();
  ASSERT_TRUE(peer.WaitScriptDone(5000));
  try {
    client.ReadLn();
    FAIL() << "no error";
  } catch (const EIdSocketError& e) {
    EXPECT_EQ(e.LastError(), 10054);
    EXPECT_STREQ(e.what(), "Socket-Fehler # 10054\r\nDie Verbindung wurde von Peer zurückgesetzt.");
  }
  // A reset is not one of the receive failures that close the socket here.
  EXPECT_TRUE(client.IOHandler()->Connected());
}

TEST(TcpRead, Int32IsReadInNetworkOrder) {
  ScriptedPeer peer;
  peer.Send(std::string("\x00\x00\x01\x02\x03\x04\x05\x06", 8));
  peer.Start();
  TIdTCPClient client;
  AimAt(client, peer);
  client.Connect();
  EXPECT_EQ(client.ReadInt32(), 258);
  const int32_t raw = client.ReadInt32(false);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&raw), 4), "\x03\x04\x05\x06");
}

// ---- filters --------------------------------------------------------------------------------

TEST(TcpFilters, InterceptSeesConnectReceiveSendAndDisconnect) {
  ScriptedPeer peer;
  peer.Send("hello\n").ExpectLine("PING!").ReadUntilClose();
  peer.Start();
  TIdTCPClient client;
  TIdConnectionIntercept intercept;
  std::vector<std::string> events;
  intercept.SetOnConnect([&](rtl::TComponent*) { events.push_back("connect"); });
  intercept.SetOnDisconnect([&](rtl::TComponent*) { events.push_back("disconnect"); });
  intercept.SetOnReceive([&](rtl::TComponent*, rtl::TStream& s) {
    std::string data(static_cast<size_t>(s.Size()), '\0');
    s.SetPosition(0);
    s.ReadBuffer(data.data(), s.Size());
    for (char& c : data) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    s.SetPosition(0);
    s.WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
  });
  intercept.SetOnSend([&](rtl::TComponent*, rtl::TStream& s) {
    // Grows the block: "PING" CR LF becomes "PING!" CR LF.
    s.SetSize(s.Size() + 1);
    s.SetPosition(4);
    s.WriteBuffer("!\r\n", 3);
  });
  client.SetIntercept(&intercept);
  AimAt(client, peer);
  client.Connect();
  EXPECT_EQ(intercept.AttachedConnection(), &client);
  EXPECT_EQ(client.ReadLn(), "HELLO");
  client.WriteLn("PING");
  client.Disconnect();
  EXPECT_EQ(intercept.AttachedConnection(), nullptr);
  EXPECT_EQ(events, (std::vector<std::string>{"connect", "disconnect"}));
  ASSERT_TRUE(peer.WaitScriptDone(5000));
  EXPECT_TRUE(peer.Failures().empty()) << peer.Failures()[0];
}

TEST(TcpFilters, InterceptDestroyedFirstIsForgotten) {
  TIdTCPClient client;
  {
    TIdConnectionIntercept intercept;
    client.SetIntercept(&intercept);
  }
  EXPECT_EQ(client.Intercept(), nullptr);
}

TEST(TcpFilters, AsciiFilterClearsBitSeven) {
  ScriptedPeer peer;
  peer.Send("\xC1\xE2\x63\n");
  peer.Start();
  TIdTCPClient client;
  AimAt(client, peer);
  client.SetASCIIFilter(true);
  client.Connect();
  EXPECT_EQ(client.ReadLn(), "Abc");
}

}  // namespace
}  // namespace tavo::net
