#include "ui/form.h"

#include <QScreen>
#include <QShowEvent>
#include <stdexcept>

#include "ui/click_event.h"
#include "ui/look.h"

namespace tavo::ui {

TForm::TForm(QWidget* parent) : QWidget(parent) {
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                 Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  QPalette background = palette();
  background.setColor(QPalette::Window, background.color(QPalette::Button));
  setPalette(background);
  setAutoFillBackground(true);
}

int TForm::FontPixelSize() const { return ui::FontPixelSize(this); }
void TForm::SetFontPixelSize(int pixels) { ui::SetFontPixelSize(this, pixels); }
QColor TForm::TextColor() const { return ui::TextColor(this); }
void TForm::SetTextColor(const QColor& color) { ui::SetTextColor(this, color); }

void TForm::BindHandlers(const std::map<QString, THandler>& handlers) {
  for (QWidget* control : findChildren<QWidget*>()) {
    auto* event = dynamic_cast<TClickEvent*>(control);
    if (event == nullptr || event->OnClickName().isEmpty()) continue;
    const auto handler = handlers.find(event->OnClickName());
    if (handler == handlers.end()) {
      throw std::logic_error("no handler " + event->OnClickName().toStdString() + " for " +
                             control->objectName().toStdString());
    }
    event->SetOnClick(handler->second);
  }
}

void TForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (shown_before_ || event->spontaneous()) return;
  shown_before_ = true;
  // Not resizable: the layout's size is the only size.
  setFixedSize(size());
  if (const QScreen* target = screen()) {
    QRect frame = frameGeometry();
    frame.moveCenter(target->availableGeometry().center());
    move(frame.topLeft());
  }
  if (!active_control_.isEmpty()) {
    if (auto* control = findChild<QWidget*>(active_control_)) control->setFocus(Qt::OtherFocusReason);
  }
}

}  // namespace tavo::ui
