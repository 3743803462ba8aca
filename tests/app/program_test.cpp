// The launcher program as main() runs it. A program of its own: it creates the application
// object itself, which the other window tests share.

#include "app/program.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <QStyle>
#include <QTimer>

#include "app/form_main.h"

namespace tavo::app {
namespace {

TEST(RunLauncher, TheWindowSystemSeesNoneOfTheOptionsGivenToTheProgram) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  char* argv[] = {const_cast<char*>("tavo-online"),
                  const_cast<char*>("-reverse"),
                  const_cast<char*>("-stylesheet"),
                  const_cast<char*>("/nonexistent.qss"),
                  const_cast<char*>("-style"),
                  const_cast<char*>("windows"),
                  const_cast<char*>("-platform"),
                  const_cast<char*>("minimal"),
                  nullptr};
  bool shown = false;
  const int code = RunLauncher(8, argv, [&](TFormMain& form) {
    shown = form.Visible();
    EXPECT_EQ(QApplication::arguments(), QStringList{"tavo-online"});
    EXPECT_EQ(QApplication::layoutDirection(), Qt::LeftToRight);
    EXPECT_EQ(QGuiApplication::platformName(), "offscreen");
    EXPECT_TRUE(qApp->styleSheet().isEmpty());
    EXPECT_NE(QApplication::style()->name(), "windows");
    // From inside the loop: a window closed before the loop runs would not end it.
    QTimer::singleShot(0, [&form] { form.Close(); });
  });
  EXPECT_TRUE(shown);
  EXPECT_EQ(code, 0);
}

}  // namespace
}  // namespace tavo::app
