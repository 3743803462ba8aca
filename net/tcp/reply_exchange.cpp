// The command and reply exchange of a TCP connection: one command line out, one complete
// reply in, its code checked against what the caller accepts.

#include <algorithm>
#include <string>
#include <vector>

#include "net/stack/exceptions.h"
#include "net/tcp/connection.h"
#include "net/tcp/reply.h"
#include "net/tcp/trim.h"
#include "resources/tcp_texts.h"
#include "rtl/format.h"
#include "rtl/strings.h"

namespace tavo::net {
namespace {

bool SameTextPrefix(const std::string& line, const std::string& marker) {
  if (line.size() < marker.size()) return false;
  return std::equal(marker.begin(), marker.end(), line.begin(), [](char a, char b) {
    auto up = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; };
    return up(a) == up(b);
  });
}

}  // namespace

void CheckCommandLine(const std::string& ALine) {
  // A line break inside the line would let the rest of it (a directory or file name, say)
  // reach the server as commands of their own; nothing of such a line is sent.
  if (ALine.find_first_of("\r\n") != std::string::npos)
    throw EIdCommandLineBreak(res::kTcpCommandLineBreak);
}

TIdRFCReply& TIdTCPConnection::GreetingReply() const { return *greeting_reply_; }
TIdRFCReply& TIdTCPConnection::LastReply() const { return *last_reply_; }

int16_t TIdTCPConnection::SendCmd(const std::string& ALine, const std::vector<int16_t>& AAccepted) {
  CheckCommandLine(ALine);
  WriteLn(ALine);
  return GetResponse(AAccepted);
}

int16_t TIdTCPConnection::SendCmd(const std::string& ALine,
                                  std::initializer_list<int16_t> AAccepted) {
  return SendCmd(ALine, std::vector<int16_t>(AAccepted));
}

int16_t TIdTCPConnection::SendCmd(const std::string& ALine, int16_t AAccepted) {
  if (AAccepted == -1) return SendCmd(ALine, std::vector<int16_t>{});
  return SendCmd(ALine, std::vector<int16_t>{AAccepted});
}

int16_t TIdTCPConnection::GetResponse(const std::vector<int16_t>& AAccepted) {
  ReadReplyLines();
  return CheckReplyCode(static_cast<int16_t>(LastReply().NumericCode()), AAccepted);
}

void TIdTCPConnection::ReadReplyLines() {
  // Blank lines (and lines of blanks) between replies carry nothing and are skipped; every
  // reply line is handled in trimmed form. Every line read counts against MaxReplyLength,
  // blank ones too, so that no stream of lines, however timely, keeps the reader for ever.
  int64_t taken = 0;
  auto read_non_blank = [this, &taken] {
    std::string line;
    while (line.empty()) {
      const std::string raw = ReadLn("\n", TimeoutDefault, -1);
      taken += static_cast<int64_t>(raw.size()) + 1;
      if (max_reply_length_ > 0 && taken > max_reply_length_)
        throw EIdReplyTooLong(rtl::Format(res::kTcpReplyTooLong, {max_reply_length_}));
      line = tcp_detail::TrimBlanks(raw);
    }
    return line;
  };

  rtl::TStringList lines;
  std::string line = read_non_blank();
  lines.Add(line);
  if (line.size() > 3 && line[3] == '-') {
    // The reply ends with a line that starts with the same three characters and a space;
    // a line too short to carry that marker ends it as well.
    const std::string end_marker = line.substr(0, 3) + " ";
    do {
      line = read_non_blank();
      lines.Add(line);
    } while (line.size() >= 4 && !SameTextPrefix(line, end_marker));
  }
  // Only a completely read reply replaces the last one.
  LastReply().ParseReplyLines(lines);
}

int16_t TIdTCPConnection::CheckReplyCode(int16_t ACode, const std::vector<int16_t>& AAccepted) {
  if (!AAccepted.empty() && std::find(AAccepted.begin(), AAccepted.end(), ACode) == AAccepted.end())
    RaiseReplyError();
  return ACode;
}

void TIdTCPConnection::RaiseReplyError() {
  throw EIdProtocolReplyError(LastReply().NumericCode(), LastReply().Text().Text());
}

void TIdTCPConnection::RaiseReplyError(const std::function<void(const std::string&)>& ARaise) {
  const std::string message = LastReply().Text().Text();
  if (ARaise) ARaise(message);
  // A raiser that returns would break the promise that a refused reply never returns.
  throw EIdException(message);
}

}  // namespace tavo::net
