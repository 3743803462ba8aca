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

// A reply the server refused with: its code in the reason, the exit code it means in this step.
void ReplyFailure(const net::EIdProtocolReplyError& AReply, TStep AStep, Failure& f,
                  std::string& reason) {
  const int32_t code = AReply.ReplyCode();
  // A refused AUTH TLS says its reply in its own message.
  if (dynamic_cast<const net::EIdFTPTLSRefused*>(&AReply) == nullptr)
    reason = std::to_string(code) + " " + AReply.what();
  if (AStep == TStep::stLogin && code >= 500 && code != 500 && code != 502) {
    f.code = kLoginRefused;
  } else if (code == 550 && AStep != TStep::stConnect && AStep != TStep::stLogin) {
    f.code = kRemoteMissing;
  }
  f.transient = code == 421 || code == 425 || code == 426;
}

// The library's failures: replies, sockets, time-outs, lost connections, proxies. Anything
// else keeps the general exit code and its own words.
void LibraryFailure(const std::exception& AError, TStep AStep, Failure& f, std::string& reason) {
  if (const auto* reply = dynamic_cast<const net::EIdProtocolReplyError*>(&AError)) {
    ReplyFailure(*reply, AStep, f, reason);
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
}

// The error line: what could not be done in this step, to what, and why.
std::string StepLine(TStep AStep, const StepSubject& ASubject, const std::string& reason) {
  switch (AStep) {
    case TStep::stConnect: return rtl::Format(msg::kCannotConnect, {ASubject.server, reason});
    case TStep::stLogin:
      return rtl::Format(msg::kCannotLogIn, {ASubject.server, ASubject.user, reason});
    case TStep::stChangeDir:
      return rtl::Format(msg::kCannotChangeDir, {ASubject.path, ASubject.server, reason});
    case TStep::stRetrieve:
      return rtl::Format(msg::kCannotRetrieve, {ASubject.path, ASubject.server, reason});
    case TStep::stList:
      return rtl::Format(msg::kCannotList, {ASubject.path, ASubject.server, reason});
  }
  return {};
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
  LibraryFailure(AError, AStep, f, reason);
  f.line = StepLine(AStep, ASubject, reason);
  return f;
}

}  // namespace tavo::tool
