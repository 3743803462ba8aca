// The command and reply exchange over a real loopback connection to a scripted peer: what the
// client writes, byte for byte, and how it reads single- and multi-line replies.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/stack/exceptions.h"
#include "net/tcp/connection.h"
#include "tests/net/tcp/tcp_test_util.h"
#include "tests/support/expect_throw.h"
#include "tests/support/scripted_peer.h"
#include "tests/support/thread_state.h"

namespace tavo::net {
namespace {

using testsupport::ScriptedPeer;
using Codes = std::vector<int16_t>;

class ReplyExchange : public ::testing::Test {
 protected:
  void Open() {
    peer.Start();
    tcptest::AimAt(client, peer);
    client.SetReadTimeout(10000);
    client.Connect();
  }
  void Finish() {
    client.Disconnect();
    EXPECT_TRUE(peer.WaitScriptDone(10000));
    EXPECT_EQ(peer.Failures(), std::vector<std::string>{});
  }
  std::vector<std::string> Lines() const { return client.LastReply().Text().Items(); }

  ScriptedPeer peer;
  TIdTCPClient client;
};

TEST_F(ReplyExchange, SingleAndMultiLineRepliesInOddChunks) {
  peer.SetReaderThread(testsupport::ThisThreadId());  // each odd chunk a receive of its own
  peer.Send("230 Login ok.\r\n")
      .SendChunks("220-first\r\n220-second\r\n220 last\r\n", {3, 1, 7, 2})
      .Send("211-a\r\n211\r\n")
      .ReadUntilClose();
  Open();
  EXPECT_EQ(client.GetResponse(Codes{}), 230);
  EXPECT_EQ(client.LastReply().NumericCode(), 230);
  EXPECT_EQ(client.LastReply().TextCode(), "230");
  EXPECT_EQ(Lines(), (std::vector<std::string>{"Login ok."}));

  EXPECT_EQ(client.GetResponse(Codes{220}), 220);
  EXPECT_EQ(Lines(), (std::vector<std::string>{"first", "second", "last"}));

  // A final line that is only the code ends the reply and gives an empty text line.
  EXPECT_EQ(client.GetResponse(Codes{211}), 211);
  EXPECT_EQ(Lines(), (std::vector<std::string>{"a", ""}));
  Finish();
}

TEST_F(ReplyExchange, ContinuationLinesAndTheEndOfAMultiLineReply) {
  peer.Send("220-Hello\r\nWelcome aboard\r\n220 end\r\n")
      .Send("250-start\r\nok\r\n250 next\r\n")
      .Send("abc-x\r\nABC y\r\n")
      .Send("xyz hello\r\n")
      .ReadUntilClose();
  Open();
  // A plain-text continuation line loses its first four characters like any other.
  EXPECT_EQ(client.GetResponse(Codes{220}), 220);
  EXPECT_EQ(Lines(), (std::vector<std::string>{"Hello", "ome aboard", "end"}));

  // A continuation line shorter than four characters ends the reply; the rest is the next one.
  EXPECT_EQ(client.GetResponse(Codes{250}), 250);
  EXPECT_EQ(Lines(), (std::vector<std::string>{"start", ""}));
  EXPECT_EQ(client.GetResponse(Codes{250}), 250);
  EXPECT_EQ(Lines(), (std::vector<std::string>{"next"}));

  // The end marker is compared without regard to letter case; the code is not checked for
  // digits, it just parses to 0.
  EXPECT_EQ(client.GetResponse(Codes{}), 0);
  EXPECT_EQ(client.LastReply().TextCode(), "abc");
  EXPECT_EQ(Lines(), (std::vector<std::string>{"x", "y"}));

  testsupport::ExpectThrowWith<EIdProtocolReplyError>(
      [&] { client.GetResponse(Codes{200}); },
      [](const auto& e) {
        EXPECT_EQ(e.ReplyCode(), 0);
        EXPECT_STREQ(e.what(), "hello\r\n");
      });
  Finish();
}

TEST_F(ReplyExchange, BlankLinesBeforeAndInsideARepliesAreSkipped) {
  peer.Send("\r\n   \r\n\t \r\n\n230 ok\r\n").Send("220-a\r\n\r\n  \r\n220 b\r\n").ReadUntilClose();
  Open();
  EXPECT_EQ(client.GetResponse(Codes{230}), 230);
  EXPECT_EQ(Lines(), (std::vector<std::string>{"ok"}));
  EXPECT_EQ(client.GetResponse(Codes{220}), 220);
  EXPECT_EQ(Lines(), (std::vector<std::string>{"a", "b"}));
  Finish();
}

TEST_F(ReplyExchange, SendCmdWritesOneLineAndChecksTheCode) {
  peer.ExpectLine("NOOP")
      .Send("502 not implemented\r\n")
      .ExpectLine("HELP")
      .Send("502 not implemented\r\n")
      .ExpectLine("STAT")
      .Send("211 fine\r\n")
      .ExpectLine("")
      .Send("500 empty\r\n")
      .ExpectLine("FEAT")
      .Send("502 no\r\n")
      .ReadUntilClose();
  Open();
  EXPECT_EQ(client.SendCmd("NOOP", int16_t{-1}), 502) << "-1 accepts every code";
  testsupport::ExpectThrowWith<EIdProtocolReplyError>(
      [&] { client.SendCmd("HELP", int16_t{200}); },
      [](const auto& e) {
        EXPECT_EQ(e.ReplyCode(), 502);
        EXPECT_STREQ(e.what(), "not implemented\r\n");
      });
  EXPECT_EQ(client.LastReply().NumericCode(), 502) << "a refused reply stays readable";
  EXPECT_TRUE(client.Connected()) << "a refused reply leaves the connection open";
  EXPECT_EQ(client.SendCmd("STAT", {200, 211}), 211);
  EXPECT_EQ(client.SendCmd("", {}), 500) << "an empty braced list accepts every code";
  EXPECT_EQ(client.SendCmd("FEAT", Codes{}), 502);
  Finish();
  EXPECT_EQ(peer.Received(), "NOOP\r\nHELP\r\nSTAT\r\n\r\nFEAT\r\n");
}

TEST_F(ReplyExchange, RefusedTwoLineReplyCarriesBothLinesInItsMessage) {
  peer.ExpectLine("CWD nowhere").Send("550-No such\r\n550 directory.\r\n").ReadUntilClose();
  Open();
  testsupport::ExpectThrowWith<EIdProtocolReplyError>(
      [&] { client.SendCmd("CWD nowhere", Codes{200, 250}); },
      [](const auto& e) {
        EXPECT_EQ(e.ReplyCode(), 550);
        EXPECT_STREQ(e.what(), "No such\r\ndirectory.\r\n");
      });
  // The other form raises the caller's own class with the same message.
  struct ECustom : EIdException {
    using EIdException::EIdException;
  };
  EXPECT_EQ(testsupport::ThrownMessage<ECustom>(
                [&] { client.RaiseReplyError([](const std::string& m) { throw ECustom(m); }); }),
            "No such\r\ndirectory.\r\n");
  // A function that does not throw still leaves the refused reply unreturned.
  EXPECT_EQ(testsupport::ThrownMessage<EIdException>(
                [&] { client.RaiseReplyError([](const std::string&) {}); }),
            "No such\r\ndirectory.\r\n");
  Finish();
}

TEST_F(ReplyExchange, CommandLineWithALineBreakIsRefusedAndNothingIsSent) {
  peer.ExpectLine("CWD ok").Send("250 fine\r\n").ReadUntilClose();
  Open();
  for (const char* bad : {"CWD a\r\nDELE b", "CWD a\nDELE b", "CWD a\rDELE b", "\r\n"}) {
    EXPECT_THROW(client.SendCmd(bad, Codes{250}), EIdCommandLineBreak) << bad;
  }
  EXPECT_EQ(client.SendCmd("CWD ok", Codes{250}), 250) << "the session goes on";
  Finish();
  EXPECT_EQ(peer.Received(), "CWD ok\r\n");
}

TEST_F(ReplyExchange, AReplyCutShortLeavesThePreviousReplyInPlace) {
  peer.Send("200 previous\r\n").Send("220-partial\r\n220-more\r\n").Close();
  Open();
  EXPECT_EQ(client.GetResponse(Codes{200}), 200);
  EXPECT_THROW(client.GetResponse(Codes{220}), EIdConnClosedGracefully);
  EXPECT_EQ(client.LastReply().NumericCode(), 200);
  EXPECT_EQ(Lines(), (std::vector<std::string>{"previous"}));
  Finish();
}

// A reply may take MaxReplyLength bytes, blank lines before it included: a server that keeps
// sending lines, each in good time, must not keep the reader for ever.
TEST_F(ReplyExchange, RepliesLongerThanTheReplyLimitAreRefused) {
  std::string endless = "220-start\r\n";
  for (int i = 0; i < 20; ++i) endless += "220-more\r\n";
  peer.Send("220-a\r\n220 b\r\n")  // 16 bytes as the reader counts them
      .Send(std::string(40, '\n'))     // blank lines alone, 40 bytes
      .Send("230 ok\r\n")
      .Send(endless)
      .ReadUntilClose();
  Open();
  client.SetMaxReplyLength(16);
  EXPECT_EQ(client.MaxReplyLength(), 16);
  EXPECT_EQ(client.GetResponse(Codes{220}), 220) << "exactly at the limit";
  EXPECT_EQ(testsupport::ThrownMessage<EIdReplyTooLong>([&] { client.GetResponse(Codes{}); }),
            "Die Antwort des Servers ist länger als 16 Bytes und wird nicht weiter gelesen.");
  EXPECT_EQ(client.LastReply().Text().Text(), "a\r\nb\r\n") << "the last whole reply stays";
  client.SetMaxReplyLength(0);  // no limit: the rest of the blank lines and the next reply
  EXPECT_EQ(client.GetResponse(Codes{}), 230);
  client.SetMaxReplyLength(100);
  EXPECT_THROW(client.GetResponse(Codes{}), EIdReplyTooLong);
  EXPECT_TRUE(client.Connected()) << "the caller decides what to close";
  Finish();
}

TEST(ReplyLimit, DefaultIsOneMebibyte) {
  TIdTCPConnection conn;
  EXPECT_EQ(conn.MaxReplyLength(), 1048576);
}

TEST_F(ReplyExchange, ReplyLinesUpToTheLineLimitAreReadLongerOnesRefused) {
  // With CR LF the CR counts toward the 16384-byte limit of the bytes before LF.
  const std::string fits = "220 " + std::string(16379, 'x');  // 16383 bytes + CR
  const std::string over = "220 " + std::string(16381, 'y');  // 16385 bytes
  peer.Send(fits + "\r\n").Send(over + "\r\n").ReadUntilClose();
  Open();
  EXPECT_EQ(client.GetResponse(Codes{220}), 220);
  EXPECT_EQ(client.LastReply().Text()[0], std::string(16379, 'x'));
  EXPECT_THROW(client.GetResponse(Codes{220}), EIdReadLnMaxLineLengthExceeded);
  EXPECT_EQ(client.LastReply().Text()[0], std::string(16379, 'x'));
  Finish();
}

}  // namespace
}  // namespace tavo::net
