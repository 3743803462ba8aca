#pragma once
// The ftp:// address tavo-ftp takes: ftp://[USER[:PASSWORD]@]HOST[:PORT]/PATH.
// User, password and path are percent-decoded; the path splits into the folder (one change of
// directory) and the file name (its last segment).

#include <cstdint>
#include <stdexcept>
#include <string>

namespace tavo::tool {

struct FtpUrl {
  std::string user;  // empty: anonymous login
  std::string password;
  bool has_user = false;
  bool has_password = false;  // a ":" after the user, even with nothing behind it
  std::string host;  // an IPv6 literal without its brackets
  int32_t port = 21;
  std::string directory;  // empty: stay in the login folder
  std::string file;       // never empty
};

// A text that is no usable ftp:// address for a download; what() says why, without repeating
// the address (it may carry a password).
class UrlError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Raises UrlError for another scheme, a missing host or file name, a port outside 1..65535, a
// broken percent escape, and CR, LF or NUL anywhere (raw or encoded): those would end an FTP
// command early and smuggle in another.
FtpUrl ParseFtpUrl(const std::string& text);
// The same for a folder to list: the whole path is the folder (a trailing "/" is dropped) and
// the file name stays empty; "ftp://HOST" or "ftp://HOST/" list the login folder.
FtpUrl ParseFtpFolderUrl(const std::string& text);

// The file name a download is stored under by default: the URL's file name, refused when it
// names a folder ("." or "..") or holds a path separator.
std::string DefaultDestination(const FtpUrl& url);

// "host:port" as messages show a server: "[::1]:2121" for an IPv6 literal.
std::string ServerText(const FtpUrl& url);

}  // namespace tavo::tool
