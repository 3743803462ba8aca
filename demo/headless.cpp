// The demo without a display: runs the launcher as its program does, on Qt's offscreen
// platform, presses one family's button once the window shows, and ends when the window
// closes. A message box (the request's error box, a failed launch) is printed, closed, and
// fails the run, as does a run that takes longer than two minutes.
//   tavo-online-headless <family>    family: a button's caption, e.g. Rook or "Arden, Brisa"

#include <stdlib.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>

#include "app/form_main.h"
#include "app/program.h"
#include "ui/button.h"

namespace {

constexpr int kBoundMs = 120000;

QAbstractButton* FamilyButton(tavo::app::TFormMain& form, const QString& family) {
  for (QAbstractButton* button : form.findChildren<tavo::ui::TStyledButton*>()) {
    if (button != form.BtExit && button->text().trimmed().compare(family, Qt::CaseInsensitive) == 0)
      return button;
  }
  return nullptr;
}

QString Families(tavo::app::TFormMain& form) {
  QStringList names;
  for (QAbstractButton* button : form.findChildren<tavo::ui::TStyledButton*>()) {
    if (button != form.BtExit) names << "\"" + button->text().trimmed() + "\"";
  }
  return names.join(", ");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <family>   (a button's caption, e.g. Rook)\n", argv[0]);
    return 2;
  }
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  const QString family = QString::fromLocal8Bit(argv[1]).trimmed();
  int failure = 0;
  const int code = tavo::app::RunLauncher(1, argv, [&](tavo::app::TFormMain& form) {
    const auto fail = [&](int value, const QString& text) {
      std::fprintf(stderr, "demo: %s\n", qPrintable(text));
      failure = value;
      QTimer::singleShot(0, &form, [&form] { form.close(); });
    };
    QAbstractButton* button = FamilyButton(form, family);
    if (button == nullptr) {
      fail(2, "no family \"" + family + "\"; the families are " + Families(form));
      return;
    }
    QTimer::singleShot(0, button, [button] { button->click(); });
    auto* boxes = new QTimer(&form);
    QObject::connect(boxes, &QTimer::timeout, [fail] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr || !box->isVisible()) return;
      fail(1, box->windowTitle() + ": " + box->text().replace('\n', ' '));
      box->buttons().front()->click();
    });
    boxes->start(50);
    QTimer::singleShot(kBoundMs, &form, [fail] { fail(3, "no end within two minutes"); });
  });
  return failure != 0 ? failure : code;
}
