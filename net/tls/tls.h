#pragma once
// Explicit TLS for a connection that is already open: the settings of the certificate check,
// a context shared by the connections of one session, the session a later connection resumes,
// and the I/O handler that carries TLS records over its socket.
//
// The handler is a socket handler whose Recv and Send move decrypted bytes, so buffered reads,
// ReadLn, ReadToStream and the work events above it work unchanged. TLS starts on request
// (StartTLS) because FTP switches after AUTH TLS on a connection that began in plain text.
//
// Builds without a TLS library keep these classes; anything that would need TLS raises
// EIdTLSNotAvailable there (TLSAvailable tells beforehand).

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "net/tcp/iohandler.h"
#include "rtl/persistent.h"

namespace tavo::net {

// False in a build without a TLS library.
bool TLSAvailable();

class TIdTLSSettings : public rtl::TPersistent {
 public:
  // A PEM file of the certificate authorities to trust instead of the system's store; empty:
  // the system's store.
  const std::string& CAFile() const { return ca_file_; }
  void SetCAFile(const std::string& v) { ca_file_ = v; }
  // True turns off every check of the server's certificate (chain, dates, name): anyone on
  // the path can then read and change the session. For tests and emergencies only; False at
  // creation.
  bool InsecureSkipCertificateCheck() const { return insecure_skip_certificate_check_; }
  void SetInsecureSkipCertificateCheck(bool v) { insecure_skip_certificate_check_ = v; }

  void Assign(const rtl::TPersistent& Source) override;
  std::string ClassName() const override { return "TIdTLSSettings"; }

 private:
  std::string ca_file_;
  bool insecure_skip_certificate_check_ = false;
};

// What a client keeps of one TLS session so that a later connection to the same server can
// resume it (FTP servers may insist that data connections do).
class TIdTLSSession {
 public:
  virtual ~TIdTLSSession() = default;
};

// The TLS client configuration of one session: trust store and checks. Connections that share
// a context can resume each other's sessions.
class TIdTLSContext {
 public:
  // Raises EIdTLSError when the CA file cannot be read, EIdTLSNotAvailable without TLS.
  explicit TIdTLSContext(const TIdTLSSettings& ASettings);
  ~TIdTLSContext();
  TIdTLSContext(const TIdTLSContext&) = delete;
  TIdTLSContext& operator=(const TIdTLSContext&) = delete;

  bool VerifiesCertificate() const { return verify_; }
  void* Native() const { return native_; }  // the backend's context

 private:
  void* native_ = nullptr;
  bool verify_ = true;
};

class TIdIOHandlerTLS : public TIdIOHandlerSocket {
 public:
  explicit TIdIOHandlerTLS(rtl::TComponent* AOwner = nullptr);
  ~TIdIOHandlerTLS() override;

  // Sends TLS's closing message when it can do so at once, then closes the socket. Safe to
  // call from another thread while a read blocks (to abort it): the closing message is left
  // out then and the session is freed by the reading side.
  void Close() override;
  // Forgets a previous TLS session before the socket is reused.
  void Open() override;
  // With TLS active: true at once while decrypted bytes wait, otherwise true once a whole
  // record with data (or the peer's close) arrived within ATimeout.
  bool WaitReadable(int32_t ATimeout) override;
  // With TLS active they move decrypted bytes; each wait inside is bounded by the time-out of
  // the last WaitReadable (or StartTLS). A record that does not complete in time raises
  // EIdReadTimeout, a close without TLS's closing message EIdTLSError.
  int32_t Recv(void* ABuffer, int32_t ALength) override;
  int32_t Send(const void* ABuffer, int32_t ALength) override;

  // The client side of a TLS handshake on the open socket. AHost is the name (or dotted
  // address) the certificate must be issued for; AResume, when given, is offered for
  // resumption. ATimeout (ms, TimeoutInfinite or 0: no limit) bounds every wait for the
  // server. Raises EIdTLSCertificateError when the certificate is not accepted, EIdTLSError
  // for any other failure (the socket is closed then).
  void StartTLS(const std::shared_ptr<TIdTLSContext>& AContext, const std::string& AHost,
                const std::shared_ptr<TIdTLSSession>& AResume, int32_t ATimeout);
  bool TLSActive() const;
  // The session of the current connection, for another connection to resume; null before a
  // handshake.
  std::shared_ptr<TIdTLSSession> Session() const;
  // Whether the handshake resumed the offered session.
  bool SessionReused() const;
  // The negotiated protocol version ("TLSv1.3"), empty without TLS.
  std::string ProtocolVersion() const;

  struct State;  // the backend's per-connection state

 private:
  // Frees the TLS state; only on the thread that owns the handler.
  void ReleaseTLS();

  std::unique_ptr<State> state_;
  // Held by every TLS call; Close only tries it, so a Close from another thread never touches
  // the TLS state under a running read.
  std::mutex io_mutex_;
  // Set while a TLS call runs: Close from inside it (an idle hook) or from another thread
  // then only closes the socket.
  std::atomic<bool> in_call_{false};
};

}  // namespace tavo::net
