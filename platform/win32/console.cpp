#include "platform/console.h"

#include <windows.h>

#include <string>

#include "platform/win32/utf16.h"

namespace tavo::platform {
namespace {

HANDLE Handle(TStdStream AStream) {
  switch (AStream) {
    case TStdStream::ssInput: return ::GetStdHandle(STD_INPUT_HANDLE);
    case TStdStream::ssOutput: return ::GetStdHandle(STD_OUTPUT_HANDLE);
    case TStdStream::ssError: return ::GetStdHandle(STD_ERROR_HANDLE);
  }
  return INVALID_HANDLE_VALUE;
}

bool IsConsole(HANDLE h) {
  DWORD mode = 0;
  return h != INVALID_HANDLE_VALUE && h != nullptr && ::GetConsoleMode(h, &mode) != 0;
}

bool WriteAll(HANDLE h, const char* data, std::size_t size) {
  while (size > 0) {
    DWORD written = 0;
    const DWORD chunk = size > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size);
    if (!::WriteFile(h, data, chunk, &written, nullptr) || written == 0) return false;
    data += written;
    size -= written;
  }
  return true;
}

bool WriteConsoleText(HANDLE h, const std::wstring& text) {
  const wchar_t* data = text.data();
  std::size_t left = text.size();
  while (left > 0) {
    DWORD written = 0;
    const DWORD chunk = left > 8192 ? 8192 : static_cast<DWORD>(left);
    if (!::WriteConsoleW(h, data, chunk, &written, nullptr) || written == 0) return false;
    data += written;
    left -= written;
  }
  return true;
}

}  // namespace

bool IsTerminal(TStdStream AStream) { return IsConsole(Handle(AStream)); }

bool WriteText(TStdStream AStream, std::string_view AText) {
  const HANDLE h = Handle(AStream);
  // A console shows characters, whatever its code page; the bytes would be read in that page.
  if (IsConsole(h)) return WriteConsoleText(h, win32::Widen(std::string(AText)));
  return WriteAll(h, AText.data(), AText.size());
}

bool WriteBytes(TStdStream AStream, const void* AData, std::size_t ASize, std::string& AReason) {
  if (WriteAll(Handle(AStream), static_cast<const char*>(AData), ASize)) return true;
  AReason = win32::ErrorMessage(::GetLastError());
  return false;
}

int TerminalColumns(TStdStream AStream) {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!::GetConsoleScreenBufferInfo(Handle(AStream), &info)) return 0;
  return info.srWindow.Right - info.srWindow.Left + 1;
}

bool ReadSecret(const std::string& APrompt, std::string& AValue) {
  // The console itself, not standard input: a password never comes from a pipe by accident.
  const HANDLE in = ::CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
  if (in == INVALID_HANDLE_VALUE) return false;
  const HANDLE out = ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, 0, nullptr);
  DWORD mode = 0;
  ::GetConsoleMode(in, &mode);
  ::SetConsoleMode(in, (mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT)) | ENABLE_LINE_INPUT |
                           ENABLE_PROCESSED_INPUT);
  if (out != INVALID_HANDLE_VALUE) WriteConsoleText(out, win32::Widen(APrompt));
  std::wstring line;
  wchar_t c = 0;
  DWORD got = 0;
  while (::ReadConsoleW(in, &c, 1, &got, nullptr) && got == 1 && c != L'\n') {
    if (c != L'\r') line += c;
  }
  ::SetConsoleMode(in, mode);
  if (out != INVALID_HANDLE_VALUE) {
    WriteConsoleText(out, L"\r\n");
    ::CloseHandle(out);
  }
  ::CloseHandle(in);
  AValue = win32::Narrow(line);
  return true;
}

}  // namespace tavo::platform
