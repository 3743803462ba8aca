#pragma once
// Files of the user a command-line program reads and writes besides its downloads: the home
// folder (where a netrc file lives), whether a file is open to other users (a file holding
// passwords must not be), and the modification time of a file it fetched.
//
// Paths are UTF-8.

#include <cstdint>
#include <string>

namespace tavo::platform {

// The current user's home folder without a trailing separator; empty when the system cannot
// say. POSIX: HOME, else the user database; Windows: HOME where set, else USERPROFILE.
std::string HomeFolder();

// True when users other than the owner may read or write the file (POSIX: any group or other
// permission bit). Windows answers false: a file in the user's profile is private to the user
// by the profile's own access list, and its inherited lists are not judged here.
bool OpenToOthers(const std::string& APath);

// Sets the file's modification time (and its access time) to AUnixSeconds since 1970 UTC;
// false with the system's reason.
bool SetModificationTime(const std::string& APath, int64_t AUnixSeconds, std::string& AReason);

}  // namespace tavo::platform
