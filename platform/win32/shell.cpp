#include "platform/shell.h"

#include <windows.h>
#include <shellapi.h>

namespace tavo::platform {

int ShellOpen(const std::string& file, std::uintptr_t ownerWindow,
              const std::function<void()>& /*whileWaiting*/) {
  // The shell answers without waiting for the program it starts or the browser it asks.
  // The whole text goes to the shell; a cut path would open a different file or none.
  const HINSTANCE result = ::ShellExecuteA(reinterpret_cast<HWND>(ownerWindow), "open",
                                           file.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  return static_cast<int>(reinterpret_cast<INT_PTR>(result));
}

}  // namespace tavo::platform
