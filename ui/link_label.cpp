#include "ui/link_label.h"

#include <QMouseEvent>

namespace tavo::ui {

TLinkLabel::TLinkLabel(QWidget* parent) : TLabel(parent) {
  setCursor(Qt::PointingHandCursor);
}

void TLinkLabel::mousePressEvent(QMouseEvent* event) {
  pressed_ = event->button() == Qt::LeftButton;
  TLabel::mousePressEvent(event);
}

void TLinkLabel::mouseReleaseEvent(QMouseEvent* event) {
  // A click is press and release on the label; dragging off it first cancels.
  const bool click = pressed_ && event->button() == Qt::LeftButton &&
                     rect().contains(event->position().toPoint());
  pressed_ = false;
  TLabel::mouseReleaseEvent(event);
  if (click) Click();
}

}  // namespace tavo::ui
