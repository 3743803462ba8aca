// Peak memory of keeping a large listing: tavo_bench_listing_memory lists, from a loopback
// server thread of its own, 10 MiB of short lines in three shapes and prints, for each, the
// growth of the peak resident set size while List ran and then while the entries were built
// (ListingItems). The lines are kept packed, so a listing stays within a few times its size;
// one of more than a million lines is refused when its line 1000001 arrives.
//
//   tavo_bench_listing_memory

#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "bench/bench_support.h"
#include "net/ftp/ftp.h"
#include "net/ftp/listing.h"

namespace {

using tavo::bench::ListenLoopback;
using tavo::bench::PeakRssKiB;

void SendAll(int fd, const std::string& bytes) {
  for (size_t done = 0; done < bytes.size();) {
    const ssize_t k = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (k <= 0) return;  // the client gave up (the line cap)
    done += static_cast<size_t>(k);
  }
}

// Just enough of an FTP server for one LIST: every line is answered by its command, and LIST
// sends `total` bytes of `line` repeated, made in pieces so the server holds none of it whole.
class ListingServer {
 public:
  ListingServer(std::string line, size_t total) : line_(std::move(line)), total_(total) {
    control_ = ListenLoopback(port_);
    thread_ = std::thread([this] { Run(); });
  }
  ~ListingServer() {
    thread_.join();
    ::close(control_);
  }
  int Port() const { return port_; }

 private:
  void Run() {
    const int c = ::accept(control_, nullptr, nullptr);
    SendAll(c, "220 ready\r\n");
    std::string pending;
    char buf[512];
    for (ssize_t n; (n = ::recv(c, buf, sizeof buf, 0)) > 0;) {
      pending.append(buf, static_cast<size_t>(n));
      for (size_t lf; (lf = pending.find('\n')) != std::string::npos; pending.erase(0, lf + 1)) {
        const std::string command = pending.substr(0, 4);
        if (command == "PASV") {
          int port = 0;
          data_ = ListenLoopback(port);
          SendAll(c, "227 Entering Passive Mode (127,0,0,1," + std::to_string(port / 256) + "," +
                         std::to_string(port % 256) + ").\r\n");
        } else if (command == "LIST") {
          SendAll(c, "150 Here it comes.\r\n");
          const int d = ::accept(data_, nullptr, nullptr);
          std::string piece;
          while (piece.size() < 65536) piece += line_;
          for (size_t sent = 0; sent < total_; sent += piece.size())
            SendAll(d, piece.substr(0, std::min(piece.size(), total_ - sent)));
          ::close(d);
          ::close(data_);
          SendAll(c, "226 Done.\r\n");
        } else {
          SendAll(c, command == "USER"   ? "230 in\r\n"
                     : command == "SYST" ? "215 UNIX\r\n"
                                         : "200 ok\r\n");
        }
      }
    }
    ::close(c);
  }

  std::string line_;
  size_t total_;
  int control_ = -1;
  int data_ = -1;
  int port_ = 0;
  std::thread thread_;
};

void RunOne(const char* shape, const std::string& line, tavo::net::TIdFTPListFormat format) {
  constexpr size_t kTotal = size_t{10} << 20;
  ListingServer server(line, kTotal);
  tavo::net::TIdFTP ftp;
  ftp.SetHost("127.0.0.1");
  ftp.SetPort(server.Port());
  ftp.SetUsername("u");
  ftp.SetPassword("p");
  ftp.SetPassive(true);
  ftp.SetOnCheckListFormat([format](tavo::rtl::TComponent*, const std::string&,
                                    tavo::net::TIdFTPListFormat& f) { f = format; });
  ftp.Connect();
  const long before = PeakRssKiB();
  std::string outcome;
  try {
    ftp.List();
    outcome = std::to_string(ftp.ListLines().Count()) + " lines";
  } catch (const std::exception& e) {
    outcome = e.what();
  }
  const long listed = PeakRssKiB();
  const int entries = ftp.ListLines().Count() > 0 ? ftp.ListingItems()->Count() : 0;
  const long built = PeakRssKiB();
  std::printf(
      "10 MiB of %-24s %s\n  peak RSS +%ld KiB for the lines, +%ld KiB more for %d entries\n",
      shape, outcome.c_str(), listed - before, built - listed, entries);
  ftp.Disconnect();
}

}  // namespace

int main() {
  const struct {
    const char* shape;
    std::string line;
    tavo::net::TIdFTPListFormat format;
  } cases[] = {
      {"two-byte lines:", "a\n", tavo::net::flfNoDetails},
      {"eleven-byte names:", "abcdefghij\n", tavo::net::flfNoDetails},
      {"short Unix lines:", "-rw-r--r-- 1 u g 1 Jan 01 2020 a\r\n", tavo::net::flfUnix},
  };
  for (const auto& c : cases) {
    // A child per case, so that each peak belongs to its own listing.
    const pid_t pid = ::fork();
    if (pid == 0) {
      RunOne(c.shape, c.line, c.format);
      std::fflush(stdout);
      _exit(0);
    }
    ::waitpid(pid, nullptr, 0);
  }
  return 0;
}
