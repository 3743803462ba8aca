#pragma once
// The netrc file: logins per host, as other command-line tools read it.
//
//   machine ftp.example login tech password s3cret
//   default login anonymous password guest@
//
// Tokens are separated by blanks, tabs and line ends; a token may be written in double quotes
// (with \" and \\ inside) to hold blanks. "account" is read and ignored; "macdef NAME" skips
// its macro up to the next empty line.

#include <string>
#include <string_view>
#include <vector>

namespace tavo::tool {

struct NetrcEntry {
  std::string machine;  // empty for the default entry
  bool is_default = false;
  std::string login;
  std::string password;
  bool has_password = false;
};

std::vector<NetrcEntry> ParseNetrc(std::string_view AText);

// The entry for AHost (letter case ignored) and, when ALogin is not empty, that login; the
// default entry when no machine matches (and its login fits); null when there is none.
const NetrcEntry* FindNetrcEntry(const std::vector<NetrcEntry>& AEntries, const std::string& AHost,
                                 const std::string& ALogin);

}  // namespace tavo::tool
