#pragma once
// Starting a program or opening a web address through the desktop shell, the German texts for
// a failed launch, and the launcher's two message boxes.

#include <cstdint>
#include <string>

namespace tavo::app {

// Opens `path` (a file or a web address) through the shell. True when the shell accepted the
// request; otherwise the reason has been shown in the information box and the result is false.
bool LaunchFile(const std::string& path);

// The text for a shell result code: a fixed text for each code the shell documents, a general
// text with the code in decimal for any other code of 32 or less, and the empty text above 32
// (no failure).
std::string LaunchErrorText(int32_t code);

// The error box and the information box: modal, German titles in both language modes, one
// button. ShowInfoBox returns how the box was closed (ui::mrOk).
void ShowErrorBox(const std::string& text);
int ShowInfoBox(const std::string& text);

}  // namespace tavo::app
