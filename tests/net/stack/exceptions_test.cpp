// The exception tree: families can be caught as a whole, and the extra fields travel along.

#include <gtest/gtest.h>

#include <type_traits>

#include "net/stack/exceptions.h"

namespace tavo::net::test {
namespace {

template <typename Derived, typename Base>
constexpr bool kIsA = std::is_base_of_v<Base, Derived>;

TEST(ExceptionTree, GroupsAsDeclared) {
  static_assert(kIsA<EIdException, rtl::Exception>);
  static_assert(kIsA<EIdConnClosedGracefully, EIdSilentException>);
  static_assert(kIsA<EIdSilentException, EIdException>);
  static_assert(kIsA<EIdStackInitializationFailed, EIdStackError>);
  static_assert(kIsA<EIdStackSetSizeExceeded, EIdStackError>);
  static_assert(kIsA<EIdCouldNotBindSocket, EIdSocketHandleError>);
  static_assert(kIsA<EIdCanNotBindPortInRange, EIdSocketHandleError>);
  static_assert(kIsA<EIdInvalidPortRange, EIdSocketHandleError>);
  static_assert(kIsA<EIdNotEnoughDataInBuffer, EIdTCPConnectionError>);
  static_assert(kIsA<EIdNoDataToRead, EIdTCPConnectionError>);
  static_assert(kIsA<EIdNotConnected, EIdTCPConnectionError>);
  static_assert(kIsA<EIdFileNotFound, EIdTCPConnectionError>);
  static_assert(kIsA<EIdSocksServerAddressError, EIdSocksError>);
  static_assert(kIsA<EIdSocksRequestFailed, EIdSocksError>);
  static_assert(kIsA<EIdSocksError, EIdException>);
  static_assert(!kIsA<EIdSocketError, EIdSocketHandleError>);
  static_assert(!kIsA<EIdConnectTimeout, EIdSilentException>);

  // Caught by family, with the message intact.
  try {
    throw EIdInvalidPortRange("range");
  } catch (const EIdSocketHandleError& e) {
    EXPECT_STREQ(e.what(), "range");
  }
  try {
    throw EIdSocksServerTTLExpiredError("ttl");
  } catch (const EIdException& e) {
    EXPECT_EQ(e.Message(), "ttl");
  }
}

TEST(ExceptionTree, ExtraFields) {
  const EIdSocketError socket_error(10061, "refused");
  EXPECT_EQ(socket_error.LastError(), 10061);
  EXPECT_STREQ(socket_error.what(), "refused");
  const EIdProtocolReplyError reply_error(550, "550 No such file");
  EXPECT_EQ(reply_error.ReplyCode(), 550);
  EXPECT_STREQ(reply_error.what(), "550 No such file");
}

TEST(ExceptionTree, StubErrorMessageForms) {
  const EIdWS2StubError plain("Fehler beim Laden einer Winsock2-Bibliothek (WS2_32.DLL)", 0);
  EXPECT_EQ(plain.ErrorNumber(), 0u);
  EXPECT_EQ(plain.ErrorNumberText(), "");
  EXPECT_EQ(plain.Title(), "Fehler beim Laden einer Winsock2-Bibliothek (WS2_32.DLL)");
  EXPECT_EQ(plain.Message(), plain.Title());

  const EIdWS2StubError numbered("Fehler beim Aufruf einer Winsock2-Bibliotheksfunktion send", 2);
  EXPECT_EQ(numbered.ErrorNumber(), 2u);
  EXPECT_FALSE(numbered.ErrorNumberText().empty());
  EXPECT_EQ(numbered.Message(),
            "Fehler beim Aufruf einer Winsock2-Bibliotheksfunktion send: " +
                numbered.ErrorNumberText());
}

}  // namespace
}  // namespace tavo::net::test
