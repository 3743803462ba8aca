#include "rtl/component.h"

#include <algorithm>

#include "resources/rtl_texts.h"
#include "rtl/exception.h"
#include "rtl/format.h"

namespace tavo::rtl {

TComponent::TComponent(TComponent* AOwner) {
  if (AOwner != nullptr) AOwner->InsertComponent(this);
}

TComponent::~TComponent() {
  BeginDestruction();
  // Newest first: later components may refer to earlier ones, never the other way round.
  while (!components_.empty()) {
    TComponent* last = components_.back();
    RemoveComponent(last);
    delete last;
  }
  if (owner_ != nullptr) owner_->RemoveComponent(this);
}

void TComponent::BeginDestruction() {
  destroying_ = true;
  if (notified_) return;
  notified_ = true;
  // A subscriber's Notification may change our list (the base removes the pair's links, an
  // override may free further components), so take one at a time off the end of the live list
  // rather than iterating it.
  while (!free_notifies_.empty()) {
    TComponent* other = free_notifies_.back();
    free_notifies_.pop_back();
    other->RemoveNotification(this);
    other->Notification(this, opRemove);
  }
}

TComponent* TComponent::Components(int index) const {
  if (index < 0 || index >= ComponentCount())
    throw EListError(Format(res::kListIndexError, {index}));
  return components_[static_cast<size_t>(index)];
}

void TComponent::FreeNotification(TComponent* AComponent) {
  if (AComponent == nullptr || AComponent == this) return;
  if (std::find(free_notifies_.begin(), free_notifies_.end(), AComponent) == free_notifies_.end())
    free_notifies_.push_back(AComponent);
  auto& theirs = AComponent->free_notifies_;
  if (std::find(theirs.begin(), theirs.end(), this) == theirs.end()) theirs.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* AComponent) {
  if (AComponent == nullptr) return;
  RemoveNotification(AComponent);
  AComponent->RemoveNotification(this);
}

void TComponent::RemoveNotification(TComponent* AComponent) {
  free_notifies_.erase(std::remove(free_notifies_.begin(), free_notifies_.end(), AComponent),
                       free_notifies_.end());
}

void TComponent::Notification(TComponent* AComponent, TOperation Operation) {
  if (Operation == opRemove && AComponent != nullptr) RemoveFreeNotification(AComponent);
}

void TComponent::InsertComponent(TComponent* AComponent) {
  components_.push_back(AComponent);
  AComponent->owner_ = this;
  // The owner and every sibling hear of the newcomer, as of a component leaving.
  Notification(AComponent, opInsert);
  NotifySiblings(AComponent, opInsert);
}

void TComponent::RemoveComponent(TComponent* AComponent) {
  auto it = std::find(components_.begin(), components_.end(), AComponent);
  if (it == components_.end()) return;
  components_.erase(it);
  AComponent->owner_ = nullptr;
  if (destroying_) return;  // a dying owner's remaining components are about to go as well
  Notification(AComponent, opRemove);
  NotifySiblings(AComponent, opRemove);
}

void TComponent::NotifySiblings(TComponent* AComponent, TOperation Operation) {
  // A Notification may insert or free components of this owner: walk a copy of the list, and
  // skip a sibling that has left the live list meanwhile (it may be freed already).
  const std::vector<TComponent*> siblings = components_;
  for (TComponent* sibling : siblings) {
    if (sibling == AComponent) continue;
    if (std::find(components_.begin(), components_.end(), sibling) == components_.end()) continue;
    sibling->Notification(AComponent, Operation);
  }
}

}  // namespace tavo::rtl
