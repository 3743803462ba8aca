// tavo-ftp: fetches a file, or lists a folder, over FTP with the project's network library.
//
//   tavo-ftp get [options] ftp://[USER[:PASSWORD]@]HOST[:PORT]/PATH [DEST]
//   tavo-ftp ls [options] ftp://[USER[:PASSWORD]@]HOST[:PORT]/[FOLDER]
//
// Exit codes: 0 success, 1 network or protocol failure, 2 usage error, 3 local file error.

#include <getopt.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <cxxabi.h>
#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <typeinfo>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "net/ftp/ftp.h"
#include "net/ftp/listing.h"
#include "net/socks/socks_info.h"
#include "net/stack/exceptions.h"
#include "net/tcp/iohandler.h"
#include "net/tls/tls.h"
#include "platform/file_commit.h"
#include "platform/interrupt.h"
#include "rtl/convert.h"
#include "rtl/datetime.h"
#include "rtl/exception.h"
#include "rtl/paths.h"
#include "rtl/streams.h"
#include "tools/tavo-ftp/output.h"
#include "tools/tavo-ftp/text.h"
#include "tools/tavo-ftp/url.h"

#ifndef TAVO_VERSION
#define TAVO_VERSION "unknown"
#endif

namespace tavo::tool {
namespace {

using net::TIdFTP;

enum ExitCode { kSuccess = 0, kNetworkFailure = 1, kUsage = 2, kLocalFile = 3 };

constexpr int32_t kBulkReceiveSize = 256 * 1024;

constexpr const char kUsageLine[] = "Usage: tavo-ftp get [options] URL [DEST] | tavo-ftp ls [options] URL";
constexpr const char kHelp[] =
    "Usage: tavo-ftp get [options] ftp://[USER[:PASSWORD]@]HOST[:PORT]/PATH [DEST]\n"
    "       tavo-ftp ls [options] ftp://[USER[:PASSWORD]@]HOST[:PORT]/[FOLDER]\n"
    "\n"
    "get fetches one file. DEST defaults to the file's name in the current folder;\n"
    "\"-\" writes to standard output. The file is written beside DEST under a temporary\n"
    "name and takes DEST's place only once it is complete.\n"
    "ls lists a folder, one entry per line: kind (d folder, - file, l link), size,\n"
    "modification time, name and \"-> target\" for links.\n"
    "Without a user name the login is anonymous.\n"
    "\n"
    "Options of ls:\n"
    "  --raw                     the listing's lines as the server sent them\n"
    "  --format STYLE            read the listing as dos, unix, vms or names (default: detected)\n"
    "\n"
    "Options of get:\n"
    "  --resume                  continue a partly downloaded DEST in place (needs REST on\n"
    "                            the server)\n"
    "  --no-clobber              never replace or write through an existing DEST\n"
    "  --progress, --no-progress show bytes, rate and time left (default: on a terminal)\n"
    "\n"
    "Options of both:\n"
    "  --active                  the server connects to us (PORT) instead of passive mode\n"
    "  --ascii                   ASCII transfer type (line ends as the server sends them)\n"
    "  --connect-timeout MS      bound of the connect (default 30000; 0: the system's)\n"
    "  --read-timeout MS         bound of every wait for the server (default 30000; 0: none)\n"
    "  --ftp-proxy HOST:PORT     log in through an FTP proxy\n"
    "  --ftp-proxy-type TYPE     user-site (default), site, open, user-pass or transparent\n"
    "  --ftp-proxy-user USER     the proxy's own login\n"
    "  --ftp-proxy-password PW\n"
    "  --trust-pasv-address      connect to the address of the PASV reply, not to the server\n"
    "  --allow-foreign-data-peer with --active: take a data connection from any address, not\n"
    "                            only from the server's (transfers between two servers)\n"
    "  --tls                     require explicit TLS (AUTH TLS) on the control and every data\n"
    "                            connection; the server's certificate must be valid for HOST\n"
    "  --cacert FILE             trust the certificate authorities in FILE (PEM) instead of\n"
    "                            the system's (with --tls)\n"
    "  --insecure                do not check the server's certificate at all (with --tls;\n"
    "                            anyone on the path could read and change the session)\n"
    "  --socks4 HOST:PORT        every connection through a SOCKS 4 proxy\n"
    "  --socks4a HOST:PORT       ... SOCKS 4A (the proxy resolves the server's name)\n"
    "  --socks5 HOST:PORT        ... SOCKS 5 (passive mode only, as with every SOCKS proxy)\n"
    "  --socks-user USER         SOCKS 4 user ID, or SOCKS 5 user name (with --socks-password)\n"
    "  --socks-password PW\n"
    "  -q, --quiet               nothing but errors\n"
    "  -v, --verbose             every status of the connection\n"
    "  -h, --help                this text\n"
    "  --version                 the program's version\n"
    "\n"
    "Exit codes: 0 success, 1 network or protocol failure, 2 usage error,\n"
    "3 local file error (DEST cannot be written, exists with --no-clobber, or is larger\n"
    "than the server's file with --resume), 130 interrupted, 143 terminated.\n";

struct Options {
  std::string command;  // "get" or "ls"
  bool raw = false;
  std::optional<net::TIdFTPListFormat> format;
  bool active = false;
  bool resume = false;
  bool no_clobber = false;
  bool ascii = false;
  bool trust_pasv_address = false;
  bool allow_foreign_data_peer = false;
  bool tls = false;
  std::string cacert;
  bool insecure = false;
  int32_t connect_timeout = 30000;
  int32_t read_timeout = 30000;
  std::string proxy_host;
  int32_t proxy_port = 21;
  net::TIdFtpProxyType proxy_type = net::fpcmUserSite;
  std::string proxy_user;
  std::string proxy_password;
  net::TSocksVersion socks_version = net::svNoSocks;
  std::string socks_host;
  int32_t socks_port = 1080;
  std::string socks_user;
  std::string socks_password;
  bool quiet = false;
  bool verbose = false;
  std::optional<bool> progress;  // unset: on when standard error is a terminal
  FtpUrl url;
  std::string dest;
};

class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Help and version: a text that standard output did not take is no success either.
[[noreturn]] void ExitAfterPrinting(const std::string& text) {
  std::fputs(text.c_str(), stdout);
  const bool written = std::fflush(stdout) == 0 && std::ferror(stdout) == 0;
  std::exit(written ? kSuccess : kLocalFile);
}

int32_t Milliseconds(const char* option, const char* text) {
  int32_t v = 0;
  if (!rtl::TryStrToInt(text, v) || v < 0)
    throw UsageError(std::string(option) + " takes a number of milliseconds (0 or more)");
  return v;
}

void ParseHostPort(const char* option, const std::string& text, std::string& host,
                   int32_t& port) {
  // The host is shown (statuses, errors); a login written into it would be shown with it.
  if (text.find('@') != std::string::npos)
    throw UsageError(std::string(option) + " takes HOST:PORT only; give the proxy's login with " +
                     "its user and password options");
  const size_t colon = text.rfind(':');
  host = text.substr(0, colon);
  if (colon != std::string::npos &&
      (!rtl::TryStrToInt(text.substr(colon + 1), port) || port < 1 || port > 65535))
    throw UsageError(std::string(option) + ": the port must be a number from 1 to 65535");
  if (host.empty()) throw UsageError(std::string(option) + " needs HOST:PORT");
}

net::TIdFtpProxyType ProxyType(const std::string& name) {
  if (name == "user-site") return net::fpcmUserSite;
  if (name == "site") return net::fpcmSite;
  if (name == "open") return net::fpcmOpen;
  if (name == "user-pass") return net::fpcmUserPass;
  if (name == "transparent") return net::fpcmTransparent;
  throw UsageError("--ftp-proxy-type is one of user-site, site, open, user-pass, transparent");
}

// Checks that concern every command.
Options Finish(Options o, bool proxy_type_given) {
  if (proxy_type_given && o.proxy_host.empty() && o.proxy_type != net::fpcmTransparent)
    throw UsageError("--ftp-proxy-type needs --ftp-proxy");
  if (o.socks_version != net::svNoSocks && o.active)
    throw UsageError("--active cannot work through a SOCKS proxy: the server cannot reach us");
  if (o.allow_foreign_data_peer && !o.active)
    throw UsageError("--allow-foreign-data-peer belongs to --active");
  if (!o.socks_password.empty() && o.socks_version != net::svSocks5)
    throw UsageError("--socks-password needs --socks5");
  if ((!o.cacert.empty() || o.insecure) && !o.tls)
    throw UsageError("--cacert and --insecure belong to --tls");
  if (o.quiet) o.verbose = false;
  return o;
}

net::TIdFTPListFormat ListStyle(const std::string& name) {
  if (name == "dos") return net::flfDos;
  if (name == "unix") return net::flfUnix;
  if (name == "vms") return net::flfVax;
  if (name == "names") return net::flfNoDetails;
  throw UsageError("--format is one of dos, unix, vms, names");
}

// Parses the arguments of a command (argv[0] is "get" or "ls").
Options ParseCommand(int argc, char** argv) {
  enum {
    kActive = 1000, kResume, kNoClobber, kAscii, kConnectTimeout, kReadTimeout, kFtpProxy,
    kFtpProxyType, kFtpProxyUser, kFtpProxyPassword, kTrustPasv, kProgress, kNoProgress, kVersion,
    kSocks4, kSocks4A, kSocks5, kSocksUser, kSocksPassword, kRaw, kFormat, kTls, kCacert,
    kInsecure, kForeignDataPeer
  };
  static const option kLong[] = {
      {"active", no_argument, nullptr, kActive},
      {"resume", no_argument, nullptr, kResume},
      {"no-clobber", no_argument, nullptr, kNoClobber},
      {"ascii", no_argument, nullptr, kAscii},
      {"connect-timeout", required_argument, nullptr, kConnectTimeout},
      {"read-timeout", required_argument, nullptr, kReadTimeout},
      {"ftp-proxy", required_argument, nullptr, kFtpProxy},
      {"ftp-proxy-type", required_argument, nullptr, kFtpProxyType},
      {"ftp-proxy-user", required_argument, nullptr, kFtpProxyUser},
      {"ftp-proxy-password", required_argument, nullptr, kFtpProxyPassword},
      {"trust-pasv-address", no_argument, nullptr, kTrustPasv},
      {"allow-foreign-data-peer", no_argument, nullptr, kForeignDataPeer},
      {"tls", no_argument, nullptr, kTls},
      {"cacert", required_argument, nullptr, kCacert},
      {"insecure", no_argument, nullptr, kInsecure},
      {"socks4", required_argument, nullptr, kSocks4},
      {"socks4a", required_argument, nullptr, kSocks4A},
      {"socks5", required_argument, nullptr, kSocks5},
      {"socks-user", required_argument, nullptr, kSocksUser},
      {"socks-password", required_argument, nullptr, kSocksPassword},
      {"raw", no_argument, nullptr, kRaw},
      {"format", required_argument, nullptr, kFormat},
      {"progress", no_argument, nullptr, kProgress},
      {"no-progress", no_argument, nullptr, kNoProgress},
      {"quiet", no_argument, nullptr, 'q'},
      {"verbose", no_argument, nullptr, 'v'},
      {"help", no_argument, nullptr, 'h'},
      {"version", no_argument, nullptr, kVersion},
      {nullptr, 0, nullptr, 0}};
  Options o;
  o.command = argv[0];
  const bool ls = o.command == "ls";
  bool proxy_type_given = false;
  opterr = 0;  // our own message, in our own words
  optind = 1;
  int c;
  while ((c = getopt_long(argc, argv, ":qvh", kLong, nullptr)) != -1) {
    switch (c) {
      case kActive: o.active = true; break;
      case kResume: o.resume = true; break;
      case kNoClobber: o.no_clobber = true; break;
      case kAscii: o.ascii = true; break;
      case kConnectTimeout: o.connect_timeout = Milliseconds("--connect-timeout", optarg); break;
      case kReadTimeout: o.read_timeout = Milliseconds("--read-timeout", optarg); break;
      case kFtpProxy: ParseHostPort("--ftp-proxy", optarg, o.proxy_host, o.proxy_port); break;
      case kSocks4:
      case kSocks4A:
      case kSocks5:
        if (o.socks_version != net::svNoSocks) throw UsageError("give one SOCKS proxy only");
        o.socks_version = c == kSocks4 ? net::svSocks4 : c == kSocks4A ? net::svSocks4A : net::svSocks5;
        ParseHostPort(c == kSocks4 ? "--socks4" : c == kSocks4A ? "--socks4a" : "--socks5", optarg,
                      o.socks_host, o.socks_port);
        break;
      case kSocksUser: o.socks_user = optarg; break;
      case kSocksPassword: o.socks_password = optarg; break;
      case kRaw: o.raw = true; break;
      case kFormat: o.format = ListStyle(optarg); break;
      case kFtpProxyType: o.proxy_type = ProxyType(optarg); proxy_type_given = true; break;
      case kFtpProxyUser: o.proxy_user = optarg; break;
      case kFtpProxyPassword: o.proxy_password = optarg; break;
      case kTrustPasv: o.trust_pasv_address = true; break;
      case kForeignDataPeer: o.allow_foreign_data_peer = true; break;
      case kTls: o.tls = true; break;
      case kCacert:
        o.cacert = optarg;
        if (o.cacert.empty()) throw UsageError("--cacert needs a file");
        break;
      case kInsecure: o.insecure = true; break;
      case kProgress: o.progress = true; break;
      case kNoProgress: o.progress = false; break;
      case 'q': o.quiet = true; break;
      case 'v': o.verbose = true; break;
      case 'h': ExitAfterPrinting(kHelp);
      case kVersion: ExitAfterPrinting(std::string("tavo-ftp ") + TAVO_VERSION + "\n");
      default: {
        // Never echo an option's value: it may be a password.
        std::string name;
        if (optopt > 0 && optopt < 1000) {
          name = std::string("-") + static_cast<char>(optopt);
        } else {
          const char* arg = argv[optind - 1];
          name.assign(arg, std::strcspn(arg, "="));
        }
        throw UsageError((c == ':' ? "missing value for " : "unknown option ") + name);
      }
    }
  }
  const int rest = argc - optind;
  if (rest < 1) throw UsageError("no URL given");
  if (rest > (ls ? 1 : 2)) throw UsageError("too many arguments");
  if (ls && (o.resume || o.no_clobber || o.progress.has_value()))
    throw UsageError("--resume, --no-clobber and --progress belong to get");
  if (!ls && (o.raw || o.format.has_value())) throw UsageError("--raw and --format belong to ls");
  try {
    if (ls) {
      o.url = ParseFtpFolderUrl(argv[optind]);
      return Finish(o, proxy_type_given);
    }
    o.url = ParseFtpUrl(argv[optind]);
    o.dest = rest == 2 ? argv[optind + 1] : DefaultDestination(o.url);
  } catch (const UrlError& e) {
    throw UsageError(e.what());
  }
  if (o.dest.empty()) throw UsageError("DEST must not be empty");
  if (o.dest == "-" && o.resume) throw UsageError("--resume needs a file as DEST, not \"-\"");
  return Finish(o, proxy_type_given);
}

// The class of an error as its users know it: "EIdProtocolReplyError", without namespaces.
std::string ClassName(const std::exception& e) {
  const char* mangled = typeid(e).name();
  int status = 0;
  char* demangled = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
  std::string name = status == 0 && demangled != nullptr ? demangled : mangled;
  std::free(demangled);
  const size_t colon = name.rfind("::");
  return colon == std::string::npos ? name : name.substr(colon + 2);
}

// Standard output as a stream: written in order, never sought.
class StdoutStream : public rtl::TStream {
 public:
  StdoutStream() {
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);  // bytes as they come, no CR added
#endif
  }
  int64_t Read(void*, int64_t) override { return 0; }
  int64_t Write(const void* buffer, int64_t count) override {
    errno = 0;
    if (std::fwrite(buffer, 1, static_cast<size_t>(count), stdout) != static_cast<size_t>(count))
      Fail();
    written_ += count;
    return count;
  }
  int64_t Seek(int64_t offset, rtl::TSeekOrigin origin) override {
    // Only the questions a reader asks (where am I, how much is there) can be answered.
    if (offset != 0 || origin == rtl::TSeekOrigin::soBeginning) {
      if (!(origin == rtl::TSeekOrigin::soBeginning && offset == written_))
        throw rtl::EStreamError("standard output cannot be repositioned");
    }
    return written_;
  }
  void SetSize(int64_t new_size) override {
    if (new_size != written_) throw rtl::EStreamError("standard output cannot be resized");
  }
  void Flush() override {
    errno = 0;
    if (std::fflush(stdout) != 0) Fail();
  }

 private:
  [[noreturn]] static void Fail() {
    throw rtl::EWriteError(std::string("standard output: ") +
                           std::strerror(errno != 0 ? errno : EIO));
  }
  int64_t written_ = 0;
};

// The file a download is written to before it takes DEST's place: a new name beside DEST (the
// final rename stays on one file system), made exclusively with the access a new file gets.
// It goes again unless Commit moved it into place, also when the user interrupts.
class TemporaryFile {
 public:
  // Raises rtl::EFCreateError with the system's reason when no name can be had.
  explicit TemporaryFile(const std::string& dest) {
    std::filesystem::path folder = rtl::PathFromUtf8(dest).parent_path();
    if (folder.empty()) folder = ".";
    std::random_device seed;
    std::mt19937 random(seed());
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string reason;
    for (int attempt = 0; attempt < 100; ++attempt) {
      std::string name = ".tavo-ftp-";
      for (int i = 0; i < 10; ++i) name += kLetters[random() % (sizeof kLetters - 1)];
      const std::string path = rtl::Utf8FromPath(folder / rtl::PathFromUtf8(name + ".part"));
      const platform::TFsResult made = platform::CreateNewFile(path, reason);
      if (made == platform::TFsResult::frDone) {
        path_ = path;
        platform::SetInterruptCleanupFile(path_);
        return;
      }
      if (made == platform::TFsResult::frFailed) break;
    }
    throw rtl::EFCreateError("cannot make a temporary file beside " + dest + ": " + reason);
  }
  ~TemporaryFile() {
    if (!path_.empty()) platform::RemoveFile(path_);
    platform::SetInterruptCleanupFile("");
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  const std::string& Path() const { return path_; }
  // Moves the complete file into DEST's place: replacing DEST, or with `exclusive` only when
  // nothing carries that name (then false, and the file stays temporary).
  bool Commit(const std::string& dest, bool exclusive) {
    std::string reason;
    const platform::TFsResult moved = platform::MoveIntoPlace(path_, dest, !exclusive, reason);
    if (moved == platform::TFsResult::frExists) return false;
    if (moved == platform::TFsResult::frFailed)
      throw rtl::EWriteError("cannot move the download into place as " + dest + ": " + reason);
    path_.clear();
    platform::SetInterruptCleanupFile("");
    return true;
  }

 private:
  std::string path_;
};

// Counts what passes to the destination and tells the progress meter.
class CountingStream : public rtl::TStream {
 public:
  CountingStream(rtl::TStream& target, Progress& progress) : target_(target), progress_(progress) {}
  int64_t Read(void* buffer, int64_t count) override { return target_.Read(buffer, count); }
  int64_t Write(const void* buffer, int64_t count) override {
    const int64_t n = target_.Write(buffer, count);
    bytes_ += n > 0 ? n : 0;
    progress_.Update(bytes_);
    return n;
  }
  int64_t Seek(int64_t offset, rtl::TSeekOrigin origin) override {
    const int64_t pos = target_.Seek(offset, origin);
    if (origin != rtl::TSeekOrigin::soCurrent || offset != 0) bytes_ = pos;
    return pos;
  }
  void SetSize(int64_t new_size) override { target_.SetSize(new_size); }
  void Flush() override { target_.Flush(); }
  int64_t Bytes() const { return bytes_; }

 private:
  rtl::TStream& target_;
  Progress& progress_;
  int64_t bytes_ = 0;
};

// What the statuses of a session told: shown with --verbose, except the ready status of a
// transfer ("Transfer abgeschlossen"), which the library raises also after a failure; it is
// held back until the command knows the transfer succeeded.
struct Session {
  bool verbose = false;
  bool aborted = false;     // the server reported the transfer aborted
  bool transferred = false; // a transfer began
  bool in_transfer = false;
  std::string held_ready;

  // The held status, once the transfer is known to have succeeded.
  void ShowReady(Console& err) {
    if (verbose && !held_ready.empty()) err.Line(held_ready);
    held_ready.clear();
  }
};

// The client as the options ask: server and login, mode, time-outs, proxies, and statuses.
void Configure(TIdFTP& ftp, const Options& o, Console& err, Session& session) {
  ftp.SetHost(o.url.host);
  ftp.SetPort(o.url.port);
  ftp.SetUsername(o.url.has_user ? o.url.user : "anonymous");
  ftp.SetPassword(o.url.has_user ? o.url.password : "anonymous@");
  ftp.SetPassive(!o.active);
  ftp.SetTrustPasvAddress(o.trust_pasv_address);
  ftp.SetAllowForeignDataPeer(o.allow_foreign_data_peer);
  ftp.SetReadTimeout(o.read_timeout);
  // A downloader moves bulk data: receives of 256 KiB (the library's default chunk is 32 KiB)
  // halve the system calls per byte, and each chunk is one write to DEST. The data connection
  // takes this size from the client, as it takes the time-outs.
  ftp.SetRecvBufferSize(kBulkReceiveSize);
  ftp.SetTransferType(o.ascii ? net::ftASCII : net::ftBinary);
  if (!o.proxy_host.empty() || o.proxy_type == net::fpcmTransparent) {
    net::TIdFtpProxySettings& proxy = ftp.ProxySettings();
    proxy.SetProxyType(o.proxy_type);
    proxy.SetHost(o.proxy_host);
    proxy.SetPort(o.proxy_port);
    proxy.SetUserName(o.proxy_user);
    proxy.SetPassword(o.proxy_password);
  }
  if (o.tls) {
    ftp.SetUseTLS(net::utRequireTLS);
    ftp.TLSSettings().SetCAFile(o.cacert);
    ftp.TLSSettings().SetInsecureSkipCertificateCheck(o.insecure);
    // Said also with --quiet: whoever runs this must know the session is not protected.
    if (o.insecure)
      err.Line("tavo-ftp: warning: --insecure: the server's certificate is not checked; anyone "
               "on the path can read and change this session");
  }
  if (o.socks_version != net::svNoSocks) {
    // The control connection's handler carries the proxy settings; every data connection
    // takes a copy of them. With TLS it must be able to carry TLS as well.
    net::TIdIOHandlerSocket* handler =
        o.tls ? new net::TIdIOHandlerTLS(&ftp) : new net::TIdIOHandlerSocket(&ftp);  // owned
    net::TIdSocksInfo& socks = *handler->SocksInfo();
    socks.SetVersion(o.socks_version);
    socks.SetHost(o.socks_host);
    socks.SetPort(o.socks_port);
    socks.SetUsername(o.socks_user);
    socks.SetPassword(o.socks_password);
    socks.SetAuthentication(o.socks_password.empty() && o.socks_user.empty()
                                ? net::saNoAuthentication
                                : net::saUsernamePassword);
    ftp.SetIOHandler(handler);
  }
  session.verbose = o.verbose;
  ftp.SetOnStatus([&err, &session](rtl::TComponent*, net::TIdStatus status,
                                   const std::string& text) {
    if (status == net::ftpTransfer) {
      session.transferred = session.in_transfer = true;
    } else if (status == net::ftpReady && session.in_transfer) {
      session.in_transfer = false;
      session.held_ready = text;
      return;
    } else if (status == net::ftpAborted) {
      session.aborted = true;
    }
    if (session.verbose) err.Line(text);
  });
}

// One line for the error that ended a command, and the exit code it means.
int Failure(Console& err, const std::exception& e) {
  // A DEST larger than the server's file cannot be its beginning: a local matter.
  if (dynamic_cast<const rtl::EStreamError*>(&e) != nullptr ||
      dynamic_cast<const net::EIdFTPLocalFileLarger*>(&e) != nullptr) {
    err.Line("tavo-ftp: " + ClassName(e) + ": " + e.what());
    return kLocalFile;
  }
  if (const auto* reply = dynamic_cast<const net::EIdProtocolReplyError*>(&e)) {
    // The reply's code tells a technician as much as its text.
    err.Line("tavo-ftp: " + ClassName(e) + " " + std::to_string(reply->ReplyCode()) + ": " +
             e.what());
    return kNetworkFailure;
  }
  err.Line("tavo-ftp: " + ClassName(e) + ": " + e.what());
  return kNetworkFailure;
}

bool IsTerminal(std::FILE* f);

int Get(const Options& o, Console& err) {
  const bool to_stdout = o.dest == "-";
  Progress progress(err, o.progress.value_or(IsTerminal(stderr)) && !o.quiet);

  // Local refusals come before any connection: nothing is sent for a file we would not write.
  const platform::TPathKind kind =
      to_stdout ? platform::TPathKind::pkOther : platform::PathKind(o.dest);
  if (kind == platform::TPathKind::pkFolder) {
    err.Line("tavo-ftp: " + o.dest + " is a folder; give a file name as DEST");
    return kLocalFile;
  }
  // Anything carrying the name counts, a symbolic link to nothing too: writing through it
  // would make a file elsewhere.
  if (o.no_clobber && !o.resume && !to_stdout && platform::PathEntryExists(o.dest)) {
    err.Line("tavo-ftp: " + o.dest + " exists; not replaced (--no-clobber)");
    return kLocalFile;
  }
  // DEST is written in place only where it must be: a resume appends to it, and something
  // that is no regular file (standard output, /dev/null, a FIFO, a terminal) cannot be
  // replaced by renaming (as root, a rename onto /dev/null would replace the device with a
  // file). Everything else goes through a temporary file that takes DEST's place when whole.
  const bool resume_in_place = o.resume && kind == platform::TPathKind::pkFile;

  TIdFTP ftp;
  Session session;
  Configure(ftp, o, err, session);

  std::unique_ptr<TemporaryFile> temporary;
  std::unique_ptr<rtl::TStream> target;  // closed before the temporary file goes
  rtl::TFileStream* file = nullptr;
  int64_t already = 0;
  try {
    ftp.Connect(true, o.connect_timeout);
    if (!o.url.directory.empty()) ftp.ChangeDir(o.url.directory);

    if (to_stdout) {
      target = std::make_unique<StdoutStream>();
    } else if (resume_in_place) {
      target = std::make_unique<rtl::TFileStream>(o.dest, rtl::fmOpenWrite);
      already = target->Seek(0, rtl::TSeekOrigin::soEnd);
      // Without restart markers the whole file would be appended to what is there.
      if (already > 0 && !ftp.ProbeResume()) {
        err.Line("tavo-ftp: the server cannot resume a transfer (REST refused); " + o.dest +
                 " left as it is");
        ftp.Disconnect();
        return kNetworkFailure;
      }
    } else if (kind == platform::TPathKind::pkOther || o.resume) {
      target = std::make_unique<rtl::TFileStream>(o.dest, rtl::fmCreate);
    } else {
      temporary = std::make_unique<TemporaryFile>(o.dest);
      target = std::make_unique<rtl::TFileStream>(temporary->Path(), rtl::fmOpenWrite);
    }
    file = dynamic_cast<rtl::TFileStream*>(target.get());
    CountingStream counted(*target, progress);
    counted.Seek(already, rtl::TSeekOrigin::soBeginning);
    ftp.SetOnWorkBegin([&](rtl::TComponent*, net::TWorkMode mode, int32_t) {
      if (mode == net::wmRead) progress.Begin(ftp.TransferSize() >= 0 ? already + ftp.TransferSize() : -1, already);
    });
    ftp.SetOnWorkEnd([&](rtl::TComponent*, net::TWorkMode mode) {
      if (mode == net::wmRead) progress.End();
    });
    try {
      ftp.Get(o.url.file, counted, o.resume);
    } catch (const net::EIdFTPTransferTooLong&) {
      // A resume whose server sent more than the file holds (it ignored the restart marker
      // and began again at byte 0): what it appended is not the file's rest.
      if (resume_in_place) {
        try {
          file->SetSize(already);
        } catch (const std::exception&) {
          // The error that ended the transfer is the one to report.
        }
      }
      throw;
    }
    progress.End();
    // The library returns from a transfer the server reports aborted (426/450) and says so
    // with a status; for the tool a partial file is a failure.
    if (session.aborted) {
      err.Line("tavo-ftp: the server aborted the transfer; " +
               (to_stdout ? std::string("the output") : o.dest) +
               (temporary ? " was not written" : " is incomplete"));
      ftp.Disconnect();
      return kNetworkFailure;
    }
    if (file != nullptr) file->Close();
    if (temporary && !temporary->Commit(o.dest, o.no_clobber)) {
      err.Line("tavo-ftp: " + o.dest + " appeared meanwhile; not replaced (--no-clobber)");
      ftp.Disconnect();
      return kLocalFile;
    }
    if (!session.transferred && o.verbose)
      err.Line("tavo-ftp: " + o.dest + " is complete already; nothing to transfer");
    session.ShowReady(err);
    ftp.Disconnect();
  } catch (const std::exception& e) {
    progress.End();
    return Failure(err, e);
  }
  return kSuccess;
}

// "2026-12-07T22:26:00", or "-" for an entry without a date.
std::string IsoTime(rtl::TDateTime value) {
  rtl::TDateTimeParts p;
  if (value == 0 || !rtl::DecodeDateTime(value, p)) return "-";
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", p.Year, p.Month, p.Day, p.Hour,
                p.Minute, p.Second);
  return buf;
}

int Ls(const Options& o, Console& err) {
  TIdFTP ftp;
  Session session;
  Configure(ftp, o, err, session);
  if (o.format) {
    ftp.SetOnCheckListFormat([style = *o.format](rtl::TComponent*, const std::string&,
                                                 net::TIdFTPListFormat& format) { format = style; });
  }
  try {
    ftp.Connect(true, o.connect_timeout);
    if (!o.url.directory.empty()) ftp.ChangeDir(o.url.directory);
    ftp.List();
    if (!session.aborted) session.ShowReady(err);
    ftp.Disconnect();
  } catch (const std::exception& e) {
    return Failure(err, e);
  }
  if (session.aborted) {
    err.Line("tavo-ftp: the server aborted the listing; it is incomplete");
    return kNetworkFailure;
  }
  std::string out;
  const auto emit = [&out](std::string_view line) {
    out.assign(line).append(1, '\n');
    std::fwrite(out.data(), 1, out.size(), stdout);
  };
  if (o.raw) {
    // Byte for byte for a program that reads them; a terminal gets no raw control characters.
    const bool terminal = IsTerminal(stdout);
    const rtl::TPackedLines& lines = ftp.ListLines();
    for (int i = 0; i < lines.Count(); ++i)
      emit(terminal ? Printable(lines[i]) : std::string(lines[i]));
  } else {
    const net::TIdFTPListItems& items = *ftp.ListingItems();
    for (int i = 0; i < items.Count(); ++i) {
      const net::TIdFTPListItem& item = items.Items(i);
      if (items.ListFormat() == net::flfNoDetails) {
        emit(Printable(item.Name()));
        continue;
      }
      const char kind = item.Kind() == net::KindDirectory ? 'd' : item.Kind() == net::KindLink ? 'l' : '-';
      // Appended piece by piece: g++ 12 warns falsely (-Wrestrict) about literal + string.
      char head[48];
      std::snprintf(head, sizeof head, "%c %12lld ", kind, static_cast<long long>(item.Size()));
      std::string line = head;
      line.append(IsoTime(item.Modified())).append(1, ' ').append(Printable(item.Name()));
      if (item.Kind() == net::KindLink && !item.LinkTarget().empty())
        line.append(" -> ").append(Printable(item.LinkTarget()));
      emit(line);
    }
  }
  // A failed write sets the stream's error flag; the flush may then find nothing left to do.
  errno = 0;
  if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
    err.Line(std::string("tavo-ftp: standard output: ") + std::strerror(errno != 0 ? errno : EIO));
    return kLocalFile;
  }
  return kSuccess;
}

bool IsTerminal(std::FILE* f) {
#ifdef _WIN32
  return _isatty(_fileno(f)) != 0;
#else
  return ::isatty(::fileno(f)) != 0;
#endif
}

int Run(int argc, char** argv) {
  Console err(stderr);
  if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0))
    ExitAfterPrinting(kHelp);
  if (argc >= 2 && std::strcmp(argv[1], "--version") == 0)
    ExitAfterPrinting(std::string("tavo-ftp ") + TAVO_VERSION + "\n");
  try {
    if (argc < 2 || (std::strcmp(argv[1], "get") != 0 && std::strcmp(argv[1], "ls") != 0))
      throw UsageError(argc < 2 ? "no command given" : "unknown command (get or ls)");
    const Options options = ParseCommand(argc - 1, argv + 1);
    platform::SetInterruptMessage(options.command == "ls"
                                      ? "tavo-ftp: interrupted; the listing was not completed\n"
                                      : "tavo-ftp: interrupted; the transfer was not completed\n");
    platform::InstallInterruptHandler();
    return options.command == "ls" ? Ls(options, err) : Get(options, err);
  } catch (const UsageError& e) {
    err.Line(std::string("tavo-ftp: ") + e.what());
    err.Line(kUsageLine);
    err.Line("Try 'tavo-ftp --help' for more information.");
    return kUsage;
  }
}

}  // namespace
}  // namespace tavo::tool

int main(int argc, char** argv) { return tavo::tool::Run(argc, argv); }
