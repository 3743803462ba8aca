#include "net/tcp/buffer.h"

#include <algorithm>
#include <cstring>

#include "net/stack/exceptions.h"
#include "resources/tcp_texts.h"

namespace tavo::net {

namespace {
// Storage beyond this is handed back once the bytes in it are gone, so that one large read
// does not pin its peak memory for the rest of the connection.
constexpr size_t kKeepCapacity = 1u << 20;

template <typename Vector>
void Release(Vector& v) {
  if (v.capacity() > kKeepCapacity && v.capacity() > 4 * v.size()) v.shrink_to_fit();
}
}  // namespace

int64_t TIdSimpleBuffer::Read(void* buffer, int64_t count) {
  const int64_t size = VisibleSize();
  if (count <= 0 || position_ >= size) return 0;
  const int64_t n = std::min(count, size - position_);
  std::memcpy(buffer, DataStart() + position_, static_cast<size_t>(n));
  position_ += n;
  return n;
}

int64_t TIdSimpleBuffer::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  const int64_t end = position_ + count;
  if (end > VisibleSize()) data_.resize(static_cast<size_t>(Start() + end));
  std::memcpy(DataStart() + position_, buffer, static_cast<size_t>(count));
  position_ = end;
  return count;
}

int64_t TIdSimpleBuffer::Seek(int64_t offset, rtl::TSeekOrigin origin) {
  int64_t base = 0;
  if (origin == rtl::TSeekOrigin::soCurrent) base = position_;
  if (origin == rtl::TSeekOrigin::soEnd) base = VisibleSize();
  position_ = std::max<int64_t>(0, base + offset);
  return position_;
}

void TIdSimpleBuffer::SetSize(int64_t new_size) {
  data_.resize(static_cast<size_t>(Start() + std::max<int64_t>(0, new_size)));
  position_ = std::min(position_, VisibleSize());
}

std::string TIdSimpleBuffer::TakeString(int32_t k) {
  if (k < 0 || k > VisibleSize()) RaiseNotEnoughData();
  std::string s(reinterpret_cast<const char*>(DataStart()), static_cast<size_t>(k));
  Discard(k);
  return s;
}

void TIdSimpleBuffer::Discard(int32_t k) {
  if (k < 0 || k > VisibleSize()) RaiseNotEnoughData();
  if (k == VisibleSize()) {
    Clear();  // everything taken: the store is emptied outright
  } else {
    DropFront(k);
    position_ = std::max<int64_t>(0, position_ - k);
  }
  NotifyRemoved(k);
}

void TIdSimpleBuffer::DropFront(int32_t k) { data_.erase(data_.begin(), data_.begin() + k); }

void TIdSimpleBuffer::Clear() {
  data_.clear();
  Release(data_);
  position_ = 0;
}

void TIdSimpleBuffer::RaiseNotEnoughData() const {
  throw EIdNotEnoughDataInBuffer(res::kTcpNotEnoughDataInBuffer);
}

void TIdSimpleBuffer::NotifyRemoved(int32_t k) {
  if (removed_) removed_(this, k);
}

// ---------------------------------------------------------------------------------------------

void TIdManagedBuffer::DropFront(int32_t k) {
  // Only skipped: the rest moves to the front once enough consumed bytes have piled up.
  consumed_ += k;
  if (consumed_ >= compact_threshold_) Compact();
}

void TIdManagedBuffer::Clear() {
  TIdSimpleBuffer::Clear();
  consumed_ = 0;
}

void TIdManagedBuffer::Append(const void* buffer, int64_t count) {
  if (count <= 0) return;
  const auto* p = static_cast<const uint8_t*>(buffer);
  data_.insert(data_.end(), p, p + count);
}

uint8_t* TIdManagedBuffer::AppendSpace(int64_t ACount) {
  const size_t old = data_.size();
  data_.resize(old + static_cast<size_t>(std::max<int64_t>(ACount, 0)));
  return data_.data() + old;
}

void TIdManagedBuffer::TrimStorage(int64_t AStorageSize) {
  if (AStorageSize >= consumed_ && AStorageSize < StorageSize())
    data_.resize(static_cast<size_t>(AStorageSize));
}

void TIdManagedBuffer::Compact() {
  if (consumed_ <= 0) return;
  data_.erase(data_.begin(), data_.begin() + consumed_);
  consumed_ = 0;
  Release(data_);
}

}  // namespace tavo::net
