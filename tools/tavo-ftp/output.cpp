#include "tools/tavo-ftp/output.h"

#include <algorithm>
#include <cinttypes>

#include "platform/interrupt.h"
#include "tools/tavo-ftp/text.h"

namespace tavo::tool {

void Console::Line(const std::string& text) {
  std::string line = text;
  // Server texts and socket messages carry their own line breaks; one error is one line.
  std::replace(line.begin(), line.end(), '\r', ' ');
  std::replace(line.begin(), line.end(), '\n', ' ');
  while (!line.empty() && line.back() == ' ') line.pop_back();
  // Standard error has nobody to report its own failure to; what it could not take is lost.
  std::fputs((Printable(line) + "\n").c_str(), out_);
  std::fflush(out_);
}

std::string HumanBytes(double ABytes) {
  static const char* const kUnits[] = {"B", "KiB", "MiB", "GiB", "TiB"};
  int unit = 0;
  while (ABytes >= 1024 && unit < 4) {
    ABytes /= 1024;
    ++unit;
  }
  char buf[32];
  std::snprintf(buf, sizeof buf, unit == 0 ? "%.0f %s" : "%.1f %s", ABytes, kUnits[unit]);
  return buf;
}

void Progress::Begin(int64_t ATotal, int64_t AStart) {
  if (!enabled_) return;
  running_ = true;
  platform::SetInterruptLineOpen(true);
  total_ = ATotal;
  start_bytes_ = AStart;
  bytes_ = AStart;
  started_ = Clock::now();
  last_draw_ = Clock::time_point();
  last_width_ = 0;
  Draw(false);
}

void Progress::Update(int64_t ABytes) {
  if (!running_) return;
  bytes_ = ABytes;
  if (Clock::now() - last_draw_ >= std::chrono::milliseconds(100)) Draw(false);
}

void Progress::End() {
  if (!running_) return;
  Draw(true);
  std::fputc('\n', console_.Stream());
  std::fflush(console_.Stream());
  running_ = false;
  platform::SetInterruptLineOpen(false);
}

void Progress::Draw(bool AFinal) {
  last_draw_ = Clock::now();
  const double seconds =
      std::chrono::duration<double>(last_draw_ - started_).count();
  const double rate = seconds > 0 ? static_cast<double>(bytes_ - start_bytes_) / seconds : 0.0;
  std::string line;
  if (total_ > 0) {
    const double fraction = std::clamp(static_cast<double>(bytes_) / static_cast<double>(total_), 0.0, 1.0);
    constexpr int kBar = 24;
    const int filled = static_cast<int>(fraction * kBar);
    line.reserve(80);
    line += '[';
    line.append(static_cast<size_t>(filled), '#');
    line.append(static_cast<size_t>(kBar - filled), '.');
    line += "] ";
    char pct[16];
    std::snprintf(pct, sizeof pct, "%3d%% ", static_cast<int>(fraction * 100));
    line += pct;
    line += HumanBytes(static_cast<double>(bytes_)) + " / " + HumanBytes(static_cast<double>(total_));
  } else {
    line = HumanBytes(static_cast<double>(bytes_));
  }
  line += "  " + HumanBytes(rate) + "/s";
  if (total_ > 0 && !AFinal) {
    if (rate > 0 && bytes_ <= total_) {
      const auto left = static_cast<int64_t>(static_cast<double>(total_ - bytes_) / rate);
      char eta[32];
      std::snprintf(eta, sizeof eta, "  %" PRId64 ":%02" PRId64 " left", left / 60, left % 60);
      line += eta;
    } else {
      line += "  --:-- left";
    }
  }
  // Redrawn in place: back to the line's start, and blanks over what a longer line left.
  const size_t width = line.size();
  if (width < last_width_) line += std::string(last_width_ - width, ' ');
  last_width_ = width;
  std::fprintf(console_.Stream(), "\r%s", line.c_str());
  std::fflush(console_.Stream());
}

}  // namespace tavo::tool
