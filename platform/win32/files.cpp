#include "platform/files.h"

#include <aclapi.h>

#include <vector>

#include "platform/win32/utf16.h"
// windows.h maps GetTempPath to its A/W variant; ours is a function of its own.
#undef GetTempPath

namespace tavo::platform {

namespace {

// Rights that let someone place, replace or remove entries in a folder, or change who may.
constexpr DWORD kWriteRights = FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY | FILE_DELETE_CHILD |
                               DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

// The security identifier of the user this process runs as; empty when the system cannot say.
std::vector<BYTE> CurrentUserSid() {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
  DWORD size = 0;
  ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<BYTE> info(size);
  const bool ok = size > 0 && ::GetTokenInformation(token, TokenUser, info.data(), size, &size);
  ::CloseHandle(token);
  if (!ok) return {};
  const PSID sid = reinterpret_cast<TOKEN_USER*>(info.data())->User.Sid;
  std::vector<BYTE> copy(::GetLengthSid(sid));
  if (!::CopySid(static_cast<DWORD>(copy.size()), copy.data(), sid)) return {};
  return copy;
}

// Creates the folder owned by `user`, with an access list that grants `user` alone full access
// (inherited by everything created inside) and takes nothing from the parent folder's list: a
// shared temporary folder (TMP set to C:\Temp) lets every user write below it. Returns the
// system's error number, ERROR_SUCCESS once the folder has been created.
DWORD CreatePrivateFolder(const std::wstring& path, PSID user) {
  EXPLICIT_ACCESSW access{};
  access.grfAccessPermissions = FILE_ALL_ACCESS;
  access.grfAccessMode = SET_ACCESS;
  access.grfInheritance = SUB_CONTAINERS_AND_OBJECTS_INHERIT;
  access.Trustee.TrusteeForm = TRUSTEE_IS_SID;
  access.Trustee.TrusteeType = TRUSTEE_IS_USER;
  access.Trustee.ptstrName = static_cast<LPWSTR>(user);
  PACL acl = nullptr;
  const DWORD aclError = ::SetEntriesInAclW(1, &access, nullptr, &acl);
  if (aclError != ERROR_SUCCESS) return aclError;
  SECURITY_DESCRIPTOR descriptor;
  SECURITY_ATTRIBUTES attributes{sizeof attributes, &descriptor, FALSE};
  const bool created =
      ::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) &&
      ::SetSecurityDescriptorOwner(&descriptor, user, FALSE) &&
      ::SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE) &&
      ::SetSecurityDescriptorControl(&descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED) &&
      ::CreateDirectoryW(path.c_str(), &attributes);
  const DWORD error = created ? ERROR_SUCCESS : ::GetLastError();
  ::LocalFree(acl);
  return error;
}

// True when nobody but `user` may write to the folder. The system account and the
// administrators may write anywhere anyway; any other write grant, an access list missing
// altogether (everyone may do everything) or an entry of a kind not understood here refuses.
bool OnlyUserMayWrite(const ACL* acl, PSID user) {
  if (acl == nullptr) return false;
  for (DWORD i = 0; i < acl->AceCount; ++i) {
    void* entry = nullptr;
    if (!::GetAce(const_cast<ACL*>(acl), i, &entry)) return false;
    const auto* header = static_cast<const ACE_HEADER*>(entry);
    if (header->AceType == ACCESS_DENIED_ACE_TYPE) continue;
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) return false;
    // Entries only handed down to new entries inside do not apply to the folder itself.
    if ((header->AceFlags & INHERIT_ONLY_ACE) != 0) continue;
    const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(entry);
    if ((allowed->Mask & kWriteRights) == 0) continue;
    const PSID sid = const_cast<DWORD*>(&allowed->SidStart);
    if (::EqualSid(sid, user) || ::IsWellKnownSid(sid, WinLocalSystemSid) ||
        ::IsWellKnownSid(sid, WinBuiltinAdministratorsSid)) {
      continue;
    }
    return false;
  }
  return true;
}

// An existing entry is used only when it is a real folder (a reparse point, such as a junction
// or a symbolic link, may lead anywhere), owned by `user` and writable by nobody else.
bool IsPrivateFolder(const std::wstring& path, PSID user) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return false;
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return false;
  PSID owner = nullptr;
  PACL acl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (::GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT,
                              OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                              nullptr, &acl, nullptr, &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  const bool ok = owner != nullptr && ::EqualSid(owner, user) && OnlyUserMayWrite(acl, user);
  ::LocalFree(descriptor);
  return ok;
}

}  // namespace

char PathDelimiter() { return '\\'; }

std::string NativePath(const std::string& path) { return path; }

std::string GetTempPath() {
  // Ask for the length first, so a long path is returned whole rather than cut. The wide form:
  // the narrow one spells the folder in the system code page, and for a user named "Łukasz"
  // under a Western code page that names a different folder ("Lukasz").
  const DWORD needed = ::GetTempPathW(0, nullptr);
  if (needed == 0) return {};
  std::vector<wchar_t> buffer(needed + 1);
  const DWORD length = ::GetTempPathW(static_cast<DWORD>(buffer.size()), buffer.data());
  if (length == 0 || length >= buffer.size()) return {};
  std::string folder = win32::Narrow(buffer.data(), length);
  if (folder.back() != '\\') folder += '\\';
  return folder;
}

bool DirectoryExists(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(win32::Widen(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool FileExists(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(win32::Widen(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool CreateDir(const std::string& path) {
  return ::CreateDirectoryW(win32::Widen(path).c_str(), nullptr) != 0;
}

bool ForcePrivateDirectory(const std::string& path) {
  // The checks must see the entry itself: a trailing separator would make the system look
  // through a reparse point of that name.
  std::wstring folder = win32::Widen(path);
  while (folder.size() > 1 && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
  if (folder.empty()) return false;
  std::vector<BYTE> user = CurrentUserSid();
  if (user.empty()) return false;
  if (::GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES) {
    if (::GetLastError() != ERROR_FILE_NOT_FOUND) return false;
    // Another process may create it in between; then it gets the same checks below.
    const DWORD error = CreatePrivateFolder(folder, user.data());
    if (error != ERROR_SUCCESS && error != ERROR_ALREADY_EXISTS) return false;
  }
  return IsPrivateFolder(folder, user.data());
}

}  // namespace tavo::platform
