#pragma once
// Shared by the Win32 window tests (run under wine on an X server that scripts/wine-tests
// starts): reading the real windows back through USER32, finding and
// closing message boxes from inside their modal loop, and the environment the window reads.

#include <windows.h>
// After windows.h, whose types it uses.
#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/form_main.h"
#include "platform/win32/utf16.h"
#include "tests/support/window_environment.h"
#include "ui/application.h"

namespace tavo::test {

using platform::win32::Narrow;
using platform::win32::Widen;

inline HWND Hwnd(const ui::TControl* control) { return reinterpret_cast<HWND>(control->Handle()); }
inline HWND Hwnd(const ui::TForm& form) { return reinterpret_cast<HWND>(form.Handle()); }

inline std::string WindowText(HWND hwnd) {
  const int length = ::GetWindowTextLengthW(hwnd);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  ::GetWindowTextW(hwnd, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(length));
  return Narrow(text);
}

inline std::string ClassOf(HWND hwnd) {
  wchar_t name[64] = {};
  ::GetClassNameW(hwnd, name, 64);
  return Narrow(name);
}

// Where a control sits in its form's client area, as the system reports it.
inline RECT ClientRect(HWND control) {
  RECT rect;
  ::GetWindowRect(control, &rect);
  ::MapWindowPoints(nullptr, ::GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

// The DPI the window was laid out for, asked independently of the window layer.
inline UINT DpiOf(HWND hwnd) {
  using TGetDpiForWindow = UINT(WINAPI*)(HWND);
  const auto getDpi = reinterpret_cast<TGetDpiForWindow>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  if (getDpi != nullptr && getDpi(hwnd) != 0) return getDpi(hwnd);
  HDC screen = ::GetDC(nullptr);
  const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);
  return static_cast<UINT>(dpi);
}

// The size a label's text needs in the label's own font, measured as the system measures it.
inline SIZE MeasuredText(HWND label) {
  const std::wstring text = Widen(WindowText(label));
  HDC dc = ::GetDC(label);
  const HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(label, WM_GETFONT, 0, 0)));
  RECT bounds{0, 0, 0, 0};
  ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &bounds,
              DT_CALCRECT | DT_LEFT | DT_EXPANDTABS | DT_NOPREFIX);
  ::SelectObject(dc, old);
  ::ReleaseDC(label, dc);
  return {bounds.right - bounds.left, bounds.bottom - bounds.top};
}

inline LOGFONTW FontOf(HWND control) {
  LOGFONTW font{};
  ::GetObjectW(reinterpret_cast<HGDIOBJ>(::SendMessageW(control, WM_GETFONT, 0, 0)), sizeof font, &font);
  return font;
}

inline std::string StatusText(HWND bar) {
  wchar_t text[512] = {};
  ::SendMessageW(bar, SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(text));
  return Narrow(text);
}

// A key as the message loop would hand it to the form's dialog navigation.
inline void PressKey(HWND form, UINT key) {
  HWND target = ::GetFocus() != nullptr ? ::GetFocus() : form;
  MSG down{target, WM_KEYDOWN, key, 1, 0, {}};
  if (!::IsDialogMessageW(form, &down)) ::DispatchMessageW(&down);
  MSG up{target, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001), 0, {}};
  if (!::IsDialogMessageW(form, &up)) ::DispatchMessageW(&up);
}

// The pixels of a window's client area as the screen shows them.
class Picture {
 public:
  static Picture Of(HWND window) {
    Picture picture;
    RECT client;
    ::GetClientRect(window, &client);
    POINT origin{0, 0};
    ::ClientToScreen(window, &origin);
    picture.width_ = client.right;
    picture.height_ = client.bottom;
    picture.pixels_.resize(static_cast<std::size_t>(picture.width_) * picture.height_);
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), picture.width_, -picture.height_, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ old = ::SelectObject(memory, bitmap);
    ::BitBlt(memory, 0, 0, picture.width_, picture.height_, screen, origin.x, origin.y, SRCCOPY);
    ::GdiFlush();
    std::memcpy(picture.pixels_.data(), bits, picture.pixels_.size() * 4);
    ::SelectObject(memory, old);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    return picture;
  }
  // Whether any pixel inside `area` (client coordinates) has exactly that colour.
  bool Contains(const RECT& area, COLORREF color) const {
    const uint32_t wanted = (GetRValue(color) << 16) | (GetGValue(color) << 8) | GetBValue(color);
    for (int y = std::max(0L, area.top); y < std::min<long>(height_, area.bottom); ++y)
      for (int x = std::max(0L, area.left); x < std::min<long>(width_, area.right); ++x)
        if ((pixels_[static_cast<std::size_t>(y) * width_ + x] & 0xFFFFFF) == wanted) return true;
    return false;
  }
  // As a .bmp file.
  bool Save(const std::string& file) const {
    std::filesystem::create_directories(std::filesystem::path(file).parent_path());
    BITMAPINFOHEADER info{sizeof info, width_, -height_, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    const DWORD bytes = static_cast<DWORD>(pixels_.size() * 4);
    BITMAPFILEHEADER header{0x4D42, static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof info + bytes), 0, 0,
                            sizeof(BITMAPFILEHEADER) + sizeof info};
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&header), sizeof header);
    out.write(reinterpret_cast<const char*>(&info), sizeof info);
    out.write(reinterpret_cast<const char*>(pixels_.data()), bytes);
    return static_cast<bool>(out);
  }

 private:
  LONG width_ = 0;
  LONG height_ = 0;
  std::vector<uint32_t> pixels_;
};

// What a message box showed.
struct SeenBox {
  std::string title;
  std::string text;
  std::string button;  // the OK button's caption
  int buttons = 0;     // how many buttons it has
  bool busyCursor = false;
};

// Finds the program's message boxes from a timer that runs inside their modal loop, records
// what each showed and closes it with its OK button.
class BoxWatcher {
 public:
  BoxWatcher() {
    current_ = this;
    timer_ = ::SetTimer(nullptr, 0, 20, &BoxWatcher::Tick);
  }
  ~BoxWatcher() {
    ::KillTimer(nullptr, timer_);
    current_ = nullptr;
  }
  const std::vector<SeenBox>& Boxes() const { return boxes_; }

 private:
  static BOOL CALLBACK Each(HWND hwnd, LPARAM found) {
    if (ClassOf(hwnd) == "#32770" && ::IsWindowVisible(hwnd)) {
      *reinterpret_cast<HWND*>(found) = hwnd;
      return FALSE;
    }
    return TRUE;
  }
  static BOOL CALLBACK CountButton(HWND hwnd, LPARAM count) {
    if (ClassOf(hwnd) == "Button") ++*reinterpret_cast<int*>(count);
    return TRUE;
  }
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    HWND box = nullptr;
    ::EnumThreadWindows(::GetCurrentThreadId(), &Each, reinterpret_cast<LPARAM>(&box));
    if (box == nullptr || current_ == nullptr) return;
    SeenBox seen;
    seen.title = WindowText(box);
    seen.text = WindowText(::GetDlgItem(box, 0xFFFF));
    seen.button = WindowText(::GetDlgItem(box, IDOK));
    ::EnumChildWindows(box, &CountButton, reinterpret_cast<LPARAM>(&seen.buttons));
    seen.busyCursor = ui::BusyCursor();
    current_->boxes_.push_back(seen);
    ::SendMessageW(box, WM_COMMAND, IDOK, 0);
  }

  static inline BoxWatcher* current_ = nullptr;
  UINT_PTR timer_ = 0;
  std::vector<SeenBox> boxes_;
};

// Sets an environment variable of this process (and of the programs it starts) for the
// guard's lifetime.
class WideEnvGuard {
 public:
  WideEnvGuard(const wchar_t* name, const std::wstring& value) : name_(name) {
    wchar_t old[1024];
    const DWORD length = ::GetEnvironmentVariableW(name, old, 1024);
    had_ = length > 0 && length < 1024;
    if (had_) old_.assign(old, length);
    ::SetEnvironmentVariableW(name, value.c_str());
  }
  ~WideEnvGuard() { ::SetEnvironmentVariableW(name_, had_ ? old_.c_str() : nullptr); }
  WideEnvGuard(const WideEnvGuard&) = delete;
  WideEnvGuard& operator=(const WideEnvGuard&) = delete;

 private:
  const wchar_t* name_;
  bool had_ = false;
  std::wstring old_;
};

// A Linux path below /tmp as this program names it (wine's drive Z: is the Linux root).
inline std::string WindowsPath(const std::string& linuxPath) {
  std::string path = "Z:" + linuxPath;
  for (char& c : path) c = c == '/' ? '\\' : c;
  return path;
}

}  // namespace tavo::test
