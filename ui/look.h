#pragma once
// Font size in pixels and text colour, the two looks the layout gives each control beyond what
// Qt's own properties express (Qt's font property knows points only; the layout is in pixels
// at 96 dots per inch).

#include <QColor>
#include <QWidget>

namespace tavo::ui {

int FontPixelSize(const QWidget* widget);
void SetFontPixelSize(QWidget* widget, int pixels);

// The colour text is drawn in: WindowText for labels and forms, ButtonText for buttons.
QColor TextColor(const QWidget* widget);
void SetTextColor(QWidget* widget, const QColor& color);

// Captions keep the system's line breaks: each CR (or CR LF) starts a new line.
QString DisplayText(const std::string& caption);

}  // namespace tavo::ui
