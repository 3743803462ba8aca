#pragma once
// The component model the whole program stands on:
//  - an owner destroys the components it owns, newest first, when it is destroyed;
//  - a component that keeps a pointer to another asks for a free notification and clears the
//    pointer in Notification(..., opRemove) when the other one goes away.
// A component without an owner lives in a std::unique_ptr of its creator.

#include <string>
#include <vector>

namespace tavo::rtl {

enum TOperation { opInsert, opRemove };

class TComponent {
 public:
  explicit TComponent(TComponent* AOwner = nullptr);
  virtual ~TComponent();

  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  TComponent* Owner() const { return owner_; }
  int ComponentCount() const { return static_cast<int>(components_.size()); }
  TComponent* Components(int index) const;  // raises EListError outside 0..ComponentCount()-1

  const std::string& Name() const { return name_; }
  void SetName(const std::string& value) { name_ = value; }

  // From now on AComponent's Notification(this, opRemove) runs when this component is destroyed
  // (and the other way round, so that neither keeps a dangling pointer to the other's list).
  void FreeNotification(TComponent* AComponent);
  void RemoveFreeNotification(TComponent* AComponent);

  // True once destruction has begun; handlers use it to skip work on a dying component.
  bool Destroying() const { return destroying_; }

 protected:
  // Told about components entering or leaving the owner's list, and about the destruction of
  // components this one asked free notifications for. Overrides call the base.
  virtual void Notification(TComponent* AComponent, TOperation Operation);

  // Derived destructors that must be told about their own destruction early (before their
  // members go) call this first; the base destructor calls it anyway.
  void BeginDestruction();

 private:
  void InsertComponent(TComponent* AComponent);
  void RemoveComponent(TComponent* AComponent);
  // Tells every sibling of AComponent that is still in the list.
  void NotifySiblings(TComponent* AComponent, TOperation Operation);
  void RemoveNotification(TComponent* AComponent);

  TComponent* owner_ = nullptr;
  std::vector<TComponent*> components_;
  std::vector<TComponent*> free_notifies_;
  std::string name_;
  bool destroying_ = false;
  bool notified_ = false;
};

}  // namespace tavo::rtl
