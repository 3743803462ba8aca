#pragma once
// The Win32 side of the window layer: what the form and its controls hold, and the few helpers
// the backend's files share. Nothing outside ui/win32 sees these.

#include <windows.h>

#include <exception>
#include <map>
#include <string>
#include <tuple>

#include "platform/win32/utf16.h"
#include "ui/controls.h"
#include "ui/form.h"

namespace tavo::ui {

struct TForm::TImpl {
  HWND hwnd = nullptr;
  // Dots per inch the layout is scaled to (96: as the layout is written).
  UINT dpi = 96;
  bool shown_before = false;
  // One font per family, pixel size and style at the current DPI; freed with the form or when
  // the DPI changes.
  std::map<std::tuple<std::string, int, bool, bool>, HFONT> fonts;
};

struct TControl::TImpl {
  HWND hwnd = nullptr;
};

namespace win32 {

using platform::win32::Narrow;
using platform::win32::Widen;

// Control IDs start above the dialog manager's own (IDOK 1, IDCANCEL 2, ...): a control's ID
// is this plus its place in the layout.
inline constexpr int kFirstControlId = 100;

// The window class of every form (a dialog class of our own, see form.cpp).
inline constexpr wchar_t kFormClass[] = L"TavoForm";

// The layout's pixels at the form's DPI.
inline int Scale(int pixels, UINT dpi) { return ::MulDiv(pixels, static_cast<int>(dpi), 96); }

// The font of a layout style at the form's DPI (owned by the form).
HFONT FontOf(TForm& form, const TFontStyle& style);

// Places and sizes a control at the form's DPI; a self-sizing label takes the size its text
// needs in its font.
void PlaceControl(TControl& control);

// Keeps an error that reached a window procedure (it must not unwind through the system's
// code) and ends the message loop; TApplication::Run raises it again once the loop is left.
void ParkException(std::exception_ptr error);
// Raises a parked error, if any.
void RaiseParkedException();

// The message loop's dispatch of one message, keyboard navigation of the form it belongs to
// included.
void DispatchOne(MSG& msg);

// Whether the form is the one TApplication::Run is running (its closing ends the loop).
bool IsRunningMainForm(const TForm& form);

}  // namespace win32
}  // namespace tavo::ui
