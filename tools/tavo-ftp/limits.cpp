#include "tools/tavo-ftp/limits.h"

#include <algorithm>

#include "net/tcp/antifreeze.h"
#include "platform/sleep.h"
#include "rtl/format.h"
#include "tools/tavo-ftp/errors.h"
#include "tools/tavo-ftp/messages.h"
#include "tools/tavo-ftp/progress.h"

namespace tavo::tool {
namespace {

// How often the guard looks while nothing arrives, and the span a speed is measured over.
constexpr int32_t kIdleSliceMs = 100;
constexpr auto kSpeedWindow = std::chrono::seconds(1);

int64_t Ms(std::chrono::steady_clock::duration d) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(d).count();
}

std::string SecondsText(int64_t AMs) {
  return AMs % 1000 == 0 ? std::to_string(AMs / 1000) + " s" : std::to_string(AMs) + " ms";
}

}  // namespace

// The library's idle hook, which runs while a wait finds nothing to read (and between the
// slices of a connect): it asks the guard, whose error ends the wait.
class TransferGuard::IdleHook : public net::TIdAntiFreezeBase {
 public:
  explicit IdleHook(TransferGuard& AGuard) : guard_(AGuard) { SetIdleTimeOut(kIdleSliceMs); }
  void ProcessPending() override { guard_.Check(); }

 private:
  TransferGuard& guard_;
};

TransferGuard::TransferGuard(const Options& o)
    : max_time_ms_(o.max_time_ms),
      speed_limit_(o.speed_limit),
      speed_time_(std::chrono::milliseconds(o.speed_time_ms)),
      limit_rate_(o.limit_rate),
      run_started_(Clock::now()) {
  if (max_time_ms_ > 0 || speed_limit_ > 0) hook_ = std::make_unique<IdleHook>(*this);
}

TransferGuard::~TransferGuard() = default;

void TransferGuard::BeginTransfer() {
  in_transfer_ = true;
  transfer_started_ = window_started_ = Clock::now();
  transfer_bytes_ = window_bytes_ = 0;
  slow_ = false;
}

void TransferGuard::EndTransfer() { in_transfer_ = false; }

void TransferGuard::Counted(int64_t ABytes) {
  transfer_bytes_ += ABytes;
  window_bytes_ += ABytes;
  if (limit_rate_ > 0) {
    // Ahead of the pace: wait until the bytes so far are due.
    const int64_t due_ms = transfer_bytes_ * 1000 / limit_rate_;
    const int64_t ahead = due_ms - Ms(Clock::now() - transfer_started_);
    if (ahead > 0) Pause(ahead);
  }
  Check();
}

void TransferGuard::Check() {
  const Clock::time_point now = Clock::now();
  if (max_time_ms_ > 0 && Ms(now - run_started_) >= max_time_ms_)
    throw ToolError(kTimeout, rtl::Format(msg::kMaxTime, {SecondsText(max_time_ms_)}));
  if (speed_limit_ <= 0 || !in_transfer_ || now - window_started_ < kSpeedWindow) return;
  // The speed over the last window; too slow for --speed-time in a row ends the transfer.
  const double seconds = std::chrono::duration<double>(now - window_started_).count();
  const bool slow = static_cast<double>(window_bytes_) / seconds < static_cast<double>(speed_limit_);
  if (slow && !slow_) slow_since_ = window_started_;
  slow_ = slow;
  window_started_ = now;
  window_bytes_ = 0;
  if (slow && now - slow_since_ >= speed_time_)
    throw ToolError(kTimeout,
                    rtl::Format(msg::kTooSlow, {HumanBytes(static_cast<double>(speed_limit_)),
                                                SecondsText(Ms(speed_time_))}),
                    true);
}

int64_t TransferGuard::RemainingMs() const {
  if (max_time_ms_ <= 0) return -1;
  return std::max<int64_t>(0, max_time_ms_ - Ms(Clock::now() - run_started_));
}

void TransferGuard::Pause(int64_t AMs) {
  const int64_t left = RemainingMs();
  int64_t wait = left >= 0 ? std::min(AMs, left) : AMs;
  // In slices, so that --max-time ends a long pause in time.
  while (wait > 0) {
    const int64_t slice = std::min<int64_t>(wait, 1000);
    platform::Sleep(static_cast<uint32_t>(slice));
    wait -= slice;
  }
  if (max_time_ms_ > 0 && RemainingMs() == 0)
    throw ToolError(kTimeout, rtl::Format(msg::kMaxTime, {SecondsText(max_time_ms_)}));
}

}  // namespace tavo::tool
