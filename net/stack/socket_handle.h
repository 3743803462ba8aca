#pragma once
// One socket with its local binding (IP, Port) and its peer binding (PeerIP, PeerPort).
// Allocated, not Handle, tells whether a socket is open: closing clears Allocated and keeps
// the old number in Handle until the next Clear or OpenSocket. Every operation goes through
// GlobalStack, which must exist while a handle is used.

#include <cstdint>
#include <string>

#include "net/stack/stack.h"
#include "rtl/persistent.h"

namespace tavo::net {

class TIdSocketHandle : public rtl::TPersistent {
 public:
  TIdSocketHandle();  // Clear(true), no port range
  // Closes the socket first.
  virtual ~TIdSocketHandle();
  // A handle owns its socket; copy bindings explicitly with Assign.
  TIdSocketHandle(const TIdSocketHandle&) = delete;
  TIdSocketHandle& operator=(const TIdSocketHandle&) = delete;

  // Virtual beyond the collection item's, so a test can watch or fake them: CloseSocket,
  // Connect, RecvFrom.
  // Only when Allocated: stop sending, close; results ignored.
  virtual void CloseSocket();
  // Connects to PeerIP:PeerPort; on success refreshes both bindings. The platform result is
  // returned for the caller's CheckResult.
  virtual int32_t Connect(int32_t AFamily = Id_PF_INET);
  virtual int32_t RecvFrom(void* ABuffer, int32_t ALength, int32_t AFlags, std::string& AIP,
                           int32_t& APort);

  // Closes any open socket, then opens a new one of the family given (Id_PF_INET or
  // Id_PF_INET6); the bindings stay, and Bind and Connect use that family.
  void OpenSocket(int32_t ASocketType = Id_SOCK_STREAM, int32_t AProtocol = Id_IPPROTO_IP,
                  int32_t AFamily = Id_PF_INET);
  // To IP:Port, or, with Port 0 and a full ClientPortMin..ClientPortMax range, to the highest
  // free port of that range. Raises EIdCouldNotBindSocket, EIdInvalidPortRange or
  // EIdCanNotBindPortInRange; a failed Bind leaves the socket open.
  void Bind();
  void Listen(int32_t AQueueCount = 5);
  // Takes the next connection of a listening socket. False when the listener was closed or the
  // call interrupted (the handle then stays without socket).
  bool Accept(TIdStackSocketHandle ASocket);
  // Makes an open socket that the caller kept aside (a listener that Accept replaced) this
  // handle's again, closing whatever the handle held; the local binding is read anew.
  void Attach(TIdStackSocketHandle ASocket);
  // True when data (or the peer's close) can be read within AMSec ms (TimeoutInfinite: no
  // limit). Raises EIdConnClosedGracefully when no socket is open.
  bool WaitReadable(int32_t AMSec);
  int32_t Recv(void* ABuffer, int32_t ABufferLength, int32_t AFlags = 0);
  int32_t Send(const void* ABuffer, int32_t ABufferLength, int32_t AFlags = 0);
  // Raises through CheckResult on failure.
  void SetSockOpt(int32_t ALevel, int32_t AOptName, const void* AOptVal, int32_t AOptLen);
  // Lets WaitReadable report the socket readable only once ABytes have arrived (or the peer
  // closed), where the platform offers that (a receive low-water mark); otherwise, and for
  // ABytes below 2, nothing changes. A bulk reader is then woken once per large chunk instead
  // of once per segment. A trickle still reaches the reader: the wait goes in slices, and
  // bytes waiting after a slice count as readable (the next Recv takes just those).
  void SetReceiveLowWater(int32_t ABytes);
  void SetPeerAddress(const std::string& AIP, int32_t APort);
  void RefreshLocal();
  void RefreshPeer();
  void Clear(bool AIncludeLocal);

  // From another socket handle: copies IP, Port, PeerIP and PeerPort, never the socket.
  // Any other class is refused with EConvertAssignError.
  void Assign(const rtl::TPersistent& ASource) override;
  std::string ClassName() const override { return "TIdSocketHandle"; }

  TIdStackSocketHandle Handle() const { return handle_; }
  // The family of the socket last opened (Id_PF_INET until one is).
  int32_t Family() const { return family_; }
  bool Allocated() const { return allocated_; }
  const std::string& IP() const { return ip_; }
  void SetIP(const std::string& AValue) { ip_ = AValue; }
  int32_t Port() const { return port_; }
  void SetPort(int32_t AValue) { port_ = AValue; }
  const std::string& PeerIP() const { return peer_ip_; }
  int32_t PeerPort() const { return peer_port_; }
  int32_t ClientPortMin() const { return client_port_min_; }
  void SetClientPortMin(int32_t AValue) { client_port_min_ = AValue; }
  int32_t ClientPortMax() const { return client_port_max_; }
  void SetClientPortMax(int32_t AValue) { client_port_max_ = AValue; }

 private:
  bool BindOnce();
  bool BindInRange();
  bool WaitOnce(int32_t AMSec);

  TIdStackSocketHandle handle_ = Id_INVALID_SOCKET;
  int32_t family_ = Id_PF_INET;
  int32_t low_water_ = 0;    // the receive low-water mark in force; 0: none
  int32_t recv_limit_ = 0;   // what the next Recv may take, when a slice found fewer bytes
  bool allocated_ = false;
  std::string ip_;
  std::string peer_ip_;
  int32_t port_ = 0;
  int32_t peer_port_ = 0;
  int32_t client_port_min_ = 0;
  int32_t client_port_max_ = 0;
};

}  // namespace tavo::net
