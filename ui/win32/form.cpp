// The form as a Win32 window. Its class is a dialog class of our own (the system's "#32770"
// with our window procedure, which leaves what it does not handle to DefDlgProcW): the dialog
// manager then gives it the keyboard navigation of a dialog (Tab in the layout's order, Enter
// pressing the focused button) and restores the focus when the window is activated again,
// while the controls are created from the layout's table rather than from a dialog template.

#include <algorithm>
#include <optional>
#include <vector>

#include "ui/form.h"
#include "ui/win32/win32.h"

namespace tavo::ui {

namespace win32 {
namespace {

constexpr DWORD kFormStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
// A modal frame also keeps the class's icon out of the title bar.
constexpr DWORD kFormExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

// Functions of Windows 10 1607 and later, looked up so the program still starts on older ones.
UINT WindowDpi(HWND hwnd) {
  using TGetDpiForWindow = UINT(WINAPI*)(HWND);
  static const auto getDpi = reinterpret_cast<TGetDpiForWindow>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  if (getDpi != nullptr) {
    const UINT dpi = getDpi(hwnd);
    if (dpi != 0) return dpi;
  }
  // Before that the whole desktop has one DPI.
  HDC screen = ::GetDC(nullptr);
  const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

RECT FrameForClient(int width, int height, UINT dpi) {
  using TAdjust = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
  static const auto adjustForDpi = reinterpret_cast<TAdjust>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "AdjustWindowRectExForDpi")));
  RECT frame{0, 0, width, height};
  if (adjustForDpi != nullptr) {
    adjustForDpi(&frame, kFormStyle, FALSE, kFormExStyle, dpi);
  } else {
    ::AdjustWindowRectEx(&frame, kFormStyle, FALSE, kFormExStyle);
  }
  return frame;
}

TForm* FormOf(HWND hwnd) {
  return reinterpret_cast<TForm*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

TControl* ControlOf(TForm& form, HWND control) {
  const int index = ::GetDlgCtrlID(control) - kFirstControlId;
  if (index < 0 || static_cast<std::size_t>(index) >= form.Controls().size()) return nullptr;
  TControl* found = form.Controls()[static_cast<std::size_t>(index)].get();
  return found->Impl().hwnd == control ? found : nullptr;
}

void FreeFonts(TForm::TImpl& impl) {
  for (auto& [key, font] : impl.fonts) ::DeleteObject(font);
  impl.fonts.clear();
}

// Sizes the window for the layout's client area at the form's DPI and places every control.
void ApplyDpi(TForm& form) {
  TForm::TImpl& impl = form.Impl();
  const int width = Scale(form.Layout().ClientWidth, impl.dpi);
  const int height = Scale(form.Layout().ClientHeight, impl.dpi);
  RECT frame = FrameForClient(width, height, impl.dpi);
  ::SetWindowPos(impl.hwnd, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  // The frame the system really draws may differ from the one computed (a caption not yet
  // scaled for the new DPI): the client area is what must come out right.
  RECT client;
  ::GetClientRect(impl.hwnd, &client);
  if (client.right != width || client.bottom != height) {
    ::GetWindowRect(impl.hwnd, &frame);
    ::SetWindowPos(impl.hwnd, nullptr, 0, 0, frame.right - frame.left + width - client.right,
                   frame.bottom - frame.top + height - client.bottom,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  for (const auto& control : form.Controls()) PlaceControl(*control);
}

void CentreOnScreen(HWND hwnd) {
  RECT window;
  ::GetWindowRect(hwnd, &window);
  MONITORINFO monitor{sizeof monitor, {}, {}, 0};
  ::GetMonitorInfoW(::MonitorFromWindow(hwnd, MONITOR_DEFAULTTOPRIMARY), &monitor);
  const RECT& area = monitor.rcWork;
  const int width = window.right - window.left;
  const int height = window.bottom - window.top;
  ::SetWindowPos(hwnd, nullptr, area.left + (area.right - area.left - width) / 2,
                 area.top + (area.bottom - area.top - height) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Stacking as the layout has it (a later control lies on top, as the link does on Label3),
// except that the tab stops fill their places in tab order, since the dialog manager tabs
// through the controls in their stacking order, and that a bevel lies below everything: it only
// frames what lies on it, and it paints its inside.
void ArrangeStacking(TForm& form) {
  std::vector<TControl*> order;
  for (auto it = form.Controls().rbegin(); it != form.Controls().rend(); ++it)
    order.push_back(it->get());
  std::stable_partition(order.begin(), order.end(), [](const TControl* control) {
    return control->Layout().Kind != TControlKind::ckBevel;
  });
  std::vector<TControl*> stops;
  for (TControl* control : order) {
    if (control->Layout().TabOrder >= 0) stops.push_back(control);
  }
  std::sort(stops.begin(), stops.end(), [](const TControl* a, const TControl* b) {
    return a->Layout().TabOrder < b->Layout().TabOrder;
  });
  auto next_stop = stops.begin();
  for (TControl*& slot : order) {
    if (slot->Layout().TabOrder >= 0) slot = *next_stop++;
  }
  HWND above = HWND_TOP;
  for (TControl* control : order) {
    ::SetWindowPos(control->Impl().hwnd, above, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    above = control->Impl().hwnd;
  }
}

// The message handlers below return the message's result, or nothing where the dialog
// manager's default handling is wanted.

LRESULT OnCommand(TForm& form, WPARAM wParam, LPARAM lParam) {
  // BN_CLICKED and STN_CLICKED are both 0: a button pressed, the link clicked.
  if (HIWORD(wParam) != BN_CLICKED || lParam == 0) {
    // Esc arrives as IDCANCEL: the form is not a dialog that Esc dismisses.
    return 0;
  }
  TControl* control = ControlOf(form, reinterpret_cast<HWND>(lParam));
  if (auto* button = dynamic_cast<TStyledButton*>(control)) button->Click();
  if (auto* link = dynamic_cast<TLinkLabel*>(control)) link->Clicked();
  return 0;
}

std::optional<LRESULT> OnSetCursor(TForm& form, WPARAM wParam) {
  if (BusyCursor()) {
    ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
    return TRUE;
  }
  if (dynamic_cast<TLinkLabel*>(ControlOf(form, reinterpret_cast<HWND>(wParam)))) {
    ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
    return TRUE;
  }
  return std::nullopt;
}

// Labels draw in the layout's colour on the form's button-face background.
std::optional<LRESULT> OnLabelColours(TForm& form, WPARAM wParam, LPARAM lParam) {
  TControl* control = ControlOf(form, reinterpret_cast<HWND>(lParam));
  if (control == nullptr) return std::nullopt;
  const TColor& color = control->Layout().Color;
  const HDC dc = reinterpret_cast<HDC>(wParam);
  ::SetTextColor(dc, color.System ? ::GetSysColor(COLOR_WINDOWTEXT)
                                  : RGB(color.Red, color.Green, color.Blue));
  ::SetBkMode(dc, TRANSPARENT);
  return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
}

// The bevel: a lowered one-pixel frame. Controls above it are clipped out of its paint.
std::optional<LRESULT> OnDrawItem(TForm& form, LPARAM lParam) {
  const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
  if (!dynamic_cast<TBevel*>(ControlOf(form, item->hwndItem))) return std::nullopt;
  RECT frame = item->rcItem;
  ::FillRect(item->hDC, &frame, ::GetSysColorBrush(COLOR_BTNFACE));
  ::DrawEdge(item->hDC, &frame, BDR_SUNKENOUTER, BF_RECT);
  return TRUE;
}

// Moved to a monitor of another DPI: the suggested frame, then layout and fonts anew.
LRESULT OnDpiChanged(TForm& form, HWND hwnd, WPARAM wParam, LPARAM lParam) {
  const auto* suggested = reinterpret_cast<const RECT*>(lParam);
  form.Impl().dpi = HIWORD(wParam);
  FreeFonts(form.Impl());
  ::SetWindowPos(hwnd, nullptr, suggested->left, suggested->top,
                 suggested->right - suggested->left, suggested->bottom - suggested->top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  ApplyDpi(form);
  ::InvalidateRect(hwnd, nullptr, TRUE);
  return 0;
}

LRESULT HandleMessage(TForm& form, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  std::optional<LRESULT> result;
  switch (message) {
    case WM_COMMAND:
      return OnCommand(form, wParam, lParam);
    case WM_CLOSE:
      form.Close();
      return 0;
    case WM_SETCURSOR:
      result = OnSetCursor(form, wParam);
      break;
    case WM_CTLCOLORSTATIC:
      result = OnLabelColours(form, wParam, lParam);
      break;
    case WM_DRAWITEM:
      result = OnDrawItem(form, lParam);
      break;
    case WM_DPICHANGED:
      return OnDpiChanged(form, hwnd, wParam, lParam);
    default:
      break;
  }
  return result ? *result : ::DefDlgProcW(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK FormProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  TForm* form = FormOf(hwnd);
  if (message == WM_NCDESTROY) ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
  if (form == nullptr || form->Impl().hwnd == nullptr)
    return ::DefDlgProcW(hwnd, message, wParam, lParam);
  // Nothing may unwind through the system's code: handlers have their own catch in
  // CallHandler; whatever else escapes is kept and raised again by the message loop's caller.
  try {
    return HandleMessage(*form, hwnd, message, wParam, lParam);
  } catch (...) {
    ParkException(std::current_exception());
    return 0;
  }
}

void RegisterFormClass() {
  static bool registered = false;
  if (registered) return;
  WNDCLASSEXW dialog{};
  dialog.cbSize = sizeof dialog;
  ::GetClassInfoExW(nullptr, L"#32770", &dialog);
  WNDCLASSEXW form = dialog;
  form.cbSize = sizeof form;
  form.lpfnWndProc = &FormProc;
  form.hInstance = ::GetModuleHandleW(nullptr);
  form.lpszClassName = kFormClass;
  form.hIcon = nullptr;
  form.hIconSm = nullptr;
  form.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  form.hbrBackground = ::GetSysColorBrush(COLOR_BTNFACE);
  form.cbWndExtra = DLGWINDOWEXTRA;
  registered = ::RegisterClassExW(&form) != 0;
}

}  // namespace

HFONT FontOf(TForm& form, const TFontStyle& style) {
  TForm::TImpl& impl = form.Impl();
  const auto key = std::make_tuple(std::string(style.Family), style.PixelSize, style.Bold,
                                   style.Underline);
  if (const auto found = impl.fonts.find(key); found != impl.fonts.end()) return found->second;
  // A negative height is the em height, which is what the layout's pixel size means.
  const HFONT font = ::CreateFontW(-Scale(style.PixelSize, impl.dpi), 0, 0, 0,
                                   style.Bold ? FW_BOLD : FW_NORMAL, FALSE, style.Underline, FALSE,
                                   ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                   DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS,
                                   Widen(style.Family).c_str());
  impl.fonts.emplace(key, font);
  return font;
}

}  // namespace win32

TForm::TForm(const TFormLayout& layout)
    : layout_(layout), caption_(layout.Caption), impl_(std::make_unique<TImpl>()) {
  win32::RegisterFormClass();
  // Hidden until shown; sized once its DPI is known.
  impl_->hwnd = ::CreateWindowExW(win32::kFormExStyle, win32::kFormClass,
                                  win32::Widen(caption_).c_str(), win32::kFormStyle, CW_USEDEFAULT,
                                  CW_USEDEFAULT, layout.ClientWidth, layout.ClientHeight, nullptr,
                                  nullptr, ::GetModuleHandleW(nullptr), this);
  if (impl_->hwnd == nullptr) {
    throw std::runtime_error("the window " + std::string(layout.Name) + " cannot be created");
  }
  impl_->dpi = win32::WindowDpi(impl_->hwnd);
  ::SendMessageW(impl_->hwnd, WM_SETFONT,
                 reinterpret_cast<WPARAM>(win32::FontOf(*this, layout.Font)), FALSE);
  CreateControls();
  win32::ArrangeStacking(*this);
  win32::ApplyDpi(*this);
}

TForm::~TForm() {
  controls_.clear();
  ::DestroyWindow(impl_->hwnd);
  win32::FreeFonts(*impl_);
}

void TForm::Show() {
  const bool first = !impl_->shown_before;
  impl_->shown_before = true;
  if (first) win32::CentreOnScreen(impl_->hwnd);
  ::ShowWindow(impl_->hwnd, SW_SHOW);
  ::SetForegroundWindow(impl_->hwnd);
  if (!first) return;
  // Through the dialog manager, so that Enter presses the focused button from the start.
  if (TControl* active = FindControl(layout_.ActiveControl)) {
    ::SendMessageW(impl_->hwnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(active->Impl().hwnd), TRUE);
  }
}

void TForm::Close() {
  if (!::IsWindowVisible(impl_->hwnd)) return;
  ::ShowWindow(impl_->hwnd, SW_HIDE);
  if (win32::IsRunningMainForm(*this)) ::PostQuitMessage(0);
}

bool TForm::Visible() const { return ::IsWindowVisible(impl_->hwnd) != FALSE; }

std::uintptr_t TForm::Handle() const { return reinterpret_cast<std::uintptr_t>(impl_->hwnd); }

}  // namespace tavo::ui
