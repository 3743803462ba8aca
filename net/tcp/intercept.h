#pragma once
// An optional filter between a connection and its socket: it hears of connect and disconnect
// and may rework every received chunk and every outgoing block before it moves on.

#include <functional>

#include "net/tcp/component.h"
#include "rtl/streams.h"

namespace tavo::net {

class TIdTCPConnection;

using TIdInterceptNotifyEvent = std::function<void(rtl::TComponent* ASender)>;
// The handler may change the stream's contents and size; it is rewound afterwards.
using TIdInterceptStreamEvent = std::function<void(rtl::TComponent* ASender, rtl::TStream& AStream)>;

class TIdConnectionIntercept : public TIdBaseComponent {
 public:
  explicit TIdConnectionIntercept(rtl::TComponent* AOwner = nullptr) : TIdBaseComponent(AOwner) {}

  // Called by the connection once its transport is open, and when it closes it.
  virtual void Attach(TIdTCPConnection* AConnection);
  virtual void Detach();
  // Called with each received chunk and each outgoing block.
  virtual void FilterReceived(rtl::TStream& AStream);
  virtual void FilterSending(rtl::TStream& AStream);

  TIdTCPConnection* AttachedConnection() const { return attached_; }
  bool ClientSide() const { return client_side_; }
  void SetClientSide(bool v) { client_side_ = v; }

  const TIdInterceptNotifyEvent& OnConnect() const { return on_connect_; }
  void SetOnConnect(TIdInterceptNotifyEvent v) { on_connect_ = std::move(v); }
  const TIdInterceptNotifyEvent& OnDisconnect() const { return on_disconnect_; }
  void SetOnDisconnect(TIdInterceptNotifyEvent v) { on_disconnect_ = std::move(v); }
  const TIdInterceptStreamEvent& OnReceive() const { return on_receive_; }
  void SetOnReceive(TIdInterceptStreamEvent v) { on_receive_ = std::move(v); }
  const TIdInterceptStreamEvent& OnSend() const { return on_send_; }
  void SetOnSend(TIdInterceptStreamEvent v) { on_send_ = std::move(v); }

 private:
  TIdTCPConnection* attached_ = nullptr;
  bool client_side_ = true;
  TIdInterceptNotifyEvent on_connect_;
  TIdInterceptNotifyEvent on_disconnect_;
  TIdInterceptStreamEvent on_receive_;
  TIdInterceptStreamEvent on_send_;
};

}  // namespace tavo::net
