#pragma once
// Every error the network side raises. All of them are EIdException, so a user action can
// catch the whole network side in one place; the groups in between (silent, stack, socket
// handle, TCP connection, SOCKS) exist so that callers may catch a family at once.
// Each class is raised where its fault is detected, with the German message of that place.

#include <cstdint>
#include <string>
#include <utility>

#include "rtl/exception.h"

namespace tavo::net {

class EIdException : public rtl::Exception {
 public:
  using rtl::Exception::Exception;
};

// Declares an exception class that adds nothing but its place in the tree.
#define TAVO_ID_EXCEPTION(Name, Base) \
  class Name : public Base {          \
   public:                            \
    using Base::Base;                 \
  }

TAVO_ID_EXCEPTION(EIdSilentException, EIdException);
TAVO_ID_EXCEPTION(EIdConnClosedGracefully, EIdSilentException);
TAVO_ID_EXCEPTION(EIdAlreadyConnected, EIdException);
TAVO_ID_EXCEPTION(EIdClosedSocket, EIdException);
TAVO_ID_EXCEPTION(EIdReadTimeout, EIdException);
TAVO_ID_EXCEPTION(EIdReadLnMaxLineLengthExceeded, EIdException);
TAVO_ID_EXCEPTION(EIdInvalidServiceName, EIdException);

// A server reply with a code the command did not accept; the code travels with the message.
class EIdProtocolReplyError : public EIdException {
 public:
  EIdProtocolReplyError(int32_t AReplyCode, std::string AMessage)
      : EIdException(std::move(AMessage)), reply_code_(AReplyCode) {}
  int32_t ReplyCode() const noexcept { return reply_code_; }

 private:
  int32_t reply_code_;
};

TAVO_ID_EXCEPTION(EIdConnectTimeout, EIdException);
// A timed connect that failed in its connect thread: the failure's message, and the socket
// error number behind it (0 when the failure was no socket error), so that a caller can say
// what happened in its own words.
class EIdConnectException : public EIdException {
 public:
  explicit EIdConnectException(std::string AMessage, int32_t ALastError = 0)
      : EIdException(std::move(AMessage)), last_error_(ALastError) {}
  int32_t LastError() const noexcept { return last_error_; }

 private:
  int32_t last_error_;
};
TAVO_ID_EXCEPTION(EIdSocksError, EIdException);
TAVO_ID_EXCEPTION(EIdInvalidSocket, EIdException);

// A failed socket call: the platform's error number (Windows numbering, e.g. 10061) and the
// message built from it ("Socket-Fehler # <number>" CR LF <text>).
class EIdSocketError : public EIdException {
 public:
  EIdSocketError(int32_t AErrorNumber, std::string AMessage)
      : EIdException(std::move(AMessage)), last_error_(AErrorNumber) {}
  int32_t LastError() const noexcept { return last_error_; }

 private:
  int32_t last_error_;
};

// The socket library could not be loaded, or an entry point of it could not be reached.
// Message: the title alone when ErrorNumber is 0, else title + ": " + ErrorNumberText.
class EIdWS2StubError : public EIdException {
 public:
  EIdWS2StubError(std::string ATitle, uint32_t AErrorNumber);
  uint32_t ErrorNumber() const noexcept { return error_number_; }
  const std::string& ErrorNumberText() const noexcept { return error_number_text_; }
  const std::string& Title() const noexcept { return title_; }

 private:
  uint32_t error_number_;
  std::string error_number_text_;
  std::string title_;
};

TAVO_ID_EXCEPTION(EIdStackError, EIdException);
TAVO_ID_EXCEPTION(EIdStackInitializationFailed, EIdStackError);
TAVO_ID_EXCEPTION(EIdStackSetSizeExceeded, EIdStackError);

TAVO_ID_EXCEPTION(EIdSocketHandleError, EIdException);
TAVO_ID_EXCEPTION(EIdCouldNotBindSocket, EIdSocketHandleError);
TAVO_ID_EXCEPTION(EIdCanNotBindPortInRange, EIdSocketHandleError);
TAVO_ID_EXCEPTION(EIdInvalidPortRange, EIdSocketHandleError);

TAVO_ID_EXCEPTION(EIdTCPConnectionError, EIdException);
TAVO_ID_EXCEPTION(EIdNotEnoughDataInBuffer, EIdTCPConnectionError);
TAVO_ID_EXCEPTION(EIdNoDataToRead, EIdTCPConnectionError);
TAVO_ID_EXCEPTION(EIdNotConnected, EIdTCPConnectionError);
TAVO_ID_EXCEPTION(EIdFileNotFound, EIdTCPConnectionError);

TAVO_ID_EXCEPTION(EIdInvalidFTPListingFormat, EIdException);
// A directory listing larger than a listing can sensibly be (a server sending without end).
TAVO_ID_EXCEPTION(EIdFTPListingTooLarge, EIdException);
TAVO_ID_EXCEPTION(EIdFTPFileAlreadyExists, EIdException);
// A PASV reply whose fields are numbers but name no usable address or port.
TAVO_ID_EXCEPTION(EIdFTPPasvReplyError, EIdException);
// No data connection to be had: active mode through a SOCKS proxy, or a server that never
// connected back within the accept bound.
TAVO_ID_EXCEPTION(EIdFTPDataConnectionError, EIdException);
// Fewer bytes arrived than the server announced for the transfer: the data connection closed
// early, whatever the final reply claimed.
TAVO_ID_EXCEPTION(EIdFTPTransferIncomplete, EIdException);
// More bytes arrived than the server announced, or than the file on the server holds: a
// binary transfer that would end longer than the file it copies.
TAVO_ID_EXCEPTION(EIdFTPTransferTooLong, EIdException);
// A resume refused before anything was sent: the local file is already larger than the one
// on the server, so it cannot be the beginning of it.
TAVO_ID_EXCEPTION(EIdFTPLocalFileLarger, EIdException);
// A reply with the accepted code whose content cannot be read (a SIZE reply that is no size).
TAVO_ID_EXCEPTION(EIdFTPReplyFormatError, EIdException);

// Explicit TLS: a handshake, record or close that failed, a server certificate that was not
// accepted, and a build that has no TLS at all.
TAVO_ID_EXCEPTION(EIdTLSError, EIdException);
TAVO_ID_EXCEPTION(EIdTLSCertificateError, EIdTLSError);
TAVO_ID_EXCEPTION(EIdTLSNotAvailable, EIdTLSError);
// The server answered AUTH TLS with something other than 234 while TLS is required; carries
// the reply code like any refused reply.
TAVO_ID_EXCEPTION(EIdFTPTLSRefused, EIdProtocolReplyError);

// The SOCKS negotiation's failures, one class per answer a proxy can give.
TAVO_ID_EXCEPTION(EIdSocksRequestFailed, EIdSocksError);
TAVO_ID_EXCEPTION(EIdSocksRequestServerFailed, EIdSocksError);
TAVO_ID_EXCEPTION(EIdSocksRequestIdentFailed, EIdSocksError);
TAVO_ID_EXCEPTION(EIdSocksUnknownError, EIdSocksError);
TAVO_ID_EXCEPTION(EIdSocksServerRespondError, EIdSocksError);
TAVO_ID_EXCEPTION(EIdSocksAuthMethodError, EIdSocksError);
TAVO_ID_EXCEPTION(EIdSocksAuthError, EIdSocksError);
TAVO_ID_EXCEPTION(EIdSocksServerGeneralError, EIdSocksError);
TAVO_ID_EXCEPTION(EIdSocksServerPermissionError, EIdSocksError);
TAVO_ID_EXCEPTION(EIdSocksServerNetUnreachableError, EIdSocksError);
TAVO_ID_EXCEPTION(EIdSocksServerHostUnreachableError, EIdSocksError);
TAVO_ID_EXCEPTION(EIdSocksServerConnectionRefusedError, EIdSocksError);
TAVO_ID_EXCEPTION(EIdSocksServerTTLExpiredError, EIdSocksError);
TAVO_ID_EXCEPTION(EIdSocksServerCommandError, EIdSocksError);
TAVO_ID_EXCEPTION(EIdSocksServerAddressError, EIdSocksError);

#undef TAVO_ID_EXCEPTION

}  // namespace tavo::net
