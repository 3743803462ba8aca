#pragma once
// The socket handle's readability wait may hand idle time to the transport's idle hook, which
// lives a layer above (net/tcp). That layer installs these three entry points; until it does,
// no hook is in use and every wait is a single Select.

#include <cstdint>

namespace tavo::net {

struct TIdIdleHookAccess {
  bool (*InUse)() = nullptr;                      // IdleHookInUse
  int32_t (*IdleTimeOut)() = nullptr;             // the hook's IdleTimeOut, ms
  void (*Run)(bool AIdle, bool AOverride) = nullptr;  // RunIdleHook
};

// Install once at start-up (or clear with a default-constructed value); not synchronised
// with waits that are running.
void SetIdleHookAccess(const TIdIdleHookAccess& AAccess);
const TIdIdleHookAccess& IdleHookAccess();

}  // namespace tavo::net
