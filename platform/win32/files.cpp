#include "platform/files.h"

#include <windows.h>
// windows.h maps GetTempPath to its A/W variant; ours is a function of its own.
#undef GetTempPath

#include <vector>

namespace tavo::platform {

char PathDelimiter() { return '\\'; }

std::string NativePath(const std::string& path) { return path; }

std::string GetTempPath() {
  // Ask for the length first, so a long path is returned whole rather than cut.
  const DWORD needed = ::GetTempPathA(0, nullptr);
  if (needed == 0) return {};
  std::vector<char> buffer(needed + 1);
  const DWORD length = ::GetTempPathA(static_cast<DWORD>(buffer.size()), buffer.data());
  if (length == 0 || length >= buffer.size()) return {};
  std::string folder(buffer.data(), length);
  if (folder.back() != '\\') folder += '\\';
  return folder;
}

bool DirectoryExists(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool FileExists(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool CreateDir(const std::string& path) { return ::CreateDirectoryA(path.c_str(), nullptr) != 0; }

bool ForcePrivateDirectory(const std::string& path) {
  // The temporary folder on Windows belongs to the user alone (it lies in the user's profile and
  // inherits its access list), so a folder below it is private without further checks.
  if (DirectoryExists(path)) return true;
  return CreateDir(path);
}

}  // namespace tavo::platform
