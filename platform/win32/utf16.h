#pragma once
// The program's text is UTF-8; Windows takes UTF-16 in its wide-character (W) functions. The
// narrow (A) functions read the system's code page instead, which cannot hold every name a
// user's folder may have, so the Win32 backends convert at the call and use W functions only.

#include <windows.h>

#include <string>

namespace tavo::platform::win32 {

// UTF-8 to UTF-16; bytes that are not UTF-8 become U+FFFD, so nothing is silently dropped.
std::wstring Widen(const std::string& text);
// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Narrow(const std::wstring& text);
std::string Narrow(const wchar_t* text, std::size_t length);

// The system's words for an error number (GetLastError's), without the line break it ends with;
// "error N" when the system has none.
std::string ErrorMessage(DWORD AError);

// A library of the system's own folder: never one of that name beside the program or in the
// current folder. Null on failure, with the system's error for GetLastError.
HMODULE LoadSystemLibrary(const wchar_t* name);

}  // namespace tavo::platform::win32
