#pragma once
// Application-wide services of the window layer: the application object with its message
// loop, the busy cursor, processing of pending messages, the native handle for shell dialogs,
// and the dispatch of bound event handlers with the error box for errors that escape them.
//
// This surface names no toolkit type. Each build links one backend behind it: Qt 6 Widgets
// (ui/qt) or plain Win32 (ui/win32).

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace tavo::ui {

class TForm;

// Switches the application-wide busy (hourglass) cursor on or off. Switching it on twice needs
// one switch off, as with a single cursor setting.
void SetBusyCursor(bool on);
bool BusyCursor();

// Lets the windows repaint and handle queued input, then returns.
void ProcessMessages();

// Native handle of the application's active top-level window (the owner of any dialog the shell
// shows), 0 when there is none.
std::uintptr_t ApplicationWindowHandle();

// An event handler as the layout binds it to a control (see TForm::BindHandlers).
using THandler = std::function<void()>;

// Calls a bound handler; every event a control of this layer raises goes through here. An error
// that escapes the handler ends here: it is shown in the application's error box and the
// program goes on. It never unwinds into the window system's code (a window procedure, a
// toolkit's signal delivery), which is not built to be unwound through.
void CallHandler(const THandler& handler);

// Answers message boxes without showing them, for a driver that runs the program without
// anyone at the screen (the demo's headless mode): when set, every box is handed to it as title
// and text instead, and counts as closed with its only button. Tests of the boxes leave it
// unset.
using TBoxAnswer = std::function<void(const std::string& title, const std::string& text)>;
void SetBoxAnswer(TBoxAnswer answer);

// Where the window system can run without a display (Qt's offscreen platform), the next
// application object uses it. A Win32 program always needs a desktop; there it does nothing.
void PreferOffscreen();

// The application object: one per program, created before any form. It holds the title and
// button caption of the box that shows an error escaped from a handler.
class TApplication {
 public:
  // Of the command line only the program's own path (argv[0]) reaches the window system.
  TApplication(int argc, char** argv);
  ~TApplication();
  TApplication(const TApplication&) = delete;
  TApplication& operator=(const TApplication&) = delete;

  // The application object of this program; null before it exists and after its end.
  static TApplication* Instance();

  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& value) { title_ = value; }
  void SetOkCaption(const std::string& value) { ok_caption_ = value; }

  // Runs the message loop until `mainForm` closes; returns the program's exit code.
  int Run(TForm& mainForm);

  // Shows an error that escaped a handler; the busy cursor of the interrupted action goes off
  // first.
  void ShowException(const std::string& message);

  struct TImpl;

 private:
  std::unique_ptr<TImpl> impl_;
  std::string title_;
  std::string ok_caption_;
};

}  // namespace tavo::ui
