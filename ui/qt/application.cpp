#include <QApplication>
#include <QCursor>
#include <QWidget>

#include "ui/application.h"
#include "ui/form.h"

namespace tavo::ui {

namespace {
bool busy = false;
TApplication* instance = nullptr;
}  // namespace

struct TApplication::TImpl {
  // QApplication keeps references to both for its whole life.
  int argc = 1;
  char* argv[2] = {nullptr, nullptr};
  std::unique_ptr<QApplication> application;
};

TApplication::TApplication(int /*argc*/, char** argv) : impl_(std::make_unique<TImpl>()) {
  // Options given to the program (-style, -stylesheet, -reverse, -platform and the like) must
  // not change the window: Qt sees the program's path alone.
  impl_->argv[0] = argv[0];
  impl_->application = std::make_unique<QApplication>(impl_->argc, impl_->argv);
  instance = this;
}

TApplication::~TApplication() {
  instance = nullptr;
  busy = false;
}

TApplication* TApplication::Instance() { return instance; }

int TApplication::Run(TForm& mainForm) {
  // A form closed before the loop starts has nothing left to wait for; otherwise closing the
  // last window (the main form) ends the loop.
  if (!mainForm.Visible()) return 0;
  return QApplication::exec();
}

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

void PreferOffscreen() { qputenv("QT_QPA_PLATFORM", "offscreen"); }

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

}  // namespace tavo::ui
