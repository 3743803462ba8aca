// The SOCKS settings object on its own: defaults, the copy rule, and handshakes that have no
// connection to run over.

#include <gtest/gtest.h>

#include "net/tcp/socks_info.h"
#include "net/stack/exceptions.h"
#include "net/tcp/iohandler.h"
#include "net/tcp/reply.h"
#include "rtl/exception.h"
#include "tests/support/expect_throw.h"

namespace tavo::net {
namespace {

TEST(SocksInfo, DefaultsAreADirectConnectionToPort1080WithoutCredentials) {
  TIdSocksInfo socks;
  EXPECT_EQ(socks.Authentication(), saNoAuthentication);
  EXPECT_EQ(socks.Host(), "");
  EXPECT_EQ(socks.Password(), "");
  EXPECT_EQ(socks.Port(), 1080);
  EXPECT_EQ(socks.Username(), "");
  EXPECT_EQ(socks.Version(), svNoSocks);
  EXPECT_EQ(socks.IOHandler(), nullptr);
  EXPECT_EQ(socks.ReplyTimeout(), 120000);
  EXPECT_EQ(static_cast<int>(svSocks4A), 2);
  EXPECT_EQ(static_cast<int>(saUsernamePassword), 1);
}

TEST(SocksInfo, CopiesTheSixSettingsButNeverTheHandler) {
  TIdIOHandlerSocket source_handler;
  TIdSocksInfo& source = *source_handler.SocksInfo();
  source.SetAuthentication(saUsernamePassword);
  source.SetHost("proxy.test");
  source.SetPassword("pw");
  source.SetPort(1081);
  source.SetUsername("user");
  source.SetVersion(svSocks5);
  source.SetReplyTimeout(5000);

  TIdIOHandlerSocket target_handler;
  TIdSocksInfo& target = *target_handler.SocksInfo();
  target.Assign(source);
  EXPECT_EQ(target.Authentication(), saUsernamePassword);
  EXPECT_EQ(target.Host(), "proxy.test");
  EXPECT_EQ(target.Password(), "pw");
  EXPECT_EQ(target.Port(), 1081);
  EXPECT_EQ(target.Username(), "user");
  EXPECT_EQ(target.Version(), svSocks5);
  EXPECT_EQ(target.ReplyTimeout(), 5000);
  EXPECT_EQ(target.IOHandler(), &target_handler);
}

TEST(SocksInfo, CopyingFromOrToAnotherClassIsRefused) {
  TIdSocksInfo socks;
  socks.SetHost("kept");
  TIdRFCReply reply;
  EXPECT_EQ(testsupport::ThrownMessage<rtl::EConvertAssignError>([&] { socks.Assign(reply); }),
            "TIdRFCReply kann nicht zu TIdSocksInfo zugewiesen werden");
  EXPECT_EQ(socks.Host(), "kept");
  EXPECT_EQ(testsupport::ThrownMessage<rtl::EConvertAssignError>([&] { reply.Assign(socks); }),
            "TIdSocksInfo kann nicht zu TIdRFCReply zugewiesen werden");
}

TEST(SocksInfo, AReplyTimeOutBelowInfiniteIsRefused) {
  TIdSocksInfo socks;
  socks.SetReplyTimeout(TimeoutInfinite);
  EXPECT_EQ(testsupport::ThrownMessage<EIdException>([&] { socks.SetReplyTimeout(-3); }),
            "Ungültige Zeitüberschreitung (-3 ms).");
  EXPECT_EQ(socks.ReplyTimeout(), TimeoutInfinite);
}

TEST(SocksInfo, WithoutAProxyNegotiateDoesNothingWithoutAConnectionOrAKnownVersionItRefuses) {
  TIdSocksInfo socks;
  EXPECT_NO_THROW(socks.Negotiate("tavo.test", 21));
  for (TSocksVersion version : {svSocks4, svSocks4A, svSocks5}) {
    SCOPED_TRACE(version);
    socks.SetVersion(version);
    EXPECT_EQ(
        testsupport::ThrownMessage<EIdClosedSocket>([&] { socks.Negotiate("192.0.2.7", 21); }),
        "Verbindung aufgehoben.");
  }
  socks.SetVersion(static_cast<TSocksVersion>(7));
  EXPECT_EQ(testsupport::ThrownMessage<EIdSocksError>([&] { socks.Negotiate("192.0.2.7", 21); }),
            "SOCKS-Version 7 wird nicht unterstützt.");
}

}  // namespace
}  // namespace tavo::net
