#pragma once
// A form's layout as data: where each control sits, its size, font, colour, caption, tab order
// and the name of the handler its click calls. Positions and sizes are pixels at 96 dots per
// inch; a backend scales them to the display. The tables come from the layout file that the
// designer edits (cmake/layout_table.py turns it into C++), so both window backends build the
// same form from the same data.

#include <cstddef>
#include <cstdint>

namespace tavo::ui {

struct TRect {
  int Left = 0;
  int Top = 0;
  int Width = 0;
  int Height = 0;
  bool operator==(const TRect&) const = default;
};

// A text colour: the system's window-text colour, or an RGB value.
struct TColor {
  bool System = true;
  uint8_t Red = 0;
  uint8_t Green = 0;
  uint8_t Blue = 0;
};

struct TFontStyle {
  const char* Family;
  int PixelSize;  // the em height in pixels at 96 dpi
  bool Bold;
  bool Underline;
};

enum class TControlKind { ckLabel, ckLinkLabel, ckStyledButton, ckBevel, ckStatusBar };

struct TControlLayout {
  TControlKind Kind;
  const char* Name;
  TRect Bounds;        // in the form's client area; a self-sizing label keeps only its corner
  TFontStyle Font;     // the form's font where the layout names none
  TColor Color;
  const char* Caption;
  const char* OnClick;  // name of the form's handler; "" for none
  bool AutoSize;
  int TabOrder;         // place among the form's tab stops; -1: takes no keyboard focus
};

struct TFormLayout {
  const char* Name;
  const char* Caption;
  int ClientWidth;
  int ClientHeight;
  TFontStyle Font;
  const char* ActiveControl;  // the control that holds the focus when the form opens
  const TControlLayout* Controls;  // in the layout's order: a later control lies on top
  std::size_t ControlCount;
};

}  // namespace tavo::ui
