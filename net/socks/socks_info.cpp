#include "net/socks/socks_info.h"

#include "net/stack/exceptions.h"
#include "net/tcp/iohandler.h"
#include "resources/tcp_texts.h"
#include "rtl/format.h"

namespace tavo::net {

TIdSocksInfo::TIdSocksInfo(rtl::TComponent* AOwner) : TIdComponent(AOwner) {}

TIdSocksInfo::~TIdSocksInfo() = default;

void TIdSocksInfo::SetIOHandler(TIdIOHandlerSocket* AHandler) {
  if (io_handler_ == AHandler) return;
  // The previous handler's registration stays: the runtime links both directions, and the
  // handler may still watch us. A notice about a handler we no longer use is ignored.
  io_handler_ = AHandler;
  if (io_handler_ != nullptr) FreeNotification(io_handler_);
}

void TIdSocksInfo::Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) {
  if (Operation == rtl::opRemove && AComponent != nullptr &&
      AComponent == static_cast<rtl::TComponent*>(io_handler_))
    io_handler_ = nullptr;
  TIdComponent::Notification(AComponent, Operation);
}

void TIdSocksInfo::Assign(const TIdSocksInfo& ASource) {
  if (&ASource == this) return;
  authentication_ = ASource.authentication_;
  host_ = ASource.host_;
  password_ = ASource.password_;
  port_ = ASource.port_;
  username_ = ASource.username_;
  version_ = ASource.version_;
}

void TIdSocksInfo::Negotiate(const std::string& AHost, int32_t APort) {
  switch (version_) {
    case svSocks4:
    case svSocks4A:
      NegotiateSocks4(AHost, APort);
      break;
    case svSocks5:
      NegotiateSocks5(AHost, APort);
      break;
    case svNoSocks:
      break;
  }
}

// The SOCKS 4/4A and 5 handshakes are not built yet. Until they are, a connection that asks
// for a proxy fails loudly instead of talking to the proxy as if it were the target.
void TIdSocksInfo::NegotiateSocks4(const std::string&, int32_t) {
  throw EIdSocksError(rtl::Format(res::kTcpSocksVersionUnsupported, {static_cast<int>(version_)}));
}

void TIdSocksInfo::NegotiateSocks5(const std::string&, int32_t) {
  throw EIdSocksError(rtl::Format(res::kTcpSocksVersionUnsupported, {static_cast<int>(version_)}));
}

}  // namespace tavo::net
