#pragma once
// What a program needs to write a file so that nobody ever finds it half written: a new file
// beside the destination, made exclusively, and a final step that puts it in the
// destination's place at once (replacing what is there, or never replacing anything).
//
// Paths are UTF-8. Results carry the system's own words for a failure.

#include <string>

namespace tavo::platform {

// What a path leads to, following symbolic links.
enum class TPathKind {
  pkMissing,  // nothing, or a symbolic link to nothing
  pkFile,     // a regular file
  pkFolder,
  pkOther,  // a device, a FIFO, a socket, a terminal: written in place, never replaced
};
TPathKind PathKind(const std::string& path);

// True when anything at all carries that name, a symbolic link to nothing included.
bool PathEntryExists(const std::string& path);

enum class TFsResult { frDone, frExists, frFailed };

// Makes a new empty file that did not exist before (O_EXCL; CREATE_NEW on Windows), with the
// access a new file gets by default (the umask's). frExists when the name is taken.
TFsResult CreateNewFile(const std::string& path, std::string& reason);

// Puts `from` in the place of `to` in one step. With `replace`, an existing `to` (a symbolic
// link is replaced itself, not followed) gives way; without it, frExists when anything carries
// the name `to`, a dangling link included, and nothing changes.
TFsResult MoveIntoPlace(const std::string& from, const std::string& to, bool replace,
                        std::string& reason);

// Removes a file; false when it could not be removed (or was not there).
bool RemoveFile(const std::string& path);

}  // namespace tavo::platform
