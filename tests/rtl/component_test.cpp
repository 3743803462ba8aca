#include "rtl/component.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rtl/exception.h"

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
    EXPECT_THROW(owner->Components(3), tavo::rtl::EListError);
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

TEST(ComponentTest, HolderDestroyedFirstLeavesTargetSafe) {
  auto target = std::make_unique<TComponent>();
  {
    Holder holder;
    holder.SetTarget(target.get());
  }
  // The target must not notify a holder that no longer exists (ASan would catch it).
  target.reset();
  SUCCEED();
}

TEST(ComponentTest, SiblingsOwnedTogetherClearReferencesWhileTheOwnerDies) {
  auto owner = std::make_unique<TComponent>();
  auto* holder = new Holder(owner.get());
  auto* target = new TComponent(owner.get());  // newer: destroyed before the holder
  holder->SetTarget(target);
  owner.reset();  // must not touch freed memory; verified under the asan preset
  SUCCEED();
}
