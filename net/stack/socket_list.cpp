#include "net/stack/socket_list.h"

#include "resources/stack_texts.h"

namespace tavo::net {

std::unique_ptr<TIdSocketList> TIdSocketList::CreateSocketList() {
  return TIdSocketListWindows::Create();
}

std::unique_ptr<TIdSocketList> TIdSocketListWindows::Create() {
  return std::make_unique<TIdSocketListWindows>();
}

TIdStackSocketHandle TIdSocketListWindows::Items(int32_t AIndex) {
  if (AIndex < 0 || AIndex >= count_) throw EIdStackSetSizeExceeded(res::kSetSizeExceeded);
  return fds_[AIndex];
}

void TIdSocketListWindows::Add(TIdStackSocketHandle AHandle) {
  if (count_ >= Id_SOCKETS_PER_SET) throw EIdStackSetSizeExceeded(res::kSetSizeExceeded);
  fds_[count_++] = AHandle;
}

void TIdSocketListWindows::Remove(TIdStackSocketHandle AHandle) {
  for (int32_t i = 0; i < count_; ++i) {
    if (fds_[i] == AHandle) {
      // The last entry fills the gap: the order of a socket set carries no meaning.
      fds_[i] = fds_[count_ - 1];
      fds_[count_ - 1] = 0;
      --count_;
      return;
    }
  }
}

}  // namespace tavo::net
