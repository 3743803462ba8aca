// The reply parser on its own: the input, cut at LF, is the raw lines of one reply.
// Checks: one text line per raw line, each the raw line from its fifth character on, and a
// code that agrees with its text form.

#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "net/tcp/reply.h"
#include "rtl/strings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using tavo::net::TIdRFCReply;
  const std::string text(reinterpret_cast<const char*>(data), size);
  tavo::rtl::TStringList lines;
  for (size_t start = 0; start <= text.size();) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.Add(text.substr(start, end - start));
    start = end + 1;
  }

  TIdRFCReply reply;
  reply.ParseReplyLines(lines);
  TAVO_FUZZ_CHECK(reply.Text().Count() == lines.Count());
  for (int i = 0; i < lines.Count(); ++i) {
    const std::string& raw = lines[i];
    TAVO_FUZZ_CHECK(reply.Text()[i] == (raw.size() > 4 ? raw.substr(4) : std::string()));
  }
  TAVO_FUZZ_CHECK(reply.TextCode().size() <= 4);
  if (reply.NumericCode() > 0) TAVO_FUZZ_CHECK(reply.NumericCode() <= 9999);

  // Copying keeps all three values; the setters keep code and text in step.
  TIdRFCReply copy;
  copy.Assign(reply);
  TAVO_FUZZ_CHECK(copy.NumericCode() == reply.NumericCode());
  TAVO_FUZZ_CHECK(copy.TextCode() == reply.TextCode());
  TAVO_FUZZ_CHECK(copy.Text().Text() == reply.Text().Text());
  copy.SetTextCode(lines[0]);
  if (copy.NumericCode() > 0) copy.SetNumericCode(copy.NumericCode());
  return 0;
}
