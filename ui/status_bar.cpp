#include "ui/status_bar.h"

#include <QLabel>

#include "ui/look.h"

namespace tavo::ui {

TStatusBar::TStatusBar(QWidget* parent) : QStatusBar(parent), text_(new QLabel(this)) {
  setSizeGripEnabled(false);
  setFocusPolicy(Qt::NoFocus);
  text_->setTextFormat(Qt::PlainText);
  addWidget(text_, 1);
}

void TStatusBar::SetSimpleText(const std::string& value) {
  simple_text_ = value;
  // One line only: a line break in a status text would be cut off by the bar's height.
  QString text = DisplayText(value);
  text.replace(QChar('\n'), QChar(' '));
  text_->setText(text);
  // The window handles no messages during a blocking network call; repaint now so each status
  // is seen when it is reported.
  if (isVisible()) repaint();
  emit SimpleTextChanged();
}

}  // namespace tavo::ui
