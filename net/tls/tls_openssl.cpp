// The TLS layer over OpenSSL 3. OpenSSL never touches the socket itself: a BIO of our own
// reads and writes through the socket handle (the platform binding), so every wait it makes can
// be bounded by the caller's time-out, and the socket keeps the error numbers of the rest of the
// transport.

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <chrono>
#include <exception>
#include <limits>

#include "net/stack/exceptions.h"
#include "net/stack/socket_handle.h"
#include "net/stack/socket_list.h"
#include "net/stack/stack.h"
#include "net/tls/tls.h"
#include "resources/tcp_texts.h"
#include "resources/tls_texts.h"
#include "rtl/format.h"

namespace tavo::net {

bool TLSAvailable() { return true; }

namespace {

using Clock = std::chrono::steady_clock;

// The reason of the oldest error OpenSSL queued on this thread ("certificate verify failed"),
// or a fallback; the queue is emptied either way, so no stale error is read later.
std::string TakeOpenSSLReason(const char* fallback) {
  const unsigned long first = ERR_get_error();
  ERR_clear_error();
  if (first == 0) return fallback;
  const char* reason = ERR_reason_error_string(first);
  if (reason != nullptr) return reason;
  // No reason text of its own (an error of the system, say): the last field of the full text
  // ("error:80000002:system library::No such file or directory").
  char text[256];
  ERR_error_string_n(first, text, sizeof text);
  const std::string full = text;
  const size_t colon = full.rfind(':');
  return colon == std::string::npos || colon + 1 == full.size() ? full : full.substr(colon + 1);
}

class OpenSSLSession : public TIdTLSSession {
 public:
  explicit OpenSSLSession(SSL_SESSION* ASession) : session_(ASession) {}
  ~OpenSSLSession() override { SSL_SESSION_free(session_); }
  OpenSSLSession(const OpenSSLSession&) = delete;
  OpenSSLSession& operator=(const OpenSSLSession&) = delete;
  SSL_SESSION* Get() const { return session_; }

 private:
  SSL_SESSION* session_;
};

}  // namespace

// What the BIO needs to reach the socket, and what it saw during the last TLS call: OpenSSL
// calls the BIO from C, so nothing may be thrown there; the outcome is kept and turned into the
// transport's errors once the TLS call has returned.
struct TIdIOHandlerTLS::State {
  SSL* ssl = nullptr;
  std::shared_ptr<TIdTLSContext> context;  // keeps the SSL_CTX alive as long as the SSL
  TIdSocketHandle* handle = nullptr;
  bool handshake_done = false;
  bool peer_closed = false;    // the peer's closing message arrived
  std::exception_ptr deferred;  // a failure found by WaitReadable, reported by the next Recv

  // The bound of every wait of the current call, and the time-out it came from (the last
  // one the caller gave, which also bounds a Recv or Send that has to wait for a record).
  int32_t timeout = TimeoutInfinite;
  bool infinite = true;
  Clock::time_point deadline;

  // Outcome of the BIO calls of the current TLS call.
  bool timed_out = false;
  bool eof = false;           // the socket delivered its end
  int32_t socket_error = 0;   // the platform's error number of a failed receive or send
  std::exception_ptr failure;  // raised by the socket layer inside the BIO

  ~State() {
    if (ssl != nullptr) SSL_free(ssl);  // frees the BIO too
  }

  void SetTimeout(int32_t ATimeout) {
    timeout = ATimeout;
    infinite = ATimeout == TimeoutInfinite || ATimeout == TimeoutDefault || ATimeout < 0;
    if (!infinite) deadline = Clock::now() + std::chrono::milliseconds(ATimeout);
  }
  int32_t RemainingMs() const {
    if (infinite) return TimeoutInfinite;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int32_t>(std::clamp<int64_t>(left, 0, std::numeric_limits<int32_t>::max()));
  }
  void ResetOutcome() {
    timed_out = false;
    eof = false;
    socket_error = 0;
    failure = nullptr;
    ERR_clear_error();
  }
};

namespace {

using State = TIdIOHandlerTLS::State;

int BioRead(BIO* ABio, char* ABuffer, int ALength) {
  auto* s = static_cast<State*>(BIO_get_data(ABio));
  BIO_clear_retry_flags(ABio);
  if (ALength <= 0) return 0;
  try {
    if (!s->handle->Allocated()) {
      s->eof = true;
      return 0;
    }
    if (!s->handle->WaitReadable(s->RemainingMs())) {
      // A retry keeps the half-read record in OpenSSL's buffer: the connection stays usable.
      s->timed_out = true;
      BIO_set_retry_read(ABio);
      return -1;
    }
    const int32_t n = s->handle->Recv(ABuffer, ALength, 0);
    if (n == 0) s->eof = true;
    if (n < 0) s->socket_error = GlobalStack->QueryLastError();
    return n;
  } catch (...) {
    s->failure = std::current_exception();
    return -1;
  }
}

int BioWrite(BIO* ABio, const char* ABuffer, int ALength) {
  auto* s = static_cast<State*>(BIO_get_data(ABio));
  BIO_clear_retry_flags(ABio);
  if (ALength <= 0) return 0;
  try {
    if (!s->handle->Allocated()) {
      s->eof = true;
      return -1;
    }
    const int32_t n = s->handle->Send(ABuffer, ALength, 0);
    if (n == 0) s->eof = true;
    if (n < 0) s->socket_error = GlobalStack->QueryLastError();
    return n > 0 ? n : -1;
  } catch (...) {
    s->failure = std::current_exception();
    return -1;
  }
}

long BioCtrl(BIO* ABio, int ACommand, long, void*) {
  switch (ACommand) {
    case BIO_CTRL_FLUSH:
      return 1;  // every write went to the socket already
    case BIO_CTRL_EOF:
      return static_cast<State*>(BIO_get_data(ABio))->eof ? 1 : 0;
    default:
      return 0;
  }
}

BIO_METHOD* SocketHandleBio() {
  static BIO_METHOD* const method = [] {
    BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "socket handle");
    if (m == nullptr) return m;
    BIO_meth_set_read(m, BioRead);
    BIO_meth_set_write(m, BioWrite);
    BIO_meth_set_ctrl(m, BioCtrl);
    BIO_meth_set_create(m, [](BIO* b) {
      BIO_set_init(b, 1);
      return 1;
    });
    return m;
  }();
  return method;
}

// Turns a TLS call that returned ASSLResult <= 0 into the transport's answer: 0 for the peer's
// orderly close, otherwise an exception (ATimedOutIsError false: the caller handles a time-out
// itself and gets -1).
int32_t Outcome(State& s, int ASSLResult, bool ATimedOutIsError) {
  const int error = SSL_get_error(s.ssl, ASSLResult);
  if (error == SSL_ERROR_ZERO_RETURN) {
    s.peer_closed = true;
    ERR_clear_error();
    return 0;
  }
  if (s.failure) std::rethrow_exception(s.failure);
  if ((error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) && s.timed_out) {
    ERR_clear_error();
    if (!ATimedOutIsError) return -1;
    throw EIdReadTimeout(res::kTcpReadTimeout);
  }
  if (s.socket_error != 0) {
    ERR_clear_error();
    GlobalStack->RaiseError(s.socket_error);
  }
  if (s.eof) {
    ERR_clear_error();
    throw EIdTLSError(res::kTlsTruncated);
  }
  throw EIdTLSError(rtl::Format(res::kTlsRecordFailed, {TakeOpenSSLReason("?")}));
}

// Marks a TLS call in progress for the lifetime of the guard.
class InCall {
 public:
  explicit InCall(std::atomic<bool>& AFlag) : flag_(AFlag) { flag_.store(true); }
  ~InCall() { flag_.store(false); }
  InCall(const InCall&) = delete;
  InCall& operator=(const InCall&) = delete;

 private:
  std::atomic<bool>& flag_;
};

}  // namespace

// ---- context --------------------------------------------------------------------------------

TIdTLSContext::TIdTLSContext(const TIdTLSSettings& ASettings)
    : verify_(!ASettings.InsecureSkipCertificateCheck()) {
  SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
  if (ctx == nullptr)
    throw EIdTLSError(rtl::Format(res::kTlsSetupFailed, {TakeOpenSSLReason("SSL_CTX_new")}));
  // Older protocol versions have known weaknesses; every server of today speaks 1.2.
  SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
  if (verify_) {
    SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER, nullptr);
    const std::string& ca = ASettings.CAFile();
    const int loaded = ca.empty() ? SSL_CTX_set_default_verify_paths(ctx)
                                  : SSL_CTX_load_verify_locations(ctx, ca.c_str(), nullptr);
    if (loaded != 1) {
      const std::string reason = TakeOpenSSLReason("?");
      SSL_CTX_free(ctx);
      if (ca.empty()) throw EIdTLSError(rtl::Format(res::kTlsSetupFailed, {reason}));
      throw EIdTLSError(rtl::Format(res::kTlsCaFileFailed, {ca, reason}));
    }
  } else {
    SSL_CTX_set_verify(ctx, SSL_VERIFY_NONE, nullptr);
  }
  native_ = ctx;
}

TIdTLSContext::~TIdTLSContext() { SSL_CTX_free(static_cast<SSL_CTX*>(native_)); }

// ---- handler --------------------------------------------------------------------------------

TIdIOHandlerTLS::TIdIOHandlerTLS(rtl::TComponent* AOwner) : TIdIOHandlerSocket(AOwner) {}

TIdIOHandlerTLS::~TIdIOHandlerTLS() {
  try {
    Close();
  } catch (...) {
  }
  ReleaseTLS();
}

void TIdIOHandlerTLS::ReleaseTLS() {
  std::lock_guard<std::mutex> lock(io_mutex_);
  state_.reset();
}

bool TIdIOHandlerTLS::TLSActive() const { return state_ && state_->handshake_done; }

void TIdIOHandlerTLS::Open() {
  ReleaseTLS();
  TIdIOHandlerSocket::Open();
}

void TIdIOHandlerTLS::Close() {
  // A TLS call is running (on another thread, or further down this one's stack through an
  // idle hook): closing the socket ends it; its state is freed later by its owner.
  if (!in_call_.load()) {
    std::unique_lock<std::mutex> lock(io_mutex_, std::try_to_lock);
    if (lock.owns_lock() && state_) {
      State& s = *state_;
      // The closing message tells the server that nothing was cut off. It is sent only when
      // the socket takes it at once: a close must never wait for a stalled peer.
      TIdSocketHandle* h = SocketHandle();
      if (s.handshake_done && !s.deferred && h != nullptr && h->Allocated()) {
        auto writable = TIdSocketList::CreateSocketList();
        writable->Add(h->Handle());
        if (GlobalStack->Select(nullptr, writable.get(), nullptr, 0) == 1) {
          s.SetTimeout(0);
          s.ResetOutcome();
          SSL_shutdown(s.ssl);
          ERR_clear_error();
        }
      }
      state_.reset();
    }
  }
  TIdIOHandlerSocket::Close();
}

namespace {

// A new connection's TLS state: an SSL of the context, reading and writing through the socket
// handle.
std::unique_ptr<State> NewState(const std::shared_ptr<TIdTLSContext>& AContext,
                                TIdSocketHandle* AHandle) {
  auto s = std::make_unique<State>();
  s->context = AContext;
  s->handle = AHandle;
  ERR_clear_error();
  s->ssl = SSL_new(static_cast<SSL_CTX*>(AContext->Native()));
  BIO* bio = SocketHandleBio() != nullptr ? BIO_new(SocketHandleBio()) : nullptr;
  if (s->ssl == nullptr || bio == nullptr) {
    if (bio != nullptr) BIO_free(bio);
    throw EIdTLSError(rtl::Format(res::kTlsSetupFailed, {TakeOpenSSLReason("SSL_new")}));
  }
  BIO_set_data(bio, s.get());
  SSL_set_bio(s->ssl, bio, bio);
  return s;
}

// The name the certificate must carry, the name the server chooses its certificate by, and the
// session offered for resumption.
void PrepareHandshake(State& s, const TIdTLSContext& AContext, const std::string& AHost,
                      const std::shared_ptr<TIdTLSSession>& AResume) {
  const bool address = GlobalStack->IsDottedAddress(AHost);
  if (AContext.VerifiesCertificate()) {
    // The chain alone proves only that somebody the CA knows answered; the name proves it is
    // the server we meant.
    const int named = address ? X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(s.ssl), AHost.c_str())
                              : SSL_set1_host(s.ssl, AHost.c_str());
    if (named != 1)
      throw EIdTLSError(rtl::Format(res::kTlsSetupFailed, {TakeOpenSSLReason("host name")}));
  }
  // Servers with several names choose their certificate by this; addresses are not sent.
  if (!address && !AHost.empty()) SSL_set_tlsext_host_name(s.ssl, AHost.c_str());
  if (AResume) {
    if (const auto* resume = dynamic_cast<const OpenSSLSession*>(AResume.get()))
      SSL_set_session(s.ssl, resume->Get());
  }
}

// What a failed handshake left to report, taken before its state (and OpenSSL's error queue)
// goes.
struct HandshakeFailure {
  long verified;
  std::exception_ptr failure;
  bool timed_out;
  bool eof;
  int32_t socket_error;
  std::string reason;
};

HandshakeFailure TakeHandshakeFailure(const State& s) {
  return {SSL_get_verify_result(s.ssl), s.failure, s.timed_out, s.eof, s.socket_error,
          TakeOpenSSLReason("?")};
}

// The exception for a failed handshake, the most telling cause first: the socket layer's own
// failure, the rejected certificate, the time-out, the socket error, the peer's close, and
// last OpenSSL's reason.
[[noreturn]] void RaiseHandshakeFailure(const HandshakeFailure& f, bool AVerifies) {
  if (f.failure) std::rethrow_exception(f.failure);
  if (AVerifies && f.verified != X509_V_OK)
    throw EIdTLSCertificateError(
        rtl::Format(res::kTlsCertificateRejected, {X509_verify_cert_error_string(f.verified)}));
  if (f.timed_out) throw EIdTLSError(res::kTlsHandshakeTimeout);
  if (f.socket_error != 0)
    throw EIdTLSError(rtl::Format(res::kTlsHandshakeFailed, {GlobalStack->ErrorText(f.socket_error)}));
  if (f.eof) throw EIdTLSError(res::kTlsHandshakePeerClosed);
  throw EIdTLSError(rtl::Format(res::kTlsHandshakeFailed, {f.reason}));
}

}  // namespace

void TIdIOHandlerTLS::StartTLS(const std::shared_ptr<TIdTLSContext>& AContext,
                               const std::string& AHost,
                               const std::shared_ptr<TIdTLSSession>& AResume, int32_t ATimeout) {
  std::lock_guard<std::mutex> lock(io_mutex_);
  if (!Connected()) throw EIdTLSError(res::kTlsNotConnected);
  if (state_) throw EIdTLSError(res::kTlsAlreadyActive);
  if (!AContext) throw EIdTLSError(rtl::Format(res::kTlsSetupFailed, {"no context"}));

  std::unique_ptr<State> s = NewState(AContext, SocketHandle());
  PrepareHandshake(*s, *AContext, AHost, AResume);
  s->SetTimeout(ATimeout == 0 ? TimeoutInfinite : ATimeout);
  s->ResetOutcome();
  int result;
  {
    InCall in_call(in_call_);
    result = SSL_connect(s->ssl);
  }
  if (result == 1) {
    s->handshake_done = true;
    state_ = std::move(s);
    return;
  }

  // A failed handshake leaves nothing usable on this socket.
  const HandshakeFailure failure = TakeHandshakeFailure(*s);
  s.reset();
  TIdIOHandlerSocket::Close();
  RaiseHandshakeFailure(failure, AContext->VerifiesCertificate());
}

std::shared_ptr<TIdTLSSession> TIdIOHandlerTLS::Session() const {
  if (!state_ || !state_->handshake_done) return nullptr;
  SSL_SESSION* session = SSL_get1_session(state_->ssl);
  if (session == nullptr) return nullptr;
  return std::make_shared<OpenSSLSession>(session);
}

bool TIdIOHandlerTLS::SessionReused() const {
  return state_ && state_->handshake_done && SSL_session_reused(state_->ssl) == 1;
}

std::string TIdIOHandlerTLS::ProtocolVersion() const {
  if (!state_ || !state_->handshake_done) return std::string();
  return SSL_get_version(state_->ssl);
}

bool TIdIOHandlerTLS::WaitReadable(int32_t ATimeout) {
  std::unique_lock<std::mutex> lock(io_mutex_);
  if (!state_) {
    lock.unlock();
    return TIdIOHandlerSocket::WaitReadable(ATimeout);
  }
  State& s = *state_;
  if (SocketHandle() == nullptr || !SocketHandle()->Allocated())
    throw EIdConnClosedGracefully(res::kTcpConnClosedGracefully);
  // Something for Recv to report, or bytes already decrypted: no wait.
  if (s.peer_closed || s.deferred || SSL_pending(s.ssl) > 0) return true;

  // Readable means a whole record with data, not a byte of one: a peek processes records
  // (and session tickets between them) within the time-out and keeps the data for Recv.
  s.SetTimeout(ATimeout);
  s.ResetOutcome();
  char probe;
  int result;
  {
    InCall in_call(in_call_);
    result = SSL_peek(s.ssl, &probe, 1);
  }
  if (result > 0) return true;
  try {
    if (Outcome(s, result, false) < 0) return false;  // nothing complete within the time-out
  } catch (...) {
    s.deferred = std::current_exception();
  }
  return true;
}

int32_t TIdIOHandlerTLS::Recv(void* ABuffer, int32_t ALength) {
  std::unique_lock<std::mutex> lock(io_mutex_);
  if (!state_) {
    lock.unlock();
    return TIdIOHandlerSocket::Recv(ABuffer, ALength);
  }
  if (!Connected()) throw EIdClosedSocket(res::kTcpClosedSocket);
  State& s = *state_;
  if (s.deferred) std::rethrow_exception(s.deferred);
  if (s.peer_closed || ALength <= 0) return 0;
  // The time-out of the WaitReadable before bounds the rest of the record.
  s.SetTimeout(s.timeout);
  s.ResetOutcome();
  int result;
  {
    InCall in_call(in_call_);
    result = SSL_read(s.ssl, ABuffer, ALength);
  }
  if (result > 0) return result;
  // Our own side closed the socket under the read (an abort): the end, as without TLS.
  if (!Connected()) return 0;
  try {
    return Outcome(s, result, true);
  } catch (...) {
    s.deferred = std::current_exception();
    throw;
  }
}

int32_t TIdIOHandlerTLS::Send(const void* ABuffer, int32_t ALength) {
  std::unique_lock<std::mutex> lock(io_mutex_);
  if (!state_) {
    lock.unlock();
    return TIdIOHandlerSocket::Send(ABuffer, ALength);
  }
  if (!Connected()) throw EIdClosedSocket(res::kTcpClosedSocket);
  State& s = *state_;
  if (ALength <= 0) return 0;
  s.SetTimeout(s.timeout);
  s.ResetOutcome();
  int result;
  {
    InCall in_call(in_call_);
    result = SSL_write(s.ssl, ABuffer, ALength);
  }
  if (result > 0) return result;
  if (!Connected()) return 0;
  // A send that found the connection gone reads as the peer's close, as without TLS.
  if (s.eof && s.socket_error == 0 && !s.failure) return 0;
  return Outcome(s, result, true);
}

}  // namespace tavo::net
