#include "tools/tavo-ftp/progress.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>

#include "rtl/format.h"
#include "tools/tavo-ftp/messages.h"

namespace tavo::tool {
namespace {

constexpr auto kRedrawEvery = std::chrono::milliseconds(100);
constexpr auto kPeriodicEvery = std::chrono::seconds(5);
// The current rate is measured over this window: long enough to smooth the bursts of a
// network, short enough to follow a change within seconds.
constexpr auto kRateWindow = std::chrono::seconds(3);

// One decimal, with the language's decimal mark.
std::string OneDecimal(double AValue) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.1f", AValue);
  std::string text = buffer;
  if (res::Language() == res::TLanguage::lgGerman) std::replace(text.begin(), text.end(), '.', ',');
  return text;
}

}  // namespace

std::string HumanBytes(double ABytes) {
  static const char* const kUnits[] = {"B", "KiB", "MiB", "GiB", "TiB"};
  int unit = 0;
  while (ABytes >= 1024 && unit < 4) {
    ABytes /= 1024;
    ++unit;
  }
  if (unit == 0) return std::to_string(static_cast<int64_t>(ABytes)) + " B";
  return OneDecimal(ABytes).append(1, ' ').append(kUnits[unit]);
}

std::string HoursMinutesSeconds(int64_t ASeconds) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%" PRId64 ":%02" PRId64 ":%02" PRId64, ASeconds / 3600,
                ASeconds / 60 % 60, ASeconds % 60);
  return buffer;
}

std::string SummaryLine(const std::string& AName, int64_t ABytes, int64_t AReceived,
                        double ASeconds) {
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.2f", ASeconds);
  std::string time = ASeconds < 60 ? std::string(seconds).append(" s")
                                   : HoursMinutesSeconds(static_cast<int64_t>(ASeconds));
  if (res::Language() == res::TLanguage::lgGerman) std::replace(time.begin(), time.end(), '.', ',');
  const double rate = ASeconds > 0 ? static_cast<double>(AReceived) / ASeconds : 0.0;
  return rtl::Format(msg::kSummary, {AName, HumanBytes(static_cast<double>(ABytes)), time,
                                     HumanBytes(rate).append("/s")});
}

void Progress::Begin(const std::string& AName, int64_t ATotal, int64_t AStart) {
  if (mode_ == TMode::pmOff) return;
  running_ = true;
  name_ = AName;
  total_ = ATotal;
  bytes_ = AStart;
  started_ = last_draw_ = Clock::now();
  samples_.assign(1, {started_, AStart});
  if (mode_ == TMode::pmRedrawn) Draw(started_);
}

void Progress::Update(int64_t ABytes) {
  if (!running_) return;
  bytes_ = ABytes;
  const Clock::time_point now = Clock::now();
  if (now - last_draw_ < (mode_ == TMode::pmRedrawn ? Clock::duration(kRedrawEvery)
                                                     : Clock::duration(kPeriodicEvery)))
    return;
  samples_.emplace_back(now, ABytes);
  while (samples_.size() > 2 && now - samples_[1].first >= kRateWindow) samples_.pop_front();
  Draw(now);
}

void Progress::End() {
  if (!running_) return;
  running_ = false;
  if (mode_ == TMode::pmRedrawn) {
    Draw(Clock::now());
    console_.EndLine();
  }
}

double Progress::CurrentRate(Clock::time_point ANow) const {
  const auto& [since, bytes] = samples_.front();
  const double seconds = std::chrono::duration<double>(ANow - since).count();
  return seconds > 0 ? static_cast<double>(bytes_ - bytes) / seconds : 0.0;
}

void Progress::Draw(Clock::time_point ANow) {
  last_draw_ = ANow;
  const double rate = CurrentRate(ANow);
  const bool sized = total_ > 0;
  std::string left = "--:--:--";
  if (sized && rate > 0 && bytes_ <= total_)
    left = HoursMinutesSeconds(static_cast<int64_t>(static_cast<double>(total_ - bytes_) / rate));
  const int percent =
      sized ? static_cast<int>(std::clamp(static_cast<double>(bytes_) / static_cast<double>(total_),
                                          0.0, 1.0) * 100)
            : 0;
  if (mode_ == TMode::pmPeriodic) {
    console_.Line(sized ? rtl::Format(msg::kProgressSized,
                                      {name_, percent, HumanBytes(static_cast<double>(bytes_)),
                                       HumanBytes(static_cast<double>(total_)), HumanBytes(rate),
                                       left})
                        : rtl::Format(msg::kProgressUnsized,
                                      {name_, HumanBytes(static_cast<double>(bytes_)),
                                       HumanBytes(rate)}));
    return;
  }
  // Bytes, rate and time first; the bar takes what the terminal's width leaves.
  std::string tail = HumanBytes(static_cast<double>(bytes_));
  // Appended piece by piece: g++ 12 warns falsely (-Wrestrict) about literal + string.
  if (sized) tail.append(" / ").append(HumanBytes(static_cast<double>(total_)));
  tail.append("  ").append(HumanBytes(rate)).append("/s  ");
  tail += sized ? rtl::Format(msg::kProgressLeft, {left})
                : HoursMinutesSeconds(std::chrono::duration_cast<std::chrono::seconds>(
                                          ANow - started_).count());
  std::string line;
  if (sized) {
    char head[8];
    std::snprintf(head, sizeof head, "%3d%% ", percent);
    // The bar's width stays the same while the numbers beside it change theirs.
    constexpr int kTailRoom = 54;
    const int bar = std::min(console_.Columns() - 1 - 6 - kTailRoom, 30);
    if (bar >= 10) {
      const int filled = bar * percent / 100;
      line.append(1, '[').append(static_cast<size_t>(filled), '#');
      line.append(static_cast<size_t>(bar - filled), '.').append("] ");
    }
    line += head;
  }
  console_.Redraw(line + tail);
}

}  // namespace tavo::tool
