#include "net/tcp/intercept.h"

namespace tavo::net {

void TIdConnectionIntercept::Attach(TIdTCPConnection* AConnection) {
  attached_ = AConnection;
  if (on_connect_) on_connect_(this);
}

void TIdConnectionIntercept::Detach() {
  // The link is dropped also when the handler raises, so a failed close leaves no stale one.
  struct Clear {
    TIdTCPConnection*& p;
    ~Clear() { p = nullptr; }
  } clear{attached_};
  if (on_disconnect_) on_disconnect_(this);
}

void TIdConnectionIntercept::FilterReceived(rtl::TStream& AStream) {
  if (!on_receive_) return;
  on_receive_(this, AStream);
  AStream.SetPosition(0);
}

void TIdConnectionIntercept::FilterSending(rtl::TStream& AStream) {
  if (!on_send_) return;
  on_send_(this, AStream);
  AStream.SetPosition(0);
}

}  // namespace tavo::net
