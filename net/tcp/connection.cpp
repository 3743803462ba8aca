#include "net/tcp/connection.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string_view>

#include "net/stack/exceptions.h"
#include "net/stack/socket_handle.h"
#include "net/stack/stack.h"
#include "net/tcp/antifreeze.h"
#include "net/tcp/intercept.h"
#include "net/tcp/iohandler.h"
#include "net/tcp/reply.h"
#include "platform/files.h"
#include "resources/tcp_texts.h"
#include "rtl/format.h"

namespace tavo::net {

namespace {

int32_t Clamp32(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

void CheckTimeoutArgument(int32_t ATimeout) {
  if (ATimeout < TimeoutInfinite)
    throw EIdException(rtl::Format(res::kTcpInvalidTimeout, {ATimeout}));
}

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

}  // namespace

TIdTCPConnection::TIdTCPConnection(rtl::TComponent* AOwner)
    : TIdComponent(AOwner),
      inbound_buffer_(std::make_unique<TIdManagedBuffer>(
          // Taking bytes out of the input buffer is what counts as reading.
          [this](TIdSimpleBuffer*, int32_t ABytes) { WorkProgress(wmRead, ABytes); })),
      chunk_buffer_(std::make_unique<TIdSimpleBuffer>()),
      greeting_reply_(std::make_unique<TIdRFCReply>()),
      last_reply_(std::make_unique<TIdRFCReply>()) {}

TIdTCPConnection::~TIdTCPConnection() {
  // Destruction is silent: no status, no OnDisconnected, and nothing may escape from here.
  try {
    CloseTransport();
  } catch (...) {
  }
  ReleaseIOHandler();
  intercept_ = nullptr;
}

void TIdTCPConnection::ReleaseIOHandler() {
  TIdIOHandler* handler = io_handler_;
  const bool owned = owns_io_handler_;
  // Cleared first: freeing the handler notifies this connection, which must find nothing left
  // to clear.
  io_handler_ = nullptr;
  socket_io_handler_ = nullptr;
  owns_io_handler_ = false;
  if (owned) delete handler;
}

// ---- lifecycle ------------------------------------------------------------------------------

void TIdTCPConnection::NotifyDisconnected() {
  if (on_disconnected_) on_disconnected_(this);
}

void TIdTCPConnection::ResetState() {
  inbound_buffer_->Clear();
  peer_closed_ = false;
}

void TIdTCPConnection::CheckClosed(bool ARaiseExceptionIfDisconnected, bool AIgnoreBuffer) {
  bool closed = false;
  if (peer_closed_ || io_handler_ == nullptr) {
    // Without a handler the connection was never opened; the callers raise their own error.
    if (io_handler_ != nullptr) {
      if (io_handler_->Connected()) {
        CloseTransport();
        ReportStatus(hsDisconnected);
        NotifyDisconnected();
      }
      closed = true;
    }
  } else {
    closed = !io_handler_->Connected();
  }
  // Bytes received before the close stay readable: the close is reported only once they are
  // gone, unless the caller needs more than what is there.
  if (closed && ARaiseExceptionIfDisconnected &&
      (inbound_buffer_->VisibleSize() == 0 || AIgnoreBuffer))
    throw EIdConnClosedGracefully(res::kTcpConnClosedGracefully);
}

bool TIdTCPConnection::Connected() {
  CheckClosed(false, false);
  return io_handler_ != nullptr && io_handler_->Connected();
}

void TIdTCPConnection::Disconnect() {
  ReportStatus(hsDisconnecting);
  CloseTransport();
  // A handler set from outside stays for the next connect; our own goes with the connection.
  if (owns_io_handler_) ReleaseIOHandler();
  NotifyDisconnected();
  ReportStatus(hsDisconnected);
}

void TIdTCPConnection::CloseTransport() {
  if (io_handler_ == nullptr) return;
  peer_closed_ = true;
  // The socket is closed even when the intercept's own handler fails.
  try {
    if (intercept_ != nullptr) intercept_->Detach();
  } catch (...) {
    io_handler_->Close();
    throw;
  }
  io_handler_->Close();
}

// Registrations for destruction notices are never withdrawn here: the runtime links both
// sides of a registration, so withdrawing ours could silence one the other side relies on. A
// notice about a component we no longer refer to is simply ignored.
void TIdTCPConnection::SetIOHandler(TIdIOHandler* AValue) {
  // Setting the handler already in use must not free it under our feet.
  if (AValue == io_handler_) return;
  ReleaseIOHandler();
  socket_io_handler_ = dynamic_cast<TIdIOHandlerSocket*>(AValue);
  io_handler_ = AValue;
  if (AValue != nullptr) FreeNotification(AValue);
}

void TIdTCPConnection::SetIntercept(TIdConnectionIntercept* AValue) {
  if (AValue == intercept_) return;
  intercept_ = AValue;
  if (AValue != nullptr) FreeNotification(AValue);
}

void TIdTCPConnection::Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) {
  if (Operation == rtl::opRemove && AComponent != nullptr) {
    if (AComponent == static_cast<rtl::TComponent*>(io_handler_)) {
      io_handler_ = nullptr;
      socket_io_handler_ = nullptr;
      owns_io_handler_ = false;
    }
    if (AComponent == static_cast<rtl::TComponent*>(intercept_)) intercept_ = nullptr;
  }
  TIdComponent::Notification(AComponent, Operation);
}

// ---- input ----------------------------------------------------------------------------------

int32_t TIdTCPConnection::FillInputBuffer(bool ARaiseExceptionIfDisconnected, int32_t ATimeout,
                                          bool ARaiseExceptionOnTimeout) {
  CheckTimeoutArgument(ATimeout);
  if (ATimeout == TimeoutDefault)
    ATimeout = read_timeout_ > 0 ? read_timeout_ : TimeoutInfinite;

  int32_t result = 0;
  CheckClosed(ARaiseExceptionIfDisconnected, false);
  if (!Connected()) {
    if (ARaiseExceptionIfDisconnected) throw EIdNotConnected(res::kTcpNotConnected);
    return 0;
  }
  while (true) {
    if (!io_handler_->WaitReadable(ATimeout)) {
      if (ARaiseExceptionOnTimeout) throw EIdReadTimeout(res::kTcpReadTimeout);
      return -1;
    }
    const int32_t n = ReceiveIntoInputBuffer();
    CheckClosed(ARaiseExceptionIfDisconnected, false);
    result = n;
    if (n != 0 || !Connected()) break;
  }
  return result;
}

int32_t TIdTCPConnection::ReceiveIntoInputBuffer() {
  // A size below one byte would make every receive look like the peer's close.
  const int32_t size = std::max<int32_t>(recv_buffer_size_, 1);
  // Without an intercept, which may reshape a chunk, the bytes land at the end of the input
  // buffer directly instead of being copied there from the chunk buffer.
  const bool direct = intercept_ == nullptr;
  const int64_t stored = inbound_buffer_->StorageSize();
  uint8_t* landing;
  if (direct) {
    landing = inbound_buffer_->AppendSpace(size);
  } else {
    chunk_buffer_->SetSize(size);
    landing = chunk_buffer_->DataStart();
  }
  int32_t n;
  try {
    n = io_handler_->Recv(landing, size);
  } catch (...) {
    if (direct) inbound_buffer_->TrimStorage(stored);
    throw;
  }
  if (direct) inbound_buffer_->TrimStorage(stored + std::max(n, 0));
  peer_closed_ = n == 0;
  if (n == 0) return 0;
  if (GlobalStack->CheckResult(n, {Id_WSAESHUTDOWN, Id_WSAECONNABORTED})) {
    const int32_t error = GlobalStack->LastError();
    n = 0;
    CloseTransport();
    if (inbound_buffer_->VisibleSize() == 0) GlobalStack->RaiseError(error);
  }
  if (n > 0 && !direct) {
    chunk_buffer_->SetSize(n);
    chunk_buffer_->SetPosition(0);
    intercept_->FilterReceived(*chunk_buffer_);
    n = Clamp32(chunk_buffer_->VisibleSize());
    landing = chunk_buffer_->DataStart();
  }
  if (n > 0 && ascii_filter_) {
    for (int32_t i = 0; i < n; ++i) landing[i] &= 0x7F;
  }
  if (n > 0 && !direct) inbound_buffer_->Append(landing, n);
  return n;
}

std::string TIdTCPConnection::ReadLn(const std::string& ATerminator, int32_t ATimeout,
                                     int32_t AMaxLineLength) {
  CheckTimeoutArgument(ATimeout);
  const std::string terminator = ATerminator.empty() ? std::string("\n") : ATerminator;
  const int64_t term_len = static_cast<int64_t>(terminator.size());
  int64_t max_len = AMaxLineLength == -1 ? max_line_length_ : AMaxLineLength;
  if (max_len < 0) max_len = 0;  // a negative limit cannot be met by any line: no limit

  int64_t found = 0;     // 1-based index of the terminator's first byte; 0 = not yet
  int64_t searched = 0;  // visible bytes already searched
  while (true) {
    const int64_t size = inbound_buffer_->VisibleSize();
    if (size > 0) {
      // Start far enough back to find a terminator that straddles the previous end.
      const int64_t from = std::max<int64_t>(0, searched - term_len + 1);
      const std::string_view visible(reinterpret_cast<const char*>(inbound_buffer_->DataStart()),
                                     static_cast<size_t>(size));
      const size_t pos = visible.find(terminator, static_cast<size_t>(from));
      if (pos != std::string_view::npos) found = static_cast<int64_t>(pos) + 1;
      searched = size;
    }
    if (max_len != 0 && ((found > 0 && found - 1 > max_len) || (found == 0 && searched > max_len))) {
      if (max_line_action_ == maException)
        throw EIdReadLnMaxLineLengthExceeded(res::kTcpMaxLineLengthExceeded);
      return inbound_buffer_->TakeString(Clamp32(max_len));
    }
    if (found == 0) {
      CheckClosed(true, true);
      const int32_t got = FillInputBuffer(true, ATimeout, ATimeout == TimeoutDefault);
      if (got == 0) return std::string();  // closed; the partial line stays buffered
      // An explicit time-out that ran out: the caller asked for a bound, so say it was hit.
      if (got < 0) throw EIdReadTimeout(res::kTcpReadTimeout);
      continue;
    }
    std::string line = inbound_buffer_->TakeString(Clamp32(found + term_len - 1));
    line.resize(static_cast<size_t>(found - 1));
    if (terminator == "\n" && !line.empty() && line.back() == '\r') line.pop_back();
    return line;
  }
}

std::string TIdTCPConnection::ReadLnSkipBlank(int32_t ATries) {
  std::string result;
  int32_t count = 0;
  while (result.empty() && count < ATries) {
    ++count;
    const std::string line = ReadLn("\n", TimeoutDefault, -1);
    size_t b = 0;
    size_t e = line.size();
    while (b < e && IsBlank(line[b])) ++b;
    while (e > b && IsBlank(line[e - 1])) --e;
    result = line.substr(b, e - b);
  }
  return result;
}

void TIdTCPConnection::ReadBytes(void* ABuffer, int32_t AByteCount) {
  if (AByteCount <= 0 || ABuffer == nullptr) return;
  while (inbound_buffer_->VisibleSize() < AByteCount) {
    FillInputBuffer(true, TimeoutDefault, true);
    CheckClosed(true, true);
  }
  std::memcpy(ABuffer, inbound_buffer_->DataStart(), static_cast<size_t>(AByteCount));
  inbound_buffer_->Discard(AByteCount);
}

int32_t TIdTCPConnection::ReadInt32(bool AConvert) {
  uint32_t v = 0;
  ReadBytes(&v, 4);
  if (AConvert) v = GlobalStack->NetToHostLong(v);
  return static_cast<int32_t>(v);
}

void TIdTCPConnection::ReadToStream(rtl::TStream& AStream, int64_t AByteCount,
                                    bool AReadUntilDisconnect) {
  AByteCount = ReadToStreamCount(AByteCount, AReadUntilDisconnect);
  if (AByteCount >= 0) {
    const int64_t pos = AStream.Position();
    AStream.SetSize(pos + AByteCount);
    AStream.SetPosition(pos);
  }
  WorkBegin(wmRead, AReadUntilDisconnect ? 0 : Clamp32(AByteCount));
  // Runs once on success and again on the way out of a failure; the stream's own questions
  // may raise (a destination whose buffered bytes the disk refuses), and the work bracket
  // must still close exactly once.
  bool work_ended = false;
  auto finish = [&] {
    if (!work_ended) {
      work_ended = true;
      WorkEnd(wmRead);
    }
    const int64_t pos = AStream.Position();
    if (AStream.Size() > pos) AStream.SetSize(pos);
  };
  try {
    if (AReadUntilDisconnect) {
      ReadToStreamUntilClose(AStream);
    } else {
      ReadToStreamCounted(AStream, AByteCount);
    }
  } catch (...) {
    finish();
    throw;
  }
  finish();
}

int64_t TIdTCPConnection::ReadToStreamCount(int64_t AByteCount, bool AReadUntilDisconnect) {
  if (AByteCount == -1 && !AReadUntilDisconnect) {
    AByteCount = ReadInt32(true);
    // A negative length from the peer is no count at all; reading nothing and reporting
    // success would hide a broken sender.
    if (AByteCount < 0) throw EIdException(rtl::Format(res::kTcpInvalidLength, {AByteCount}));
  } else if (AByteCount < 0 && !AReadUntilDisconnect) {
    throw EIdException(rtl::Format(res::kTcpInvalidLength, {AByteCount}));
  }
  return AByteCount;
}

int64_t TIdTCPConnection::MoveBufferedToStream(rtl::TStream& AStream, int64_t AMost) {
  const int64_t k = std::min(inbound_buffer_->VisibleSize(), AMost);
  if (k <= 0) return 0;
  AStream.WriteBuffer(inbound_buffer_->DataStart(), k);
  inbound_buffer_->Discard(Clamp32(k));
  return k;
}

void TIdTCPConnection::ReadToStreamUntilClose(rtl::TStream& AStream) {
  // Until the close there is no byte limit: a transfer beyond 2 GiB must not stop half-way and
  // look complete. Bytes go from the input buffer to the stream as each receive brings them:
  // no copy through a block, and no wait for a block to fill.
  while (true) {
    if (MoveBufferedToStream(AStream, std::numeric_limits<int64_t>::max()) > 0) continue;
    if (!Connected()) break;
    try {
      FillInputBuffer(true, TimeoutDefault, true);
    } catch (const EIdConnClosedGracefully&) {
      break;  // the close ends the read; everything before it has reached the stream
    }
  }
}

void TIdTCPConnection::ReadToStreamCounted(rtl::TStream& AStream, int64_t ACount) {
  int64_t remaining = ACount - MoveBufferedToStream(AStream, ACount);
  const int64_t chunk = std::min<int64_t>(remaining, std::max<int32_t>(recv_buffer_size_, 1));
  std::vector<uint8_t> block(static_cast<size_t>(std::max<int64_t>(chunk, 0)));
  // Whole blocks only: a close before the count is reached raises, and the bytes of the
  // unfinished block stay in the input buffer.
  while (remaining > 0 && Connected()) {
    const int32_t k = Clamp32(std::min(remaining, chunk));
    ReadBytes(block.data(), k);
    AStream.WriteBuffer(block.data(), k);
    remaining -= k;
  }
  // A counted read that ends short, because the close was seen before this call or the
  // connection was never open, must not pass for a complete one.
  if (remaining > 0) {
    CheckClosed(true, true);
    throw EIdNotConnected(res::kTcpNotConnected);
  }
}

std::string TIdTCPConnection::ReadAvailable() {
  if (Connected()) FillInputBuffer(false, TimeoutDefault, true);
  return inbound_buffer_->TakeString(Clamp32(inbound_buffer_->VisibleSize()));
}

std::string TIdTCPConnection::ReadAll() {
  WorkBegin(wmRead, 0);
  std::string result;
  try {
    while (Connected()) result += ReadAvailable();
  } catch (...) {
    WorkEnd(wmRead);
    throw;
  }
  WorkEnd(wmRead);
  return result;
}

void TIdTCPConnection::ProbeClosed(bool ARaiseExceptionIfDisconnected) {
  FillInputBuffer(ARaiseExceptionIfDisconnected, 1, false);
}

// ---- output ---------------------------------------------------------------------------------

void TIdTCPConnection::WriteBytes(const void* ABuffer, int32_t AByteCount) {
  if (AByteCount <= 0 || ABuffer == nullptr) return;
  CheckClosed(true, true);
  if (!Connected()) throw EIdNotConnected(res::kTcpNotConnected);

  TIdSimpleBuffer block;
  block.WriteBuffer(ABuffer, AByteCount);
  int32_t count = AByteCount;
  if (intercept_ != nullptr) {
    block.SetPosition(0);
    intercept_->FilterSending(block);
    count = Clamp32(block.VisibleSize());
    // An intercept that swallowed everything leaves nothing to send; a send of 0 bytes would
    // be taken for the peer's close.
    if (count <= 0) return;
  }

  int32_t sent = 0;
  do {
    const int32_t n = io_handler_->Send(block.DataStart() + sent, count - sent);
    RunIdleHook(false, false);
    peer_closed_ = n == 0;
    CheckClosed(true, false);
    if (GlobalStack->CheckResult(n, {Id_WSAESHUTDOWN, Id_WSAECONNABORTED, Id_WSAECONNRESET})) {
      // The number CheckResult saw: closing the socket may change the platform's last error.
      const int32_t error = GlobalStack->LastError();
      CloseTransport();
      GlobalStack->RaiseError(error);
    }
    WorkProgress(wmWrite, n);
    sent += n;
  } while (sent < count);
}

void TIdTCPConnection::Write(const std::string& AOut) {
  // WriteBytes counts in 32 bits; longer texts go in pieces.
  constexpr size_t kPiece = size_t{1} << 30;
  for (size_t off = 0; off < AOut.size(); off += kPiece)
    WriteBytes(AOut.data() + off, static_cast<int32_t>(std::min(kPiece, AOut.size() - off)));
}

void TIdTCPConnection::WriteLn(const std::string& AOut) { Write(AOut + "\r\n"); }

void TIdTCPConnection::WriteInt32(int32_t AValue, bool AConvert) {
  uint32_t v = static_cast<uint32_t>(AValue);
  if (AConvert) v = GlobalStack->HostToNetLong(v);
  WriteBytes(&v, 4);
}

void TIdTCPConnection::WriteFromStream(rtl::TStream& AStream, bool AAll, bool AWriteByteCount,
                                       int64_t ASize) {
  if (AAll) AStream.SetPosition(0);
  const int64_t start = AStream.Position();
  const int64_t end = ASize == 0 ? AStream.Size() : start + ASize;
  const int64_t length = end - start;
  if (AWriteByteCount) {
    // The prefix has 32 bits; a longer stream cannot be announced truthfully.
    if (length < 0 || length > std::numeric_limits<int32_t>::max())
      throw EIdException(rtl::Format(res::kTcpInvalidLength, {length}));
    WriteInt32(static_cast<int32_t>(length), true);
  }
  WorkBegin(wmWrite, Clamp32(length));
  try {
    std::vector<uint8_t> block(static_cast<size_t>(std::max<int32_t>(send_buffer_size_, 1)));
    while (true) {
      const int64_t k = std::min<int64_t>(end - AStream.Position(),
                                          static_cast<int64_t>(block.size()));
      if (k <= 0) break;
      const int64_t got = AStream.Read(block.data(), k);
      if (got <= 0) throw EIdNoDataToRead(res::kTcpNoDataToRead);
      WriteBytes(block.data(), static_cast<int32_t>(got));
    }
  } catch (...) {
    WorkEnd(wmWrite);
    throw;
  }
  WorkEnd(wmWrite);
}

int64_t TIdTCPConnection::SendFile(const std::string& AFile, bool AEnableTransferFile) {
  if (!platform::FileExists(AFile)) throw EIdFileNotFound(rtl::Format(res::kTcpFileNotFound, {AFile}));
  const TIdServeFileProc serve = GServeFileProc();
  if (serve != nullptr && intercept_ == nullptr && AEnableTransferFile &&
      socket_io_handler_ != nullptr && socket_io_handler_->SocketHandle() != nullptr)
    return serve(socket_io_handler_->SocketHandle()->Handle(), AFile);
  rtl::TFileStream file(AFile, rtl::fmOpenRead);
  WriteFromStream(file, true, false, 0);
  return file.Size();
}

}  // namespace tavo::net
