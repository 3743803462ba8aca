#pragma once
// SOCKS settings of one socket I/O handler and the proxy handshakes. The handler connects to
// the proxy named here instead of the target when Version names a SOCKS version, then calls
// Negotiate with the target, which asks the proxy (SOCKS 4, 4A or 5) to connect onward; when
// it returns, the connection carries the target's bytes. svNoSocks means a direct connection,
// and Negotiate then does nothing.
//
// Every reply is read until its full size has arrived; a proxy that closes early, or stays
// silent longer than ReplyTimeout, gives EIdSocksServerRespondError; a field the wire format
// cannot carry (over 255 bytes, or a NUL inside a SOCKS 4 text) is refused before anything
// is sent.

#include <cstdint>
#include <string>

#include "net/tcp/component.h"
#include "rtl/persistent.h"

namespace tavo::net {

class TIdIOHandlerSocket;

enum TSocksVersion : int32_t { svNoSocks = 0, svSocks4 = 1, svSocks4A = 2, svSocks5 = 3 };
enum TSocksAuthentication : int32_t { saNoAuthentication = 0, saUsernamePassword = 1 };

// The longest a proxy may take to answer: what the handler allows a connect to take while an
// idle hook runs.
inline constexpr int32_t kSocksReplyTimeoutDefault = 120000;

// A component (it may have an owner, and the handler watches its destruction) and a settings
// object with the runtime's copy rule.
class TIdSocksInfo : public TIdComponent, public rtl::TPersistent {
 public:
  explicit TIdSocksInfo(rtl::TComponent* AOwner = nullptr);
  ~TIdSocksInfo() override;

  TSocksAuthentication Authentication() const { return authentication_; }
  void SetAuthentication(TSocksAuthentication v) { authentication_ = v; }
  const std::string& Host() const { return host_; }
  void SetHost(const std::string& v) { host_ = v; }
  const std::string& Password() const { return password_; }
  void SetPassword(const std::string& v) { password_ = v; }
  int32_t Port() const { return port_; }
  void SetPort(int32_t v) { port_ = v; }
  const std::string& Username() const { return username_; }
  void SetUsername(const std::string& v) { username_ = v; }
  TSocksVersion Version() const { return version_; }
  void SetVersion(TSocksVersion v) { version_ = v; }

  // How long each reply may keep the handshake waiting, in ms (TimeoutInfinite: without
  // limit; TimeoutDefault: 120000). A proxy that stays silent longer has not answered.
  // Not one of the published settings, but copied with them. Values below TimeoutInfinite
  // are refused.
  int32_t ReplyTimeout() const { return reply_timeout_; }
  void SetReplyTimeout(int32_t v);

  // The handler whose connection the handshake runs over; the handler sets it whenever it
  // takes this object. Cleared when that handler is destroyed.
  TIdIOHandlerSocket* IOHandler() const { return io_handler_; }
  void SetIOHandler(TIdIOHandlerSocket* AHandler);

  // Copies the six settings from another TIdSocksInfo, never IOHandler; any other source
  // (and copying a TIdSocksInfo into any other class) raises EConvertAssignError.
  void Assign(const rtl::TPersistent& ASource) override;
  std::string ClassName() const override { return "TIdSocksInfo"; }

  // Runs the handshake for Version over IOHandler's open connection to the proxy, asking it
  // to connect onward to AHost:APort (AHost exactly as the caller named it). Returns when the
  // proxy has connected onward, else raises (an EIdSocksError, or the transport's own error
  // when sending fails). Does nothing for svNoSocks. Without an IOHandler a handshake raises
  // EIdClosedSocket. The connection to the proxy is never closed here.
  void Negotiate(const std::string& AHost, int32_t APort);

 protected:
  // The handshakes proper (SOCKS 4 and 4A share one).
  virtual void NegotiateSocks4(const std::string& AHost, int32_t APort);
  virtual void NegotiateSocks5(const std::string& AHost, int32_t APort);

  void Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) override;

 private:
  // IOHandler, or EIdClosedSocket when there is none to talk through.
  TIdIOHandlerSocket& Handler() const;

  TSocksAuthentication authentication_ = saNoAuthentication;
  std::string host_;
  std::string password_;
  int32_t port_ = 1080;
  std::string username_;
  TSocksVersion version_ = svNoSocks;
  int32_t reply_timeout_ = kSocksReplyTimeoutDefault;
  TIdIOHandlerSocket* io_handler_ = nullptr;
};

}  // namespace tavo::net
