#pragma once
// Messages of the runtime layer (German, UTF-8).

namespace tavo::res {

// Assigning settings between objects whose classes do not fit: source class, target class.
inline constexpr const char kAssignError[] = "%s kann nicht zu %s zugewiesen werden";
// An index outside a list (component list, string list): the index.
inline constexpr const char kListIndexError[] = "List index out of bounds (%d)";

}  // namespace tavo::res
