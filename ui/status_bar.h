#pragma once
// A status bar with one simple text over its whole width and no panels.

#include <QStatusBar>
#include <string>

class QLabel;

namespace tavo::ui {

class TStatusBar : public QStatusBar {
  Q_OBJECT

 public:
  explicit TStatusBar(QWidget* parent = nullptr);

  const std::string& SimpleText() const { return simple_text_; }
  // Replaces what is shown; the new text is painted at once, also inside a long blocking call.
  void SetSimpleText(const std::string& value);

 signals:
  // After every SetSimpleText, also when the text stays the same.
  void SimpleTextChanged();

 private:
  QLabel* text_;
  std::string simple_text_;
};

}  // namespace tavo::ui
