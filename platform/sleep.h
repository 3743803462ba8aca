#pragma once
#include <cstdint>

namespace tavo::platform {

// Blocks the calling thread for at least the given number of milliseconds (0: yield).
void Sleep(uint32_t milliseconds);

}  // namespace tavo::platform
