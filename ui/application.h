#pragma once
// Application-wide services of the window layer: the busy cursor, processing of pending
// messages, the native handle for shell dialogs, and the error box for errors that escape an
// event handler.

#include <QApplication>
#include <cstdint>
#include <string>

namespace tavo::ui {

// Switches the application-wide busy (hourglass) cursor on or off. Switching it on twice needs
// one switch off, as with a single cursor setting.
void SetBusyCursor(bool on);
bool BusyCursor();

// Lets the windows repaint and handle queued input, then returns.
void ProcessMessages();

// Native handle of the application's active top-level window, 0 when there is none.
std::uintptr_t ApplicationWindowHandle();

// The application object. An error (rtl::Exception or any std::exception) that escapes an event
// handler is shown in an error box with the error's message, and the program goes on.
class TApplication : public QApplication {
  Q_OBJECT

 public:
  TApplication(int& argc, char** argv);

  // Title and button caption of the box for escaped errors.
  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& value) { title_ = value; }
  const std::string& OkCaption() const { return ok_caption_; }
  void SetOkCaption(const std::string& value) { ok_caption_ = value; }

  bool notify(QObject* receiver, QEvent* event) override;

 private:
  void ShowException(const char* message);
  std::string title_;
  std::string ok_caption_;
};

}  // namespace tavo::ui
