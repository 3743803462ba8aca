// The PASV and EPSV replies' text lines, and the size a preliminary reply may announce: all are
// read from whatever the server sends. A reading that succeeds must name a real address and
// port.

#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "net/ftp/ftp.h"
#include "rtl/convert.h"
#include "rtl/exception.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using tavo::net::TIdFTP;
  const std::string text(reinterpret_cast<const char*>(data), size);

  std::string address;
  int32_t port = 0;
  try {
    TIdFTP::ParsePasvReply(text, address, port);
    TAVO_FUZZ_CHECK(port >= 1 && port <= 65535);
    // Four numbers of 0..255, rebuilt by us: nothing of the reply's own text gets through.
    int dots = 0;
    for (char c : address) {
      TAVO_FUZZ_CHECK((c >= '0' && c <= '9') || c == '.');
      dots += c == '.';
    }
    TAVO_FUZZ_CHECK(dots == 3);
    TAVO_FUZZ_CHECK(address.size() >= 7 && address.size() <= 15);
  } catch (const tavo::net::EIdFTPPasvReplyError&) {
  } catch (const tavo::rtl::EConvertError&) {
  }

  try {
    const int32_t extended = TIdFTP::ParseEpsvReply(text);
    TAVO_FUZZ_CHECK(extended >= 1 && extended <= 65535);
    TAVO_FUZZ_CHECK(text.find(tavo::rtl::IntToStr(extended)) != std::string::npos);
  } catch (const tavo::net::EIdFTPPasvReplyError&) {
  }

  tavo::net::TIdRFCReply reply;
  tavo::rtl::TStringList lines;
  lines.Add("150 " + text);
  reply.ParseReplyLines(lines);
  const int64_t announced = TIdFTP::AnnouncedTransferSize(reply);
  TAVO_FUZZ_CHECK(announced >= -1);
  if (announced >= 0)
    TAVO_FUZZ_CHECK(text.find(tavo::rtl::IntToStr(announced)) != std::string::npos);
  return 0;
}
