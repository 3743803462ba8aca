// The stack's own logic: message texts, address text, result checking, name short-cuts.

#include <gtest/gtest.h>

#include <memory>

#include "net/stack/stack.h"
#include "rtl/exception.h"
#include "stack_fixture.h"

namespace tavo::net::test {
namespace {

TEST(StackErrorText, TableEntriesAreFramedByNumberAndLineBreak) {
  std::unique_ptr<TIdStack> stack(CreateStack());
  EXPECT_EQ(stack->ErrorText(10035), "Socket-Fehler # 10035\r\nDie Operation würde blockieren. ");
  EXPECT_EQ(stack->ErrorText(10061), "Socket-Fehler # 10061\r\nVerbindung abgelehnt.");
  EXPECT_EQ(stack->ErrorText(10058),
            "Socket-Fehler # 10058\r\nNach Schließen des Socket kann weder gesendet noch "
            "empfangen werden.");
  EXPECT_EQ(stack->ErrorText(10066), "Socket-Fehler # 10066\r\nVerzeichnis ist nicht leer");
  EXPECT_EQ(stack->ErrorText(10004), "Socket-Fehler # 10004\r\nUnterbrochener Systemaufruf.");
  EXPECT_EQ(stack->ErrorText(10022), "Socket-Fehler # 10022\r\nUngültiges Argument.");
}

TEST(StackErrorText, NumbersOutsideTheTableKeepOnlyThePrefix) {
  std::unique_ptr<TIdStack> stack(CreateStack());
  EXPECT_EQ(stack->ErrorText(10005), "Socket-Fehler # 10005\r\n");
  EXPECT_EQ(stack->ErrorText(0), "Socket-Fehler # 0\r\n");
  EXPECT_EQ(stack->ErrorText(-1), "Socket-Fehler # -1\r\n");
}

TEST(StackErrorText, HostNotFoundComesOnlyFromThePlatformStack) {
  std::unique_ptr<TIdStack> stack(CreateStack());
  EXPECT_EQ(stack->ErrorText(11001), "Socket-Fehler # 11001\r\nHost nicht gefunden.");
  EXPECT_EQ(stack->TIdStack::ErrorText(11001), "Socket-Fehler # 11001\r\n");
}

TEST(StackCheckResult, SuccessDoesNotAskThePlatform) {
  RecordingStack stack;
  EXPECT_FALSE(stack.CheckResult(0));
  EXPECT_FALSE(stack.CheckResult(5, {10048}));
  EXPECT_EQ(stack.queries, 0);
}

TEST(StackCheckResult, FailureWithoutToleranceAlwaysRaises) {
  RecordingStack stack;
  stack.last_error = 10061;
  try {
    stack.CheckResult(-1);
    FAIL() << "no exception";
  } catch (const EIdSocketError& e) {
    EXPECT_EQ(e.LastError(), 10061);
    EXPECT_STREQ(e.what(), "Socket-Fehler # 10061\r\nVerbindung abgelehnt.");
  }
  EXPECT_EQ(stack.LastError(), 10061);
  // Even an error number of 0 is a failure when the call said so.
  stack.last_error = 0;
  EXPECT_THROW(stack.CheckResult(-1, {}), EIdSocketError);
  EXPECT_EQ(stack.queries, 2);
}

TEST(StackCheckResult, ToleratedErrorsReturnTrueAndAreRemembered) {
  RecordingStack stack;
  stack.last_error = 10053;
  EXPECT_TRUE(stack.CheckResult(-1, {10058, 10053}));
  EXPECT_EQ(stack.LastError(), 10053);
  stack.last_error = 10054;
  EXPECT_THROW(stack.CheckResult(-1, {10058, 10053}), EIdSocketError);
  EXPECT_EQ(stack.LastError(), 10054);
}

TEST(StackRaiseError, CarriesNumberAndText) {
  std::unique_ptr<TIdStack> stack(CreateStack());
  try {
    stack->RaiseError(10054);
    FAIL() << "no exception";
  } catch (const EIdSocketError& e) {
    EXPECT_EQ(e.LastError(), 10054);
    EXPECT_EQ(e.Message(), "Socket-Fehler # 10054\r\nDie Verbindung wurde von Peer zurückgesetzt.");
  }
}

TEST(StackHostToAddress, LocalhostInAnyCaseIsLoopbackWithoutLookup) {
  RecordingStack stack;
  EXPECT_EQ(stack.HostToAddress("localhost"), "127.0.0.1");
  EXPECT_EQ(stack.HostToAddress("LOCALHOST"), "127.0.0.1");
  EXPECT_EQ(stack.HostToAddress("LocalHost"), "127.0.0.1");
  EXPECT_TRUE(stack.looked_up.empty());
  // Only the exact name: anything around it is an ordinary host name.
  stack.HostToAddress("localhost.");
  EXPECT_EQ(stack.looked_up, std::vector<std::string>{"localhost."});
}

TEST(StackHostToAddress, DottedTextIsKeptOtherTextIsLookedUp) {
  RecordingStack stack;
  EXPECT_EQ(stack.HostToAddress("10.0.0.1"), "10.0.0.1");
  EXPECT_EQ(stack.HostToAddress(" 10.0.0.1"), " 10.0.0.1");
  EXPECT_EQ(stack.HostToAddress("0x7f.0.0.1"), "0x7f.0.0.1");
  EXPECT_TRUE(stack.looked_up.empty());
  EXPECT_EQ(stack.HostToAddress("10.0.0"), "192.0.2.1");
  EXPECT_EQ(stack.HostToAddress("10.0.0.256"), "192.0.2.1");
  EXPECT_EQ(stack.HostToAddress("10.0.0.1.5"), "192.0.2.1");
  EXPECT_EQ(stack.looked_up, (std::vector<std::string>{"10.0.0", "10.0.0.256", "10.0.0.1.5"}));
}

TEST(StackIsDottedAddress, EachOfFourPartsMustBeANumberFrom0To255) {
  std::unique_ptr<TIdStack> stack(CreateStack());
  EXPECT_TRUE(stack->IsDottedAddress("0.0.0.0"));
  EXPECT_TRUE(stack->IsDottedAddress("255.255.255.255"));
  EXPECT_TRUE(stack->IsDottedAddress("$ff.0.0.1"));
  EXPECT_TRUE(stack->IsDottedAddress("+1.2.3.4"));
  EXPECT_FALSE(stack->IsDottedAddress(""));
  EXPECT_FALSE(stack->IsDottedAddress("1.2.3."));
  EXPECT_FALSE(stack->IsDottedAddress("1..3.4"));
  EXPECT_FALSE(stack->IsDottedAddress("-1.2.3.4"));
  EXPECT_FALSE(stack->IsDottedAddress("1.2.3.4 "));
  EXPECT_FALSE(stack->IsDottedAddress("a.b.c.d"));
  EXPECT_FALSE(stack->IsDottedAddress("ftp.example.com"));
}

TEST(StackAddressText, ParseAndPrintInNetworkOrder) {
  std::unique_ptr<TIdStack> stack(CreateStack());
  const uint32_t loopback = stack->TextToAddress("127.0.0.1");
  const auto* bytes = reinterpret_cast<const uint8_t*>(&loopback);
  EXPECT_EQ(bytes[0], 127);
  EXPECT_EQ(bytes[3], 1);
  EXPECT_EQ(stack->NetToHostLong(loopback), 0x7F000001u);
  EXPECT_EQ(stack->AddressToText(loopback), "127.0.0.1");
  EXPECT_EQ(stack->AddressToText(stack->TextToAddress("0x7f.0.0.1")), "127.0.0.1");
  EXPECT_EQ(stack->AddressToText(stack->TextToAddress(" 10.0.0.1")), "10.0.0.1");
  // Each part contributes its low eight bits.
  EXPECT_EQ(stack->AddressToText(stack->TextToAddress("1.2.3.260")), "1.2.3.4");
  EXPECT_THROW(stack->TextToAddress("1.2.x.4"), rtl::EConvertError);
  EXPECT_THROW(stack->TextToAddress("1.2.3"), rtl::EConvertError);
  EXPECT_EQ(stack->HostToNetShort(21), stack->NetToHostShort(21));
  const uint16_t net21 = stack->HostToNetShort(21);
  EXPECT_EQ(reinterpret_cast<const uint8_t*>(&net21)[1], 21);
}

TEST(StackNewSocket, RefusedSocketRaisesInvalidSocket) {
  std::unique_ptr<TIdStack> stack(CreateStack());
  try {
    stack->NewSocket(99, 0);
    FAIL() << "no exception";
  } catch (const EIdInvalidSocket& e) {
    EXPECT_STREQ(e.what(), "Socket kann nicht zugewiesen werden.");
  }
}

TEST(StackServices, NamesNumbersAndUnknownServices) {
  std::unique_ptr<TIdStack> stack(CreateStack());
  EXPECT_EQ(stack->GetServByName("8021"), 8021);
  EXPECT_EQ(stack->GetServByName(" 0x15"), 21);
  try {
    stack->GetServByName("no-such-service");
    FAIL() << "no exception";
  } catch (const EIdInvalidServiceName& e) {
    EXPECT_STREQ(e.what(), "no-such-service ist kein gültiger Service.");
  }
  EXPECT_EQ(stack->GetServByPort(64999)->Count(), 0);
  if (stack->GetServByPort(21)->Count() == 0) GTEST_SKIP() << "no services database here";
  EXPECT_EQ(stack->GetServByName("ftp"), 21);
  EXPECT_EQ(stack->GetServByPort(21)->Strings(0), "ftp");
}

TEST(StackFactory, RegisteredClassMakesTheStack) {
  static int made = 0;
  SetStackClass([]() -> TIdStack* {
    ++made;
    return new RecordingStack();
  });
  std::unique_ptr<TIdStack> stack(CreateStack());
  SetStackClass(nullptr);
  EXPECT_EQ(made, 1);
  EXPECT_NE(dynamic_cast<RecordingStack*>(stack.get()), nullptr);
  std::unique_ptr<TIdStack> standard(CreateStack());
  EXPECT_NE(dynamic_cast<TIdStackWindows*>(standard.get()), nullptr);
  EXPECT_EQ(dynamic_cast<RecordingStack*>(standard.get()), nullptr);
}

}  // namespace
}  // namespace tavo::net::test
