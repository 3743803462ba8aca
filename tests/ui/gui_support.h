#pragma once
// Shared by the Qt window tests: the Qt widgets behind the window layer's controls, a watcher that finds and closes modal boxes, and
// guards for the environment the window reads.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/scratch.h"
#include "tests/support/window_environment.h"
#include "ui/application.h"
#include "ui/controls.h"
#include "ui/form.h"

namespace tavo::test {

// The Qt widget behind a control or a form (the backend's handle), as the given class.
template <typename Widget = QWidget>
Widget* Native(const ui::TControl* control) {
  return dynamic_cast<Widget*>(reinterpret_cast<QWidget*>(control->Handle()));
}
template <typename Widget = QWidget>
Widget* Native(const ui::TForm& form) {
  return dynamic_cast<Widget*>(reinterpret_cast<QWidget*>(form.Handle()));
}

// What a modal box showed, as seen by the watcher.
struct SeenBox {
  std::string title;
  std::string text;                  // the text as the box's label shows it (lines at '\n')
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  std::vector<std::string> buttons;  // captions
  bool okIsDefault = false;
  bool okIsEscape = false;
  bool busyCursor = false;           // application busy cursor on while the box was shown
  int labelHeight = 0;               // height the text label asks for
  int oneLineHeight = 0;             // height of one line in the label's font
};

// Watches for modal message boxes and closes each with the given key (Enter or Escape), or by
// clicking its button when key is 0, recording what each one showed.
class BoxWatcher {
 public:
  explicit BoxWatcher(int key = 0) : key_(key) {
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    timer_.start(20);
  }
  const std::vector<SeenBox>& Boxes() const { return boxes_; }

 private:
  void Poll() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible()) return;
    SeenBox seen;
    seen.title = box->windowTitle().toStdString();
    if (auto* label = box->findChild<QLabel*>("qt_msgbox_label")) {
      seen.text = label->text().toStdString();
      seen.labelHeight = label->sizeHint().height();
      seen.oneLineHeight = QFontMetrics(label->font()).height();
    }
    seen.icon = box->icon();
    for (QAbstractButton* button : box->buttons()) seen.buttons.push_back(button->text().toStdString());
    seen.okIsDefault = box->defaultButton() != nullptr && box->buttons().size() == 1 &&
                       static_cast<QAbstractButton*>(box->defaultButton()) == box->buttons().front();
    seen.okIsEscape = box->escapeButton() != nullptr && box->buttons().size() == 1 &&
                      box->escapeButton() == box->buttons().front();
    seen.busyCursor = ui::BusyCursor();
    boxes_.push_back(seen);
    if (key_ == 0) {
      box->buttons().front()->click();
    } else {
      QKeyEvent press(QEvent::KeyPress, key_, Qt::NoModifier);
      QApplication::sendEvent(box, &press);
    }
  }

  int key_;
  QTimer timer_;
  std::vector<SeenBox> boxes_;
};

// The locale the window reads, for the lifetime of the guard only.
class LocaleGuard {
 public:
  explicit LocaleGuard(const std::string& name)
      : all_("LC_ALL", name), messages_("LC_MESSAGES", std::nullopt), lang_("LANG", std::nullopt) {}

 private:
  EnvGuard all_;
  EnvGuard messages_;
  EnvGuard lang_;
};

// A stand-in for the desktop's opener, first on PATH while the guard lives; it records each
// call's arguments in Record().
class RecordingOpener {
 public:
  RecordingOpener()
      : path_("PATH", dir_ / "bin" + ":" + std::string(::getenv("PATH") ? ::getenv("PATH") : "")) {
    std::filesystem::create_directory(dir_ / "bin");
    std::ofstream(dir_ / "bin/xdg-open") << "#!/bin/sh\nprintf '%s\\n' \"$*\" >> '" << Log()
                                          << "'\nexit 0\n";
    std::filesystem::permissions(dir_ / "bin/xdg-open", std::filesystem::perms::owner_all);
  }
  std::string Log() const { return dir_ / "opener.log"; }
  std::string Record() const { return ReadFile(Log()); }

 private:
  ScratchDir dir_;
  EnvGuard path_;
};

// Waits (bounded, 10 s) for a file that a started program writes and ends with a line break;
// its content, or the empty text when none came.
inline std::string AwaitFile(const std::string& file) {
  for (int i = 0; i < 1000; ++i) {
    const std::string content = ReadFile(file);
    if (!content.empty() && content.back() == '\n') return content;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return {};
}

}  // namespace tavo::test
