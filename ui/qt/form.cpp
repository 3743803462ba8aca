#include "ui/form.h"

#include <QScreen>
#include <QShowEvent>

#include "ui/qt/widgets.h"

namespace tavo::ui {

namespace qt {

FormWidget::FormWidget(const TFormLayout& layout) : layout_(layout) {
  setObjectName(layout.Name);
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                 Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  QPalette background = palette();
  background.setColor(QPalette::Window, background.color(QPalette::Button));
  setPalette(background);
  setAutoFillBackground(true);
  setWindowTitle(QString::fromUtf8(layout.Caption));
  ApplyLook(this, layout.Font, TColor{});
  // Not resizable: the layout's size is the only size.
  setFixedSize(layout.ClientWidth, layout.ClientHeight);
}

void FormWidget::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (shown_before_ || event->spontaneous()) return;
  shown_before_ = true;
  if (const QScreen* target = screen()) {
    QRect frame = frameGeometry();
    frame.moveCenter(target->availableGeometry().center());
    move(frame.topLeft());
  }
  if (auto* control = findChild<QWidget*>(QString::fromUtf8(layout_.ActiveControl))) {
    control->setFocus(Qt::OtherFocusReason);
  }
}

}  // namespace qt

TForm::TForm(const TFormLayout& layout)
    : layout_(layout), caption_(layout.Caption), impl_(std::make_unique<TImpl>()) {
  impl_->widget = new qt::FormWidget(layout);
  CreateControls();
  // Later controls lie on top of earlier ones (creation order); the tab order is the layout's.
  std::vector<QWidget*> stops(layout.ControlCount, nullptr);
  for (const auto& control : Controls()) {
    if (control->Layout().TabOrder >= 0)
      stops.at(static_cast<std::size_t>(control->Layout().TabOrder)) = control->Impl().widget;
  }
  QWidget* previous = nullptr;
  for (QWidget* stop : stops) {
    if (stop == nullptr) continue;
    if (previous != nullptr) QWidget::setTabOrder(previous, stop);
    previous = stop;
  }
}

TForm::~TForm() {
  controls_.clear();
  delete impl_->widget;
}

void TForm::Show() { impl_->widget->show(); }

void TForm::Close() { impl_->widget->close(); }

bool TForm::Visible() const { return impl_->widget->isVisible(); }

std::uintptr_t TForm::Handle() const { return reinterpret_cast<std::uintptr_t>(impl_->widget); }

}  // namespace tavo::ui
