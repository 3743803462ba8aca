#include "tools/tavo-ftp/output.h"

#include <algorithm>

#include "platform/interrupt.h"
#include "tools/tavo-ftp/text.h"

namespace tavo::tool {

Console::Console(platform::TStdStream AStream)
    : stream_(AStream), terminal_(platform::IsTerminal(AStream)) {}

void Console::Write(std::string_view AText) {
  if (!platform::WriteText(stream_, AText)) failed_ = true;
}

void Console::Line(const std::string& AText) {
  EndLine();
  std::string line = AText;
  // Server texts and socket messages carry their own line breaks; one message is one line.
  std::replace(line.begin(), line.end(), '\r', ' ');
  std::replace(line.begin(), line.end(), '\n', ' ');
  while (!line.empty() && line.back() == ' ') line.pop_back();
  Write(Printable(line) + "\n");
}

void Console::Redraw(const std::string& AText) {
  // Back to the line's start, and blanks over what a longer line left there.
  std::string line = "\r" + AText;
  if (AText.size() < open_width_) line.append(open_width_ - AText.size(), ' ');
  open_width_ = AText.size();
  line_open_ = true;
  platform::SetInterruptLineOpen(true);
  Write(line);
}

void Console::EndLine() {
  if (!line_open_) return;
  line_open_ = false;
  open_width_ = 0;
  platform::SetInterruptLineOpen(false);
  Write("\n");
}

int Console::Columns() const {
  const int columns = platform::TerminalColumns(stream_);
  return columns > 0 ? columns : 80;
}

}  // namespace tavo::tool
