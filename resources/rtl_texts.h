#pragma once
// Messages of the runtime layer (German, UTF-8).

namespace tavo::res {

// Assigning settings between objects whose classes do not fit: source class, target class.
inline constexpr const char kAssignError[] = "%s kann nicht zu %s zugewiesen werden";

}  // namespace tavo::res
