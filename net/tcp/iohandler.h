#pragma once
// The transport of one connection. TIdIOHandler is the abstract interface the connection
// reads and writes through; TIdIOHandlerSocket is the one every connection here uses: an
// outgoing TCP connection over one socket handle, with local binding, name resolution, the
// Nagle switch, an optional timed connect and the hand-off to SOCKS negotiation.

#include <cstdint>
#include <memory>
#include <string>

#include "net/stack/stack.h"
#include "net/tcp/component.h"

namespace tavo::net {

class TIdSocketHandle;
class TIdSocksInfo;

class TIdIOHandler : public TIdComponent {
 public:
  explicit TIdIOHandler(rtl::TComponent* AOwner = nullptr) : TIdComponent(AOwner) {}
  ~TIdIOHandler() override;

  // Virtual, so a handler for another transport (TLS) can take each over: Accepted, Close,
  // ConnectTo, Connected, Open, WaitReadable, Recv, Send.
  virtual void Accepted() {}
  virtual void Close() {}
  virtual void ConnectTo(const std::string& AHost, int32_t APort, const std::string& ABoundIP,
                         int32_t ABoundPort, int32_t ABoundPortLow, int32_t ABoundPortHigh,
                         int32_t ATimeout);
  virtual bool Connected() = 0;
  virtual void Open() {}
  // True when something (data or the peer's close) can be read within ATimeout ms.
  virtual bool WaitReadable(int32_t ATimeout) = 0;
  // One platform receive or send: the byte count, 0 when the peer closed, -1 on failure.
  virtual int32_t Recv(void* ABuffer, int32_t ALength) = 0;
  virtual int32_t Send(const void* ABuffer, int32_t ALength) = 0;
};

class TIdIOHandlerSocket : public TIdIOHandler {
 public:
  explicit TIdIOHandlerSocket(rtl::TComponent* AOwner = nullptr);
  // Frees its own settings object and the socket handle (which closes the socket).
  ~TIdIOHandlerSocket() override;

  void Close() override;
  void ConnectTo(const std::string& AHost, int32_t APort, const std::string& ABoundIP,
                 int32_t ABoundPort, int32_t ABoundPortLow, int32_t ABoundPortHigh,
                 int32_t ATimeout) override;
  bool Connected() override;
  // Creates the socket handle on first use; afterwards clears it, local binding included.
  void Open() override;
  bool WaitReadable(int32_t ATimeout) override;
  // Raise EIdClosedSocket when no socket is open.
  int32_t Recv(void* ABuffer, int32_t ALength) override;
  int32_t Send(const void* ABuffer, int32_t ALength) override;

  TIdSocketHandle* SocketHandle() const { return socket_handle_.get(); }

  bool UseNagle() const { return use_nagle_; }
  void SetUseNagle(bool v) { use_nagle_ = v; }
  // afIPv4 at creation: the host's IPv4 address, as the components have always connected.
  // afIPv6 or afAny: every address of the host of those families in the resolver's order (an
  // IPv6 literal, also in brackets, as it stands), each tried until one connects.
  TIdAddressFamily AddressFamily() const { return address_family_; }
  void SetAddressFamily(TIdAddressFamily v) { address_family_ = v; }

  // Reading creates a settings object of the handler's own (svNoSocks) when none is set.
  TIdSocksInfo* SocksInfo();
  // An object with an owner is referenced (and watched for destruction); one without an owner
  // has its settings copied into the handler's own object; nullptr drops the reference.
  void SetSocksInfo(TIdSocksInfo* AValue);

 protected:
  // Connects SocketHandle on a connect thread and waits at most ATimeout ms
  // (TimeoutInfinite: until the thread ends).
  void ConnectWithTimeout(int32_t ATimeout);
  // The local binding a connect asks for.
  struct TBinding {
    std::string IP;
    int32_t Port;
    int32_t PortLow;
    int32_t PortHigh;
  };
  // Tries each address of AHost of the allowed families in turn (see AddressFamily).
  void ConnectToAny(const std::string& AHost, int32_t APort, const TBinding& ABinding,
                    int32_t ATimeout);
  // Opens a socket of the family given and binds it as asked.
  void OpenBound(const TBinding& ABinding, int32_t AFamily);
  // The peer the socket will connect to, and the Nagle switch.
  void SetPeer(const std::string& AAddress, int32_t APort);
  // Connects the opened socket: status hsConnecting, then at once or bounded by ATimeout.
  void ConnectOpened(int32_t ATimeout);
  void Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) override;

 private:
  std::unique_ptr<TIdSocketHandle> socket_handle_;
  bool use_nagle_ = true;
  TIdAddressFamily address_family_ = afIPv4;
  TIdSocksInfo* socks_info_ = nullptr;             // the settings in use
  std::unique_ptr<TIdSocksInfo> own_socks_info_;   // ours when the one in use has no owner
};

}  // namespace tavo::net
