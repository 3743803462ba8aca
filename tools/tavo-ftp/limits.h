#pragma once
// The bounds a run keeps besides the library's own time-outs: --max-time for the whole run,
// --speed-limit/--speed-time for a transfer that crawls, and --limit-rate for the pace of
// receiving. Bytes are counted as they reach the file; while the network is silent the
// library's idle hook asks the guard every tenth of a second (it is set up only when a bound
// needs it, so an unbounded run waits exactly as the library does).

#include <chrono>
#include <cstdint>
#include <memory>

#include "tools/tavo-ftp/options.h"

namespace tavo::tool {

class TransferGuard {
 public:
  explicit TransferGuard(const Options& AOptions);
  ~TransferGuard();
  TransferGuard(const TransferGuard&) = delete;
  TransferGuard& operator=(const TransferGuard&) = delete;

  // A transfer begins or ends; the speed is watched only in between.
  void BeginTransfer();
  void EndTransfer();
  // ABytes more reached the file: keeps the rate limit (by waiting) and checks the bounds.
  void Counted(int64_t ABytes);
  // Raises ToolError (exit 6) when the run is out of time or the transfer too slow.
  void Check();
  // Milliseconds left of --max-time; -1 without one.
  int64_t RemainingMs() const;
  // Waits AMs, at most what is left of --max-time (a retry's pause); then Check.
  void Pause(int64_t AMs);

 private:
  using Clock = std::chrono::steady_clock;
  class IdleHook;

  int64_t max_time_ms_;
  int64_t speed_limit_;
  Clock::duration speed_time_;
  int64_t limit_rate_;
  Clock::time_point run_started_;
  bool in_transfer_ = false;
  Clock::time_point transfer_started_;
  int64_t transfer_bytes_ = 0;
  // The speed's window: bytes since `window_started_`, and since when it has been too slow.
  Clock::time_point window_started_;
  int64_t window_bytes_ = 0;
  bool slow_ = false;
  Clock::time_point slow_since_;
  std::unique_ptr<IdleHook> hook_;
};

}  // namespace tavo::tool
