#include "net/tcp/reply.h"

#include <cstdint>

#include "net/tcp/trim.h"
#include "rtl/convert.h"

namespace tavo::net {
namespace {

// Reply codes are plain decimal numbers; the runtime's hexadecimal prefixes are not taken,
// so a line starting "$12 " or "0x1 " is no reply code.
int DecimalOrZero(const std::string& t) {
  for (char c : t)
    if (c == '$' || c == 'x' || c == 'X') return 0;
  int32_t v = 0;
  return rtl::TryStrToInt(t, v) ? v : 0;
}

}  // namespace

void TIdRFCReply::SetNumericCode(int v) {
  numeric_code_ = v;
  if (v > 0) text_code_ = rtl::IntToStr(v);
}

void TIdRFCReply::SetTextCode(const std::string& t) {
  text_code_ = t;
  if (!t.empty()) numeric_code_ = DecimalOrZero(t);
}

void TIdRFCReply::Clear() {
  numeric_code_ = 0;
  text_.Clear();
  text_code_.clear();
  raw_lines_.Clear();
}

void TIdRFCReply::Assign(const rtl::TPersistent& Source) {
  if (const auto* other = dynamic_cast<const TIdRFCReply*>(&Source)) {
    if (other == this) return;
    Clear();
    numeric_code_ = other->numeric_code_;
    text_.Assign(other->text_);
    text_code_ = other->text_code_;
    raw_lines_.Assign(other->raw_lines_);
    return;
  }
  rtl::TPersistent::Assign(Source);
}

void TIdRFCReply::ParseReplyLines(const rtl::TStringList& ALines) {
  Clear();
  if (ALines.Count() == 0) return;
  const std::string& first = ALines[0];
  std::string code = tcp_detail::TrimBlanks(std::string_view(first).substr(0, 4));
  if (code.size() == 4 && code[3] == '-') code.pop_back();
  SetTextCode(code);
  raw_lines_.Assign(ALines);
  for (const auto& line : ALines.Items())
    text_.Add(line.size() > 4 ? line.substr(4) : std::string());
}

}  // namespace tavo::net
