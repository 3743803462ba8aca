#include "net/ftp/ftp.h"

#include <algorithm>

#include "net/ftp/listing.h"
#include "net/stack/exceptions.h"
#include "net/tcp/trim.h"
#include "resources/ftp_texts.h"
#include "resources/tls_texts.h"
#include "rtl/convert.h"
#include "rtl/format.h"

namespace tavo::net {

void TIdFtpProxySettings::Assign(const rtl::TPersistent& Source) {
  if (const auto* other = dynamic_cast<const TIdFtpProxySettings*>(&Source)) {
    proxy_type_ = other->proxy_type_;
    host_ = other->host_;
    user_name_ = other->user_name_;
    password_ = other->password_;
    port_ = other->port_;
    return;
  }
  rtl::TPersistent::Assign(Source);
}

TIdFTP::TIdFTP(rtl::TComponent* AOwner)
    : TIdTCPClient(AOwner),
      tls_settings_(std::make_unique<TIdTLSSettings>()),
      proxy_settings_(std::make_unique<TIdFtpProxySettings>()),
      login_reply_(std::make_unique<TIdRFCReply>()),
      list_lines_(std::make_unique<rtl::TPackedLines>()) {
  SetPort(21);  // through the setter, as a derived client may watch it
  passive_ = false;
  transfer_type_ = ftBinary;
  resume_supported_ = false;
  resume_probed_ = false;
}

TIdFTP::~TIdFTP() = default;

void TIdFTP::Connect(bool AAutoLogin, int32_t ATimeout) {
  const std::string saved_host = Host();
  const int32_t saved_port = Port();
  // What the previous session learnt of its server is not this one's.
  epsv_refused_ = eprt_refused_ = features_asked_ = listing_is_mlsd_ = false;
  features_.clear();
  try {
    const bool via_proxy =
        proxy_settings_->ProxyType() != fpcmNone && !proxy_settings_->Host().empty();
    if (use_tls_ == utRequireTLS) {
      // TLS is set up with the peer we connect to: the FTP proxy when there is one.
      tls_host_ = via_proxy ? proxy_settings_->Host() : saved_host;
      PrepareTLS();
    }
    if (via_proxy) {
      SetHost(proxy_settings_->Host());
      SetPort(proxy_settings_->Port());
    }
    // Data connections go where this one goes (see OpenPassiveDataConnection), and no slower.
    control_host_ = Host();
    connect_timeout_ = ATimeout;
    try {
      TIdTCPClient::Connect(ATimeout);
    } catch (...) {
      SetHost(saved_host);
      SetPort(saved_port);
      throw;
    }
    // From here on Host names the real server again, also for the proxy login lines.
    SetHost(saved_host);
    SetPort(saved_port);

    GetResponse({220});
    GreetingReply().Assign(LastReply());
    if (use_tls_ == utRequireTLS) StartControlTLS();

    if (AAutoLogin) {
      Login();
      if (on_after_client_login_) on_after_client_login_(this);
      SendTransferType();
      if (SendCmd(res::kFtpCmdSyst, std::vector<int16_t>{200, 215, 500}) == 500) {
        system_name_ = res::kFtpSystemUnknown.Text();
      } else {
        system_name_ = LastReply().Text().Count() > 0 ? LastReply().Text()[0] : std::string();
      }
      // Whatever the server answers, the session goes on: names then travel in the server's
      // own encoding.
      if (use_utf8_ && SupportsFeature(res::kFtpFeatureUtf8))
        SendCmd(res::kFtpCmdOptsUtf8, int16_t{-1});
      ReportStatus(ftpReady, {res::kFtpConnected.Text()});
    }
  } catch (...) {
    // The caller gets the error that broke the session, not one from tidying up after it.
    try {
      Disconnect();
    } catch (...) {
    }
    throw;
  }
}

void TIdFTP::SendUserPass(const std::string& AUser, const std::string& APassword) {
  if (SendCmd(res::kFtpCmdUser + AUser, std::vector<int16_t>{230, 331}) == 331)
    SendCmd(res::kFtpCmdPass + APassword, int16_t{230});
}

void TIdFTP::SendProxyUserPass() {
  if (!proxy_settings_->UserName().empty())
    SendUserPass(proxy_settings_->UserName(), proxy_settings_->Password());
}

void TIdFTP::Login() {
  // Whatever happened before, the password never leaves in plain text when TLS is required.
  if (use_tls_ == utRequireTLS && ControlTLS() == nullptr)
    throw EIdTLSError(res::kFtpTlsNotNegotiated);
  const TIdFtpProxySettings& proxy = *proxy_settings_;
  switch (proxy.ProxyType()) {
    case fpcmNone:
      SendUserPass(username_, password_);
      break;
    case fpcmUserSite:
      SendProxyUserPass();
      SendUserPass(username_ + res::kFtpProxyLoginSeparator + Host(), password_);
      break;
    case fpcmSite:
      SendProxyUserPass();
      SendCmd(res::kFtpCmdSite + Host(), int16_t{-1});
      SendUserPass(username_, password_);
      break;
    case fpcmOpen:
      SendProxyUserPass();
      SendCmd(res::kFtpCmdOpen + Host(), int16_t{-1});
      SendUserPass(username_, password_);
      break;
    case fpcmUserPass: {
      const std::string user =
          rtl::Format(res::kFtpUserPassProxyUser, {username_, proxy.UserName(), Host()});
      if (SendCmd(user, std::vector<int16_t>{230, 331}) == 331) {
        const std::string pass = proxy.Password().empty()
                                     ? password_
                                     : password_ + res::kFtpProxyLoginSeparator + proxy.Password();
        SendCmd(res::kFtpCmdPass + pass, int16_t{230});
      }
      break;
    }
    case fpcmTransparent:
      SendProxyUserPass();
      SendUserPass(username_, password_);
      break;
    case fpcmHttpProxyWithFtp:
    default:
      throw EIdException(res::kFtpCommandNotSupported);
  }
  login_reply_->Assign(LastReply());
  if (ControlTLS() != nullptr) ProtectDataChannel();
}

// ---- TLS ------------------------------------------------------------------------------------

TIdIOHandlerTLS* TIdFTP::ControlTLS() const {
  auto* handler = dynamic_cast<TIdIOHandlerTLS*>(IOHandler());
  return handler != nullptr && handler->TLSActive() ? handler : nullptr;
}

int32_t TIdFTP::TLSTimeout() const { return ReadTimeout() > 0 ? ReadTimeout() : TimeoutInfinite; }

void TIdFTP::PrepareTLS() {
  if (!TLSAvailable()) throw EIdTLSNotAvailable(res::kTlsNotAvailable);
  // A CA file that cannot be read is found here, before anything is sent.
  tls_context_ = std::make_shared<TIdTLSContext>(*tls_settings_);
  if (IOHandler() == nullptr) {
    // What the TCP client would make, but able to carry TLS.
    auto* handler = new TIdIOHandlerTLS(this);  // owned by this client
    SetIOHandler(handler);
    handler->SetOnStatus(OnStatus());
    SetOwnsIOHandler(true);
  } else if (dynamic_cast<TIdIOHandlerTLS*>(IOHandler()) == nullptr) {
    throw EIdTLSError(res::kFtpTlsHandlerUnsuitable);
  }
}

void TIdFTP::StartControlTLS() {
  const int16_t code = SendCmd(res::kFtpCmdAuthTls, int16_t{-1});
  if (code != 234) {
    std::string reply = rtl::IntToStr(code);
    for (const std::string& line : LastReply().Text().Items()) reply += " " + line;
    throw EIdFTPTLSRefused(code, rtl::Format(res::kFtpTlsRefused, {reply}));
  }
  // Anything the server sent after its 234 came in plain text and could have been put there by
  // anyone on the path; read after the handshake it would pass for protected replies.
  if (InboundBuffer().VisibleSize() > 0) throw EIdTLSError(res::kFtpTlsPlaintextAfterAuth);
  auto* handler = dynamic_cast<TIdIOHandlerTLS*>(IOHandler());
  if (handler == nullptr) throw EIdTLSError(res::kFtpTlsHandlerUnsuitable);
  handler->StartTLS(tls_context_, tls_host_, nullptr, TLSTimeout());
}

void TIdFTP::ProtectDataChannel() {
  // TLS has no buffer size of its own to negotiate (0), and every data connection is
  // protected (P); a server that refuses either would send the data in plain text.
  SendCmd(res::kFtpCmdPbsz0, int16_t{200});
  SendCmd(res::kFtpCmdProtP, int16_t{200});
}

void TIdFTP::StartDataTLS(TIdTCPConnection& AData) {
  TIdIOHandlerTLS* control = ControlTLS();
  if (control == nullptr) return;
  auto* handler = dynamic_cast<TIdIOHandlerTLS*>(AData.IOHandler());
  if (handler == nullptr) throw EIdTLSError(res::kFtpTlsHandlerUnsuitable);
  // Offering the control connection's session lets the server see that the data connection
  // comes from the same client (vsftpd insists on it by default).
  handler->StartTLS(tls_context_, tls_host_, control->Session(), TLSTimeout());
}

void TIdFTP::SendTransferType() {
  const char* type = transfer_type_ == ftASCII ? res::kFtpTypeAscii : res::kFtpTypeBinary;
  SendCmd(std::string(res::kFtpCmdType) + type, int16_t{200});
}

void TIdFTP::SetTransferType(TIdFTPTransferType v) {
  // While a transfer runs the type belongs to it: the change is dropped, not deferred.
  if (v == transfer_type_ || data_connection_) return;
  transfer_type_ = v;
  if (Connected()) SendTransferType();
}

void TIdFTP::ChangeDir(const std::string& ADirectory) {
  SendCmd(res::kFtpCmdCwd + ADirectory, std::vector<int16_t>{200, 250});
}

int16_t TIdFTP::SendRawCommand(const std::string& ALine) { return SendCmd(ALine, int16_t{-1}); }

bool TIdFTP::ProbeResume() {
  if (resume_probed_) return resume_supported_;
  resume_probed_ = true;
  resume_supported_ = SendCmd(res::kFtpCmdRestProbe, int16_t{-1}) == 350;
  // The probe set a restart marker; take it back so the next transfer starts at 0.
  SendCmd(res::kFtpCmdRestReset, int16_t{-1});
  return resume_supported_;
}

int64_t TIdFTP::RemoteSize(const std::string& AFileName) {
  const int16_t code = SendCmd(res::kFtpCmdSize + AFileName, {213, 500, 502, 550});
  if (code != 213) return -1;
  const rtl::TStringList& text = LastReply().Text();
  const std::string value = text.Count() > 0 ? tcp_detail::TrimBlanks(text[0]) : std::string();
  int64_t size = -1;
  // Digits only: the runtime's signs and hexadecimal prefixes are no size a server sends.
  if (value.empty() || value.find_first_not_of("0123456789") != std::string::npos ||
      !rtl::TryStrToInt64(value, size))
    throw EIdFTPReplyFormatError(rtl::Format(res::kFtpSizeReplyInvalid, {value}));
  return size;
}

rtl::TDateTime TIdFTP::RemoteModified(const std::string& AFileName) {
  if (SendCmd(res::kFtpCmdMdtm + AFileName, {213, 500, 502, 550}) != 213) return 0;
  const rtl::TStringList& text = LastReply().Text();
  return ParseMdtmTime(text.Count() > 0 ? text[0] : std::string());
}

const std::map<std::string, std::string>& TIdFTP::Features() {
  if (!features_asked_) {
    features_asked_ = true;
    if (SendCmd(res::kFtpCmdFeat, {211, 500, 502}) == 211) features_ = ParseFeatures(LastReply());
  }
  return features_;
}

std::map<std::string, std::string> TIdFTP::ParseFeatures(const TIdRFCReply& AReply) {
  std::map<std::string, std::string> features;
  const rtl::TStringList& lines = AReply.RawLines();
  // The first line opens the list, the last closes it; each line between names one feature.
  for (int i = 1; i + 1 < lines.Count(); ++i) {
    const std::string& line = lines[i];
    const size_t blank = line.find(' ');
    std::string name = line.substr(0, blank);
    for (char& c : name) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    if (!name.empty())
      features[name] = blank == std::string::npos ? std::string() : line.substr(blank + 1);
  }
  return features;
}

void TIdFTP::MachineFileInfo(const std::string& AName, TIdFTPListItem& AItem) {
  SendCmd(AName.empty() ? std::string(res::kFtpCmdMlst)
                        : std::string(res::kFtpCmdMlst) + " " + AName,
          int16_t{250});
  // "250-...", the facts and the name on one indented line, "250 End".
  const rtl::TStringList& lines = LastReply().RawLines();
  if (lines.Count() < 3)
    throw EIdFTPReplyFormatError(rtl::Format(res::kFtpMlstReplyInvalid, {lines.Text()}));
  AItem.SetRawLine(lines[1]);
  TIdFTPListItems().ParseLine(flfMLSD, AItem);
}

rtl::TDateTime TIdFTP::ParseMdtmTime(const std::string& AText) {
  return TIdFTPListItems::ParseTimeVal(tcp_detail::TrimBlanks(AText));
}

std::string TIdFTP::CommandForDisplay(const std::string& ALine) {
  // The command word in any letter case, as servers take it; everything after it is hidden.
  const std::string word = ALine.substr(0, ALine.find(' '));
  std::string upper = word;
  for (char& c : upper) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  if (upper + " " != res::kFtpCmdPass || word.size() == ALine.size()) return ALine;
  return word + " " + res::kFtpMaskedPassword;
}

void TIdFTP::DoAfterGet(rtl::TStream*& VStream) {
  if (on_after_get_) on_after_get_(this, VStream);
}

void TIdFTP::Abort() {
  if (Connected()) {
    WriteLn(res::kFtpCmdAbor);
    // The running transfer must then read the server's answer to ABOR after its own reply.
    if (data_connection_) abort_sent_ = true;
  }
  CloseDataConnection();
}

void TIdFTP::CloseDataConnection() {
  if (data_connection_) data_connection_->CloseTransport();
}

}  // namespace tavo::net
