#pragma once
// Application-wide services of the window layer: the busy cursor, processing of pending
// messages, the native handle for shell dialogs, and the dispatch of bound event handlers with
// the error box for errors that escape them.

#include <QApplication>
#include <cstdint>
#include <functional>
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

// An event handler as the layout binds it to a control (see TForm::BindHandlers).
using THandler = std::function<void()>;

// Calls a bound handler; every event a control of this layer raises goes through here. An error
// (rtl::Exception or any std::exception) that escapes the handler ends here: it is shown in the
// application's error box and the program goes on. It never unwinds into the window system's
// own signal and event delivery, which is not built to be unwound through.
void CallHandler(const THandler& handler);

// The application object. It holds the title and button caption of the box that shows an error
// escaped from a handler.
class TApplication : public QApplication {
  Q_OBJECT

 public:
  TApplication(int& argc, char** argv);

  // Title and button caption of the box for escaped errors.
  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& value) { title_ = value; }
  const std::string& OkCaption() const { return ok_caption_; }
  void SetOkCaption(const std::string& value) { ok_caption_ = value; }

  // Shows an error that escaped a handler; the busy cursor of the interrupted action goes off
  // first.
  void ShowException(const char* message);

 private:
  std::string title_;
  std::string ok_caption_;
};

}  // namespace tavo::ui
