#include "platform/dll_search.h"

#include <windows.h>

namespace tavo::platform {

void RestrictDllSearch() {
  // SetDefaultDllDirectories exists from Windows 8 on (and on Windows 7 with its update
  // KB2533623); looked up, so the program still starts where it is missing.
  using TSetDefaultDllDirectories = BOOL(WINAPI*)(DWORD);
  const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
  const auto setDefault = reinterpret_cast<TSetDefaultDllDirectories>(reinterpret_cast<void*>(
      kernel != nullptr ? ::GetProcAddress(kernel, "SetDefaultDllDirectories") : nullptr));
  if (setDefault != nullptr && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
  // Without it: at least the current folder leaves the search order.
  ::SetDllDirectoryW(L"");
}

}  // namespace tavo::platform
