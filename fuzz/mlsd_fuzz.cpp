// The machine-readable listing (MLSD, MLST lines) and the FEAT reply over any bytes: every
// line of the input parsed as an MLSD entry, the whole input as a FEAT reply. A line either
// fails with the parser's own error or gives an entry whose name is exactly what follows the
// facts; a reading that succeeds never invents a time or a negative size.

#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "net/ftp/ftp.h"
#include "net/ftp/listing.h"
#include "net/stack/exceptions.h"
#include "rtl/strings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tavo;
  const std::string text(reinterpret_cast<const char*>(data), size);
  rtl::TStringList lines;
  lines.SetText(text);

  net::TIdFTPListItems items;
  for (const std::string& line : lines.Items()) {
    net::TIdFTPListItem item;
    item.SetRawLine(line);
    try {
      items.ParseLine(net::flfMLSD, item);
    } catch (const net::EIdInvalidFTPListingFormat&) {
      continue;
    }
    TAVO_FUZZ_CHECK(!item.Name().empty());
    TAVO_FUZZ_CHECK(line.size() > item.Name().size());
    TAVO_FUZZ_CHECK(line.compare(line.size() - item.Name().size(), std::string::npos,
                                 item.Name()) == 0);
    TAVO_FUZZ_CHECK(item.Size() >= 0);
    if (item.ModifiedUTC() == 0) TAVO_FUZZ_CHECK(item.Modified() == 0);
  }
  items.SetListFormat(net::flfMLSD);
  items.LoadLines(lines);
  TAVO_FUZZ_CHECK(items.Count() <= lines.Count());

  net::TIdRFCReply reply;
  reply.ParseReplyLines(lines);
  for (const auto& [name, parameters] : net::TIdFTP::ParseFeatures(reply)) {
    TAVO_FUZZ_CHECK(!name.empty() && name.find(' ') == std::string::npos);
    for (char c : name) TAVO_FUZZ_CHECK(c < 'a' || c > 'z');
  }
  return 0;
}
