#pragma once
// Texts of the FTP directory-listing parser: its error message (German, UTF-8, with its English
// twin) and the words it recognises in listing lines. Each lives here once; code refers to them
// by name.

#include "resources/text.h"

namespace tavo::res {

// A line under flfUnknown, or a custom-format line without a parser.
inline constexpr TText kFtpListUnknownFormat{"Unbekanntes FTP-Listenformat",
                                             "Unknown FTP listing format"};

// Month names of Unix lines, months 1 to 12, compared with the upper-cased column.
inline constexpr const char* const kFtpListMonthNames[12] = {
    "JAN", "FEB", "MAR", "APR", "MAY", "JUN", "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};

// The first line of a Unix long listing ("total 12"), compared upper-cased.
inline constexpr const char kFtpListTotal[] = "TOTAL";
// Marks a VMS line.
inline constexpr const char kFtpListVmsDisk[] = "DSK:";
// The size column of a directory in an MS-DOS line, compared upper-cased.
inline constexpr const char kFtpListDosDir[] = "<DIR>";
// Separates a symbolic link's name from its target.
inline constexpr const char kFtpListLinkArrow[] = " -> ";
// An MLSD line that is no entry: without facts or name, or with a size or time that is no
// number.
inline constexpr TText kFtpListMlsdInvalid{"Ungültige MLSD-Zeile", "Invalid MLSD line"};
// The facts of MLSD lines the parser reads, compared upper-cased, and the values of "type".
inline constexpr const char kFtpFactType[] = "TYPE";
inline constexpr const char kFtpFactSize[] = "SIZE";
inline constexpr const char kFtpFactSizeDir[] = "SIZD";
inline constexpr const char kFtpFactModify[] = "MODIFY";
inline constexpr const char kFtpFactPerm[] = "PERM";
inline constexpr const char kFtpFactUnique[] = "UNIQUE";
inline constexpr const char kFtpFactUnixMode[] = "UNIX.MODE";
inline constexpr const char kFtpFactUnixOwner[] = "UNIX.OWNER";
inline constexpr const char kFtpFactUnixGroup[] = "UNIX.GROUP";
inline constexpr const char kFtpTypeFile[] = "FILE";
inline constexpr const char kFtpTypeDir[] = "DIR";
inline constexpr const char kFtpTypeCurrentDir[] = "CDIR";
inline constexpr const char kFtpTypeParentDir[] = "PDIR";
// A symbolic link of a Unix server: "OS.unix=slink:target" (the target may be missing).
inline constexpr const char kFtpTypeUnixLink[] = "OS.UNIX=SLINK";
// Halves of the day after an MS-DOS time, compared upper-cased.
inline constexpr const char kFtpListAm[] = "AM";
inline constexpr const char kFtpListPm[] = "PM";

}  // namespace tavo::res
