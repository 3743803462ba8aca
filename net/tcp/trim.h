#pragma once
// Reply lines are compared and parsed without surrounding blanks and control characters
// (a stray CR, tabs, NULs), the way servers' padding is meant to be read.

#include <string>
#include <string_view>

namespace tavo::net::tcp_detail {

inline std::string TrimBlanks(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return std::string(s.substr(b, e - b));
}

}  // namespace tavo::net::tcp_detail
