#include "rtl/component.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "rtl/exception.h"
#include "tests/support/expect_throw.h"

using tavo::rtl::TComponent;
using tavo::rtl::TOperation;

namespace {

// Records its destruction in a shared log, so tests can see the order.
class Logged : public TComponent {
 public:
  Logged(TComponent* owner, std::string tag, std::vector<std::string>& log)
      : TComponent(owner), tag_(std::move(tag)), log_(log) {}
  ~Logged() override { log_.push_back(tag_); }

 private:
  std::string tag_;
  std::vector<std::string>& log_;
};

// Keeps a pointer to another component and clears it when that one is destroyed.
class Holder : public TComponent {
 public:
  using TComponent::TComponent;
  // On destruction the holder writes the target it still refers to into *at_end.
  ~Holder() override {
    if (at_end_ != nullptr) *at_end_ = target_;
  }
  void ReportTargetAtEnd(TComponent** at_end) { at_end_ = at_end; }
  void SetTarget(TComponent* t) {
    if (target_ != nullptr) target_->RemoveFreeNotification(this);
    target_ = t;
    if (t != nullptr) t->FreeNotification(this);
  }
  TComponent* Target() const { return target_; }

 protected:
  void Notification(TComponent* c, TOperation op) override {
    TComponent::Notification(c, op);
    if (op == tavo::rtl::opRemove && c == target_) target_ = nullptr;
  }

 private:
  TComponent* target_ = nullptr;
  TComponent** at_end_ = nullptr;
};

using Heard = std::vector<std::pair<TComponent*, TOperation>>;

// Records every notification it is given, in order.
class Recorder : public TComponent {
 public:
  Recorder(TComponent* owner, Heard& heard) : TComponent(owner), heard_(heard) {}

 protected:
  void Notification(TComponent* c, TOperation op) override {
    heard_.emplace_back(c, op);
    TComponent::Notification(c, op);
  }

 private:
  Heard& heard_;
};

}  // namespace

TEST(ComponentTest, OwnerDestroysOwnedComponentsNewestFirst) {
  std::vector<std::string> log;
  {
    auto owner = std::make_unique<Logged>(nullptr, "owner", log);
    new Logged(owner.get(), "first", log);
    new Logged(owner.get(), "second", log);
    auto* third = new Logged(owner.get(), "third", log);
    EXPECT_EQ(owner->ComponentCount(), 3);
    EXPECT_EQ(owner->Components(2), third);
    EXPECT_EQ(third->Owner(), owner.get());
    EXPECT_EQ(
        tavo::testsupport::ThrownMessage<tavo::rtl::EListError>([&] { owner->Components(3); }),
        "List index out of bounds (3)");
  }
  EXPECT_EQ(log, (std::vector<std::string>{"owner", "third", "second", "first"}));
}

TEST(ComponentTest, DestroyingAnOwnedComponentRemovesItFromItsOwner) {
  TComponent owner;
  auto* child = new TComponent(&owner);
  new TComponent(&owner);
  delete child;
  EXPECT_EQ(owner.ComponentCount(), 1);
}

TEST(ComponentTest, FreeNotificationClearsTheReference) {
  Holder holder;
  auto target = std::make_unique<TComponent>();
  holder.SetTarget(target.get());
  EXPECT_EQ(holder.Target(), target.get());
  target.reset();
  EXPECT_EQ(holder.Target(), nullptr);
}

TEST(ComponentTest, HolderDestroyedFirstIsForgottenByItsTarget) {
  Heard heard;
  auto target = std::make_unique<Recorder>(nullptr, heard);
  const TComponent* gone = nullptr;
  {
    Holder holder;
    holder.SetTarget(target.get());
    gone = &holder;
  }
  // The holder's end is told to the target, which thereby drops it from the components it
  // will notify; destroying the target afterwards reaches nobody (a notice to the dead holder
  // would be a use after free, which the asan preset reports as well).
  ASSERT_EQ(heard.size(), 1u);
  EXPECT_EQ(heard[0].first, gone);
  EXPECT_EQ(heard[0].second, tavo::rtl::opRemove);
  target.reset();
}

TEST(ComponentTest, SiblingsOwnedTogetherClearReferencesWhileTheOwnerDies) {
  auto owner = std::make_unique<TComponent>();
  auto* holder = new Holder(owner.get());
  auto* target = new TComponent(owner.get());  // newer: destroyed before the holder
  holder->SetTarget(target);
  TComponent* target_at_holders_end = target;
  holder->ReportTargetAtEnd(&target_at_holders_end);
  owner.reset();
  EXPECT_EQ(target_at_holders_end, nullptr) << "the holder outlived its target's notice";
}

// Once armed, inserts a new sibling when it hears of another component entering its owner.
class Spawner : public TComponent {
 public:
  using TComponent::TComponent;
  bool armed = false;
  TComponent* spawned = nullptr;

 protected:
  void Notification(TComponent* c, TOperation op) override {
    TComponent::Notification(c, op);
    if (op == tavo::rtl::opInsert && armed) {
      armed = false;
      spawned = new TComponent(Owner());
    }
  }
};

// Once armed, frees the given siblings when it hears of another component entering its owner.
class Remover : public TComponent {
 public:
  using TComponent::TComponent;
  std::vector<TComponent*> victims;

 protected:
  void Notification(TComponent* c, TOperation op) override {
    TComponent::Notification(c, op);
    if (op != tavo::rtl::opInsert) return;
    std::vector<TComponent*> going;
    going.swap(victims);
    for (TComponent* v : going) delete v;
  }
};

TEST(ComponentTest, ANotificationThatInsertsASiblingLeavesTheOthersNotifiedOnce) {
  TComponent owner;
  auto* spawner = new Spawner(&owner);
  Heard first_heard, second_heard;
  new Recorder(&owner, first_heard);
  new Recorder(&owner, second_heard);
  spawner->armed = true;
  auto* newcomer = new TComponent(&owner);  // the spawner adds one more while told of it
  ASSERT_NE(spawner->spawned, nullptr);
  for (const Heard* heard : {&first_heard, &second_heard}) {
    EXPECT_EQ(std::count(heard->begin(), heard->end(), std::make_pair(newcomer, tavo::rtl::opInsert)), 1);
    EXPECT_EQ(std::count(heard->begin(), heard->end(),
                         std::make_pair(spawner->spawned, tavo::rtl::opInsert)), 1);
  }
  EXPECT_EQ(owner.ComponentCount(), 5);
}

TEST(ComponentTest, ANotificationThatFreesSiblingsSkipsThemAndReachesTheRest) {
  TComponent owner;
  Heard before_heard, after_heard, last_heard;
  auto* before = new Recorder(&owner, before_heard);  // already told when the remover acts
  auto* remover = new Remover(&owner);
  auto* after = new Recorder(&owner, after_heard);    // freed before its turn
  new Recorder(&owner, last_heard);
  last_heard.clear();
  remover->victims = {before, after};
  auto* newcomer = new TComponent(&owner);
  EXPECT_EQ(owner.ComponentCount(), 3);
  EXPECT_EQ(last_heard, (Heard{{before, tavo::rtl::opRemove},
                               {after, tavo::rtl::opRemove},
                               {newcomer, tavo::rtl::opInsert}}));
}
