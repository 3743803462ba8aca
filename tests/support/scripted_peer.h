#pragma once
// A scripted loopback peer for byte-exact protocol tests.
//
// The test writes a script first (what to send, in which chunk sizes, what to read and expect,
// which signals to wait for, how to end), then calls Start(). The peer listens on 127.0.0.1 at an
// ephemeral port, and a thread of its own accepts the connection and runs the script. All
// bytes it receives are recorded per connection. Every wait is bounded (StepTimeout), and the
// destructor stops the thread and closes every socket, also when a test fails half-way.
//
//   ScriptedPeer peer;
//   peer.Send("220 ready\r\n").ExpectLine("USER anonymous").Send("331 ok\r\n", 3, 5).Close();
//   peer.Start();
//   client.SetPort(peer.Port()); ...
//   EXPECT_TRUE(peer.WaitScriptDone(5000));
//   EXPECT_EQ(peer.Failures(), std::vector<std::string>{});
//
// Nothing here synchronises by sleeping. Pieces meant to arrive as receives of their own are
// paced by the reader (SetReaderThread): the peer sends the next piece only once the reading
// thread has taken everything and sleeps waiting for more. A step that must wait for the test
// waits for a Gate the test opens.

#include <sys/types.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "rtl/component.h"

namespace tavo::testsupport {

// A one-way signal from the test to the peer's thread: open once, and every wait for it
// returns. Declare it before the peer that waits for it, so that it outlives the peer.
class Gate {
 public:
  void Open();
  bool IsOpen() const;
  // True once open; false after ms.
  bool Wait(int ms) const;

 private:
  mutable std::mutex mu_;
  mutable std::condition_variable cv_;
  bool open_ = false;
};

class ScriptedPeer : public rtl::TComponent {
 public:
  // What a custom step gets: the accepted socket and the peer, to read and write as it likes.
  struct Connection {
    int fd = -1;
    int index = 0;  // 0 for the first accepted connection
  };
  using Step = std::function<bool(ScriptedPeer& peer, Connection& conn)>;

  explicit ScriptedPeer(rtl::TComponent* AOwner = nullptr);
  ~ScriptedPeer() override;

  // --- script; each call appends one step and returns the peer for chaining ----------------
  // Waits for the next connection. The script starts with one implicitly.
  ScriptedPeer& Accept();
  // Sends the bytes in pieces of `chunk` bytes (0: all in one write). With a reader thread
  // set, each piece but the last waits until the reader has taken everything and waits for
  // more, so every piece reaches it as a receive of its own. `pause_ms` only spaces the pieces
  // out (it guarantees nothing about how they arrive).
  ScriptedPeer& Send(std::string bytes, size_t chunk = 0, int pause_ms = 0);
  // Sends the bytes in pieces of the given sizes, one after another (cycling when the list is
  // shorter than the data), paced like Send.
  ScriptedPeer& SendChunks(std::string bytes, std::vector<size_t> sizes, int pause_ms = 0);
  // Waits until the test opens the gate (bounded by the step time-out).
  ScriptedPeer& Await(const Gate& gate);
  // Waits until the reader thread has taken everything sent so far and sleeps waiting for
  // more, then records a failure when the client has sent anything meanwhile: it must still
  // be reading (`what` says what it is reading).
  ScriptedPeer& ExpectSilentReader(std::string what);
  // Sends `total` bytes of PatternByte(i) without holding them in memory at once.
  ScriptedPeer& SendPattern(int64_t total, size_t chunk = 65536);
  ScriptedPeer& Pause(int ms);
  // Reads one line through its LF and records a failure unless it equals `line` once its
  // CR LF (or LF) is removed.
  ScriptedPeer& ExpectLine(std::string line);
  // Reads one line through its LF, whatever it holds.
  ScriptedPeer& ReadLine();
  // Reads exactly n bytes.
  ScriptedPeer& ReadBytes(size_t n);
  // Reads until the other side closes (end of stream or reset).
  ScriptedPeer& ReadUntilClose();
  // Orderly close: FIN now; after the last step, whatever the client still sends is drained
  // and recorded until it closes too (or the peer stops), then the socket is closed.
  ScriptedPeer& Close();
  // Abortive close: SO_LINGER 0 and close, so the client sees a reset.
  ScriptedPeer& Reset();
  // Makes the index-th connection (0: the first accepted, in the order connections were
  // accepted or dialled) the one the following steps use, e.g. back to a control connection
  // after a data connection.
  ScriptedPeer& Use(int index);
  // Connects to 127.0.0.1 at the port `port()` returns when the step runs (e.g. one a
  // previous step read from the client) and makes that connection the current one. `from`
  // names another loopback address to connect from (127.0.0.2: a stranger on this machine).
  ScriptedPeer& Dial(std::function<int()> port, std::string from = {});
  // Anything else; return false to abort the script (record why with AddFailure).
  ScriptedPeer& Do(Step step);

  // --- running -------------------------------------------------------------------------------
  // Listens and starts the thread. Raises std::runtime_error when the socket cannot be set up.
  void Start();
  uint16_t Port() const { return port_; }
  // Bound for each wait inside a step (default 10000 ms); set before Start.
  void SetStepTimeout(int ms) { step_timeout_ms_ = ms; }
  // The thread that reads what the peer sends (ThisThreadId() of the test, usually), for
  // pacing and ExpectSilentReader; set before Start.
  void SetReaderThread(pid_t tid) { reader_tid_ = tid; }

  // Waits up to ms for the script's last step to finish; true when it did.
  bool WaitScriptDone(int ms);
  // Stops the thread and closes every socket (the destructor does it too).
  void Stop();

  // --- results (thread-safe) -----------------------------------------------------------------
  std::string Received() const;           // all connections, in order
  std::string Received(int index) const;  // one connection
  int Connections() const;
  std::vector<std::string> Failures() const;
  void AddFailure(const std::string& what);

  // Helpers for custom steps: bounded, stop-aware reads and writes on a connection. They
  // record what they read. Read returns the bytes read (empty at end of stream), false on
  // time-out or stop.
  bool SendAll(Connection& conn, const void* data, size_t n);
  bool ReadSome(Connection& conn, std::string& out, size_t max);
  bool ReadExactly(Connection& conn, std::string& out, size_t n);
  bool ReadLineFrom(Connection& conn, std::string& line);  // through LF, LF included

  // The byte SendPattern sends at offset i; also used by readers to verify.
  static uint8_t PatternByte(int64_t i) {
    return static_cast<uint8_t>((i * 131 + (i >> 16) * 7 + 17) & 0xFF);
  }

 private:
  static Step AcceptStep();
  void Run();
  bool WaitReadable(int fd);
  // True once the reader thread sleeps waiting for input; records a failure otherwise.
  bool WaitForWaitingReader(const char* why);
  void Record(const Connection& conn, const char* data, size_t n);
  void DrainAndClose(Connection& conn);
  // Records a new connection (accepted or dialled) and makes it current.
  void Adopt(Connection& conn, int fd);

  std::vector<Step> steps_;
  int listen_fd_ = -1;
  uint16_t port_ = 0;
  int step_timeout_ms_ = 10000;
  pid_t reader_tid_ = 0;
  // The reader's sleep count when the last send began: a reader found sleeping has taken what
  // was sent only if it slept again since (its wake-up may lag behind the send).
  std::atomic<long> reader_sleeps_at_send_{-1};
  std::thread thread_;
  std::atomic<bool> stop_{false};

  mutable std::mutex mu_;
  std::condition_variable done_cv_;
  bool script_done_ = false;
  std::vector<std::string> received_;
  std::vector<std::string> failures_;
  std::vector<int> open_fds_;
  std::vector<int> conn_fds_;  // by connection index; -1 once the script closed it
};

// A listener on 127.0.0.1 whose accept queue is full, so that further connects stay in the
// handshake (the kernel drops their SYNs) until they are abandoned. Never accepts.
class StalledListener {
 public:
  StalledListener();  // raises std::runtime_error when it cannot get the queue full
  ~StalledListener();
  StalledListener(const StalledListener&) = delete;
  StalledListener& operator=(const StalledListener&) = delete;
  uint16_t Port() const { return port_; }

 private:
  int listen_fd_ = -1;
  uint16_t port_ = 0;
  std::vector<int> fillers_;
};

}  // namespace tavo::testsupport
