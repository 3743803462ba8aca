#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "net/stack/idle_hook.h"
#include "net/tcp/antifreeze.h"

namespace tavo::net {
namespace {

struct CountingHook : TIdAntiFreezeBase {
  int calls = 0;
  void ProcessPending() override { ++calls; }
};

TEST(IdleHook, NoHookMeansNothingIsInUse) {
  EXPECT_EQ(IdleHook(), nullptr);
  EXPECT_FALSE(IdleHookInUse());
  EXPECT_NO_THROW(RunIdleHook(true, true));
}

TEST(IdleHook, RegisteredHookRunsByItsRulesOnTheMainThreadOnly) {
  CountingHook hook;
  EXPECT_EQ(IdleHook(), &hook);
  EXPECT_TRUE(hook.Active());
  EXPECT_TRUE(hook.ApplicationHasPriority());
  EXPECT_EQ(hook.IdleTimeOut(), 250);
  EXPECT_TRUE(hook.OnlyWhenIdle());
  EXPECT_TRUE(IdleHookInUse());
  // The socket layer below asks through the entry points it was given.
  ASSERT_NE(IdleHookAccess().InUse, nullptr);
  EXPECT_TRUE(IdleHookAccess().InUse());
  EXPECT_EQ(IdleHookAccess().IdleTimeOut(), 250);

  RunIdleHook(false, false);  // only when idle: not now
  EXPECT_EQ(hook.calls, 0);
  RunIdleHook(true, false);
  RunIdleHook(false, true);  // override
  EXPECT_EQ(hook.calls, 2);
  hook.SetOnlyWhenIdle(false);
  RunIdleHook(false, false);
  EXPECT_EQ(hook.calls, 3);

  bool in_use_elsewhere = true;
  std::thread([&] {
    in_use_elsewhere = IdleHookInUse();
    RunIdleHook(true, true);
  }).join();
  EXPECT_FALSE(in_use_elsewhere);
  EXPECT_EQ(hook.calls, 3);

  hook.SetActive(false);
  EXPECT_FALSE(IdleHookInUse());
  RunIdleHook(true, true);
  EXPECT_EQ(hook.calls, 3);
}

TEST(IdleHook, NewHookReplacesAndOnlyTheRegisteredOneUnregisters) {
  auto first = std::make_unique<CountingHook>();
  auto second = std::make_unique<CountingHook>();
  EXPECT_EQ(IdleHook(), second.get());
  first.reset();
  EXPECT_EQ(IdleHook(), second.get());
  second.reset();
  EXPECT_EQ(IdleHook(), nullptr);
  EXPECT_FALSE(IdleHookInUse());
}

}  // namespace
}  // namespace tavo::net
