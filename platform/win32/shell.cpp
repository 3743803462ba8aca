#include "platform/shell.h"

#include <objbase.h>
#include <shellapi.h>

#include "platform/win32/utf16.h"

namespace tavo::platform {

int ShellOpen(const std::string& file, std::uintptr_t ownerWindow,
              const std::function<void()>& /*whileWaiting*/) {
  // The shell may hand the request to a COM handler (a browser for a web address), which wants
  // COM set up on the calling thread; an apartment the thread has already is kept.
  const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  // The shell answers without waiting for the program it starts or the browser it asks. The
  // whole text goes to it, as UTF-16: the path holds the user's temporary folder, whose name
  // the system code page may not be able to spell.
  const HINSTANCE result =
      ::ShellExecuteW(reinterpret_cast<HWND>(ownerWindow), L"open", win32::Widen(file).c_str(),
                      nullptr, nullptr, SW_SHOWNORMAL);
  if (SUCCEEDED(com)) ::CoUninitialize();
  return static_cast<int>(reinterpret_cast<INT_PTR>(result));
}

}  // namespace tavo::platform
