#pragma once
// Messages of the runtime layer (German, UTF-8).

namespace tavo::res {

// Assigning settings between objects whose classes do not fit: source class, target class.
inline constexpr const char kAssignError[] = "%s kann nicht zu %s zugewiesen werden";

// A date or time of day that does not exist (month 13, 31 April, hour 24, ...); the runtime's
// own texts, as the framework raised them.
inline constexpr const char kDateEncodeError[] = "Invalid argument to date encode";
inline constexpr const char kTimeEncodeError[] = "Invalid argument to time encode";

}  // namespace tavo::res
