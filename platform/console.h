#pragma once
// What a command-line program needs of its console: whether a standard stream is a terminal,
// writing text so that it reads right there, writing bytes unchanged, the terminal's width, and
// reading a secret without showing it.
//
// Text is UTF-8. On Windows a console is written through its wide-character interface, so every
// letter shows whatever the console's code page; a pipe or a file gets the UTF-8 bytes, on
// every system.

#include <cstddef>
#include <string>
#include <string_view>

namespace tavo::platform {

enum class TStdStream { ssInput, ssOutput, ssError };

// True when the stream is a terminal (a console window on Windows).
bool IsTerminal(TStdStream AStream);

// Writes text to standard output or error, as characters on a console and as UTF-8 bytes
// anywhere else. False when not all of it could be written.
bool WriteText(TStdStream AStream, std::string_view AText);

// Writes bytes unchanged to standard output or error (no line-end conversion); false with the
// system's reason when they could not all be written.
bool WriteBytes(TStdStream AStream, const void* AData, std::size_t ASize, std::string& AReason);

// The columns of the terminal the stream shows in; 0 when it is no terminal or cannot say.
int TerminalColumns(TStdStream AStream);

// Shows APrompt on the terminal and reads one line from it without echo (the line end is not
// part of the value). False when the program has no terminal to ask on.
bool ReadSecret(const std::string& APrompt, std::string& AValue);

}  // namespace tavo::platform
