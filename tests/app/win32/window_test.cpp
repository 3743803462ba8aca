// The launcher's Win32 window, read back through USER32 as the system sees it: where every
// control sits at the window's DPI, fonts, colours, texts by locale, the frame, keyboard focus
// and tab order, clicks, and how the window ends the program.
//
// scripts/wine-tests runs this program under an English and a German locale
// (TAVO_EXPECT_LANGUAGE en/de) and once more at 144 dpi (TAVO_EXPECT_DPI).

#include <cstdlib>
#include <fstream>

#include "rtl/exception.h"
#include "tests/app/win32/window_support.h"
#include "tests/support/launcher_expectations.h"

namespace tavo::app {
namespace {

using test::Hwnd;
using test::WindowText;

::testing::Environment* const gui = ::testing::AddGlobalTestEnvironment(new test::WindowEnvironment);

std::string Expected(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

TEST(Win32Window, FrameClientSizeCaptionAndNoIcon) {
  TFormMain form;
  const HWND window = Hwnd(form);
  EXPECT_FALSE(form.Visible()) << "created hidden; the message loop shows it";
  const UINT dpi = test::DpiOf(window);
  if (!Expected("TAVO_EXPECT_DPI").empty()) {
    ASSERT_EQ(dpi, static_cast<UINT>(std::atoi(Expected("TAVO_EXPECT_DPI").c_str())));
  }
  RECT client;
  ::GetClientRect(window, &client);
  EXPECT_EQ(client.right, ::MulDiv(441, static_cast<int>(dpi), 96));
  EXPECT_EQ(client.bottom, ::MulDiv(541, static_cast<int>(dpi), 96));
  if (dpi == 144) {
    EXPECT_EQ(client.right, 662);
    EXPECT_EQ(client.bottom, 812);
  }

  EXPECT_EQ(WindowText(window), "Norrik Tavo Online");
  const LONG_PTR style = ::GetWindowLongPtrW(window, GWL_STYLE);
  EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU), WS_CAPTION | WS_SYSMENU);
  EXPECT_EQ(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME), 0);
  EXPECT_TRUE(::GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME);
  EXPECT_EQ(::SendMessageW(window, WM_GETICON, ICON_SMALL, 0), 0);
  EXPECT_EQ(::SendMessageW(window, WM_GETICON, ICON_BIG, 0), 0);
  EXPECT_EQ(::GetClassLongPtrW(window, GCLP_HICON), 0);
  EXPECT_EQ(::GetClassLongPtrW(window, GCLP_HBRBACKGROUND),
            reinterpret_cast<LONG_PTR>(::GetSysColorBrush(COLOR_BTNFACE)));

  form.Show();
  RECT frame;
  ::GetWindowRect(window, &frame);
  MONITORINFO monitor{sizeof monitor, {}, {}, 0};
  ::GetMonitorInfoW(::MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &monitor);
  EXPECT_LE(std::abs((frame.left + frame.right) - (monitor.rcWork.left + monitor.rcWork.right)), 2);
  EXPECT_LE(std::abs((frame.top + frame.bottom) - (monitor.rcWork.top + monitor.rcWork.bottom)), 2);
  form.Close();
}

// Moved to a monitor of another DPI, the window takes the frame Windows suggests and lays its
// controls and fonts out anew for that DPI.
TEST(Win32Window, FollowsAMoveToAMonitorOfAnotherDpi) {
  TFormMain form;
  const HWND window = Hwnd(form);
  const UINT dpi = test::DpiOf(window) == 144 ? 96 : 144;
  RECT suggested{10, 10, 10 + ::MulDiv(600, static_cast<int>(dpi), 96), 10 + ::MulDiv(700, static_cast<int>(dpi), 96)};
  ::SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
  RECT client;
  ::GetClientRect(window, &client);
  EXPECT_EQ(client.right, ::MulDiv(441, static_cast<int>(dpi), 96));
  EXPECT_EQ(client.bottom, ::MulDiv(541, static_cast<int>(dpi), 96));
  const RECT exit = test::ClientRect(Hwnd(form.BtExit));
  EXPECT_EQ(exit.left, ::MulDiv(339, static_cast<int>(dpi), 96));
  EXPECT_EQ(exit.bottom - exit.top, ::MulDiv(25, static_cast<int>(dpi), 96));
  EXPECT_EQ(test::FontOf(Hwnd(form.BtLumaxDownload)).lfHeight, -::MulDiv(16, static_cast<int>(dpi), 96));
}

TEST(Win32Window, EveryControlWhereTheLayoutPutsItWithItsFontAndColour) {
  TFormMain form;
  const HWND window = Hwnd(form);
  const int dpi = static_cast<int>(test::DpiOf(window));
  const auto scale = [dpi](int pixels) { return ::MulDiv(pixels, dpi, 96); };
  HDC dc = ::CreateCompatibleDC(nullptr);
  for (const test::ExpectedLook& look : test::kExpectedLooks) {
    SCOPED_TRACE(look.name);
    const ui::TControl* control = form.FindControl(look.name);
    ASSERT_NE(control, nullptr);
    const HWND hwnd = Hwnd(control);
    const RECT rect = test::ClientRect(hwnd);
    EXPECT_EQ(rect.left, scale(look.left));
    EXPECT_EQ(rect.top, scale(look.top));
    if (look.autoSize) {
      // Sized to its text as the system measures it in the label's font; corner kept.
      const SIZE text = test::MeasuredText(hwnd);
      EXPECT_EQ(rect.right - rect.left, text.cx);
      EXPECT_EQ(rect.bottom - rect.top, text.cy);
    } else {
      EXPECT_EQ(rect.right - rect.left, scale(look.width));
      EXPECT_EQ(rect.bottom - rect.top, scale(look.height));
    }
    const LOGFONTW font = test::FontOf(hwnd);
    EXPECT_EQ(test::Narrow(font.lfFaceName), "Arial");
    EXPECT_EQ(font.lfHeight, -scale(look.pixelSize));
    EXPECT_EQ(font.lfWeight >= FW_BOLD, look.bold);
    EXPECT_EQ(font.lfUnderline != 0, look.underline);
    if (test::ClassOf(hwnd) == "Static" && look.pixelSize != 0) {
      // The colour the form hands a label to draw with.
      ::SendMessageW(window, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(hwnd));
      EXPECT_EQ(::GetTextColor(dc), look.systemColor ? ::GetSysColor(COLOR_WINDOWTEXT)
                                                     : RGB(look.red, look.green, look.blue));
    }
  }
  ::DeleteDC(dc);
  EXPECT_EQ(test::ClassOf(Hwnd(form.StatusBar)), "msctls_statusbar32");
  EXPECT_EQ(test::ClassOf(Hwnd(form.BtExit)), "Button");
  // The link shows the hand while the mouse is over it.
  ::SendMessageW(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(Hwnd(form.ElLabel1)), HTCLIENT);
  EXPECT_EQ(::GetCursor(), ::LoadCursorW(nullptr, IDC_HAND));
  // Label3 and the link lie inside the bevel, the link on top of the label.
  const RECT bevel = test::ClientRect(Hwnd(form.Bevel1));
  for (const ui::TControl* inside : {static_cast<ui::TControl*>(form.Label3), static_cast<ui::TControl*>(form.ElLabel1)}) {
    const RECT r = test::ClientRect(Hwnd(inside));
    EXPECT_TRUE(r.left >= bevel.left && r.top >= bevel.top && r.right <= bevel.right &&
                r.bottom <= bevel.bottom);
  }
}

// What the window looks like on the screen, saved for a person to look at (one picture per
// locale and DPI under the build tree), with the labels' colours checked in its pixels.
TEST(Win32Window, LabelsShowTheirColoursOnScreen) {
  TFormMain form;
  form.Show();
  const HWND window = Hwnd(form);
  ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  const test::Picture picture = test::Picture::Of(window);
  const std::string name = "main-" + (Expected("TAVO_EXPECT_LANGUAGE").empty() ? "xx" : Expected("TAVO_EXPECT_LANGUAGE")) +
                           "-" + std::to_string(test::DpiOf(window)) + "dpi.bmp";
  EXPECT_TRUE(picture.Save(std::string(TAVO_SCREENSHOT_DIR) + "/" + name));
  const auto has = [&](const ui::TControl* control, COLORREF color) {
    return picture.Contains(test::ClientRect(Hwnd(control)), color);
  };
  EXPECT_TRUE(has(form.Label1, RGB(128, 0, 0)));
  EXPECT_TRUE(has(form.Label2, RGB(0, 0, 128)));
  // Label3 where the link does not cover it: inside the bevel, not painted over by it.
  RECT label3 = test::ClientRect(Hwnd(form.Label3));
  label3.right = test::ClientRect(Hwnd(form.ElLabel1)).left;
  EXPECT_TRUE(picture.Contains(label3, RGB(0, 0, 255)));
  EXPECT_TRUE(has(form.ElLabel1, RGB(0, 0, 255)));
  EXPECT_FALSE(has(form.ElLabel1, RGB(128, 0, 0)));
  form.Close();
}

TEST(Win32Window, LabelTextsFollowTheSystemLocale) {
  const std::string language = Expected("TAVO_EXPECT_LANGUAGE");
  if (language.empty()) GTEST_SKIP() << "run by scripts/wine-tests with TAVO_EXPECT_LANGUAGE";
  TFormMain form;
  const bool german = language == "de";
  EXPECT_EQ(form.LanguageMode(), german ? 2 : 1);
  // What the labels show: each CR a line break of the system's own.
  const std::string label1 = WindowText(Hwnd(form.Label1));
  EXPECT_EQ(label1.substr(0, label1.find("\r\n")),
            german ? "Mit dem Norrik Tavo Online Update" : "With this Norrik Tavo Online access");
  EXPECT_EQ(WindowText(Hwnd(form.Label2)),
            german ? "Der Updater prüft das Gerät, bietet mögliche Updates an\r\nund organisiert das Update"
                   : "The updater checks your instrument, offers possible updates\r\n"
                     "of the instrument firmware and manages the update.");
  EXPECT_EQ(WindowText(Hwnd(form.LabelVersion)), "1.1,011");
  EXPECT_EQ(WindowText(Hwnd(form.BtLumaxDownload)), "Lumax ");
  EXPECT_EQ(test::StatusText(Hwnd(form.StatusBar)), "");
}

// A window whose retrieval request only records the file it was asked for.
class RecordingForm : public TFormMain {
 public:
  void RequestUpdater(const std::string& FileName) override {
    if (FileName == "fail") throw rtl::Exception("Socket-Fehler # 10061\r\nVerbindung abgelehnt.");
    requested.push_back(FileName);
  }
  std::vector<std::string> requested;
};

TEST(Win32Window, FirstButtonFocusedTabFollowsTheLayoutAndEnterOrSpacePressIt) {
  RecordingForm form;
  form.Show();
  const HWND window = Hwnd(form);
  EXPECT_EQ(::GetFocus(), Hwnd(form.BtLumaxDownload));
  for (std::size_t i = 1; i <= std::size(test::kExpectedTabOrder); ++i) {
    const char* expected = test::kExpectedTabOrder[i % std::size(test::kExpectedTabOrder)];
    test::PressKey(window, VK_TAB);
    EXPECT_EQ(::GetFocus(), Hwnd(form.FindControl(expected))) << expected;
  }
  // Back at the first button: Enter and Space press the focused button once each; Esc does not
  // close the window.
  test::PressKey(window, VK_TAB);
  test::PressKey(window, VK_TAB);
  test::PressKey(window, VK_TAB);
  ASSERT_EQ(::GetFocus(), Hwnd(form.BtRookDownload));
  test::PressKey(window, VK_RETURN);
  test::PressKey(window, VK_SPACE);
  test::PressKey(window, VK_ESCAPE);
  EXPECT_EQ(form.requested, (std::vector<std::string>{"RookUpdate.exe", "RookUpdate.exe"}));
  EXPECT_TRUE(form.Visible());
}

TEST(Win32Window, EachFamilyButtonRequestsItsUpdaterAndTheLinkItsHandler) {
  RecordingForm form;
  form.Show();
  for (const auto& [button, file] : test::kExpectedUpdaters) {
    form.requested.clear();
    ::SendMessageW(Hwnd(form.FindControl(button)), BM_CLICK, 0, 0);
    EXPECT_EQ(form.requested, std::vector<std::string>{file}) << button;
  }
  int linkClicks = 0;
  form.ElLabel1->SetOnClick([&] { ++linkClicks; });
  ::SendMessageW(Hwnd(form.ElLabel1), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  ::SendMessageW(Hwnd(form.ElLabel1), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(linkClicks, 1);
}

TEST(Win32Window, AnErrorEscapingAHandlerIsShownAndTheProgramGoesOn) {
  RecordingForm form;
  form.Show();
  form.BtRookDownload->SetOnClick([&] { form.RequestUpdater("fail"); });
  test::BoxWatcher boxes;
  ui::SetBusyCursor(true);
  ::SendMessageW(Hwnd(form.BtRookDownload), BM_CLICK, 0, 0);
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].title, "Fehler");
  EXPECT_EQ(boxes.Boxes()[0].text, "Socket-Fehler # 10061\r\nVerbindung abgelehnt.");
  EXPECT_EQ(boxes.Boxes()[0].button, "OK");
  EXPECT_EQ(boxes.Boxes()[0].buttons, 1);
  EXPECT_FALSE(boxes.Boxes()[0].busyCursor);
  EXPECT_TRUE(form.Visible());
  ::SendMessageW(Hwnd(form.BtLumoDownload), BM_CLICK, 0, 0);
  EXPECT_EQ(form.requested, std::vector<std::string>{"LumoUpdate.exe"});
}

TEST(Win32Window, ExitAndTheCloseButtonEndTheMessageLoop) {
  for (const bool byExit : {true, false}) {
    SCOPED_TRACE(byExit ? "EXIT" : "title bar's close button");
    TFormMain form;
    form.Show();
    if (byExit) {
      ::PostMessageW(Hwnd(form.BtExit), BM_CLICK, 0, 0);
    } else {
      ::PostMessageW(Hwnd(form), WM_SYSCOMMAND, SC_CLOSE, 0);
    }
    // A bound on the loop: a window that does not close ends the test instead of hanging it.
    const UINT_PTR guard = ::SetTimer(nullptr, 0, 10000, [](HWND, UINT, UINT_PTR, DWORD) {
      ::PostQuitMessage(7);
    });
    EXPECT_EQ(ui::TApplication::Instance()->Run(form), 0);
    ::KillTimer(nullptr, guard);
    EXPECT_FALSE(form.Visible());
  }
}

}  // namespace
}  // namespace tavo::app
