#pragma once
// What the fuzz targets share: a reader that takes a few choices off the front of an input,
// and a transport that plays a peer's bytes back from memory, so that the code reading a
// connection runs exactly as it does on a socket, without one.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "net/stack/exceptions.h"
#include "net/tcp/iohandler.h"
#include "resources/tcp_texts.h"

namespace tavo::fuzz {

// Takes bytes off the front of the input for the target's choices; what is left is the peer's.
class InputReader {
 public:
  InputReader(const uint8_t* AData, size_t ASize)
      : rest_(reinterpret_cast<const char*>(AData), ASize) {}

  // One byte, 0 once the input is used up.
  uint8_t Byte() {
    if (rest_.empty()) return 0;
    const auto b = static_cast<uint8_t>(rest_.front());
    rest_.remove_prefix(1);
    return b;
  }
  // Text up to the next NUL (taken off with it), or all that is left.
  std::string Text() {
    const size_t end = rest_.find('\0');
    std::string text(rest_.substr(0, end));
    rest_.remove_prefix(end == std::string_view::npos ? rest_.size() : end + 1);
    return text;
  }
  std::string_view Rest() const { return rest_; }

 private:
  std::string_view rest_;
};

// A transport whose peer sends AIncoming and then closes. Each receive hands over a piece of
// the size the next byte of APieces chooses (1 to 64 bytes; cycling, all at once when empty),
// so lines and replies split at every possible place. What the client sends is kept.
// Base is TIdIOHandler, or TIdIOHandlerSocket where the code under test needs that class.
template <typename Base>
class MemoryIOHandler : public Base {
 public:
  MemoryIOHandler(std::string_view AIncoming, std::string_view APieces)
      : incoming_(AIncoming), pieces_(APieces) {}
  ~MemoryIOHandler() override { open_ = false; }

  // Opening the connection (or the connect that follows it) makes it readable.
  void Open() override { open_ = true; }
  void Close() override { open_ = false; }
  bool Connected() override { return open_; }
  // The peer's next bytes or its close are always there at once.
  bool WaitReadable(int32_t) override {
    if (!open_) throw net::EIdClosedSocket(res::kTcpClosedSocket);
    return true;
  }
  int32_t Recv(void* ABuffer, int32_t ALength) override {
    if (!open_) throw net::EIdClosedSocket(res::kTcpClosedSocket);
    if (ALength <= 0 || read_ == incoming_.size()) return 0;
    size_t piece = incoming_.size() - read_;
    if (!pieces_.empty()) {
      piece = 1 + static_cast<uint8_t>(pieces_[next_piece_++ % pieces_.size()]) % 64;
    }
    const size_t n = std::min({piece, incoming_.size() - read_, static_cast<size_t>(ALength)});
    std::memcpy(ABuffer, incoming_.data() + read_, n);
    read_ += n;
    return static_cast<int32_t>(n);
  }
  int32_t Send(const void* ABuffer, int32_t ALength) override {
    if (!open_) throw net::EIdClosedSocket(res::kTcpClosedSocket);
    if (ALength <= 0) return 0;
    sent_.append(static_cast<const char*>(ABuffer), static_cast<size_t>(ALength));
    return ALength;
  }

  const std::string& Sent() const { return sent_; }
  // How many of the peer's bytes were taken.
  size_t Taken() const { return read_; }

 private:
  std::string_view incoming_;
  std::string_view pieces_;
  size_t read_ = 0;
  size_t next_piece_ = 0;
  bool open_ = false;
  std::string sent_;
};

// A broken promise of the code under test: the fuzzer reports the input that shows it.
[[noreturn]] inline void Fail(const char* AWhat) {
  std::fputs(AWhat, stderr);
  std::fputc('\n', stderr);
  std::abort();
}
#define TAVO_FUZZ_CHECK(cond) \
  do {                        \
    if (!(cond)) ::tavo::fuzz::Fail("check failed: " #cond); \
  } while (0)

}  // namespace tavo::fuzz
