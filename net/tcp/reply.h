#pragma once
// One server reply of a line-oriented protocol (RFC 959 style): a three-character code and
// one text line per reply line. Every connection owns two of them, GreetingReply and
// LastReply; the command/reply exchange fills LastReply.

#include <string>

#include "net/stack/exceptions.h"
#include "rtl/persistent.h"
#include "rtl/strings.h"

namespace tavo::net {

// A command line that holds CR or LF is refused before anything is sent: the line break would
// end the command early and turn the rest (a file name, say) into further commands.
class EIdCommandLineBreak : public EIdException {
 public:
  using EIdException::EIdException;
};

// A reply longer than the connection's MaxReplyLength: a server that does not stop talking.
class EIdReplyTooLong : public EIdException {
 public:
  using EIdException::EIdException;
};

// Raises EIdCommandLineBreak when ALine holds CR or LF. SendCmd checks every line with it; a
// command written with WriteLn directly (a transfer command whose reply is read later) must be
// checked with it first as well.
void CheckCommandLine(const std::string& ALine);

class TIdRFCReply : public rtl::TPersistent {
 public:
  TIdRFCReply() = default;  // a new reply is clear

  // Stores v; a positive v also sets TextCode to its decimal text (v <= 0 leaves it as it was).
  int NumericCode() const { return numeric_code_; }
  void SetNumericCode(int v);

  // The reply's lines without their code prefix; owned by the reply.
  const rtl::TStringList& Text() const { return text_; }
  rtl::TStringList& Text() { return text_; }
  void SetText(const rtl::TStringList& v) { text_.Assign(v); }

  // Stores t; a non-empty t also sets NumericCode to t read as a decimal integer, or to 0
  // when t is no such number (an empty t leaves NumericCode as it was).
  const std::string& TextCode() const { return text_code_; }
  void SetTextCode(const std::string& t);

  // Code 0, no lines, empty text code.
  void Clear();

  // Copying from another reply clears this one and copies the three values directly (the
  // setters' cross-updates do not apply); any other source is refused.
  void Assign(const rtl::TPersistent& Source) override;
  std::string ClassName() const override { return "TIdRFCReply"; }

  // Replaces the reply with the parsed raw lines of one reply: the code comes from the first
  // line, and every line, the first included, loses its first four characters. An empty list
  // leaves the reply clear.
  void ParseReplyLines(const rtl::TStringList& ALines);
  // The lines ParseReplyLines was given, whole: the continuation lines of replies whose
  // lines carry no code (FEAT's features, MLST's facts) lose nothing here.
  const rtl::TStringList& RawLines() const { return raw_lines_; }

 private:
  int numeric_code_ = 0;
  rtl::TStringList text_;
  std::string text_code_;
  rtl::TStringList raw_lines_;
};

}  // namespace tavo::net
