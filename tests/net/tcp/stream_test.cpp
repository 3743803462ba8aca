// Block and stream transfers, work events and the randomized chunking test.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "net/stack/exceptions.h"
#include "net/tcp/connection.h"
#include "rtl/streams.h"
#include "tests/net/tcp/tcp_test_util.h"
#include "tests/support/scripted_peer.h"
#include "tests/support/thread_state.h"

namespace tavo::net {
namespace {

using testsupport::ScriptedPeer;
using tcptest::AimAt;
using tcptest::EventLog;

std::string Pattern(size_t n, int seed = 0) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 7 + static_cast<size_t>(seed)) % 251);
  return s;
}

struct WorkLog {
  std::vector<std::string> items;
  int64_t read_total = 0;
  void Attach(TIdTCPConnection& c) {
    c.SetOnWorkBegin([this](rtl::TComponent*, TWorkMode m, int32_t max) {
      items.push_back("begin " + std::to_string(m) + " " + std::to_string(max));
    });
    c.SetOnWork([this](rtl::TComponent*, TWorkMode m, int32_t n) {
      if (m == wmRead) read_total = n;
    });
    c.SetOnWorkEnd([this](rtl::TComponent*, TWorkMode m) { items.push_back("end " + std::to_string(m)); });
  }
};

TEST(TcpReadToStream, UntilCloseTakesEveryByteAndEndsWithoutError) {
  const std::string data = Pattern(3 * 32768 + 100);
  ScriptedPeer peer;
  peer.SetReaderThread(testsupport::ThisThreadId());
  peer.Send(data, 32768).Close();  // three full chunks, 100 more bytes, then the close
  peer.Start();
  TIdTCPClient client;
  AimAt(client, peer);
  client.Connect();
  EventLog events;
  events.Attach(client);
  WorkLog work;
  work.Attach(client);

  rtl::TMemoryStream stream;
  client.ReadToStream(stream, -1, true);
  EXPECT_EQ(stream.Size(), static_cast<int64_t>(data.size()));
  EXPECT_EQ(stream.Position(), stream.Size());
  EXPECT_EQ(stream.DataString(), data);
  EXPECT_EQ(work.items, (std::vector<std::string>{"begin 0 0", "end 0"}));
  // The bytes that came with the close are handed over without a work report.
  EXPECT_LE(work.read_total, static_cast<int64_t>(data.size()));
  EXPECT_EQ(events.items, (std::vector<std::string>{"status 4 Verbindung aufgehoben.", "disconnected"}));
}

TEST(TcpReadToStream, CountedReadCutShortByThePeerKeepsTheStreamClean) {
  ScriptedPeer peer;
  peer.Send("123456").Close();
  peer.Start();
  TIdTCPClient client;
  AimAt(client, peer);
  client.Connect();
  ASSERT_TRUE(peer.WaitScriptDone(5000));

  rtl::TMemoryStream stream;
  stream.WriteBuffer("head", 4);
  EXPECT_THROW(client.ReadToStream(stream, 10, false), EIdConnClosedGracefully);
  // None of the six bytes reached the stream; it is cut back to where it stood.
  EXPECT_EQ(stream.Size(), 4);
  EXPECT_EQ(stream.Position(), 4);
  EXPECT_EQ(client.InboundBuffer().VisibleSize(), 6);
}

TEST(TcpReadToStream, CountedReadAfterTheCloseWasSeenRaisesInsteadOfEndingShort) {
  ScriptedPeer peer;
  peer.Send("123456").Close();
  peer.Start();
  TIdTCPClient client;
  AimAt(client, peer);
  client.Connect();
  ASSERT_TRUE(peer.WaitScriptDone(5000));
  while (client.Connected()) client.FillInputBuffer(false);  // the close is seen first
  ASSERT_EQ(client.InboundBuffer().VisibleSize(), 6);

  // Ten bytes were asked for and only six exist: that is no success.
  rtl::TMemoryStream stream;
  EXPECT_THROW(client.ReadToStream(stream, 10, false), EIdConnClosedGracefully);
  EXPECT_EQ(stream.DataString(), "123456");  // what there was, and the stream cut after it
  EXPECT_EQ(stream.Position(), stream.Size());

  // Nor does a connection that was never opened deliver a counted read.
  TIdTCPClient never;
  rtl::TMemoryStream empty;
  EXPECT_THROW(never.ReadToStream(empty, 10, false), EIdNotConnected);
  EXPECT_EQ(empty.Size(), 0);
}

TEST(TcpReadToStream, LengthPrefixAndExactCount) {
  ScriptedPeer peer;
  peer.Send(std::string("\x00\x00\x00\x05", 4) + "hello" + "world!" +
            std::string("\xFF\xFF\xFF\xFB", 4));
  peer.Start();
  TIdTCPClient client;
  AimAt(client, peer);
  client.Connect();
  WorkLog work;
  work.Attach(client);

  rtl::TMemoryStream a;
  client.ReadToStream(a);  // count from the 4-byte prefix
  EXPECT_EQ(a.DataString(), "hello");
  rtl::TMemoryStream b;
  client.ReadToStream(b, 6, false);
  EXPECT_EQ(b.DataString(), "world!");
  // The prefix is read before the transfer's own accounting begins.
  EXPECT_EQ(work.items, (std::vector<std::string>{"begin 0 5", "end 0", "begin 0 6", "end 0"}));
  // A negative length prefix is refused instead of reading nothing and claiming success.
  rtl::TMemoryStream c;
  EXPECT_THROW(client.ReadToStream(c), EIdException);
  EXPECT_EQ(c.Size(), 0);
}

TEST(TcpReadToStream, ConsumingInPiecesCompactsAndReportsEachPiece) {
  // One large burst, then small reads that never take everything at once.
  const std::string data = Pattern(40000, 3);
  ScriptedPeer peer;
  peer.Send(data);
  peer.Start();
  TIdTCPClient client;
  AimAt(client, peer);
  client.Connect();
  std::vector<int32_t> counts;
  client.SetRecvBufferSize(65536);
  while (client.InboundBuffer().VisibleSize() < 40000) client.FillInputBuffer();
  client.SetOnWork([&](rtl::TComponent*, TWorkMode m, int32_t n) {
    if (m == wmRead) counts.push_back(n);
  });
  client.WorkBegin(wmRead, 0);
  std::string got(40000, '\0');
  bool compacted = false;
  for (size_t off = 0; off < got.size(); off += 1000) {
    client.ReadBytes(got.data() + off, 1000);
    if (client.InboundBuffer().ConsumedCount() == 0 && client.InboundBuffer().VisibleSize() > 0)
      compacted = true;
  }
  client.WorkEnd(wmRead);
  EXPECT_EQ(got, data);
  EXPECT_TRUE(compacted);
  ASSERT_EQ(counts.size(), 40u);
  for (size_t i = 0; i < counts.size(); ++i) EXPECT_EQ(counts[i], static_cast<int32_t>((i + 1) * 1000));
}

TEST(TcpReadAll, ConnectAndReadAllReturnsEverythingAndDisconnects) {
  const std::string data = Pattern(70000, 5);
  ScriptedPeer peer;
  peer.SetReaderThread(testsupport::ThisThreadId());
  peer.Send(data, 9000).Close();
  peer.Start();
  TIdTCPClient client;
  AimAt(client, peer);
  EventLog log;
  log.Attach(client);
  EXPECT_EQ(client.ConnectAndReadAll(), data);
  EXPECT_EQ(client.IOHandler(), nullptr);
  EXPECT_EQ(log.items.back(), "status 4 Verbindung aufgehoben.");
}

TEST(TcpWriteFromStream, SendsTheStreamWithOptionalLengthPrefix) {
  const std::string data = Pattern(100000, 9);
  ScriptedPeer peer;
  peer.ReadBytes(4 + data.size()).ReadBytes(3).ReadUntilClose();
  peer.Start();
  TIdTCPClient client;
  AimAt(client, peer);
  client.Connect();
  WorkLog work;
  work.Attach(client);
  rtl::TMemoryStream stream;
  stream.WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
  client.WriteFromStream(stream, true, true, 0);
  stream.SetPosition(10);
  client.WriteFromStream(stream, false, false, 3);
  client.Disconnect();
  ASSERT_TRUE(peer.WaitScriptDone(5000));
  EXPECT_EQ(peer.Received(), std::string("\x00\x01\x86\xA0", 4) + data + data.substr(10, 3));
  EXPECT_EQ(work.items, (std::vector<std::string>{"begin 1 100000", "end 1", "begin 1 3", "end 1"}));
}

TEST(TcpWriteFromStream, SendFileSendsTheFileOrRefusesAMissingOne) {
  const auto path = std::filesystem::temp_directory_path() /
                    ("tavo_sendfile_" + std::to_string(::getpid()) + ".bin");
  const std::string data = Pattern(50000, 11);
  {
    std::ofstream out(path, std::ios::binary);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
  }
  ScriptedPeer peer;
  peer.ReadBytes(data.size()).ReadUntilClose();
  peer.Start();
  TIdTCPClient client;
  AimAt(client, peer);
  client.Connect();
  try {
    client.SendFile(path.string() + ".missing");
    FAIL() << "no error";
  } catch (const EIdFileNotFound& e) {
    EXPECT_EQ(std::string(e.what()),
              "Datei \"" + path.string() + ".missing\" konnte nicht gefunden werden");
  }
  EXPECT_EQ(client.SendFile(path.string()), 50000);
  client.Disconnect();
  std::filesystem::remove(path);
  ASSERT_TRUE(peer.WaitScriptDone(5000));
  EXPECT_EQ(peer.Received(), data);
}

// The same byte stream, cut into random chunk sizes, must always give the same lines and the
// same trailing bytes.
TEST(TcpRandomized, ChunkingNeverChangesLinesOrBytes) {
  std::string stream;
  std::vector<std::string> lines;
  std::mt19937 gen(12345);
  for (int i = 0; i < 60; ++i) {
    std::string line;
    const int len = static_cast<int>(gen() % 200);
    for (int j = 0; j < len; ++j) line += static_cast<char>('!' + gen() % 90);
    lines.push_back(line);
    stream += line + (i % 3 == 0 ? "\n" : "\r\n");
  }
  const std::string tail = Pattern(5000, 7);
  stream += tail;

  const unsigned seed = std::random_device{}();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 rnd(seed);
  for (int round = 0; round < 4; ++round) {
    std::vector<size_t> sizes;
    for (size_t total = 0; total < stream.size();) {
      const size_t n = 1 + rnd() % (round % 2 == 0 ? 40 : 700);
      sizes.push_back(n);
      total += n;
    }
    ScriptedPeer peer;
    peer.SendChunks(stream, sizes, round == 0 ? 1 : 0).Close();
    peer.Start();
    TIdTCPClient client;
    AimAt(client, peer);
    client.SetReadTimeout(10000);
    client.Connect();
    for (size_t i = 0; i < lines.size(); ++i) ASSERT_EQ(client.ReadLn(), lines[i]) << "round " << round << " line " << i;
    rtl::TMemoryStream rest;
    client.ReadToStream(rest, -1, true);
    ASSERT_EQ(rest.DataString(), tail) << "round " << round;
  }
}

}  // namespace
}  // namespace tavo::net
