#include "tools/tavo-ftp/url.h"

#include <string_view>

#include "rtl/convert.h"
#include "tools/tavo-ftp/messages.h"

namespace tavo::tool {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string PercentDecode(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    if (c == '%') {
      const int hi = i + 2 < s.size() ? HexValue(s[i + 1]) : -1;
      const int lo = i + 2 < s.size() ? HexValue(s[i + 2]) : -1;
      if (hi < 0 || lo < 0) throw UrlError(msg::kUrlBrokenEscape.Text());
      c = static_cast<char>(hi * 16 + lo);
      i += 2;
    }
    if (c == '\r' || c == '\n' || c == '\0')
      throw UrlError(msg::kUrlLineBreak.Text());
    out += c;
  }
  return out;
}

}  // namespace

namespace {

// What follows "ftp://", which may be in any case.
std::string_view AfterScheme(std::string_view text) {
  constexpr std::string_view kScheme = "ftp://";
  if (text.size() < kScheme.size()) throw UrlError(msg::kUrlNotFtp.Text());
  for (size_t i = 0; i < kScheme.size(); ++i) {
    const char c = text[i];
    const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    if (lower != kScheme[i]) throw UrlError(msg::kUrlNotFtp.Text());
  }
  text.remove_prefix(kScheme.size());
  return text;
}

// Takes "user:password@" off the authority into url; returns what is left (host and port).
std::string_view TakeUserInfo(std::string_view authority, FtpUrl& url) {
  // The last "@" ends the user part: an unencoded "@" in a password is common enough.
  const size_t at = authority.rfind('@');
  if (at == std::string_view::npos) return authority;
  const std::string_view userinfo = authority.substr(0, at);
  const size_t colon = userinfo.find(':');
  url.user = PercentDecode(userinfo.substr(0, colon));
  if (colon != std::string_view::npos) {
    url.password = PercentDecode(userinfo.substr(colon + 1));
    url.has_password = true;
  }
  url.has_user = true;
  authority.remove_prefix(at + 1);
  return authority;
}

// "host", "host:port", "[v6]" or "[v6]:port" into url.host and url.port.
void ParseHostAndPort(std::string_view authority, FtpUrl& url) {
  // An IPv6 literal stands in brackets, so that its colons are not taken for the port's.
  const bool bracketed = !authority.empty() && authority.front() == '[';
  const size_t close = bracketed ? authority.find(']') : std::string_view::npos;
  if (bracketed && close == std::string_view::npos) throw UrlError(msg::kUrlHost.Text());
  const size_t colon = bracketed ? (close + 1 < authority.size() ? close + 1 : std::string_view::npos)
                                 : authority.rfind(':');
  if (bracketed && colon != std::string_view::npos && authority[colon] != ':')
    throw UrlError(msg::kUrlHost.Text());
  std::string_view host = bracketed ? authority.substr(1, close - 1) : authority.substr(0, colon);
  if (colon != std::string_view::npos) {
    int32_t port = 0;
    const std::string_view digits = authority.substr(colon + 1);
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos ||
        !rtl::TryStrToInt(digits, port) || port < 1 || port > 65535)
      throw UrlError(msg::kUrlPort.Text());
    url.port = port;
  }
  if (host.empty()) throw UrlError(msg::kUrlNoHost.Text());
  // In brackets an IPv6 address (hex groups, colons, an IPv4 tail; no zone), else a name or a
  // dotted address.
  if (bracketed ? host.find_first_not_of("0123456789abcdefABCDEF:.") != std::string_view::npos ||
                      host.find(':') == std::string_view::npos
                : host.find_first_of("[]:%\r\n\t ") != std::string_view::npos ||
                      host.find('\0') != std::string_view::npos)
    throw UrlError(msg::kUrlHost.Text());
  url.host = std::string(host);
}

// The path after the authority's "/": a folder, or a folder and a file that must be named.
void SetPath(std::string_view path, bool folder, FtpUrl& url) {
  if (folder) {
    if (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
    url.directory = PercentDecode(path);
    return;
  }
  const size_t last = path.rfind('/');
  const std::string_view dir = last == std::string_view::npos ? std::string_view() : path.substr(0, last);
  const std::string_view file = last == std::string_view::npos ? path : path.substr(last + 1);
  url.directory = PercentDecode(dir);
  url.file = PercentDecode(file);
  if (url.file.empty()) throw UrlError(msg::kUrlNoFile.Text());
}

FtpUrl Parse(const std::string& text, bool folder) {
  const std::string_view rest = AfterScheme(text);
  const size_t slash = rest.find('/');
  if (slash == std::string_view::npos && !folder) throw UrlError(msg::kUrlNoFile.Text());
  const std::string_view authority = rest.substr(0, slash);
  const std::string_view path =
      slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);

  FtpUrl url;
  ParseHostAndPort(TakeUserInfo(authority, url), url);
  SetPath(path, folder, url);
  return url;
}

}  // namespace

FtpUrl ParseFtpUrl(const std::string& text) { return Parse(text, false); }
FtpUrl ParseFtpFolderUrl(const std::string& text) { return Parse(text, true); }

std::string ServerText(const FtpUrl& url) {
  const bool v6 = url.host.find(':') != std::string::npos;
  return (v6 ? "[" + url.host + "]" : url.host) + ":" + std::to_string(url.port);
}

std::string DefaultDestination(const FtpUrl& url) {
  const std::string& name = url.file;
  if (name == "." || name == ".." || name.find_first_of("/\\") != std::string::npos)
    throw UrlError(msg::kUrlNoLocalName.Text());
  return name;
}

}  // namespace tavo::tool
