// The TLS layer of a build without a TLS library (the Windows cross-build): the classes exist,
// so callers compile unchanged, and whatever would need TLS says clearly that this build has
// none. Without a handshake the handler is a plain socket handler.

#include "net/stack/exceptions.h"
#include "net/tls/tls.h"
#include "resources/tls_texts.h"

namespace tavo::net {

bool TLSAvailable() { return false; }

struct TIdIOHandlerTLS::State {};

TIdTLSContext::TIdTLSContext(const TIdTLSSettings&) { throw EIdTLSNotAvailable(res::kTlsNotAvailable); }
TIdTLSContext::~TIdTLSContext() = default;

TIdIOHandlerTLS::TIdIOHandlerTLS(rtl::TComponent* AOwner) : TIdIOHandlerSocket(AOwner) {}
TIdIOHandlerTLS::~TIdIOHandlerTLS() = default;

void TIdIOHandlerTLS::ReleaseTLS() { state_.reset(); }
void TIdIOHandlerTLS::Close() { TIdIOHandlerSocket::Close(); }
void TIdIOHandlerTLS::Open() { TIdIOHandlerSocket::Open(); }
bool TIdIOHandlerTLS::WaitReadable(int32_t ATimeout) {
  return TIdIOHandlerSocket::WaitReadable(ATimeout);
}
int32_t TIdIOHandlerTLS::Recv(void* ABuffer, int32_t ALength) {
  return TIdIOHandlerSocket::Recv(ABuffer, ALength);
}
int32_t TIdIOHandlerTLS::Send(const void* ABuffer, int32_t ALength) {
  return TIdIOHandlerSocket::Send(ABuffer, ALength);
}

void TIdIOHandlerTLS::StartTLS(const std::shared_ptr<TIdTLSContext>&, const std::string&,
                               const std::shared_ptr<TIdTLSSession>&, int32_t) {
  throw EIdTLSNotAvailable(res::kTlsNotAvailable);
}

bool TIdIOHandlerTLS::TLSActive() const { return false; }
std::shared_ptr<TIdTLSSession> TIdIOHandlerTLS::Session() const { return nullptr; }
bool TIdIOHandlerTLS::SessionReused() const { return false; }
std::string TIdIOHandlerTLS::ProtocolVersion() const { return std::string(); }

}  // namespace tavo::net
