// The TLS handler under a TCP client, against a scripted loopback peer that speaks TLS as a
// server (OpenSSL on the peer's thread) or misbehaves below TLS: buffered reads across records,
// decrypted bytes that wait, the peer's closing message, a close without it, and peers that
// stall half-way through a record or the handshake.

#include <gtest/gtest.h>
#include <openssl/ssl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <exception>
#include <memory>
#include <string>
#include <thread>

#include "net/stack/exceptions.h"
#include "net/tcp/connection.h"
#include "net/tls/tls.h"
#include "rtl/streams.h"
#include "tests/support/expect_throw.h"
#include "tests/support/scratch.h"
#include "tests/support/scripted_peer.h"
#include "tests/support/thread_state.h"
#include "tests/support/tls_pki.h"

namespace tavo::net {
namespace {

using testsupport::ScriptedPeer;
using Clock = std::chrono::steady_clock;

// Literal copies of the texts in resources/tls_texts.h and resources/tcp_texts.h.
constexpr const char kTruncated[] =
    "Die TLS-Verbindung wurde ohne Abschlussmeldung beendet; die Daten können unvollständig sein.";
constexpr const char kHandshakeTimeout[] = "Zeitüberschreitung beim TLS-Handshake.";
constexpr const char kReadTimeout[] = "Zeitüberschreitung beim Lesen";

int64_t MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// The server side of TLS on the peer's thread, one session per peer connection.
class TlsServer {
 public:
  explicit TlsServer(const testsupport::TestPki& pki)
      : ctx_(SSL_CTX_new(TLS_server_method()), SSL_CTX_free) {
    SSL_CTX_use_certificate_file(ctx_.get(), pki.Server().cert.c_str(), SSL_FILETYPE_PEM);
    SSL_CTX_use_PrivateKey_file(ctx_.get(), pki.Server().key.c_str(), SSL_FILETYPE_PEM);
  }
  ~TlsServer() {
    if (ssl_ != nullptr) SSL_free(ssl_);
  }
  TlsServer(const TlsServer&) = delete;
  TlsServer& operator=(const TlsServer&) = delete;

  ScriptedPeer::Step Accept() {
    return [this](ScriptedPeer& p, ScriptedPeer::Connection& c) {
      // OpenSSL's socket BIO writes without MSG_NOSIGNAL, and TLS 1.3 has this side send its
      // session tickets after the client may already be done with its handshake and have
      // closed: that write must fail with EPIPE, not kill the test program. Only this peer
      // thread blocks SIGPIPE; the library's threads keep the default, so a SIGPIPE of its
      // own would still end the program.
      sigset_t pipe;
      sigemptyset(&pipe);
      sigaddset(&pipe, SIGPIPE);
      pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
      ssl_ = SSL_new(ctx_.get());
      SSL_set_fd(ssl_, c.fd);
      if (SSL_accept(ssl_) == 1) return true;
      p.AddFailure("TLS accept failed");
      return false;
    };
  }
  ScriptedPeer::Step Write(std::string bytes) {
    return [this, bytes](ScriptedPeer& p, ScriptedPeer::Connection&) {
      if (SSL_write(ssl_, bytes.data(), static_cast<int>(bytes.size())) > 0) return true;
      p.AddFailure("TLS write failed");
      return false;
    };
  }
  // TLS's closing message, then the TCP close.
  ScriptedPeer::Step CloseNotify() {
    return [this](ScriptedPeer&, ScriptedPeer::Connection& c) {
      SSL_shutdown(ssl_);
      ::shutdown(c.fd, SHUT_WR);
      return true;
    };
  }

 private:
  std::unique_ptr<SSL_CTX, decltype(&SSL_CTX_free)> ctx_;
  SSL* ssl_ = nullptr;
};

class TlsHandler : public ::testing::Test {
 protected:
  TlsHandler() : pki_(dir_.Path()), server_(pki_) {
    TIdTLSSettings settings;
    settings.SetCAFile(pki_.CaFile());
    context_ = std::make_shared<TIdTLSContext>(settings);
    client_.SetIOHandler(&handler_);
    client_.SetHost("127.0.0.1");
  }
  ~TlsHandler() override { client_.SetIOHandler(nullptr); }

  // Connects to the peer and starts TLS with a bound of ATimeout ms.
  void ConnectTls(ScriptedPeer& peer, int32_t ATimeout = 10000) {
    client_.SetPort(peer.Port());
    client_.SetReadTimeout(ATimeout);
    client_.Connect();
    handler_.StartTLS(context_, "127.0.0.1", nullptr, ATimeout);
  }

  test::ScratchDir dir_;
  testsupport::TestPki pki_;
  TlsServer server_;
  std::shared_ptr<TIdTLSContext> context_;
  TIdIOHandlerTLS handler_;
  TIdTCPClient client_;
};

TEST_F(TlsHandler, LinesAcrossRecordsWaitingBytesAndTheClosingMessage) {
  ScriptedPeer peer;
  peer.Do(server_.Accept())
      .Do(server_.Write("one\r\ntwo\r\nth"))
      .Do(server_.Write("ree\r\nand the rest"))
      .Do(server_.CloseNotify());
  peer.Start();
  ConnectTls(peer);
  EXPECT_TRUE(handler_.TLSActive());
  EXPECT_FALSE(handler_.ProtocolVersion().empty());

  // Small receives leave decrypted bytes inside the TLS layer: they must count as readable
  // without any byte waiting on the socket.
  client_.SetRecvBufferSize(4);
  EXPECT_EQ(client_.ReadLn(), "one");
  EXPECT_TRUE(handler_.WaitReadable(0));
  EXPECT_EQ(client_.ReadLn(), "two");
  EXPECT_EQ(client_.ReadLn(), "three");
  rtl::TMemoryStream rest;
  client_.ReadToStream(rest, -1, true);  // ends at the closing message without an error
  EXPECT_EQ(rest.DataString(), "and the rest");
  EXPECT_FALSE(client_.Connected());
  EXPECT_TRUE(peer.WaitScriptDone(5000));
  EXPECT_EQ(peer.Failures(), std::vector<std::string>{});
}

// Peers that stop or end half-way: each row is what the peer does after the handshake, the
// read the client makes, and the error it must end with (within the read time-out).
TEST_F(TlsHandler, PeersThatStallOrEndHalfWay) {
  struct Row {
    const char* name;
    std::function<void(ScriptedPeer&, TlsServer&, const testsupport::Gate&)> script;
    const char* message;
    std::string received;  // what the client must have read before the error
  };
  // A record header announcing 64 bytes, and only 10 of them.
  const std::string half_record = std::string("\x17\x03\x03\x00\x40", 5) + std::string(10, 'x');
  const std::vector<Row> rows = {
      {"half a record, then silence",
       [&](ScriptedPeer& p, TlsServer& s, const testsupport::Gate& g) {
         p.Do(s.Accept()).Send(half_record).Await(g);
       },
       kReadTimeout, ""},
      {"data, then a close without TLS's closing message",
       [](ScriptedPeer& p, TlsServer& s, const testsupport::Gate&) {
         p.Do(s.Accept()).Do(s.Write("partial data")).Close();
       },
       kTruncated, "partial data"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    testsupport::Gate done;
    TlsServer server(pki_);
    ScriptedPeer peer;
    row.script(peer, server, done);
    peer.Start();
    TIdIOHandlerTLS handler;
    TIdTCPClient client;
    client.SetIOHandler(&handler);
    client.SetHost("127.0.0.1");
    client.SetPort(peer.Port());
    client.SetReadTimeout(300);
    client.Connect();
    handler.StartTLS(context_, "127.0.0.1", nullptr, 300);
    rtl::TMemoryStream got;
    const auto start = Clock::now();
    EXPECT_EQ(testsupport::ThrownMessage<EIdException>([&] { client.ReadToStream(got, -1, true); }),
              row.message);
    EXPECT_LT(MsSince(start), 5000);
    EXPECT_EQ(got.DataString(), row.received);
    done.Open();
    client.SetIOHandler(nullptr);
  }
}

TEST_F(TlsHandler, AHandshakeThePeerNeverAnswersEndsAtTheBound) {
  testsupport::Gate done;
  ScriptedPeer peer;
  peer.Await(done);  // accepts the connection, says nothing
  peer.Start();
  client_.SetPort(peer.Port());
  client_.Connect();
  const auto start = Clock::now();
  EXPECT_EQ(testsupport::ThrownMessage<EIdTLSError>(
                [&] { handler_.StartTLS(context_, "127.0.0.1", nullptr, 300); }),
            kHandshakeTimeout);
  const int64_t took = MsSince(start);
  EXPECT_GE(took, 250);
  EXPECT_LT(took, 5000);
  EXPECT_FALSE(handler_.Connected()) << "a failed handshake leaves no usable socket";
  done.Open();
}

TEST_F(TlsHandler, ACloseFromAnotherThreadEndsABlockedRead) {
  testsupport::Gate done;
  ScriptedPeer peer;
  peer.Do(server_.Accept()).Await(done);
  peer.Start();
  ConnectTls(peer, TimeoutInfinite);
  client_.SetReadTimeout(0);

  std::atomic<pid_t> reader{0};
  std::exception_ptr failure;
  std::thread thread([&] {
    reader = testsupport::ThisThreadId();
    try {
      rtl::TMemoryStream got;
      client_.ReadToStream(got, -1, true);
    } catch (const EIdException&) {
      // Any of the transport's errors is a fine end for an aborted read.
    } catch (...) {
      failure = std::current_exception();
    }
  });
  while (reader.load() == 0) std::this_thread::yield();
  ASSERT_TRUE(testsupport::WaitUntilBlockedIn(reader.load(), testsupport::WaitCalls(), 10000));
  handler_.Close();  // what an abort does to the data connection
  thread.join();
  EXPECT_FALSE(failure);
  EXPECT_FALSE(handler_.Connected());
  done.Open();
}

}  // namespace
}  // namespace tavo::net
