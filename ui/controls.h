#pragma once
// The controls a form is made of: text labels, the link label, styled push buttons, the bevel
// and the status bar. A form creates them from its layout (ui/layout.h) and owns them; code
// reaches them by name (TForm::Component) and through what is declared here.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "ui/application.h"
#include "ui/layout.h"

namespace tavo::ui {

class TForm;

class TControl {
 public:
  virtual ~TControl();
  TControl(const TControl&) = delete;
  TControl& operator=(const TControl&) = delete;

  const std::string& Name() const { return name_; }
  const TControlLayout& Layout() const { return layout_; }
  TForm& Form() const { return form_; }

  // The backend's own object for this control (a QWidget*, an HWND), for tests and the
  // backend itself.
  std::uintptr_t Handle() const;

  struct TImpl;
  TImpl& Impl() const { return *impl_; }

 protected:
  TControl(TForm& form, const TControlLayout& layout);

 private:
  TForm& form_;
  const TControlLayout& layout_;
  std::string name_;
  std::unique_ptr<TImpl> impl_;
};

// The click event of a control, bound by name: the layout names the form's handler, the form
// binds the handler of that name (TForm::BindHandlers), and the control raises it through
// CallHandler.
class TClickEvent {
 public:
  const THandler& OnClick() const { return on_click_; }
  void SetOnClick(THandler value) { on_click_ = std::move(value); }

 protected:
  ~TClickEvent() = default;
  // Raises OnClick when assigned.
  void RaiseClick() const {
    if (on_click_) CallHandler(on_click_);
  }

 private:
  THandler on_click_;
};

// Plain text, broken into lines at each CR (a CR LF counts once). With AutoSize (from the
// layout) it grows or shrinks to fit its text while its top-left corner stays put.
class TLabel : public TControl {
 public:
  TLabel(TForm& form, const TControlLayout& layout);

  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& value);
  bool AutoSize() const { return Layout().AutoSize; }

 private:
  std::string caption_;
};

// A label that works as a link: hand cursor while the mouse is over it; a click (press and
// release on it with the left button) raises OnClick.
class TLinkLabel : public TLabel, public TClickEvent {
 public:
  TLinkLabel(TForm& form, const TControlLayout& layout);
  // The click as the window system reports it.
  void Clicked() const { RaiseClick(); }
};

// A push button that draws its caption in its own font, takes keyboard focus and then shows a
// focus rectangle. A mouse click, or Space/Enter while it has the focus, raises OnClick once.
class TStyledButton : public TControl, public TClickEvent {
 public:
  TStyledButton(TForm& form, const TControlLayout& layout);

  const std::string& Caption() const { return caption_; }
  // Presses the button as a click would.
  void Click() const { RaiseClick(); }

 private:
  std::string caption_;
};

// A lowered rectangular frame and nothing else; it takes no clicks and no focus.
class TBevel : public TControl {
 public:
  TBevel(TForm& form, const TControlLayout& layout);
};

// One simple text over the whole width, no panels.
class TStatusBar : public TControl {
 public:
  TStatusBar(TForm& form, const TControlLayout& layout);

  const std::string& SimpleText() const { return simple_text_; }
  // Replaces what is shown, on one line; the new text is painted at once, also inside a long
  // blocking call.
  void SetSimpleText(const std::string& value);

  // Called after every SetSimpleText, also when the text stays the same (tests follow the
  // statuses through it).
  std::function<void()> OnSimpleTextChanged;

 private:
  std::string simple_text_;
};

// Captions keep the system's line breaks: each CR, LF or CR LF starts a new line. Returns the
// text with every line break written as `lineBreak`.
std::string WithLineBreaks(const std::string& caption, const char* lineBreak);

}  // namespace tavo::ui
