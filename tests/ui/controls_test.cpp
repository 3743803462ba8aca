// The window layer's controls and services, each through what the launcher relies on.

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "gui_support.h"
#include "rtl/exception.h"
#include "ui/application.h"
#include "ui/bevel.h"
#include "ui/button.h"
#include "ui/dialogs.h"
#include "ui/form.h"
#include "ui/label.h"
#include "ui/link_label.h"
#include "ui/status_bar.h"

namespace tavo::ui {
namespace {

::testing::Environment* const gui = ::testing::AddGlobalTestEnvironment(new test::GuiEnvironment);

TEST(Label, BreaksLinesAtEachCrAndShowsTextAsItIs) {
  TForm form;
  TLabel label(&form);
  label.SetCaption("one\rtwo\r\nthree\r<b>four</b>");
  EXPECT_EQ(label.Caption(), "one\rtwo\r\nthree\r<b>four</b>");
  EXPECT_EQ(label.text(), QString("one\ntwo\nthree\n<b>four</b>"));
  EXPECT_EQ(label.textFormat(), Qt::PlainText);
  EXPECT_EQ(label.focusPolicy(), Qt::NoFocus);
}

TEST(Label, AutoSizeGrowsAndShrinksWithTheTopLeftCornerKept) {
  TForm form;
  TLabel label(&form);
  label.setGeometry(16, 10, 186, 42);
  label.SetFontPixelSize(11);
  label.SetAutoSize(true);
  label.SetCaption("a rather long first line of text\rsecond\rthird\rfourth");
  const QSize big = label.size();
  EXPECT_EQ(label.pos(), QPoint(16, 10));
  EXPECT_EQ(big, label.sizeHint());
  EXPECT_GE(big.height(), 4 * QFontMetrics(label.font()).lineSpacing() - 2);

  label.SetCaption("-");
  EXPECT_EQ(label.pos(), QPoint(16, 10));
  EXPECT_LT(label.width(), big.width());
  EXPECT_LT(label.height(), big.height());

  label.SetFontPixelSize(22);  // a new font refits the label too
  EXPECT_EQ(label.size(), label.sizeHint());
  EXPECT_EQ(label.pos(), QPoint(16, 10));

  TLabel fixed(&form);
  fixed.setGeometry(0, 0, 133, 16);
  fixed.SetCaption("a text much wider than the label itself");
  EXPECT_EQ(fixed.size(), QSize(133, 16));
}

TEST(LinkLabel, HandCursorAndOneClickPerClick) {
  TForm form;
  TLinkLabel link(&form);
  link.setGeometry(0, 0, 100, 16);
  link.SetCaption("http://tavo.example");
  form.show();
  EXPECT_EQ(link.cursor().shape(), Qt::PointingHandCursor);
  int clicks = 0;
  link.SetOnClick([&] { ++clicks; });
  QTest::mouseClick(&link, Qt::LeftButton);
  EXPECT_EQ(clicks, 1);
  QTest::mouseClick(&link, Qt::RightButton);
  EXPECT_EQ(clicks, 1);
  // Pressed on the link but released elsewhere: no click.
  QTest::mousePress(&link, Qt::LeftButton, {}, QPoint(5, 5));
  QTest::mouseRelease(&link, Qt::LeftButton, {}, QPoint(300, 300));
  EXPECT_EQ(clicks, 1);
}

TEST(StyledButton, TakesTheFocusAndClicksOnceFromMouseOrKeyboard) {
  TForm form;
  TStyledButton button(&form);
  button.setGeometry(10, 10, 200, 40);
  button.SetFontPixelSize(16);
  button.setText("Lumax ");
  form.show();
  EXPECT_EQ(button.focusPolicy(), Qt::StrongFocus);
  EXPECT_EQ(button.font().pixelSize(), 16);
  QSignalSpy clicks(&button, &QPushButton::clicked);
  int handled = 0;
  button.SetOnClick([&] { ++handled; });
  QTest::mouseClick(&button, Qt::LeftButton);
  EXPECT_EQ(clicks.count(), 1);
  button.setFocus();
  QTest::keyClick(&button, Qt::Key_Space);
  EXPECT_EQ(clicks.count(), 2);
  QTest::keyClick(&button, Qt::Key_Return);
  EXPECT_EQ(clicks.count(), 3);
  QTest::keyClick(&button, Qt::Key_Enter, Qt::KeypadModifier);
  EXPECT_EQ(clicks.count(), 4);
  QTest::keyClick(&button, Qt::Key_A);
  EXPECT_EQ(clicks.count(), 4);
  EXPECT_EQ(handled, 4) << "the bound handler runs once per click";
}

TEST(StatusBarAndBevel, SimpleTextReplacesWhatIsShownOnOneLine) {
  TForm form;
  TStatusBar bar(&form);
  TBevel bevel(&form);
  form.show();
  EXPECT_EQ(bar.SimpleText(), "");
  bar.SetSimpleText("Verbinden mit 127.0.0.1.");
  EXPECT_EQ(bar.SimpleText(), "Verbinden mit 127.0.0.1.");
  bar.SetSimpleText("Host-Name tavo.example wird aufgelöst.");
  EXPECT_EQ(bar.SimpleText(), "Host-Name tavo.example wird aufgelöst.");
  auto* shown = bar.findChild<QLabel*>();
  ASSERT_NE(shown, nullptr);
  EXPECT_EQ(shown->text(), QString("Host-Name tavo.example wird aufgelöst."));
  bar.SetSimpleText("a\rb");
  EXPECT_EQ(shown->text(), QString("a b"));
  EXPECT_FALSE(bar.isSizeGripEnabled());
  EXPECT_EQ(bevel.frameShadow(), QFrame::Sunken);
  EXPECT_EQ(bevel.focusPolicy(), Qt::NoFocus);
}

TEST(BusyCursor, OnAndOffAreSettingsNotACount) {
  ASSERT_FALSE(BusyCursor());
  SetBusyCursor(true);
  SetBusyCursor(true);
  ASSERT_NE(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
  SetBusyCursor(false);
  EXPECT_FALSE(BusyCursor());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  SetBusyCursor(false);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// A form whose layout names its controls' handlers, as the launcher's layout does.
class BindingForm : public TForm {
 public:
  explicit BindingForm(const QString& linkHandler) : button(this), link(this) {
    button.setObjectName("button");
    button.SetOnClickName("ButtonClick");
    button.setGeometry(10, 10, 200, 40);
    link.setObjectName("link");
    link.SetOnClickName(linkHandler);
    link.setGeometry(10, 60, 100, 16);
    link.SetCaption("http://tavo.example");
    BindHandlers({{"ButtonClick", [this] { ++buttonClicks; }},
                  {"LinkClick", [] {
                     throw rtl::Exception("Socket-Fehler # 10061\r\nVerbindung abgelehnt.");
                   }}});
  }
  TStyledButton button;
  TLinkLabel link;
  int buttonClicks = 0;
};

TEST(Form, BindsEachControlToTheHandlerItsLayoutNames) {
  BindingForm form("LinkClick");
  form.show();
  QTest::mouseClick(&form.button, Qt::LeftButton);
  EXPECT_EQ(form.buttonClicks, 1);
  EXPECT_TRUE(form.link.OnClick() != nullptr);
  EXPECT_THROW(BindingForm("NoSuchHandler"), std::logic_error);
}

// The error leaves the handler at the layer's dispatch: the click returns normally to the
// window system, the box shows the error's message, and the program goes on.
TEST(Application, AnErrorEscapingAHandlerIsShownAndTheProgramGoesOn) {
  BindingForm form("LinkClick");
  form.show();
  test::BoxWatcher boxes;
  SetBusyCursor(true);
  QTest::mouseClick(&form.link, Qt::LeftButton);
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].title, "Fehler");
  EXPECT_EQ(boxes.Boxes()[0].text, "Socket-Fehler # 10061\nVerbindung abgelehnt.");
  EXPECT_EQ(boxes.Boxes()[0].buttons, std::vector<std::string>{"OK"});
  EXPECT_FALSE(boxes.Boxes()[0].busyCursor);
  QTest::mouseClick(&form.button, Qt::LeftButton);
  EXPECT_EQ(form.buttonClicks, 1);
}

TEST(Application, ProcessMessagesRunsWhatIsPending) {
  bool ran = false;
  QTimer::singleShot(0, [&] { ran = true; });
  ProcessMessages();
  EXPECT_TRUE(ran);
}

TEST(Form, FixedDialogFrameWithOnlyTheCloseButtonAndTheFirstControlFocused) {
  TForm form;
  form.resize(441, 541);
  TStyledButton first(&form);
  first.setObjectName("first");
  TStyledButton second(&form);
  form.SetActiveControlName("first");
  form.show();
  EXPECT_TRUE(form.windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(form.windowFlags() & Qt::WindowMinMaxButtonsHint);
  EXPECT_EQ(form.minimumSize(), QSize(441, 541));
  EXPECT_EQ(form.maximumSize(), QSize(441, 541));
  EXPECT_EQ(form.focusWidget(), &first);
}

}  // namespace
}  // namespace tavo::ui
