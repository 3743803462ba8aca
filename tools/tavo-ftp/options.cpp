#include "tools/tavo-ftp/options.h"

#include <getopt.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <limits>
#include <string_view>

#include "net/tls/tls.h"
#include "rtl/convert.h"
#include "rtl/format.h"
#include "tools/tavo-ftp/messages.h"

namespace tavo::tool {
namespace {

// Which command an option belongs to; the help text lists them in these groups.
enum class TScope { scGet, scLs, scBoth };

// One option: its names, the name of its value in the help text (null: it takes none), the
// command it belongs to, its help text, and what it does to the options. Adding an option is
// adding one row.
struct OptionRow {
  const char* name;
  char short_name;
  const char* value;
  TScope scope;
  const char* help;
  void (*apply)(Options& o, const std::string& value);
  bool needs_tls = false;
};

[[noreturn]] void Usage(const res::TText& ATemplate, std::initializer_list<rtl::FormatArg> AArgs = {}) {
  throw UsageError(rtl::Format(ATemplate, AArgs));
}

int32_t Milliseconds(const char* option, const std::string& text) {
  int64_t ms = 0;
  if (!ParseDuration(text, 1, ms) || ms > std::numeric_limits<int32_t>::max())
    Usage(msg::kUsageDuration, {option});
  return static_cast<int32_t>(ms);
}

int64_t Seconds(const char* option, const std::string& text) {
  int64_t ms = 0;
  if (!ParseDuration(text, 1000, ms)) Usage(msg::kUsageDuration, {option});
  return ms;
}

int64_t Bytes(const char* option, const std::string& text) {
  int64_t bytes = 0;
  if (!ParseByteCount(text, bytes)) Usage(msg::kUsageByteCount, {option});
  return bytes;
}

void HostPort(const char* option, const std::string& text, std::string& host, int32_t& port) {
  // The host is shown (statuses, errors); a login written into it would be shown with it.
  if (text.find('@') != std::string::npos) Usage(msg::kUsageProxyLogin, {option});
  // An IPv6 literal stands in brackets ("[::1]:1080"), which the connect takes as they are.
  const size_t close = !text.empty() && text.front() == '[' ? text.find(']') : std::string::npos;
  const size_t colon = close != std::string::npos ? text.find(':', close) : text.rfind(':');
  if (close != std::string::npos && close + 1 < text.size() && colon != close + 1)
    Usage(msg::kUsageHostPort, {option});
  host = text.substr(0, colon);
  if (colon != std::string::npos &&
      (!rtl::TryStrToInt(text.substr(colon + 1), port) || port < 1 || port > 65535))
    Usage(msg::kUsagePort, {option});
  if (host.empty()) Usage(msg::kUsageHostPort, {option});
}

void Socks(Options& o, net::TSocksVersion version, const char* option, const std::string& v) {
  if (o.socks_version != net::svNoSocks) Usage(msg::kUsageOneSocks);
  o.socks_version = version;
  HostPort(option, v, o.socks_host, o.socks_port);
}

// The table. Rows of one scope stand together, in the order --help shows them.
const OptionRow kOptions[] = {
    {"output", 'o', "FILE", TScope::scGet,
     "write the next URL's file to FILE (\"-\": standard output); give it once per URL",
     [](Options& o, const std::string& v) {
       if (v.empty()) Usage(msg::kUsageEmptyDest);
       o.outputs.push_back(v);
     }},
    {"remote-name", 'O', nullptr, TScope::scGet,
     "name each file as on the server (what a URL without -o or DEST gets anyway)",
     [](Options&, const std::string&) {}},
    {"output-dir", 0, "DIR", TScope::scGet,
     "put the files (and relative -o names) into the folder DIR",
     [](Options& o, const std::string& v) {
       if (v.empty()) Usage(msg::kUsageEmptyDest);
       o.output_dir = v;
     }},
    {"resume", 0, nullptr, TScope::scGet,
     "continue a partly downloaded file in place (needs REST on the server)",
     [](Options& o, const std::string&) { o.resume = true; }},
    {"no-clobber", 0, nullptr, TScope::scGet, "never replace or write through an existing file",
     [](Options& o, const std::string&) { o.no_clobber = true; }},
    {"remote-time", 'R', nullptr, TScope::scGet,
     "give each file the modification time the server reports (MDTM)",
     [](Options& o, const std::string&) { o.remote_time = true; }},
    {"progress", 0, nullptr, TScope::scGet,
     "show the progress: on a terminal a line redrawn in place (the default there), elsewhere "
     "a line every few seconds",
     [](Options& o, const std::string&) { o.progress = true; }},
    {"no-progress", 0, nullptr, TScope::scGet, "no progress line",
     [](Options& o, const std::string&) { o.progress = false; }},
    {"retry", 0, "N", TScope::scGet,
     "try a file up to N more times after a transient failure (connect refused or timed out, "
     "421, 425, 426, a lost data connection), waiting 1 s, 2 s, 4 s ... between the tries and "
     "resuming where the server allows it",
     [](Options& o, const std::string& v) {
       if (!rtl::TryStrToInt(v, o.retries) || o.retries < 0) Usage(msg::kUsageRetry);
     }},
    {"retry-delay", 0, "TIME", TScope::scGet,
     "wait TIME between the tries instead (seconds unless a unit follows)",
     [](Options& o, const std::string& v) { o.retry_delay_ms = Seconds("--retry-delay", v); }},
    {"speed-limit", 0, "BYTES", TScope::scGet,
     "give up a transfer slower than BYTES per second for --speed-time (k, M suffixes)",
     [](Options& o, const std::string& v) { o.speed_limit = Bytes("--speed-limit", v); }},
    {"speed-time", 0, "TIME", TScope::scGet,
     "how long a transfer may stay below --speed-limit (default 30 s; seconds unless a unit "
     "follows)",
     [](Options& o, const std::string& v) {
       o.speed_time_ms = Seconds("--speed-time", v);
       if (o.speed_limit == 0) o.speed_limit = 1;
     }},
    {"limit-rate", 0, "RATE", TScope::scGet,
     "receive at most RATE bytes per second (k, M, G suffixes: 100k, 1.5M)",
     [](Options& o, const std::string& v) { o.limit_rate = Bytes("--limit-rate", v); }},

    {"names-only", '1', nullptr, TScope::scLs, "the names only, one per line",
     [](Options& o, const std::string&) { o.names_only = true; }},
    {"long", 'l', nullptr, TScope::scLs,
     "kind, size, time, name and link target per entry (the default)",
     [](Options& o, const std::string&) { o.names_only = false; }},
    {"list", 0, nullptr, TScope::scLs,
     "ask for the listing with LIST (its text parsed) even where the server offers MLSD",
     [](Options& o, const std::string&) { o.force_list = true; }},
    {"raw", 0, nullptr, TScope::scLs, "the listing's lines as the server sent them (MLSD or LIST)",
     [](Options& o, const std::string&) { o.raw = true; }},
    {"format", 0, "STYLE", TScope::scLs,
     "read the listing as dos, unix, vms or names (default: detected)",
     [](Options& o, const std::string& v) {
       if (v == "dos") o.format = net::flfDos;
       else if (v == "unix") o.format = net::flfUnix;
       else if (v == "vms") o.format = net::flfVax;
       else if (v == "names") o.format = net::flfNoDetails;
       else Usage(msg::kUsageFormat);
     }},

    {"user", 'u', "USER[:PASSWORD]", TScope::scBoth,
     "log in as USER where the URL names nobody; without a password, the netrc file or a "
     "prompt on the terminal gives it",
     [](Options& o, const std::string& v) {
       const size_t colon = v.find(':');
       o.user = v.substr(0, colon);
       if (colon != std::string::npos) o.password = v.substr(colon + 1);
       if (o.user.empty()) Usage(msg::kUsageUser);
     }},
    {"password-stdin", 0, nullptr, TScope::scBoth,
     "read the password from the first line of standard input (for scripts)",
     [](Options& o, const std::string&) { o.password_stdin = true; }},
    {"netrc-file", 0, "FILE", TScope::scBoth,
     "take logins from FILE instead of ~/.netrc",
     [](Options& o, const std::string& v) {
       if (v.empty()) Usage(msg::kUsageNetrcFile);
       o.netrc_file = v;
     }},
    {"no-netrc", 0, nullptr, TScope::scBoth,
     "never read a netrc file (it is read for URLs without a user name)",
     [](Options& o, const std::string&) { o.netrc = false; }},
    {"ipv4", '4', nullptr, TScope::scBoth, "connect over IPv4 only",
     [](Options& o, const std::string&) { o.family = net::afIPv4; }},
    {"ipv6", '6', nullptr, TScope::scBoth, "connect over IPv6 only",
     [](Options& o, const std::string&) { o.family = net::afIPv6; }},
    {"epsv", 0, nullptr, TScope::scBoth,
     "passive mode asks EPSV first, PASV where the server refuses it (the default)",
     [](Options& o, const std::string&) { o.epsv = true; }},
    {"no-epsv", 0, nullptr, TScope::scBoth, "passive mode asks PASV (over IPv4)",
     [](Options& o, const std::string&) { o.epsv = false; }},
    {"eprt", 0, nullptr, TScope::scBoth,
     "active mode sends EPRT first, PORT where the server refuses it (the default)",
     [](Options& o, const std::string&) { o.eprt = true; }},
    {"no-eprt", 0, nullptr, TScope::scBoth, "active mode sends PORT (over IPv4)",
     [](Options& o, const std::string&) { o.eprt = false; }},
    {"active", 0, nullptr, TScope::scBoth,
     "the server connects to us (PORT) instead of passive mode",
     [](Options& o, const std::string&) { o.active = true; }},
    {"ascii", 0, nullptr, TScope::scBoth,
     "ASCII transfer type (line ends as the server sends them)",
     [](Options& o, const std::string&) { o.ascii = true; }},
    {"connect-timeout", 0, "TIME", TScope::scBoth,
     "bound of the connect (default 30s; milliseconds unless a unit follows; 0: the system's)",
     [](Options& o, const std::string& v) {
       o.connect_timeout_ms = Milliseconds("--connect-timeout", v);
     }},
    {"read-timeout", 0, "TIME", TScope::scBoth,
     "bound of every wait for the server (default 30s; milliseconds unless a unit follows; "
     "0: none)",
     [](Options& o, const std::string& v) {
       o.read_timeout_ms = Milliseconds("--read-timeout", v);
     }},
    {"max-time", 0, "TIME", TScope::scBoth,
     "bound of the whole run, retries included (seconds unless a unit follows)",
     [](Options& o, const std::string& v) { o.max_time_ms = Seconds("--max-time", v); }},
    {"ftp-proxy", 0, "HOST:PORT", TScope::scBoth, "log in through an FTP proxy",
     [](Options& o, const std::string& v) {
       HostPort("--ftp-proxy", v, o.proxy_host, o.proxy_port);
     }},
    {"ftp-proxy-type", 0, "TYPE", TScope::scBoth,
     "user-site (default), site, open, user-pass or transparent",
     [](Options& o, const std::string& v) {
       if (v == "user-site") o.proxy_type = net::fpcmUserSite;
       else if (v == "site") o.proxy_type = net::fpcmSite;
       else if (v == "open") o.proxy_type = net::fpcmOpen;
       else if (v == "user-pass") o.proxy_type = net::fpcmUserPass;
       else if (v == "transparent") o.proxy_type = net::fpcmTransparent;
       else Usage(msg::kUsageProxyType);
       o.proxy_type_given = true;
     }},
    {"ftp-proxy-user", 0, "USER", TScope::scBoth, "the proxy's own login",
     [](Options& o, const std::string& v) { o.proxy_user = v; }},
    {"ftp-proxy-password", 0, "PW", TScope::scBoth, "",
     [](Options& o, const std::string& v) { o.proxy_password = v; }},
    {"trust-pasv-address", 0, nullptr, TScope::scBoth,
     "connect to the address of the PASV reply, not to the server",
     [](Options& o, const std::string&) { o.trust_pasv_address = true; }},
    {"allow-foreign-data-peer", 0, nullptr, TScope::scBoth,
     "with --active: take a data connection from any address, not only from the server's "
     "(transfers between two servers)",
     [](Options& o, const std::string&) { o.allow_foreign_data_peer = true; }},
    {"tls", 0, nullptr, TScope::scBoth,
     "require explicit TLS (AUTH TLS) on the control and every data connection; the server's "
     "certificate must be valid for HOST",
     [](Options& o, const std::string&) { o.tls = true; }, true},
    {"cacert", 0, "FILE", TScope::scBoth,
     "trust the certificate authorities in FILE (PEM) instead of the system's (with --tls)",
     [](Options& o, const std::string& v) {
       if (v.empty()) Usage(msg::kUsageCacert);
       o.cacert = v;
     },
     true},
    {"insecure", 0, nullptr, TScope::scBoth,
     "do not check the server's certificate at all (with --tls; anyone on the path could read "
     "and change the session)",
     [](Options& o, const std::string&) { o.insecure = true; }, true},
    {"socks4", 0, "HOST:PORT", TScope::scBoth, "every connection through a SOCKS 4 proxy",
     [](Options& o, const std::string& v) { Socks(o, net::svSocks4, "--socks4", v); }},
    {"socks4a", 0, "HOST:PORT", TScope::scBoth,
     "... SOCKS 4A (the proxy resolves the server's name)",
     [](Options& o, const std::string& v) { Socks(o, net::svSocks4A, "--socks4a", v); }},
    {"socks5", 0, "HOST:PORT", TScope::scBoth,
     "... SOCKS 5 (passive mode only, as with every SOCKS proxy)",
     [](Options& o, const std::string& v) { Socks(o, net::svSocks5, "--socks5", v); }},
    {"socks-user", 0, "USER", TScope::scBoth,
     "SOCKS 4 user ID, or SOCKS 5 user name (with --socks-password)",
     [](Options& o, const std::string& v) { o.socks_user = v; }},
    {"socks-password", 0, "PW", TScope::scBoth, "",
     [](Options& o, const std::string& v) { o.socks_password = v; }},
    {"quiet", 'q', nullptr, TScope::scBoth, "nothing but errors",
     [](Options& o, const std::string&) { o.quiet = true; }},
    {"verbose", 'v', nullptr, TScope::scBoth,
     "the control connection's dialogue (passwords masked) and every status",
     [](Options& o, const std::string&) { o.verbose = true; }},
};

// Help and version are answered before anything else is checked.
constexpr int kHelpCode = 'h';
constexpr int kVersionCode = 999;
constexpr int kFirstRowCode = 1000;

const char* const kScopeName[] = {"get", "ls"};

bool LooksLikeUrl(const std::string& word) {
  std::string scheme = word.substr(0, 6);
  for (char& c : scheme) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  return scheme == "ftp://";
}

// The name of the option getopt could not take, for the message: never its value.
std::string OffendingName(int argc, char** argv) {
  if (optopt > 0 && optopt < kVersionCode) return std::string("-") + static_cast<char>(optopt);
  const char* arg = argv[std::min(optind, argc) - 1];
  return std::string(arg, std::strcspn(arg, "="));
}

void CheckCombinations(const Options& o) {
  if (o.proxy_type_given && o.proxy_host.empty() && o.proxy_type != net::fpcmTransparent)
    Usage(msg::kUsageProxyTypeNeedsProxy);
  if (o.socks_version != net::svNoSocks && o.active) Usage(msg::kUsageActiveSocks);
  if (o.allow_foreign_data_peer && !o.active) Usage(msg::kUsageForeignPeer);
  if (!o.socks_password.empty() && o.socks_version != net::svSocks5)
    Usage(msg::kUsageSocksPassword);
  if ((!o.cacert.empty() || o.insecure) && !o.tls) Usage(msg::kUsageCacertNeedsTls);
  if (o.password_stdin && o.password.has_value()) Usage(msg::kUsagePasswordTwice);
}

void ReadWords(Options& o, const std::vector<std::string>& words) {
  if (words.empty()) Usage(msg::kUsageNoCommand);
  size_t first = 0;
  if (words[0] == "get" || words[0] == "ls") {
    o.command = words[0] == "ls" ? TCommand::cmLs : TCommand::cmGet;
    first = 1;
  } else if (!LooksLikeUrl(words[0])) {
    Usage(msg::kUsageUnknownCommand);
  }
  std::vector<std::string> rest(words.begin() + static_cast<std::ptrdiff_t>(first), words.end());
  if (rest.empty()) Usage(msg::kUsageNoUrl);
  try {
    if (o.command == TCommand::cmLs) {
      if (rest.size() > 1) Usage(msg::kUsageTooManyArguments);
      o.urls.push_back(ParseFtpFolderUrl(rest[0]));
      return;
    }
    if (!LooksLikeUrl(rest.back()) && rest.size() > 1) {
      o.dest = rest.back();
      rest.pop_back();
      if (o.dest.empty()) Usage(msg::kUsageEmptyDest);
    }
    for (const std::string& word : rest) o.urls.push_back(ParseFtpUrl(word));
  } catch (const UrlError& e) {
    throw UsageError(e.what());
  }
  if (!o.dest.empty() && !o.outputs.empty()) Usage(msg::kUsageDestAndOutput);
  if (o.outputs.size() > o.urls.size()) Usage(msg::kUsageTooManyOutputs);
  const auto to_stdout = [](const std::string& d) { return d == "-"; };
  if (o.resume && (to_stdout(o.dest) || std::any_of(o.outputs.begin(), o.outputs.end(), to_stdout)))
    Usage(msg::kUsageResumeStdout);
}

// The option table as getopt_long takes it: each row's long name answers with the row's code,
// its short name (if any) with itself.
struct GetoptTable {
  std::vector<option> longs;
  std::string shorts = ":h";  // ':' first: a missing value is reported as such
};

GetoptTable MakeGetoptTable() {
  GetoptTable table;
  for (size_t i = 0; i < std::size(kOptions); ++i) {
    const OptionRow& row = kOptions[i];
    const int code = kFirstRowCode + static_cast<int>(i);
    table.longs.push_back({row.name, row.value != nullptr ? required_argument : no_argument,
                           nullptr, code});
    if (row.short_name != 0) {
      table.shorts += row.short_name;
      if (row.value != nullptr) table.shorts += ':';
    }
  }
  table.longs.push_back({"help", no_argument, nullptr, kHelpCode});
  table.longs.push_back({"version", no_argument, nullptr, kVersionCode});
  table.longs.push_back({nullptr, 0, nullptr, 0});
  return table;
}

// The row getopt_long's answer C stands for; a usage error for an unknown option or a missing
// value.
const OptionRow& RowFor(int c, int argc, char** argv) {
  const OptionRow* row = nullptr;
  if (c >= kFirstRowCode && c < kFirstRowCode + static_cast<int>(std::size(kOptions))) {
    row = &kOptions[c - kFirstRowCode];
  } else {
    for (const OptionRow& candidate : kOptions) {
      if (candidate.short_name != 0 && candidate.short_name == c) row = &candidate;
    }
  }
  if (row == nullptr) {
    Usage(c == ':' ? msg::kUsageMissingValue : msg::kUsageUnknownOption,
          {OffendingName(argc, argv)});
  }
  return *row;
}

// Which command's own options were given (the first of each named), so that one meant for the
// other command is refused once the command is known.
class ScopesUsed {
 public:
  void Note(const OptionRow& row) {
    if (row.scope == TScope::scBoth) return;
    const auto s = static_cast<size_t>(row.scope);
    given_[s] = true;
    if (option_[s] == nullptr) option_[s] = row.name;
  }
  void Check(TCommand command) const {
    const auto other = static_cast<size_t>(command == TCommand::cmLs ? TScope::scGet : TScope::scLs);
    if (given_[other])
      Usage(msg::kUsageWrongCommand, {std::string("--") + option_[other], kScopeName[other]});
  }

 private:
  bool given_[2] = {false, false};
  const char* option_[2] = {nullptr, nullptr};
};

}  // namespace

ParsedCommandLine ParseCommandLine(int argc, char** argv) {
  const bool with_tls = net::TLSAvailable();
  const GetoptTable table = MakeGetoptTable();
  ParsedCommandLine parsed;
  Options& o = parsed.options;
  ScopesUsed scopes;
  opterr = 0;  // our own messages, in our own words
  optind = 0;  // 0 starts a fresh scan, in the C library here and in mingw-w64's
  int c;
  while ((c = getopt_long(argc, argv, table.shorts.c_str(), table.longs.data(), nullptr)) != -1) {
    if (c == kHelpCode) {
      parsed.help = true;
      return parsed;
    }
    if (c == kVersionCode) {
      parsed.version = true;
      return parsed;
    }
    const OptionRow& row = RowFor(c, argc, argv);
    if (row.needs_tls && !with_tls) Usage(msg::kUsageNotInThisBuild, {std::string("--") + row.name});
    scopes.Note(row);
    row.apply(o, optarg != nullptr ? std::string(optarg) : std::string());
  }
  std::vector<std::string> words;
  for (int i = optind; i < argc; ++i) words.emplace_back(argv[i]);
  ReadWords(o, words);
  scopes.Check(o.command);
  CheckCombinations(o);
  if (o.quiet) o.verbose = false;
  return parsed;
}

std::string HelpText() {
  std::string text =
      "Usage: tavo-ftp [get] [options] URL... [DEST]\n"
      "       tavo-ftp ls [options] URL\n"
      "URL: ftp://[USER[:PASSWORD]@]HOST[:PORT]/PATH (ls: a folder's path, or none)\n"
      "\n"
      "get fetches files; URLs on the same server and login share one session. Each\n"
      "file goes to the name -o gives it, into DEST (a file name for one URL, or a\n"
      "folder), or under its own name into the current folder or --output-dir; \"-\"\n"
      "writes to standard output. A file is written beside its destination under a\n"
      "temporary name and takes the destination's place only once it is complete.\n"
      "ls lists a folder, one entry per line: kind (d folder, - file, l link), size,\n"
      "modification time, name and \"-> target\" for links.\n"
      "Without a user name in the URL or --user, the netrc file names the login for\n"
      "the host, else the login is anonymous. Options may come before or after the\n"
      "command. Times take a unit: 500ms, 30s, 2m, 1h.\n";
  const bool with_tls = net::TLSAvailable();
  constexpr size_t kColumn = 30;
  constexpr size_t kWidth = 79;
  const char* const titles[] = {"Options of get:", "Options of ls:", "Options of both:"};
  for (int scope = 0; scope < 3; ++scope) {
    text += std::string("\n") + titles[scope] + "\n";
    for (const OptionRow& row : kOptions) {
      if (static_cast<int>(row.scope) != scope || (row.needs_tls && !with_tls)) continue;
      std::string head = "  ";
      head += row.short_name != 0 ? std::string("-") + row.short_name + ", " : "    ";
      head += std::string("--") + row.name;
      if (row.value != nullptr) head += std::string(" ") + row.value;
      // Words wrapped into the column; a head too wide for it gets a line of its own.
      std::string line = head;
      if (line.size() + 1 > kColumn && *row.help != '\0') {
        text += line + "\n";
        line.clear();
      }
      std::string_view rest = row.help;
      while (!rest.empty()) {
        line.resize(kColumn, ' ');
        size_t take = std::min(rest.size(), kWidth - kColumn);
        if (take < rest.size()) take = std::min(rest.rfind(' ', take), take);
        line += rest.substr(0, take);
        text += line + "\n";
        line.clear();
        rest.remove_prefix(std::min(rest.size(), take + 1));
      }
      if (!line.empty()) text += line + "\n";
    }
  }
  text +=
      "  -h, --help                  this text\n"
      "      --version               the program's version\n"
      "\n"
      "Exit codes: 0 success, 1 any other network or protocol failure, 2 usage error,\n"
      "3 local file error, 4 log-in refused, 5 remote file or folder missing,\n"
      "6 time-out (connect, read, --max-time, --speed-limit), 7 cannot connect\n"
      "(refused, host not found), 130 interrupted, 143 terminated.\n";
  return text;
}

namespace {

// "12.5" with AScale 1000 gives 12500: digits with an optional fraction, scaled; the fraction's
// digits beyond the scale are dropped. False for anything else, and for more than nine digits
// before the point (no time or size of this program needs them, and no product overflows).
bool ParseScaled(std::string_view AText, int64_t AScale, int64_t& AValue) {
  const size_t point = AText.find('.');
  const std::string_view whole = AText.substr(0, point);
  const std::string_view fraction = point == std::string_view::npos ? std::string_view() : AText.substr(point + 1);
  const auto digits = [](std::string_view s) {
    return !s.empty() && s.find_first_not_of("0123456789") == std::string_view::npos;
  };
  if (!digits(whole) || (point != std::string_view::npos && !digits(fraction)) || whole.size() > 9)
    return false;
  int64_t value = 0;
  for (const char c : whole) value = value * 10 + (c - '0');
  value *= AScale;
  int64_t place = AScale;
  for (const char c : fraction) {
    place /= 10;
    value += (c - '0') * place;
  }
  AValue = value;
  return true;
}

}  // namespace

bool ParseDuration(const std::string& AText, int64_t ADefaultUnitMs, int64_t& AMs) {
  const size_t unit_at = AText.find_first_not_of("0123456789.");
  const std::string unit = unit_at == std::string::npos ? std::string() : AText.substr(unit_at);
  int64_t unit_ms = ADefaultUnitMs;
  if (unit == "ms") unit_ms = 1;
  else if (unit == "s") unit_ms = 1000;
  else if (unit == "m" || unit == "min") unit_ms = 60000;
  else if (unit == "h") unit_ms = 3600000;
  else if (!unit.empty()) return false;
  int64_t thousandths = 0;
  if (!ParseScaled(std::string_view(AText).substr(0, unit_at), 1000, thousandths)) return false;
  AMs = thousandths * unit_ms / 1000;
  return true;
}

bool ParseByteCount(const std::string& AText, int64_t& ABytes) {
  if (AText.empty()) return false;
  int64_t multiplier = 1;
  switch (AText.back()) {
    case 'k': case 'K': multiplier = int64_t{1} << 10; break;
    case 'm': case 'M': multiplier = int64_t{1} << 20; break;
    case 'g': case 'G': multiplier = int64_t{1} << 30; break;
    default: break;
  }
  std::string_view number = AText;
  if (multiplier != 1) number.remove_suffix(1);
  // Read in thousandths, so that "1.5M" stays exact.
  int64_t thousandths = 0;
  if (!ParseScaled(number, 1000, thousandths)) return false;
  ABytes = thousandths / 1000 * multiplier + thousandths % 1000 * multiplier / 1000;
  return true;
}

}  // namespace tavo::tool
