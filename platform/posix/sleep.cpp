#include "platform/sleep.h"

#include <cerrno>
#include <ctime>

namespace tavo::platform {

void Sleep(uint32_t milliseconds) {
  timespec ts{static_cast<time_t>(milliseconds / 1000),
              static_cast<long>(milliseconds % 1000) * 1000000L};
  // A signal may cut the sleep short; sleep the rest so the caller's bound holds.
  while (nanosleep(&ts, &ts) == -1 && errno == EINTR) {
  }
}

}  // namespace tavo::platform
