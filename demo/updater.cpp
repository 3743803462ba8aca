// Stand-in for a family's firmware updater on Windows, as demo-updater.sh is on Linux: the
// Windows demo serves it under each updater's name. It says which updater the launcher
// started, from where and with what arguments, on standard output and, with TAVO_DEMO_REPORT
// set, appended to that file (UTF-8, one line), so the demo and the tests know it has run. No
// message box: a run without anyone at the screen must never wait for a click.

#include <windows.h>
// After windows.h, whose types it uses.
#include <shellapi.h>

#include <cstdio>
#include <string>

namespace {

std::string Utf8(const std::wstring& text) {
  const int size = static_cast<int>(text.size());
  const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(bytes), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, out.data(), bytes, nullptr, nullptr);
  return out;
}

}  // namespace

int main() {
  // The wide forms: the updater sits in the user's temporary folder, whose name the system code
  // page may not be able to spell.
  wchar_t self[MAX_PATH];
  const std::wstring path(self, ::GetModuleFileNameW(nullptr, self, MAX_PATH));
  const std::size_t slash = path.find_last_of(L"\\/");
  int argc = 0;
  wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  std::wstring arguments = argc > 1 ? L"arguments:" : L"no arguments";
  for (int i = 1; i < argc; ++i) arguments += std::wstring(L" ") + argv[i];
  ::LocalFree(argv);
  const std::string line = "Demo updater " + Utf8(path.substr(slash + 1)) + " started from " +
                           Utf8(path.substr(0, slash)) + " with " + Utf8(arguments) + "\n";
  std::fwrite(line.data(), 1, line.size(), stdout);
  wchar_t report[MAX_PATH];
  const DWORD length = ::GetEnvironmentVariableW(L"TAVO_DEMO_REPORT", report, MAX_PATH);
  if (length > 0 && length < MAX_PATH) {
    const HANDLE file = ::CreateFileW(report, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      DWORD written = 0;
      ::WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
      ::CloseHandle(file);
    }
  }
  return 0;
}
