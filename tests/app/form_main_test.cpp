// The main window against its layout table: geometry, fonts, colours, texts per language,
// focus and tab order, the handlers of its buttons and link label, and how it ends the program.

#include "app/form_main.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTest>
#include <cstring>

#include "../ui/gui_support.h"

namespace tavo::app {
namespace {

using test::BoxWatcher;
using test::LocaleGuard;

::testing::Environment* const gui = ::testing::AddGlobalTestEnvironment(new test::GuiEnvironment);

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

struct Look {
  const char* name;
  int left, top, width, height;
  int pixelSize;
  bool bold, underline;
  QColor color;  // invalid: the window's text colour
  bool autoSize;
};

const QColor kWindowText;  // invalid on purpose: "the window's text colour"

// The layout table, copied here so that any change to the layout data shows up.
const Look kLooks[] = {
    {"Bevel1", 6, 186, 423, 49, 11, false, false, kWindowText, false},
    {"Label1", 16, 10, 186, 42, 11, false, false, QColor(128, 0, 0), true},
    {"Label2", 16, 152, 295, 28, 11, false, false, QColor(0, 0, 128), true},
    {"Label3", 20, 192, 345, 28, 11, false, false, QColor(0, 0, 255), true},
    {"ElLabel1", 284, 210, 133, 16, 13, true, true, QColor(0, 0, 255), false},
    {"LabelVersion", 2, 508, 4, 14, 11, false, false, kWindowText, true},
    {"StatusBar", 0, 522, 441, 19, 11, false, false, kWindowText, false},
    {"BtLumaxDownload", 16, 240, 200, 40, 16, true, false, kWindowText, false},
    {"BtBrisaKiteDownload", 220, 240, 200, 40, 16, true, false, kWindowText, false},
    {"BtLumoDownload", 16, 283, 200, 40, 16, true, false, kWindowText, false},
    {"BtDownload", 220, 283, 200, 40, 16, true, false, kWindowText, false},
    {"BtRookDownload", 16, 326, 200, 40, 16, true, false, kWindowText, false},
    {"ElPopupButton2", 220, 327, 200, 40, 16, true, false, kWindowText, false},
    {"BtUmbraDownload", 16, 370, 200, 40, 16, true, false, kWindowText, false},
    {"ElPopupButton1", 220, 370, 200, 40, 16, true, false, kWindowText, false},
    {"ElPopupButton3", 16, 414, 200, 40, 16, true, false, kWindowText, false},
    {"BtExit", 339, 463, 77, 25, 11, false, false, kWindowText, false},
};

TEST(FormMainLayout, WindowFrameSizeFontAndBackground) {
  LocaleGuard locale("de_DE.UTF-8");
  TFormMain form;
  EXPECT_EQ(form.windowTitle(), QString("Norrik Tavo Online"));
  EXPECT_EQ(form.size(), QSize(441, 541));
  EXPECT_EQ(form.minimumSize(), QSize(441, 541));
  EXPECT_EQ(form.maximumSize(), QSize(441, 541));
  const Qt::WindowFlags flags = form.windowFlags();
  EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
  EXPECT_TRUE(flags & Qt::WindowTitleHint);
  EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
  EXPECT_EQ(form.font().family(), QString("Arial"));
  EXPECT_EQ(form.font().pixelSize(), 11);
  EXPECT_FALSE(form.font().bold());
  EXPECT_EQ(form.palette().color(QPalette::Window), form.palette().color(QPalette::Button));
  EXPECT_FALSE(form.isVisible()) << "the window is shown by the message loop, not at creation";

  form.show();
  const QRect screen = form.screen()->availableGeometry();
  EXPECT_LE(std::abs(form.frameGeometry().center().x() - screen.center().x()), 1);
  EXPECT_LE(std::abs(form.frameGeometry().center().y() - screen.center().y()), 1);
}

TEST(FormMainLayout, EveryComponentAtItsPositionWithItsFontAndColour) {
  for (const char* localeName : {"de_DE.UTF-8", "en_US.UTF-8"}) {
    SCOPED_TRACE(localeName);
    LocaleGuard locale(localeName);
    TFormMain form;
    const QColor windowText = form.palette().color(QPalette::WindowText);
    for (const Look& look : kLooks) {
      SCOPED_TRACE(look.name);
      auto* widget = form.findChild<QWidget*>(look.name);
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
      EXPECT_EQ(widget->palette().color(role), look.color.isValid() ? look.color : windowText);
    }
    EXPECT_EQ(form.ElLabel1->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(form.Bevel1->frameShadow(), QFrame::Sunken);
    // Label3 and the link lie inside the bevel.
    EXPECT_TRUE(form.Bevel1->geometry().contains(form.Label3->geometry()));
    EXPECT_TRUE(form.Bevel1->geometry().contains(form.ElLabel1->geometry()));
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
  EXPECT_EQ(form.Label1->text().count('\n'), 8);
  EXPECT_EQ(form.Label1->height(), form.Label1->sizeHint().height());
  EXPECT_GE(form.Label1->height(), 9 * QFontMetrics(form.Label1->font()).lineSpacing() - 2);
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
    EXPECT_EQ(form.LabelVersion->pos(), QPoint(2, 508));
    EXPECT_EQ(form.StatusBar->SimpleText(), "");
    EXPECT_EQ(form.BtLumaxDownload->text(), QString("Lumax "));  // the blank stays
    EXPECT_EQ(form.BtLumoDownload->text(), QString("Lumo"));
    EXPECT_EQ(form.BtDownload->text(), QString("Arden, Brisa"));
    EXPECT_EQ(form.BtRookDownload->text(), QString("Rook"));
    EXPECT_EQ(form.BtBrisaKiteDownload->text(), QString("Brisa-Kite"));
    EXPECT_EQ(form.BtUmbraDownload->text(), QString("Tessa"));
    EXPECT_EQ(form.ElPopupButton1->text(), QString("Sorb"));
    EXPECT_EQ(form.ElPopupButton2->text(), QString("Quill"));
    EXPECT_EQ(form.ElPopupButton3->text(), QString("Wren"));
    EXPECT_EQ(form.BtExit->text(), QString("EXIT"));
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
  form.show();
  QApplication::setActiveWindow(&form);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  EXPECT_EQ(QApplication::focusWidget(), form.BtLumaxDownload);

  const std::vector<QWidget*> order = {
      form.BtLumoDownload, form.BtDownload,     form.BtRookDownload, form.BtBrisaKiteDownload,
      form.BtExit,         form.BtUmbraDownload, form.ElPopupButton1, form.ElPopupButton2,
      form.ElPopupButton3, form.BtLumaxDownload};
  for (QWidget* expected : order) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), expected) << expected->objectName().toStdString();
  }
  // Only the buttons take the focus.
  for (QWidget* widget : form.findChildren<QWidget*>()) {
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
  form.show();
  const std::pair<QAbstractButton*, const char*> table[] = {
      {form.BtLumaxDownload, "LumaxUpdater.exe"},   {form.BtLumoDownload, "LumoUpdate.exe"},
      {form.BtDownload, "BrisaUpdate.exe"},         {form.BtRookDownload, "RookUpdate.exe"},
      {form.BtBrisaKiteDownload, "BrisaKiteUpdater.exe"}, {form.BtUmbraDownload, "UmbraUpdater.exe"},
      {form.ElPopupButton1, "UmbraUpdater.exe"},    {form.ElPopupButton2, "UmbraUpdater.exe"},
      {form.ElPopupButton3, "UmbraUpdater.exe"},
  };
  for (const auto& [button, file] : table) {
    form.requested.clear();
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(form.requested, std::vector<std::string>{file}) << button->objectName().toStdString();
  }
  // From the keyboard: Space and Enter on the focused button, once each.
  form.requested.clear();
  form.BtRookDownload->setFocus();
  QTest::keyClick(form.BtRookDownload, Qt::Key_Space);
  QTest::keyClick(form.BtRookDownload, Qt::Key_Return);
  EXPECT_EQ(form.requested, (std::vector<std::string>{"RookUpdate.exe", "RookUpdate.exe"}));
  EXPECT_TRUE(form.isVisible());
}

TEST(FormMainButtons, LinkLabelOpensTheWebSiteInTheDesktopOpener) {
  test::RecordingOpener opener;
  LocaleGuard locale("de_DE.UTF-8");
  TFormMain form;
  form.show();
  BoxWatcher boxes;
  QTest::mouseClick(form.ElLabel1, Qt::LeftButton);
  EXPECT_EQ(opener.Record(), form.ElLabel1->Caption() + "\n");
  EXPECT_EQ(form.ElLabel1->Caption().rfind("http://", 0), 0u);
  EXPECT_TRUE(boxes.Boxes().empty());
  EXPECT_TRUE(form.isVisible());
}

// Runs the message loop until the program would end; false if it does not end in time.
bool LoopEnds(const std::function<void()>& action) {
  bool timedOut = false;
  QTimer::singleShot(0, action);
  QTimer guard;
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, [&] {
    timedOut = true;
    QApplication::exit(1);
  });
  guard.start(10000);
  const int code = QApplication::exec();
  return !timedOut && code == 0;
}

TEST(FormMainLifecycle, ExitButtonEndsTheProgram) {
  LocaleGuard locale("de_DE.UTF-8");
  TFormMain form;
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  EXPECT_TRUE(LoopEnds([&] { QTest::mouseClick(form.BtExit, Qt::LeftButton); }));
  EXPECT_FALSE(form.isVisible());
}

TEST(FormMainLifecycle, TitleBarCloseEndsTheProgram) {
  LocaleGuard locale("en_US.UTF-8");
  TFormMain form;
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  EXPECT_TRUE(LoopEnds([&] { form.windowHandle()->close(); }));
  EXPECT_FALSE(form.isVisible());
}

TEST(FormMainScreenshots, OnePerLanguage) {
  QDir().mkpath(TAVO_SCREENSHOT_DIR);
  for (const char* localeName : {"de_DE", "en_US"}) {
    LocaleGuard locale(std::string(localeName) + ".UTF-8");
    TFormMain form;
    form.show();
    QApplication::setActiveWindow(&form);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    const QString file = QString(TAVO_SCREENSHOT_DIR) + "/main-" + localeName + ".png";
    EXPECT_TRUE(form.grab().save(file)) << file.toStdString();
  }
}

}  // namespace
}  // namespace tavo::app
