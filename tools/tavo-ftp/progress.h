#pragma once
// The progress of one file: on a terminal a line redrawn in place at most ten times a second
// (bar and percentage when the size is known, bytes, the current rate over the last seconds,
// the time left as h:mm:ss); elsewhere, when asked for, a plain line every few seconds. The
// summary line after a file (size, time, average rate) is the command's, made by SummaryLine.

#include <chrono>
#include <cstdint>
#include <deque>
#include <string>

#include "tools/tavo-ftp/output.h"

namespace tavo::tool {

class Progress {
 public:
  enum class TMode { pmOff, pmRedrawn, pmPeriodic };

  Progress(Console& AConsole, TMode AMode) : console_(AConsole), mode_(AMode) {}

  // ATotal: the file's whole size, -1 when unknown; AStart: bytes already there (a resumed
  // file). AName names the file in periodic lines.
  void Begin(const std::string& AName, int64_t ATotal, int64_t AStart);
  // The bytes the file holds now.
  void Update(int64_t ABytes);
  // Ends the redrawn line; nothing more is drawn until the next Begin.
  void End();

 private:
  using Clock = std::chrono::steady_clock;
  void Draw(Clock::time_point ANow);
  // Bytes per second over the last few seconds.
  double CurrentRate(Clock::time_point ANow) const;

  Console& console_;
  TMode mode_;
  bool running_ = false;
  std::string name_;
  int64_t total_ = -1;
  int64_t bytes_ = 0;
  Clock::time_point started_;
  Clock::time_point last_draw_;
  // (time, bytes) samples of the rate's window, oldest first.
  std::deque<std::pair<Clock::time_point, int64_t>> samples_;
};

// 1536 -> "1.5 KiB" (with the current language's decimal mark).
std::string HumanBytes(double ABytes);
// 3725 -> "1:02:05".
std::string HoursMinutesSeconds(int64_t ASeconds);
// "u.exe: 195.3 KiB in 0.25 s, 781.2 KiB/s" in the current language: the file's size, the
// transfer's time and its average rate (AReceived bytes of them arrived in that time).
std::string SummaryLine(const std::string& AName, int64_t ABytes, int64_t AReceived,
                        double ASeconds);

}  // namespace tavo::tool
