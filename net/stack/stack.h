#pragma once
// The socket stack: the network side's only way to the platform's sockets, IPv4 and IPv6.
//
// Lifetime of GlobalStack (owned by the transport layer in net/tcp):
//   - the first network component does, under its stack lock:  GlobalStack = CreateStack();
//   - the last one does, under the same lock:  delete GlobalStack; GlobalStack = nullptr;
// CreateStack() makes an instance of the registered stack class (TIdStackWindows unless
// SetStackClass chose another) and hands ownership to the caller. The platform start-up runs
// with the first stack of the process and is undone only at program end, so stacks may come
// and go freely.
//
// Raw socket operations return the platform's result (-1 on failure) and never raise; pass
// their result to CheckResult, which raises EIdSocketError unless the error is tolerated.

#include <array>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "net/stack/exceptions.h"
#include "platform/socket_numbers.h"
#include "rtl/strings.h"

namespace tavo::net {

using TIdStackSocketHandle = int32_t;

// The socket numbers (Id_PF_INET, Id_WSAECONNRESET, ...) come from platform/socket_numbers.h.

// Time-out values shared by the whole network library, in milliseconds, from Select and
// WaitReadable up to the FTP client.
inline constexpr int32_t TimeoutDefault = -1;   // use the configured default
inline constexpr int32_t TimeoutInfinite = -2;  // wait without limit

class TIdSocketList;

// Which addresses a client may use: IPv4 alone (the network components' default, as the
// launcher has always connected), IPv6 alone, or either, in the resolver's order.
enum TIdAddressFamily { afIPv4, afIPv6, afAny };

class TIdStack {
 public:
  virtual ~TIdStack();
  TIdStack(const TIdStack&) = delete;
  TIdStack& operator=(const TIdStack&) = delete;

  // The operations every stack implements, numbered so that a discussion or a log can name one
  // briefly; a new operation takes the next number.
  virtual void FillLocalAddresses() = 0;                  // 0
  virtual std::string LocalAddress() = 0;                 // 1
  virtual const rtl::TStringList& LocalAddresses() = 0;   // 2
  // 3: the constructor, reached through the registered class (CreateStack).
  virtual TIdStackSocketHandle Accept(TIdStackSocketHandle ASocket, std::string& AIP,
                                      int32_t& APort) = 0;                                 // 4
  virtual int32_t Bind(TIdStackSocketHandle ASocket, int32_t AFamily, const std::string& AIP,
                       int32_t APort) = 0;                                                 // 5
  virtual int32_t CloseSocket(TIdStackSocketHandle ASocket) = 0;                           // 6
  virtual int32_t Connect(TIdStackSocketHandle ASocket, int32_t AFamily,
                          const std::string& AIP, int32_t APort) = 0;                      // 7
  virtual std::string GetHostByName(const std::string& AHostName) = 0;                     // 8
  virtual std::string GetHostName() = 0;                                                   // 9
  virtual std::string GetHostByAddr(const std::string& AAddress) = 0;                      // 10
  virtual int32_t GetServByName(const std::string& AServiceName) = 0;                      // 11
  // A new list, owned by the caller: the official name, then the aliases.
  virtual std::unique_ptr<rtl::TStringList> GetServByPort(int32_t APort) = 0;              // 12
  virtual uint16_t HostToNetShort(uint16_t AHostShort) = 0;                                // 13
  virtual int32_t Listen(TIdStackSocketHandle ASocket, int32_t ABackLog) = 0;              // 14
  virtual uint16_t NetToHostShort(uint16_t ANetShort) = 0;                                 // 15
  virtual uint32_t HostToNetLong(uint32_t AHostLong) = 0;                                  // 16
  virtual uint32_t NetToHostLong(uint32_t ANetLong) = 0;                                   // 17
  virtual int32_t Recv(TIdStackSocketHandle ASocket, void* ABuffer, int32_t ABufferLength,
                       int32_t AFlags) = 0;                                                // 18
  virtual int32_t RecvFrom(TIdStackSocketHandle ASocket, void* ABuffer, int32_t ALength,
                           int32_t AFlags, std::string& AIP, int32_t& APort) = 0;          // 19
  // Each list may be null. ATimeout in ms; TimeoutInfinite waits without limit.
  virtual int32_t Select(TIdSocketList* ARead, TIdSocketList* AWrite, TIdSocketList* AErrors,
                         int32_t ATimeout) = 0;                                            // 20
  virtual int32_t Send(TIdStackSocketHandle ASocket, const void* ABuffer,
                       int32_t ABufferLength, int32_t AFlags) = 0;                         // 21
  virtual int32_t SendTo(TIdStackSocketHandle ASocket, const void* ABuffer,
                         int32_t ABufferLength, int32_t AFlags, const std::string& AIP,
                         int32_t APort) = 0;                                               // 22
  virtual int32_t SetSockOpt(TIdStackSocketHandle ASocket, int32_t ALevel, int32_t AOptName,
                             const void* AOptVal, int32_t AOptLen) = 0;                    // 23
  virtual TIdStackSocketHandle Socket(int32_t AFamily, int32_t AStruct,
                                      int32_t AProtocol) = 0;                              // 24
  virtual int32_t Shutdown(TIdStackSocketHandle ASocket, int32_t AHow) = 0;                // 25
  virtual std::string ErrorText(int32_t AErrorNumber);                                     // 26
  virtual int32_t QueryLastError() = 0;                                                    // 27
  virtual void GetPeerName(TIdStackSocketHandle ASocket, int32_t& AFamily, std::string& AIP,
                           int32_t& APort) = 0;                                            // 28
  virtual void GetSockName(TIdStackSocketHandle ASocket, int32_t& AFamily, std::string& AIP,
                           int32_t& APort) = 0;                                            // 29
  // AOptLen: in, the buffer size; out, the size written.
  virtual int32_t GetSockOpt(TIdStackSocketHandle ASocket, int32_t ALevel, int32_t AOptName,
                             void* AOptVal, int32_t& AOptLen) = 0;                         // 30
  // AAddress: the four address bytes in network order (memory order = text order).
  virtual std::string AddressToText(uint32_t AAddress) = 0;                                // 31
  virtual void ParseAddress(const std::string& AIP, uint32_t& AAddress) = 0;               // 32
  // The addresses of a host name (or the literal itself) as text, in the resolver's order,
  // limited to AFamily; raises EIdSocketError when there are none.
  virtual std::vector<std::string> GetHostAddresses(const std::string& AHostName,
                                                    TIdAddressFamily AFamily) = 0;         // 33
  // True for an IPv6 address literal ("::1", "2001:db8::7"), without brackets; its sixteen
  // bytes in network order go to ABytes when given.
  virtual bool ParseIPv6Address(const std::string& AText,
                                std::array<uint8_t, 16>* ABytes) = 0;                      // 34
  // Id_FIONREAD: the bytes waiting to be read go to AArgument. The platform's result.
  virtual int32_t IOControl(TIdStackSocketHandle ASocket, int32_t ACommand,
                            uint32_t& AArgument) = 0;                                 // 35

  // Socket(family, type, protocol), raising EIdInvalidSocket when no socket could be made.
  TIdStackSocketHandle NewSocket(int32_t AStruct, int32_t AProtocol,
                                 int32_t AFamily = Id_PF_INET);
  bool IsIPv6Address(const std::string& AText) { return ParseIPv6Address(AText, nullptr); }
  // The socket family of an address text: Id_PF_INET6 for an IPv6 literal, else Id_PF_INET.
  int32_t FamilyOf(const std::string& AIP);
  // False when AResult is not -1. Otherwise LastError := QueryLastError(); true when it is
  // tolerated, else EIdSocketError is raised.
  bool CheckResult(int32_t AResult, std::initializer_list<int32_t> ATolerated = {});
  [[noreturn]] void RaiseError(int32_t AErrorNumber);
  // "localhost" (any case) -> "127.0.0.1"; dotted text as it is; anything else is looked up.
  std::string HostToAddress(const std::string& AHost);
  bool IsDottedAddress(const std::string& AText);
  // The four bytes in network order as one value (ParseAddress).
  uint32_t TextToAddress(const std::string& AIP);

  // The error number CheckResult last saw on the calling thread (0 before any): each thread
  // has its own, as with the platform's last error, so the connect thread of a timed connect
  // cannot replace the number the caller's thread is about to read.
  int32_t LastError() const;

 protected:
  TIdStack();
  std::unique_ptr<rtl::TStringList> local_addresses_;

 private:
  void SetLastError(int32_t AErrorNumber);
  // Tells this stack's per-thread errors from those a stack freed before left on the same thread.
  const uint64_t serial_;
};

// The platform stack over the ws2 binding.
class TIdStackWindows : public TIdStack {
 public:
  // Starts the platform's sockets once per process; EIdStackInitializationFailed on failure.
  TIdStackWindows();
  ~TIdStackWindows() override;
  static TIdStack* Create();

  void FillLocalAddresses() override;
  std::string LocalAddress() override;
  const rtl::TStringList& LocalAddresses() override;
  TIdStackSocketHandle Accept(TIdStackSocketHandle ASocket, std::string& AIP,
                              int32_t& APort) override;
  int32_t Bind(TIdStackSocketHandle ASocket, int32_t AFamily, const std::string& AIP,
               int32_t APort) override;
  int32_t CloseSocket(TIdStackSocketHandle ASocket) override;
  int32_t Connect(TIdStackSocketHandle ASocket, int32_t AFamily, const std::string& AIP,
                  int32_t APort) override;
  std::string GetHostByName(const std::string& AHostName) override;
  std::string GetHostName() override;
  std::string GetHostByAddr(const std::string& AAddress) override;
  int32_t GetServByName(const std::string& AServiceName) override;
  std::unique_ptr<rtl::TStringList> GetServByPort(int32_t APort) override;
  uint16_t HostToNetShort(uint16_t AHostShort) override;
  int32_t Listen(TIdStackSocketHandle ASocket, int32_t ABackLog) override;
  uint16_t NetToHostShort(uint16_t ANetShort) override;
  uint32_t HostToNetLong(uint32_t AHostLong) override;
  uint32_t NetToHostLong(uint32_t ANetLong) override;
  int32_t Recv(TIdStackSocketHandle ASocket, void* ABuffer, int32_t ABufferLength,
               int32_t AFlags) override;
  int32_t RecvFrom(TIdStackSocketHandle ASocket, void* ABuffer, int32_t ALength,
                   int32_t AFlags, std::string& AIP, int32_t& APort) override;
  int32_t Select(TIdSocketList* ARead, TIdSocketList* AWrite, TIdSocketList* AErrors,
                 int32_t ATimeout) override;
  int32_t Send(TIdStackSocketHandle ASocket, const void* ABuffer, int32_t ABufferLength,
               int32_t AFlags) override;
  int32_t SendTo(TIdStackSocketHandle ASocket, const void* ABuffer, int32_t ABufferLength,
                 int32_t AFlags, const std::string& AIP, int32_t APort) override;
  int32_t SetSockOpt(TIdStackSocketHandle ASocket, int32_t ALevel, int32_t AOptName,
                     const void* AOptVal, int32_t AOptLen) override;
  TIdStackSocketHandle Socket(int32_t AFamily, int32_t AStruct, int32_t AProtocol) override;
  int32_t Shutdown(TIdStackSocketHandle ASocket, int32_t AHow) override;
  std::string ErrorText(int32_t AErrorNumber) override;
  int32_t QueryLastError() override;
  void GetPeerName(TIdStackSocketHandle ASocket, int32_t& AFamily, std::string& AIP,
                   int32_t& APort) override;
  void GetSockName(TIdStackSocketHandle ASocket, int32_t& AFamily, std::string& AIP,
                   int32_t& APort) override;
  int32_t GetSockOpt(TIdStackSocketHandle ASocket, int32_t ALevel, int32_t AOptName,
                     void* AOptVal, int32_t& AOptLen) override;
  std::string AddressToText(uint32_t AAddress) override;
  void ParseAddress(const std::string& AIP, uint32_t& AAddress) override;
  std::vector<std::string> GetHostAddresses(const std::string& AHostName,
                                            TIdAddressFamily AFamily) override;
  bool ParseIPv6Address(const std::string& AText, std::array<uint8_t, 16>* ABytes) override;
  int32_t IOControl(TIdStackSocketHandle ASocket, int32_t ACommand, uint32_t& AArgument) override;
};

// The stack class's "virtual constructor": returns a new stack the caller owns.
using TIdStackClass = TIdStack* (*)();
// Registers the class CreateStack makes; TIdStackWindows is registered from the start.
void SetStackClass(TIdStackClass AClass);
TIdStack* CreateStack();

// The process's one stack while any network component exists (see the top of this file).
extern TIdStack* GlobalStack;

// Whole-file sending through the platform, installed where the platform has it (Windows,
// when the socket library exports TransmitFile); null elsewhere. Returns the bytes sent, 0 on
// failure.
using TIdServeFileProc = int64_t (*)(TIdStackSocketHandle ASocket,
                                     const std::string& AFileName);
TIdServeFileProc GServeFileProc();

}  // namespace tavo::net
