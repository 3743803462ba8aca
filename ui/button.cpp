#include "ui/button.h"

#include <QKeyEvent>
#include <QPainter>

#include "ui/look.h"

namespace tavo::ui {

TStyledButton::TStyledButton(QWidget* parent) : QPushButton(parent) {
  setFocusPolicy(Qt::StrongFocus);
  setAutoDefault(false);
  connect(this, &QAbstractButton::clicked, this, [this] { Click(); });
}

int TStyledButton::FontPixelSize() const { return ui::FontPixelSize(this); }
void TStyledButton::SetFontPixelSize(int pixels) { ui::SetFontPixelSize(this, pixels); }
QColor TStyledButton::TextColor() const { return palette().color(QPalette::ButtonText); }
void TStyledButton::SetTextColor(const QColor& color) { ui::SetTextColor(this, color); }

void TStyledButton::paintEvent(QPaintEvent* event) {
  QPushButton::paintEvent(event);
  if (!hasFocus()) return;
  // Styles differ in whether and how they mark the focused button; the launcher is used from
  // the keyboard too, so the dotted rectangle is always drawn inside the face.
  QPainter painter(this);
  painter.setPen(QPen(palette().color(QPalette::ButtonText), 1, Qt::DotLine));
  painter.drawRect(rect().adjusted(4, 4, -5, -5));
}

void TStyledButton::keyPressEvent(QKeyEvent* event) {
  if (!event->isAutoRepeat() && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
    click();
    return;
  }
  QPushButton::keyPressEvent(event);
}

}  // namespace tavo::ui
