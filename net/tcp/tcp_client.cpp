#include <string>

#include "net/stack/exceptions.h"
#include "net/tcp/connection.h"
#include "net/tcp/intercept.h"
#include "net/tcp/iohandler.h"
#include "resources/tcp_texts.h"
#include "rtl/format.h"

namespace tavo::net {

TIdTCPClient::TIdTCPClient(rtl::TComponent* AOwner) : TIdTCPConnection(AOwner) {}

void TIdTCPClient::NotifyConnected() {
  if (on_connected_) on_connected_(this);
}

void TIdTCPClient::Connect(int32_t ATimeout) {
  // Refused before anything changes: no handler is created and no socket opened.
  if (ATimeout < TimeoutInfinite)
    throw EIdException(rtl::Format(res::kTcpInvalidTimeout, {ATimeout}));
  if (IOHandler() != nullptr && IOHandler()->Connected())
    throw EIdAlreadyConnected(res::kTcpAlreadyConnected);
  if (IOHandler() == nullptr) {
    auto* handler = new TIdIOHandlerSocket(this);  // owned by this client
    SetIOHandler(handler);
    handler->SetOnStatus(OnStatus());
    SetOwnsIOHandler(true);
  }
  if (auto* socket = dynamic_cast<TIdIOHandlerSocket*>(IOHandler()))
    socket->SetAddressFamily(address_family_);
  try {
    IOHandler()->Open();
    ResetState();
    IOHandler()->ConnectTo(host_, port_, bound_ip_, bound_port_, bound_port_low_,
                           bound_port_high_, ATimeout);
    if (Intercept() != nullptr) Intercept()->Attach(this);
    ReportStatus(hsConnected, {host_});
    NotifyConnected();
  } catch (...) {
    // The connect's own failure is what the caller must see, not one from tidying up.
    try {
      CloseTransport();
    } catch (...) {
    }
    throw;
  }
}

std::string TIdTCPClient::ConnectAndReadAll() {
  Connect(TimeoutDefault);
  std::string result;
  try {
    result = ReadAll();
  } catch (...) {
    try {
      Disconnect();
    } catch (...) {
    }
    throw;
  }
  Disconnect();
  return result;
}

}  // namespace tavo::net
