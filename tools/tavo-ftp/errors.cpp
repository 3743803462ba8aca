#include "tools/tavo-ftp/errors.h"

#include "net/stack/exceptions.h"
#include "platform/ws2.h"
#include "rtl/exception.h"
#include "rtl/format.h"
#include "tools/tavo-ftp/messages.h"

namespace tavo::tool {
namespace {

// A socket error: the system's words for it, its exit code in this step, whether to try again.
void SocketFailure(int32_t ANumber, TStep AStep, Failure& f, std::string& reason) {
  reason = platform::ws2::SocketErrorText(ANumber);
  if (ANumber == 10060) {
    f.code = kTimeout;
    f.transient = true;
  } else if (AStep == TStep::stConnect) {
    f.code = kCannotConnect;
    f.transient = ANumber == 10061 || ANumber == 11002;
  } else {
    // The connection went while the session used it.
    f.transient = ANumber == 10053 || ANumber == 10054 || ANumber == 10058;
  }
}

}  // namespace

Failure Classify(const std::exception& AError, TStep AStep, const StepSubject& ASubject) {
  Failure f;
  if (const auto* tool = dynamic_cast<const ToolError*>(&AError)) {
    f.code = tool->Code();
    f.transient = tool->Transient();
    f.line = tool->what();
    return f;
  }
  // A file that cannot be written, or a resume that cannot be one: local matters, said in the
  // stream's own words (they name the file).
  if (dynamic_cast<const rtl::EStreamError*>(&AError) != nullptr ||
      dynamic_cast<const net::EIdFTPLocalFileLarger*>(&AError) != nullptr) {
    f.code = kLocalFile;
    f.line = AError.what();
    return f;
  }
  std::string reason = AError.what();
  if (const auto* reply = dynamic_cast<const net::EIdProtocolReplyError*>(&AError)) {
    const int32_t code = reply->ReplyCode();
    // A refused AUTH TLS says its reply in its own message.
    if (dynamic_cast<const net::EIdFTPTLSRefused*>(&AError) == nullptr)
      reason = std::to_string(code) + " " + AError.what();
    if (AStep == TStep::stLogin && code >= 500 && code != 500 && code != 502) {
      f.code = kLoginRefused;
    } else if (code == 550 && AStep != TStep::stConnect && AStep != TStep::stLogin) {
      f.code = kRemoteMissing;
    }
    f.transient = code == 421 || code == 425 || code == 426;
  } else if (const auto* socket = dynamic_cast<const net::EIdSocketError*>(&AError)) {
    SocketFailure(socket->LastError(), AStep, f, reason);
  } else if (const auto* connect = dynamic_cast<const net::EIdConnectException*>(&AError)) {
    if (connect->LastError() != 0) SocketFailure(connect->LastError(), AStep, f, reason);
    else f.code = kCannotConnect;
  } else if (dynamic_cast<const net::EIdConnectTimeout*>(&AError) != nullptr ||
             dynamic_cast<const net::EIdReadTimeout*>(&AError) != nullptr) {
    f.code = kTimeout;
    f.transient = true;
  } else if (dynamic_cast<const net::EIdConnClosedGracefully*>(&AError) != nullptr) {
    reason = msg::kServerClosed.Text();
    f.transient = true;
  } else if (dynamic_cast<const net::EIdFTPTransferIncomplete*>(&AError) != nullptr ||
             dynamic_cast<const net::EIdFTPDataConnectionError*>(&AError) != nullptr) {
    f.transient = true;
  } else if (dynamic_cast<const net::EIdSocksServerConnectionRefusedError*>(&AError) != nullptr ||
             dynamic_cast<const net::EIdSocksServerHostUnreachableError*>(&AError) != nullptr ||
             dynamic_cast<const net::EIdSocksServerNetUnreachableError*>(&AError) != nullptr ||
             dynamic_cast<const net::EIdSocksRequestServerFailed*>(&AError) != nullptr) {
    f.code = kCannotConnect;
  }
  switch (AStep) {
    case TStep::stConnect: f.line = rtl::Format(msg::kCannotConnect, {ASubject.server, reason}); break;
    case TStep::stLogin:
      f.line = rtl::Format(msg::kCannotLogIn, {ASubject.server, ASubject.user, reason});
      break;
    case TStep::stChangeDir:
      f.line = rtl::Format(msg::kCannotChangeDir, {ASubject.path, ASubject.server, reason});
      break;
    case TStep::stRetrieve:
      f.line = rtl::Format(msg::kCannotRetrieve, {ASubject.path, ASubject.server, reason});
      break;
    case TStep::stList:
      f.line = rtl::Format(msg::kCannotList, {ASubject.path, ASubject.server, reason});
      break;
  }
  return f;
}

}  // namespace tavo::tool
