#include "platform/dll_search.h"

namespace tavo::platform {

void RestrictDllSearch() {}

}  // namespace tavo::platform
