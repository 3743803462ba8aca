// The directory-listing parser: style detection, the Unix and MS-DOS rules, loading a whole
// listing, and lines as real servers send them. "Today" is fixed through the clock.

// ftp.h first: its forward declarations of the listing types must agree with the parser's.
#include "net/ftp/ftp.h"

#include "net/ftp/listing.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <stdexcept>
#include <string>
#include <unordered_set>
#include <vector>

#include "net/stack/exceptions.h"
#include "platform/clock.h"
#include "rtl/exception.h"
#include "tests/support/expect_throw.h"

namespace tavo::net {
namespace {

using Strings = std::vector<std::string>;

void FixToday(TIdFTPListItems& items, int y, int m, int d) {
  items.SetClock([v = rtl::EncodeDate(y, m, d) + 0.5] { return v; });
}

// "2026-01-05 10:30:00.999", or "0" for the value 0 (no date read).
std::string Stamp(rtl::TDateTime v) {
  rtl::TDateTimeParts p;
  if (v == 0 || !rtl::DecodeDateTime(v, p)) return "0";
  char t[40];
  std::snprintf(t, sizeof t, "%04d-%02d-%02d %02d:%02d:%02d.%03d", p.Year, p.Month, p.Day, p.Hour,
                p.Minute, p.Second, p.MilliSecond);
  return t;
}

// One entry on one line: kind, size, (Unix:) links, owner, group, rights, then time and name,
// and for links the target.
std::string Describe(const TIdFTPListItem& i, bool unix_fields = true) {
  std::string s = std::string(i.Kind() == KindDirectory ? "dir"
                              : i.Kind() == KindLink    ? "link"
                                                        : "file") +
                  " " + std::to_string(i.Size());
  if (unix_fields)
    s += " links=" + std::to_string(i.LinkCount()) + " " + i.OwnerName() + ":" + i.GroupName() +
         " " + i.OwnerRights() + "/" + i.GroupRights() + "/" + i.OtherRights();
  s += " " + Stamp(i.Modified()) + " '" + i.Name() + "'";
  if (i.Kind() == KindLink || !i.LinkTarget().empty()) s += " -> '" + i.LinkTarget() + "'";
  return s;
}

Strings Describe(const TIdFTPListItems& items, bool unix_fields = true) {
  Strings out;
  for (int i = 0; i < items.Count(); ++i) out.push_back(Describe(items.Items(i), unix_fields));
  return out;
}

// What one line gives under `format`, read with the clock of `items`.
std::string Parse(TIdFTPListItems& items, TIdFTPListFormat format, const std::string& line) {
  TIdFTPListItem item;
  item.SetRawLine(line);
  items.ParseLine(format, item);
  return Describe(item, format != flfDos);
}

rtl::TStringList Lines(const Strings& lines) {
  rtl::TStringList l;
  for (const auto& s : lines) l.Add(s);
  return l;
}

// Detects the style from the first line and loads all of them, as the FTP client does.
void Load(TIdFTPListItems& items, const Strings& lines) {
  items.SetListFormat(items.DetectListFormat(lines.at(0), true));
  items.LoadLines(Lines(lines));
}

// As IIS sends them: "<DIR>" from column 25, the size ending in column 38.
const std::string kDosDir = "01-31-05  10:24AM       <DIR>          Folder";
const std::string kDosFile = "01-31-05  10:24AM              123,456 two  words.txt";
const std::string kDosPrefix = kDosFile.substr(0, 24);  // date, time, blanks to column 24

TEST(FtpListItem, CreationValuesCopyingAndMonthNames) {
  TIdFTPListItems items;
  EXPECT_EQ(items.ListFormat(), flfUnix);
  EXPECT_FALSE(items.OnParseCustomListFormat());
  TIdFTPListItem* item = items.AddItem();
  EXPECT_EQ(Describe(*item), "file 0 links=0 ????????:???????? ?\?\?/?\?\?/??? 0 ''");
  // A parsed link line sets every field.
  item->SetRawLine("lrwxr-x--x 3 o g 5000000000 Feb 1 2020 n -> t");
  items.ParseLine(flfUnix, *item);
  TIdFTPListItem copy;
  copy.Assign(*item);
  EXPECT_EQ(Describe(copy),
            "link 5000000000 links=3 o:g rwx/r-x/--x 2020-02-01 00:00:00.999 'n' -> 't'");
  EXPECT_EQ(copy.RawLine(), item->RawLine());
  TIdFtpProxySettings other;
  EXPECT_THROW(copy.Assign(other), rtl::EConvertAssignError);
  items.Delete(0);
  EXPECT_THROW(items.Items(0), rtl::EListError);

  const std::pair<const char*, int32_t> months[] = {{"JAN", 1},     {"jan", 1}, {"mAr", 3},
                                                    {"Dec", 12},    {"JA", 0},  {" JAN", 0},
                                                    {"JANUARY", 0}, {"", 0}};
  for (const auto& [text, month] : months)
    EXPECT_EQ(TIdFTPListItems::MonthNumber(text), month) << '"' << text << '"';
}

TEST(FtpListItems, DetectsTheStyleFromOneLine) {
  const std::pair<std::string, TIdFTPListFormat> cases[] = {
      {"drwxr-xr-x 2 root root 4096 Dec 07 22:26 sub", flfUnix},
      {"-rw-r--r--", flfUnix},
      {"ToTaL 12", flfUnix},
      // An s or t among the rights is not recognised, and the 3rd character is no separator.
      {"-rwsr-xr-x 1 root root 1 Jan 1 2020 su", flfUnknown},
      {"drwxrwxrwt 9 root root 1 Jan 1 2020 tmp", flfUnknown},
      {"USER$DSK:[HOME]LOGIN.COM;1", flfVax},
      {kDosDir, flfDos},
      {kDosFile, flfDos},
      {"01/31/05  10:24AM       <dir>          Folder", flfDos},
      {kDosPrefix + "             0 empty", flfDos},
      {"01x31-05  10:24AM       <DIR>          Folder", flfUnknown},  // a letter in column 3
      {kDosPrefix + "FOLDER         x", flfUnknown},
      {kDosPrefix + "            -1 minus-one", flfUnknown},
      {kDosPrefix + "          many x", flfUnknown},
      {"01-31-05", flfUnknown},
      {"readme.txt", flfUnknown},
      {"", flfUnknown},
  };
  TIdFTPListItems items;
  for (const auto& [line, format] : cases) {
    EXPECT_EQ(items.DetectListFormat(line, true), format) << '"' << line << '"';
    EXPECT_EQ(items.DetectListFormat(line, false), flfNoDetails) << '"' << line << '"';
  }
}

TEST(FtpListItems, ReadsUnixLines) {
  // Read on 15 March 2026.
  const std::pair<std::string, std::string> cases[] = {
      {"-rw-r--r-- 1 owner group 1234 Jan 5 10:30 my file.txt",
       "file 1234 links=1 owner:group rw-/r--/r-- 2026-01-05 10:30:00.999 'my file.txt'"},
      // The name as it stands after the one blank behind the time: blanks inside, in front and
      // behind stay, or a get of the name shown would ask for another file.
      {"-rw-r--r--  1 o  g  1234 Jan  5 10:30 my   file.txt \t",
       "file 1234 links=1 o:g rw-/r--/r-- 2026-01-05 10:30:00.999 'my   file.txt \t'"},
      {"-rw-r--r-- 1 o g 1 Jan 5 2020  lead.txt",
       "file 1 links=1 o:g rw-/r--/r-- 2020-01-05 00:00:00.999 ' lead.txt'"},
      {"  -rw-r--r-- 1 o g 1 Jan 5 10:30 trail.txt  ",
       "file 1 links=1 o:g rw-/r--/r-- 2026-01-05 10:30:00.999 'trail.txt  '"},
      {"lrwxrwxrwx 1 o g 7 Feb 1 2020 lib -> usr/lib",
       "link 7 links=1 o:g rwx/rwx/rwx 2020-02-01 00:00:00.999 'lib' -> 'usr/lib'"},
      {"Lrwxrwxrwx 1 o g 7 feb 1 2020 a -> b -> c",
       "link 7 links=1 o:g rwx/rwx/rwx 2020-02-01 00:00:00.999 'a' -> 'b -> c'"},
      // A link without an arrow: the whole text is the name, the target is empty.
      {"lrwxrwxrwx 1 o g 7 Feb 1 2020 lib",
       "link 7 links=1 o:g rwx/rwx/rwx 2020-02-01 00:00:00.999 'lib' -> ''"},
      {"-rw-r--r-- 1 o g 0 Feb 1 2020 a -> b",
       "file 0 links=1 o:g rw-/r--/r-- 2020-02-01 00:00:00.999 'a -> b'"},
      // Eight columns with a month in column 4: no group column, so the owner reads as group.
      {"-rw-r--r-- 1 owner 1234 Jan 5 10:30 name",
       "file 1234 links=1 :owner rw-/r--/r-- 2026-01-05 10:30:00.999 'name'"},
      {"-rw-r--r-- 1 o g 12 Jan 5 2020",
       "file 12 links=1 o:g rw-/r--/r-- 2020-01-05 00:00:00.999 ''"},
      // Numbers that do not convert give 0, or today's day and year.
      {"drwxr x o g big Jan xx 20x0 n", "dir 0 links=0 o:g rwx/r/ 2026-01-15 00:00:00.999 'n'"},
      {"-rw-r--r-- 1 o g 12345678901 Jan 5 ab:cd n",
       "file 12345678901 links=1 o:g rw-/r--/r-- 2026-01-05 00:00:00.999 'n'"},
      {"-rw-r--r-- 1 o g 1 Jan 5 2020 Grüße.txt",
       "file 1 links=1 o:g rw-/r--/r-- 2020-01-05 00:00:00.999 'Grüße.txt'"},
  };
  TIdFTPListItems items;
  FixToday(items, 2026, 3, 15);
  for (const auto& [line, entry] : cases) EXPECT_EQ(Parse(items, flfUnix, line), entry) << line;
}

// MLSD: facts and one blank, then the name exactly as sent; the UTC time kept as given and
// Modified as the local clock names it.
TEST(FtpListItems, ReadsMachineReadableLines) {
  const std::pair<std::string, std::string> cases[] = {
      {"type=file;size=1234;modify=20260105103000;perm=adfr;unique=801U1A; my  file.txt ",
       "file 1234 utc=2026-01-05 10:30:00.000 perm=adfr unique=801U1A 'my  file.txt '"},
      {"Type=Dir;Modify=20200201000000.5;UNIX.mode=0755;UNIX.owner=o;UNIX.group=g; docs",
       "dir 0 utc=2020-02-01 00:00:00.500 rwx/r-x/r-x o:g 'docs'"},
      {"type=OS.unix=slink:/usr/lib;size=7; lib", "link 7 utc=0 'lib' -> '/usr/lib'"},
      {"type=OS.unix=blkdev;sizd=4096; sda", "file 4096 utc=0 'sda'"},
      {"size=12;unknown.fact=x;noequals; f", "file 12 utc=0 'f'"},  // no type: a file
      {" name-without-facts", "file 0 utc=0 'name-without-facts'"},
  };
  TIdFTPListItems items;
  for (const auto& [line, entry] : cases) {
    TIdFTPListItem item;
    item.SetRawLine(line);
    items.ParseLine(flfMLSD, item);
    std::string seen = Describe(item, false);
    seen = seen.substr(0, seen.find(' ', seen.find(' ') + 1)) + " utc=" + Stamp(item.ModifiedUTC());
    if (!item.Permissions().empty()) seen += " perm=" + item.Permissions();
    if (!item.UniqueID().empty()) seen += " unique=" + item.UniqueID();
    if (item.OwnerRights() != "???")
      seen += " " + item.OwnerRights() + "/" + item.GroupRights() + "/" + item.OtherRights() +
              " " + item.OwnerName() + ":" + item.GroupName();
    seen += " '" + item.Name() + "'";
    if (item.Kind() == KindLink) seen += " -> '" + item.LinkTarget() + "'";
    EXPECT_EQ(seen, entry) << line;
    EXPECT_EQ(item.Modified(), item.ModifiedUTC() == 0 ? 0 : platform::UtcToLocal(item.ModifiedUTC()));
  }
  // No entry: the folder itself and its parent, no name, numbers and times that are none.
  for (const char* line : {"type=cdir; .", "type=pdir;modify=20260101000000; ..", "type=file;size=1;",
                           "type=file;size=1", "size=-1; f", "size=1e3; f", "modify=2026; f",
                           "modify=20261301000000; f", "unix.mode=0855; f", ""}) {
    TIdFTPListItem item;
    item.SetRawLine(line);
    EXPECT_THROW(items.ParseLine(flfMLSD, item), EIdInvalidFTPListingFormat) << line;
  }
}

TEST(FtpListItems, YearOfUnixLinesThatGiveATime) {
  struct Case {
    int month, day;  // today, in 2026
    std::string date, modified;
  };
  const Case cases[] = {
      // A January entry is never moved to the previous year, not even a day ahead of today.
      {1, 10, "Jan 5 10:30", "2026-01-05 10:30:00.999"},
      {1, 10, "Jan 20 10:30", "2026-01-20 10:30:00.999"},
      {3, 15, "Dec 24 18:00", "2025-12-24 18:00:00.999"},
      {3, 15, "Apr 1 08:00", "2025-04-01 08:00:00.999"},
      {12, 31, "Dec 31 23:59", "2026-12-31 23:59:00.999"},
      {3, 15, "Dec 24 2019", "2019-12-24 00:00:00.999"},
  };
  for (const Case& c : cases) {
    TIdFTPListItems items;
    FixToday(items, 2026, c.month, c.day);
    const std::string entry = Parse(items, flfUnix, "-rw-r--r-- 1 o g 1 " + c.date + " f");
    EXPECT_NE(entry.find(" " + c.modified + " "), std::string::npos)
        << c.date << " read in month " << c.month << ": " << entry;
  }
}

TEST(FtpListItems, ParseLineRaisesForLinesItCannotRead) {
  struct Case {
    TIdFTPListFormat format;
    std::string line, error;
  };
  const Case cases[] = {
      {flfUnix, "-rw-r--r-- 1 o g 12 Foo 5 10:30 x", "Invalid argument to date encode"},
      {flfUnix, "-rw-r--r-- 1 o g 12 Apr 31 2020 x", "Invalid argument to date encode"},
      {flfUnix, "-rw-r--r-- 1 o g 12 Feb 29 12:00 x", "Invalid argument to date encode"},
      {flfUnix, "-rw-r--r-- 1 o g 12 Jan 5 24:00 x", "Invalid argument to time encode"},
      {flfUnix, "-rw-r--r-- 1 o g 12 Jan 5 10:60 x", "Invalid argument to time encode"},
      {flfUnix, "-rw-r--r-- 1 o g 12 Jan 5", "List index out of bounds (7)"},
      {flfVax, "", "List index out of bounds (0)"},
      {flfUnknown, "x", "Unbekanntes FTP-Listenformat"},
      {flfCustom, "x", "Unbekanntes FTP-Listenformat"},
      {static_cast<TIdFTPListFormat>(42), "x", "Unbekanntes FTP-Listenformat"},
  };
  TIdFTPListItems items;
  FixToday(items, 2025, 3, 1);
  for (const Case& c : cases) {
    TIdFTPListItem item;
    item.SetRawLine(c.line);
    SCOPED_TRACE(c.line);
    testsupport::ExpectThrowWith<rtl::Exception>(
        [&] { items.ParseLine(c.format, item); },
        [&](const rtl::Exception& e) {
          EXPECT_EQ(e.Message(), c.error);
          EXPECT_EQ(dynamic_cast<const EIdInvalidFTPListingFormat*>(&e) != nullptr,
                    c.format != flfUnix && c.format != flfVax);
        });
  }
}

TEST(FtpListItems, ReadsMsDosLinesByFixedRules) {
  // Read in 2026: two-digit years fall in 1976 to 2075.
  const std::pair<std::string, std::string> cases[] = {
      {kDosDir, "dir 0 2005-01-31 10:24:00.000 'Folder'"},
      {kDosFile, "file 123456 2005-01-31 10:24:00.000 'two  words.txt'"},
      {"01-31-05  12:05AM  <DIR>  x", "dir 0 2005-01-31 00:05:00.000 'x'"},
      {"01-31-05  12:05PM  <dir>  x", "dir 0 2005-01-31 12:05:00.000 'x'"},
      {"01-31-05  01:00pm  17 x", "file 17 2005-01-31 13:00:00.000 'x'"},
      {"01/31/05  22:24:30  17 x", "file 17 2005-01-31 22:24:30.000 'x'"},
      {"03-01-76  00:00  1,234,567 y", "file 1234567 1976-03-01 00:00:00.000 'y'"},
      {"03-01-75  00:00  1 y", "file 1 2075-03-01 00:00:00.000 'y'"},
      // Dates and times that cannot be read leave Modified at 0; the line still counts.
      {"02-30-05  10:24AM  5 x", "file 5 0 'x'"},
      {"01-31-05  00:30AM  5 x", "file 5 0 'x'"},
      {"01-31-05  1024  big x", "file 0 0 'x'"},
      {"short", "file 0 0 ''"},
  };
  TIdFTPListItems items;
  FixToday(items, 2026, 12, 8);
  for (const auto& [line, entry] : cases) EXPECT_EQ(Parse(items, flfDos, line), entry) << line;
}

TEST(FtpListItems, LoadLinesKeepsEveryLineThatParses) {
  const std::string a = "-rw-r--r-- 1 o g 1 Jan 5 2020 a", b = "d 2 o g 0 Feb 6 2021 b";
  const std::string bad = "-rw-r--r-- 1 o g 1 Foo 5 2020 bad";
  struct Case {
    TIdFTPListFormat format;
    Strings lines, names;
  };
  const Case cases[] = {
      {flfUnix, {"total 3", a, "", "   ", "\t\t", " \t ", b}, {"a", "b"}},
      {flfUnix, {"ToTaL 1 o g 1 Jan 5 2020 x", a}, {"a"}},  // skipped even though it parses
      {flfUnix, {a, "total 1 o g 1 Jan 5 2020 x"}, {"a", "x"}},
      // The sound change: a bad line drops only its own entry.
      {flfUnix, {a, bad, "drwx", b}, {"a", "b"}},
      {flfUnix, {bad}, {}},
      {flfNoDetails,
       {"total 3", "  readme.txt ", "two  blanks"},
       {"total 3", "readme.txt", "two  blanks"}},
      {flfDos, {"total 3", kDosDir}, {"", "Folder"}},
      {flfUnknown, {a, b}, {}},
      {flfCustom, {a, b}, {}},
  };
  for (const Case& c : cases) {
    TIdFTPListItems items;
    items.AddItem()->SetName("from an earlier load");
    items.SetListFormat(c.format);
    items.LoadLines(Lines(c.lines));
    Strings names;
    for (int i = 0; i < items.Count(); ++i) names.push_back(items.Items(i).Name());
    EXPECT_EQ(names, c.names) << c.lines.at(0);
  }

  // flfNone: every non-blank line becomes an entry with its RawLine alone.
  TIdFTPListItems items;
  items.SetListFormat(flfNone);
  items.LoadLines(Lines({"total 3", a + " ", "", "\t", "x\t"}));
  ASSERT_EQ(items.Count(), 3);
  EXPECT_EQ(items.Items(1).RawLine(), a + " ");
  EXPECT_EQ(items.Items(2).RawLine(), "x\t");
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Describe(items.Items(i)), Describe(TIdFTPListItem{}));
}

TEST(FtpListItems, CustomFormatAndOneTodayPerLoad) {
  TIdFTPListItems items;
  items.SetOnParseCustomListFormat([&](TIdFTPListItem* item) {
    items.AddItem()->SetName("extra");  // a parser may add entries; they stay
    if (item->RawLine().starts_with("bad")) throw std::runtime_error("not a listing line");
    item->SetName("<" + item->RawLine() + ">");
  });
  items.SetListFormat(flfCustom);
  items.LoadLines(Lines({"one", "bad two", "", "three"}));
  EXPECT_EQ(Describe(items, false),
            (Strings{"file 0 0 '<one>'", "file 0 0 'extra'", "file 0 0 'extra'",
                     "file 0 0 '<three>'", "file 0 0 'extra'"}));

  // A clock that moves a year ahead each time it is read: the load reads it once.
  int calls = 0;
  items.SetClock([&] { return rtl::EncodeDate(2020 + calls++, 6, 1); });
  items.SetListFormat(flfUnix);
  items.LoadLines(Lines({"-rw-r--r-- 1 o g 1 Jan 5 10:30 a", "-rw-r--r-- 1 o g 1 Jan 5 10:30 b"}));
  ASSERT_EQ(items.Count(), 2);
  EXPECT_EQ(Stamp(items.Items(1).Modified()), "2020-01-05 10:30:00.999");
}

// Captured on 7 December 2026 with ftplib's LIST from pyftpdlib 1.5.7 and vsftpd 3.0.3
// serving one folder; read on 8 December 2026.
TEST(FtpListItems, RealUnixListings) {
  const Strings pyftpdlib = {
      "drwxr-xr-x   2 root     root         4096 Dec 07 22:26 a folder",
      "-rw-r--r--   1 root     root      1536000 Dec 07 22:26 big.bin",
      "lrwxrwxrwx   1 root     root            8 Dec 07 22:26 link -> file.txt",
      "-rw-r--r--   1 root     root            0 Feb 01  2020 old.bin",
      "-rw-r--r--   1 root     root            0 Oct 07 09:05 recent.dat",
      "-rw-r--r--   1 root     root            2 Dec 07 22:26 two  blanks.txt",
  };
  const Strings vsftpd = {
      "drwxr-xr-x    2 0        0            4096 Dec 07 22:26 a folder",
      "-rw-r--r--    1 0        0         1536000 Dec 07 22:26 big.bin",
      "lrwxrwxrwx    1 0        0               8 Dec 07 22:26 link -> file.txt",
      "-rw-r--r--    1 0        0               0 Feb 01  2020 old.bin",
      "-rw-r--r--    1 0        0               0 Oct 07 09:05 recent.dat",
      "-rw-r--r--    1 0        0               2 Dec 07 22:26 two  blanks.txt",
  };
  const Strings expected = {
      "dir 4096 links=2 U:U rwx/r-x/r-x 2026-12-07 22:26:00.999 'a folder'",
      "file 1536000 links=1 U:U rw-/r--/r-- 2026-12-07 22:26:00.999 'big.bin'",
      "link 8 links=1 U:U rwx/rwx/rwx 2026-12-07 22:26:00.999 'link' -> 'file.txt'",
      "file 0 links=1 U:U rw-/r--/r-- 2020-02-01 00:00:00.999 'old.bin'",
      "file 0 links=1 U:U rw-/r--/r-- 2026-10-07 09:05:00.999 'recent.dat'",
      // A run of blanks inside a name stays as the server wrote it.
      "file 2 links=1 U:U rw-/r--/r-- 2026-12-07 22:26:00.999 'two  blanks.txt'",
  };
  for (const auto& [lines, user] : {std::pair{pyftpdlib, std::string("root")}, {vsftpd, "0"}}) {
    TIdFTPListItems items;
    FixToday(items, 2026, 12, 8);
    Load(items, lines);
    EXPECT_EQ(items.ListFormat(), flfUnix);
    Strings want;
    for (std::string e : expected) want.push_back(e.replace(e.find("U:U"), 3, user + (":" + user)));
    EXPECT_EQ(Describe(items), want) << user;
  }
}

TEST(FtpListItems, VmsLinesReadByTheUnixRules) {
  TIdFTPListItems items;
  FixToday(items, 2026, 12, 8);
  // Whatever those make of them: the first column gives kind and rights.
  Load(items, {"VOL$DSK: 1 system staff 512 Mar 3 1999 LOGIN.COM;1", "[000000]DSK:"});
  EXPECT_EQ(items.ListFormat(), flfVax);
  EXPECT_EQ(
      Describe(items),
      Strings{"file 512 links=1 system:staff OL$/DSK/: 1999-03-03 00:00:00.999 'LOGIN.COM;1'"});
}

// No line, of any length or bytes, under any format, may crash the parser or make it read
// outside a line; the asan preset checks every access.
TEST(FtpListItems, AnyBytesAnyLengthNeverCrash) {
  Strings lines = {kDosDir, kDosFile, "lrwxrwxrwx 1 o g 7 Feb 1 2020 lib -> usr/lib", "x DSK: y"};
  // Every prefix of these reaches every "is the line long enough" edge.
  for (size_t n = lines.size(), i = 0; i < n; ++i)
    for (size_t len = 0; len < lines[i].size(); ++len) lines.push_back(lines[i].substr(0, len));
  std::mt19937 random(12);  // the same lines on every run
  static const char kAlphabet[] = " -/:,<>DIRrwxl0123456789AMPJanDecTOTALdsk\t";
  for (int i = 0; i < 3000; ++i) {
    std::string line(random() % 120, '\0');
    for (char& ch : line)
      ch = random() % 4 == 0 ? static_cast<char>(random() % 256)
                             : kAlphabet[random() % (sizeof kAlphabet - 1)];
    lines.push_back(line);
  }
  lines.push_back(std::string(1 << 20, '\xff'));
  std::string many_columns;
  for (int i = 0; i < 100000; ++i) many_columns += "Jan ";
  lines.push_back(many_columns);

  const std::unordered_set<std::string> known(lines.begin(), lines.end());
  for (int f = flfNone; f <= flfCustom + 1; ++f) {
    const auto format = static_cast<TIdFTPListFormat>(f);
    TIdFTPListItems items;
    FixToday(items, 2026, 12, 8);
    items.SetOnParseCustomListFormat(
        [](TIdFTPListItem* i) { i->SetName(i->RawLine().substr(0, 3)); });
    items.SetListFormat(format);
    items.LoadLines(Lines(lines));
    for (int i = 0; i < items.Count(); ++i) EXPECT_TRUE(known.count(items.Items(i).RawLine()));
    for (const std::string& line : lines) {
      (void)items.DetectListFormat(line, true);
      TIdFTPListItem item;
      item.SetRawLine(line);
      try {
        items.ParseLine(format, item);
      } catch (const rtl::Exception&) {  // the documented failures; anything else fails the test
      }
    }
  }
}

}  // namespace
}  // namespace tavo::net
