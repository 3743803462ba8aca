// tavo-online.exe's start as main() runs it, in a program of its own: RunLauncher makes the
// application object itself, and its start-up routine restricts where libraries are loaded
// from for the rest of the process.

#include "app/program.h"

#include <filesystem>

#include "tests/app/win32/window_support.h"

namespace tavo::app {
namespace {

std::filesystem::path ProgramFolder() {
  wchar_t self[MAX_PATH];
  const DWORD length = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  return std::filesystem::path(std::wstring(self, length)).parent_path();
}

TEST(Win32Program, ShowsTheWindowEndsWithItAndLoadsNoLibraryPlantedBesideIt) {
  // A library of no system name, built into this program's folder: before the start-up routine
  // the system would find it there.
  const std::filesystem::path planted = ProgramFolder() / L"tavo_planted.dll";
  ASSERT_TRUE(std::filesystem::exists(planted)) << planted.string();

  char name[] = "tavo-online";
  char* argv[] = {name, nullptr};
  bool shown = false;
  const int code = RunLauncher(1, argv, [&](TFormMain& form) {
    shown = form.Visible();
    ::PostMessageW(test::Hwnd(form), WM_CLOSE, 0, 0);
  });
  EXPECT_TRUE(shown);
  EXPECT_EQ(code, 0);

  EXPECT_EQ(::LoadLibraryW(L"tavo_planted.dll"), nullptr)
      << "a library beside the program was loaded by its bare name";
  // The file itself loads when named in full: the refusal above is the search's.
  const HMODULE explicitly = ::LoadLibraryW(planted.c_str());
  EXPECT_NE(explicitly, nullptr);
  if (explicitly != nullptr) ::FreeLibrary(explicitly);
}

}  // namespace
}  // namespace tavo::app
