#pragma once
// A push button that draws its caption in its own font, takes keyboard focus and then shows a
// focus rectangle. A mouse click, or Space/Enter while it has the focus, emits clicked() once
// and raises the bound OnClick handler once.

#include <QPushButton>

#include "ui/click_event.h"

namespace tavo::ui {

class TStyledButton : public QPushButton, public TClickEvent {
  Q_OBJECT
  Q_PROPERTY(int fontPixelSize READ FontPixelSize WRITE SetFontPixelSize)
  Q_PROPERTY(QColor textColor READ TextColor WRITE SetTextColor)
  Q_PROPERTY(QString onClick READ OnClickName WRITE SetOnClickName)

 public:
  explicit TStyledButton(QWidget* parent = nullptr);

  int FontPixelSize() const;
  void SetFontPixelSize(int pixels);
  QColor TextColor() const;
  void SetTextColor(const QColor& color);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace tavo::ui
