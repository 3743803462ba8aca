#pragma once
// printf-style formatting of message templates without printf's hazards: the arguments are
// typed values, a template can never read past them, and text arguments are copied as they
// are (a "%" inside an argument stays a "%").
//
// Directives: %s (text or number), %d (number), %u, %x (number, lower-case hex), %% (a "%").
// Arguments beyond the directives are ignored. A directive without an argument, or %d with a
// text argument, raises EConvertError "Format '<template>' invalid or incompatible with
// argument".

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>

namespace tavo::rtl {

class FormatArg {
 public:
  FormatArg(const char* s) : value_(std::string(s)) {}  // NOLINT(google-explicit-constructor)
  FormatArg(std::string s) : value_(std::move(s)) {}    // NOLINT(google-explicit-constructor)
  FormatArg(std::string_view s) : value_(std::string(s)) {}  // NOLINT
  FormatArg(int v) : value_(static_cast<int64_t>(v)) {}  // NOLINT(google-explicit-constructor)
  FormatArg(long v) : value_(static_cast<int64_t>(v)) {}  // NOLINT
  FormatArg(long long v) : value_(static_cast<int64_t>(v)) {}  // NOLINT
  FormatArg(unsigned v) : value_(static_cast<int64_t>(v)) {}  // NOLINT
  FormatArg(unsigned long v) : value_(static_cast<int64_t>(v)) {}  // NOLINT
  FormatArg(unsigned long long v) : value_(static_cast<int64_t>(v)) {}  // NOLINT

  const std::variant<std::string, int64_t>& Value() const { return value_; }

 private:
  std::variant<std::string, int64_t> value_;
};

std::string Format(std::string_view templ, std::initializer_list<FormatArg> args);

}  // namespace tavo::rtl
