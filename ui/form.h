#pragma once
// A form: one top-level window with a fixed dialog frame whose title bar carries only the close
// button and no icon, centred on the screen when it is first shown, its background the
// button-face colour. Everything about it comes from its layout (ui/layout.h): the client size,
// the default font, the caption, its controls, the tab order, the control that holds the focus
// at first, and by name the handler each control's click calls.

#include <cstdint>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "ui/application.h"
#include "ui/controls.h"
#include "ui/layout.h"

namespace tavo::ui {

class TForm {
 public:
  // Creates the window hidden, with every control of the layout.
  explicit TForm(const TFormLayout& layout);
  virtual ~TForm();
  TForm(const TForm&) = delete;
  TForm& operator=(const TForm&) = delete;

  const TFormLayout& Layout() const { return layout_; }
  const std::string& Caption() const { return caption_; }

  // Shows the form; the first time centred on the screen with the layout's first control
  // focused.
  void Show();
  // Hides the form. Closing the form that TApplication::Run runs ends the message loop. The
  // window's own close button does the same.
  void Close();
  bool Visible() const;

  // The controls, in the layout's order.
  const std::vector<std::unique_ptr<TControl>>& Controls() const { return controls_; }
  // The control of that name; null when the layout has none.
  TControl* FindControl(std::string_view name) const;

  // The backend's own object for the window (a QWidget*, an HWND).
  std::uintptr_t Handle() const;

  struct TImpl;
  TImpl& Impl() const { return *impl_; }

 protected:
  // The control of that name as the kind the form expects. A name the layout lacks, or a
  // control of another kind, is a fault of the layout or the form: std::logic_error, raised
  // when the form is created.
  template <typename T>
  T* Component(std::string_view name) const {
    T* control = dynamic_cast<T*>(FindControl(name));
    if (control == nullptr) {
      throw std::logic_error("the layout " + std::string(layout_.Name) + " has no control " +
                             std::string(name) + " of the kind its form expects");
    }
    return control;
  }

  // Binds the click event of every control whose layout names a handler to the handler of that
  // name. A name without a handler raises std::logic_error, so it shows when the form is first
  // created.
  void BindHandlers(const std::map<std::string, THandler, std::less<>>& handlers);

 private:
  // Creates every control of the layout; the backend's constructor calls it once its window
  // exists.
  void CreateControls();

  const TFormLayout& layout_;
  std::string caption_;
  std::unique_ptr<TImpl> impl_;
  std::vector<std::unique_ptr<TControl>> controls_;
};

}  // namespace tavo::ui
