#include "ui/look.h"

#include <QPalette>

namespace tavo::ui {

int FontPixelSize(const QWidget* widget) { return widget->font().pixelSize(); }

void SetFontPixelSize(QWidget* widget, int pixels) {
  QFont font = widget->font();
  font.setPixelSize(pixels);
  widget->setFont(font);
}

QColor TextColor(const QWidget* widget) { return widget->palette().color(QPalette::WindowText); }

void SetTextColor(QWidget* widget, const QColor& color) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::WindowText, color);
  palette.setColor(QPalette::ButtonText, color);
  palette.setColor(QPalette::Text, color);
  widget->setPalette(palette);
}

QString DisplayText(const std::string& caption) {
  QString text = QString::fromStdString(caption);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QChar('\r'), QChar('\n'));
  return text;
}

}  // namespace tavo::ui
