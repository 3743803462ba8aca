#pragma once
// Modal message boxes with one button.

#include <string>

namespace tavo::ui {

enum TMsgDlgType { mtError, mtInformation };

// The result of a box closed with its only button (also by Esc or the title bar's close
// button, since that button is also the cancel button).
inline constexpr int mrOk = 1;

// Shows `text` (lines broken at each CR, long lines word-wrapped) in a modal box centred on the
// screen, with the system's icon for `type`, the title and one button, which is both the default
// (Enter) and the cancel button (Esc). Returns when the user has closed it. With a box answer
// set (SetBoxAnswer) the box is handed to it instead of being shown.
int ShowMessageBox(const std::string& text, const std::string& title, TMsgDlgType type,
                   const std::string& buttonCaption);

// For the backends: true when a box answer took the box.
bool AnsweredWithoutBox(const std::string& title, const std::string& text);

}  // namespace tavo::ui
