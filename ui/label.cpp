#include "ui/label.h"

#include <QEvent>

#include "ui/look.h"

namespace tavo::ui {

TLabel::TLabel(QWidget* parent) : QLabel(parent) {
  setTextFormat(Qt::PlainText);  // a caption is never markup
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
  setWordWrap(false);
  setFocusPolicy(Qt::NoFocus);
  setMargin(0);
  setIndent(0);
}

void TLabel::SetCaption(const std::string& value) {
  caption_ = value;
  setText(DisplayText(value));
  FitToText();
}

void TLabel::SetAutoSize(bool value) {
  auto_size_ = value;
  FitToText();
}

int TLabel::FontPixelSize() const { return ui::FontPixelSize(this); }
void TLabel::SetFontPixelSize(int pixels) { ui::SetFontPixelSize(this, pixels); }
QColor TLabel::TextColor() const { return ui::TextColor(this); }
void TLabel::SetTextColor(const QColor& color) { ui::SetTextColor(this, color); }

void TLabel::changeEvent(QEvent* event) {
  QLabel::changeEvent(event);
  if (event->type() == QEvent::FontChange) FitToText();
}

void TLabel::FitToText() {
  if (!auto_size_) return;
  // resize() keeps the top-left corner where the layout put it.
  resize(sizeHint());
}

}  // namespace tavo::ui
