// Windows Sockets 2, loaded at run time: the program does not link against "WS2_32.DLL".
//
// WSAStartup loads the library. Every other entry point has a slot that starts out pointing
// at a first-use stub; the stub looks the export up in the loaded library, stores its address
// in the slot and continues into it with the caller's arguments, so later calls go straight
// to the library. A stub that finds no library, or a library without that export, raises the
// stack's stub error through the installed handler and never calls anything. Unloading frees
// the library once and points every slot back at its stub.
//
// Binding is not locked: two threads binding the same entry point store the same address.

#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <atomic>
#include <cstring>

#include "platform/win32/utf16.h"
#include "platform/ws2.h"
#include "resources/stack_texts.h"
#include "rtl/exception.h"
#include "rtl/format.h"

namespace tavo::platform::ws2 {
namespace {

std::atomic<HMODULE> g_library{nullptr};
std::atomic<TStubErrorHandler> g_stub_error_handler{nullptr};

[[noreturn]] void RaiseStubError(const std::string& ATitle, uint32_t ANumber) {
  if (TStubErrorHandler handler = g_stub_error_handler.load()) handler(ATitle, ANumber);
  // A handler must not return; without one the loader's own error stands in.
  throw rtl::Exception(ANumber == 0 ? ATitle : ATitle + ": " + SystemErrorText(ANumber));
}

// The address of an export of the loaded library, or a raise.
FARPROC Resolve(const char* AName) {
  const HMODULE library = g_library.load();
  if (!library) {
    RaiseStubError(rtl::Format(res::kWinsock2CallError, {AName}), WSANOTINITIALISED);
  }
  const FARPROC address = ::GetProcAddress(library, AName);
  if (!address) {
    // An export the library lacks: report it instead of calling through nothing. The error
    // number is taken before the message is built, which may touch the heap.
    const auto error = static_cast<uint32_t>(::GetLastError());
    RaiseStubError(rtl::Format(res::kWinsock2CallError, {AName}), error);
  }
  return address;
}

template <typename Fn>
Fn ResolveAs(const char* AName) {
  // GetProcAddress hands out untyped addresses; the table below gives each its real type.
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(Resolve(AName)));
}

// The entry-point table: export name, typed slot, first-use stub. Only the entry points this
// program calls have rows.
#define TAVO_WS2_ENTRIES(X)                                                                    \
  X(WSACleanup, int, (), ())                                                                   \
  X(accept, SOCKET, (SOCKET s, sockaddr * a, int* l), (s, a, l))                               \
  X(bind, int, (SOCKET s, const sockaddr* a, int l), (s, a, l))                                \
  X(closesocket, int, (SOCKET s), (s))                                                         \
  X(connect, int, (SOCKET s, const sockaddr* a, int l), (s, a, l))                             \
  X(getpeername, int, (SOCKET s, sockaddr * a, int* l), (s, a, l))                             \
  X(getsockname, int, (SOCKET s, sockaddr * a, int* l), (s, a, l))                             \
  X(getsockopt, int, (SOCKET s, int v, int n, char* o, int* l), (s, v, n, o, l))               \
  X(ioctlsocket, int, (SOCKET s, long c, u_long* a), (s, c, a))                                \
  X(htonl, u_long, (u_long v), (v))                                                            \
  X(htons, u_short, (u_short v), (v))                                                          \
  X(inet_addr, unsigned long, (const char* t), (t))                                            \
  X(listen, int, (SOCKET s, int b), (s, b))                                                    \
  X(ntohl, u_long, (u_long v), (v))                                                            \
  X(ntohs, u_short, (u_short v), (v))                                                          \
  X(recv, int, (SOCKET s, char* b, int l, int f), (s, b, l, f))                                \
  X(recvfrom, int, (SOCKET s, char* b, int l, int f, sockaddr* a, int* al), (s, b, l, f, a, al)) \
  X(select, int, (int n, fd_set* r, fd_set* w, fd_set* e, const timeval* t), (n, r, w, e, t))  \
  X(send, int, (SOCKET s, const char* b, int l, int f), (s, b, l, f))                          \
  X(sendto, int, (SOCKET s, const char* b, int l, int f, const sockaddr* a, int al),           \
    (s, b, l, f, a, al))                                                                       \
  X(setsockopt, int, (SOCKET s, int v, int n, const char* o, int l), (s, v, n, o, l))          \
  X(shutdown, int, (SOCKET s, int h), (s, h))                                                  \
  X(socket, SOCKET, (int f, int t, int p), (f, t, p))                                          \
  X(gethostbyaddr, hostent*, (const char* a, int l, int t), (a, l, t))                         \
  X(gethostbyname, hostent*, (const char* n), (n))                                             \
  X(gethostname, int, (char* n, int l), (n, l))                                                \
  X(getservbyport, servent*, (int p, const char* pr), (p, pr))                                 \
  X(getservbyname, servent*, (const char* n, const char* pr), (n, pr))                         \
  X(getaddrinfo, int, (PCSTR n, PCSTR s, const ADDRINFOA* h, PADDRINFOA* r), (n, s, h, r))    \
  X(freeaddrinfo, void, (PADDRINFOA a), (a))                                                   \
  X(inet_ntop, PCSTR, (INT f, const VOID* a, PSTR b, size_t l), (f, a, b, l))                  \
  X(WSAGetLastError, int, (), ())                                                              \
  X(WSASetLastError, void, (int e), (e))                                                       \
  X(TransmitFile, BOOL,                                                                        \
    (SOCKET s, HANDLE f, DWORD n, DWORD c, LPOVERLAPPED o, void* b, DWORD fl),                 \
    (s, f, n, c, o, b, fl))

#define TAVO_WS2_DECLARE(Name, Ret, Params, Args)                                \
  using Fn_##Name = Ret(WSAAPI*) Params;                                          \
  Ret WSAAPI Stub_##Name Params;                                                  \
  std::atomic<Fn_##Name> g_##Name{&Stub_##Name};                                  \
  Ret WSAAPI Stub_##Name Params {                                                 \
    g_##Name.store(ResolveAs<Fn_##Name>(#Name));                                  \
    return g_##Name.load() Args;                                                  \
  }                                                                               \
  void Reset_##Name() { g_##Name.store(&Stub_##Name); }
TAVO_WS2_ENTRIES(TAVO_WS2_DECLARE)
#undef TAVO_WS2_DECLARE

struct TEntryRow {
  const char* Name;
  void (*Reset)();
};
#define TAVO_WS2_ROW(Name, Ret, Params, Args) {#Name, &Reset_##Name},
const TEntryRow kEntries[] = {TAVO_WS2_ENTRIES(TAVO_WS2_ROW)};
#undef TAVO_WS2_ROW

// Socket numbers: a SOCKET is a kernel handle, which has 32 significant bits; sign extension
// turns -1 back into INVALID_SOCKET.
SOCKET ToSocket(TSocket ASocket) { return static_cast<SOCKET>(static_cast<intptr_t>(ASocket)); }
TSocket FromSocket(SOCKET ASocket) {
  return static_cast<TSocket>(static_cast<intptr_t>(ASocket));
}

// A socket address in the system's form, with its length; 0 for a family neither IPv4 nor
// IPv6 (the call then fails as the system fails it).
int ToNative(const TSockAddr& AAddr, sockaddr_storage& ANative) {
  std::memset(&ANative, 0, sizeof(ANative));
  if (AAddr.Family == Id_PF_INET6) {
    sockaddr_in6 in6;
    std::memset(&in6, 0, sizeof(in6));
    in6.sin6_family = AF_INET6;
    in6.sin6_port = AAddr.Port;
    std::memcpy(&in6.sin6_addr, AAddr.Addr6, sizeof(AAddr.Addr6));
    in6.sin6_scope_id = AAddr.ScopeId;
    std::memcpy(&ANative, &in6, sizeof(in6));
    return sizeof(in6);
  }
  sockaddr_in in;
  std::memset(&in, 0, sizeof(in));
  in.sin_family = static_cast<ADDRESS_FAMILY>(AAddr.Family);
  in.sin_port = AAddr.Port;
  in.sin_addr.s_addr = AAddr.Addr;
  std::memcpy(&ANative, &in, sizeof(in));
  return sizeof(in);
}

void FromNative(const sockaddr_storage& ANative, TSockAddr& AAddr) {
  AAddr = TSockAddr{};
  AAddr.Family = static_cast<int16_t>(ANative.ss_family);
  if (ANative.ss_family == AF_INET6) {
    sockaddr_in6 in6;
    std::memcpy(&in6, &ANative, sizeof(in6));
    AAddr.Port = in6.sin6_port;
    std::memcpy(AAddr.Addr6, &in6.sin6_addr, sizeof(AAddr.Addr6));
    AAddr.ScopeId = in6.sin6_scope_id;
  } else {
    sockaddr_in in;
    std::memcpy(&in, &ANative, sizeof(in));
    AAddr.Port = in.sin_port;
    AAddr.Addr = in.sin_addr.s_addr;
  }
}

void ToNative(const TFdSet& ASet, fd_set& ANative) {
  const uint32_t count = ASet.Count <= FD_SETSIZE ? ASet.Count : FD_SETSIZE;
  ANative.fd_count = count;
  for (uint32_t i = 0; i < count; ++i) ANative.fd_array[i] = ToSocket(ASet.Sockets[i]);
}

void FromNative(const fd_set& ANative, TFdSet& ASet) {
  const uint32_t count =
      ANative.fd_count <= static_cast<u_int>(Id_SOCKETS_PER_SET) ? ANative.fd_count : Id_SOCKETS_PER_SET;
  ASet.Count = count;
  for (uint32_t i = 0; i < count; ++i) ASet.Sockets[i] = FromSocket(ANative.fd_array[i]);
}

void CopyHost(const hostent& AHost, THostEnt& AResult) {
  AResult.Name = AHost.h_name ? AHost.h_name : "";
  for (char** alias = AHost.h_aliases; alias && *alias; ++alias) AResult.Aliases.push_back(*alias);
  if (AHost.h_addrtype == AF_INET && AHost.h_length == 4) {
    for (char** entry = AHost.h_addr_list; entry && *entry; ++entry) {
      uint32_t address;
      std::memcpy(&address, *entry, sizeof(address));
      AResult.Addresses.push_back(address);
    }
  }
}

void CopyServ(const servent& AServ, TServEnt& AResult) {
  AResult.Name = AServ.s_name ? AServ.s_name : "";
  for (char** alias = AServ.s_aliases; alias && *alias; ++alias) AResult.Aliases.push_back(*alias);
  AResult.Port = static_cast<uint16_t>(AServ.s_port);
  AResult.Proto = AServ.s_proto ? AServ.s_proto : "";
}

// Sends a whole file in one call: no length limit, no header or trailer.
int64_t SendWholeFile(TSocket ASocket, const std::string& AFileName) {
  const HANDLE file = ::CreateFileW(win32::Widen(AFileName).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  struct TCloser {
    HANDLE File;
    ~TCloser() { ::CloseHandle(File); }
  } closer{file};
  if (!g_TransmitFile.load()(ToSocket(ASocket), file, 0, 0, nullptr, nullptr, 0)) return 0;
  LARGE_INTEGER size;
  if (!::GetFileSizeEx(file, &size)) return 0;
  return static_cast<int64_t>(size.QuadPart);
}

}  // namespace

int32_t WSAStartup(uint16_t AVersion) {
  if (g_library.load()) return 0;
  // Only the system's own library: a file of that name beside the program must never load.
  const HMODULE library =
      win32::LoadSystemLibrary(win32::Widen(res::kWinsock2LibraryName).c_str());
  if (!library) {
    const auto error = static_cast<uint32_t>(::GetLastError());
    RaiseStubError(rtl::Format(res::kWinsock2LoadError, {res::kWinsock2LibraryName}), error);
  }
  HMODULE expected = nullptr;
  if (!g_library.compare_exchange_strong(expected, library)) {
    ::FreeLibrary(library);  // another thread loaded it meanwhile; keep one reference
  }
  using Fn = int(WSAAPI*)(WORD, LPWSADATA);
  const Fn startup = ResolveAs<Fn>("WSAStartup");
  WSADATA data;
  const int result = startup(AVersion, &data);
  // A loaded library stands for a started one: the next start-up returns 0 without asking the
  // platform. After a refused start-up it must not stay loaded, or the next stack would count
  // as started and every socket call would fail with "not started" (10093).
  if (result != 0) UnloadLibrary();
  return result;
}

int32_t WSACleanup() { return g_WSACleanup.load()(); }

void UnloadLibrary() {
  const HMODULE library = g_library.exchange(nullptr);
  if (!library) return;
  ::FreeLibrary(library);
  for (const TEntryRow& row : kEntries) row.Reset();
}

TSocket socket(int32_t AFamily, int32_t AType, int32_t AProtocol) {
  return FromSocket(g_socket.load()(AFamily, AType, AProtocol));
}

TSocket accept(TSocket ASocket, TSockAddr* AAddr) {
  sockaddr_storage native;
  std::memset(&native, 0, sizeof(native));
  int length = sizeof(native);
  const SOCKET result =
      g_accept.load()(ToSocket(ASocket), reinterpret_cast<sockaddr*>(&native), &length);
  if (result != INVALID_SOCKET && AAddr) FromNative(native, *AAddr);
  return FromSocket(result);
}

int32_t bind(TSocket ASocket, const TSockAddr& AAddr) {
  sockaddr_storage native;
  const int length = ToNative(AAddr, native);
  return g_bind.load()(ToSocket(ASocket), reinterpret_cast<const sockaddr*>(&native), length);
}

int32_t connect(TSocket ASocket, const TSockAddr& AAddr) {
  sockaddr_storage native;
  const int length = ToNative(AAddr, native);
  return g_connect.load()(ToSocket(ASocket), reinterpret_cast<const sockaddr*>(&native), length);
}

int32_t listen(TSocket ASocket, int32_t ABacklog) {
  return g_listen.load()(ToSocket(ASocket), ABacklog);
}

int32_t recv(TSocket ASocket, void* ABuffer, int32_t ALength, int32_t AFlags) {
  return g_recv.load()(ToSocket(ASocket), static_cast<char*>(ABuffer), ALength, AFlags);
}

int32_t send(TSocket ASocket, const void* ABuffer, int32_t ALength, int32_t AFlags) {
  return g_send.load()(ToSocket(ASocket), static_cast<const char*>(ABuffer), ALength, AFlags);
}

int32_t recvfrom(TSocket ASocket, void* ABuffer, int32_t ALength, int32_t AFlags,
                 TSockAddr* AFrom) {
  sockaddr_storage native;
  std::memset(&native, 0, sizeof(native));
  int length = sizeof(native);
  const int result = g_recvfrom.load()(ToSocket(ASocket), static_cast<char*>(ABuffer), ALength,
                                       AFlags, reinterpret_cast<sockaddr*>(&native), &length);
  if (result != SOCKET_ERROR && AFrom) FromNative(native, *AFrom);
  return result;
}

int32_t sendto(TSocket ASocket, const void* ABuffer, int32_t ALength, int32_t AFlags,
               const TSockAddr& ATo) {
  sockaddr_storage native;
  const int length = ToNative(ATo, native);
  return g_sendto.load()(ToSocket(ASocket), static_cast<const char*>(ABuffer), ALength, AFlags,
                         reinterpret_cast<const sockaddr*>(&native), length);
}

int32_t select(TFdSet* ARead, TFdSet* AWrite, TFdSet* AExcept, const TTimeVal* ATimeout) {
  fd_set sets[3];
  TFdSet* ours[3] = {ARead, AWrite, AExcept};
  for (int i = 0; i < 3; ++i) {
    sets[i].fd_count = 0;
    if (ours[i]) ToNative(*ours[i], sets[i]);
  }
  timeval native_timeout{};
  if (ATimeout) {
    native_timeout.tv_sec = ATimeout->Sec;
    native_timeout.tv_usec = ATimeout->USec;
  }
  const int result = g_select.load()(0, ARead ? &sets[0] : nullptr, AWrite ? &sets[1] : nullptr,
                                     AExcept ? &sets[2] : nullptr,
                                     ATimeout ? &native_timeout : nullptr);
  for (int i = 0; i < 3; ++i) {
    if (ours[i]) FromNative(sets[i], *ours[i]);
  }
  return result;
}

int32_t shutdown(TSocket ASocket, int32_t AHow) {
  return g_shutdown.load()(ToSocket(ASocket), AHow);
}

int32_t closesocket(TSocket ASocket) { return g_closesocket.load()(ToSocket(ASocket)); }

int32_t setsockopt(TSocket ASocket, int32_t ALevel, int32_t AOptName, const void* AOptVal,
                   int32_t AOptLen) {
  return g_setsockopt.load()(ToSocket(ASocket), ALevel, AOptName,
                             static_cast<const char*>(AOptVal), AOptLen);
}

int32_t ioctlsocket(TSocket ASocket, int32_t ACommand, uint32_t& AArgument) {
  u_long value = 0;
  const int result = g_ioctlsocket.load()(ToSocket(ASocket), ACommand, &value);
  if (result == 0) AArgument = static_cast<uint32_t>(value);
  return result;
}

int32_t getsockopt(TSocket ASocket, int32_t ALevel, int32_t AOptName, void* AOptVal,
                   int32_t* AOptLen) {
  int length = AOptLen ? *AOptLen : 0;
  const int result = g_getsockopt.load()(ToSocket(ASocket), ALevel, AOptName,
                                         static_cast<char*>(AOptVal), AOptLen ? &length : nullptr);
  if (AOptLen) *AOptLen = length;
  return result;
}

int32_t getpeername(TSocket ASocket, TSockAddr& AAddr) {
  sockaddr_storage native;
  std::memset(&native, 0, sizeof(native));
  int length = sizeof(native);
  const int result =
      g_getpeername.load()(ToSocket(ASocket), reinterpret_cast<sockaddr*>(&native), &length);
  if (result == 0) FromNative(native, AAddr);
  return result;
}

int32_t getsockname(TSocket ASocket, TSockAddr& AAddr) {
  sockaddr_storage native;
  std::memset(&native, 0, sizeof(native));
  int length = sizeof(native);
  const int result =
      g_getsockname.load()(ToSocket(ASocket), reinterpret_cast<sockaddr*>(&native), &length);
  if (result == 0) FromNative(native, AAddr);
  return result;
}

bool gethostbyname(const std::string& AName, THostEnt& AResult) {
  AResult = THostEnt{};
  const hostent* host = g_gethostbyname.load()(AName.c_str());
  if (!host) return false;
  CopyHost(*host, AResult);
  return true;
}

bool gethostbyaddr(uint32_t AAddr, int32_t AFamily, THostEnt& AResult) {
  AResult = THostEnt{};
  const hostent* host =
      g_gethostbyaddr.load()(reinterpret_cast<const char*>(&AAddr), sizeof(AAddr), AFamily);
  if (!host) return false;
  CopyHost(*host, AResult);
  return true;
}

int32_t gethostname(char* ABuffer, int32_t ALength) {
  return g_gethostname.load()(ABuffer, ALength);
}

bool getservbyname(const std::string& AName, const char* AProto, TServEnt& AResult) {
  AResult = TServEnt{};
  const servent* service = g_getservbyname.load()(AName.c_str(), AProto);
  if (!service) return false;
  CopyServ(*service, AResult);
  return true;
}

bool getservbyport(uint16_t APortNet, const char* AProto, TServEnt& AResult) {
  AResult = TServEnt{};
  const servent* service = g_getservbyport.load()(APortNet, AProto);
  if (!service) return false;
  CopyServ(*service, AResult);
  return true;
}

uint32_t inet_addr(const std::string& AText) {
  return static_cast<uint32_t>(g_inet_addr.load()(AText.c_str()));
}

bool getaddrinfo(const std::string& AName, int32_t AFamily, bool ANumericOnly,
                 std::vector<TSockAddr>& AResult) {
  AResult.clear();
  ADDRINFOA hints;
  std::memset(&hints, 0, sizeof(hints));
  hints.ai_family = AFamily == Id_PF_INET ? AF_INET : AFamily == Id_PF_INET6 ? AF_INET6 : AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = ANumericOnly ? AI_NUMERICHOST : 0;
  PADDRINFOA list = nullptr;
  const int result = g_getaddrinfo.load()(AName.c_str(), nullptr, &hints, &list);
  if (result != 0) {
    g_WSASetLastError.load()(result);  // the resolver's errors are Winsock numbers already
    return false;
  }
  for (PADDRINFOA ai = list; ai; ai = ai->ai_next) {
    if (ai->ai_addr == nullptr || ai->ai_addrlen > sizeof(sockaddr_storage)) continue;
    if (ai->ai_family != AF_INET && ai->ai_family != AF_INET6) continue;
    sockaddr_storage native;
    std::memset(&native, 0, sizeof(native));
    std::memcpy(&native, ai->ai_addr, ai->ai_addrlen);
    TSockAddr address;
    FromNative(native, address);
    AddAddressOnce(AResult, address);
  }
  g_freeaddrinfo.load()(list);
  if (AResult.empty()) {
    g_WSASetLastError.load()(WSANO_DATA);
    return false;
  }
  return true;
}

std::string AddressText(const TSockAddr& AAddr) {
  char text[INET6_ADDRSTRLEN] = {};
  const bool ok =
      AAddr.Family == Id_PF_INET   ? g_inet_ntop.load()(AF_INET, &AAddr.Addr, text, sizeof(text)) != nullptr
      : AAddr.Family == Id_PF_INET6 ? g_inet_ntop.load()(AF_INET6, AAddr.Addr6, text, sizeof(text)) != nullptr
                                 : false;
  return ok ? std::string(text) : std::string();
}

uint16_t htons(uint16_t AValue) { return g_htons.load()(AValue); }
uint16_t ntohs(uint16_t AValue) { return g_ntohs.load()(AValue); }
uint32_t htonl(uint32_t AValue) { return static_cast<uint32_t>(g_htonl.load()(AValue)); }
uint32_t ntohl(uint32_t AValue) { return static_cast<uint32_t>(g_ntohl.load()(AValue)); }

int32_t WSAGetLastError() { return g_WSAGetLastError.load()(); }
void WSASetLastError(int32_t AError) { g_WSASetLastError.load()(AError); }

std::string SystemErrorText(uint32_t AErrorNumber) {
  wchar_t buffer[512] = {};
  const DWORD length =
      ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                       AErrorNumber, 0, buffer, 512, nullptr);
  std::string text = win32::Narrow(buffer, length);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
    text.pop_back();
  }
  return text;
}

std::string SocketErrorText(int32_t AErrorNumber) {
  const std::string text = SystemErrorText(static_cast<uint32_t>(AErrorNumber));
  return text.empty() ? "Winsock error " + std::to_string(AErrorNumber) : text;
}

void SetStubErrorHandler(TStubErrorHandler AHandler) { g_stub_error_handler.store(AHandler); }

// Every Windows this program runs on belongs to the NT family. The hook is offered only when
// the loaded library exports TransmitFile (it usually lives in another library), so that a
// caller falls back to sending the file itself instead of meeting the stub error every time.
TFileSendProc FileSendHook() {
  const HMODULE library = g_library.load();
  if (!library || !::GetProcAddress(library, "TransmitFile")) return nullptr;
  return &SendWholeFile;
}

}  // namespace tavo::platform::ws2
