#pragma once
// In-memory byte stores of a connection. TIdSimpleBuffer is a growable, seekable block (the
// landing place of one receive); TIdManagedBuffer is the input buffer, which consumes from the
// front lazily so that taking a few bytes at a time never moves the rest.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "rtl/streams.h"

namespace tavo::net {

class TIdSimpleBuffer;

namespace detail {
// Storage whose new bytes are left uninitialised when it grows: a receive fills them right
// after, so zeroing them first would only cost a pass over every received byte.
template <typename T>
struct UninitializedAllocator : std::allocator<T> {
  template <typename U>
  struct rebind {
    using other = UninitializedAllocator<U>;
  };
  UninitializedAllocator() = default;
  template <typename U>
  UninitializedAllocator(const UninitializedAllocator<U>&) noexcept {}
  template <typename U>
  void construct(U* p) noexcept(std::is_nothrow_default_constructible_v<U>) {
    ::new (static_cast<void*>(p)) U;
  }
  template <typename U, typename... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};
}  // namespace detail

// Called with the number of bytes taken out of the front of a buffer.
using TIdBufferBytesRemoved = std::function<void(TIdSimpleBuffer* ASender, int32_t ABytes)>;

class TIdSimpleBuffer : public rtl::TStream {
 public:
  TIdSimpleBuffer() = default;
  explicit TIdSimpleBuffer(TIdBufferBytesRemoved ACallback) : removed_(std::move(ACallback)) {}

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, rtl::TSeekOrigin origin) override;
  void SetSize(int64_t new_size) override;

  // The first k visible bytes as text, then Discard(k). Raises EIdNotEnoughDataInBuffer
  // when fewer bytes are visible; the buffer is then unchanged.
  virtual std::string TakeString(int32_t k);
  // Drops the first k visible bytes and reports them to RemovedCallback; taking them all
  // empties the buffer (Clear).
  void Discard(int32_t k);

  // Visible bytes, without the position-juggling of Size().
  int64_t VisibleSize() const { return static_cast<int64_t>(data_.size()) - Start(); }
  // Address of the first visible byte (valid until the next change).
  uint8_t* DataStart() { return data_.data() + Start(); }
  const uint8_t* DataStart() const { return data_.data() + Start(); }

  // Empties the buffer without reporting anything.
  virtual void Clear();

  const TIdBufferBytesRemoved& RemovedCallback() const { return removed_; }
  void SetRemovedCallback(TIdBufferBytesRemoved v) { removed_ = std::move(v); }

 protected:
  // Offset of the first visible byte in the storage (0 for a simple buffer).
  virtual int64_t Start() const { return 0; }
  // Removes the first k visible bytes, fewer than all of them, from the store.
  virtual void DropFront(int32_t k);
  void RaiseNotEnoughData() const;
  void NotifyRemoved(int32_t k);

  std::vector<uint8_t, detail::UninitializedAllocator<uint8_t>> data_;
  int64_t position_ = 0;  // relative to Start()

 private:
  TIdBufferBytesRemoved removed_;
};

class TIdManagedBuffer : public TIdSimpleBuffer {
 public:
  TIdManagedBuffer() = default;
  explicit TIdManagedBuffer(TIdBufferBytesRemoved ACallback)
      : TIdSimpleBuffer(std::move(ACallback)) {}

  void Clear() override;

  // Appends at the end of the storage, whatever the position.
  void Append(const void* buffer, int64_t count);
  // Room for ACount more bytes at the end of the storage, for a receive to land in directly;
  // TrimStorage(StorageSize() before the call + bytes received) then keeps what arrived.
  uint8_t* AppendSpace(int64_t ACount);
  void TrimStorage(int64_t AStorageSize);

  // Moves the visible bytes to the front of the storage when consumed bytes are piled up.
  void Compact();

  int32_t ConsumedCount() const { return consumed_; }
  int32_t CompactThreshold() const { return compact_threshold_; }
  void SetCompactThreshold(int32_t v) { compact_threshold_ = v; }

  // Bytes the storage holds, consumed ones included.
  int64_t StorageSize() const { return static_cast<int64_t>(data_.size()); }

 protected:
  int64_t Start() const override { return consumed_; }
  void DropFront(int32_t k) override;

 private:
  int32_t consumed_ = 0;
  int32_t compact_threshold_ = 32768;
};

}  // namespace tavo::net
