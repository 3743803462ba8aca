#include "tools/tavo-ftp/session.h"

#include <algorithm>

#include "net/tcp/socks_info.h"
#include "net/tcp/iohandler.h"
#include "net/tls/tls.h"
#include "rtl/format.h"
#include "tools/tavo-ftp/messages.h"

namespace tavo::tool {
namespace {

constexpr const char kQuit[] = "QUIT";
constexpr const char kPwd[] = "PWD";
// A downloader moves bulk data: receives of 256 KiB (the library's default chunk is 32 KiB)
// cut the system calls per byte, and each chunk is one write to the file. The data connection
// takes this size from the client, as it takes the time-outs.
constexpr int32_t kBulkReceiveSize = 256 * 1024;

// The folder a 257 reply names: the text between its first quote and the quote that closes it,
// a doubled quote standing for one. Empty when it names none.
std::string QuotedFolder(const std::string& AText) {
  const size_t open = AText.find('"');
  if (open == std::string::npos) return {};
  std::string folder;
  for (size_t i = open + 1; i < AText.size(); ++i) {
    if (AText[i] != '"') {
      folder += AText[i];
    } else if (i + 1 < AText.size() && AText[i + 1] == '"') {
      folder += '"';
      ++i;
    } else {
      return folder;
    }
  }
  return {};
}

}  // namespace

Session::Session(const Options& o, const FtpUrl& AServer, const Login& ALogin, Console& AErr,
                 bool ASeveralFolders)
    : options_(o), err_(AErr), several_folders_(ASeveralFolders) {
  server_ = SubjectBeforeConnect(AServer, ALogin).server;
  user_ = ALogin.user;
  ConfigureConnection(AServer, ALogin);
  if (!o.proxy_host.empty() || o.proxy_type == net::fpcmTransparent) ConfigureFtpProxy();
  if (o.tls) {
    ftp_.SetUseTLS(net::utRequireTLS);
    ftp_.TLSSettings().SetCAFile(o.cacert);
    ftp_.TLSSettings().SetInsecureSkipCertificateCheck(o.insecure);
  }
  if (o.socks_version != net::svNoSocks) ConfigureSocks();
  WatchStatusAndDialogue();
}

void Session::ConfigureConnection(const FtpUrl& AServer, const Login& ALogin) {
  const Options& o = options_;
  ftp_.SetHost(AServer.host);
  ftp_.SetPort(AServer.port);
  ftp_.SetUsername(ALogin.user);
  ftp_.SetPassword(ALogin.password);
  ftp_.SetPassive(!o.active);
  // Unlike the launcher, a tool for any server speaks FTP as servers do today: either address
  // family, EPSV and EPRT first (each falls back once where refused), names in UTF-8 where the
  // server offers it.
  ftp_.SetAddressFamily(o.family);
  ftp_.SetUseEPSV(o.epsv);
  ftp_.SetUseEPRT(o.eprt);
  ftp_.SetUseUTF8(true);
  ftp_.SetTrustPasvAddress(o.trust_pasv_address);
  ftp_.SetAllowForeignDataPeer(o.allow_foreign_data_peer);
  ftp_.SetReadTimeout(o.read_timeout_ms);
  // Under a rate limit, chunks of an eighth of a second's worth keep the pace even.
  ftp_.SetRecvBufferSize(o.limit_rate > 0 ? static_cast<int32_t>(std::clamp<int64_t>(
                                                o.limit_rate / 8, 1024, kBulkReceiveSize))
                                          : kBulkReceiveSize);
  ftp_.SetTransferType(o.ascii ? net::ftASCII : net::ftBinary);
}

void Session::ConfigureFtpProxy() {
  net::TIdFtpProxySettings& proxy = ftp_.ProxySettings();
  proxy.SetProxyType(options_.proxy_type);
  proxy.SetHost(options_.proxy_host);
  proxy.SetPort(options_.proxy_port);
  proxy.SetUserName(options_.proxy_user);
  proxy.SetPassword(options_.proxy_password);
}

void Session::ConfigureSocks() {
  const Options& o = options_;
  // The control connection's handler carries the proxy settings; every data connection
  // takes a copy of them. With TLS it must be able to carry TLS as well.
  net::TIdIOHandlerSocket* handler = o.tls ? new net::TIdIOHandlerTLS(&ftp_)
                                           : new net::TIdIOHandlerSocket(&ftp_);  // owned
  net::TIdSocksInfo& socks = *handler->SocksInfo();
  socks.SetVersion(o.socks_version);
  socks.SetHost(o.socks_host);
  socks.SetPort(o.socks_port);
  socks.SetUsername(o.socks_user);
  socks.SetPassword(o.socks_password);
  socks.SetAuthentication(o.socks_password.empty() && o.socks_user.empty()
                              ? net::saNoAuthentication
                              : net::saUsernamePassword);
  ftp_.SetIOHandler(handler);
}

void Session::WatchStatusAndDialogue() {
  ftp_.SetOnStatus([this](rtl::TComponent*, net::TIdStatus status, const std::string& text) {
    if (status == net::ftpTransfer) {
      transferred_ = in_transfer_ = true;
    } else if (status == net::ftpReady && in_transfer_) {
      in_transfer_ = false;
      held_ready_ = text;
      return;
    } else if (status == net::ftpAborted) {
      aborted_ = true;
    }
    if (options_.verbose) err_.Line(text);
  });
  // The dialogue is watched always: the first USER line moves the session from connecting to
  // logging in, whatever proxy or TLS steps came before. It is shown only with -v.
  trace_.SetOnSend([this](rtl::TComponent*, rtl::TStream& chunk) { Trace("> ", sent_, chunk); });
  trace_.SetOnReceive(
      [this](rtl::TComponent*, rtl::TStream& chunk) { Trace("< ", received_, chunk); });
  ftp_.SetIntercept(&trace_);
}

Session::~Session() {
  try {
    if (ftp_.Connected()) ftp_.Disconnect();
  } catch (...) {
    // Nobody to tell: the session is being given up.
  }
}

void Session::Trace(const char* APrefix, std::string& APending, rtl::TStream& AChunk) {
  const int64_t size = AChunk.Size();
  std::string bytes(static_cast<size_t>(size), '\0');
  AChunk.SetPosition(0);
  AChunk.Read(bytes.data(), size);
  APending += bytes;
  for (size_t lf = APending.find('\n'); lf != std::string::npos; lf = APending.find('\n')) {
    std::string line = APending.substr(0, lf);
    APending.erase(0, lf + 1);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (*APrefix == '>') {
      line = net::TIdFTP::CommandForDisplay(line);
      if (step_ == TStep::stConnect && line.compare(0, 5, "USER ") == 0) step_ = TStep::stLogin;
    }
    if (options_.verbose) err_.Line(APrefix + line);
  }
}

void Session::Open() {
  step_ = TStep::stConnect;
  ftp_.Connect(true, options_.connect_timeout_ms);
  folder_.clear();
}

void Session::EnterFolder(const std::string& AFolder) {
  if (AFolder == folder_) return;
  step_ = TStep::stChangeDir;
  if (several_folders_ && login_folder_.empty() && folder_.empty()) {
    // Before leaving the login folder for the first time: where it is, to come back.
    if (ftp_.SendRawCommand(kPwd) == 257)
      login_folder_ = QuotedFolder(ftp_.LastReply().Text().Count() > 0 ? ftp_.LastReply().Text()[0]
                                                                        : std::string());
  }
  if (!folder_.empty() && (AFolder.empty() || AFolder.front() != '/')) {
    // Back to the login folder first: a URL's folder is relative to it.
    if (login_folder_.empty()) {
      // The server never said where that is; a new login starts there again.
      Close();
      Open();
      step_ = TStep::stChangeDir;
    } else if (!AFolder.empty() && login_folder_.front() == '/') {
      ftp_.ChangeDir(login_folder_ + (login_folder_.back() == '/' ? "" : "/") + AFolder);
      folder_ = AFolder;
      return;
    } else {
      ftp_.ChangeDir(login_folder_);
      folder_.clear();
    }
  }
  if (!AFolder.empty()) ftp_.ChangeDir(AFolder);
  folder_ = AFolder;
}

void Session::Close() {
  try {
    if (ftp_.Connected()) {
      ftp_.SendCmd(kQuit, int16_t{-1});
      ftp_.Disconnect();
    }
  } catch (...) {
    // A server that closed first, or a reply that never came: the session ends either way.
    try {
      ftp_.Disconnect();
    } catch (...) {
    }
  }
}

StepSubject Session::Subject(const std::string& APath) const { return {server_, user_, APath}; }

StepSubject Session::SubjectBeforeConnect(const FtpUrl& AServer, const Login& ALogin) {
  return {ServerText(AServer), ALogin.user, ""};
}

void Session::ResetTransferState() {
  aborted_ = transferred_ = in_transfer_ = false;
  held_ready_.clear();
}

void Session::ShowReady() {
  if (options_.verbose && !held_ready_.empty()) err_.Line(held_ready_);
  held_ready_.clear();
}

}  // namespace tavo::tool
