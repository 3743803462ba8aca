#include "ui/dialogs.h"

#include "ui/controls.h"
#include "ui/win32/win32.h"

namespace tavo::ui {

namespace {

// The box's button caption, set by a hook as the box is activated: MessageBoxW itself takes
// the system's caption in the system's language.
HHOOK caption_hook = nullptr;
const wchar_t* caption_text = nullptr;

LRESULT CALLBACK SetCaptionOnActivate(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE && caption_text != nullptr) {
    ::SetDlgItemTextW(reinterpret_cast<HWND>(wParam), IDOK, caption_text);
    caption_text = nullptr;
  }
  return ::CallNextHookEx(caption_hook, code, wParam, lParam);
}

}  // namespace

int ShowMessageBox(const std::string& text, const std::string& title, TMsgDlgType type,
                   const std::string& buttonCaption) {
  if (AnsweredWithoutBox(title, text)) return mrOk;
  const std::wstring wideText = win32::Widen(WithLineBreaks(text, "\r\n"));
  const std::wstring wideTitle = win32::Widen(title);
  const std::wstring wideCaption = win32::Widen(buttonCaption);
  if (!wideCaption.empty()) {
    caption_text = wideCaption.c_str();
    caption_hook = ::SetWindowsHookExW(WH_CBT, &SetCaptionOnActivate, nullptr, ::GetCurrentThreadId());
  }
  // No owner: the box is centred on the screen. Task-modal: the program's windows take no
  // input while it is open, as with an owner.
  const UINT style = MB_OK | MB_TASKMODAL | MB_SETFOREGROUND |
                     (type == mtError ? MB_ICONERROR : MB_ICONINFORMATION);
  ::MessageBoxW(nullptr, wideText.c_str(), wideTitle.c_str(), style);
  if (caption_hook != nullptr) ::UnhookWindowsHookEx(caption_hook);
  caption_hook = nullptr;
  caption_text = nullptr;
  return mrOk;
}

}  // namespace tavo::ui
