#include "ui/application.h"

#include <QCursor>
#include <QWidget>
#include <exception>

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

void CallHandler(const THandler& handler) {
  try {
    handler();
  } catch (const std::exception& error) {
    if (auto* application = qobject_cast<TApplication*>(QCoreApplication::instance())) {
      application->ShowException(error.what());
    } else {
      // Only the launcher's own application object knows the box's title and caption.
      SetBusyCursor(false);
      ShowMessageBox(error.what(), {}, mtError, {});
    }
  }
}

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

void TApplication::ShowException(const char* message) {
  // The busy cursor of an interrupted action would otherwise stay on over the box.
  SetBusyCursor(false);
  ShowMessageBox(message, title_, mtError, ok_caption_);
}

}  // namespace tavo::ui
