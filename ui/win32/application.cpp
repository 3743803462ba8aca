#include <windows.h>
// After windows.h, whose types it uses.
#include <commctrl.h>

#include <vector>

#include "ui/application.h"
#include "ui/win32/win32.h"

namespace tavo::ui {

namespace {

bool busy = false;
TApplication* instance = nullptr;
const TForm* running_main_form = nullptr;
std::exception_ptr parked;

}  // namespace

struct TApplication::TImpl {};

TApplication::TApplication(int /*argc*/, char** /*argv*/) : impl_(std::make_unique<TImpl>()) {
  // The status bar's class lives in the common controls; buttons and statics are USER32's.
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&controls);
  instance = this;
}

TApplication::~TApplication() {
  instance = nullptr;
  busy = false;
  parked = nullptr;
}

TApplication* TApplication::Instance() { return instance; }

int TApplication::Run(TForm& mainForm) {
  // A form closed before the loop starts has nothing left to wait for; otherwise its closing
  // posts the WM_QUIT that ends the loop.
  if (!mainForm.Visible()) return 0;
  running_main_form = &mainForm;
  MSG msg{};
  BOOL got;
  while ((got = ::GetMessageW(&msg, nullptr, 0, 0)) > 0) win32::DispatchOne(msg);
  running_main_form = nullptr;
  win32::RaiseParkedException();
  return got == 0 ? static_cast<int>(msg.wParam) : 1;
}

void SetBusyCursor(bool on) {
  if (on == busy) return;
  busy = on;
  // Forms answer WM_SETCURSOR with the wait cursor while busy; setting it here shows it at once,
  // before the blocking work that follows handles any message.
  ::SetCursor(::LoadCursorW(nullptr, on ? IDC_WAIT : IDC_ARROW));
}

bool BusyCursor() { return busy; }

void ProcessMessages() {
  MSG msg{};
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // Meant for the loop that runs the program, which must still see it.
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    win32::DispatchOne(msg);
  }
  win32::RaiseParkedException();
}

void PreferOffscreen() {}

std::uintptr_t ApplicationWindowHandle() {
  HWND window = ::GetActiveWindow();
  if (window == nullptr && running_main_form != nullptr && running_main_form->Visible())
    window = running_main_form->Impl().hwnd;
  return reinterpret_cast<std::uintptr_t>(window);
}

namespace win32 {

void ParkException(std::exception_ptr error) {
  if (!parked) parked = std::move(error);
  ::PostQuitMessage(1);
}

void RaiseParkedException() {
  if (!parked) return;
  std::exception_ptr error = std::move(parked);
  parked = nullptr;
  std::rethrow_exception(error);
}

void DispatchOne(MSG& msg) {
  // Tab, Shift+Tab, Enter and Space reach the form's dialog navigation before the control.
  HWND root = msg.hwnd != nullptr ? ::GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
  wchar_t className[32] = {};
  if (root != nullptr && ::GetClassNameW(root, className, 32) > 0 &&
      std::wstring(className) == kFormClass && ::IsDialogMessageW(root, &msg)) {
    return;
  }
  ::TranslateMessage(&msg);
  ::DispatchMessageW(&msg);
}

bool IsRunningMainForm(const TForm& form) { return running_main_form == &form; }

}  // namespace win32
}  // namespace tavo::ui
