#include "tests/support/scripted_peer.h"


#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>

#include "tests/support/test_sockets.h"
#include "tests/support/thread_state.h"

namespace tavo::testsupport {

namespace {

constexpr int kSliceMs = 20;  // how often a wait looks at the stop flag

using Clock = std::chrono::steady_clock;

int ListenLoopback(uint16_t& port, int backlog) {
  const int fd = OpenTcpSocket();
  if (fd < 0) throw std::runtime_error(std::string("socket: ") + SocketErrorText(SocketErrno()));
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::listen(fd, backlog) != 0) {
    const int err = SocketErrno();
    CloseSocket(fd);
    throw std::runtime_error(std::string("bind/listen: ") + SocketErrorText(err));
  }
  socklen_t len = sizeof addr;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  port = ntohs(addr.sin_port);
  return fd;
}

}  // namespace

void Gate::Open() {
  {
    std::lock_guard<std::mutex> lock(mu_);
    open_ = true;
  }
  cv_.notify_all();
}

bool Gate::IsOpen() const {
  std::lock_guard<std::mutex> lock(mu_);
  return open_;
}

bool Gate::Wait(int ms) const {
  std::unique_lock<std::mutex> lock(mu_);
  return cv_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return open_; });
}

ScriptedPeer::ScriptedPeer(rtl::TComponent* AOwner) : rtl::TComponent(AOwner) {}

ScriptedPeer::~ScriptedPeer() { Stop(); }

// ---- script -----------------------------------------------------------------------------------

ScriptedPeer& ScriptedPeer::Accept() { return Do(AcceptStep()); }

ScriptedPeer::Step ScriptedPeer::AcceptStep() {
  return [](ScriptedPeer& p, Connection& conn) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(p.step_timeout_ms_);
    while (!p.stop_.load()) {
      pollfd pfd = PollFor(p.listen_fd_, POLLIN);
      if (PollSockets(&pfd, 1, kSliceMs) > 0) {
        const int fd = AcceptTcp(p.listen_fd_);
        if (fd >= 0) {
          p.Adopt(conn, fd);
          return true;
        }
      }
      if (Clock::now() > deadline) {
        p.AddFailure("accept: nobody connected in time");
        return false;
      }
    }
    return false;
  };
}

ScriptedPeer& ScriptedPeer::Send(std::string bytes, size_t chunk, int pause_ms) {
  if (chunk == 0) chunk = std::max<size_t>(bytes.size(), 1);
  return SendChunks(std::move(bytes), {chunk}, pause_ms);
}

ScriptedPeer& ScriptedPeer::SendChunks(std::string bytes, std::vector<size_t> sizes,
                                       int pause_ms) {
  return Do([bytes = std::move(bytes), sizes = std::move(sizes), pause_ms](ScriptedPeer& p,
                                                                           Connection& conn) {
    size_t off = 0;
    size_t i = 0;
    while (off < bytes.size()) {
      size_t n = sizes.empty() ? bytes.size() : sizes[i++ % sizes.size()];
      n = std::clamp<size_t>(n, 1, bytes.size() - off);
      if (!p.SendAll(conn, bytes.data() + off, n)) return false;
      off += n;
      if (off == bytes.size()) break;
      if (p.reader_tid_ != 0 && !p.WaitForWaitingReader("to take a piece")) return false;
      if (pause_ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(pause_ms));
    }
    return true;
  });
}

ScriptedPeer& ScriptedPeer::Await(const Gate& gate) {
  return Do([&gate](ScriptedPeer& p, Connection&) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(p.step_timeout_ms_);
    while (!gate.Wait(kSliceMs)) {
      if (p.stop_.load()) return false;
      if (Clock::now() > deadline) {
        p.AddFailure("await: the test did not open the gate in time");
        return false;
      }
    }
    return true;
  });
}

ScriptedPeer& ScriptedPeer::ExpectSilentReader(std::string what) {
  return Do([what = std::move(what)](ScriptedPeer& p, Connection& conn) {
    if (!p.WaitForWaitingReader(what.c_str())) return false;
    // The reader sleeps waiting for input after having taken everything: whatever it was going
    // to send in answer would have been sent before, and be here now.
    pollfd pfd = PollFor(conn.fd, POLLIN);
    if (PollSockets(&pfd, 1, 0) > 0) {
      p.AddFailure("client sent while it should still be reading " + what);
      return false;
    }
    return true;
  });
}

ScriptedPeer& ScriptedPeer::SendPattern(int64_t total, size_t chunk) {
  return Do([total, chunk](ScriptedPeer& p, Connection& conn) {
    std::vector<uint8_t> block(std::max<size_t>(chunk, 1));
    int64_t off = 0;
    while (off < total) {
      const size_t n = static_cast<size_t>(std::min<int64_t>(total - off, block.size()));
      for (size_t j = 0; j < n; ++j) block[j] = PatternByte(off + static_cast<int64_t>(j));
      if (!p.SendAll(conn, block.data(), n)) return false;
      off += static_cast<int64_t>(n);
    }
    return true;
  });
}

ScriptedPeer& ScriptedPeer::Pause(int ms) {
  return Do([ms](ScriptedPeer& p, Connection&) {
    const auto until = Clock::now() + std::chrono::milliseconds(ms);
    while (!p.stop_.load() && Clock::now() < until)
      std::this_thread::sleep_for(std::chrono::milliseconds(std::min(ms, kSliceMs)));
    return !p.stop_.load();
  });
}

ScriptedPeer& ScriptedPeer::ExpectLine(std::string line) {
  return Do([line = std::move(line)](ScriptedPeer& p, Connection& conn) {
    std::string got;
    if (!p.ReadLineFrom(conn, got)) {
      p.AddFailure("expected line \"" + line + "\", got end of stream or time-out after \"" +
                   got + "\"");
      return false;
    }
    if (!got.empty() && got.back() == '\n') got.pop_back();
    if (!got.empty() && got.back() == '\r') got.pop_back();
    if (got != line) p.AddFailure("expected line \"" + line + "\", got \"" + got + "\"");
    return true;
  });
}

ScriptedPeer& ScriptedPeer::ReadLine() {
  return Do([](ScriptedPeer& p, Connection& conn) {
    std::string got;
    if (!p.ReadLineFrom(conn, got)) {
      p.AddFailure("expected a line, got end of stream or time-out");
      return false;
    }
    return true;
  });
}

ScriptedPeer& ScriptedPeer::ReadBytes(size_t n) {
  return Do([n](ScriptedPeer& p, Connection& conn) {
    std::string got;
    if (!p.ReadExactly(conn, got, n)) {
      p.AddFailure("expected " + std::to_string(n) + " bytes, got " + std::to_string(got.size()));
      return false;
    }
    return true;
  });
}

ScriptedPeer& ScriptedPeer::ReadUntilClose() {
  return Do([](ScriptedPeer& p, Connection& conn) {
    std::string chunk;
    while (true) {
      chunk.clear();
      if (!p.ReadSome(conn, chunk, 65536)) {
        p.AddFailure("the other side did not close in time");
        return false;
      }
      if (chunk.empty()) return true;
    }
  });
}

ScriptedPeer& ScriptedPeer::Close() {
  return Do([](ScriptedPeer&, Connection& conn) {
    // Only the FIN here; what the client still sends is drained after the last step.
    if (conn.fd >= 0) ::shutdown(conn.fd, kShutWrite);
    return true;
  });
}

ScriptedPeer& ScriptedPeer::Reset() {
  return Do([](ScriptedPeer& p, Connection& conn) {
    if (conn.fd < 0) return true;
    linger lg{1, 0};
    ::setsockopt(conn.fd, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&lg), sizeof lg);
    {
      std::lock_guard<std::mutex> lock(p.mu_);
      p.open_fds_.erase(std::remove(p.open_fds_.begin(), p.open_fds_.end(), conn.fd),
                        p.open_fds_.end());
      std::replace(p.conn_fds_.begin(), p.conn_fds_.end(), conn.fd, -1);
    }
    CloseSocket(conn.fd);
    conn.fd = -1;
    return true;
  });
}

void ScriptedPeer::Adopt(Connection& conn, int fd) {
  const int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
  MakeDontWait(fd);
  std::lock_guard<std::mutex> lock(mu_);
  open_fds_.push_back(fd);
  conn.index = static_cast<int>(received_.size());
  received_.emplace_back();
  conn_fds_.push_back(fd);
  conn.fd = fd;
}

ScriptedPeer& ScriptedPeer::Use(int index) {
  return Do([index](ScriptedPeer& p, Connection& conn) {
    std::lock_guard<std::mutex> lock(p.mu_);
    if (index < 0 || index >= static_cast<int>(p.conn_fds_.size())) {
      p.failures_.push_back("use: no connection " + std::to_string(index));
      return false;
    }
    conn.index = index;
    conn.fd = p.conn_fds_[static_cast<size_t>(index)];
    return true;
  });
}

ScriptedPeer& ScriptedPeer::Dial(std::function<int()> port, std::string from) {
  return Do([port = std::move(port), from = std::move(from)](ScriptedPeer& p, Connection& conn) {
    const int target = port();
    const int fd = OpenTcpSocket();
    sockaddr_in source{};
    source.sin_family = AF_INET;
    const bool bound = from.empty() ||
                       (::inet_pton(AF_INET, from.c_str(), &source.sin_addr) == 1 &&
                        ::bind(fd, reinterpret_cast<sockaddr*>(&source), sizeof source) == 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(target));
    if (fd < 0 || !bound || target <= 0 || target > 65535 ||
        ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
      p.AddFailure("dial: cannot connect to port " + std::to_string(target) + ": " +
                   SocketErrorText(SocketErrno()));
      if (fd >= 0) CloseSocket(fd);
      return false;
    }
    p.Adopt(conn, fd);
    return true;
  });
}

ScriptedPeer& ScriptedPeer::Do(Step step) {
  steps_.push_back(std::move(step));
  return *this;
}

// ---- running ----------------------------------------------------------------------------------

void ScriptedPeer::Start() {
  if (thread_.joinable()) throw std::runtime_error("ScriptedPeer started twice");
  listen_fd_ = ListenLoopback(port_, 16);
  thread_ = std::thread([this] { Run(); });
}

void ScriptedPeer::Run() {
  Connection conn;
  std::vector<Step> steps;
  steps.reserve(steps_.size() + 1);
  steps.push_back(AcceptStep());
  for (auto& s : steps_) steps.push_back(s);

  bool aborted = false;
  for (auto& step : steps) {
    if (stop_.load()) break;
    if (!step(*this, conn)) {
      aborted = true;
      break;
    }
  }
  // A broken script ends its side at once, so that a client still waiting for the next bytes
  // fails now instead of at its own read time-out.
  if (aborted && conn.fd >= 0) ::shutdown(conn.fd, kShutWrite);
  {
    std::lock_guard<std::mutex> lock(mu_);
    script_done_ = true;
  }
  done_cv_.notify_all();
  // The connection stays as the script left it (open, or half-closed by Close) and is read
  // and recorded until the client closes it or the peer stops: a client that writes after the
  // last step must neither see an unasked-for close nor get a reset.
  if (conn.fd >= 0 && !stop_.load()) DrainAndClose(conn);
}

bool ScriptedPeer::WaitScriptDone(int ms) {
  std::unique_lock<std::mutex> lock(mu_);
  return done_cv_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return script_done_; });
}

void ScriptedPeer::Stop() {
  stop_.store(true);
  if (thread_.joinable()) thread_.join();
  std::lock_guard<std::mutex> lock(mu_);
  for (const int fd : open_fds_) CloseSocket(fd);
  open_fds_.clear();
  if (listen_fd_ >= 0) CloseSocket(listen_fd_);
  listen_fd_ = -1;
}

// ---- results ----------------------------------------------------------------------------------

std::string ScriptedPeer::Received() const {
  std::lock_guard<std::mutex> lock(mu_);
  std::string all;
  for (const auto& r : received_) all += r;
  return all;
}

std::string ScriptedPeer::Received(int index) const {
  std::lock_guard<std::mutex> lock(mu_);
  if (index < 0 || index >= static_cast<int>(received_.size())) return {};
  return received_[static_cast<size_t>(index)];
}

int ScriptedPeer::Connections() const {
  std::lock_guard<std::mutex> lock(mu_);
  return static_cast<int>(received_.size());
}

std::vector<std::string> ScriptedPeer::Failures() const {
  std::lock_guard<std::mutex> lock(mu_);
  return failures_;
}

void ScriptedPeer::AddFailure(const std::string& what) {
  std::lock_guard<std::mutex> lock(mu_);
  failures_.push_back(what);
}

// ---- I/O helpers ------------------------------------------------------------------------------

bool ScriptedPeer::WaitReadable(int fd) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(step_timeout_ms_);
  while (!stop_.load()) {
    pollfd pfd = PollFor(fd, POLLIN);
    const int r = PollSockets(&pfd, 1, kSliceMs);
    if (r > 0) return true;
    if (r < 0 && SocketErrno() != EINTR) return false;
    if (Clock::now() > deadline) return false;
  }
  return false;
}

bool ScriptedPeer::WaitForWaitingReader(const char* why) {
  if (reader_tid_ == 0) {
    AddFailure(std::string("no reader thread set to wait for, ") + why);
    return false;
  }
  if (WaitUntilBlockedIn(reader_tid_, WaitCalls(), step_timeout_ms_, &stop_,
                         reader_sleeps_at_send_.load()))
    return true;
  if (!stop_.load()) AddFailure(std::string("the reader did not wait for input in time, ") + why);
  return false;
}

void ScriptedPeer::Record(const Connection& conn, const char* data, size_t n) {
  std::lock_guard<std::mutex> lock(mu_);
  if (conn.index >= 0 && conn.index < static_cast<int>(received_.size()))
    received_[static_cast<size_t>(conn.index)].append(data, n);
}

bool ScriptedPeer::SendAll(Connection& conn, const void* data, size_t n) {
  if (reader_tid_ != 0) reader_sleeps_at_send_ = SleepCount(reader_tid_);
  const auto* p = static_cast<const char*>(data);
  const auto deadline = Clock::now() + std::chrono::milliseconds(step_timeout_ms_);
  while (n > 0) {
    if (stop_.load() || conn.fd < 0) return false;
    pollfd pfd = PollFor(conn.fd, POLLOUT);
    const int r = PollSockets(&pfd, 1, kSliceMs);
    if (r == 0) {
      if (Clock::now() > deadline) {
        AddFailure("send: the other side did not read in time");
        return false;
      }
      continue;
    }
    const ssize_t k = ::send(conn.fd, p, n, kMsgNoSignal | kMsgDontWait);
    if (k < 0) {
      const int err = SocketErrno();
      if (err == EAGAIN || err == EINTR) continue;
      AddFailure(std::string("send: ") + SocketErrorText(SocketErrno()));
      return false;
    }
    p += k;
    n -= static_cast<size_t>(k);
  }
  return true;
}

bool ScriptedPeer::ReadSome(Connection& conn, std::string& out, size_t max) {
  if (conn.fd < 0 || !WaitReadable(conn.fd)) return false;
  std::string buf(max, '\0');
  const ssize_t k = ::recv(conn.fd, buf.data(), static_cast<int>(max), kMsgDontWait);
  if (k < 0) {
    const int err = SocketErrno();
    if (err == EAGAIN || err == EINTR) return true;  // spurious wake-up: nothing yet
    return err == ECONNRESET;  // a reset ends the stream like a close
  }
  Record(conn, buf.data(), static_cast<size_t>(k));
  out.append(buf.data(), static_cast<size_t>(k));
  return true;
}

bool ScriptedPeer::ReadExactly(Connection& conn, std::string& out, size_t n) {
  while (out.size() < n) {
    const size_t before = out.size();
    if (!ReadSome(conn, out, n - out.size())) return false;
    if (out.size() == before) {
      // Either end of stream or a spurious wake-up; poll tells them apart.
      pollfd pfd = PollFor(conn.fd, POLLIN);
      char c;
      if (PollSockets(&pfd, 1, 0) > 0 && ::recv(conn.fd, &c, 1, MSG_PEEK | kMsgDontWait) == 0)
        return false;
    }
  }
  return true;
}

bool ScriptedPeer::ReadLineFrom(Connection& conn, std::string& line) {
  // One byte at a time, so that nothing beyond the line is taken from the socket.
  while (line.empty() || line.back() != '\n') {
    std::string one;
    if (!ReadExactly(conn, one, 1)) return false;
    line += one;
  }
  return true;
}

void ScriptedPeer::DrainAndClose(Connection& conn) {
  if (conn.fd < 0) return;
  std::string sink;
  while (!stop_.load()) {
    sink.clear();
    if (!ReadSome(conn, sink, 65536)) break;
    if (sink.empty()) {
      char c;
      if (::recv(conn.fd, &c, 1, MSG_PEEK | kMsgDontWait) != -1 || SocketErrno() != EAGAIN) break;
    }
  }
  {
    std::lock_guard<std::mutex> lock(mu_);
    open_fds_.erase(std::remove(open_fds_.begin(), open_fds_.end(), conn.fd), open_fds_.end());
    std::replace(conn_fds_.begin(), conn_fds_.end(), conn.fd, -1);
  }
  CloseSocket(conn.fd);
  conn.fd = -1;
}

// ---- stalled listener -------------------------------------------------------------------------

StalledListener::StalledListener() {
  listen_fd_ = ListenLoopback(port_, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(port_);
  // Connect non-blocking clients until one stays in the handshake: from then on the queue is
  // full and every further connect hangs as well.
  for (int i = 0; i < 64; ++i) {
    const int fd = OpenTcpSocket(true);
    if (fd < 0) break;
    fillers_.push_back(fd);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) continue;
    if (const int err = SocketErrno(); err != EINPROGRESS && err != EAGAIN) break;
    pollfd pfd = PollFor(fd, POLLOUT);
    if (PollSockets(&pfd, 1, 200) == 0) return;  // still in the handshake: the queue is full
  }
  for (const int fd : fillers_) CloseSocket(fd);
  CloseSocket(listen_fd_);
  throw std::runtime_error("could not fill the accept queue of a loopback listener");
}

StalledListener::~StalledListener() {
  for (const int fd : fillers_) CloseSocket(fd);
  if (listen_fd_ >= 0) CloseSocket(listen_fd_);
}

}  // namespace tavo::testsupport
