#pragma once
// A label that works as a link: hand cursor while the mouse is over it, Click() on a click.

#include "ui/label.h"

namespace tavo::ui {

class TLinkLabel : public TLabel {
  Q_OBJECT

 public:
  explicit TLinkLabel(QWidget* parent = nullptr);

 signals:
  void Click();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  bool pressed_ = false;
};

}  // namespace tavo::ui
