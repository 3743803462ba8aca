#pragma once
// The optional process-wide idle hook: while the transport waits on the main thread, a
// registered hook may process pending user-interface work. The launcher registers none, so
// every call below is a no-op there; the base exists for programs that need one.

#include <cstdint>

#include "net/tcp/component.h"

namespace tavo::net {

class TIdAntiFreezeBase : public TIdBaseComponent {
 public:
  // Registers this instance as the hook, replacing any earlier one.
  explicit TIdAntiFreezeBase(rtl::TComponent* AOwner = nullptr);
  // Clears the registration when this instance holds it.
  ~TIdAntiFreezeBase() override;

  bool Active() const { return active_; }
  void SetActive(bool v) { active_ = v; }
  // Part of the published settings for a hook of a program's own to consult; nothing in the
  // library reads it.
  bool ApplicationHasPriority() const { return application_has_priority_; }
  void SetApplicationHasPriority(bool v) { application_has_priority_ = v; }
  int32_t IdleTimeOut() const { return idle_time_out_; }
  void SetIdleTimeOut(int32_t v) { idle_time_out_ = v; }
  bool OnlyWhenIdle() const { return only_when_idle_; }
  void SetOnlyWhenIdle(bool v) { only_when_idle_ = v; }

  // A concrete hook processes pending user-interface work here.
  virtual void ProcessPending() = 0;

 private:
  bool active_ = true;
  bool application_has_priority_ = true;
  int32_t idle_time_out_ = 250;
  bool only_when_idle_ = true;
};

// The registered hook, or none.
TIdAntiFreezeBase* IdleHook();
// True when a hook is registered and active and the caller is the program's main thread.
bool IdleHookInUse();
// Lets the hook process pending work: when it is in use and (AIdle, or it does not wait for
// idleness, or AOverride).
void RunIdleHook(bool AIdle, bool AOverride);

}  // namespace tavo::net
