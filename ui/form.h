#pragma once
// A form: one top-level window with a fixed dialog frame whose title bar carries only the close
// button, centred on the screen when it is first shown, its background the button-face colour.
// The layout data gives its size, default font, the control that holds the focus at first, and
// by name the handler each control's event calls.

#include <QString>
#include <QWidget>
#include <map>

#include "ui/application.h"

namespace tavo::ui {

class TForm : public QWidget {
  Q_OBJECT
  Q_PROPERTY(int fontPixelSize READ FontPixelSize WRITE SetFontPixelSize)
  Q_PROPERTY(QColor textColor READ TextColor WRITE SetTextColor)
  // objectName of the control that has the focus when the window opens.
  Q_PROPERTY(QString activeControl READ ActiveControlName WRITE SetActiveControlName)

 public:
  explicit TForm(QWidget* parent = nullptr);

  int FontPixelSize() const;
  void SetFontPixelSize(int pixels);
  QColor TextColor() const;
  void SetTextColor(const QColor& color);

  QString ActiveControlName() const { return active_control_; }
  void SetActiveControlName(const QString& name) { active_control_ = name; }

 protected:
  // Binds the click event of every control whose layout names a handler to the handler of that
  // name among `handlers`. A name without a handler is a fault of the layout or of the form and
  // raises std::logic_error, so it shows when the form is first created.
  void BindHandlers(const std::map<QString, THandler>& handlers);

  void showEvent(QShowEvent* event) override;

 private:
  QString active_control_;
  bool shown_before_ = false;
};

}  // namespace tavo::ui
