#include "platform/sleep.h"

#include <windows.h>

namespace tavo::platform {

void Sleep(uint32_t milliseconds) { ::Sleep(static_cast<DWORD>(milliseconds)); }

}  // namespace tavo::platform
