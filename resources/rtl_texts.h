#pragma once
// Messages of the runtime layer (UTF-8), German with their English twins; a few are the
// runtime's own English texts, the same in both languages.

#include "resources/text.h"

namespace tavo::res {

// Assigning settings between objects whose classes do not fit: source class, target class.
inline constexpr TText kAssignError{"%s kann nicht zu %s zugewiesen werden",
                                    "%s cannot be assigned to %s"};
// An index outside a list (component list, string list): the index.
inline constexpr TText kListIndexError{"List index out of bounds (%d)"};

// A file stream that cannot be made: the full path, then the system's reason.
inline constexpr TText kFCreateError{"Datei \"%s\" kann nicht erstellt werden. %s",
                                     "Cannot create file \"%s\". %s"};
inline constexpr TText kFOpenError{"Datei %s kann nicht geöffnet werden. %s",
                                   "Cannot open file %s. %s"};
// A write (or the flush or close that completes it) that the system refused: the full path,
// then the system's reason.
inline constexpr TText kFWriteError{"Datei \"%s\" kann nicht geschrieben werden. %s",
                                    "Cannot write file \"%s\". %s"};

// Text that is no number under the runtime's conversion rules.
inline constexpr TText kInvalidInteger{"'%s' is not a valid integer value"};

// A date or time of day that does not exist (month 13, 31 April, hour 24, ...); the runtime's
// own texts, as the framework raised them.
inline constexpr TText kDateEncodeError{"Invalid argument to date encode"};
inline constexpr TText kTimeEncodeError{"Invalid argument to time encode"};

}  // namespace tavo::res
