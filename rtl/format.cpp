#include "rtl/format.h"

#include <cstdio>
#include <vector>

#include "rtl/exception.h"

namespace tavo::rtl {

std::string Format(std::string_view templ, std::initializer_list<FormatArg> args) {
  const std::vector<FormatArg> list(args);
  size_t next = 0;
  std::string out;
  out.reserve(templ.size() + 32);
  auto fail = [&]() -> void {
    throw EConvertError("Format '" + std::string(templ) +
                        "' invalid or incompatible with argument");
  };
  for (size_t i = 0; i < templ.size(); ++i) {
    const char c = templ[i];
    if (c != '%') {
      out += c;
      continue;
    }
    if (i + 1 >= templ.size()) fail();
    const char d = templ[++i];
    if (d == '%') {
      out += '%';
      continue;
    }
    if (d != 's' && d != 'd' && d != 'u' && d != 'x') fail();
    if (next >= list.size()) fail();
    const auto& v = list[next++].Value();
    if (const auto* s = std::get_if<std::string>(&v)) {
      if (d != 's') fail();
      out += *s;
    } else {
      const int64_t n = std::get<int64_t>(v);
      if (d == 'x') {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%llx", static_cast<unsigned long long>(n));
        out += buf;
      } else if (d == 'u') {
        out += std::to_string(static_cast<uint64_t>(n));
      } else {
        out += std::to_string(n);
      }
    }
  }
  return out;
}

}  // namespace tavo::rtl
