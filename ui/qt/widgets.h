#pragma once
// The Qt widgets behind the window layer's form and controls, and how the layer reaches them.
// Nothing outside ui/qt sees these.

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QWidget>
#include <functional>

#include "ui/controls.h"
#include "ui/form.h"

namespace tavo::ui {

struct TForm::TImpl {
  QWidget* widget = nullptr;
};

struct TControl::TImpl {
  QWidget* widget = nullptr;
};

namespace qt {

// The top-level window: fixed dialog frame with only the close button, button-face background,
// centred and with its first control focused when it is first shown.
class FormWidget : public QWidget {
 public:
  explicit FormWidget(const TFormLayout& layout);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  const TFormLayout& layout_;
  bool shown_before_ = false;
};

// A label that fits itself to its text when asked to, keeping its top-left corner.
class LabelWidget : public QLabel {
 public:
  LabelWidget(QWidget* parent, bool autoSize);
  void FitToText();

 protected:
  void changeEvent(QEvent* event) override;

 private:
  bool auto_size_;
};

// A label that reports a left click (press and release on it) as a click.
class LinkWidget : public LabelWidget {
 public:
  LinkWidget(QWidget* parent, std::function<void()> onClick);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  std::function<void()> on_click_;
  bool pressed_ = false;
};

// A push button that always draws its focus rectangle and takes Enter as well as Space.
class ButtonWidget : public QPushButton {
 public:
  ButtonWidget(QWidget* parent, std::function<void()> onClick);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
};

// Applies a layout's font and text colour to a widget.
void ApplyLook(QWidget* widget, const TFontStyle& font, const TColor& color);

// A caption with the system's line breaks as Qt shows them.
QString DisplayText(const std::string& caption);

}  // namespace qt
}  // namespace tavo::ui
