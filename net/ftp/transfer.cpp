// Retrieval: the destination rules of a Get, the data connection of one transfer (passive: we
// connect to the server; active: the server connects to our one-shot listener), the restart
// marker, and the final reply.

#include <algorithm>
#include <vector>
#include <limits>
#include <memory>
#include <string>
#include <string_view>

#include "net/ftp/ftp.h"
#include "net/ftp/simple_server.h"
#include "net/tcp/socks_info.h"
#include "net/stack/socket_handle.h"
#include "net/tcp/iohandler.h"
#include "net/tcp/trim.h"
#include "platform/files.h"
#include "resources/ftp_texts.h"
#include "resources/tls_texts.h"
#include "rtl/convert.h"
#include "rtl/format.h"
#include "rtl/streams.h"

namespace tavo::net {
namespace {

// Takes the text before the next comma off the front of `rest` (all of it when no comma is
// left), together with the comma.
std::string SplitField(std::string& rest) {
  const size_t comma = rest.find(',');
  std::string field = rest.substr(0, comma);
  rest = comma == std::string::npos ? std::string() : rest.substr(comma + 1);
  return field;
}

// One byte of a PASV or PORT address: a number (else the runtime's conversion error) in 0..255.
int32_t ByteField(const std::string& field) {
  const int32_t v = rtl::StrToInt(field);
  if (v < 0 || v > 255) throw EIdFTPPasvReplyError(rtl::Format(res::kFtpPasvInvalidField, {field}));
  return v;
}

bool StartsWithNoCase(const std::string& s, size_t at, const char* word) {
  for (size_t i = 0; word[i] != '\0'; ++i) {
    if (at + i >= s.size()) return false;
    const char c = s[at + i];
    const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    if (lower != word[i]) return false;
  }
  return true;
}

int32_t Clamp32(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, 0, std::numeric_limits<int32_t>::max()));
}

// Counts the bytes written through it (a destination's position says nothing when it cannot
// seek: a device such as /dev/null reports 0 however much it took), and refuses bytes beyond
// ALimit (-1: none) before they reach the destination.
class CountingStream : public rtl::TStream {
 public:
  CountingStream(rtl::TStream& ATarget, int64_t ALimit) : target_(ATarget), limit_(ALimit) {}
  int64_t Read(void* buffer, int64_t count) override { return target_.Read(buffer, count); }
  int64_t Write(const void* buffer, int64_t count) override {
    if (limit_ >= 0 && count > limit_ - written_)
      throw EIdFTPTransferTooLong(rtl::Format(res::kFtpTransferTooLong, {limit_}));
    const int64_t n = target_.Write(buffer, count);
    if (n > 0) written_ += n;
    return n;
  }
  int64_t Seek(int64_t offset, rtl::TSeekOrigin origin) override {
    return target_.Seek(offset, origin);
  }
  void SetSize(int64_t new_size) override { target_.SetSize(new_size); }
  void Flush() override { target_.Flush(); }
  int64_t Written() const { return written_; }

 private:
  rtl::TStream& target_;
  int64_t limit_;
  int64_t written_ = 0;
};

// What a binary transfer must bring, from the restart offset, the size its 1xx reply announced
// and the file's size on the server (each -1 when unknown). The server's size decides when it
// is known: the file must end exactly there. Otherwise the announcement bounds the transfer;
// after a restart marker some servers announce what is left and others the whole file, so
// either reading makes it whole. With neither, nothing is known.
struct ExpectedSize {
  int64_t limit = -1;  // the most bytes the transfer may bring
  int64_t whole = -1;  // a count that makes it whole
  int64_t whole_too = -1;

  ExpectedSize(int64_t AOffset, int64_t AAnnounced, int64_t ARemote) {
    if (ARemote >= 0) {
      limit = whole = whole_too = ARemote - AOffset;
    } else if (AAnnounced >= 0) {
      limit = whole = AAnnounced;
      whole_too = AAnnounced - AOffset;
    }
  }
  bool Complete(int64_t AReceived) const {
    return limit < 0 || AReceived == whole || AReceived == whole_too;
  }
};

// Reads the data connection into ADest until the server closes it and returns the bytes that
// arrived; bytes beyond ALimit raise EIdFTPTransferTooLong. With a size announced, the outer
// work bracket carries it, so handlers learn the total at OnWorkBegin. ALowWater > 0: the
// socket reports readable once that many bytes wait (see TIdSocketHandle::SetReceiveLowWater).
int64_t ReadData(TIdTCPConnection& AData, rtl::TStream& ADest, int64_t ASize, int64_t ALimit,
                 int32_t ALowWater) {
  TIdIOHandlerSocket* handler = AData.SocketIOHandler();
  if (ALowWater > 0 && handler != nullptr && handler->SocketHandle() != nullptr)
    handler->SocketHandle()->SetReceiveLowWater(ALowWater);
  const bool sized = ASize >= 0;
  CountingStream counted(ADest, ALimit);
  if (sized) AData.WorkBegin(wmRead, Clamp32(ASize));
  try {
    AData.ReadToStream(counted, -1, true);
  } catch (...) {
    if (sized) AData.WorkEnd(wmRead);
    throw;
  }
  if (sized) AData.WorkEnd(wmRead);
  return counted.Written();
}

// The listing as it arrives, cut into lines (LF ends one, a CR before it goes) and kept
// packed. It meets its bounds while the data comes in: a server sending without end, or a
// flood of tiny lines each of which would cost memory to keep, is refused then and there.
class ListingSink : public rtl::TStream {
 public:
  explicit ListingSink(rtl::TPackedLines& ALines) : lines_(ALines) {}
  int64_t Read(void*, int64_t) override { return 0; }
  int64_t Write(const void* buffer, int64_t count) override {
    if (count > TIdFTP::kMaxListingBytes - received_)
      throw EIdFTPListingTooLarge(rtl::Format(
          res::kFtpListingTooLarge, {static_cast<int32_t>(TIdFTP::kMaxListingBytes >> 20)}));
    received_ += count;
    std::string_view rest(static_cast<const char*>(buffer), static_cast<size_t>(count));
    for (size_t lf = rest.find('\n'); lf != std::string_view::npos; lf = rest.find('\n')) {
      partial_.append(rest.substr(0, lf));
      AddLine();
      rest.remove_prefix(lf + 1);
    }
    partial_.append(rest);
    return count;
  }
  // Only where it stands can be asked: the bytes received.
  int64_t Seek(int64_t, rtl::TSeekOrigin) override { return received_; }
  void SetSize(int64_t) override {}
  // The last line, when the listing does not end with a line break.
  void Finish() {
    if (!partial_.empty()) AddLine();
  }

 private:
  void AddLine() {
    if (lines_.Count() >= TIdFTP::kMaxListingLines)
      throw EIdFTPListingTooLarge(
          rtl::Format(res::kFtpListingTooManyLines, {TIdFTP::kMaxListingLines}));
    if (!partial_.empty() && partial_.back() == '\r') partial_.pop_back();
    lines_.Add(partial_);
    partial_.clear();
  }

  rtl::TPackedLines& lines_;
  std::string partial_;
  int64_t received_ = 0;
};

}  // namespace

void TIdFTP::SplitListing(std::string_view AText, rtl::TPackedLines& ALines) {
  ListingSink sink(ALines);
  sink.Write(AText.data(), static_cast<int64_t>(AText.size()));
  sink.Finish();
}

int64_t TIdFTP::AnnouncedTransferSize(const TIdRFCReply& reply) {
  int64_t size = -1;
  for (const std::string& line : reply.Text().Items()) {
    for (size_t open = line.find('('); open != std::string::npos; open = line.find('(', open + 1)) {
      size_t end = open + 1;
      while (end < line.size() && line[end] >= '0' && line[end] <= '9') ++end;
      if (end == open + 1) continue;
      size_t word = end;
      while (word < line.size() && line[word] == ' ') ++word;
      if (!StartsWithNoCase(line, word, "bytes)")) continue;
      int64_t v = 0;
      if (rtl::TryStrToInt64(std::string_view(line).substr(open + 1, end - open - 1), v)) size = v;
    }
  }
  return size;
}

void TIdFTP::List(const std::string& ASpecifier) {
  ReadListing(ASpecifier.empty() ? std::string(res::kFtpCmdList)
                                 : std::string(res::kFtpCmdList) + " " + ASpecifier,
              false);
}

void TIdFTP::MachineList(const std::string& AFolder) {
  ReadListing(AFolder.empty() ? std::string(res::kFtpCmdMlsd)
                              : std::string(res::kFtpCmdMlsd) + " " + AFolder,
              true);
}

void TIdFTP::ReadListing(const std::string& ACommand, bool AMachine) {
  // Filled aside, so that a listing that fails leaves the previous one as it was.
  rtl::TPackedLines lines;
  ListingSink sink(lines);
  RunDataTransfer(ACommand, sink, false);
  sink.Finish();
  *list_lines_ = std::move(lines);
  listing_is_mlsd_ = AMachine;
  if (listing_items_) LoadListing(*listing_items_);
}

TIdFTPListItems* TIdFTP::ListingItems() {
  if (!listing_items_) {
    TIdFTPListItems* supplied = nullptr;
    if (on_create_ftp_list_) on_create_ftp_list_(this, supplied);
    listing_items_.reset(supplied != nullptr ? supplied : new TIdFTPListItems());
    if (list_lines_->Count() > 0) LoadListing(*listing_items_);
  }
  return listing_items_.get();
}

void TIdFTP::LoadListing(TIdFTPListItems& AItems) {
  if (list_lines_->Count() == 0) {
    AItems.Clear();
    return;
  }
  const std::string first((*list_lines_)[0]);
  // Machine-readable lines are never guessed at: the command that fetched them says so.
  TIdFTPListFormat format = listing_is_mlsd_ ? flfMLSD : AItems.DetectListFormat(first, true);
  if (on_check_list_format_) on_check_list_format_(this, first, format);
  AItems.SetListFormat(format);
  AItems.LoadLines(*list_lines_);
}

const TIdOnParseCustomListFormat& TIdFTP::OnParseCustomListFormat() {
  return ListingItems()->OnParseCustomListFormat();
}

void TIdFTP::SetOnParseCustomListFormat(TIdOnParseCustomListFormat v) {
  ListingItems()->SetOnParseCustomListFormat(std::move(v));
}

void TIdFTP::Get(const std::string& ASourceFile, const std::string& ADestFile, bool ACanOverwrite,
                 bool AResume) {
  std::unique_ptr<rtl::TFileStream> dest;
  if (platform::FileExists(ADestFile)) {
    AResume = AResume && ProbeResume();
    if (ACanOverwrite && !AResume) {
      dest = std::make_unique<rtl::TFileStream>(ADestFile, rtl::fmCreate);
    } else if (!ACanOverwrite && AResume) {
      dest = std::make_unique<rtl::TFileStream>(ADestFile, rtl::fmOpenWrite);
      dest->Seek(0, rtl::TSeekOrigin::soEnd);
    } else {
      throw EIdFTPFileAlreadyExists(res::kFtpFileAlreadyExists);
    }
  } else {
    dest = std::make_unique<rtl::TFileStream>(ADestFile, rtl::fmCreate);
  }
  // On failure the stream closes the file when it goes; what arrived stays in it.
  Get(ASourceFile, *dest, AResume);
  // A file that the disk could not take whole fails the retrieval, also when only closing it
  // tells (a network file system, a quota).
  dest->Close();
}

void TIdFTP::Get(const std::string& ASourceFile, rtl::TStream& ADest, bool AResume) {
  AResume = AResume && ProbeResume();
  int64_t remote_size = -1;
  // Byte counts of both sides compare only in binary mode (ASCII mode changes line ends).
  if (AResume && transfer_type_ == ftBinary) {
    remote_size = RemoteSize(ASourceFile);
    const int64_t local_size = ADest.Position();
    if (remote_size >= 0 && local_size > remote_size)
      throw EIdFTPLocalFileLarger(rtl::Format(res::kFtpLocalFileLarger, {local_size, remote_size}));
  }
  if (remote_size < 0 || ADest.Position() < remote_size) {
    RunDataTransfer(res::kFtpCmdRetr + ASourceFile, ADest, AResume, remote_size);
  }
  // Otherwise the file is complete already: nothing to transfer.
  ADest.Flush();
  rtl::TStream* stream = &ADest;
  DoAfterGet(stream);
}

void TIdFTP::RunDataTransfer(const std::string& ACommand, rtl::TStream& ADest, bool AResume) {
  RunDataTransfer(ACommand, ADest, AResume, -1);
}

void TIdFTP::RunDataTransfer(const std::string& ACommand, rtl::TStream& ADest, bool AResume,
                             int64_t ARemoteSize) {
  CheckDataTransfer(ACommand);
  ReportStatus(ftpTransfer, {res::kFtpTransferStarting.Text()});
  transfer_size_ = -1;
  abort_sent_ = false;
  const int64_t start_position = AResume ? ADest.Position() : 0;
  int64_t received = 0;
  try {
    received = passive_ ? ReceivePassive(ACommand, ADest, AResume, start_position, ARemoteSize)
                        : ReceiveActive(ACommand, ADest, AResume, start_position, ARemoteSize);
  } catch (...) {
    data_connection_.reset();
    ReportStatus(ftpReady, {res::kFtpTransferComplete.Text()});
    throw;
  }
  data_connection_.reset();
  ReportStatus(ftpReady, {res::kFtpTransferComplete.Text()});

  if (ReadAbortedTransferReply()) return;
  // A server that announced the size ("(N bytes)") and then closed the data connection early
  // has sent part of the file, whatever its final reply says. In ASCII mode the byte count
  // changes on the way, so only binary transfers are held to the announced size.
  const ExpectedSize expected(start_position, transfer_size_, ARemoteSize);
  if (transfer_type_ == ftBinary && !expected.Complete(received))
    throw EIdFTPTransferIncomplete(
        rtl::Format(res::kFtpTransferIncomplete, {received, expected.limit}));
}

void TIdFTP::CheckDataTransfer(const std::string& ACommand) {
  // The passive command is written with WriteLn, whose reply is read later: a line break in a
  // file name must not reach the server as a command of its own.
  CheckCommandLine(ACommand);
  TIdIOHandlerSocket* control = SocketIOHandler();
  if (!passive_ && control != nullptr && control->SocksInfo()->Version() != svNoSocks)
    throw EIdFTPDataConnectionError(res::kFtpActiveThroughSocks);
  // A session that should be protected but is not must not move data in plain text.
  if (use_tls_ == utRequireTLS && ControlTLS() == nullptr)
    throw EIdTLSError(res::kFtpTlsNotNegotiated);
}

int64_t TIdFTP::DataLimit(int64_t AStartPosition, int64_t ARemoteSize) const {
  return transfer_type_ == ftBinary
             ? ExpectedSize(AStartPosition, transfer_size_, ARemoteSize).limit
             : -1;
}

int32_t TIdFTP::DataLowWater() {
  // A plain binary transfer is woken once per half a read rather than once per segment: a
  // fast sender otherwise wakes us (and we it) tens of thousands of times per GiB. Through
  // TLS the records decide what a read returns, so the waits stay as they are.
  return transfer_type_ == ftBinary && ControlTLS() == nullptr ? RecvBufferSize() / 2 : 0;
}

void TIdFTP::SendRestart(bool AResume, rtl::TStream& ADest) {
  if (AResume) SendCmd(res::kFtpCmdRest + rtl::IntToStr(ADest.Position()), int16_t{350});
}

int64_t TIdFTP::ReceivePassive(const std::string& ACommand, rtl::TStream& ADest, bool AResume,
                               int64_t AStartPosition, int64_t ARemoteSize) {
  std::string address;
  int32_t port = 0;
  RequestDataAddress(address, port);
  OpenPassiveDataConnection(address, port);
  auto& data = static_cast<TIdTCPClient&>(*data_connection_);
  int64_t received = 0;
  try {
    SendRestart(AResume, ADest);
    WriteLn(ACommand);
    GetResponse({125, 150, 154});
    transfer_size_ = AnnouncedTransferSize(LastReply());
    // The server starts its side of TLS only once it has answered the command.
    StartDataTLS(data);
    received = ReadData(data, ADest, transfer_size_, DataLimit(AStartPosition, ARemoteSize),
                        DataLowWater());
  } catch (...) {
    // The error that broke the transfer is what the caller must see.
    try {
      data.Disconnect();
    } catch (...) {
    }
    throw;
  }
  data.Disconnect();
  return received;
}

int64_t TIdFTP::ReceiveActive(const std::string& ACommand, rtl::TStream& ADest, bool AResume,
                              int64_t AStartPosition, int64_t ARemoteSize) {
  ListenForActiveDataConnection();
  auto& listener = static_cast<TIdSimpleServer&>(*data_connection_);
  SendRestart(AResume, ADest);
  SendCmd(ACommand, {125, 150, 154});
  transfer_size_ = AnnouncedTransferSize(LastReply());
  if (!listener.AcceptConnection()) {
    // Reading from a connection that was never made would report an empty transfer.
    if (listener.AbortRequested()) throw EIdFTPDataConnectionError(res::kFtpAcceptAborted);
    if (listener.AcceptTimedOut())
      throw EIdFTPDataConnectionError(
          rtl::Format(res::kFtpAcceptTimeout, {listener.AcceptTimeout()}));
    throw EIdFTPDataConnectionError(rtl::Format(res::kFtpAcceptFailed, {listener.AcceptError()}));
  }
  // We are the TLS client on the connection the server opened.
  StartDataTLS(listener);
  return ReadData(listener, ADest, transfer_size_, DataLimit(AStartPosition, ARemoteSize),
                  DataLowWater());
}

bool TIdFTP::ReadAbortedTransferReply() {
  const int16_t code = GetResponse({225, 226, 250, 426, 450});
  if (code != 426 && code != 450) return false;
  // The transfer returns normally and says so with the status; a caller for whom a partial
  // file is a failure (the launcher, tavo-ftp) watches for ftpAborted.
  // After our ABOR the server answers that too (226 or 225), and often in the same breath as
  // the 426. A server that reports a broken transfer on its own sends the 426 alone, and
  // waiting for a second reply would wait for one that never comes (for ever with
  // ReadTimeout 0): so it is read when ABOR went out, or when it arrives within a short grace.
  if (abort_sent_ || InboundBuffer().VisibleSize() > 0 ||
      FillInputBuffer(false, kSecondReplyGraceMs, false) > 0)
    GetResponse({226, 225});
  ReportStatus(ftpAborted, {res::kFtpTransferAborted.Text()});
  return true;
}

void TIdFTP::OpenPassiveDataConnection(const std::string& AAddress, int32_t APort) {
  data_connection_ = std::make_unique<TIdTCPClient>();
  auto& data = static_cast<TIdTCPClient&>(*data_connection_);
  TIdIOHandlerSocket* control = SocketIOHandler();
  bool via_socks = false;
  if (control != nullptr) {
    // The data connection goes the way the control connection went: through the same proxy,
    // and over TLS when the control connection is.
    TIdIOHandlerSocket* handler = ControlTLS() != nullptr
                                      ? new TIdIOHandlerTLS(&data)
                                      : new TIdIOHandlerSocket(&data);  // owned by `data`
    data.SetIOHandler(handler);
    handler->SocksInfo()->Assign(*control->SocksInfo());
    via_socks = control->SocksInfo()->Version() != svNoSocks;
  }
  CopyDataSettings();

  // Only the port of the reply is trusted unless told otherwise: the data goes to the host we
  // are already talking to (through a SOCKS proxy: the host the control connection asked it
  // for, so that an FTP proxy in the server's place serves the data too).
  std::string host = AAddress;
  if (!trust_pasv_address_ || AAddress.empty()) {
    if (via_socks || control == nullptr || control->SocketHandle() == nullptr)
      host = control_host_.empty() ? Host() : control_host_;
    else
      host = control->SocketHandle()->PeerIP();
  }
  data.SetHost(host);
  data.SetPort(APort);
  // A data connection never waits longer than the control connection was allowed to.
  data.Connect(connect_timeout_);
}

void TIdFTP::ListenForActiveDataConnection() {
  data_connection_ = std::make_unique<TIdSimpleServer>();
  auto& listener = static_cast<TIdSimpleServer&>(*data_connection_);
  CopyDataSettings();
  if (ControlTLS() != nullptr)
    listener.SetIOHandlerFactory([](rtl::TComponent* AOwner) { return new TIdIOHandlerTLS(AOwner); });
  TIdIOHandlerSocket* control = SocketIOHandler();
  // The server connects back to the address it already reaches us at, and only the server
  // may: anyone else who finds the port in time would otherwise supply the data.
  if (control != nullptr && control->SocketHandle() != nullptr) {
    listener.SetBoundIP(control->SocketHandle()->IP());
    if (!allow_foreign_data_peer_) listener.SetAllowedPeerIP(control->SocketHandle()->PeerIP());
  }
  listener.SetAcceptTimeout(ReadTimeout() > 0 ? ReadTimeout()
                                              : TIdSimpleServer::kDefaultAcceptTimeout);
  listener.StartListening();
  SendPortCommand(*listener.SocketIOHandler()->SocketHandle());
}

bool TIdFTP::ControlIsIPv6() {
  TIdIOHandlerSocket* control = SocketIOHandler();
  return control != nullptr && control->SocketHandle() != nullptr &&
         control->SocketHandle()->Family() == Id_PF_INET6;
}

void TIdFTP::RequestDataAddress(std::string& VAddress, int32_t& VPort) {
  const bool ipv6 = ControlIsIPv6();
  if (ipv6 || (use_epsv_ && !epsv_refused_)) {
    // Over IPv6 there is nothing to fall back to: a refusal is the session's error.
    const std::vector<int16_t> accepted =
        ipv6 ? std::vector<int16_t>{229} : std::vector<int16_t>{229, 500, 502};
    if (SendCmd(res::kFtpCmdEpsv, accepted) == 229) {
      const rtl::TStringList& text = LastReply().Text();
      VPort = ParseEpsvReply(text.Count() > 0 ? text[0] : std::string());
      // EPSV names a port only: the data goes to the peer we are talking to.
      VAddress.clear();
      return;
    }
    epsv_refused_ = true;
  }
  RequestPassiveAddress(VAddress, VPort);
}

int32_t TIdFTP::ParseEpsvReply(const std::string& AText) {
  // "(<d><d><d>port<d>)": any printable delimiter, the same four times, nothing but the port
  // between the third and the fourth.
  const size_t open = AText.find('(');
  const size_t close = AText.rfind(')');
  const auto invalid = [&] {
    return EIdFTPPasvReplyError(rtl::Format(res::kFtpEpsvReplyInvalid, {AText}));
  };
  if (open == std::string::npos || close == std::string::npos || close < open + 5) throw invalid();
  const std::string inner = AText.substr(open + 1, close - open - 1);
  const char d = inner[0];
  if (d < 33 || d > 126 || inner[1] != d || inner[2] != d || inner.back() != d) throw invalid();
  const std::string digits = inner.substr(3, inner.size() - 4);
  int32_t port = 0;
  if (digits.empty() || digits.size() > 5 ||
      !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
      !rtl::TryStrToInt(digits, port) || port < 1 || port > 65535)
    throw invalid();
  return port;
}

void TIdFTP::RequestPassiveAddress(std::string& VAddress, int32_t& VPort) {
  SendCmd(res::kFtpCmdPasv, int16_t{227});
  const rtl::TStringList& text = LastReply().Text();
  ParsePasvReply(text.Count() > 0 ? text[0] : std::string(), VAddress, VPort);
}

void TIdFTP::ParsePasvReply(const std::string& AText, std::string& VAddress, int32_t& VPort) {
  const std::string line = tcp_detail::TrimBlanks(AText);

  std::string fields;
  const size_t open = line.find('(');
  const size_t close = line.find(')');
  if (open != std::string::npos && close != std::string::npos) {
    if (close > open) fields = line.substr(open + 1, close - open - 1);
  } else {
    const size_t space = line.rfind(' ');
    fields = space == std::string::npos ? line : line.substr(space + 1);
  }

  std::string address;
  for (int i = 0; i < 4; ++i) {
    if (i > 0) address += '.';
    address += rtl::IntToStr(ByteField(SplitField(fields)));
  }
  const int32_t high = ByteField(SplitField(fields));
  const int32_t low = ByteField(SplitField(fields));
  const int32_t port = high * 256 + low;
  if (port < 1) throw EIdFTPPasvReplyError(rtl::Format(res::kFtpPasvInvalidPort, {port}));
  VAddress = address;
  VPort = port;
}

void TIdFTP::SendPortCommand(const TIdSocketHandle& AHandle) {
  const bool ipv6 = AHandle.Family() == Id_PF_INET6;
  if (ipv6 || (use_eprt_ && !eprt_refused_)) {
    // "EPRT |2|::1|6446|": the family, the address as text, the port.
    const std::string line = res::kFtpCmdEprt + std::string("|") +
                             (ipv6 ? res::kFtpEprtIPv6 : res::kFtpEprtIPv4) + "|" + AHandle.IP() +
                             "|" + rtl::IntToStr(AHandle.Port()) + "|";
    const std::vector<int16_t> accepted =
        ipv6 ? std::vector<int16_t>{200} : std::vector<int16_t>{200, 500, 502};
    if (SendCmd(line, accepted) == 200) return;
    eprt_refused_ = true;
  }
  std::string address = AHandle.IP();
  std::replace(address.begin(), address.end(), '.', ',');
  const int32_t port = AHandle.Port();
  SendCmd(res::kFtpCmdPort + address + "," + rtl::IntToStr(port / 256) + "," +
              rtl::IntToStr(port % 256),
          int16_t{200});
}

void TIdFTP::CopyDataSettings() {
  if (!data_connection_) return;
  TIdTCPConnection& data = *data_connection_;
  data.SetSendBufferSize(SendBufferSize());
  data.SetRecvBufferSize(RecvBufferSize());
  data.SetOnWork(OnWork());
  data.SetOnWorkBegin(OnWorkBegin());
  data.SetOnWorkEnd(OnWorkEnd());
  // A read time-out the user set for the session bounds the data connection's waits too; a
  // stalled data connection would otherwise hang a session that asked not to hang.
  data.SetReadTimeout(ReadTimeout());
  // The data connection may go where the control connection went, an IPv6 peer included.
  if (auto* client = dynamic_cast<TIdTCPClient*>(&data)) client->SetAddressFamily(AddressFamily());
}

}  // namespace tavo::net
