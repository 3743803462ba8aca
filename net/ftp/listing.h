#pragma once
// The FTP directory-listing parser. TIdFTPListItems turns the text lines of a LIST reply into
// entries (name, kind, size, modification time and, for Unix lines, rights, owner, group and
// link count). It tells the listing style from one line (MS-DOS, Unix long listing, VMS,
// names only) and lets its owner parse any other style (flfCustom). The machine-readable
// lines of MLSD (flfMLSD) are never guessed: the client that asked for them says so.
//
// How a client builds its listing from the raw lines:
//   items.SetListFormat(items.DetectListFormat(lines[0], true));
//   ... the owner may correct ListFormat here (OnCheckListFormat) ...
//   items.LoadLines(lines);
// LoadLines never fails because of what the lines hold: a line that cannot be parsed leaves
// no entry, and the other lines are loaded. ParseLine called directly raises instead.
//
// Dates are read against "today" (the year of a Unix line that gives a time instead of a
// year, the century of a two-digit MS-DOS year, the day of a Unix line without one). Today is
// the system's local time unless a clock is set (SetClock), which tests use to fix it.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "rtl/datetime.h"
#include "rtl/packed_lines.h"
#include "rtl/persistent.h"
#include "rtl/strings.h"

namespace tavo::net {

// Listing styles; the ordinal values are part of the interface (net/ftp/ftp.h declares the
// type ahead with the same underlying type).
enum TIdFTPListFormat : int32_t {
  flfNone = 0,       // keep the raw lines only
  flfDos = 1,        // MS-DOS / IIS: date, time, <DIR> or size, name
  flfUnix = 2,       // Unix long listing (ls -l)
  flfVax = 3,        // VMS; read by the Unix rules
  flfNoDetails = 4,  // names only (NLST)
  flfUnknown = 5,    // every line fails to parse
  flfCustom = 6,     // parsed by OnParseCustomListFormat
  flfMLSD = 7,       // MLSD/MLST facts: "type=file;size=12;modify=20260101120000; name"
};

// What a listing entry is.
enum ItemKind : int32_t { KindDirectory = 0, KindFile = 1, KindLink = 2 };

class TIdFTPListItem;
// Fills one entry from its RawLine; raising marks the line as unparsable. (The same alias as
// in net/ftp/ftp.h, so either header may come first.)
using TIdOnParseCustomListFormat = std::function<void(TIdFTPListItem* AItem)>;
// Returns the local date and time "now" for reading listing dates.
using TIdFTPListClock = std::function<rtl::TDateTime()>;

// One entry of a listing. Fields that a style does not give keep their creation values.
class TIdFTPListItem : public rtl::TPersistent {
 public:
  TIdFTPListItem() = default;

  // Copies every field from another TIdFTPListItem; any other source is refused with
  // EConvertAssignError.
  void Assign(const rtl::TPersistent& Source) override;
  std::string ClassName() const override { return "TIdFTPListItem"; }

  int64_t Size() const { return size_; }
  void SetSize(int64_t v) { size_ = v; }
  int32_t LinkCount() const { return link_count_; }
  void SetLinkCount(int32_t v) { link_count_ = v; }
  // The listing line exactly as received.
  const std::string& RawLine() const { return raw_line_; }
  void SetRawLine(const std::string& v) { raw_line_ = v; }
  const std::string& Name() const { return name_; }
  void SetName(const std::string& v) { name_ = v; }
  const std::string& GroupRights() const { return group_rights_; }
  void SetGroupRights(const std::string& v) { group_rights_ = v; }
  const std::string& GroupName() const { return group_name_; }
  void SetGroupName(const std::string& v) { group_name_ = v; }
  const std::string& OwnerRights() const { return owner_rights_; }
  void SetOwnerRights(const std::string& v) { owner_rights_ = v; }
  const std::string& OwnerName() const { return owner_name_; }
  void SetOwnerName(const std::string& v) { owner_name_ = v; }
  const std::string& OtherRights() const { return other_rights_; }
  void SetOtherRights(const std::string& v) { other_rights_ = v; }
  // Local time of the last change; 0 when the line gave none that could be read.
  rtl::TDateTime Modified() const { return modified_; }
  void SetModified(rtl::TDateTime v) { modified_ = v; }
  const std::string& LinkTarget() const { return link_target_; }
  void SetLinkTarget(const std::string& v) { link_target_ = v; }
  ItemKind Kind() const { return kind_; }
  void SetKind(ItemKind v) { kind_ = v; }
  // The last change in UTC, exactly as machine-readable facts give it (MLSD "modify"); 0 when
  // the listing gave none (LIST lines give local times only, in Modified).
  rtl::TDateTime ModifiedUTC() const { return modified_utc_; }
  void SetModifiedUTC(rtl::TDateTime v) { modified_utc_ = v; }
  // What the user may do with the entry, as MLSD's "perm" fact lists it ("adfr", "elc").
  const std::string& Permissions() const { return permissions_; }
  void SetPermissions(const std::string& v) { permissions_ = v; }
  // The server's identifier of the file itself (MLSD "unique"): two names, one file.
  const std::string& UniqueID() const { return unique_id_; }
  void SetUniqueID(const std::string& v) { unique_id_ = v; }

 private:
  int64_t size_ = 0;
  int32_t link_count_ = 0;
  std::string raw_line_;
  std::string name_;
  std::string group_rights_ = "???";
  std::string group_name_ = "????????";
  std::string owner_rights_ = "???";
  std::string owner_name_ = "????????";
  std::string other_rights_ = "???";
  rtl::TDateTime modified_ = 0;
  std::string link_target_;
  ItemKind kind_ = KindFile;
  rtl::TDateTime modified_utc_ = 0;
  std::string permissions_;
  std::string unique_id_;
};

// The entries of one listing, in listing order.
class TIdFTPListItems {
 public:
  TIdFTPListItems() = default;
  virtual ~TIdFTPListItems() = default;
  TIdFTPListItems(const TIdFTPListItems&) = delete;
  TIdFTPListItems& operator=(const TIdFTPListItems&) = delete;

  // --- the collection ----------------------------------------------------------------------
  int Count() const { return static_cast<int>(items_.size()); }
  // Raise EListError outside 0..Count()-1.
  TIdFTPListItem& Items(int AIndex);
  const TIdFTPListItem& Items(int AIndex) const;
  // Appends an entry with the creation values; the collection owns it.
  TIdFTPListItem* AddItem();
  void Delete(int AIndex);
  void Clear() { items_.clear(); }

  // --- properties --------------------------------------------------------------------------
  TIdFTPListFormat ListFormat() const { return list_format_; }
  void SetListFormat(TIdFTPListFormat v) { list_format_ = v; }
  const TIdOnParseCustomListFormat& OnParseCustomListFormat() const {
    return on_parse_custom_list_format_;
  }
  void SetOnParseCustomListFormat(TIdOnParseCustomListFormat v) {
    on_parse_custom_list_format_ = std::move(v);
  }
  // Empty (the creation value) means the system's local time.
  const TIdFTPListClock& Clock() const { return clock_; }
  void SetClock(TIdFTPListClock v) { clock_ = std::move(v); }

  // --- parsing -----------------------------------------------------------------------------
  // Replaces the entries with those of ALines under ListFormat. Blank and tab-only lines are
  // skipped; under flfUnix a first line beginning with "total" is too; under flfNone each
  // entry keeps only its RawLine. A line whose parsing raises leaves no entry; the entries of
  // the other lines stay. All lines are read against one "today".
  void LoadLines(const rtl::TStringList& ALines);
  // The same for lines kept packed (the FTP client's raw listing lines).
  void LoadLines(const rtl::TPackedLines& ALines);
  // Fills AItem from its RawLine by the rules of AFormat. Raises for a line those rules cannot
  // read: EIdInvalidFTPListingFormat (flfUnknown, flfCustom without a handler), EListError
  // (a Unix line of fewer than 8 columns), EConvertError (a Unix date or time that does not
  // exist), or whatever the custom handler raises.
  void ParseLine(TIdFTPListFormat AFormat, TIdFTPListItem& AItem);
  // 1 to 12 for "JAN" to "DEC" in any letter case, the whole text; 0 for anything else.
  static int32_t MonthNumber(std::string_view AText);
  // A time of the machine-readable replies (MDTM, MLSD's "modify"): "YYYYMMDDhhmmss" with an
  // optional fraction ".s..." (milliseconds kept, a leap second read as :59), in UTC; 0 when
  // the text is no such time.
  static rtl::TDateTime ParseTimeVal(std::string_view AText);

  // --- virtual operations: a listing for another server style overrides these ---------------
  // The style of one listing line; ADetails false means the listing holds names only.
  virtual TIdFTPListFormat DetectListFormat(const std::string& ALine, bool ADetails);
  // Passes AItem to OnParseCustomListFormat; raises EIdInvalidFTPListingFormat without one.
  virtual void ParseCustom(TIdFTPListItem& AItem);

 protected:
  void ParseUnix(TIdFTPListItem& AItem);
  void ParseDos(TIdFTPListItem& AItem);
  // One MLSD line: facts, one blank, the name exactly as sent. The current and parent folder
  // entries (type cdir, pdir) are no entries of the listing and fail like unreadable lines; so
  // do a line without facts or name, and a size or time that is no number.
  void ParseMlsd(TIdFTPListItem& AItem);
  // Today and now, from the clock (or the one LoadLines fixed for its lines).
  rtl::TDateTimeParts Today() const;

 private:
  void LoadFrom(int ACount, const std::function<std::string_view(int)>& ALine);

  std::vector<std::unique_ptr<TIdFTPListItem>> items_;
  TIdOnParseCustomListFormat on_parse_custom_list_format_;
  TIdFTPListFormat list_format_ = flfUnix;
  TIdFTPListClock clock_;
  // Set while LoadLines runs, so that a listing read across midnight dates all lines alike.
  const rtl::TDateTimeParts* loading_today_ = nullptr;
};

}  // namespace tavo::net
