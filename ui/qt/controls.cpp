#include <QEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "ui/controls.h"
#include "ui/form.h"
#include "ui/qt/widgets.h"

namespace tavo::ui {

namespace qt {

void ApplyLook(QWidget* widget, const TFontStyle& style, const TColor& color) {
  // Qt's font property knows points; the layout is in pixels at 96 dpi.
  QFont font = widget->font();
  font.setFamily(QString::fromUtf8(style.Family));
  font.setPixelSize(style.PixelSize);
  font.setBold(style.Bold);
  font.setUnderline(style.Underline);
  widget->setFont(font);
  if (color.System) return;
  QPalette palette = widget->palette();
  const QColor rgb(color.Red, color.Green, color.Blue);
  palette.setColor(QPalette::WindowText, rgb);
  palette.setColor(QPalette::ButtonText, rgb);
  palette.setColor(QPalette::Text, rgb);
  widget->setPalette(palette);
}

QString DisplayText(const std::string& caption) {
  return QString::fromStdString(WithLineBreaks(caption, "\n"));
}

LabelWidget::LabelWidget(QWidget* parent, bool autoSize) : QLabel(parent), auto_size_(autoSize) {
  setTextFormat(Qt::PlainText);  // a caption is never markup
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
  setWordWrap(false);
  setFocusPolicy(Qt::NoFocus);
  setMargin(0);
  setIndent(0);
}

void LabelWidget::FitToText() {
  // resize() keeps the top-left corner where the layout put it.
  if (auto_size_) resize(sizeHint());
}

void LabelWidget::changeEvent(QEvent* event) {
  QLabel::changeEvent(event);
  if (event->type() == QEvent::FontChange) FitToText();
}

LinkWidget::LinkWidget(QWidget* parent, std::function<void()> onClick)
    : LabelWidget(parent, false), on_click_(std::move(onClick)) {
  setCursor(Qt::PointingHandCursor);
}

void LinkWidget::mousePressEvent(QMouseEvent* event) {
  pressed_ = event->button() == Qt::LeftButton;
  LabelWidget::mousePressEvent(event);
}

void LinkWidget::mouseReleaseEvent(QMouseEvent* event) {
  // A click is press and release on the label; dragging off it first cancels.
  const bool click = pressed_ && event->button() == Qt::LeftButton &&
                     rect().contains(event->position().toPoint());
  pressed_ = false;
  LabelWidget::mouseReleaseEvent(event);
  if (click) on_click_();
}

ButtonWidget::ButtonWidget(QWidget* parent, std::function<void()> onClick) : QPushButton(parent) {
  setFocusPolicy(Qt::StrongFocus);
  setAutoDefault(false);
  connect(this, &QAbstractButton::clicked, this, std::move(onClick));
}

void ButtonWidget::paintEvent(QPaintEvent* event) {
  QPushButton::paintEvent(event);
  if (!hasFocus()) return;
  // Styles differ in whether and how they mark the focused button; the launcher is used from
  // the keyboard too, so the dotted rectangle is always drawn inside the face.
  QPainter painter(this);
  painter.setPen(QPen(palette().color(QPalette::ButtonText), 1, Qt::DotLine));
  painter.drawRect(rect().adjusted(4, 4, -5, -5));
}

void ButtonWidget::keyPressEvent(QKeyEvent* event) {
  if (!event->isAutoRepeat() && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
    click();
    return;
  }
  QPushButton::keyPressEvent(event);
}

namespace {

QWidget* CreateWidget(TControl& control, QWidget* parent) {
  const TControlLayout& layout = control.Layout();
  switch (layout.Kind) {
    case TControlKind::ckLabel: return new LabelWidget(parent, layout.AutoSize);
    case TControlKind::ckLinkLabel:
      return new LinkWidget(parent, [&control] { static_cast<TLinkLabel&>(control).Clicked(); });
    case TControlKind::ckStyledButton:
      return new ButtonWidget(parent, [&control] { static_cast<TStyledButton&>(control).Click(); });
    case TControlKind::ckBevel: {
      auto* frame = new QFrame(parent);
      frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
      frame->setLineWidth(1);
      frame->setFocusPolicy(Qt::NoFocus);
      // It only frames what lies on it; clicks go to the controls it encloses.
      frame->setAttribute(Qt::WA_TransparentForMouseEvents);
      return frame;
    }
    case TControlKind::ckStatusBar: {
      auto* bar = new QStatusBar(parent);
      bar->setSizeGripEnabled(false);
      bar->setFocusPolicy(Qt::NoFocus);
      auto* text = new QLabel(bar);
      text->setTextFormat(Qt::PlainText);
      bar->addWidget(text, 1);
      return bar;
    }
  }
  return nullptr;
}

}  // namespace
}  // namespace qt

TControl::TControl(TForm& form, const TControlLayout& layout)
    : form_(form), layout_(layout), name_(layout.Name), impl_(std::make_unique<TImpl>()) {
  QWidget* widget = qt::CreateWidget(*this, form.Impl().widget);
  impl_->widget = widget;
  widget->setObjectName(QString::fromUtf8(layout.Name));
  widget->setGeometry(layout.Bounds.Left, layout.Bounds.Top, layout.Bounds.Width,
                      layout.Bounds.Height);
  qt::ApplyLook(widget, layout.Font, layout.Color);
}

TControl::~TControl() { delete impl_->widget; }

std::uintptr_t TControl::Handle() const { return reinterpret_cast<std::uintptr_t>(impl_->widget); }

void TLabel::SetCaption(const std::string& value) {
  caption_ = value;
  auto* label = static_cast<qt::LabelWidget*>(Impl().widget);
  label->setText(qt::DisplayText(value));
  label->FitToText();
}

TStyledButton::TStyledButton(TForm& form, const TControlLayout& layout)
    : TControl(form, layout), caption_(layout.Caption) {
  static_cast<QPushButton*>(Impl().widget)->setText(QString::fromStdString(caption_));
}

TBevel::TBevel(TForm& form, const TControlLayout& layout) : TControl(form, layout) {}

TStatusBar::TStatusBar(TForm& form, const TControlLayout& layout) : TControl(form, layout) {}

void TStatusBar::SetSimpleText(const std::string& value) {
  simple_text_ = value;
  auto* bar = static_cast<QStatusBar*>(Impl().widget);
  // One line only: a line break in a status text would be cut off by the bar's height.
  bar->findChild<QLabel*>()->setText(QString::fromStdString(WithLineBreaks(value, " ")));
  // The window handles no messages during a blocking network call; repaint now so each status
  // is seen when it is reported.
  if (bar->isVisible()) bar->repaint();
  if (OnSimpleTextChanged) OnSimpleTextChanged();
}

}  // namespace tavo::ui
