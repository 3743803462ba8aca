#pragma once
// Ending a command-line program that the user interrupts (Ctrl-C: SIGINT) or that is asked to
// stop (SIGTERM): a last word on standard error, a file that must not stay behind removed,
// and the exit status shells expect (130 and 143; on Windows Ctrl-C gives 130, Ctrl-Break and
// closing the console 143).
//
// The handler runs where the program happens to be, so everything it needs is prepared here
// beforehand; it writes, removes and ends, nothing more.

#include <string>

namespace tavo::platform {

// Installs the handler; the settings below may change at any time afterwards.
void InstallInterruptHandler();
// The text written to standard error (with its line end).
void SetInterruptMessage(const std::string& text);
// Whether a line (a progress meter) is open on standard error: it is ended first.
void SetInterruptLineOpen(bool open);
// The file removed before the program ends; empty: none.
void SetInterruptCleanupFile(const std::string& path);

}  // namespace tavo::platform
