#pragma once
// The click event of a control, bound by name: the layout names the form's handler in the
// control's property "onClick", the form binds the handler of that name (TForm::BindHandlers),
// and the control raises it through CallHandler, so an error escaping the handler is shown
// before it can reach the window system's code.

#include <QString>
#include <utility>

#include "ui/application.h"

namespace tavo::ui {

class TClickEvent {
 public:
  const THandler& OnClick() const { return on_click_; }
  void SetOnClick(THandler value) { on_click_ = std::move(value); }
  // Name of the form's handler, as the layout gives it; empty: none.
  const QString& OnClickName() const { return on_click_name_; }
  void SetOnClickName(const QString& value) { on_click_name_ = value; }

 protected:
  ~TClickEvent() = default;
  // Raises OnClick when assigned.
  void Click() {
    if (on_click_) CallHandler(on_click_);
  }

 private:
  THandler on_click_;
  QString on_click_name_;
};

}  // namespace tavo::ui
