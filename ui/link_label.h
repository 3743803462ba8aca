#pragma once
// A label that works as a link: hand cursor while the mouse is over it; a click raises the bound
// OnClick handler.

#include "ui/click_event.h"
#include "ui/label.h"

namespace tavo::ui {

class TLinkLabel : public TLabel, public TClickEvent {
  Q_OBJECT
  Q_PROPERTY(QString onClick READ OnClickName WRITE SetOnClickName)

 public:
  explicit TLinkLabel(QWidget* parent = nullptr);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  bool pressed_ = false;
};

}  // namespace tavo::ui
