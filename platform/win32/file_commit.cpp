#include "platform/file_commit.h"

#include <string>

#include "platform/win32/utf16.h"

namespace tavo::platform {
namespace {

using win32::Narrow;
using win32::Widen;

std::string ErrorText(DWORD error) { return win32::ErrorMessage(error); }

bool IsNameTaken(DWORD error) {
  return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
}

}  // namespace

TPathKind PathKind(const std::string& path) {
  const std::wstring wide = Widen(path);
  if (wide.empty()) return TPathKind::pkMissing;
  // Opened for no access at all, which every kind of file allows: the handle says what it is
  // (NUL and CON are character devices, not files).
  const HANDLE h =
      ::CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return TPathKind::pkMissing;
    // Something is there that we may not look at; replacing it will tell.
    return TPathKind::pkFile;
  }
  TPathKind kind = TPathKind::pkOther;
  if (::GetFileType(h) == FILE_TYPE_DISK) {
    BY_HANDLE_FILE_INFORMATION info{};
    kind = ::GetFileInformationByHandle(h, &info) &&
                   (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0
               ? TPathKind::pkFolder
               : TPathKind::pkFile;
  }
  ::CloseHandle(h);
  return kind;
}

bool PathEntryExists(const std::string& path) {
  const std::wstring wide = Widen(path);
  // A link's own attributes: a link to nothing exists as a name.
  return !wide.empty() && (::GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES ||
                           PathKind(path) != TPathKind::pkMissing);
}

TFsResult CreateNewFile(const std::string& path, std::string& reason) {
  const std::wstring wide = Widen(path);
  if (wide.empty()) {
    reason = ErrorText(ERROR_INVALID_NAME);
    return TFsResult::frFailed;
  }
  // Default security: what any new file of this user gets in that folder.
  const HANDLE h = ::CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    reason = ErrorText(error);
    return IsNameTaken(error) ? TFsResult::frExists : TFsResult::frFailed;
  }
  ::CloseHandle(h);
  return TFsResult::frDone;
}

TFsResult MoveIntoPlace(const std::string& from, const std::string& to, bool replace,
                        std::string& reason) {
  const std::wstring wide_from = Widen(from);
  const std::wstring wide_to = Widen(to);
  if (wide_from.empty() || wide_to.empty()) {
    reason = ErrorText(ERROR_INVALID_NAME);
    return TFsResult::frFailed;
  }
  // Without MOVEFILE_REPLACE_EXISTING the move fails when the name is taken.
  const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
  if (::MoveFileExW(wide_from.c_str(), wide_to.c_str(), flags)) return TFsResult::frDone;
  const DWORD error = ::GetLastError();
  reason = ErrorText(error);
  return !replace && IsNameTaken(error) ? TFsResult::frExists : TFsResult::frFailed;
}

bool RemoveFile(const std::string& path) {
  const std::wstring wide = Widen(path);
  return !wide.empty() && ::DeleteFileW(wide.c_str()) != 0;
}

}  // namespace tavo::platform
