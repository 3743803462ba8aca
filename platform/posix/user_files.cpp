#include "platform/user_files.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace tavo::platform {

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home != '\0') return home;
  const passwd* user = ::getpwuid(::getuid());
  return user != nullptr && user->pw_dir != nullptr ? user->pw_dir : "";
}

bool OpenToOthers(const std::string& APath) {
  struct stat st {};
  if (::stat(APath.c_str(), &st) != 0) return false;
  return (st.st_mode & (S_IRWXG | S_IRWXO)) != 0;
}

bool SetModificationTime(const std::string& APath, int64_t AUnixSeconds, std::string& AReason) {
  const timespec times[2] = {{static_cast<time_t>(AUnixSeconds), 0},
                             {static_cast<time_t>(AUnixSeconds), 0}};
  if (::utimensat(AT_FDCWD, APath.c_str(), times, 0) == 0) return true;
  AReason = std::strerror(errno);
  return false;
}

}  // namespace tavo::platform
