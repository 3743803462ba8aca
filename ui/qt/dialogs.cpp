#include "ui/dialogs.h"

#include <QMessageBox>
#include <QPushButton>

#include "ui/qt/widgets.h"

namespace tavo::ui {

int ShowMessageBox(const std::string& text, const std::string& title, TMsgDlgType type,
                   const std::string& buttonCaption) {
  if (AnsweredWithoutBox(title, text)) return mrOk;
  // No parent: the box is centred on the screen, not on the window.
  QMessageBox box(type == mtError ? QMessageBox::Critical : QMessageBox::Information,
                  QString::fromStdString(title), qt::DisplayText(text));
  box.setTextFormat(Qt::PlainText);
  QPushButton* ok = box.addButton(QString::fromStdString(buttonCaption), QMessageBox::AcceptRole);
  box.setDefaultButton(ok);
  box.setEscapeButton(ok);
  box.exec();
  return mrOk;
}

}  // namespace tavo::ui
