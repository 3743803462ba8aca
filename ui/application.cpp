#include "ui/application.h"

#include <QCursor>
#include <QWidget>
#include <exception>

#include "rtl/exception.h"
#include "ui/dialogs.h"

namespace tavo::ui {

namespace {
bool busy = false;
}  // namespace

void SetBusyCursor(bool on) {
  if (on == busy) return;
  busy = on;
  if (on) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else {
    QApplication::restoreOverrideCursor();
  }
}

bool BusyCursor() { return busy; }

void ProcessMessages() { QApplication::processEvents(); }

std::uintptr_t ApplicationWindowHandle() {
  QWidget* window = QApplication::activeWindow();
  if (window == nullptr) {
    for (QWidget* candidate : QApplication::topLevelWidgets()) {
      if (candidate->isVisible()) {
        window = candidate;
        break;
      }
    }
  }
  return window != nullptr ? static_cast<std::uintptr_t>(window->winId()) : 0;
}

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& error) {
    ShowException(error.what());
  }
  return true;
}

void TApplication::ShowException(const char* message) {
  // The busy cursor of an interrupted action would otherwise stay on over the box.
  SetBusyCursor(false);
  ShowMessageBox(message, title_, mtError, ok_caption_);
}

}  // namespace tavo::ui
