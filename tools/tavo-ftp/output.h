#pragma once
// What tavo-ftp writes to standard error: status lines, the one-line error, and the progress
// meter. Every line is shown with its control characters escaped: server texts reach the
// terminal only as text. (Passwords are kept out at their sources, never searched for.)

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace tavo::tool {

class Console {
 public:
  explicit Console(std::FILE* out) : out_(out) {}
  // One line; CR and LF inside the text become blanks, so a message is always one line, and
  // every other control character is escaped ("\x1b").
  void Line(const std::string& text);
  std::FILE* Stream() const { return out_; }

 private:
  std::FILE* out_;
};

// The progress meter: bytes, rate and, with a known size, a bar with percentage and time left,
// redrawn in place on one line at most ten times a second.
class Progress {
 public:
  Progress(Console& console, bool enabled) : console_(console), enabled_(enabled) {}
  // ATotal -1 when the size is unknown. AStart: bytes already there (a resumed file).
  void Begin(int64_t ATotal, int64_t AStart);
  void Update(int64_t ABytes);
  // Draws the final state and ends the line.
  void End();
  // Whether the meter's line is open (an interrupt must end it first).
  bool Running() const { return running_; }

 private:
  void Draw(bool AFinal);

  using Clock = std::chrono::steady_clock;
  Console& console_;
  bool enabled_;
  bool running_ = false;
  int64_t total_ = -1;
  int64_t start_bytes_ = 0;
  int64_t bytes_ = 0;
  Clock::time_point started_;
  Clock::time_point last_draw_;
  size_t last_width_ = 0;
};

// 1536 -> "1.5 KiB"
std::string HumanBytes(double ABytes);

}  // namespace tavo::tool
