#include "net/tcp/socks_info.h"

#include <array>
#include <cstring>
#include <string_view>

#include "net/stack/exceptions.h"
#include "net/stack/stack.h"
#include "net/tcp/iohandler.h"
#include "resources/socks_texts.h"
#include "resources/tcp_texts.h"
#include "rtl/format.h"

namespace tavo::net {

namespace {

// Every text on the wire is counted in one byte (SOCKS 5) or ends with a NUL (SOCKS 4, held
// to the same bound); a longer one is refused, never cut.
constexpr size_t kMaxFieldLength = 255;

constexpr uint8_t kSocks4Version = 4;
constexpr uint8_t kSocks5Version = 5;
constexpr uint8_t kCommandConnect = 1;
constexpr uint8_t kSocks4Granted = 90;
constexpr uint8_t kMethodNone = 0;
constexpr uint8_t kMethodUsernamePassword = 2;
constexpr uint8_t kSubnegotiationVersion = 1;
constexpr uint8_t kAddressTypeIPv4 = 1;
constexpr uint8_t kAddressTypeDomain = 3;
constexpr uint8_t kAddressTypeIPv6 = 4;

// Refuses a text the wire format cannot carry; nothing has been sent yet when this raises.
// The message names the field and its length, never its content (it may be a password).
void CheckField(std::string_view AValue, const char* AFieldName, bool ANulTerminated) {
  if (AValue.size() > kMaxFieldLength)
    throw EIdSocksError(rtl::Format(
        res::kSocksFieldTooLong,
        {AFieldName, static_cast<int64_t>(AValue.size()), static_cast<int64_t>(kMaxFieldLength)}));
  if (ANulTerminated && AValue.find('\0') != std::string_view::npos)
    throw EIdSocksError(rtl::Format(res::kSocksFieldHasNul, {AFieldName}));
}

// The target port as it travels: 16 bits in network order. A port that does not fit is refused
// like any other out-of-range port (10022), instead of naming another port.
std::array<uint8_t, 2> WirePort(int32_t APort) {
  if (APort < 0 || APort > 0xFFFF) GlobalStack->RaiseError(Id_WSAEINVAL);
  const uint16_t net = GlobalStack->HostToNetShort(static_cast<uint16_t>(APort));
  std::array<uint8_t, 2> bytes{};
  std::memcpy(bytes.data(), &net, 2);
  return bytes;
}

void Append(std::string& AOut, std::initializer_list<uint8_t> ABytes) {
  for (uint8_t b : ABytes) AOut.push_back(static_cast<char>(b));
}

void AppendCounted(std::string& AOut, std::string_view AText) {
  AOut.push_back(static_cast<char>(static_cast<uint8_t>(AText.size())));
  AOut.append(AText);
}

// Sends the whole request. A failing send passes on as the transport's socket error; a send
// that reports the connection closed is the proxy's failure to answer.
void SendRequest(TIdIOHandlerSocket& AHandler, const std::string& ARequest) {
  size_t sent = 0;
  while (sent < ARequest.size()) {
    const int32_t n =
        AHandler.Send(ARequest.data() + sent, static_cast<int32_t>(ARequest.size() - sent));
    if (n < 0) GlobalStack->CheckResult(n);
    if (n <= 0) throw EIdSocksServerRespondError(res::kSocksServerRespondError);
    sent += static_cast<size_t>(n);
  }
}

// Reads until ALength bytes have arrived (TCP may hand a reply over in pieces). A proxy that
// closes first, stays silent longer than ATimeout, or a failing receive leaves no reply to
// judge. EIdClosedSocket (no open socket at all) passes on from the handler.
void ReceiveReply(TIdIOHandlerSocket& AHandler, uint8_t* ABuffer, int32_t ALength,
                  int32_t ATimeout) {
  const int32_t timeout = ATimeout == TimeoutDefault ? kSocksReplyTimeoutDefault : ATimeout;
  int32_t got = 0;
  while (got < ALength) {
    if (AHandler.Connected() && !AHandler.WaitReadable(timeout))
      throw EIdSocksServerRespondError(res::kSocksServerRespondError);
    const int32_t n = AHandler.Recv(ABuffer + got, ALength - got);
    if (n <= 0) throw EIdSocksServerRespondError(res::kSocksServerRespondError);
    got += n;
  }
}

// SOCKS 5 guards each receive: whatever goes wrong there is the proxy not answering.
void ReceiveSocks5Reply(TIdIOHandlerSocket& AHandler, uint8_t* ABuffer, int32_t ALength,
                        int32_t ATimeout) {
  try {
    ReceiveReply(AHandler, ABuffer, ALength, ATimeout);
  } catch (const EIdSocksServerRespondError&) {
    throw;
  } catch (const EIdException&) {
    throw EIdSocksServerRespondError(res::kSocksServerRespondError);
  }
}

[[noreturn]] void RaiseSocks4Result(uint8_t AResult) {
  switch (AResult) {
    case 91:
      throw EIdSocksRequestFailed(res::kSocksRequestFailed);
    case 92:
      throw EIdSocksRequestServerFailed(res::kSocksRequestServerFailed);
    case 93:
      throw EIdSocksRequestIdentFailed(res::kSocksRequestIdentFailed);
    default:
      throw EIdSocksUnknownError(res::kSocksUnknownError);
  }
}

[[noreturn]] void RaiseSocks5Result(uint8_t AResult) {
  switch (AResult) {
    case 1:
      throw EIdSocksServerGeneralError(res::kSocksServerGeneralError);
    case 2:
      throw EIdSocksServerPermissionError(res::kSocksServerPermissionError);
    case 3:
      throw EIdSocksServerNetUnreachableError(res::kSocksServerNetUnreachableError);
    case 4:
      throw EIdSocksServerHostUnreachableError(res::kSocksServerHostUnreachableError);
    case 5:
      throw EIdSocksServerConnectionRefusedError(res::kSocksServerConnectionRefusedError);
    case 6:
      throw EIdSocksServerTTLExpiredError(res::kSocksServerTTLExpiredError);
    case 7:
      throw EIdSocksServerCommandError(res::kSocksServerCommandError);
    case 8:
      throw EIdSocksServerAddressError(res::kSocksServerAddressError);
    default:
      throw EIdSocksUnknownError(res::kSocksUnknownError);
  }
}

}  // namespace

TIdSocksInfo::TIdSocksInfo(rtl::TComponent* AOwner) : TIdComponent(AOwner) {}

TIdSocksInfo::~TIdSocksInfo() = default;

void TIdSocksInfo::SetIOHandler(TIdIOHandlerSocket* AHandler) {
  if (io_handler_ == AHandler) return;
  // The previous handler's registration stays: the runtime links both directions, and the
  // handler may still watch us. A notice about a handler we no longer use is ignored.
  io_handler_ = AHandler;
  if (io_handler_ != nullptr) FreeNotification(io_handler_);
}

void TIdSocksInfo::Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) {
  if (Operation == rtl::opRemove && AComponent != nullptr &&
      AComponent == static_cast<rtl::TComponent*>(io_handler_))
    io_handler_ = nullptr;
  TIdComponent::Notification(AComponent, Operation);
}

void TIdSocksInfo::Assign(const rtl::TPersistent& ASource) {
  const auto* other = dynamic_cast<const TIdSocksInfo*>(&ASource);
  if (other == nullptr) {
    rtl::TPersistent::Assign(ASource);  // refuses
    return;
  }
  if (other == this) return;
  authentication_ = other->authentication_;
  host_ = other->host_;
  password_ = other->password_;
  port_ = other->port_;
  username_ = other->username_;
  version_ = other->version_;
  reply_timeout_ = other->reply_timeout_;
}

void TIdSocksInfo::SetReplyTimeout(int32_t v) {
  if (v < TimeoutInfinite) throw EIdException(rtl::Format(res::kTcpInvalidTimeout, {v}));
  reply_timeout_ = v;
}

void TIdSocksInfo::Negotiate(const std::string& AHost, int32_t APort) {
  switch (version_) {
    case svSocks4:
    case svSocks4A:
      NegotiateSocks4(AHost, APort);
      break;
    case svSocks5:
      NegotiateSocks5(AHost, APort);
      break;
    case svNoSocks:
      break;
    default:
      // The connection went to the proxy; using it as the target's would be silently wrong.
      throw EIdSocksError(rtl::Format(res::kSocksVersionUnsupported, {static_cast<int>(version_)}));
  }
}

TIdIOHandlerSocket& TIdSocksInfo::Handler() const {
  if (io_handler_ == nullptr) throw EIdClosedSocket(res::kTcpClosedSocket);
  return *io_handler_;
}

void TIdSocksInfo::NegotiateSocks4(const std::string& AHost, int32_t APort) {
  TIdIOHandlerSocket& handler = Handler();
  const bool socks4a = version_ == svSocks4A;
  // Both versions carry IPv4 addresses and names only.
  if (GlobalStack->IsIPv6Address(AHost)) throw EIdSocksError(rtl::Format(res::kSocksNoIPv6, {AHost}));
  CheckField(username_, res::kSocksFieldUserId, true);
  if (socks4a) CheckField(AHost, res::kSocksFieldHost, true);
  const std::array<uint8_t, 2> port = WirePort(APort);

  // SOCKS 4A leaves the name to the proxy and says so with the address 0.0.0.1; SOCKS 4
  // needs the address itself (dotted text and "localhost" need no look-up).
  std::array<uint8_t, 4> address{0, 0, 0, 1};
  if (!socks4a) {
    const uint32_t net = GlobalStack->TextToAddress(GlobalStack->HostToAddress(AHost));
    std::memcpy(address.data(), &net, 4);
  }

  std::string request;
  Append(request, {kSocks4Version, kCommandConnect, port[0], port[1]});
  Append(request, {address[0], address[1], address[2], address[3]});
  request += username_;
  request.push_back('\0');
  if (socks4a) {
    request += AHost;
    request.push_back('\0');
  }
  SendRequest(handler, request);

  std::array<uint8_t, 8> reply{};
  ReceiveReply(handler, reply.data(), static_cast<int32_t>(reply.size()), reply_timeout_);
  if (reply[1] != kSocks4Granted) RaiseSocks4Result(reply[1]);
}

namespace {

// Method selection: exactly one method is offered, and only that one is accepted.
void SelectSocks5Method(TIdIOHandlerSocket& AHandler, uint8_t AMethod, int32_t ATimeout) {
  std::string request;
  Append(request, {kSocks5Version, 1, AMethod});
  SendRequest(AHandler, request);
  std::array<uint8_t, 2> choice{};
  ReceiveSocks5Reply(AHandler, choice.data(), 2, ATimeout);
  if (choice[1] != AMethod) throw EIdSocksAuthMethodError(res::kSocksAuthMethodError);
}

void AuthenticateSocks5(TIdIOHandlerSocket& AHandler, const std::string& AUsername,
                        const std::string& APassword, int32_t ATimeout) {
  std::string request;
  Append(request, {kSubnegotiationVersion});
  AppendCounted(request, AUsername);
  AppendCounted(request, APassword);
  SendRequest(AHandler, request);
  std::array<uint8_t, 2> status{};
  ReceiveSocks5Reply(AHandler, status.data(), 2, ATimeout);
  if (status[1] != 0) throw EIdSocksAuthError(res::kSocksAuthError);
}

// The target travels as a name, even a dotted one, so the proxy alone resolves it; an IPv6
// literal, which is no name, as its sixteen bytes.
std::string Socks5ConnectRequest(const std::string& AHost, const std::array<uint8_t, 2>& APort) {
  std::string request;
  std::array<uint8_t, 16> ipv6{};
  if (GlobalStack->ParseIPv6Address(AHost, &ipv6)) {
    Append(request, {kSocks5Version, kCommandConnect, 0, kAddressTypeIPv6});
    request.append(reinterpret_cast<const char*>(ipv6.data()), ipv6.size());
  } else {
    Append(request, {kSocks5Version, kCommandConnect, 0, kAddressTypeDomain});
    AppendCounted(request, AHost);
  }
  Append(request, {APort[0], APort[1]});
  return request;
}

// Version, result, reserved, address type, and the first byte of the bound address (for a
// name, its length); the rest of the bound address and port are read and dropped, so that
// the next byte is the target's.
void ReceiveSocks5ConnectReply(TIdIOHandlerSocket& AHandler, int32_t ATimeout) {
  std::array<uint8_t, 5> head{};
  ReceiveSocks5Reply(AHandler, head.data(), 5, ATimeout);
  if (head[1] != 0) RaiseSocks5Result(head[1]);
  int32_t rest = 2;
  switch (head[3]) {
    case kAddressTypeIPv4:
      rest = 3 + 2;
      break;
    case kAddressTypeDomain:
      rest = head[4] + 2;
      break;
    case kAddressTypeIPv6:
      rest = 15 + 2;
      break;
    default:
      break;
  }
  std::array<uint8_t, 255 + 2> bound{};
  ReceiveSocks5Reply(AHandler, bound.data(), rest, ATimeout);
}

}  // namespace

void TIdSocksInfo::NegotiateSocks5(const std::string& AHost, int32_t APort) {
  TIdIOHandlerSocket& handler = Handler();
  const bool with_password = authentication_ == saUsernamePassword;
  if (with_password) {
    CheckField(username_, res::kSocksFieldUsername, false);
    CheckField(password_, res::kSocksFieldPassword, false);
  }
  CheckField(AHost, res::kSocksFieldHost, false);
  const std::array<uint8_t, 2> port = WirePort(APort);

  SelectSocks5Method(handler, with_password ? kMethodUsernamePassword : kMethodNone,
                     reply_timeout_);
  if (with_password) AuthenticateSocks5(handler, username_, password_, reply_timeout_);
  SendRequest(handler, Socks5ConnectRequest(AHost, port));
  ReceiveSocks5ConnectReply(handler, reply_timeout_);
}

}  // namespace tavo::net
