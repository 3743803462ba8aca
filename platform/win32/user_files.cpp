#include "platform/user_files.h"

#include <windows.h>

#include "platform/win32/utf16.h"

namespace tavo::platform {
namespace {

std::string Variable(const wchar_t* name) {
  wchar_t buffer[32768];
  const DWORD n = ::GetEnvironmentVariableW(name, buffer, 32768);
  return n > 0 && n < 32768 ? win32::Narrow(buffer, n) : std::string();
}

}  // namespace

std::string HomeFolder() {
  // HOME where a user set it (tools ported from elsewhere keep their files there), else the
  // profile folder.
  std::string home = Variable(L"HOME");
  if (home.empty()) home = Variable(L"USERPROFILE");
  if (home.empty()) home = Variable(L"HOMEDRIVE") + Variable(L"HOMEPATH");
  while (!home.empty() && (home.back() == '\\' || home.back() == '/')) home.pop_back();
  return home;
}

bool OpenToOthers(const std::string&) { return false; }

bool SetModificationTime(const std::string& APath, int64_t AUnixSeconds, std::string& AReason) {
  const HANDLE h = ::CreateFileW(win32::Widen(APath).c_str(), FILE_WRITE_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    AReason = win32::ErrorMessage(::GetLastError());
    return false;
  }
  // 100-nanosecond ticks since 1601.
  const uint64_t ticks = static_cast<uint64_t>(AUnixSeconds + 11644473600LL) * 10000000ULL;
  FILETIME time{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  const bool ok = ::SetFileTime(h, nullptr, &time, &time) != 0;
  if (!ok) AReason = win32::ErrorMessage(::GetLastError());
  ::CloseHandle(h);
  return ok;
}

}  // namespace tavo::platform
