#pragma once
// SOCKS settings of one socket I/O handler and the hand-off point of the proxy handshake.
// The handler connects to the proxy named here instead of the target when Version names a
// SOCKS version, then calls Negotiate with the target; svNoSocks means a direct connection,
// and Negotiate then does nothing.

#include <cstdint>
#include <string>

#include "net/tcp/component.h"

namespace tavo::net {

class TIdIOHandlerSocket;

enum TSocksVersion : int32_t { svNoSocks = 0, svSocks4 = 1, svSocks4A = 2, svSocks5 = 3 };
enum TSocksAuthentication : int32_t { saNoAuthentication = 0, saUsernamePassword = 1 };

class TIdSocksInfo : public TIdComponent {
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

  // The handler whose connection the handshake runs over; the handler sets it whenever it
  // takes this object. Cleared when that handler is destroyed.
  TIdIOHandlerSocket* IOHandler() const { return io_handler_; }
  void SetIOHandler(TIdIOHandlerSocket* AHandler);

  // Copies the six settings, never IOHandler.
  void Assign(const TIdSocksInfo& ASource);

  // Runs the handshake for Version over IOHandler's open connection to the proxy, asking it
  // to connect onward to AHost:APort. Does nothing for svNoSocks.
  void Negotiate(const std::string& AHost, int32_t APort);

 protected:
  // The handshakes proper (SOCKS 4 and 4A share one).
  virtual void NegotiateSocks4(const std::string& AHost, int32_t APort);
  virtual void NegotiateSocks5(const std::string& AHost, int32_t APort);

  void Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) override;

 private:
  TSocksAuthentication authentication_ = saNoAuthentication;
  std::string host_;
  std::string password_;
  int32_t port_ = 1080;
  std::string username_;
  TSocksVersion version_ = svNoSocks;
  TIdIOHandlerSocket* io_handler_ = nullptr;
};

}  // namespace tavo::net
