// The window layer's controls and services on its Qt backend, each through what the launcher
// relies on: a small form built from a layout table of its own, as the launcher's is.

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>

#include "gui_support.h"
#include "rtl/exception.h"
#include "ui/application.h"
#include "ui/dialogs.h"
#include "ui/form.h"

namespace tavo::ui {
namespace {

using test::Native;

::testing::Environment* const gui = ::testing::AddGlobalTestEnvironment(new test::WindowEnvironment);

constexpr TFontStyle kPlain{"Arial", 11, false, false};
constexpr TControlLayout kControls[] = {
    {TControlKind::ckLabel, "label", {16, 10, 186, 42}, kPlain, {false, 128, 0, 0}, "-", "", true, -1},
    {TControlKind::ckLabel, "fixed", {0, 60, 133, 16}, kPlain, {}, "", "", false, -1},
    {TControlKind::ckLinkLabel, "link", {10, 100, 100, 16}, {"Arial", 13, true, true},
     {false, 0, 0, 255}, "http://tavo.example", "LinkClick", false, -1},
    {TControlKind::ckStyledButton, "second", {10, 200, 200, 40}, {"Arial", 16, true, false}, {},
     "Second", "", false, 1},
    {TControlKind::ckStyledButton, "first", {10, 140, 200, 40}, {"Arial", 16, true, false}, {},
     "Lumax ", "ButtonClick", false, 0},
    {TControlKind::ckBevel, "bevel", {6, 300, 423, 49}, kPlain, {}, "", "", false, -1},
    {TControlKind::ckStatusBar, "bar", {0, 522, 441, 19}, kPlain, {}, "", "", false, -1},
};
constexpr TFormLayout kLayout{"TTestForm", "Test form", 441, 541, kPlain, "first", kControls,
                              std::size(kControls)};

// A form whose layout names its controls' handlers, as the launcher's layout does; `handlers`
// says which of them the form has.
class TestForm : public TForm {
 public:
  explicit TestForm(bool withLinkHandler = true)
      : TForm(kLayout),
        label(Component<TLabel>("label")),
        fixed(Component<TLabel>("fixed")),
        link(Component<TLinkLabel>("link")),
        first(Component<TStyledButton>("first")),
        second(Component<TStyledButton>("second")),
        bar(Component<TStatusBar>("bar")) {
    std::map<std::string, THandler, std::less<>> handlers = {{"ButtonClick", [this] { ++clicks; }}};
    if (withLinkHandler) {
      handlers["LinkClick"] = [] {
        throw rtl::Exception("Socket-Fehler # 10061\r\nVerbindung abgelehnt.");
      };
    }
    BindHandlers(handlers);
  }
  TLabel* label;
  TLabel* fixed;
  TLinkLabel* link;
  TStyledButton* first;
  TStyledButton* second;
  TStatusBar* bar;
  int clicks = 0;
};

TEST(Label, BreaksLinesAtEachCrAndShowsTextAsItIs) {
  TestForm form;
  form.fixed->SetCaption("one\rtwo\r\nthree\r<b>four</b>");
  EXPECT_EQ(form.fixed->Caption(), "one\rtwo\r\nthree\r<b>four</b>");
  auto* label = Native<QLabel>(form.fixed);
  EXPECT_EQ(label->text(), QString("one\ntwo\nthree\n<b>four</b>"));
  EXPECT_EQ(label->textFormat(), Qt::PlainText);
  EXPECT_EQ(label->focusPolicy(), Qt::NoFocus);
  EXPECT_EQ(label->palette().color(QPalette::WindowText),
            Native(form)->palette().color(QPalette::WindowText));
}

TEST(Label, AutoSizeGrowsAndShrinksWithTheTopLeftCornerKept) {
  TestForm form;
  auto* label = Native<QLabel>(form.label);
  EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(128, 0, 0));
  form.label->SetCaption("a rather long first line of text\rsecond\rthird\rfourth");
  const QSize big = label->size();
  EXPECT_EQ(label->pos(), QPoint(16, 10));
  EXPECT_EQ(big, label->sizeHint());
  EXPECT_GE(big.height(), 4 * QFontMetrics(label->font()).lineSpacing() - 2);

  form.label->SetCaption("-");
  EXPECT_EQ(label->pos(), QPoint(16, 10));
  EXPECT_LT(label->width(), big.width());
  EXPECT_LT(label->height(), big.height());

  form.fixed->SetCaption("a text much wider than the label itself");
  EXPECT_EQ(Native(form.fixed)->size(), QSize(133, 16));
}

TEST(LinkLabel, HandCursorAndOneClickPerClick) {
  TestForm form;
  form.Show();
  auto* link = Native<QLabel>(form.link);
  EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
  EXPECT_EQ(link->font().pixelSize(), 13);
  EXPECT_TRUE(link->font().bold() && link->font().underline());
  int clicks = 0;
  form.link->SetOnClick([&] { ++clicks; });
  QTest::mouseClick(link, Qt::LeftButton);
  EXPECT_EQ(clicks, 1);
  QTest::mouseClick(link, Qt::RightButton);
  EXPECT_EQ(clicks, 1);
  // Pressed on the link but released elsewhere: no click.
  QTest::mousePress(link, Qt::LeftButton, {}, QPoint(5, 5));
  QTest::mouseRelease(link, Qt::LeftButton, {}, QPoint(300, 300));
  EXPECT_EQ(clicks, 1);
}

TEST(StyledButton, TakesTheFocusAndClicksOnceFromMouseOrKeyboard) {
  TestForm form;
  form.Show();
  auto* button = Native<QPushButton>(form.first);
  EXPECT_EQ(button->text(), QString("Lumax "));
  EXPECT_EQ(form.first->Caption(), "Lumax ");
  EXPECT_EQ(button->focusPolicy(), Qt::StrongFocus);
  EXPECT_EQ(button->font().pixelSize(), 16);
  EXPECT_TRUE(button->font().bold());
  QSignalSpy clicks(button, &QPushButton::clicked);
  QTest::mouseClick(button, Qt::LeftButton);
  EXPECT_EQ(clicks.count(), 1);
  button->setFocus();
  QTest::keyClick(button, Qt::Key_Space);
  EXPECT_EQ(clicks.count(), 2);
  QTest::keyClick(button, Qt::Key_Return);
  EXPECT_EQ(clicks.count(), 3);
  QTest::keyClick(button, Qt::Key_Enter, Qt::KeypadModifier);
  EXPECT_EQ(clicks.count(), 4);
  QTest::keyClick(button, Qt::Key_A);
  EXPECT_EQ(clicks.count(), 4);
  EXPECT_EQ(form.clicks, 4) << "the bound handler runs once per click";
}

TEST(StatusBarAndBevel, SimpleTextReplacesWhatIsShownOnOneLine) {
  TestForm form;
  form.Show();
  int changes = 0;
  form.bar->OnSimpleTextChanged = [&] { ++changes; };
  EXPECT_EQ(form.bar->SimpleText(), "");
  form.bar->SetSimpleText("Verbinden mit 127.0.0.1.");
  EXPECT_EQ(form.bar->SimpleText(), "Verbinden mit 127.0.0.1.");
  form.bar->SetSimpleText("Host-Name tavo.example wird aufgelöst.");
  EXPECT_EQ(form.bar->SimpleText(), "Host-Name tavo.example wird aufgelöst.");
  auto* bar = Native<QStatusBar>(form.bar);
  auto* shown = bar->findChild<QLabel*>();
  ASSERT_NE(shown, nullptr);
  EXPECT_EQ(shown->text(), QString("Host-Name tavo.example wird aufgelöst."));
  form.bar->SetSimpleText("a\rb");
  EXPECT_EQ(shown->text(), QString("a b"));
  EXPECT_EQ(changes, 3);
  EXPECT_FALSE(bar->isSizeGripEnabled());
  auto* bevel = Native<QFrame>(form.FindControl("bevel"));
  EXPECT_EQ(bevel->frameShadow(), QFrame::Sunken);
  EXPECT_EQ(bevel->focusPolicy(), Qt::NoFocus);
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

TEST(Form, BindsEachControlToTheHandlerItsLayoutNames) {
  TestForm form;
  form.Show();
  QTest::mouseClick(Native(form.first), Qt::LeftButton);
  EXPECT_EQ(form.clicks, 1);
  EXPECT_TRUE(form.link->OnClick() != nullptr);
  EXPECT_THROW(TestForm(false), std::logic_error);
}

// The error leaves the handler at the layer's dispatch: the click returns normally to the
// window system, the box shows the error's message, and the program goes on.
TEST(Application, AnErrorEscapingAHandlerIsShownAndTheProgramGoesOn) {
  TestForm form;
  form.Show();
  test::BoxWatcher boxes;
  SetBusyCursor(true);
  QTest::mouseClick(Native(form.link), Qt::LeftButton);
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].title, "Fehler");
  EXPECT_EQ(boxes.Boxes()[0].text, "Socket-Fehler # 10061\nVerbindung abgelehnt.");
  EXPECT_EQ(boxes.Boxes()[0].buttons, std::vector<std::string>{"OK"});
  EXPECT_FALSE(boxes.Boxes()[0].busyCursor);
  QTest::mouseClick(Native(form.first), Qt::LeftButton);
  EXPECT_EQ(form.clicks, 1);
}

TEST(Application, ProcessMessagesRunsWhatIsPending) {
  bool ran = false;
  QTimer::singleShot(0, [&] { ran = true; });
  ProcessMessages();
  EXPECT_TRUE(ran);
}

TEST(Application, ABoxAnswerTakesTheBoxInsteadOfShowingIt) {
  std::vector<std::string> answered;
  SetBoxAnswer([&](const std::string& title, const std::string& text) {
    answered.push_back(title + ": " + text);
  });
  test::BoxWatcher boxes;
  EXPECT_EQ(ShowMessageBox("gone\rnow", "Fehler", mtError, "OK"), mrOk);
  SetBoxAnswer({});
  EXPECT_EQ(answered, std::vector<std::string>{"Fehler: gone\rnow"});
  EXPECT_TRUE(boxes.Boxes().empty());
}

TEST(Form, FixedDialogFrameWithOnlyTheCloseButtonAndTheActiveControlFocused) {
  TestForm form;
  EXPECT_FALSE(form.Visible()) << "created hidden";
  form.Show();
  EXPECT_TRUE(form.Visible());
  auto* window = Native(form);
  EXPECT_EQ(window->windowTitle(), QString("Test form"));
  EXPECT_TRUE(window->windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(window->windowFlags() & Qt::WindowMinMaxButtonsHint);
  EXPECT_EQ(window->minimumSize(), QSize(441, 541));
  EXPECT_EQ(window->maximumSize(), QSize(441, 541));
  EXPECT_EQ(window->focusWidget(), Native(form.first));
  // Tab order is the layout's, not the creation order.
  QApplication::setActiveWindow(window);
  QTest::keyClick(Native(form.first), Qt::Key_Tab);
  EXPECT_EQ(window->focusWidget(), Native(form.second));
  form.Close();
  EXPECT_FALSE(form.Visible());
}

}  // namespace
}  // namespace tavo::ui
