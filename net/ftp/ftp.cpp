#include "net/ftp/ftp.h"

#include "net/stack/exceptions.h"
#include "resources/ftp_texts.h"
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
      proxy_settings_(std::make_unique<TIdFtpProxySettings>()),
      login_reply_(std::make_unique<TIdRFCReply>()),
      list_lines_(std::make_unique<rtl::TStringList>()) {
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
  try {
    if (proxy_settings_->ProxyType() != fpcmNone && !proxy_settings_->Host().empty()) {
      SetHost(proxy_settings_->Host());
      SetPort(proxy_settings_->Port());
    }
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

    if (AAutoLogin) {
      Login();
      if (on_after_client_login_) on_after_client_login_(this);
      SendTransferType();
      if (SendCmd(res::kFtpCmdSyst, std::vector<int16_t>{200, 215, 500}) == 500) {
        system_name_ = res::kFtpSystemUnknown;
      } else {
        system_name_ = LastReply().Text().Count() > 0 ? LastReply().Text()[0] : std::string();
      }
      ReportStatus(ftpReady, {res::kFtpConnected});
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
