// Retrieval: the destination rules of a Get, the data connection of one transfer (passive: we
// connect to the server; active: the server connects to our one-shot listener), the restart
// marker, and the final reply.

#include <algorithm>
#include <limits>
#include <memory>
#include <string>

#include "net/ftp/ftp.h"
#include "net/ftp/simple_server.h"
#include "net/socks/socks_info.h"
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

// Counts the bytes written through it: a destination's position says nothing when it cannot
// seek (a device such as /dev/null reports 0 however much it took).
class CountingStream : public rtl::TStream {
 public:
  explicit CountingStream(rtl::TStream& ATarget) : target_(ATarget) {}
  int64_t Read(void* buffer, int64_t count) override { return target_.Read(buffer, count); }
  int64_t Write(const void* buffer, int64_t count) override {
    const int64_t n = target_.Write(buffer, count);
    if (n > 0) written_ += n;
    return n;
  }
  int64_t Seek(int64_t offset, rtl::TSeekOrigin origin) override {
    return target_.Seek(offset, origin);
  }
  void SetSize(int64_t new_size) override { target_.SetSize(new_size); }
  int64_t Written() const { return written_; }

 private:
  rtl::TStream& target_;
  int64_t written_ = 0;
};

// Reads the data connection into ADest until the server closes it and returns the bytes that
// arrived. With a size announced, the outer work bracket carries it, so handlers learn the
// total at OnWorkBegin.
int64_t ReadData(TIdTCPConnection& AData, rtl::TStream& ADest, int64_t ASize) {
  const bool sized = ASize >= 0;
  CountingStream counted(ADest);
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

// Memory that refuses to grow past a bound: a listing is held whole, so a server that sends
// without end must meet a limit before memory does.
class BoundedMemoryStream : public rtl::TMemoryStream {
 public:
  explicit BoundedMemoryStream(int64_t ALimit) : limit_(ALimit) {}
  int64_t Write(const void* buffer, int64_t count) override {
    if (Position() + count > limit_)
      throw EIdFTPListingTooLarge(
          rtl::Format(res::kFtpListingTooLarge, {static_cast<int32_t>(limit_ >> 20)}));
    return rtl::TMemoryStream::Write(buffer, count);
  }

 private:
  int64_t limit_;
};

}  // namespace

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
  BoundedMemoryStream data(kMaxListingBytes);
  RunDataTransfer(ASpecifier.empty() ? std::string(res::kFtpCmdList)
                                     : std::string(res::kFtpCmdList) + " " + ASpecifier,
                  data, false);
  list_lines_->Clear();
  const std::string text = data.DataString();
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    list_lines_->Add(line);
    start = end + 1;
  }
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
  const std::string& first = (*list_lines_)[0];
  TIdFTPListFormat format = AItems.DetectListFormat(first, true);
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
  // The stream closes the file when it goes, also on failure; what arrived stays in it.
  Get(ASourceFile, *dest, AResume);
}

void TIdFTP::Get(const std::string& ASourceFile, rtl::TStream& ADest, bool AResume) {
  AResume = AResume && ProbeResume();
  RunDataTransfer(res::kFtpCmdRetr + ASourceFile, ADest, AResume);
  rtl::TStream* stream = &ADest;
  DoAfterGet(stream);
}

void TIdFTP::RunDataTransfer(const std::string& ACommand, rtl::TStream& ADest, bool AResume) {
  // The passive command is written with WriteLn, whose reply is read later: a line break in a
  // file name must not reach the server as a command of its own.
  CheckCommandLine(ACommand);
  TIdIOHandlerSocket* control = SocketIOHandler();
  if (!passive_ && control != nullptr && control->SocksInfo()->Version() != svNoSocks)
    throw EIdFTPDataConnectionError(res::kFtpActiveThroughSocks);
  // A session that should be protected but is not must not move data in plain text.
  if (use_tls_ == utRequireTLS && ControlTLS() == nullptr)
    throw EIdTLSError(res::kFtpTlsNotNegotiated);

  ReportStatus(ftpTransfer, {res::kFtpTransferStarting});
  transfer_size_ = -1;
  abort_sent_ = false;
  const int64_t start_position = AResume ? ADest.Position() : 0;
  int64_t received = 0;
  const auto send_rest = [&] {
    if (AResume) SendCmd(res::kFtpCmdRest + rtl::IntToStr(ADest.Position()), int16_t{350});
  };
  try {
    if (passive_) {
      std::string address;
      int32_t port = 0;
      RequestPassiveAddress(address, port);
      OpenPassiveDataConnection(address, port);
      auto& data = static_cast<TIdTCPClient&>(*data_connection_);
      try {
        send_rest();
        WriteLn(ACommand);
        GetResponse({125, 150, 154});
        transfer_size_ = AnnouncedTransferSize(LastReply());
        // The server starts its side of TLS only once it has answered the command.
        StartDataTLS(data);
        received = ReadData(data, ADest, transfer_size_);
      } catch (...) {
        // The error that broke the transfer is what the caller must see.
        try {
          data.Disconnect();
        } catch (...) {
        }
        throw;
      }
      data.Disconnect();
    } else {
      ListenForActiveDataConnection();
      auto& listener = static_cast<TIdSimpleServer&>(*data_connection_);
      send_rest();
      SendCmd(ACommand, {125, 150, 154});
      transfer_size_ = AnnouncedTransferSize(LastReply());
      if (!listener.AcceptConnection()) {
        // Reading from a connection that was never made would report an empty transfer.
        if (listener.AbortRequested()) throw EIdFTPDataConnectionError(res::kFtpAcceptAborted);
        throw EIdFTPDataConnectionError(
            rtl::Format(res::kFtpAcceptTimeout, {listener.AcceptTimeout()}));
      }
      // We are the TLS client on the connection the server opened.
      StartDataTLS(listener);
      received = ReadData(listener, ADest, transfer_size_);
    }
  } catch (...) {
    data_connection_.reset();
    ReportStatus(ftpReady, {res::kFtpTransferComplete});
    throw;
  }
  data_connection_.reset();
  ReportStatus(ftpReady, {res::kFtpTransferComplete});

  const int16_t code = GetResponse({225, 226, 250, 426, 450});
  if (code == 426 || code == 450) {
    // The transfer returns normally and says so with the status; a caller for whom a partial
    // file is a failure (the launcher, tavo-ftp) watches for ftpAborted.
    // After our ABOR the server answers that too (226 or 225), and often in the same breath as
    // the 426. A server that reports a broken transfer on its own sends the 426 alone, and
    // waiting for a second reply would wait for one that never comes (for ever with
    // ReadTimeout 0): so it is read when ABOR went out, or when it arrives within a short grace.
    if (abort_sent_ || InboundBuffer().VisibleSize() > 0 ||
        FillInputBuffer(false, kSecondReplyGraceMs, false) > 0)
      GetResponse({226, 225});
    ReportStatus(ftpAborted, {res::kFtpTransferAborted});
    return;
  }
  // A server that announced the size ("(N bytes)") and then closed the data connection early
  // has sent part of the file, whatever its final reply says. In ASCII mode the byte count
  // changes on the way, so only binary transfers are held to the announced size. A resumed
  // transfer counts the part already there (servers announce the whole size or the rest).
  if (transfer_size_ >= 0 && transfer_type_ == ftBinary &&
      received + start_position < transfer_size_)
    throw EIdFTPTransferIncomplete(
        rtl::Format(res::kFtpTransferIncomplete, {received, transfer_size_}));
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
  // are already talking to (through a proxy: the host we asked the proxy for).
  std::string host = AAddress;
  if (!trust_pasv_address_) {
    if (via_socks || control == nullptr || control->SocketHandle() == nullptr)
      host = Host();
    else
      host = control->SocketHandle()->PeerIP();
  }
  data.SetHost(host);
  data.SetPort(APort);
  data.Connect(TimeoutDefault);
}

void TIdFTP::ListenForActiveDataConnection() {
  data_connection_ = std::make_unique<TIdSimpleServer>();
  auto& listener = static_cast<TIdSimpleServer&>(*data_connection_);
  CopyDataSettings();
  if (ControlTLS() != nullptr)
    listener.SetIOHandlerFactory([](rtl::TComponent* AOwner) { return new TIdIOHandlerTLS(AOwner); });
  TIdIOHandlerSocket* control = SocketIOHandler();
  // The server connects back to the address it already reaches us at.
  if (control != nullptr && control->SocketHandle() != nullptr)
    listener.SetBoundIP(control->SocketHandle()->IP());
  listener.SetAcceptTimeout(ReadTimeout() > 0 ? ReadTimeout()
                                              : TIdSimpleServer::kDefaultAcceptTimeout);
  listener.StartListening();
  SendPortCommand(*listener.SocketIOHandler()->SocketHandle());
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
}

}  // namespace tavo::net
