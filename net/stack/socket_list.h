#pragma once
// A list of socket numbers handed to the stack's Select. Nothing in the launcher makes one;
// it exists for callers that wait on several sockets at once.

#include <cstdint>
#include <memory>

#include "net/stack/stack.h"

namespace tavo::net {

class TIdSocketList {
 public:
  virtual ~TIdSocketList() = default;
  TIdSocketList(const TIdSocketList&) = delete;
  TIdSocketList& operator=(const TIdSocketList&) = delete;

  virtual TIdStackSocketHandle Items(int32_t AIndex) = 0;
  virtual void Add(TIdStackSocketHandle AHandle) = 0;
  virtual void Remove(TIdStackSocketHandle AHandle) = 0;
  virtual int32_t Count() = 0;

  // A socket list of the one kind the stacks take (TIdSocketListWindows).
  static std::unique_ptr<TIdSocketList> CreateSocketList();

 protected:
  TIdSocketList() = default;
};

// Up to 64 sockets, the size of one platform socket set. Remove does not keep the order.
class TIdSocketListWindows : public TIdSocketList {
 public:
  TIdSocketListWindows() = default;
  static std::unique_ptr<TIdSocketList> Create();

  // Both raise EIdStackSetSizeExceeded: Items outside 0..Count-1, Add beyond 64 entries.
  TIdStackSocketHandle Items(int32_t AIndex) override;
  void Add(TIdStackSocketHandle AHandle) override;
  // An absent socket is ignored.
  void Remove(TIdStackSocketHandle AHandle) override;
  int32_t Count() override { return count_; }

 private:
  int32_t count_ = 0;
  TIdStackSocketHandle fds_[Id_SOCKETS_PER_SET] = {};
};

}  // namespace tavo::net
