#pragma once
// Where tavo-ftp's words go: standard error for status, trace, progress and error lines,
// standard output for listings. Every line is shown with its control characters escaped, so
// server texts reach a terminal only as text (passwords are kept out at their sources, never
// searched for). A progress line redrawn in place is ended before any other line is written.

#include <string>
#include <string_view>

#include "platform/console.h"

namespace tavo::tool {

class Console {
 public:
  explicit Console(platform::TStdStream AStream);

  // One line; CR and LF inside the text become blanks, so a message is always one line, and
  // every other control character is escaped ("\x1b").
  void Line(const std::string& AText);
  // Redraws the open line (a progress meter) in place; AText is ours, not escaped.
  void Redraw(const std::string& AText);
  // Ends the open line, if there is one.
  void EndLine();

  bool IsTerminal() const { return terminal_; }
  // The terminal's width, or 80 when it cannot say.
  int Columns() const;
  // Whether every write so far was taken (standard output to a closed pipe or full disk).
  bool Failed() const { return failed_; }

  // Text written as is (a listing line for a program that reads it).
  void Write(std::string_view AText);

 private:
  platform::TStdStream stream_;
  bool terminal_;
  bool line_open_ = false;
  size_t open_width_ = 0;
  bool failed_ = false;
};

}  // namespace tavo::tool
