#pragma once
// The socket functions the network stack calls, with Windows Sockets semantics on every
// platform: calls return -1 (or an invalid socket) on failure and leave a Windows-family error
// number (10004, 10038, 10061, 11001, ...) for WSAGetLastError; nothing here throws except the
// Win32 loader's stub error (see SetStubErrorHandler).
//
// Backends:
//  - posix/: BSD sockets. One table translates errno and resolver failures into the Windows
//    numbers. Sends never raise SIGPIPE. Select is built on poll(), so socket numbers of any
//    size are safe. Closing a socket wakes calls blocked on it in other threads (as closing
//    does on Windows); such a call fails with 10038, or a receive ends with 0 as at a close.
//  - win32/: "WS2_32.DLL" is loaded at run time by WSAStartup; every other entry point is
//    bound on its first call. An entry point the library lacks is never entered.
//
// Socket numbers are int32_t. On 64-bit Windows a SOCKET is 64 bits wide, but it is a kernel
// handle, and kernel handles carry only 32 significant bits (they are sign-extended when
// handed between 32- and 64-bit code), so narrowing to int32_t and sign-extending back is
// lossless and maps INVALID_SOCKET to -1.
//
// Constants, option levels and option names are the Windows values; backends translate them.

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/socket_numbers.h"

namespace tavo::platform::ws2 {

using TSocket = int32_t;


constexpr int32_t kAfUnspec = 0;
constexpr int32_t kIpProtoUdp = 17;
constexpr int32_t kIpProtoIpv6 = 41;

// Windows option levels and names.
constexpr int32_t kSoDebug = 0x0001;
constexpr int32_t kSoReuseAddr = 0x0004;
constexpr int32_t kSoKeepAlive = 0x0008;
constexpr int32_t kSoDontRoute = 0x0010;
constexpr int32_t kSoBroadcast = 0x0020;
constexpr int32_t kSoLinger = 0x0080;
constexpr int32_t kSoOobInline = 0x0100;
constexpr int32_t kSoSndBuf = 0x1001;
constexpr int32_t kSoRcvBuf = 0x1002;
constexpr int32_t kSoSndTimeo = 0x1005;
constexpr int32_t kSoRcvTimeo = 0x1006;
constexpr int32_t kSoError = 0x1007;
constexpr int32_t kSoType = 0x1008;
constexpr int32_t kIpv6V6Only = 27;

constexpr int32_t kMsgOob = 0x1;
constexpr int32_t kMsgPeek = 0x2;


constexpr uint32_t kInAddrAny = 0;
constexpr uint32_t kInAddrNone = 0xFFFFFFFFu;

// Error numbers the callers key on (Windows numbering).
constexpr int32_t kWsaEAcces = 10013;
constexpr int32_t kWsaEFault = 10014;
constexpr int32_t kWsaEMFile = 10024;
constexpr int32_t kWsaEWouldBlock = 10035;
constexpr int32_t kWsaEMsgSize = 10040;
constexpr int32_t kWsaENoProtoOpt = 10042;
constexpr int32_t kWsaESocktNoSupport = 10044;
constexpr int32_t kWsaEOpNotSupp = 10045;
constexpr int32_t kWsaEAfNoSupport = 10047;
constexpr int32_t kWsaEAddrNotAvail = 10049;
constexpr int32_t kWsaENetDown = 10050;
constexpr int32_t kWsaENetUnreach = 10051;
constexpr int32_t kWsaENetReset = 10052;
constexpr int32_t kWsaENoBufs = 10055;
constexpr int32_t kWsaEIsConn = 10056;
constexpr int32_t kWsaENotConn = 10057;
constexpr int32_t kWsaEHostDown = 10064;
constexpr int32_t kWsaEHostUnreach = 10065;
constexpr int32_t kWsaNotInitialised = 10093;
constexpr int32_t kWsaTryAgain = 11002;
constexpr int32_t kWsaNoRecovery = 11003;
constexpr int32_t kWsaNoData = 11004;

// A socket address of either family, port and addresses in network byte order: IPv4
// (Id_PF_INET) keeps its four bytes in Addr, IPv6 (Id_PF_INET6) its sixteen in Addr6 and its zone
// (the interface of a link-local address) in ScopeId.
struct TSockAddr {
  int16_t Family = 0;
  uint16_t Port = 0;
  uint32_t Addr = 0;
  uint8_t Addr6[16] = {};
  uint32_t ScopeId = 0;
};

// Appends AAddress to AList unless the same address (family and bytes) is there already: a
// resolver lists an address once per socket type it may serve.
inline void AddAddressOnce(std::vector<TSockAddr>& AList, const TSockAddr& AAddress) {
  for (const TSockAddr& a : AList) {
    if (a.Family == AAddress.Family && a.Addr == AAddress.Addr &&
        std::memcmp(a.Addr6, AAddress.Addr6, sizeof(a.Addr6)) == 0)
      return;
  }
  AList.push_back(AAddress);
}

// A socket set as Windows keeps it: a count and up to 64 socket numbers.
struct TFdSet {
  uint32_t Count = 0;
  TSocket Sockets[Id_SOCKETS_PER_SET] = {};
};

struct TTimeVal {
  int32_t Sec = 0;
  int32_t USec = 0;
};

// Result of a host look-up; addresses are IPv4 in network byte order.
struct THostEnt {
  std::string Name;
  std::vector<std::string> Aliases;
  std::vector<uint32_t> Addresses;
};

// Result of a service look-up; Port is in network byte order.
struct TServEnt {
  std::string Name;
  std::vector<std::string> Aliases;
  uint16_t Port = 0;
  std::string Proto;
};

// Start-up: 0 on success, else an error number. On Windows this loads the library; when it
// is loaded already it returns 0 without calling the platform. Cleanup undoes one start-up.
int32_t WSAStartup(uint16_t AVersion);
int32_t WSACleanup();
// Frees the loaded library (once, even when two threads race) and points every entry point
// back at its first-use stub. Nothing to do where sockets are not a loaded library.
void UnloadLibrary();

TSocket socket(int32_t AFamily, int32_t AType, int32_t AProtocol);
// AAddr may be null when the peer's address is not wanted.
TSocket accept(TSocket ASocket, TSockAddr* AAddr);
int32_t bind(TSocket ASocket, const TSockAddr& AAddr);
int32_t connect(TSocket ASocket, const TSockAddr& AAddr);
int32_t listen(TSocket ASocket, int32_t ABacklog);
int32_t recv(TSocket ASocket, void* ABuffer, int32_t ALength, int32_t AFlags);
int32_t send(TSocket ASocket, const void* ABuffer, int32_t ALength, int32_t AFlags);
int32_t recvfrom(TSocket ASocket, void* ABuffer, int32_t ALength, int32_t AFlags,
                 TSockAddr* AFrom);
int32_t sendto(TSocket ASocket, const void* ABuffer, int32_t ALength, int32_t AFlags,
               const TSockAddr& ATo);
// Sets that are null are not watched; ATimeout null waits without limit. Returns the number
// of ready sockets (each set is left holding only its ready ones), 0 on time-out, -1 on error.
int32_t select(TFdSet* ARead, TFdSet* AWrite, TFdSet* AExcept, const TTimeVal* ATimeout);
int32_t shutdown(TSocket ASocket, int32_t AHow);
int32_t closesocket(TSocket ASocket);
int32_t setsockopt(TSocket ASocket, int32_t ALevel, int32_t AOptName, const void* AOptVal,
                   int32_t AOptLen);
// AOptLen: in, the buffer size; out, the size written.
int32_t getsockopt(TSocket ASocket, int32_t ALevel, int32_t AOptName, void* AOptVal,
                   int32_t* AOptLen);
int32_t getpeername(TSocket ASocket, TSockAddr& AAddr);
int32_t getsockname(TSocket ASocket, TSockAddr& AAddr);
// Id_FIONREAD only: AArgument receives the bytes waiting to be read. 0 or -1.
int32_t ioctlsocket(TSocket ASocket, int32_t ACommand, uint32_t& AArgument);

// Look-ups: false when nothing was found (the reason is left for WSAGetLastError).
bool gethostbyname(const std::string& AName, THostEnt& AResult);
bool gethostbyaddr(uint32_t AAddr, int32_t AFamily, THostEnt& AResult);
// Fills ABuffer with a zero-terminated name; 0 or -1.
int32_t gethostname(char* ABuffer, int32_t ALength);
// AProto null: any protocol.
bool getservbyname(const std::string& AName, const char* AProto, TServEnt& AResult);
bool getservbyport(uint16_t APortNet, const char* AProto, TServEnt& AResult);

// Dotted text to an address in network byte order; kInAddrNone when not an address.
uint32_t inet_addr(const std::string& AText);

// Socket addresses (port 0) for a host name or a literal address of the family asked: Id_PF_INET,
// Id_PF_INET6, or kAfUnspec for both, in the resolver's order and without repeats. With
// ANumericOnly only a literal is taken and nothing is looked up. False when nothing was found
// (the reason is left for WSAGetLastError).
bool getaddrinfo(const std::string& AName, int32_t AFamily, bool ANumericOnly,
                 std::vector<TSockAddr>& AResult);
// The text of an address: dotted for IPv4, the shortest form for IPv6 ("::1",
// "2001:db8::7"); empty for a family of neither kind.
std::string AddressText(const TSockAddr& AAddr);

uint16_t htons(uint16_t AValue);
uint16_t ntohs(uint16_t AValue);
uint32_t htonl(uint32_t AValue);
uint32_t ntohl(uint32_t AValue);

// The calling thread's last socket error.
int32_t WSAGetLastError();
void WSASetLastError(int32_t AError);

// The operating system's own text for an error number (used for loader failures).
std::string SystemErrorText(uint32_t AErrorNumber);
// The system's own words for a socket error number of the Windows family (as WSAGetLastError
// reports it): on Windows the Winsock text; elsewhere the text of the errno or resolver code the
// number was translated from, so that nobody there reads a Windows number.
std::string SocketErrorText(int32_t AErrorNumber);

// How the loader reports that the library or one of its entry points cannot be reached. The
// platform layer cannot know the network side's exception classes, so the stack installs a
// handler that raises its own error; the handler must not return. Without a handler the
// loader raises rtl::Exception with the same title.
using TStubErrorHandler = void (*)(const std::string& ATitle, uint32_t AErrorNumber);
void SetStubErrorHandler(TStubErrorHandler AHandler);

// Sends a whole file over a socket in one platform call; returns the bytes sent, 0 on failure.
// Only the Win32 backend has one (TransmitFile), and only while the loaded socket library
// exports it; otherwise FileSendHook() is null and callers send the file themselves.
using TFileSendProc = int64_t (*)(TSocket ASocket, const std::string& AFileName);
TFileSendProc FileSendHook();

}  // namespace tavo::platform::ws2
