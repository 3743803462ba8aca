#pragma once
// Opening a file or a web address the way the desktop shell does it with the verb "open".

#include <cstdint>
#include <functional>
#include <string>

namespace tavo::platform {

// Result codes of a shell launch. Anything above 32 means the shell accepted the request;
// 32 or less is a failure code.
inline constexpr int kShellOk = 42;
inline constexpr int kShellOutOfMemory = 0;
inline constexpr int kShellFileNotFound = 2;
inline constexpr int kShellPathNotFound = 3;
inline constexpr int kShellAccessDenied = 5;
inline constexpr int kShellNotEnoughMemory = 8;
inline constexpr int kShellBadFormat = 11;
inline constexpr int kShellNoAssociation = 31;

// Opens `file` (a path or a web address) and returns with the shell's result code; it never
// waits for the started program. `ownerWindow` is the native handle of the window that owns any
// dialog the shell shows (0: none). `whileWaiting`, when given, is called every few
// milliseconds while the result is not known yet, so a window can keep handling its messages.
//
// On systems other than Windows: a native program (an ELF binary or a "#!" script) is started
// directly in its own session, after its owner's execute bit has been set when it was missing
// (downloads arrive without it); web addresses, folders and every other file go to the desktop's
// opener "xdg-open" found on PATH. Its failures map to the codes above. The opener's verdict can
// take up to 10 s (an opener still running then has found a program: success); that is the wait
// `whileWaiting` fills.
int ShellOpen(const std::string& file, std::uintptr_t ownerWindow = 0,
              const std::function<void()>& whileWaiting = {});

}  // namespace tavo::platform
