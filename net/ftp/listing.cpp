#include "net/ftp/listing.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "net/stack/exceptions.h"
#include "net/tcp/trim.h"
#include "platform/clock.h"
#include "resources/ftp_listing_texts.h"
#include "rtl/convert.h"
#include "rtl/exception.h"

namespace tavo::net {
namespace {

// Every character position below is checked against the length: listing lines are whatever
// the server (or anyone on the path) sends, so no rule may assume a line is long enough.

// Blanks and control characters off both ends, as servers' padding is meant to be read (the
// same trimming as reply lines get).
std::string Trim(std::string_view s) { return tcp_detail::TrimBlanks(s); }

// ASCII only: listing words are English, and a locale must never change how a line reads.
char UpperChar(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = UpperChar(c);
  return out;
}

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The characters from 1-based position `pos` on, at most `count` of them; shorter (or empty)
// where the text ends first.
std::string_view Copy(std::string_view s, size_t pos, size_t count = std::string_view::npos) {
  if (pos < 1 || pos > s.size()) return {};
  return s.substr(pos - 1, count);
}

// The text before the first blank, taken off `rest` together with that blank; all of `rest`
// when it holds no blank.
std::string Fetch(std::string& rest) {
  const size_t blank = rest.find(' ');
  std::string head;
  if (blank == std::string::npos) {
    head.swap(rest);
  } else {
    head = rest.substr(0, blank);
    rest.erase(0, blank + 1);
  }
  return head;
}

std::string WithoutCommas(std::string s) {
  s.erase(std::remove(s.begin(), s.end(), ','), s.end());
  return s;
}

bool IsBlankOrTabs(std::string_view line) {
  return std::all_of(line.begin(), line.end(), [](char c) { return c == ' ' || c == '\t'; });
}

// "-", "D" or "L" followed by nine of "-", "R", "W", "X" (on the upper-cased line).
bool LooksLikeUnixRights(std::string_view upper) {
  if (upper.size() < 10) return false;
  if (upper[0] != '-' && upper[0] != 'D' && upper[0] != 'L') return false;
  return std::all_of(upper.begin() + 1, upper.begin() + 10,
                     [](char c) { return c == '-' || c == 'R' || c == 'W' || c == 'X'; });
}

// The columns of a Unix line: cut at every blank, runs of blanks giving no empty columns.
// A piece is dropped only when it is empty before trimming, so a piece of control
// characters alone stays as an empty column (C[4] may then be empty).
rtl::TStringList SplitColumns(std::string_view line) {
  rtl::TStringList columns;
  const std::string text = Trim(line);
  size_t start = 0;
  while (start <= text.size()) {
    size_t blank = text.find(' ', start);
    if (blank == std::string::npos) blank = text.size();
    if (blank > start) columns.Add(Trim(std::string_view(text).substr(start, blank - start)));
    start = blank + 1;
  }
  return columns;
}

void SkipBlanks(std::string_view s, size_t& pos) {
  while (pos < s.size() && s[pos] == ' ') ++pos;
}

// After any blanks, a run of 1 to 4 decimal digits; longer runs are refused rather than
// overflowing.
bool ReadNumber(std::string_view s, size_t& pos, int32_t& value, size_t& digits) {
  SkipBlanks(s, pos);
  digits = 0;
  value = 0;
  while (pos < s.size() && IsDigit(s[pos])) {
    if (++digits > 4) return false;
    value = value * 10 + (s[pos] - '0');
    ++pos;
  }
  return digits > 0;
}

// After any blanks, the character c.
bool ReadChar(std::string_view s, size_t& pos, char c) {
  SkipBlanks(s, pos);
  if (pos >= s.size() || s[pos] != c) return false;
  ++pos;
  return true;
}

// Reads "M/D/Y H:MM[:SS][AM|PM]" (blanks allowed before each part) by fixed rules: month
// first, "/" between the date's parts, ":" in the time, and a year of one or two digits placed
// in the hundred years that begin fifty years before `current_year`. The user's locale and
// date settings play no part.
bool ReadDosDateTime(std::string_view s, int32_t current_year, rtl::TDateTime& value) {
  size_t pos = 0, digits = 0;
  int32_t month = 0, day = 0, year = 0;
  if (!ReadNumber(s, pos, month, digits) || !ReadChar(s, pos, '/') ||
      !ReadNumber(s, pos, day, digits) || !ReadChar(s, pos, '/') ||
      !ReadNumber(s, pos, year, digits))
    return false;
  if (digits <= 2) {
    const int32_t window_start = current_year - 50;
    year += window_start / 100 * 100;
    if (year < window_start) year += 100;
  }
  rtl::TDateTime date = 0, time = 0;
  if (!rtl::TryEncodeDate(year, month, day, date)) return false;
  if (pos < s.size() && s[pos] != ' ') return false;
  SkipBlanks(s, pos);
  if (pos < s.size()) {
    int32_t hour = 0, minute = 0, second = 0;
    if (!ReadNumber(s, pos, hour, digits) || !ReadChar(s, pos, ':') ||
        !ReadNumber(s, pos, minute, digits))
      return false;
    if (ReadChar(s, pos, ':') && !ReadNumber(s, pos, second, digits)) return false;
    SkipBlanks(s, pos);
    const std::string half = Upper(s.substr(pos, 2));
    if (half == res::kFtpListAm || half == res::kFtpListPm) {
      if (hour < 1 || hour > 12) return false;
      hour %= 12;
      if (half == res::kFtpListPm) hour += 12;
      pos += 2;
      SkipBlanks(s, pos);
    }
    if (pos != s.size()) return false;
    if (!rtl::TryEncodeTime(hour, minute, second, 0, time)) return false;
  }
  value = rtl::ComposeDateTime(date, time);
  return true;
}

}  // namespace

// --- TIdFTPListItem ----------------------------------------------------------------------------

void TIdFTPListItem::Assign(const rtl::TPersistent& Source) {
  const auto* other = dynamic_cast<const TIdFTPListItem*>(&Source);
  if (other == nullptr) {
    rtl::TPersistent::Assign(Source);
    return;
  }
  size_ = other->size_;
  link_count_ = other->link_count_;
  raw_line_ = other->raw_line_;
  name_ = other->name_;
  group_rights_ = other->group_rights_;
  group_name_ = other->group_name_;
  owner_rights_ = other->owner_rights_;
  owner_name_ = other->owner_name_;
  other_rights_ = other->other_rights_;
  modified_ = other->modified_;
  link_target_ = other->link_target_;
  kind_ = other->kind_;
  modified_utc_ = other->modified_utc_;
  permissions_ = other->permissions_;
  unique_id_ = other->unique_id_;
}

// --- TIdFTPListItems: the collection -----------------------------------------------------------

TIdFTPListItem& TIdFTPListItems::Items(int AIndex) {
  return const_cast<TIdFTPListItem&>(std::as_const(*this).Items(AIndex));
}

const TIdFTPListItem& TIdFTPListItems::Items(int AIndex) const {
  if (AIndex < 0 || AIndex >= Count())
    throw rtl::EListError("List index out of bounds (" + std::to_string(AIndex) + ")");
  return *items_[static_cast<size_t>(AIndex)];
}

TIdFTPListItem* TIdFTPListItems::AddItem() {
  items_.push_back(std::make_unique<TIdFTPListItem>());
  return items_.back().get();
}

void TIdFTPListItems::Delete(int AIndex) {
  Items(AIndex);  // the range check
  items_.erase(items_.begin() + AIndex);
}

// --- TIdFTPListItems: parsing ------------------------------------------------------------------

int32_t TIdFTPListItems::MonthNumber(std::string_view AText) {
  const std::string upper = Upper(AText);
  for (int32_t i = 0; i < 12; ++i)
    if (upper == res::kFtpListMonthNames[i]) return i + 1;
  return 0;
}

rtl::TDateTimeParts TIdFTPListItems::Today() const {
  if (loading_today_ != nullptr) return *loading_today_;
  rtl::TDateTimeParts parts;
  rtl::DecodeDateTime(clock_ ? clock_() : platform::Now(), parts);
  return parts;
}

TIdFTPListFormat TIdFTPListItems::DetectListFormat(const std::string& ALine, bool ADetails) {
  if (!ADetails) return flfNoDetails;
  const std::string upper = Upper(ALine);
  if (LooksLikeUnixRights(upper) || upper.starts_with(res::kFtpListTotal)) return flfUnix;
  if (upper.find(res::kFtpListVmsDisk) != std::string::npos) return flfVax;
  // MS-DOS lines have fixed columns: "MM-DD-YY  HH:MMAM       <DIR>          name" or the
  // size right-aligned to column 38.
  const auto is_separator = [&](size_t pos) {
    return pos <= upper.size() && (upper[pos - 1] == '-' || upper[pos - 1] == '/');
  };
  if (!is_separator(3) || !is_separator(6)) return flfUnknown;
  const std::string dir = Trim(Copy(upper, 25, 6));
  if (dir == res::kFtpListDosDir) return flfDos;
  if (!dir.empty()) return flfUnknown;
  const std::string size = WithoutCommas(Trim(Copy(upper, 31, 8)));
  return rtl::StrToInt64Def(size, -1) != -1 ? flfDos : flfUnknown;
}

void TIdFTPListItems::ParseCustom(TIdFTPListItem& AItem) {
  if (!on_parse_custom_list_format_) throw EIdInvalidFTPListingFormat(res::kFtpListUnknownFormat);
  on_parse_custom_list_format_(&AItem);
}

void TIdFTPListItems::ParseLine(TIdFTPListFormat AFormat, TIdFTPListItem& AItem) {
  switch (AFormat) {
    case flfNone:
      return;
    case flfDos:
      ParseDos(AItem);
      return;
    case flfUnix:
    case flfVax:
      ParseUnix(AItem);
      return;
    case flfNoDetails:
      AItem.SetName(Trim(AItem.RawLine()));
      return;
    case flfCustom:
      ParseCustom(AItem);
      return;
    case flfMLSD:
      ParseMlsd(AItem);
      return;
    case flfUnknown:
      break;
  }
  // flfUnknown, and any value outside the enumeration.
  throw EIdInvalidFTPListingFormat(res::kFtpListUnknownFormat);
}

void TIdFTPListItems::LoadLines(const rtl::TStringList& ALines) {
  LoadFrom(ALines.Count(), [&ALines](int i) { return std::string_view(ALines[i]); });
}

void TIdFTPListItems::LoadLines(const rtl::TPackedLines& ALines) {
  LoadFrom(ALines.Count(), [&ALines](int i) { return ALines[i]; });
}

void TIdFTPListItems::LoadFrom(int ACount, const std::function<std::string_view(int)>& ALine) {
  Clear();
  const rtl::TDateTimeParts today = Today();
  loading_today_ = &today;
  struct Reset {
    const rtl::TDateTimeParts*& p;
    ~Reset() { p = nullptr; }
  } reset{loading_today_};

  int first = 0;
  if (list_format_ == flfUnix && ACount > 0 && Upper(ALine(0)).starts_with(res::kFtpListTotal))
    first = 1;
  for (int i = first; i < ACount; ++i) {
    const std::string_view line = ALine(i);
    if (IsBlankOrTabs(line)) continue;
    TIdFTPListItem* item = AddItem();
    item->SetRawLine(std::string(line));
    if (list_format_ == flfNone) continue;
    try {
      ParseLine(list_format_, *item);
    } catch (const std::exception&) {
      // Only this line's entry goes; found by identity, as a custom parser may have added
      // entries after it (compared as pointers only, never dereferenced). Searched from the
      // end, where it almost always is: from the front, a listing of alternating good and bad
      // lines would take time growing with the square of its length.
      const auto it = std::find_if(items_.rbegin(), items_.rend(),
                                   [item](const auto& p) { return p.get() == item; });
      if (it != items_.rend()) items_.erase(std::next(it).base());
    }
  }
}

namespace {

// The kind from the rights column's first letter, and the three rights triples after it.
void SetUnixKindAndRights(TIdFTPListItem& AItem, const std::string& rights) {
  switch (rights.empty() ? '\0' : UpperChar(rights[0])) {
    case 'D':
      AItem.SetKind(KindDirectory);
      break;
    case 'L':
      AItem.SetKind(KindLink);
      break;
    default:
      AItem.SetKind(KindFile);
  }
  AItem.SetOwnerRights(std::string(Copy(rights, 2, 3)));
  AItem.SetGroupRights(std::string(Copy(rights, 5, 3)));
  AItem.SetOtherRights(std::string(Copy(rights, 8, 3)));
}

// Month, day, and a year or a time of day (columns 5 to 7); what a line leaves out is taken
// from today.
rtl::TDateTime UnixModified(const rtl::TStringList& c, const rtl::TDateTimeParts& today) {
  const int32_t month = TIdFTPListItems::MonthNumber(c.Strings(5));
  const int32_t day = rtl::StrToIntDef(c.Strings(6), today.Day);
  const std::string& year_or_time = c.Strings(7);
  int32_t year = today.Year, hour = 0, minute = 0;
  if (const size_t colon = year_or_time.find(':'); colon != std::string::npos) {
    // A time instead of a year: within the last six months, so a month later in the year
    // than today's belongs to last year.
    if (today.Month < month) --year;
    hour = rtl::StrToIntDef(std::string_view(year_or_time).substr(0, colon), 0);
    minute = rtl::StrToIntDef(std::string_view(year_or_time).substr(colon + 1), 0);
  } else {
    year = rtl::StrToIntDef(year_or_time, today.Year);
  }
  return rtl::ComposeDateTime(rtl::EncodeDate(year, month, day),
                              rtl::EncodeTime(hour, minute, 0, 999));
}

// The name is the rest of the line after the one blank that follows the time or year, as
// the server wrote it: rebuilt from the columns, or trimmed, a name with a run of blanks
// inside, or a blank at either end, would name another file.
std::string UnixNameText(const std::string& raw, int columns) {
  size_t at = 0;
  while (at < raw.size() && static_cast<unsigned char>(raw[at]) <= ' ') ++at;
  for (int column = 0; column < columns; ++column) {
    while (at < raw.size() && raw[at] != ' ') ++at;
    if (column + 1 == columns) {
      if (at < raw.size()) ++at;
    } else {
      while (at < raw.size() && raw[at] == ' ') ++at;
    }
  }
  return raw.substr(std::min(at, raw.size()));
}

}  // namespace

void TIdFTPListItems::ParseUnix(TIdFTPListItem& AItem) {
  const rtl::TDateTimeParts today = Today();
  rtl::TStringList c = SplitColumns(AItem.RawLine());
  // A listing without a group column ("-rw-r--r-- 1 owner 1234 Jan 5 10:30 name"): the
  // month sits in column 4, so an empty owner column is put in and the owner reads as group.
  const bool no_group_column = c.Count() == 8 && !c[4].empty() && IsLetter(c[4][0]);
  if (no_group_column) c.Insert(2, "");

  // Strings() raises the runtime's list-index error for a missing column, which is how a
  // line of fewer than 8 columns fails.
  SetUnixKindAndRights(AItem, c.Strings(0));
  AItem.SetLinkCount(c.Count() > 1 ? rtl::StrToIntDef(c[1], 0) : 0);
  AItem.SetOwnerName(c.Count() > 2 ? c[2] : std::string());
  AItem.SetGroupName(c.Count() > 3 ? c[3] : std::string());
  AItem.SetSize(c.Count() > 4 ? rtl::StrToInt64Def(c[4], 0) : 0);
  AItem.SetModified(UnixModified(c, today));

  std::string name = UnixNameText(AItem.RawLine(), no_group_column ? 7 : 8);
  if (AItem.Kind() == KindLink) {
    // Without an arrow the whole text is the name and the target stays empty.
    std::string target;
    if (const size_t arrow = name.find(res::kFtpListLinkArrow); arrow != std::string::npos) {
      target = name.substr(arrow + std::string_view(res::kFtpListLinkArrow).size());
      name.erase(arrow);
    }
    AItem.SetLinkTarget(target);
  }
  AItem.SetName(name);
}

rtl::TDateTime TIdFTPListItems::ParseTimeVal(std::string_view AText) {
  const auto digits = [&](size_t at, size_t count, int32_t& out) {
    out = 0;
    for (size_t i = at; i < at + count; ++i) {
      if (i >= AText.size() || !IsDigit(AText[i])) return false;
      out = out * 10 + (AText[i] - '0');
    }
    return true;
  };
  int32_t year, month, day, hour, minute, second, millisecond = 0;
  if (!digits(0, 4, year) || !digits(4, 2, month) || !digits(6, 2, day) || !digits(8, 2, hour) ||
      !digits(10, 2, minute) || !digits(12, 2, second))
    return 0;
  if (AText.size() > 14) {
    // A fraction of a second, as many digits as the server likes; milliseconds are kept.
    const size_t fraction = AText.size() - 15;
    int32_t unused = 0;
    if (AText[14] != '.' || fraction == 0 || !digits(15, fraction, unused)) return 0;
    digits(15, std::min<size_t>(fraction, 3), millisecond);
    for (size_t i = fraction; i < 3; ++i) millisecond *= 10;
  }
  rtl::TDateTime date = 0, time = 0;
  // A leap second reads as :59, as the clock does.
  if (!rtl::TryEncodeDate(year, month, day, date) ||
      !rtl::TryEncodeTime(hour, minute, second == 60 ? 59 : second, millisecond, time))
    return 0;
  return rtl::ComposeDateTime(date, time);
}

namespace {

[[noreturn]] void InvalidMlsdLine() { throw EIdInvalidFTPListingFormat(res::kFtpListMlsdInvalid); }

// A fact's decimal number; anything else makes the line invalid.
int64_t MlsdNumber(std::string_view text) {
  int64_t value = -1;
  if (text.empty() || !std::all_of(text.begin(), text.end(), IsDigit) ||
      !rtl::TryStrToInt64(text, value))
    InvalidMlsdLine();
  return value;
}

// The type fact: a folder, a link (with its target), or a file; the folder's own entries
// (cdir, pdir) are no entries of it.
void SetMlsdType(TIdFTPListItem& AItem, std::string_view value) {
  const std::string upper = Upper(value);
  if (upper == res::kFtpTypeCurrentDir || upper == res::kFtpTypeParentDir) InvalidMlsdLine();
  if (upper == res::kFtpTypeDir) {
    AItem.SetKind(KindDirectory);
  } else if (upper.starts_with(res::kFtpTypeUnixLink)) {
    AItem.SetKind(KindLink);
    const size_t colon = value.find(':');
    AItem.SetLinkTarget(colon == std::string_view::npos ? std::string()
                                                        : std::string(value.substr(colon + 1)));
  } else if (upper != res::kFtpTypeFile) {
    // Another kind the server has (a device, OS.unix=blkdev): not a folder.
    AItem.SetKind(KindFile);
  }
}

// The octal mode's last three digits as rights: 0755 gives rwx, r-x, r-x.
void SetUnixModeRights(TIdFTPListItem& AItem, std::string_view value) {
  const int64_t mode = MlsdNumber(value);
  std::string rights[3];
  for (int who = 0; who < 3; ++who) {
    const int64_t digit = mode / (who == 0 ? 100 : who == 1 ? 10 : 1) % 10;
    if (digit > 7) InvalidMlsdLine();
    rights[who] = std::string(digit & 4 ? "r" : "-") + (digit & 2 ? "w" : "-") +
                  (digit & 1 ? "x" : "-");
  }
  AItem.SetOwnerRights(rights[0]);
  AItem.SetGroupRights(rights[1]);
  AItem.SetOtherRights(rights[2]);
}

// One fact, by its upper-cased name; facts this client has no use for are passed over.
void ApplyMlsdFact(TIdFTPListItem& AItem, const std::string& name, std::string_view value) {
  if (name == res::kFtpFactType) {
    SetMlsdType(AItem, value);
  } else if (name == res::kFtpFactSize || name == res::kFtpFactSizeDir) {
    AItem.SetSize(MlsdNumber(value));
  } else if (name == res::kFtpFactModify) {
    const rtl::TDateTime utc = TIdFTPListItems::ParseTimeVal(value);
    if (utc == 0) InvalidMlsdLine();
    AItem.SetModifiedUTC(utc);
    AItem.SetModified(platform::UtcToLocal(utc));
  } else if (name == res::kFtpFactPerm) {
    AItem.SetPermissions(std::string(value));
  } else if (name == res::kFtpFactUnique) {
    AItem.SetUniqueID(std::string(value));
  } else if (name == res::kFtpFactUnixMode) {
    SetUnixModeRights(AItem, value);
  } else if (name == res::kFtpFactUnixOwner) {
    AItem.SetOwnerName(std::string(value));
  } else if (name == res::kFtpFactUnixGroup) {
    AItem.SetGroupName(std::string(value));
  }
}

}  // namespace

void TIdFTPListItems::ParseMlsd(TIdFTPListItem& AItem) {
  const std::string_view raw = AItem.RawLine();
  // Facts end at the first blank; a line of a name alone (no facts) starts with the blank.
  const size_t blank = raw.find(' ');
  if (blank == std::string_view::npos || blank + 1 >= raw.size()) InvalidMlsdLine();
  std::string_view facts = raw.substr(0, blank);
  AItem.SetName(std::string(raw.substr(blank + 1)));
  AItem.SetKind(KindFile);
  while (!facts.empty()) {
    const size_t end = facts.find(';');
    const std::string_view fact = facts.substr(0, end);
    facts.remove_prefix(end == std::string_view::npos ? facts.size() : end + 1);
    const size_t equals = fact.find('=');
    if (equals == std::string_view::npos) continue;  // not a fact; the others still count
    ApplyMlsdFact(AItem, Upper(fact.substr(0, equals)), fact.substr(equals + 1));
  }
}

void TIdFTPListItems::ParseDos(TIdFTPListItem& AItem) {
  const std::string_view raw = AItem.RawLine();
  // The date by position, whatever separators the line uses; read below as M/D/Y.
  std::string date_time = std::string(Copy(raw, 1, 2)) + "/" + std::string(Copy(raw, 4, 2)) + "/" +
                          std::string(Copy(raw, 7, 2)) + " ";
  std::string rest = Trim(Copy(raw, 9));
  date_time += Fetch(rest);
  rest = Trim(rest);
  const std::string size_or_dir = WithoutCommas(Fetch(rest));
  if (Upper(size_or_dir) == res::kFtpListDosDir) {
    AItem.SetKind(KindDirectory);
    AItem.SetSize(0);
  } else {
    AItem.SetKind(KindFile);
    AItem.SetSize(rtl::StrToInt64Def(size_or_dir, 0));
  }
  AItem.SetName(Trim(rest));
  rtl::TDateTime modified = 0;
  if (!ReadDosDateTime(date_time, Today().Year, modified)) modified = 0;
  AItem.SetModified(modified);
}

}  // namespace tavo::net
