#pragma once
// Messages of the runtime layer (German, UTF-8).

namespace tavo::res {

// Assigning settings between objects whose classes do not fit: source class, target class.
inline constexpr const char kAssignError[] = "%s kann nicht zu %s zugewiesen werden";
// An index outside a list (component list, string list): the index.
inline constexpr const char kListIndexError[] = "List index out of bounds (%d)";

// A file stream that cannot be made: the full path, then the system's reason.
inline constexpr const char kFCreateError[] = "Datei \"%s\" kann nicht erstellt werden. %s";
inline constexpr const char kFOpenError[] = "Datei %s kann nicht geöffnet werden. %s";
// A write (or the flush or close that completes it) that the system refused: the full path,
// then the system's reason.
inline constexpr const char kFWriteError[] = "Datei \"%s\" kann nicht geschrieben werden. %s";

// Text that is no number under the runtime's conversion rules.
inline constexpr const char kInvalidInteger[] = "'%s' is not a valid integer value";

// A date or time of day that does not exist (month 13, 31 April, hour 24, ...); the runtime's
// own texts, as the framework raised them.
inline constexpr const char kDateEncodeError[] = "Invalid argument to date encode";
inline constexpr const char kTimeEncodeError[] = "Invalid argument to time encode";

}  // namespace tavo::res
