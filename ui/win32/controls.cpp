// The controls as Win32 child windows: STATIC for labels (SS_NOTIFY for the link, owner-drawn
// for the bevel), BUTTON for the push buttons, the common controls' status bar.

#include <windows.h>
// After windows.h, whose types it uses.
#include <commctrl.h>

#include "ui/controls.h"
#include "ui/form.h"
#include "ui/win32/win32.h"

namespace tavo::ui {

namespace win32 {
namespace {

// Every child clips its siblings: Label3, the bevel and the link overlap, and each paints only
// where nothing lies on top of it.
constexpr DWORD kChild = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;

struct TClassAndStyle {
  const wchar_t* Class;
  DWORD Style;
};

TClassAndStyle WindowFor(TControlKind kind) {
  // Labels break lines only at line breaks, never to wrap, as the self-sizing rule assumes.
  constexpr DWORD kLabel = SS_LEFTNOWORDWRAP | SS_NOPREFIX;
  switch (kind) {
    case TControlKind::ckLabel: return {L"STATIC", kLabel};
    case TControlKind::ckLinkLabel: return {L"STATIC", kLabel | SS_NOTIFY};
    case TControlKind::ckStyledButton: return {L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP};
    case TControlKind::ckBevel: return {L"STATIC", SS_OWNERDRAW};
    case TControlKind::ckStatusBar:
      // The layout's rectangle, not the bar's own docking at the bottom of its parent.
      return {STATUSCLASSNAMEW, CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_NODIVIDER};
  }
  return {L"STATIC", 0};
}

int IndexOf(const TControl& control) {
  const auto& controls = control.Form().Controls();
  for (std::size_t i = 0; i < controls.size(); ++i) {
    if (controls[i].get() == &control) return static_cast<int>(i);
  }
  return static_cast<int>(controls.size());  // being created: it comes next
}

// The size the label's text needs in its font, in device pixels.
SIZE TextSize(HWND label) {
  const int length = ::GetWindowTextLengthW(label);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  ::GetWindowTextW(label, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(length));
  HDC dc = ::GetDC(label);
  const HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(label, WM_GETFONT, 0, 0)));
  RECT bounds{0, 0, 0, 0};
  ::DrawTextW(dc, text.c_str(), length, &bounds, DT_CALCRECT | DT_LEFT | DT_EXPANDTABS | DT_NOPREFIX);
  ::SelectObject(dc, old);
  ::ReleaseDC(label, dc);
  return {bounds.right - bounds.left, bounds.bottom - bounds.top};
}

}  // namespace

void PlaceControl(TControl& control) {
  const UINT dpi = control.Form().Impl().dpi;
  const HWND hwnd = control.Impl().hwnd;
  ::SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(FontOf(control.Form(), control.Layout().Font)),
                 TRUE);
  const TRect& bounds = control.Layout().Bounds;
  int width = Scale(bounds.Width, dpi);
  int height = Scale(bounds.Height, dpi);
  if (control.Layout().AutoSize) {
    const SIZE text = TextSize(hwnd);
    width = text.cx;
    height = text.cy;
  }
  ::SetWindowPos(hwnd, nullptr, Scale(bounds.Left, dpi), Scale(bounds.Top, dpi), width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  if (control.Layout().Kind == TControlKind::ckStatusBar) {
    // One part over the whole width (the simple mode's text cannot be read back everywhere).
    int edge = -1;
    ::SendMessageW(hwnd, SB_SETPARTS, 1, reinterpret_cast<LPARAM>(&edge));
  }
}

}  // namespace win32

TControl::TControl(TForm& form, const TControlLayout& layout)
    : form_(form), layout_(layout), name_(layout.Name), impl_(std::make_unique<TImpl>()) {
  const win32::TClassAndStyle window = win32::WindowFor(layout.Kind);
  const bool hasText = layout.Kind == TControlKind::ckStyledButton;
  impl_->hwnd = ::CreateWindowExW(
      0, window.Class, hasText ? win32::Widen(layout.Caption).c_str() : L"",
      win32::kChild | window.Style, 0, 0, layout.Bounds.Width, layout.Bounds.Height,
      form.Impl().hwnd,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(win32::kFirstControlId + win32::IndexOf(*this))),
      ::GetModuleHandleW(nullptr), nullptr);
  if (impl_->hwnd == nullptr) {
    throw std::runtime_error("the control " + name_ + " cannot be created");
  }
  win32::PlaceControl(*this);
}

TControl::~TControl() { ::DestroyWindow(impl_->hwnd); }

std::uintptr_t TControl::Handle() const { return reinterpret_cast<std::uintptr_t>(impl_->hwnd); }

void TLabel::SetCaption(const std::string& value) {
  caption_ = value;
  ::SetWindowTextW(Impl().hwnd, win32::Widen(WithLineBreaks(value, "\r\n")).c_str());
  if (AutoSize()) win32::PlaceControl(*this);
  ::InvalidateRect(Impl().hwnd, nullptr, TRUE);
}

TStyledButton::TStyledButton(TForm& form, const TControlLayout& layout)
    : TControl(form, layout), caption_(layout.Caption) {}

TBevel::TBevel(TForm& form, const TControlLayout& layout) : TControl(form, layout) {}

TStatusBar::TStatusBar(TForm& form, const TControlLayout& layout) : TControl(form, layout) {}

void TStatusBar::SetSimpleText(const std::string& value) {
  simple_text_ = value;
  // One line only: a line break in a status text would be cut off by the bar's height.
  ::SendMessageW(Impl().hwnd, SB_SETTEXTW, 0,
                 reinterpret_cast<LPARAM>(win32::Widen(WithLineBreaks(value, " ")).c_str()));
  // The window handles no messages during a blocking network call; paint now so each status is
  // seen when it is reported.
  ::UpdateWindow(Impl().hwnd);
  if (OnSimpleTextChanged) OnSimpleTextChanged();
}

}  // namespace tavo::ui
