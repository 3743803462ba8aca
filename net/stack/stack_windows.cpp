// The platform stack: every operation is one call of the ws2 binding, with Windows Sockets
// semantics on every platform.

#include <atomic>
#include <cstring>

#include "net/stack/address_parts.h"
#include "net/stack/socket_list.h"
#include "net/stack/stack.h"
#include "platform/ws2.h"
#include "resources/stack_texts.h"
#include "rtl/convert.h"
#include "rtl/format.h"

namespace tavo::net {

namespace ws2 = platform::ws2;

namespace {

// Whether the platform start-up has run. It runs once per process, with the first stack, and
// is undone only at program end: stacks come and go with the network components.
std::atomic<bool> g_started{false};

[[noreturn]] void RaiseStubError(const std::string& ATitle, uint32_t AErrorNumber) {
  throw EIdWS2StubError(ATitle, AErrorNumber);
}

// At program end: the platform clean-up when the start-up ran, then the library unloading.
struct TProgramEnd {
  ~TProgramEnd() {
    if (g_started.exchange(false)) {
      try {
        ws2::WSACleanup();
      } catch (...) {
        // Nothing can be reported at program end; the library is freed below all the same.
      }
    }
    ws2::UnloadLibrary();
  }
} g_program_end;

// The port a caller gives must fit the 16 bits of a socket address; a wider value would
// silently name another port.
bool ValidPort(int32_t APort) { return APort >= 0 && APort <= 0xFFFF; }

// The text of a socket address the platform returned: dotted for IPv4 (as AddressToText
// spells it), the platform's shortest form for IPv6.
std::string TextOf(TIdStack& AStack, const ws2::TSockAddr& AAddr) {
  return AAddr.Family == Id_PF_INET6 ? ws2::AddressText(AAddr) : AStack.AddressToText(AAddr.Addr);
}

// A socket address of the family given from its text and port; false (10022 left for the
// caller) when the text is no address of that family or the port does not fit.
bool AddressFor(TIdStack& AStack, int32_t AFamily, const std::string& AIP, int32_t APort,
                ws2::TSockAddr& AAddr) {
  if (!ValidPort(APort)) {
    ws2::WSASetLastError(Id_WSAEINVAL);
    return false;
  }
  AAddr = ws2::TSockAddr{};
  if (AFamily == Id_PF_INET6) {
    // The empty text is any local address, as for IPv4.
    std::vector<ws2::TSockAddr> parsed;
    if (!AIP.empty() && !ws2::getaddrinfo(AIP, Id_PF_INET6, true, parsed)) {
      ws2::WSASetLastError(Id_WSAEINVAL);
      return false;
    }
    if (!parsed.empty()) AAddr = parsed.front();
  } else {
    AAddr.Addr = AIP.empty() ? ws2::kInAddrAny : AStack.TextToAddress(AIP);
  }
  AAddr.Family = static_cast<int16_t>(AFamily);
  AAddr.Port = ws2::htons(static_cast<uint16_t>(APort));
  return true;
}

// One end's address of a connected socket (getpeername or getsockname), raising on failure.
using TNameQuery = int32_t (*)(ws2::TSocket, ws2::TSockAddr&);
void QueryName(TIdStack& AStack, TNameQuery AQuery, TIdStackSocketHandle ASocket,
               int32_t& AFamily, std::string& AIP, int32_t& APort) {
  ws2::TSockAddr addr;
  AStack.CheckResult(AQuery(ASocket, addr));
  AFamily = addr.Family;
  AIP = TextOf(AStack, addr);
  APort = ws2::ntohs(addr.Port);
}

}  // namespace

TIdStackWindows::TIdStackWindows() {
  ws2::SetStubErrorHandler(&RaiseStubError);
  if (!g_started.load()) {
    if (ws2::WSAStartup(0x0202) != 0) {
      throw EIdStackInitializationFailed(res::kWinsockInitError);
    }
    g_started.store(true);
  }
}

TIdStackWindows::~TIdStackWindows() = default;

TIdStack* TIdStackWindows::Create() { return new TIdStackWindows(); }

void TIdStackWindows::FillLocalAddresses() {
  if (!local_addresses_) local_addresses_ = std::make_unique<rtl::TStringList>();
  local_addresses_->Clear();
  ws2::THostEnt host;
  if (!ws2::gethostbyname(GetHostName(), host)) {
    CheckResult(Id_SOCKET_ERROR);
    return;
  }
  for (uint32_t address : host.Addresses) local_addresses_->Add(AddressToText(address));
}

std::string TIdStackWindows::LocalAddress() { return LocalAddresses().Strings(0); }

const rtl::TStringList& TIdStackWindows::LocalAddresses() {
  if (!local_addresses_) local_addresses_ = std::make_unique<rtl::TStringList>();
  FillLocalAddresses();
  return *local_addresses_;
}

TIdStackSocketHandle TIdStackWindows::Accept(TIdStackSocketHandle ASocket, std::string& AIP,
                                             int32_t& APort) {
  ws2::TSockAddr addr;
  const TIdStackSocketHandle result = ws2::accept(ASocket, &addr);
  if (result != Id_INVALID_SOCKET) {
    AIP = TextOf(*this, addr);
    APort = ws2::ntohs(addr.Port);
  }
  return result;
}

int32_t TIdStackWindows::Bind(TIdStackSocketHandle ASocket, int32_t AFamily,
                              const std::string& AIP, int32_t APort) {
  ws2::TSockAddr addr;
  if (!AddressFor(*this, AFamily, AIP, APort, addr)) return Id_SOCKET_ERROR;
  return ws2::bind(ASocket, addr);
}

int32_t TIdStackWindows::CloseSocket(TIdStackSocketHandle ASocket) {
  return ws2::closesocket(ASocket);
}

int32_t TIdStackWindows::Connect(TIdStackSocketHandle ASocket, int32_t AFamily,
                                 const std::string& AIP, int32_t APort) {
  ws2::TSockAddr addr;
  if (!AddressFor(*this, AFamily, AIP, APort, addr)) return Id_SOCKET_ERROR;
  return ws2::connect(ASocket, addr);
}

std::string TIdStackWindows::GetHostByName(const std::string& AHostName) {
  ws2::THostEnt host;
  const bool found = ws2::gethostbyname(AHostName, host);
  if (!found || host.Addresses.empty()) {
    // A name with no IPv4 address has nothing to connect to either.
    if (found) ws2::WSASetLastError(ws2::kWsaNoData);
    CheckResult(Id_SOCKET_ERROR);
  }
  return AddressToText(host.Addresses.front());
}

std::string TIdStackWindows::GetHostName() {
  char buffer[250] = {};
  ws2::gethostname(buffer, sizeof(buffer));
  buffer[sizeof(buffer) - 1] = '\0';
  return std::string(buffer);
}

std::string TIdStackWindows::GetHostByAddr(const std::string& AAddress) {
  ws2::THostEnt host;
  if (!ws2::gethostbyaddr(ws2::inet_addr(AAddress), Id_PF_INET, host)) {
    CheckResult(Id_SOCKET_ERROR);
  }
  return host.Name;
}

int32_t TIdStackWindows::GetServByName(const std::string& AServiceName) {
  ws2::TServEnt service;
  if (ws2::getservbyname(AServiceName, nullptr, service)) return ws2::ntohs(service.Port);
  int32_t port = 0;
  if (!rtl::TryStrToInt(AServiceName, port)) {
    throw EIdInvalidServiceName(rtl::Format(res::kInvalidServiceName, {AServiceName}));
  }
  return port;
}

std::unique_ptr<rtl::TStringList> TIdStackWindows::GetServByPort(int32_t APort) {
  auto list = std::make_unique<rtl::TStringList>();
  ws2::TServEnt service;
  if (ValidPort(APort) &&
      ws2::getservbyport(ws2::htons(static_cast<uint16_t>(APort)), nullptr, service)) {
    list->Add(service.Name);
    for (const std::string& alias : service.Aliases) list->Add(alias);
  }
  return list;
}

uint16_t TIdStackWindows::HostToNetShort(uint16_t AHostShort) { return ws2::htons(AHostShort); }

int32_t TIdStackWindows::Listen(TIdStackSocketHandle ASocket, int32_t ABackLog) {
  return ws2::listen(ASocket, ABackLog);
}

uint16_t TIdStackWindows::NetToHostShort(uint16_t ANetShort) { return ws2::ntohs(ANetShort); }
uint32_t TIdStackWindows::HostToNetLong(uint32_t AHostLong) { return ws2::htonl(AHostLong); }
uint32_t TIdStackWindows::NetToHostLong(uint32_t ANetLong) { return ws2::ntohl(ANetLong); }

int32_t TIdStackWindows::Recv(TIdStackSocketHandle ASocket, void* ABuffer,
                              int32_t ABufferLength, int32_t AFlags) {
  return ws2::recv(ASocket, ABuffer, ABufferLength, AFlags);
}

int32_t TIdStackWindows::RecvFrom(TIdStackSocketHandle ASocket, void* ABuffer, int32_t ALength,
                                  int32_t AFlags, std::string& AIP, int32_t& APort) {
  ws2::TSockAddr from;
  const int32_t result = ws2::recvfrom(ASocket, ABuffer, ALength, AFlags, &from);
  if (result != Id_SOCKET_ERROR) {
    AIP = TextOf(*this, from);
    APort = ws2::ntohs(from.Port);
  }
  return result;
}

int32_t TIdStackWindows::Select(TIdSocketList* ARead, TIdSocketList* AWrite,
                                TIdSocketList* AErrors, int32_t ATimeout) {
  TIdSocketList* lists[3] = {ARead, AWrite, AErrors};
  ws2::TFdSet sets[3];
  // Every list is checked before anything is copied or called, so an oversized list never
  // reaches the platform.
  for (TIdSocketList* list : lists) {
    if (list && list->Count() > Id_SOCKETS_PER_SET) {
      throw EIdStackSetSizeExceeded(res::kSetSizeExceeded);
    }
  }
  for (int i = 0; i < 3; ++i) {
    if (!lists[i]) continue;
    const int32_t count = lists[i]->Count();
    for (int32_t j = 0; j < count; ++j) sets[i].Sockets[j] = lists[i]->Items(j);
    sets[i].Count = static_cast<uint32_t>(count);
  }

  ws2::TTimeVal time_value;
  const ws2::TTimeVal* timeout = nullptr;
  if (ATimeout != TimeoutInfinite) {
    time_value.Sec = ATimeout / 1000;
    time_value.USec = (ATimeout % 1000) * 1000;
    timeout = &time_value;
  }
  const int32_t result = ws2::select(lists[0] ? &sets[0] : nullptr,
                                     lists[1] ? &sets[1] : nullptr,
                                     lists[2] ? &sets[2] : nullptr, timeout);

  for (int i = 0; i < 3; ++i) {
    if (!lists[i]) continue;
    while (lists[i]->Count() > 0) lists[i]->Remove(lists[i]->Items(lists[i]->Count() - 1));
    for (uint32_t j = 0; j < sets[i].Count; ++j) lists[i]->Add(sets[i].Sockets[j]);
  }
  return result;
}

int32_t TIdStackWindows::Send(TIdStackSocketHandle ASocket, const void* ABuffer,
                              int32_t ABufferLength, int32_t AFlags) {
  return ws2::send(ASocket, ABuffer, ABufferLength, AFlags);
}

int32_t TIdStackWindows::SendTo(TIdStackSocketHandle ASocket, const void* ABuffer,
                                int32_t ABufferLength, int32_t AFlags, const std::string& AIP,
                                int32_t APort) {
  ws2::TSockAddr addr;
  if (!AddressFor(*this, FamilyOf(AIP), AIP, APort, addr)) return Id_SOCKET_ERROR;
  return ws2::sendto(ASocket, ABuffer, ABufferLength, AFlags, addr);
}

int32_t TIdStackWindows::SetSockOpt(TIdStackSocketHandle ASocket, int32_t ALevel,
                                    int32_t AOptName, const void* AOptVal, int32_t AOptLen) {
  return ws2::setsockopt(ASocket, ALevel, AOptName, AOptVal, AOptLen);
}

TIdStackSocketHandle TIdStackWindows::Socket(int32_t AFamily, int32_t AStruct,
                                             int32_t AProtocol) {
  return ws2::socket(AFamily, AStruct, AProtocol);
}

int32_t TIdStackWindows::Shutdown(TIdStackSocketHandle ASocket, int32_t AHow) {
  return ws2::shutdown(ASocket, AHow);
}

std::string TIdStackWindows::ErrorText(int32_t AErrorNumber) {
  if (AErrorNumber == Id_WSAHOST_NOT_FOUND) {
    return rtl::Format(res::kSocketErrorFormat, {AErrorNumber, res::kHostNotFound.Text()});
  }
  return TIdStack::ErrorText(AErrorNumber);
}

int32_t TIdStackWindows::QueryLastError() { return ws2::WSAGetLastError(); }

void TIdStackWindows::GetPeerName(TIdStackSocketHandle ASocket, int32_t& AFamily,
                                  std::string& AIP, int32_t& APort) {
  QueryName(*this, &ws2::getpeername, ASocket, AFamily, AIP, APort);
}

void TIdStackWindows::GetSockName(TIdStackSocketHandle ASocket, int32_t& AFamily,
                                  std::string& AIP, int32_t& APort) {
  QueryName(*this, &ws2::getsockname, ASocket, AFamily, AIP, APort);
}

int32_t TIdStackWindows::GetSockOpt(TIdStackSocketHandle ASocket, int32_t ALevel,
                                    int32_t AOptName, void* AOptVal, int32_t& AOptLen) {
  return ws2::getsockopt(ASocket, ALevel, AOptName, AOptVal, &AOptLen);
}

int32_t TIdStackWindows::IOControl(TIdStackSocketHandle ASocket, int32_t ACommand,
                                   uint32_t& AArgument) {
  return ws2::ioctlsocket(ASocket, ACommand, AArgument);
}

std::string TIdStackWindows::AddressToText(uint32_t AAddress) {
  uint8_t bytes[4];
  std::memcpy(bytes, &AAddress, sizeof(bytes));
  return rtl::IntToStr(bytes[0]) + "." + rtl::IntToStr(bytes[1]) + "." +
         rtl::IntToStr(bytes[2]) + "." + rtl::IntToStr(bytes[3]);
}

void TIdStackWindows::ParseAddress(const std::string& AIP, uint32_t& AAddress) {
  // Each part's low eight bits, first part first, in memory (= network) order.
  const auto parts = detail::SplitAddress(AIP);
  uint8_t bytes[4];
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(rtl::StrToInt(parts[i]) & 0xFF);
  std::memcpy(&AAddress, bytes, sizeof(bytes));
}

std::vector<std::string> TIdStackWindows::GetHostAddresses(const std::string& AHostName,
                                                           TIdAddressFamily AFamily) {
  const int32_t family = AFamily == afIPv4 ? Id_PF_INET : AFamily == afIPv6 ? Id_PF_INET6
                                                                             : ws2::kAfUnspec;
  std::vector<ws2::TSockAddr> found;
  if (!ws2::getaddrinfo(AHostName, family, false, found)) CheckResult(Id_SOCKET_ERROR);
  std::vector<std::string> addresses;
  for (const ws2::TSockAddr& address : found) addresses.push_back(TextOf(*this, address));
  return addresses;
}

bool TIdStackWindows::ParseIPv6Address(const std::string& AText,
                                       std::array<uint8_t, 16>* ABytes) {
  // Hex groups, colons and an IPv4 tail, then an optional zone ("%eth0"); brackets and other
  // decoration are not part of an address, whatever a system's parser forgives.
  const std::string address = AText.substr(0, AText.find('%'));
  if (address.find(':') == std::string::npos ||
      address.find_first_not_of("0123456789abcdefABCDEF:.") != std::string::npos)
    return false;
  std::vector<ws2::TSockAddr> parsed;
  if (!ws2::getaddrinfo(AText, Id_PF_INET6, true, parsed)) return false;
  if (ABytes != nullptr) std::memcpy(ABytes->data(), parsed.front().Addr6, 16);
  return true;
}

TIdServeFileProc GServeFileProc() { return ws2::FileSendHook(); }

}  // namespace tavo::net
