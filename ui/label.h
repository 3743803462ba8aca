#pragma once
// A static text label: plain text, broken into lines at each CR, and with AutoSize growing or
// shrinking to fit its text while its top-left corner stays put.

#include <QLabel>
#include <string>

namespace tavo::ui {

class TLabel : public QLabel {
  Q_OBJECT
  // For the layout data; code uses Caption()/SetCaption().
  Q_PROPERTY(QString caption READ CaptionText WRITE SetCaptionText)
  Q_PROPERTY(bool autoSize READ AutoSize WRITE SetAutoSize)
  Q_PROPERTY(int fontPixelSize READ FontPixelSize WRITE SetFontPixelSize)
  Q_PROPERTY(QColor textColor READ TextColor WRITE SetTextColor)

 public:
  explicit TLabel(QWidget* parent = nullptr);

  // The caption as given, CRs included (8-bit text, UTF-8).
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& value);

  bool AutoSize() const { return auto_size_; }
  void SetAutoSize(bool value);

  int FontPixelSize() const;
  void SetFontPixelSize(int pixels);
  QColor TextColor() const;
  void SetTextColor(const QColor& color);

 protected:
  void changeEvent(QEvent* event) override;

 private:
  QString CaptionText() const { return QString::fromStdString(caption_); }
  void SetCaptionText(const QString& value) { SetCaption(value.toStdString()); }
  void FitToText();

  std::string caption_;
  bool auto_size_ = false;
};

}  // namespace tavo::ui
