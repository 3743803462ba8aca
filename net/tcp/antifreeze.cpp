#include "net/tcp/antifreeze.h"

#include <atomic>
#include <thread>

#include "net/stack/idle_hook.h"

namespace tavo::net {

namespace {

std::atomic<TIdAntiFreezeBase*> g_hook{nullptr};

// Static initialisation runs on the thread that enters main.
const std::thread::id g_main_thread = std::this_thread::get_id();

int32_t HookIdleTimeOut() {
  TIdAntiFreezeBase* hook = g_hook.load();
  return hook != nullptr ? hook->IdleTimeOut() : 250;
}

}  // namespace

TIdAntiFreezeBase::TIdAntiFreezeBase(rtl::TComponent* AOwner) : TIdBaseComponent(AOwner) {
  // The socket layer below learns of the hook only once one exists; until then its waits
  // need not ask.
  TIdIdleHookAccess access;
  access.InUse = &IdleHookInUse;
  access.IdleTimeOut = &HookIdleTimeOut;
  access.Run = &RunIdleHook;
  SetIdleHookAccess(access);
  g_hook.store(this);
}

TIdAntiFreezeBase::~TIdAntiFreezeBase() {
  // Only our own registration: destroying a replaced hook must not unregister its successor.
  TIdAntiFreezeBase* self = this;
  g_hook.compare_exchange_strong(self, nullptr);
}

TIdAntiFreezeBase* IdleHook() { return g_hook.load(); }

bool IdleHookInUse() {
  TIdAntiFreezeBase* hook = g_hook.load();
  return hook != nullptr && std::this_thread::get_id() == g_main_thread && hook->Active();
}

void RunIdleHook(bool AIdle, bool AOverride) {
  if (!IdleHookInUse()) return;
  TIdAntiFreezeBase* hook = g_hook.load();
  if ((AIdle || !hook->OnlyWhenIdle() || AOverride) && hook->Active()) hook->ProcessPending();
}

}  // namespace tavo::net
