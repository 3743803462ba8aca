// Retrieval against a scripted peer: the commands of a transfer byte for byte, the destination
// rules of Get, passive and active data connections, and what every failure leaves behind.

#include <gtest/gtest.h>

#include <filesystem>

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/socket.h>
#endif

#include "net/ftp/ftp.h"
#include "net/ftp/simple_server.h"
#include "net/tcp/socks_info.h"
#include "net/stack/exceptions.h"
#include "net/stack/socket_handle.h"
#include "net/tcp/iohandler.h"
#include "rtl/exception.h"
#include "rtl/streams.h"
#include "tests/net/ftp/ftp_test_util.h"
#include "tests/support/expect_throw.h"
#include "tests/support/scratch.h"
#include "tests/support/scripted_peer.h"
#include "tests/support/thread_state.h"

namespace tavo::net {
namespace {

using ftptest::kLoginBytes;
using ftptest::ScriptLogin;
using ftptest::ScriptPassiveTransfer;
using testsupport::ScriptedPeer;

class Retrieval : public ::testing::Test {
 protected:
  void SetUp() override {
    ftptest::SetLogin(ftp);
    ftp.SetPassive(true);
    ftp.SetOnStatus(status.Handler());
    ScriptLogin(peer);
  }
  void ConnectToPeer() {
    peer.Start();
    ftptest::AimAt(ftp, peer);
    ftp.Connect();
    status.items.clear();
    components_before = LiveComponentCount();
  }
  void Finish() {
    ftp.Disconnect();
    EXPECT_TRUE(peer.WaitScriptDone(10000));
    EXPECT_EQ(peer.Failures(), std::vector<std::string>{});
  }
  // What the client sent on the control connection after the login.
  std::string Commands() const { return peer.Received(0).substr(sizeof kLoginBytes - 1); }
  // Every transfer frees its data connection, also after a failure.
  void ExpectDataConnectionGone() const {
    EXPECT_EQ(ftp.DataConnection(), nullptr);
    EXPECT_EQ(LiveComponentCount(), components_before);
  }

  ScriptedPeer peer;
  TIdFTP ftp;
  ftptest::StatusLog status;
  test::ScratchDir dir;
  int32_t components_before = 0;
};

const std::vector<std::string> kTransferStatuses = {"FTP-Transfer wird gestartet",
                                                    "Transfer abgeschlossen"};

TEST_F(Retrieval, PassiveGetIntoAFileReportsTheTransferAndItsSize) {
  const std::string program("MZ\x90\x00payload", 11);  // binary, a NUL included
  ScriptPassiveTransfer(peer, "RETR updater.exe", program, 1,
                        "150 Opening BINARY mode data connection for updater.exe (11 bytes).\r\n");
  ConnectToPeer();
  std::vector<std::string> work;
  ftp.SetOnWorkBegin([&](rtl::TComponent* s, TWorkMode m, int32_t max) {
    work.push_back("begin " + std::to_string(m) + " " + std::to_string(max) +
                   (s == ftp.DataConnection() ? " by data" : " by other"));
  });
  ftp.SetOnWorkEnd([&](rtl::TComponent*, TWorkMode m) { work.push_back("end " + std::to_string(m)); });
  rtl::TStream* after_get = nullptr;
  ftp.SetOnAfterGet([&](rtl::TComponent*, rtl::TStream*& s) { after_get = s; });

  ftp.Get("updater.exe", dir / "updater.exe", true, false);
  EXPECT_EQ(test::ReadFile(dir / "updater.exe"), program);
  EXPECT_EQ(Commands(), "PASV\r\nRETR updater.exe\r\n") << "no REST without resume";
  EXPECT_EQ(status.Texts(), kTransferStatuses) << "the data connection reports nothing";
  EXPECT_EQ(status.items[0].first, ftpTransfer);
  EXPECT_EQ(status.items[1].first, ftpReady);
  EXPECT_EQ(work, (std::vector<std::string>{"begin 0 11 by data", "end 0"}));
  EXPECT_EQ(ftp.TransferSize(), 11);
  EXPECT_NE(after_get, nullptr);
  ExpectDataConnectionGone();
  Finish();
}

// One session, several PASV replies: what each gives, or how it is refused.
TEST_F(Retrieval, PassiveReplyForms) {
  enum Outcome { kTaken, kNotANumber, kOutOfRange };
  struct Row {
    std::string reply;
    Outcome outcome;
    std::string address = {};
    int port = 0;
  };
  const std::vector<Row> rows = {
      {"227 Entering Passive Mode (10,0,0,5,4,1).", kTaken, "10.0.0.5", 1025},
      {"227 Entering Passive Mode 10,0,0,5,4,1", kTaken, "10.0.0.5", 1025},
      {"227 =10,0,0,5,4,1", kNotANumber},  // no blank, no parentheses: the whole text
      {"227 Entering Passive Mode (10,0,0,5,4)", kNotANumber},
      {"227 Entering Passive Mode (10,0,0,x,4,1)", kNotANumber},
      {"227 Entering Passive Mode (10,0,0,256,4,1)", kOutOfRange},
      {"227 Entering Passive Mode (10,0,0,5,0,0)", kOutOfRange},
      {"227 Entering Passive Mode (10,0,0,5,1,300)", kOutOfRange},
  };
  for (const Row& r : rows) peer.ExpectLine("PASV").Send(r.reply + "\r\n");
  peer.ReadUntilClose();
  ConnectToPeer();
  for (const Row& r : rows) {
    SCOPED_TRACE(r.reply);
    std::string address;
    int32_t port = 0;
    switch (r.outcome) {
      case kTaken:
        ftp.RequestPassiveAddress(address, port);
        EXPECT_EQ(address, r.address);
        EXPECT_EQ(port, r.port);
        break;
      case kNotANumber:
        EXPECT_THROW(ftp.RequestPassiveAddress(address, port), rtl::EConvertError);
        break;
      case kOutOfRange:
        EXPECT_THROW(ftp.RequestPassiveAddress(address, port), EIdFTPPasvReplyError);
        break;
    }
  }
  Finish();
}

TEST_F(Retrieval, FiveFieldPasvReplyMakesNoDataConnection) {
  peer.ExpectLine("PASV").Send("227 Entering Passive Mode (127,0,0,1,4)\r\n").ReadUntilClose();
  ConnectToPeer();
  EXPECT_EQ(
      testsupport::ThrownMessage<rtl::EConvertError>([&] { ftp.Get("f", dir / "f", true, false); }),
      "'' is not a valid integer value");
  EXPECT_EQ(status.Texts(), kTransferStatuses);
  EXPECT_EQ(test::ReadFile(dir / "f"), "");
  ExpectDataConnectionGone();
  Finish();
  EXPECT_EQ(peer.Connections(), 1);
}

// The data connection goes to the host the control connection reached; the address in the
// reply counts only when the client is told to trust it.
TEST_F(Retrieval, ForeignPasvAddressIsIgnoredUnlessTrusted) {
  peer.ExpectLine("PASV")
      .Do(ftptest::PasvReply("192,0,2,7"))  // a documentation address nobody answers
      .Accept()
      .Use(0)
      .ExpectLine("RETR f")
      .Send("150 ok\r\n")
      .Use(1)
      .Send("data")
      .Close()
      .Use(0)
      .Send("226 ok\r\n")
      .ExpectLine("PASV")
      .Do(ftptest::PasvReply("127,0,0,2"))  // loopback, but nobody listens there
      .ReadUntilClose();
  ConnectToPeer();
  ftp.Get("f", dir / "f", true, false);
  EXPECT_EQ(test::ReadFile(dir / "f"), "data");

  ftp.SetTrustPasvAddress(true);
  EXPECT_THROW(ftp.Get("f", dir / "g", true, false), EIdSocketError);
  ExpectDataConnectionGone();
  Finish();
  EXPECT_EQ(peer.Connections(), 2) << "no data connection reached the peer the second time";
}

// What the server answers to RETR and at the end, and what the client makes of it.
TEST_F(Retrieval, PreliminaryAndFinalReplies) {
  struct Row {
    std::string preliminary;
    std::string data;
    std::string final_replies;
    int error_code;  // 0: Get returns normally
    std::vector<std::string> statuses;
  };
  const std::vector<std::string> aborted = {"FTP-Transfer wird gestartet",
                                            "Transfer abgeschlossen", "Transfer abgebrochen"};
  const std::vector<Row> rows = {
      {"125 Data connection already open\r\n", "x", "226 done\r\n", 0, kTransferStatuses},
      {"154 accepted like 150\r\n", "xy", "250 done\r\n", 0, kTransferStatuses},
      // An aborted transfer returns normally and says so with ftpAborted; the reply that came
      // along with it is read too, so the next transfer gets its own replies.
      {"150 ok\r\n", "part", "426 aborted\r\n226 closed\r\n", 0, aborted},
      {"150 ok\r\n", "part", "450 aborted\r\n225 idle\r\n", 0, aborted},
      {"150 ok\r\n", "all", "550 surprise\r\n", 550, kTransferStatuses},
      {"150 ok\r\n", "all", "426 aborted\r\n200 what\r\n", 200, kTransferStatuses},
  };
  int index = 1;
  for (const Row& r : rows)
    ScriptPassiveTransfer(peer, "RETR f", r.data, index++, r.preliminary, r.final_replies);
  peer.ReadUntilClose();
  ConnectToPeer();
  for (const Row& r : rows) {
    SCOPED_TRACE(r.preliminary + r.final_replies);
    status.items.clear();
    rtl::TMemoryStream dest;
    try {
      ftp.Get("f", dest);
      EXPECT_EQ(r.error_code, 0);
    } catch (const EIdProtocolReplyError& e) {
      EXPECT_EQ(e.ReplyCode(), r.error_code);
    }
    EXPECT_EQ(dest.DataString(), r.data) << "what arrived is kept";
    EXPECT_EQ(status.Texts(), r.statuses);
    ExpectDataConnectionGone();
  }
  Finish();
}

// A server that reports a broken transfer sends 426 alone: the client waits for a second reply
// only a short grace, and the session stays usable for the next transfer.
TEST_F(Retrieval, LoneAbortReplyEndsTheTransferAfterAShortGraceAndTheNextTransferWorks) {
  ScriptPassiveTransfer(peer, "RETR f", "part", 1, "150 ok\r\n",
                        "426 Connection closed; transfer aborted.\r\n");
  ScriptPassiveTransfer(peer, "RETR g", "whole", 2);
  peer.ReadUntilClose();
  ConnectToPeer();
  const auto start = std::chrono::steady_clock::now();
  ftp.Get("f", dir / "f", true, false);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5))
      << "waited for a reply that never comes (the read time-out is 10 s)";
  EXPECT_EQ(ftp.LastReply().NumericCode(), 426);
  EXPECT_EQ(test::ReadFile(dir / "f"), "part") << "what arrived is kept";
  EXPECT_EQ(status.Texts(), (std::vector<std::string>{"FTP-Transfer wird gestartet",
                                                      "Transfer abgeschlossen",
                                                      "Transfer abgebrochen"}));
  ftp.Get("g", dir / "g", true, false);
  EXPECT_EQ(test::ReadFile(dir / "g"), "whole");
  ExpectDataConnectionGone();
  Finish();
}

// After our ABOR the server answers the transfer (426) and then the ABOR (226); both are read,
// however late the second comes.
TEST_F(Retrieval, AbortDuringTheTransferReadsTheAnswerToAbor) {
  peer.ExpectLine("PASV")
      .Do(ftptest::PasvReply())
      .Accept()
      .Use(0)
      .ExpectLine("RETR f")
      .Send("150 ok\r\n")
      .Use(1)
      .Send("part")
      .Use(0)
      .ExpectLine("ABOR")
      .Send("426 aborted by ABOR\r\n")
      .Pause(300)
      .Send("226 ABOR done\r\n")
      .ExpectLine("PASV")
      .Send("502 no more\r\n")
      .ReadUntilClose();
  ConnectToPeer();
  ftp.SetOnWork([this](rtl::TComponent*, TWorkMode, int32_t) { ftp.Abort(); });
  ftp.Get("f", dir / "f", true, false);
  EXPECT_EQ(status.Texts().back(), "Transfer abgebrochen");
  EXPECT_EQ(ftp.LastReply().NumericCode(), 226) << "the answer to ABOR was read";
  ftp.SetOnWork(nullptr);
  std::string address;
  int32_t port = 0;
  testsupport::ExpectThrowWith<EIdProtocolReplyError>(
      [&] { ftp.RequestPassiveAddress(address, port); },
      [](const auto& e) { EXPECT_EQ(e.ReplyCode(), 502) << "the next command got its own reply"; });
  ExpectDataConnectionGone();
  Finish();
}

// A destination that cannot seek (a device such as /dev/null) always says it is at 0; the bytes
// of the transfer are counted, not read from its position.
TEST_F(Retrieval, AnnouncedSizeIsHeldAgainstTheBytesThatArrivedNotTheDestinationsPosition) {
  struct Sink : rtl::TStream {
    int64_t Read(void*, int64_t) override { return 0; }
    int64_t Write(const void*, int64_t count) override { return count; }
    int64_t Seek(int64_t, rtl::TSeekOrigin) override { return 0; }
    void SetSize(int64_t) override {}
  } sink;
  ScriptPassiveTransfer(peer, "RETR f", "12345", 1, "150 Opening (5 bytes)\r\n");
  peer.ReadUntilClose();
  ConnectToPeer();
  ftp.Get("f", sink);
  EXPECT_EQ(status.Texts(), kTransferStatuses);
  Finish();
}

// A binary transfer that brings less than the preliminary reply announced is incomplete,
// whatever the final reply says; as much or more is fine.
// A binary transfer ends exactly where the server said: at the size its 150 reply announced
// (after a restart marker: the rest, or the whole file), or, for a resume, at the size SIZE
// gave. One session per row: a transfer refused for its length leaves its final reply unread.
TEST(RetrievalSize, BinaryTransfersEndWhereTheServerSaid) {
  enum Ends { kOk, kIncomplete, kTooLong, kLocalLarger, kComplete };
  struct Row {
    const char* name;
    std::string local;      // already in the destination; with resume, continued
    bool resume;
    const char* size;       // reply to SIZE; nullptr: not asked
    std::string announced;  // "(N bytes)" in the 150 reply, or ""
    std::string data;
    Ends ends;
    const char* message = nullptr;
  };
  // clang-format off
  const std::vector<Row> rows = {
    {"fewer than announced",      "",    false, nullptr, "11", "short", kIncomplete, "Übertragung unvollständig: 5 von 11 angekündigten Bytes empfangen."},
    {"as announced",              "",    false, nullptr, "5",  "exact", kOk},
    {"more than announced",       "",    false, nullptr, "2",  "more",  kTooLong, "Übertragung zu lang: mehr als die angekündigten 2 Bytes empfangen."},
    {"resume, rest announced",    "abc", true,  "213 8", "5",  "defgh", kOk},
    {"resume, whole announced",   "abc", true,  "213 8", "8",  "defgh", kOk},
    {"resume, REST ignored",      "abc", true,  "213 8", "8",  "abcdefgh", kTooLong},
    {"resume, short of SIZE",     "abc", true,  "213 8", "5",  "de",    kIncomplete, "Übertragung unvollständig: 2 von 5 angekündigten Bytes empfangen."},
    {"resume, no SIZE, whole",    "abc", true,  "502 no", "8", "defgh", kOk},
    {"resume, local larger",      "abcdefghij", true, "213 8", "", "", kLocalLarger, "Die lokale Datei ist mit 10 Bytes größer als die Datei auf dem Server (8 Bytes) und kann nicht fortgesetzt werden."},
    {"resume, complete already",  "abcdefgh", true, "213 8", "", "", kComplete},
  };
  // clang-format on
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    ScriptedPeer p;
    ScriptLogin(p);
    if (r.resume) p.ExpectLine("REST 1").Send("350 ok\r\n").ExpectLine("REST 0").Send("350 ok\r\n");
    if (r.size != nullptr) p.ExpectLine("SIZE f").Send(std::string(r.size) + "\r\n");
    const bool transfers = r.ends != kLocalLarger && r.ends != kComplete;
    if (transfers) {
      p.ExpectLine("PASV").Do(ftptest::PasvReply()).Accept().Use(0);
      if (r.resume) p.ExpectLine("REST " + std::to_string(r.local.size())).Send("350 there\r\n");
      const std::string announced = r.announced.empty() ? "" : " (" + r.announced + " bytes)";
      p.ExpectLine("RETR f").Send("150 Opening BINARY mode data connection for f" + announced + ".\r\n");
      p.Use(1).Send(r.data).Close().Use(0).Send("226 ok\r\n");
    }
    p.ReadUntilClose();
    TIdFTP client;
    ftptest::ConnectPassive(client, p);
    rtl::TMemoryStream dest;
    dest.WriteBuffer(r.local.data(), static_cast<int64_t>(r.local.size()));
    Ends ended = r.ends == kComplete ? kComplete : kOk;
    std::string message;
    try {
      client.Get("f", dest, r.resume);
    } catch (const EIdException& e) {
      message = e.what();
      ended = dynamic_cast<const EIdFTPTransferIncomplete*>(&e) ? kIncomplete
              : dynamic_cast<const EIdFTPTransferTooLong*>(&e)  ? kTooLong
                                                                 : kLocalLarger;
    }
    client.Disconnect();
    EXPECT_EQ(ended, r.ends) << message;
    EXPECT_EQ(message, r.message != nullptr ? r.message : message);
    // Whole, or never anything of the bytes refused: not longer than the server said.
    const std::string got = dest.DataString();
    const size_t said = r.size != nullptr ? 8 : std::stoul(r.announced);
    EXPECT_TRUE(r.ends == kOk ? got == r.local + r.data : got.size() <= std::max(r.local.size(), said))
        << got;
    EXPECT_TRUE(p.WaitScriptDone(10000));
    EXPECT_EQ(p.Failures(), std::vector<std::string>{});
  }
}

TEST_F(Retrieval, RefusedRetrLeavesAnEmptyFileAndClosesTheDataConnection) {
  peer.ExpectLine("PASV")
      .Do(ftptest::PasvReply())
      .Accept()
      .Use(0)
      .ExpectLine("RETR missing.exe")
      .Send("550 No such file.\r\n")
      .Use(1)
      .ReadUntilClose()  // the client closes its end
      .Use(0)
      .ReadUntilClose();
  ConnectToPeer();
  test::ScratchDir other;
  const std::string dest = other / "missing.exe";
  testsupport::ExpectThrowWith<EIdProtocolReplyError>(
      [&] { ftp.Get("missing.exe", dest, true, false); },
      [](const auto& e) {
        EXPECT_EQ(e.ReplyCode(), 550);
        EXPECT_STREQ(e.what(), "No such file.\r\n");
      });
  EXPECT_TRUE(std::filesystem::is_regular_file(dest));
  EXPECT_EQ(test::ReadFile(dest), "");
  EXPECT_EQ(status.Texts(), kTransferStatuses);
  ExpectDataConnectionGone();
  Finish();
}

// The destination rules: which existing files are replaced, continued or refused, and the
// restart markers each case sends.
TEST_F(Retrieval, DestinationAndResumeRules) {
  struct Row {
    const char* name;
    std::optional<std::string> existing;
    bool can_overwrite;
    bool resume;
    const char* rest_1_reply;  // answer to the resume probe; nullptr: no probe expected
    bool refused;
    std::string commands;  // after the probe
    std::string file;      // afterwards
  };
  const std::string existing(1000, 'o');
  const std::vector<Row> rows = {
      {"missing, resume supported", std::nullopt, false, true, "350 ok", false,
       "SIZE f\r\nPASV\r\nREST 0\r\nRETR f\r\n", "new"},
      {"1000 bytes, continued", existing, false, true, "350 ok", false,
       "SIZE f\r\nPASV\r\nREST 1000\r\nRETR f\r\n", existing + "new"},
      {"replaced", existing, true, false, nullptr, false, "PASV\r\nRETR f\r\n", "new"},
      {"both flags", existing, true, true, "350 ok", true, "", existing},
      {"resume unsupported", existing, false, true, "502 no", true, "", existing},
      {"no flag", existing, false, false, nullptr, true, "", existing},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    ScriptedPeer p;
    ScriptLogin(p);
    if (r.rest_1_reply != nullptr)
      p.ExpectLine("REST 1").Send(std::string(r.rest_1_reply) + "\r\n").ExpectLine("REST 0").Send(
          "350 reset\r\n");
    if (!r.refused) {
      // A resume asks the size first: what is there plus what comes.
      if (r.commands.starts_with("SIZE"))
        p.ExpectLine("SIZE f").Send("213 " + std::to_string(r.file.size()) + "\r\n");
      p.ExpectLine("PASV").Do(ftptest::PasvReply()).Accept().Use(0);
      if (r.commands.find("REST") != std::string::npos) p.ReadLine().Send("350 from there\r\n");
      p.ExpectLine("RETR f").Send("150 ok\r\n").Use(1).Send("new").Close().Use(0).Send("226 ok\r\n");
    }
    p.ReadUntilClose();
    TIdFTP client;
    ftptest::ConnectPassive(client, p);
    test::ScratchDir d;
    const std::string dest = d / "f";
    if (r.existing) d.Write("f", *r.existing, 0644);
    if (r.refused) {
      EXPECT_EQ(testsupport::ThrownMessage<EIdFTPFileAlreadyExists>(
                    [&] { client.Get("f", dest, r.can_overwrite, r.resume); }),
                "Die Zieldatei existiert bereits.");
    } else {
      client.Get("f", dest, r.can_overwrite, r.resume);
    }
    client.Disconnect();
    EXPECT_TRUE(p.WaitScriptDone(10000));
    EXPECT_EQ(p.Failures(), std::vector<std::string>{});
    std::string sent = p.Received(0).substr(sizeof kLoginBytes - 1);
    if (r.rest_1_reply != nullptr) sent = sent.substr(std::string("REST 1\r\nREST 0\r\n").size());
    EXPECT_EQ(sent, r.commands);
    EXPECT_EQ(test::ReadFile(dest), r.file);
  }
}

TEST_F(Retrieval, FileThatCannotBeCreatedFailsBeforeAnyCommand) {
  peer.ReadUntilClose();
  ConnectToPeer();
  const std::string dest = dir / "no-folder/f";
  // The full path as the system spells it (on Windows with its drive and backslashes).
  const std::string full = std::filesystem::absolute(dest).make_preferred().string();
  EXPECT_EQ(
      testsupport::ThrownMessage<rtl::EFCreateError>([&] { ftp.Get("f", dest, true, false); }),
      "Datei \"" + full + "\" kann nicht erstellt werden. No such file or directory");
  EXPECT_EQ(status.Texts(), std::vector<std::string>{});
  Finish();
  EXPECT_EQ(Commands(), "");
}

TEST_F(Retrieval, LineBreakInAFileNameIsRefusedBeforeAnythingIsSent) {
  peer.ReadUntilClose();
  ConnectToPeer();
  rtl::TMemoryStream dest;
  EXPECT_THROW(ftp.Get("f\r\nDELE important", dest), EIdCommandLineBreak);
  ftp.SetPassive(false);
  EXPECT_THROW(ftp.Get("f\nDELE important", dest), EIdCommandLineBreak);
  Finish();
  EXPECT_EQ(Commands(), "");
}

// Peer step: reads the PORT line, which must announce 127.0.0.1, and keeps its port.
ScriptedPeer::Step ReadPortCommand(std::atomic<int>& announced) {
  return [&announced](ScriptedPeer& p, ScriptedPeer::Connection& c) {
    std::string line;
    if (!p.ReadLineFrom(c, line)) return false;
    int h1, h2, h3, h4, hi, lo;
    if (std::sscanf(line.c_str(), "PORT %d,%d,%d,%d,%d,%d", &h1, &h2, &h3, &h4, &hi, &lo) != 6 ||
        h1 != 127 || h2 != 0 || h3 != 0 || h4 != 1) {
      p.AddFailure("not a PORT for 127.0.0.1: " + line);
      return false;
    }
    announced = hi * 256 + lo;
    return true;
  };
}

// Active mode: the client listens where the server already reaches it and the server connects.
TEST_F(Retrieval, ActiveGetAnnouncesTheListenerAndReadsTheServersConnection) {
  std::atomic<int> announced{0};
  peer.Do(ReadPortCommand(announced))
      .Send("200 PORT ok\r\n")
      .ExpectLine("RETR f")
      .Send("150 Opening data connection (5 bytes)\r\n")
      .Dial([&] { return announced.load(); })
      .Send("hello")
      .Close()
      .Use(0)
      .Send("226 done\r\n")
      .ReadUntilClose();
  ConnectToPeer();
  ftp.SetPassive(false);
  ftp.Get("f", dir / "f", true, false);
  EXPECT_EQ(test::ReadFile(dir / "f"), "hello");
  EXPECT_EQ(status.Texts(), kTransferStatuses);
  ExpectDataConnectionGone();
  Finish();
}

// A stranger (127.0.0.2) who connects to the listener first is closed unread; the server's own
// connection brings the data.
TEST(ActiveRetrieval, OnlyTheServerMaySupplyTheData) {
  std::atomic<int> announced{0};
  const auto port = [&] { return announced.load(); };
  ScriptedPeer peer;
  ScriptLogin(peer).Do(ReadPortCommand(announced)).Send("200 PORT ok\r\n").ExpectLine("RETR f");
  peer.Send("150 Opening data connection\r\n").Dial(port, "127.0.0.2").Send("EVIL!").ReadUntilClose();
  peer.Dial(port).Send("hello").Close().Use(0).Send("226 done\r\n").ReadUntilClose();
  TIdFTP ftp;
  ftptest::ConnectPassive(ftp, peer);
  ftp.SetPassive(false);
  rtl::TMemoryStream dest;
  ftp.Get("f", dest);
  EXPECT_EQ(dest.DataString(), "hello");
  ftp.Disconnect();
  EXPECT_TRUE(peer.WaitScriptDone(10000));
  EXPECT_EQ(peer.Failures(), std::vector<std::string>{});
}

#ifndef _WIN32
// The listener's socket is closed however the accept ends: raising (here the socket stopped
// listening under it, which accept reports as an error), or returning False for a listener
// closed under the wait, which names its error rather than a time-out that did not happen.
TEST(ActiveRetrieval, AnAcceptThatFailsClosesTheListenerAndSaysWhy) {
  {
    TIdSimpleServer listener;
    listener.SetBoundIP("127.0.0.1");
    listener.StartListening();
    const int socket = listener.ListenSocket();
    ::shutdown(socket, SHUT_RD);
    EXPECT_THROW(listener.AcceptConnection(), EIdSocketError);
    EXPECT_EQ(::fcntl(socket, F_GETFD), -1) << "the listening socket is still open";
  }
  TIdSimpleServer listener;
  listener.SetBoundIP("127.0.0.1");
  listener.SetAcceptWaitMs(60000);
  listener.StartListening();
  const pid_t tid = testsupport::ThisThreadId();
  std::thread closer([&] {
    if (testsupport::WaitUntilBlockedIn(tid, testsupport::WaitCalls(), 10000)) listener.CloseTransport();
  });
  EXPECT_FALSE(listener.AcceptConnection());
  closer.join();
  EXPECT_FALSE(listener.AcceptTimedOut());
  EXPECT_EQ(listener.AcceptError(), 10038);
}
#endif

// The passive data connection is bound by the connect time-out the session was connected
// with: a data port that never completes the handshake ends the transfer then, not after the
// system's own time-out of minutes.
TEST(PassiveRetrieval, TheDataConnectTakesTheSessionsConnectTimeout) {
  testsupport::StalledListener stalled;
  const int port = stalled.Port();
  ScriptedPeer peer;
  ScriptLogin(peer)
      .ExpectLine("PASV")
      .Send("227 Entering Passive Mode (127,0,0,1," + std::to_string(port / 256) + "," +
            std::to_string(port % 256) + ").\r\n")
      .ReadUntilClose();
  TIdFTP ftp;
  ftptest::ConnectPassive(ftp, peer, 1000);
  rtl::TMemoryStream dest;
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_THROW(ftp.Get("f", dest), EIdConnectTimeout);
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(8));
  ftp.Disconnect();
  EXPECT_TRUE(peer.WaitScriptDone(10000));
  EXPECT_EQ(peer.Failures(), std::vector<std::string>{});
}

TEST_F(Retrieval, PortLineSplitsThePortIntoHighAndLowByte) {
  peer.ExpectLine("PORT 127,0,0,1,19,137").Send("200 ok\r\n").ReadUntilClose();
  ConnectToPeer();
  TIdSocketHandle handle;
  handle.SetIP("127.0.0.1");
  handle.SetPort(5001);
  ftp.SendPortCommand(handle);
  Finish();
}

TEST_F(Retrieval, ServerThatNeverConnectsBackEndsWithinTheReadTimeout) {
  peer.ReadLine().Send("200 ok\r\n").ExpectLine("RETR f").Send("150 ok\r\n").ReadUntilClose();
  ConnectToPeer();
  ftp.SetPassive(false);
  ftp.SetReadTimeout(700);
  rtl::TMemoryStream dest;
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(testsupport::ThrownMessage<EIdFTPDataConnectionError>([&] { ftp.Get("f", dest); }),
            "Der Server hat innerhalb von 700 ms keine Datenverbindung geöffnet.");
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(8));
  EXPECT_EQ(status.Texts(), kTransferStatuses);
  ExpectDataConnectionGone();
  Finish();
}

TEST_F(Retrieval, ActiveModeThroughASocksProxyIsRefusedBeforeAnythingIsSent) {
  peer.ReadUntilClose();
  ConnectToPeer();
  ftp.SetPassive(false);
  ftp.SocketIOHandler()->SocksInfo()->SetVersion(svSocks5);
  rtl::TMemoryStream dest;
  EXPECT_THROW(ftp.Get("f", dest), EIdFTPDataConnectionError);
  EXPECT_EQ(status.Texts(), std::vector<std::string>{});
  ftp.SocketIOHandler()->SocksInfo()->SetVersion(svNoSocks);
  Finish();
  EXPECT_EQ(Commands(), "");
}

// A listing keeps at most kMaxListingLines lines: one more is refused as it arrives (the last
// line here, so the server has sent everything) and the previous listing stays.
TEST_F(Retrieval, AListingBeyondTheLineCapIsRefused) {
  std::string at_cap;
  for (int i = 0; i < TIdFTP::kMaxListingLines; ++i) at_cap += "x\n";
  ScriptPassiveTransfer(peer, "LIST", at_cap, 1);
  ScriptPassiveTransfer(peer, "LIST", at_cap + "y\n", 2).ReadUntilClose();
  ConnectToPeer();
  ftp.List();
  std::string refused;
  try {
    ftp.List();
  } catch (const EIdFTPListingTooLarge& e) {
    refused = e.what();
  }
  EXPECT_EQ(refused, "Die Verzeichnisliste hat mehr als 1000000 Zeilen und wird nicht gelesen.");
  EXPECT_EQ(ftp.ListLines().Count(), TIdFTP::kMaxListingLines);
  Finish();
}

// LIST fills the raw lines; the listing is built from them once, with the detected format as
// the owner corrects it, and built anew by the next LIST.
TEST_F(Retrieval, ListFillsTheLinesAndTheListingIsBuiltFromThem) {
  ScriptPassiveTransfer(peer, "LIST", "-rw-r--r-- 1 u g 5 Jan 02 2020 a  b.txt\r\nbad line\n", 1);
  ScriptPassiveTransfer(peer, "LIST -la sub", "01-31-05  10:24AM       123 dos.txt\r\n", 2);
  peer.ReadUntilClose();
  ConnectToPeer();
  int created = 0;
  ftp.SetOnCreateFTPList([&](rtl::TComponent* s, TIdFTPListItems*& list) {
    EXPECT_EQ(s, &ftp);
    ++created;
    list = new TIdFTPListItems();
  });
  std::vector<std::string> checked;
  ftp.SetOnCheckListFormat([&](rtl::TComponent*, const std::string& line, TIdFTPListFormat& f) {
    checked.push_back(line + " " + std::to_string(f));
  });
  rtl::TMemoryStream unused;
  EXPECT_THROW(ftp.List("sub\r\nDELE x"), EIdCommandLineBreak);

  ftp.List();
  EXPECT_EQ(ftp.ListLines().Text(), "-rw-r--r-- 1 u g 5 Jan 02 2020 a  b.txt\r\nbad line\r\n");
  TIdFTPListItems* items = ftp.ListingItems();
  EXPECT_EQ(ftp.ListingItems(), items) << "built once";
  EXPECT_EQ(created, 1);
  ASSERT_EQ(items->Count(), 1) << "the line that does not parse drops only its own entry";
  EXPECT_EQ(items->Items(0).Name(), "a  b.txt");
  EXPECT_EQ(items->ListFormat(), flfUnix);

  int custom = 0;
  ftp.SetOnParseCustomListFormat([&](TIdFTPListItem*) { ++custom; });
  EXPECT_TRUE(static_cast<bool>(items->OnParseCustomListFormat())) << "kept by the listing";
  ftp.SetOnCheckListFormat([](rtl::TComponent*, const std::string&, TIdFTPListFormat& f) {
    f = flfCustom;  // the owner knows better
  });
  ftp.List("-la sub");
  EXPECT_EQ(ftp.ListingItems(), items) << "the same object, built anew";
  EXPECT_EQ(items->ListFormat(), flfCustom);
  EXPECT_EQ(custom, 1);
  EXPECT_EQ(checked, std::vector<std::string>{"-rw-r--r-- 1 u g 5 Jan 02 2020 a  b.txt 2"});
  EXPECT_EQ(status.Texts().size(), 4u);
  Finish();
  EXPECT_EQ(Commands(), "PASV\r\nLIST\r\nPASV\r\nLIST -la sub\r\n");
}

}  // namespace
}  // namespace tavo::net
