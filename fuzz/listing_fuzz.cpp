// The directory-listing parser over any bytes: the style detection of every line, ParseLine of
// the first line under every style, and LoadLines under the detected style and under the style
// the input picks, all against a "today" the input picks. Failures must be the parser's own
// (the runtime's list-index and date errors, the unknown-format error); LoadLines must never
// fail and must leave at most one entry per line, each with its line as RawLine.

#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "net/ftp/ftp.h"
#include "net/ftp/listing.h"
#include "net/stack/exceptions.h"
#include "rtl/datetime.h"
#include "rtl/exception.h"
#include "rtl/packed_lines.h"

namespace {

using namespace tavo;
using net::TIdFTPListFormat;

void CheckLoaded(const net::TIdFTPListItems& items, const rtl::TPackedLines& lines) {
  TAVO_FUZZ_CHECK(items.Count() <= lines.Count());
  int from = 0;
  for (int i = 0; i < items.Count(); ++i) {
    // Entries keep the order of their lines.
    const std::string& raw = items.Items(i).RawLine();
    while (from < lines.Count() && lines[from] != raw) ++from;
    TAVO_FUZZ_CHECK(from < lines.Count());
    ++from;
    const net::ItemKind kind = items.Items(i).Kind();
    TAVO_FUZZ_CHECK(kind == net::KindDirectory || kind == net::KindFile || kind == net::KindLink);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::InputReader in(data, size);
  const uint8_t picked_format = in.Byte();
  const uint8_t year_pick = in.Byte();
  const uint8_t day_pick = in.Byte();
  const std::string text(in.Rest());

  // The lines as the client keeps a listing it receives.
  rtl::TPackedLines lines;
  net::TIdFTP::SplitListing(text, lines);

  // Today somewhere from year 1 to 9999, so the century windows and the year before are
  // reached at both ends of the calendar.
  const int32_t year = 1 + (year_pick * 9998) / 255;
  const int32_t month = 1 + day_pick % 12;
  const int32_t day = 1 + (day_pick / 12) % rtl::DaysInMonth(year, month);
  const rtl::TDateTime today = rtl::EncodeDate(year, month, day) + 0.5;

  net::TIdFTPListItems items;
  items.SetClock([today] { return today; });
  items.SetOnParseCustomListFormat([](net::TIdFTPListItem* AItem) {
    if (AItem->RawLine().size() % 3 == 0) throw net::EIdInvalidFTPListingFormat("custom");
    AItem->SetName(AItem->RawLine());
  });

  for (int i = 0; i < lines.Count(); ++i) {
    const std::string line(lines[i]);
    for (bool details : {false, true}) {
      const TIdFTPListFormat f = items.DetectListFormat(line, details);
      // Machine-readable lines are never guessed.
      TAVO_FUZZ_CHECK(f >= net::flfNone && f <= net::flfCustom);
      if (!details) TAVO_FUZZ_CHECK(f == net::flfNoDetails);
    }
  }
  if (lines.Count() > 0) {
    for (int f = net::flfNone; f <= net::flfMLSD; ++f) {
      net::TIdFTPListItem item;
      item.SetRawLine(std::string(lines[0]));
      try {
        items.ParseLine(static_cast<TIdFTPListFormat>(f), item);
      } catch (const rtl::Exception&) {
        // EListError, EConvertError, EIdInvalidFTPListingFormat: a line the style cannot read.
      }
    }
    items.SetListFormat(items.DetectListFormat(std::string(lines[0]), true));
    items.LoadLines(lines);
    CheckLoaded(items, lines);
  }
  items.SetListFormat(static_cast<TIdFTPListFormat>(picked_format % 9));  // 8: outside the set
  items.LoadLines(lines);
  CheckLoaded(items, lines);
  return 0;
}
