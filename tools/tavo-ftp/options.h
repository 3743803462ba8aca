#pragma once
// tavo-ftp's command line: one table of options (options.cpp) from which both the parser's
// option list and the --help text are made, and the reading of the words around them.
//
//   tavo-ftp [get] [options] URL... [DEST]     (a bare URL means get)
//   tavo-ftp ls [options] URL
//
// Options may stand before or after the command word and between the URLs; -o pairs with the
// URLs in the order both are given.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "net/ftp/ftp.h"
#include "net/tcp/socks_info.h"
#include "tools/tavo-ftp/url.h"

namespace tavo::tool {

enum class TCommand { cmGet, cmLs };

struct Options {
  TCommand command = TCommand::cmGet;
  std::vector<FtpUrl> urls;
  // get: -o per URL in order ("-": standard output), the DEST word, --output-dir.
  std::vector<std::string> outputs;
  std::string dest;
  std::string output_dir;
  bool resume = false;
  bool no_clobber = false;
  bool remote_time = false;
  std::optional<bool> progress;  // unset: on when standard error is a terminal
  // ls
  bool raw = false;
  bool names_only = false;
  bool force_list = false;  // LIST even where the server offers MLSD
  std::optional<net::TIdFTPListFormat> format;
  // the session
  bool active = false;
  net::TIdAddressFamily family = net::afAny;
  bool epsv = true;
  bool eprt = true;
  bool ascii = false;
  bool trust_pasv_address = false;
  bool allow_foreign_data_peer = false;
  bool tls = false;
  std::string cacert;
  bool insecure = false;
  int32_t connect_timeout_ms = 30000;  // 0: the system's own bound
  int32_t read_timeout_ms = 30000;     // 0: none
  std::string proxy_host;
  int32_t proxy_port = 21;
  net::TIdFtpProxyType proxy_type = net::fpcmUserSite;
  bool proxy_type_given = false;
  std::string proxy_user;
  std::string proxy_password;
  net::TSocksVersion socks_version = net::svNoSocks;
  std::string socks_host;
  int32_t socks_port = 1080;
  std::string socks_user;
  std::string socks_password;
  // credentials
  std::string user;                     // --user's name; empty: not given
  std::optional<std::string> password;  // --user's password, when it carries one
  bool netrc = true;
  std::string netrc_file;  // empty: the default file in the home folder
  bool password_stdin = false;
  // robustness
  int32_t retries = 0;
  int64_t retry_delay_ms = -1;  // -1: exponential from one second
  int64_t max_time_ms = 0;      // 0: no bound
  int64_t speed_limit = 0;      // bytes per second; 0: none
  int64_t speed_time_ms = 30000;
  int64_t limit_rate = 0;  // bytes per second; 0: none
  // output
  bool quiet = false;
  bool verbose = false;
};

// What the command line asks for: options to run, or the help text or version.
struct ParsedCommandLine {
  Options options;
  bool help = false;
  bool version = false;
};

// A command line that cannot be run; what() says why in the current language, without
// repeating any option's value (it may be a password).
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads argv[1..argc-1]. Raises UsageError.
ParsedCommandLine ParseCommandLine(int argc, char** argv);

// The --help text (English), made from the option table; options this build cannot use (TLS in
// a build without it) are not listed.
std::string HelpText();

// "30s", "500ms", "2m", "1.5h": a duration in milliseconds; a bare number is in ADefaultUnitMs
// (1 for milliseconds, 1000 for seconds). False for anything else, a negative number included.
bool ParseDuration(const std::string& AText, int64_t ADefaultUnitMs, int64_t& AMs);
// "100k", "1.5M", "2G", "4096": bytes (k = 1024); false for anything else.
bool ParseByteCount(const std::string& AText, int64_t& ABytes);

}  // namespace tavo::tool
