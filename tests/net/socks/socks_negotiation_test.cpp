// SOCKS 4, 4A and 5 handshakes, byte for byte, against a scripted proxy: each case lists what
// the client must send and what the proxy answers, and runs twice, with every reply in one
// piece and one byte at a time. After a granted request the proxy's next bytes are the
// target's, and the client must read them as the first bytes of the connection.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "net/tcp/socks_info.h"
#include "net/stack/exceptions.h"
#include "net/stack/socket_handle.h"
#include "net/tcp/connection.h"
#include "net/tcp/iohandler.h"
#include "tests/support/expect_throw.h"
#include "tests/support/scripted_peer.h"

namespace tavo::net {
namespace {

using testsupport::ScriptedPeer;

std::string Bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s.push_back(static_cast<char>(v));
  return s;
}

// The proxy reads exactly what the client must send, then answers.
struct Exchange {
  std::string request;
  std::string reply;
};

using ErrorCheck = std::function<bool(const std::exception&)>;
template <typename E>
ErrorCheck IsA() {
  return [](const std::exception& e) { return dynamic_cast<const E*>(&e) != nullptr; };
}

struct Case {
  std::string name{};
  TSocksVersion version = svNoSocks;
  std::string host{};
  int32_t port = 21;
  TSocksAuthentication authentication = saNoAuthentication;
  std::string username{};
  std::string password{};
  std::vector<Exchange> script{};
  // Empty: granted. Otherwise the error's message, and its class.
  std::string error{};
  ErrorCheck is_expected{};
};

const std::string kTargetGreeting = "220 target speaking";
const std::string kGranted4 = Bytes({0, 90, 0, 0, 0, 0, 0, 0});
// A name the resolver refuses without asking anyone: any local look-up would fail the case.
const std::string kUnresolvable = std::string(64, 'a') + ".invalid";
const std::string kRespond = "Socks-Server hat nicht geantwortet.";
const std::string kLong(256, 'x');

const Exchange kSocks4Request{Bytes({4, 1, 0, 21, 192, 0, 2, 7, 0}), kGranted4};
const Exchange kNoAuthentication{Bytes({5, 1, 0}), Bytes({5, 0})};
std::string Socks5Connect(const std::string& host, int hi = 0, int lo = 21) {
  return Bytes({5, 1, 0, 3, static_cast<int>(host.size())}) + host + Bytes({hi, lo});
}
const std::string kBoundIPv4 = Bytes({5, 0, 0, 1, 127, 0, 0, 1, 0x04, 0x38});

Case Socks4Result(int code, std::string error, ErrorCheck check) {
  return {.name = "Socks4Result" + std::to_string(code),
          .version = svSocks4,
          .host = "192.0.2.7",
          .script = {{kSocks4Request.request, Bytes({0, code, 0, 0, 0, 0, 0, 0})}},
          .error = std::move(error),
          .is_expected = std::move(check)};
}

Case Socks5Result(int code, std::string error, ErrorCheck check) {
  return {.name = "Socks5Result" + std::to_string(code),
          .version = svSocks5,
          .host = "tavo.test",
          // The client judges the result after the first five bytes and closes; the proxy's
          // further bytes would only meet a closed socket.
          .script = {kNoAuthentication, {Socks5Connect("tavo.test"), Bytes({5, code, 0, 1, 0})}},
          .error = std::move(error),
          .is_expected = std::move(check)};
}

// Nothing may be sent at all.
Case Refused(Case c, std::string error) {
  c.error = std::move(error);
  c.is_expected = IsA<EIdSocksError>();
  return c;
}

std::vector<Case> Cases() {
  return {
      // --- SOCKS 4 and 4A ---
      {.name = "Socks4EmptyUserIdIsNineBytes",
       .version = svSocks4,
       .host = "192.0.2.7",
       .port = 2121,
       .script = {{Bytes({4, 1, 0x08, 0x49, 192, 0, 2, 7, 0}), kGranted4}}},
      {.name = "Socks4GrantedWhateverTheOtherBytesHold",
       .version = svSocks4,
       .host = "LOCALHOST",
       .username = "tavo",
       .script = {{Bytes({4, 1, 0, 21, 127, 0, 0, 1}) + "tavo" + Bytes({0}),
                   Bytes({0xFF, 90, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF})}}},
      {.name = "Socks4AIsNineteenBytesForANineByteName",
       .version = svSocks4A,
       .host = "tavo.test",
       .script = {{Bytes({4, 1, 0, 21, 0, 0, 0, 1, 0}) + "tavo.test" + Bytes({0}), kGranted4}}},
      {.name = "Socks4ALeavesTheNameToTheProxy",
       .version = svSocks4A,
       .host = kUnresolvable,
       .username = "id",
       .script = {{Bytes({4, 1, 0, 21, 0, 0, 0, 1}) + "id" + Bytes({0}) + kUnresolvable +
                       Bytes({0}),
                   kGranted4}}},
      Socks4Result(91, "Anforderung zurückgewiesen oder fehlgeschlagen.",
                   IsA<EIdSocksRequestFailed>()),
      Socks4Result(92,
                   "Die Anforderung wurde zurückgewiesen, da der SOCKS-Server keine Verbindung "
                   "herstellen konnte.",
                   IsA<EIdSocksRequestServerFailed>()),
      Socks4Result(93,
                   "Die Anforderung wurde zurückgewiesen, da das Client-Programm und identd "
                   "verschiedene Anwender-IDs melden.",
                   IsA<EIdSocksRequestIdentFailed>()),
      Socks4Result(0, "Unbekannter SOCKS-Fehler.", IsA<EIdSocksUnknownError>()),
      {.name = "Socks4ProxyClosingMidReply",
       .version = svSocks4,
       .host = "192.0.2.7",
       .script = {{kSocks4Request.request, Bytes({0, 90, 0})}},
       .error = kRespond,
       .is_expected = IsA<EIdSocksServerRespondError>()},
      Refused({.name = "Socks4OverLongUserId",
               .version = svSocks4,
               .host = "192.0.2.7",
               .username = kLong},
              "Die SOCKS-Benutzerkennung ist zu lang (256 Bytes, höchstens 255) und wird nicht "
              "gesendet."),
      Refused({.name = "Socks4UserIdWithNul",
               .version = svSocks4,
               .host = "192.0.2.7",
               .username = std::string("ab\0cd", 5)},
              "Die SOCKS-Benutzerkennung enthält ein Nullzeichen und kann über SOCKS 4 nicht "
              "gesendet werden."),
      Refused({.name = "Socks4AOverLongHost", .version = svSocks4A, .host = kLong},
              "Der Ziel-Host-Name ist zu lang (256 Bytes, höchstens 255) und wird nicht "
              "gesendet."),
      Refused({.name = "Socks4AHostWithNul", .version = svSocks4A, .host = std::string("a\0b", 3)},
              "Der Ziel-Host-Name enthält ein Nullzeichen und kann über SOCKS 4 nicht gesendet "
              "werden."),
      Refused({.name = "Socks4IPv6Target", .version = svSocks4, .host = "2001:db8::7"},
              "Das IPv6-Ziel 2001:db8::7 ist über SOCKS 4 nicht erreichbar; SOCKS 5 kann es."),
      Refused({.name = "Socks4AIPv6Target", .version = svSocks4A, .host = "::1"},
              "Das IPv6-Ziel ::1 ist über SOCKS 4 nicht erreichbar; SOCKS 5 kann es."),

      // --- SOCKS 5 ---
      {.name = "Socks5WithoutAuthentication",
       .version = svSocks5,
       .host = "tavo.test",
       .script = {kNoAuthentication, {Socks5Connect("tavo.test"), kBoundIPv4}}},
      {.name = "Socks5RefusesMethod2WhenOfferingNone",
       .version = svSocks5,
       .host = "tavo.test",
       .script = {{Bytes({5, 1, 0}), Bytes({5, 2})}},
       .error = "Ungültige Authentifizierungmethode für SOCKS.",
       .is_expected = IsA<EIdSocksAuthMethodError>()},
      {.name = "Socks5RefusesMethod255",
       .version = svSocks5,
       .host = "tavo.test",
       .authentication = saUsernamePassword,
       .script = {{Bytes({5, 1, 2}), Bytes({5, 255})}},
       .error = "Ungültige Authentifizierungmethode für SOCKS.",
       .is_expected = IsA<EIdSocksAuthMethodError>()},
      {.name = "Socks5EmptyNameAndPassword",
       .version = svSocks5,
       .host = "tavo.test",
       .authentication = saUsernamePassword,
       .script = {{Bytes({5, 1, 2}), Bytes({5, 2})},
                  {Bytes({1, 0, 0}), Bytes({1, 0})},
                  {Socks5Connect("tavo.test"), kBoundIPv4}}},
      {.name = "Socks5RefusedPassword",
       .version = svSocks5,
       .host = "tavo.test",
       .authentication = saUsernamePassword,
       .username = "user",
       .password = "secret",
       .script = {{Bytes({5, 1, 2}), Bytes({5, 2})},
                  {Bytes({1, 4}) + "user" + Bytes({6}) + "secret", Bytes({1, 1})}},
       .error = "Authentifizierungsfehler bei Socks-Server.",
       .is_expected = IsA<EIdSocksAuthError>()},
      {.name = "Socks5DottedTargetTravelsAsAName",
       .version = svSocks5,
       .host = "192.0.2.7",
       .port = 0x1234,
       .script = {kNoAuthentication, {Socks5Connect("192.0.2.7", 0x12, 0x34), kBoundIPv4}}},
      // An IPv6 literal is no name: address type 4 and its sixteen bytes.
      {.name = "Socks5IPv6TargetTravelsAsItsBytes",
       .version = svSocks5,
       .host = "2001:db8::7",
       .script = {kNoAuthentication,
                  {Bytes({5, 1, 0, 4, 0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 7,
                          0, 21}),
                   kBoundIPv4}}},
      {.name = "Socks5NeverResolvesTheTarget",
       .version = svSocks5,
       .host = kUnresolvable,
       .script = {kNoAuthentication, {Socks5Connect(kUnresolvable), kBoundIPv4}}},
      {.name = "Socks5LongestTargetName",
       .version = svSocks5,
       .host = std::string(255, 'h'),
       .script = {kNoAuthentication, {Socks5Connect(std::string(255, 'h')), kBoundIPv4}}},
      {.name = "Socks5BoundNameConsumedExactly",
       .version = svSocks5,
       .host = "tavo.test",
       .script = {kNoAuthentication,
                  {Socks5Connect("tavo.test"),
                   Bytes({5, 0, 0, 3, 10}) + "proxy.test" + Bytes({0, 21})}}},
      {.name = "Socks5BoundIPv6ConsumedExactly",
       .version = svSocks5,
       .host = "tavo.test",
       .script = {kNoAuthentication,
                  {Socks5Connect("tavo.test"),
                   Bytes({5, 0, 0, 4}) + std::string(16, '\1') + Bytes({0, 21})}}},
      {.name = "Socks5UnknownAddressTypeTakesTheLengthOfAPort",
       .version = svSocks5,
       .host = "tavo.test",
       .script = {kNoAuthentication, {Socks5Connect("tavo.test"), Bytes({5, 0, 0, 9, 7, 0, 21})}}},
      Socks5Result(1, "Allgemeiner SOCKS-Serverausfall.", IsA<EIdSocksServerGeneralError>()),
      Socks5Result(2, "Die Verbindung wird von der Regelmenge nicht zugelassen.",
                   IsA<EIdSocksServerPermissionError>()),
      Socks5Result(3, "Das Netzwerk ist nicht erreichbar.",
                   IsA<EIdSocksServerNetUnreachableError>()),
      Socks5Result(4, "Host nicht erreichbar.", IsA<EIdSocksServerHostUnreachableError>()),
      Socks5Result(5, "Verbindung abgelehnt.", IsA<EIdSocksServerConnectionRefusedError>()),
      Socks5Result(6, "TTL abgelaufen.", IsA<EIdSocksServerTTLExpiredError>()),
      Socks5Result(7, "Anweisung nicht unterstützt", IsA<EIdSocksServerCommandError>()),
      Socks5Result(8, "Der Adresstyp wird nicht unterstützt.", IsA<EIdSocksServerAddressError>()),
      Socks5Result(9, "Unbekannter SOCKS-Fehler.", IsA<EIdSocksUnknownError>()),
      {.name = "Socks5ProxyClosingMidMethodReply",
       .version = svSocks5,
       .host = "tavo.test",
       .script = {{Bytes({5, 1, 0}), Bytes({5})}},
       .error = kRespond,
       .is_expected = IsA<EIdSocksServerRespondError>()},
      {.name = "Socks5ProxyClosingMidBoundAddress",
       .version = svSocks5,
       .host = "tavo.test",
       .script = {kNoAuthentication, {Socks5Connect("tavo.test"), Bytes({5, 0, 0, 1, 127, 0, 0})}},
       .error = kRespond,
       .is_expected = IsA<EIdSocksServerRespondError>()},
      Refused({.name = "Socks5OverLongHost", .version = svSocks5, .host = kLong},
              "Der Ziel-Host-Name ist zu lang (256 Bytes, höchstens 255) und wird nicht "
              "gesendet."),
      Refused({.name = "Socks5OverLongUsername",
               .version = svSocks5,
               .host = "tavo.test",
               .authentication = saUsernamePassword,
               .username = kLong},
              "Der SOCKS-Benutzername ist zu lang (256 Bytes, höchstens 255) und wird nicht "
              "gesendet."),
      Refused({.name = "Socks5OverLongPassword",
               .version = svSocks5,
               .host = "tavo.test",
               .authentication = saUsernamePassword,
               .username = "user",
               .password = kLong},
              "Das SOCKS-Passwort ist zu lang (256 Bytes, höchstens 255) und wird nicht "
              "gesendet."),
      {.name = "Socks5TargetPortOutOfRange",
       .version = svSocks5,
       .host = "tavo.test",
       .port = 65536,
       .error = "Socket-Fehler # 10022\r\nUngültiges Argument.",
       .is_expected = IsA<EIdSocketError>()},
  };
}

// A client aimed at AHost:APort through the proxy at 127.0.0.1:AProxyPort.
std::unique_ptr<TIdTCPClient> ClientThroughProxy(const Case& c, uint16_t AProxyPort) {
  auto client = std::make_unique<TIdTCPClient>();
  client->SetHost(c.host);
  client->SetPort(c.port);
  client->SetReadTimeout(10000);
  auto* handler = new TIdIOHandlerSocket(client.get());
  TIdSocksInfo* socks = handler->SocksInfo();
  socks->SetVersion(c.version);
  socks->SetHost("127.0.0.1");
  socks->SetPort(AProxyPort);
  socks->SetAuthentication(c.authentication);
  socks->SetUsername(c.username);
  socks->SetPassword(c.password);
  client->SetIOHandler(handler);
  return client;
}

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class SocksNegotiation : public ::testing::TestWithParam<std::tuple<Case, bool>> {};

TEST_P(SocksNegotiation, SendsExactlyAndReadsEachReplyExactly) {
  const auto& [c, bytewise] = GetParam();
  const bool granted = c.error.empty();
  ScriptedPeer peer;
  std::string expected_received;
  for (size_t i = 0; i < c.script.size(); ++i) {
    const Exchange& x = c.script[i];
    expected_received += x.request;
    peer.ReadBytes(x.request.size());
    // The target's first bytes follow the last reply at once: reading one byte too many
    // would swallow them.
    const bool last = i + 1 == c.script.size();
    const std::string reply = x.reply + (last && granted ? kTargetGreeting + "\r\n" : "");
    peer.Send(reply, bytewise ? 1 : 0, bytewise ? 1 : 0);
    if (last && !granted) peer.Close();  // a proxy that refuses, or gives up mid-reply
  }
  peer.ReadUntilClose();
  peer.Start();

  auto client = ClientThroughProxy(c, peer.Port());
  if (granted) {
    client->Connect();
    EXPECT_EQ(client->ReadLn(), kTargetGreeting);
    client->Disconnect();
  } else {
    testsupport::ExpectThrowWith<std::exception>(
        [&] { client->Connect(); },
        [&](const std::exception& e) {
          EXPECT_EQ(e.what(), c.error);
          EXPECT_TRUE(c.is_expected(e)) << typeid(e).name();
        });
    EXPECT_FALSE(client->Connected());  // a failed handshake is a failed connect
  }
  ASSERT_TRUE(peer.WaitScriptDone(10000));
  EXPECT_EQ(peer.Failures(), std::vector<std::string>{});
  EXPECT_EQ(peer.Received(0), expected_received);
}

INSTANTIATE_TEST_SUITE_P(Script, SocksNegotiation,
                         ::testing::Combine(::testing::ValuesIn(Cases()), ::testing::Bool()),
                         [](const ::testing::TestParamInfo<SocksNegotiation::ParamType>& info) {
                           return std::get<0>(info.param).name +
                                  (std::get<1>(info.param) ? "_Bytewise" : "_Whole");
                         });

TEST(SocksHandOff, StatusesNameTheProxyAndTheTargetIsNeverLookedUp) {
  ScriptedPeer peer;
  peer.ReadBytes(3).Send(Bytes({5, 0})).ReadBytes(7 + kUnresolvable.size()).Send(kBoundIPv4);
  peer.ReadUntilClose();
  peer.Start();
  const Case c{.version = svSocks5, .host = kUnresolvable};
  auto client = ClientThroughProxy(c, peer.Port());
  client->SocketIOHandler()->SocksInfo()->SetHost("localhost");
  std::vector<std::string> statuses;
  client->SetOnStatus(
      [&](rtl::TComponent*, TIdStatus, const std::string& text) { statuses.push_back(text); });
  // The handler raises the resolving and connecting statuses itself.
  client->SocketIOHandler()->SetOnStatus(client->OnStatus());
  client->Connect();
  EXPECT_EQ(statuses, (std::vector<std::string>{"Host-Name localhost wird aufgelöst.",
                                                "Verbinden mit 127.0.0.1.", "Verbunden."}));
  EXPECT_EQ(client->SocketIOHandler()->SocketHandle()->PeerPort(), peer.Port());
}

TEST(SocksHandOff, ASilentProxyHasNotAnsweredOnceTheReplyTimeOutRunsOut) {
  for (const auto& [version, request_size] : {std::pair{svSocks4, 9}, std::pair{svSocks5, 3}}) {
    SCOPED_TRACE(version);
    ScriptedPeer peer;
    peer.ReadBytes(request_size).ReadUntilClose();
    peer.Start();
    auto client = ClientThroughProxy({.version = version, .host = "192.0.2.7"}, peer.Port());
    client->SocketIOHandler()->SocksInfo()->SetReplyTimeout(300);
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(testsupport::ThrownMessage<EIdSocksServerRespondError>([&] { client->Connect(); }),
              "Socks-Server hat nicht geantwortet.");
    const auto waited = std::chrono::steady_clock::now() - t0;
    EXPECT_GE(waited, std::chrono::milliseconds(300));
    EXPECT_LT(waited, std::chrono::seconds(5));
    EXPECT_TRUE(peer.WaitScriptDone(10000));
  }
}

TEST(SocksHandOff, SharedSettingsNegotiateOverTheHandlerThatConnects) {
  ScriptedPeer peer;
  peer.ReadBytes(9).Send(kGranted4).ReadUntilClose();
  peer.Start();
  rtl::TComponent owner;
  auto* shared = new TIdSocksInfo(&owner);
  shared->SetVersion(svSocks4);
  shared->SetHost("127.0.0.1");
  shared->SetPort(peer.Port());
  TIdTCPClient first;
  TIdTCPClient second;
  for (TIdTCPClient* client : {&first, &second}) {
    auto* handler = new TIdIOHandlerSocket(client);
    handler->SetSocksInfo(shared);
    client->SetIOHandler(handler);
    client->SetHost("192.0.2.7");
    client->SetPort(21);
  }
  // The settings were tied to the second handler last; the first connects.
  first.Connect();
  EXPECT_TRUE(first.Connected());
  EXPECT_EQ(shared->IOHandler(), first.IOHandler());
  first.Disconnect();
  ASSERT_TRUE(peer.WaitScriptDone(10000));
  EXPECT_EQ(peer.Failures(), std::vector<std::string>{});
}

}  // namespace
}  // namespace tavo::net
