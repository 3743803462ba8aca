#pragma once
// One TCP connection, seen from three sides: its lifecycle (transport, closed-connection
// checks, disconnect), buffered input and output (lines, blocks, streams, time-outs), and the
// command/reply exchange of line protocols. The exchange is declared here, with the
// connection's other operations, and defined beside the reply type in net/tcp/reply_exchange.cpp.
//
// TIdTCPClient adds the outgoing connect to Host:Port.

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "net/stack/stack.h"
#include "net/tcp/buffer.h"
#include "net/tcp/component.h"
#include "net/tcp/reply.h"
#include "rtl/streams.h"

namespace tavo::net {

class TIdIOHandler;
class TIdIOHandlerSocket;
class TIdConnectionIntercept;

enum TIdMaxLineAction : int32_t { maException = 0, maSplit = 1 };

// 1 MiB: far more than any greeting, feature list or status reply a server writes.
inline constexpr int32_t kMaxReplyLengthDefault = 1 << 20;

class TIdTCPConnection : public TIdComponent {
 public:
  explicit TIdTCPConnection(rtl::TComponent* AOwner = nullptr);
  // Closes the transport silently (no status, no OnDisconnected) and frees an owned handler.
  ~TIdTCPConnection() override;

  // ---- virtual operations: what a protocol client may override ------------------------------
  // Raises OnDisconnected when assigned.
  virtual void NotifyDisconnected();
  // Empties the input buffer and clears PeerClosed.
  virtual void ResetState();
  // Everything until the peer closes.
  virtual std::string ReadAll();
  // Tidies up a close noticed by a receive or send (closes the socket, reports hsDisconnected,
  // raises OnDisconnected) and raises EIdConnClosedGracefully when asked to and nothing is
  // left to read (or AIgnoreBuffer).
  virtual void CheckClosed(bool ARaiseExceptionIfDisconnected = true, bool AIgnoreBuffer = false);
  // Reads what is waiting (1 ms) and so processes a close by the peer.
  virtual void ProbeClosed(bool ARaiseExceptionIfDisconnected = false);
  // Command/reply exchange (defined in net/tcp/reply_exchange.cpp).
  virtual int16_t CheckReplyCode(int16_t ACode, const std::vector<int16_t>& AAccepted);
  // Runs CheckClosed(false, false) first, so it notices a close by the peer.
  virtual bool Connected();
  // hsDisconnecting, close, free an owned handler, OnDisconnected, hsDisconnected.
  virtual void Disconnect();
  // Closes the transport without status or event.
  virtual void CloseTransport();
  // Command/reply exchange (defined in net/tcp/reply_exchange.cpp).
  virtual int16_t GetResponse(const std::vector<int16_t>& AAccepted);
  [[noreturn]] virtual void RaiseReplyError();
  // The class form: the caller passes a function that throws its exception class with the
  // given message (C++ has no class references).
  [[noreturn]] virtual void RaiseReplyError(
      const std::function<void(const std::string&)>& ARaise);
  // One fill step: waits up to ATimeout for the socket, receives one chunk into the input
  // buffer. Returns the bytes appended, 0 when the connection closed, -1 on a time-out when
  // ARaiseExceptionOnTimeout is false.
  virtual int32_t FillInputBuffer(bool ARaiseExceptionIfDisconnected = true,
                                  int32_t ATimeout = TimeoutDefault,
                                  bool ARaiseExceptionOnTimeout = true);
  // One line up to ATerminator (empty: LF; with LF a CR before it is dropped too).
  // AMaxLineLength -1 uses MaxLineLength, 0 means no limit. An explicit ATimeout that runs
  // out raises EIdReadTimeout like the default one does.
  virtual std::string ReadLn(const std::string& ATerminator = std::string(),
                             int32_t ATimeout = TimeoutDefault, int32_t AMaxLineLength = -1);
  // Command/reply exchange (defined in net/tcp/reply_exchange.cpp).
  virtual int16_t SendCmd(const std::string& ALine, const std::vector<int16_t>& AAccepted);
  virtual void Write(const std::string& AOut);
  // AOut followed by CR LF.
  virtual void WriteLn(const std::string& AOut = std::string());
  // From the stream's position (or its start when AAll) to its end, or ASize bytes; with
  // AWriteByteCount a 4-byte big-endian length goes first.
  virtual void WriteFromStream(rtl::TStream& AStream, bool AAll = true,
                               bool AWriteByteCount = false, int64_t ASize = 0);
  // Sends the whole file; returns its size.
  virtual int64_t SendFile(const std::string& AFile, bool AEnableTransferFile = false);

  // ---- command/reply exchange, non-virtual (defined in net/tcp/reply_exchange.cpp) ---------
  // -1 accepts any code.
  int16_t SendCmd(const std::string& ALine, int16_t AAccepted = -1);
  // A braced list ({}, {200}, {200, 250}) is a list of codes: without this overload {} and
  // {200} would pick the single-code form above, and {} would then mean "only code 0".
  int16_t SendCmd(const std::string& ALine, std::initializer_list<int16_t> AAccepted);
  void ReadReplyLines();
  TIdRFCReply& GreetingReply() const;
  TIdRFCReply& LastReply() const;

  // ---- buffered input ------------------------------------------------------------------------
  // Non-blank lines: up to ATries reads of ReadLn with bytes <= 32 trimmed off both ends.
  std::string ReadLnSkipBlank(int32_t ATries = 2147483647);
  // Exactly AByteCount bytes.
  void ReadBytes(void* ABuffer, int32_t AByteCount);
  // 4 bytes; AConvert turns them from network to host order.
  int32_t ReadInt32(bool AConvert = true);
  // AByteCount bytes (-1 without AReadUntilDisconnect: a 4-byte big-endian length first), or
  // everything until the peer closes with AReadUntilDisconnect.
  void ReadToStream(rtl::TStream& AStream, int64_t AByteCount = -1,
                    bool AReadUntilDisconnect = false);
  // What is buffered after one fill step.
  std::string ReadAvailable();

  // ---- buffered output -----------------------------------------------------------------------
  void WriteBytes(const void* ABuffer, int32_t AByteCount);
  void WriteInt32(int32_t AValue, bool AConvert = true);

  // ---- properties ----------------------------------------------------------------------------
  TIdIOHandler* IOHandler() const { return io_handler_; }
  // Frees an owned previous handler; watches the new one for destruction.
  void SetIOHandler(TIdIOHandler* AValue);
  TIdIOHandlerSocket* SocketIOHandler() const { return socket_io_handler_; }
  bool OwnsIOHandler() const { return owns_io_handler_; }
  bool PeerClosed() const { return peer_closed_; }

  TIdConnectionIntercept* Intercept() const { return intercept_; }
  void SetIntercept(TIdConnectionIntercept* AValue);

  const TNotifyEvent& OnDisconnected() const { return on_disconnected_; }
  void SetOnDisconnected(TNotifyEvent v) { on_disconnected_ = std::move(v); }

  int32_t ReadTimeout() const { return read_timeout_; }
  void SetReadTimeout(int32_t v) { read_timeout_ = v; }
  int32_t RecvBufferSize() const { return recv_buffer_size_; }
  void SetRecvBufferSize(int32_t v) { recv_buffer_size_ = v; }
  int32_t SendBufferSize() const { return send_buffer_size_; }
  void SetSendBufferSize(int32_t v) { send_buffer_size_ = v; }
  int32_t MaxLineLength() const { return max_line_length_; }
  void SetMaxLineLength(int32_t v) { max_line_length_ = v; }
  // The most bytes one reply may take, blank lines before it included (ReadReplyLines raises
  // EIdReplyTooLong past it); 0 or less means no limit. A server that sends continuation or
  // blank lines without end would otherwise be read for ever while every line arrives in time.
  int32_t MaxReplyLength() const { return max_reply_length_; }
  void SetMaxReplyLength(int32_t v) { max_reply_length_ = v; }
  TIdMaxLineAction MaxLineAction() const { return max_line_action_; }
  void SetMaxLineAction(TIdMaxLineAction v) { max_line_action_ = v; }
  bool ASCIIFilter() const { return ascii_filter_; }
  void SetASCIIFilter(bool v) { ascii_filter_ = v; }

  TIdManagedBuffer& InboundBuffer() { return *inbound_buffer_; }
  const TIdManagedBuffer& InboundBuffer() const { return *inbound_buffer_; }

 protected:
  void Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) override;
  void SetOwnsIOHandler(bool v) { owns_io_handler_ = v; }

 private:
  // Forgets the handler, and frees it when the connection owns it.
  void ReleaseIOHandler();
  // One receive of FillInputBuffer into the input buffer, through the intercept and the ASCII
  // filter; the bytes added, 0 at the peer's close.
  int32_t ReceiveIntoInputBuffer();
  // ReadToStream's steps: the count (read from the peer when -1), the buffered bytes moved to
  // the stream (at most AMost; how many), the read until the close, the counted read.
  int64_t ReadToStreamCount(int64_t AByteCount, bool AReadUntilDisconnect);
  int64_t MoveBufferedToStream(rtl::TStream& AStream, int64_t AMost);
  void ReadToStreamUntilClose(rtl::TStream& AStream);
  void ReadToStreamCounted(rtl::TStream& AStream, int64_t ACount);

  TIdIOHandler* io_handler_ = nullptr;
  TIdIOHandlerSocket* socket_io_handler_ = nullptr;
  bool owns_io_handler_ = false;
  bool peer_closed_ = false;
  TIdConnectionIntercept* intercept_ = nullptr;
  TNotifyEvent on_disconnected_;

  int32_t read_timeout_ = 0;
  int32_t recv_buffer_size_ = 32768;
  int32_t send_buffer_size_ = 32768;
  int32_t max_line_length_ = 16384;
  int32_t max_reply_length_ = kMaxReplyLengthDefault;
  TIdMaxLineAction max_line_action_ = maException;
  bool ascii_filter_ = false;

  std::unique_ptr<TIdManagedBuffer> inbound_buffer_;
  std::unique_ptr<TIdSimpleBuffer> chunk_buffer_;
  std::unique_ptr<TIdRFCReply> greeting_reply_;
  std::unique_ptr<TIdRFCReply> last_reply_;
};

class TIdTCPClient : public TIdTCPConnection {
 public:
  explicit TIdTCPClient(rtl::TComponent* AOwner = nullptr);

  // Virtual beyond the connection's: SetHost, SetPort, NotifyConnected, Connect and
  // ConnectAndReadAll, so a protocol client can check its address or add to the connect.
  const std::string& Host() const { return host_; }
  virtual void SetHost(const std::string& AValue) { host_ = AValue; }
  int32_t Port() const { return port_; }
  virtual void SetPort(int32_t AValue) { port_ = AValue; }
  // Raises OnConnected when assigned.
  virtual void NotifyConnected();
  // Opens the connection to Host:Port; ATimeout in ms (TimeoutDefault/0: no connect thread).
  // A failure closes the socket and passes on; the handler and settings stay.
  virtual void Connect(int32_t ATimeout = TimeoutDefault);
  // Connect, ReadAll, then Disconnect (also when the read fails).
  virtual std::string ConnectAndReadAll();

  const std::string& BoundIP() const { return bound_ip_; }
  void SetBoundIP(const std::string& v) { bound_ip_ = v; }
  int32_t BoundPort() const { return bound_port_; }
  void SetBoundPort(int32_t v) { bound_port_ = v; }
  int32_t BoundPortLow() const { return bound_port_low_; }
  void SetBoundPortLow(int32_t v) { bound_port_low_ = v; }
  int32_t BoundPortHigh() const { return bound_port_high_; }
  void SetBoundPortHigh(int32_t v) { bound_port_high_ = v; }
  // Handed to the socket handler at each Connect (see TIdIOHandlerSocket::AddressFamily):
  // afIPv4 at creation, so a client connects as it always has unless told otherwise.
  TIdAddressFamily AddressFamily() const { return address_family_; }
  void SetAddressFamily(TIdAddressFamily v) { address_family_ = v; }

  const TNotifyEvent& OnConnected() const { return on_connected_; }
  void SetOnConnected(TNotifyEvent v) { on_connected_ = std::move(v); }

 private:
  std::string host_;
  int32_t port_ = 0;
  std::string bound_ip_;
  int32_t bound_port_ = 0;
  int32_t bound_port_low_ = 0;
  int32_t bound_port_high_ = 0;
  TIdAddressFamily address_family_ = afIPv4;
  TNotifyEvent on_connected_;
};

}  // namespace tavo::net
