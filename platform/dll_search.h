#pragma once
// Where the program looks for libraries it loads at run time.

namespace tavo::platform {

// Restricts the search for libraries loaded from now on to the system's own folder. Windows
// would otherwise look in the program's folder and the current folder first, so a library of a
// system name planted beside the program (a Downloads folder holding the portable zip) would be
// loaded in the system's place. Elsewhere libraries come from the system's own paths anyway,
// and this does nothing.
void RestrictDllSearch();

}  // namespace tavo::platform
