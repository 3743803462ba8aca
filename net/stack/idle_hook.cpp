#include "net/stack/idle_hook.h"

namespace tavo::net {

namespace {
TIdIdleHookAccess g_access;
}

void SetIdleHookAccess(const TIdIdleHookAccess& AAccess) { g_access = AAccess; }
const TIdIdleHookAccess& IdleHookAccess() { return g_access; }

}  // namespace tavo::net
