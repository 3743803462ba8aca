// The main window against its layout table: geometry, fonts, colours, texts per language,
// focus and tab order, the handlers of its buttons and link label, and how it ends the program.

#include "app/form_main.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTest>
#include <cstring>

#include "../ui/gui_support.h"
#include "tests/support/launcher_expectations.h"

namespace tavo::app {
namespace {

using test::BoxWatcher;
using test::LocaleGuard;
using test::Native;

::testing::Environment* const gui = ::testing::AddGlobalTestEnvironment(new test::WindowEnvironment);

std::vector<std::string> Lines(const std::string& caption) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (;;) {
    const size_t cr = caption.find('\r', start);
    lines.push_back(caption.substr(start, cr - start));
    if (cr == std::string::npos) return lines;
    start = cr + 1;
  }
}

TEST(FormMainLayout, WindowFrameSizeFontAndBackground) {
  LocaleGuard locale("de_DE.UTF-8");
  TFormMain form;
  QWidget& window = *Native(form);
  EXPECT_EQ(window.windowTitle(), QString("Norrik Tavo Online"));
  EXPECT_EQ(window.size(), QSize(441, 541));
  EXPECT_EQ(window.minimumSize(), QSize(441, 541));
  EXPECT_EQ(window.maximumSize(), QSize(441, 541));
  const Qt::WindowFlags flags = window.windowFlags();
  EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
  EXPECT_TRUE(flags & Qt::WindowTitleHint);
  EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
  EXPECT_EQ(window.font().family(), QString("Arial"));
  EXPECT_EQ(window.font().pixelSize(), 11);
  EXPECT_FALSE(window.font().bold());
  EXPECT_EQ(window.palette().color(QPalette::Window), window.palette().color(QPalette::Button));
  EXPECT_FALSE(form.Visible()) << "the window is shown by the message loop, not at creation";

  form.Show();
  const QRect screen = window.screen()->availableGeometry();
  EXPECT_LE(std::abs(window.frameGeometry().center().x() - screen.center().x()), 1);
  EXPECT_LE(std::abs(window.frameGeometry().center().y() - screen.center().y()), 1);
}

TEST(FormMainLayout, EveryComponentAtItsPositionWithItsFontAndColour) {
  for (const char* localeName : {"de_DE.UTF-8", "en_US.UTF-8"}) {
    SCOPED_TRACE(localeName);
    LocaleGuard locale(localeName);
    TFormMain form;
    const QColor windowText = Native(form)->palette().color(QPalette::WindowText);
    for (const test::ExpectedLook& look : test::kExpectedLooks) {
      SCOPED_TRACE(look.name);
      auto* widget = Native(form)->findChild<QWidget*>(look.name);
      ASSERT_NE(widget, nullptr);
      EXPECT_EQ(widget->pos(), QPoint(look.left, look.top));
      if (look.autoSize) {
        // Sized to its text; the top-left corner stays where the layout put it.
        EXPECT_EQ(widget->size(), widget->sizeHint());
      } else {
        EXPECT_EQ(widget->size(), QSize(look.width, look.height));
      }
      EXPECT_EQ(widget->font().family(), QString("Arial"));
      EXPECT_EQ(widget->font().pixelSize(), look.pixelSize);
      EXPECT_EQ(widget->font().bold(), look.bold);
      EXPECT_EQ(widget->font().underline(), look.underline);
      const QPalette::ColorRole role =
          qobject_cast<QAbstractButton*>(widget) ? QPalette::ButtonText : QPalette::WindowText;
      EXPECT_EQ(widget->palette().color(role),
                look.systemColor ? windowText : QColor(look.red, look.green, look.blue));
    }
    EXPECT_EQ(Native(form.ElLabel1)->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(Native<QFrame>(form.Bevel1)->frameShadow(), QFrame::Sunken);
    // Label3 and the link lie inside the bevel.
    const QRect bevel = Native(form.Bevel1)->geometry();
    EXPECT_TRUE(bevel.contains(Native(form.Label3)->geometry()));
    EXPECT_TRUE(bevel.contains(Native(form.ElLabel1)->geometry()));
  }
}

TEST(FormMainTexts, GermanLocaleShowsGermanLabels) {
  LocaleGuard locale("de_DE.UTF-8");
  TFormMain form;
  EXPECT_EQ(form.LanguageMode(), 2);
  const std::vector<std::string> label1 = Lines(form.Label1->Caption());
  ASSERT_EQ(label1.size(), 9u);
  EXPECT_EQ(label1[0], "Mit dem Norrik Tavo Online Update");
  EXPECT_EQ(label1[1], "können Sie Updateprogramme für die Geräte ");
  EXPECT_EQ(label1[2], "- Tavo Arden, Brisa");
  EXPECT_EQ(label1[3], "- Tavo Arden, Brisa-Kite");
  EXPECT_EQ(label1[4], "- Tavo Lumo, Tavo Lumo+");
  EXPECT_EQ(label1[5], "- Rook Vexa, Ondo");
  EXPECT_EQ(label1[6], "- Quill, Tessax, Sorb");
  EXPECT_EQ(label1[7], "- Wren");
  EXPECT_EQ(label1[8], "starten");
  EXPECT_EQ(form.Label2->Caption(),
            "Der Updater prüft das Gerät, bietet mögliche Updates an\rund organisiert das Update");
  EXPECT_EQ(form.Label3->Caption(),
            "Falls die USB-Verbindung zum Messgerät nicht einwandfrei funktioniert,\r"
            "beachten Sie bitte Tipps und Hinweise unter:");
  // Each CR starts a new line on screen.
  QLabel* shown = Native<QLabel>(form.Label1);
  EXPECT_EQ(shown->text().count('\n'), 8);
  EXPECT_EQ(shown->height(), shown->sizeHint().height());
  EXPECT_GE(shown->height(), 9 * QFontMetrics(shown->font()).lineSpacing() - 2);
}

TEST(FormMainTexts, EveryOtherLocaleShowsEnglishLabels) {
  for (const char* localeName : {"de_AT.UTF-8", "de_CH.UTF-8", "en_US.UTF-8", "C", "xx_YY"}) {
    SCOPED_TRACE(localeName);
    LocaleGuard locale(localeName);
    TFormMain form;
    EXPECT_EQ(form.LanguageMode(), 1);
    const std::vector<std::string> label1 = Lines(form.Label1->Caption());
    ASSERT_EQ(label1.size(), 8u);
    EXPECT_EQ(label1[0], "With this Norrik Tavo Online access");
    EXPECT_EQ(label1[1], "you can start the software updater for :");
    EXPECT_EQ(label1[2], "- Tavo Arden, Brisa");
    EXPECT_EQ(label1[7], "- Wren");
    EXPECT_EQ(form.Label2->Caption(),
              "The updater checks your instrument, offers possible updates\r"
              "of the instrument firmware and manages the update.");
    EXPECT_EQ(form.Label3->Caption(),
              "If the USB connection to instrument does not work properly,\r"
              "please consider the tips and hints at:");
  }
}

TEST(FormMainTexts, CaptionsVersionAndEmptyStatusBarInBothLanguages) {
  for (const char* localeName : {"de_DE.UTF-8", "en_GB.UTF-8"}) {
    SCOPED_TRACE(localeName);
    LocaleGuard locale(localeName);
    TFormMain form;
    EXPECT_EQ(form.LabelVersion->Caption(), "1.1,011");
    EXPECT_EQ(Native(form.LabelVersion)->pos(), QPoint(2, 508));
    EXPECT_EQ(form.StatusBar->SimpleText(), "");
    const auto text = [](ui::TStyledButton* button) {
      return Native<QAbstractButton>(button)->text();
    };
    EXPECT_EQ(text(form.BtLumaxDownload), QString("Lumax "));  // the blank stays
    EXPECT_EQ(text(form.BtLumoDownload), QString("Lumo"));
    EXPECT_EQ(text(form.BtDownload), QString("Arden, Brisa"));
    EXPECT_EQ(text(form.BtRookDownload), QString("Rook"));
    EXPECT_EQ(text(form.BtBrisaKiteDownload), QString("Brisa-Kite"));
    EXPECT_EQ(text(form.BtUmbraDownload), QString("Tessa"));
    EXPECT_EQ(text(form.ElPopupButton1), QString("Sorb"));
    EXPECT_EQ(text(form.ElPopupButton2), QString("Quill"));
    EXPECT_EQ(text(form.ElPopupButton3), QString("Wren"));
    EXPECT_EQ(text(form.BtExit), QString("EXIT"));
    EXPECT_TRUE(form.AlwaysDownload());
    EXPECT_EQ(form.RequestState(), 0);
  }
}

TEST(FormMainTexts, DownloadFolderLiesBelowTheTemporaryFolder) {
  test::EnvGuard tmpdir("TMPDIR", "/var/tmp");
  TFormMain form;
  EXPECT_EQ(form.TempFolder(), "/var/tmp/Tavo_Update/");
}

TEST(FormMainFocus, FirstButtonHasTheFocusAndTabFollowsTheTabOrder) {
  LocaleGuard locale("de_DE.UTF-8");
  TFormMain form;
  form.Show();
  QApplication::setActiveWindow(Native(form));
  ASSERT_TRUE(QTest::qWaitForWindowActive(Native(form)));
  EXPECT_EQ(QApplication::focusWidget(), Native(form.BtLumaxDownload));

  // Round the whole tab order, back to the first button.
  for (std::size_t i = 1; i <= std::size(test::kExpectedTabOrder); ++i) {
    const char* expected = test::kExpectedTabOrder[i % std::size(test::kExpectedTabOrder)];
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget()->objectName(), QString(expected));
  }
  // Only the buttons take the focus.
  for (QWidget* widget : Native(form)->findChildren<QWidget*>()) {
    if (qobject_cast<QAbstractButton*>(widget) == nullptr) {
      EXPECT_FALSE(widget->focusPolicy() & Qt::TabFocus) << widget->objectName().toStdString();
    }
  }
}

// A window whose retrieval request only records the file it was asked for.
class RecordingForm : public TFormMain {
 public:
  void RequestUpdater(const std::string& FileName) override { requested.push_back(FileName); }
  std::vector<std::string> requested;
};

TEST(FormMainButtons, EachFamilyButtonRequestsItsUpdater) {
  LocaleGuard locale("de_DE.UTF-8");
  RecordingForm form;
  form.Show();
  for (const auto& [button, file] : test::kExpectedUpdaters) {
    form.requested.clear();
    QTest::mouseClick(Native(form.FindControl(button)), Qt::LeftButton);
    EXPECT_EQ(form.requested, std::vector<std::string>{file}) << button;
  }
  // From the keyboard: Space and Enter on the focused button, once each.
  form.requested.clear();
  QWidget* rook = Native(form.BtRookDownload);
  rook->setFocus();
  QTest::keyClick(rook, Qt::Key_Space);
  QTest::keyClick(rook, Qt::Key_Return);
  EXPECT_EQ(form.requested, (std::vector<std::string>{"RookUpdate.exe", "RookUpdate.exe"}));
  EXPECT_TRUE(form.Visible());
}

TEST(FormMainButtons, LinkLabelOpensTheWebSiteInTheDesktopOpener) {
  test::RecordingOpener opener;
  LocaleGuard locale("de_DE.UTF-8");
  TFormMain form;
  form.Show();
  BoxWatcher boxes;
  QTest::mouseClick(Native(form.ElLabel1), Qt::LeftButton);
  EXPECT_EQ(opener.Record(), form.ElLabel1->Caption() + "\n");
  EXPECT_EQ(form.ElLabel1->Caption().rfind("http://", 0), 0u);
  EXPECT_TRUE(boxes.Boxes().empty());
  EXPECT_TRUE(form.Visible());
}

// Runs the program's message loop until the window closes; false if it does not end in time.
bool LoopEnds(TFormMain& form, const std::function<void()>& action) {
  bool timedOut = false;
  QTimer::singleShot(0, action);
  QTimer guard;
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, [&] {
    timedOut = true;
    QApplication::exit(1);
  });
  guard.start(10000);
  const int code = ui::TApplication::Instance()->Run(form);
  return !timedOut && code == 0;
}

TEST(FormMainLifecycle, ExitButtonEndsTheProgram) {
  LocaleGuard locale("de_DE.UTF-8");
  TFormMain form;
  form.Show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(Native(form)));
  EXPECT_TRUE(LoopEnds(form, [&] { QTest::mouseClick(Native(form.BtExit), Qt::LeftButton); }));
  EXPECT_FALSE(form.Visible());
}

TEST(FormMainLifecycle, TitleBarCloseEndsTheProgram) {
  LocaleGuard locale("en_US.UTF-8");
  TFormMain form;
  form.Show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(Native(form)));
  EXPECT_TRUE(LoopEnds(form, [&] { Native(form)->windowHandle()->close(); }));
  EXPECT_FALSE(form.Visible());
}

TEST(FormMainScreenshots, OnePerLanguage) {
  QDir().mkpath(TAVO_SCREENSHOT_DIR);
  for (const char* localeName : {"de_DE", "en_US"}) {
    LocaleGuard locale(std::string(localeName) + ".UTF-8");
    TFormMain form;
    form.Show();
    QApplication::setActiveWindow(Native(form));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Native(form)));
    const QString file = QString(TAVO_SCREENSHOT_DIR) + "/main-" + localeName + ".png";
    EXPECT_TRUE(Native(form)->grab().save(file)) << file.toStdString();
  }
}

}  // namespace
}  // namespace tavo::app
