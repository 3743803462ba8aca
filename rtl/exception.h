#pragma once
// The root of every error the program raises. Errors are thrown by value and caught by
// reference; what() returns the message that a user or a log sees.

#include <exception>
#include <string>
#include <utility>

namespace tavo::rtl {

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  const char* what() const noexcept override { return message_.c_str(); }
  const std::string& Message() const noexcept { return message_; }
  void SetMessage(std::string message) { message_ = std::move(message); }

 private:
  std::string message_;
};

// Text that is not a number under the conversion rules of convert.h.
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

// A stream could not be opened, created, read or written as asked.
class EStreamError : public Exception {
 public:
  using Exception::Exception;
};
class EFOpenError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};
class EFCreateError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};
class EReadError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};
class EWriteError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};

// An index outside a list.
class EListError : public Exception {
 public:
  using Exception::Exception;
};

// An object was asked to copy itself from an object of a class it cannot take values from.
class EConvertAssignError : public Exception {
 public:
  using Exception::Exception;
};

}  // namespace tavo::rtl
