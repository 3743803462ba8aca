// Peak memory of a connection that reads a large stream until the peer closes.
//
// For each size a child process connects a TIdTCPClient to a loopback sender thread, reads
// with ReadToStream(until close) into a stream that only counts and checks the bytes, and
// reports its peak resident set size before and after the transfer. A file is never held in
// memory whole, so the growth must stay a few MiB whatever the size.
//
//   tavo_bench_read_memory            8 MiB and 1 GiB
//   tavo_bench_read_memory <bytes>    one size

#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_support.h"
#include "net/tcp/connection.h"
#include "rtl/streams.h"

namespace {

uint8_t PatternByte(int64_t i) { return static_cast<uint8_t>((i * 131 + (i >> 16) * 7 + 17) & 0xFF); }

using tavo::bench::PeakRssKiB;

// Accepts one connection, sends `total` pattern bytes and closes.
class Sender {
 public:
  explicit Sender(int64_t total) : total_(total) {
    listen_fd_ = tavo::bench::ListenLoopback(port_);
    thread_ = std::thread([this] { Run(); });
  }
  ~Sender() {
    thread_.join();
    ::close(listen_fd_);
  }
  int Port() const { return port_; }

 private:
  void Run() {
    const int fd = ::accept(listen_fd_, nullptr, nullptr);
    std::vector<uint8_t> block(1 << 16);
    for (int64_t off = 0; off < total_;) {
      const size_t n = static_cast<size_t>(std::min<int64_t>(total_ - off, block.size()));
      for (size_t j = 0; j < n; ++j) block[j] = PatternByte(off + static_cast<int64_t>(j));
      size_t done = 0;
      while (done < n) {
        const ssize_t k = ::send(fd, block.data() + done, n - done, MSG_NOSIGNAL);
        if (k <= 0) {
          std::perror("send");
          ::close(fd);
          return;
        }
        done += static_cast<size_t>(k);
      }
      off += static_cast<int64_t>(n);
    }
    ::close(fd);
  }

  int64_t total_;
  int listen_fd_ = -1;
  int port_ = 0;
  std::thread thread_;
};

// Keeps nothing: counts the bytes and checks each against the pattern.
class CheckingSink : public tavo::rtl::TStream {
 public:
  int64_t Read(void*, int64_t) override { return 0; }
  int64_t Write(const void* buffer, int64_t count) override {
    const auto* p = static_cast<const uint8_t*>(buffer);
    for (int64_t i = 0; i < count; ++i)
      if (p[i] != PatternByte(position_ + i)) ++mismatches_;
    position_ += count;
    size_ = std::max(size_, position_);
    return count;
  }
  int64_t Seek(int64_t offset, tavo::rtl::TSeekOrigin origin) override {
    const int64_t base = origin == tavo::rtl::TSeekOrigin::soBeginning ? 0
                         : origin == tavo::rtl::TSeekOrigin::soCurrent ? position_
                                                                         : size_;
    position_ = base + offset;
    return position_;
  }
  void SetSize(int64_t s) override { size_ = s; }
  int64_t mismatches() const { return mismatches_; }

 private:
  int64_t position_ = 0;
  int64_t size_ = 0;
  int64_t mismatches_ = 0;
};

int RunOne(int64_t total) {
  const long before = PeakRssKiB();
  Sender sender(total);
  tavo::net::TIdTCPClient client;
  client.SetHost("127.0.0.1");
  client.SetPort(sender.Port());
  client.Connect();
  CheckingSink sink;
  const auto t0 = std::chrono::steady_clock::now();
  client.ReadToStream(sink, -1, true);
  const double secs =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  const long after = PeakRssKiB();
  std::printf("%12lld bytes  read %12lld  mismatches %lld  peak RSS %6ld KiB before, %6ld KiB after "
              "(+%ld KiB)  %.0f MiB/s\n",
              static_cast<long long>(total), static_cast<long long>(sink.Position()),
              static_cast<long long>(sink.mismatches()), before, after, after - before,
              static_cast<double>(total) / (1 << 20) / secs);
  return sink.Position() == total && sink.mismatches() == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) return RunOne(std::strtoll(argv[1], nullptr, 10));
  int rc = 0;
  for (const int64_t total : {int64_t{8} << 20, int64_t{1} << 30}) {
    // A child per size, so that each peak belongs to its own transfer.
    const pid_t pid = ::fork();
    if (pid == 0) {
      const int child_rc = RunOne(total);
      std::fflush(stdout);
      _exit(child_rc);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) rc = 1;
  }
  return rc;
}
